#include "platform/ui/Screen.h"

#include "platform/foundation/Resetters.h"

namespace ui {

Screen& Screen::main() {
    static Screen screen;
    static const bool registered =
        (foundation::registerResetter("ui.screen", foundation::ResetPhase::SharedObject, [] { screen.reset(); }), true);
    (void)registered;
    return screen;
}

}  // namespace ui
