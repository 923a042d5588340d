#pragma once
// Drop-down notices: short notices that slide down, stay a few seconds and
// slide back up. Two independent first-in-first-out queues, each showing one
// notice at a time:
//  - alert strips (320 x 25) dropped in at the top of a screen's view,
//    staying 3.5 s; a text equal to the last one accepted is dropped until
//    some strip has finished hiding or the queue was cleaned up;
//  - advert banners as wide as the screen and 1/16 of its height, hung over
//    the application window under the status bar, staying 7 s; a tap hides
//    one at once.
// Slides take 0.5 s. The views change on the main thread: calls from other
// threads are handed to it. A notice's delayed hide and its animation ends
// belong to that notice and never act on a newer one.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Image.h"
#include "platform/ui/View.h"

class DnNotificationManager {
public:
    static constexpr double kSlideSeconds = 0.5;
    static constexpr double kAlertStaySeconds = 3.5;
    static constexpr double kADStaySeconds = 7.0;
    static constexpr double kAlertHeight = 25;
    static constexpr double kAlertShownY = 1.5;

    // The one manager of the process.
    static DnNotificationManager& sharedManager();

    // Queues an alert strip into the parent view's superview, just above the
    // parent. Ignores a nil or empty message and one equal to the last
    // accepted text.
    static void notificationWithMessageForAlert(const std::optional<std::string>& message, ui::ImageRef image,
                                                ui::View* parentView);
    // Queues an advert banner over the application window: the picture, with
    // the message over it when one is given. Ignores an empty message and a
    // banner with neither a message nor a picture.
    static void notificationWithMessageForAD(const std::optional<std::string>& message, ui::ImageRef image);
    // The last accepted alert text ("" when none).
    static std::string lastAlertText();

    // Build, attach, queue, and show when nothing of the kind is showing.
    void addNotificationViewWithMessageForAlert(const std::optional<std::string>& message, ui::ImageRef image,
                                                ui::View* parentView);
    void addNotificationWithMessageForAD(const std::optional<std::string>& message, ui::ImageRef image);

    // Slides the first notice of the kind up.
    void hideCurrentNotificationForAlert();
    void hideCurrentNotificationForAD();
    // Removes every notice of the kind (the screens call the alert one when
    // they disappear; it also forgets the last alert text).
    void cleanUpNotificationQueueForAlert();
    void cleanUpNotificationQueueForAD();
    // Both kinds; the last alert text stays.
    void cleanUpNotificationQueue();
    // The advert banner's tap: hides the showing banner at once.
    void selectorForNotificationPushedForAD();

    // For inspection: the queued views, first on screen.
    std::vector<std::shared_ptr<ui::View>> notificationQueueForAlert() const;
    std::vector<std::shared_ptr<ui::View>> notificationQueueForAD() const;
    bool showingNotificationForAlert() const;
    bool showingNotificationForAD() const;

private:
    DnNotificationManager() = default;
    struct Entry {
        std::shared_ptr<ui::View> view;
        bool hiding = false;
    };
    struct Kind {
        bool alert;
        mutable std::recursive_mutex lock;
        std::vector<Entry> queue;
        bool showing = false;
        foundation::TimerRef pendingHide;
        double stay;
    };

    void add(Kind& kind, std::shared_ptr<ui::View> view);
    void showNotificationView(Kind& kind, const std::shared_ptr<ui::View>& view);
    void showNotificationAnimationComplete(Kind& kind, const std::weak_ptr<ui::View>& view);
    void hideCurrentNotification(Kind& kind);
    void hideNotificationAnimationComplete(Kind& kind, const std::weak_ptr<ui::View>& view);
    void cleanUp(Kind& kind);
    static ui::Rect shownFrame(const Kind& kind, const ui::Rect& frame);
    static ui::Rect hiddenFrame(const Kind& kind, const ui::Rect& frame);

    Kind alert_{true, {}, {}, false, {}, kAlertStaySeconds};
    Kind ad_{false, {}, {}, false, {}, kADStaySeconds};
};
