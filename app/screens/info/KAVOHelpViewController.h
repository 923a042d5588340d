#pragma once
// The full help: 44 numbered questions; a tap opens the answer right below
// its question and a second tap closes it.

#include <memory>

#include "app/screens/info/HelpAccordion.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

class KAVOHelpViewController : public ui::ViewController, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    static constexpr const char* kIdentifier = "KAVOHelpViewController";
    static constexpr double kTextWidth = 300;
    static constexpr double kRowPadding = 40;

    KAVOHelpViewController();
    const char* className() const override { return "KAVOHelpViewController"; }
    void viewDidLoad() override;

    ui::TableView* tableView() const { return table_.get(); }
    const HelpAccordion& accordion() const { return accordion_; }

    int numberOfRowsInSection(ui::TableView*, int) override { return accordion_.rowCount(); }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView* tableView,
                                                             const ui::IndexPath& indexPath) override;
    bool canEditRowAtIndexPath(ui::TableView*, const ui::IndexPath&) override { return false; }
    std::optional<double> heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& indexPath) override;

private:
    HelpAccordion accordion_;
    std::shared_ptr<ui::TableView> table_;
};
