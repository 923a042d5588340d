#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace foundation {

// A random (version 4) UUID in upper case: "XXXXXXXX-XXXX-4XXX-YXXX-XXXXXXXXXXXX".
std::string createUUID();
// n bytes from the system's random source.
std::vector<uint8_t> randomBytes(size_t n);

}  // namespace foundation
