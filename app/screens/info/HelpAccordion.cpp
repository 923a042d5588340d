#include "app/screens/info/HelpAccordion.h"

#include <sstream>

#include "platform/foundation/Paths.h"

namespace {

// The gateways that unlock an account by text message.
constexpr const char* kUnicomUnlockGateway = "1065502088";
constexpr const char* kOtherUnlockGateway = "1069088088";

void replaceFirst(std::string& s, const std::string& from, const std::string& to) {
    size_t at = s.find(from);
    if (at != std::string::npos) s.replace(at, from.size(), to);
}

}  // namespace

std::string unlockGatewayNumber(const std::optional<std::string>& carrier) {
    return carrier && *carrier == "中国联通" ? kUnicomUnlockGateway : kOtherUnlockGateway;
}

std::vector<HelpEntry> loadHelpEntries(const std::optional<std::string>& carrier) {
    std::vector<HelpEntry> out;
    auto path = foundation::bundlePath("help", "txt");
    auto text = path ? foundation::readFile(*path) : std::nullopt;
    if (!text) return out;
    std::istringstream in(*text);
    std::string line;
    std::vector<std::string> block;
    auto flush = [&] {
        if (block.size() == 2) out.push_back({block[0], block[1]});
        block.clear();
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            flush();
        } else if (line[0] != '#') {
            block.push_back(line);
        }
    }
    flush();
    if (out.size() >= 39) replaceFirst(out[38].answer, "%@", unlockGatewayNumber(carrier));
    return out;
}

HelpAccordion::HelpAccordion(std::vector<HelpEntry> entries) {
    for (auto& e : entries) {
        textArrayForAll_.push_back(e.question);
        textArrayForDetail_.push_back(e.answer);
    }
}

std::string HelpAccordion::textAt(int row) const {
    return row >= 0 && row < rowCount() ? textArrayForAll_[size_t(row)] : std::string();
}

int HelpAccordion::cellIndexToTextArrayIndex(int row) const {
    int above = 0;
    for (int key : detailCellIndex_)
        if (key < row) ++above;
    return row - above;
}

HelpAccordion::Change HelpAccordion::tap(int row) {
    if (row < 0 || row >= rowCount() || isAnswerRow(row)) return Change::None;
    if (isAnswerRow(row + 1)) {
        textArrayForAll_.erase(textArrayForAll_.begin() + row + 1);
        updateDetailCellIndex(row, false);
        return Change::Closed;
    }
    const int question = cellIndexToTextArrayIndex(row);
    if (question < 0 || question >= int(textArrayForDetail_.size())) return Change::None;
    textArrayForAll_.insert(textArrayForAll_.begin() + row + 1, textArrayForDetail_[size_t(question)]);
    updateDetailCellIndex(row, true);
    return Change::Opened;
}

void HelpAccordion::updateDetailCellIndex(int row, bool open) {
    const int answer = row + 1;
    std::set<int> moved;
    for (int key : detailCellIndex_) {
        if (key > answer)
            moved.insert(open ? key + 1 : key - 1);
        else if (key != answer || open)
            moved.insert(key);
    }
    if (open) moved.insert(answer);
    detailCellIndex_ = std::move(moved);
}
