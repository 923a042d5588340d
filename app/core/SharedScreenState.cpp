#include "app/core/SharedScreenState.h"

#include "platform/foundation/Resetters.h"

namespace SharedScreenState {

namespace {

struct State {
    std::atomic<int> mainFrameVisible{0};
    std::atomic<int> seizeMainPulling{1};
    std::atomic<int> badgeCount{0};
    std::atomic<bool> versionChecked{false};
};

State& state() {
    static State* s = new State;
    static const bool registered =
        (foundation::registerResetter("app.sharedScreenState", foundation::ResetPhase::SharedObject,
                                      [] {
                                          s->mainFrameVisible = 0;
                                          s->seizeMainPulling = 1;
                                          s->badgeCount = 0;
                                          s->versionChecked = false;
                                      }),
         true);
    (void)registered;
    return *s;
}

}  // namespace

std::atomic<int>& MAIN_FRAME_VISIBLE() { return state().mainFrameVisible; }
std::atomic<int>& SEIZE_MAIN_PULLING() { return state().seizeMainPulling; }
std::atomic<int>& safeAuditionBadgeCount() { return state().badgeCount; }
std::atomic<bool>& versionChecked() { return state().versionChecked; }

}  // namespace SharedScreenState
