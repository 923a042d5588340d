// Draws the app's screens into docs/screens/<name>.png (see Entries.cpp).
//   quenta_screenshots [--out DIR] [--list] [NAME...]
#include "app/start/KAVOStoryboard.h"
#include "tools/screenshots/Entries.h"

int main(int argc, char** argv) {
    return screenshots::screenshotsMain(
        argc, argv, [] { return KAVOStoryboard::make(); }, screenshots::appScreenShots());
}
