#pragma once
// The help list's rows, without views: the questions, with the answers the
// user opened shown right below their question. Any number can be open.

#include <optional>
#include <set>
#include <string>
#include <vector>

struct HelpEntry {
    std::string question, answer;
};

// The 44 questions and answers of the bundle's "help.txt" (a question line,
// an answer line, a blank line; the answer of question 39 holds "%@" for the
// unlock gateway's number). Empty when the file is missing or malformed.
std::vector<HelpEntry> loadHelpEntries(const std::optional<std::string>& carrier);

// The unlock gateway's number for the SIM's carrier.
std::string unlockGatewayNumber(const std::optional<std::string>& carrier);

class HelpAccordion {
public:
    explicit HelpAccordion(std::vector<HelpEntry> entries);

    int rowCount() const { return int(textArrayForAll_.size()); }
    // The row's text ("" outside).
    std::string textAt(int row) const;
    bool isAnswerRow(int row) const { return detailCellIndex_.count(row) != 0; }
    // The question a question row shows: the row minus the answer rows above it.
    int cellIndexToTextArrayIndex(int row) const;
    const std::set<int>& answerRows() const { return detailCellIndex_; }

    enum class Change { None, Opened, Closed };
    // A tap on the row: opens or closes the question's answer at row + 1.
    Change tap(int row);

private:
    void updateDetailCellIndex(int row, bool open);

    std::vector<std::string> textArrayForAll_;
    std::vector<std::string> textArrayForDetail_;
    std::set<int> detailCellIndex_;
};
