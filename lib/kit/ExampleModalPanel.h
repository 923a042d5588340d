#pragma once
// The help panel: a titled modal panel listing questions, each followed by
// its answer, in the app's dark styling.

#include <memory>
#include <string>
#include <vector>

#include "lib/kit/TitledModalPanel.h"
#include "platform/ui/TableView.h"

class ExampleModalPanel : public TitledModalPanel, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    // Questions and answers pair by index; a question without an answer gets
    // an empty one, answers beyond the questions are left out.
    ExampleModalPanel(const ui::Rect& frame, const std::string& title, const std::vector<std::string>& titlelist,
                      const std::vector<std::string>& detaillist);
    ~ExampleModalPanel() override;
    static std::shared_ptr<ExampleModalPanel> create(const ui::Rect& frame, const std::string& title,
                                                     const std::vector<std::string>& titlelist,
                                                     const std::vector<std::string>& detaillist) {
        return std::make_shared<ExampleModalPanel>(frame, title, titlelist, detaillist);
    }
    const char* className() const override { return "ExampleModalPanel"; }

    // Question 0, answer 0, question 1, answer 1, ...
    const std::vector<std::string>& textList() const { return textList_; }
    ui::TableView* listView() const { return list_.get(); }

    // Texts are measured in the width their cells' labels get: the list's
    // less the label's insets (this width before the list is laid out).
    static constexpr double kTextWidth = 270;
    static constexpr double kCellTextInset = 10;
    double textWidth() const;
    static constexpr double kQuestionExtra = 10;

    void layoutSubviews() override;

    // Table data source and delegate.
    int numberOfSectionsInTableView(ui::TableView*) override { return 1; }
    int numberOfRowsInSection(ui::TableView*, int) override { return int(textList_.size()); }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView* tableView,
                                                             const ui::IndexPath& indexPath) override;
    std::optional<double> heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& indexPath) override;

private:
    std::vector<std::string> textList_;
    std::shared_ptr<ui::TableView> list_;
};
