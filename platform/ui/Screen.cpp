#include "platform/ui/Screen.h"

namespace ui {

Screen& Screen::main() {
    static Screen screen;
    return screen;
}

}  // namespace ui
