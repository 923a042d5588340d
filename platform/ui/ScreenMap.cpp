#include "platform/ui/ScreenMap.h"

#include "platform/foundation/Log.h"
#include "platform/ui/Navigation.h"

namespace ui {

StoryboardSegue::StoryboardSegue(std::string identifier, std::shared_ptr<ViewController> source,
                                 std::shared_ptr<ViewController> destination, SegueKind kind, Perform custom)
    : identifier_(std::move(identifier)),
      source_(std::move(source)),
      destination_(std::move(destination)),
      kind_(kind),
      custom_(std::move(custom)) {}

void StoryboardSegue::perform() {
    switch (kind_) {
        case SegueKind::Push:
            if (auto* nav = source_->navigationController()) {
                nav->pushViewController(destination_, true);
            } else {
                foundation::log("segue \"", identifier_, "\": ", source_->className(),
                                " has no navigation controller to push onto");
            }
            break;
        case SegueKind::Modal:
            source_->presentViewController(destination_, true);
            break;
        case SegueKind::ModalInNavigation:
            source_->presentViewController(std::make_shared<NavigationController>(destination_), true);
            break;
        case SegueKind::Custom:
            if (custom_)
                custom_(*this);
            else
                foundation::log("segue \"", identifier_, "\": custom segue without an action");
            break;
    }
}

void ScreenMap::registerScreen(const std::string& identifier, Factory factory) {
    screens_[identifier] = std::move(factory);
}

void ScreenMap::registerSegue(const std::string& from, const std::string& segueIdentifier, const std::string& to,
                              SegueKind kind, StoryboardSegue::Perform custom) {
    segues_[from][segueIdentifier] = {to, kind, std::move(custom)};
}

std::shared_ptr<ViewController> ScreenMap::instantiateViewControllerWithIdentifier(const std::string& identifier) {
    auto it = screens_.find(identifier);
    if (it == screens_.end() || !it->second) {
        foundation::log("screen map: no screen with identifier \"", identifier, "\"");
        return nullptr;
    }
    auto vc = it->second();
    if (!vc) {
        foundation::log("screen map: the factory of \"", identifier, "\" made nothing");
        return nullptr;
    }
    vc->setStoryboard(this, identifier);
    return vc;
}

std::shared_ptr<ViewController> ScreenMap::instantiateInitialViewController() {
    if (initial_.empty()) {
        foundation::log("screen map: no initial screen");
        return nullptr;
    }
    return instantiateViewControllerWithIdentifier(initial_);
}

bool ScreenMap::performSegue(ViewController& source, const std::string& segueIdentifier, const void* sender) {
    auto from = segues_.find(source.screenIdentifier());
    if (from == segues_.end() || !from->second.count(segueIdentifier)) {
        foundation::log("screen map: screen \"", source.screenIdentifier(), "\" has no segue with identifier \"",
                        segueIdentifier, "\"");
        return false;
    }
    Segue s = from->second.at(segueIdentifier);
    auto destination = instantiateViewControllerWithIdentifier(s.to);
    if (!destination) {
        foundation::log("screen map: segue \"", segueIdentifier, "\" leads to the unknown screen \"", s.to, "\"");
        return false;
    }
    StoryboardSegue segue(segueIdentifier, source.shared_from_this(), destination, s.kind, s.custom);
    source.prepareForSegue(segue, sender);
    performed_.push_back(source.screenIdentifier() + "->" + segueIdentifier + "->" + s.to);
    segue.perform();
    return true;
}

void ViewController::performSegueWithIdentifier(const std::string& identifier, const void* sender) {
    if (!storyboard_) {
        foundation::log("segue \"", identifier, "\": ", className(), " was not made from a screen map");
        return;
    }
    storyboard_->performSegue(*this, identifier, sender);
}

}  // namespace ui
