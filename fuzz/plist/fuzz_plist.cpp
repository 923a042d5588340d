// XML property lists on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/plist/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto v = plist::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (v) (void)v->description();
    return 0;
}
