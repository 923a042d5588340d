// TGA images on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "lib/engine2d/files/GxContainers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto img = engine2d::gxTGALoadData(data, size);
    if (img.status == engine2d::kTGALoadOK &&
        img.imageData.size() != size_t(img.width) * img.height * (img.pixelDepth / 8))
        __builtin_trap();
    return 0;
}
