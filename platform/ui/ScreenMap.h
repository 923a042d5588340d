#pragma once
// The screen map: screen identifiers mapped to factories that make their
// controllers, and segues by identifier from one screen to another (push,
// modal or custom). A controller made by the map can perform its segues; the
// source's prepareForSegue runs before the destination is shown. A segue or
// screen that is not in the map is logged and nothing happens.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ViewController.h"

namespace ui {

// ModalInNavigation presents the destination as the root of a new
// navigation controller, so that its own push segues have a stack to go on.
enum class SegueKind { Push, Modal, Custom, ModalInNavigation };

class StoryboardSegue {
public:
    using Perform = std::function<void(StoryboardSegue& segue)>;
    StoryboardSegue(std::string identifier, std::shared_ptr<ViewController> source,
                    std::shared_ptr<ViewController> destination, SegueKind kind, Perform custom = {});
    const std::string& identifier() const { return identifier_; }
    ViewController* sourceViewController() const { return source_.get(); }
    ViewController* destinationViewController() const { return destination_.get(); }
    const std::shared_ptr<ViewController>& destinationRef() const { return destination_; }
    SegueKind kind() const { return kind_; }
    // Push onto the source's navigation controller, present modally, or run
    // the custom action.
    void perform();

private:
    std::string identifier_;
    std::shared_ptr<ViewController> source_, destination_;
    SegueKind kind_;
    Perform custom_;
};

class ScreenMap {
public:
    using Factory = std::function<std::shared_ptr<ViewController>()>;

    void registerScreen(const std::string& identifier, Factory factory);
    bool hasScreen(const std::string& identifier) const { return screens_.count(identifier) != 0; }
    // A segue leaving the screen `from`.
    void registerSegue(const std::string& from, const std::string& segueIdentifier, const std::string& to,
                       SegueKind kind, StoryboardSegue::Perform custom = {});
    void setInitialScreen(const std::string& identifier) { initial_ = identifier; }

    // A new controller of the screen, nullptr (and a log line) when unknown.
    std::shared_ptr<ViewController> instantiateViewControllerWithIdentifier(const std::string& identifier);
    std::shared_ptr<ViewController> instantiateInitialViewController();

    // What performSegueWithIdentifier does for the controller; false when the
    // segue or its destination is not in the map.
    bool performSegue(ViewController& source, const std::string& segueIdentifier, const void* sender);
    // Segues performed, as "from->segue->to", oldest first.
    const std::vector<std::string>& performedSegues() const { return performed_; }

    // What the map holds, for whoever checks the roads through it.
    struct Segue {
        std::string to;
        SegueKind kind;
        StoryboardSegue::Perform custom;
    };
    const std::string& initialScreen() const { return initial_; }
    // Segue identifier to segue, by the screen they leave.
    const std::map<std::string, std::map<std::string, Segue>>& segues() const { return segues_; }

private:
    std::map<std::string, Factory> screens_;
    std::map<std::string, std::map<std::string, Segue>> segues_;
    std::string initial_;
    std::vector<std::string> performed_;
};

}  // namespace ui
