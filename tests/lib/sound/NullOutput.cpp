// Every test of this folder hears openal-soft's null output: no sound card is
// needed and nothing is heard. Set before any test opens a device.
#include <cstdlib>

namespace {
const bool kNullOutput = [] { return setenv("ALSOFT_DRIVERS", "null", 0) == 0; }();
}  // namespace
