// Draws the example area's screens:
//   example_screenshots --out docs/internals clock-example
#include "tests/app/screens/example/ExampleScreenShots.h"

int main(int argc, char** argv) {
    return screenshots::screenshotsMain(argc, argv, exampleScreenMap, exampleScreenShots());
}
