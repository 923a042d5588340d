// PVR headers and level walks on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "lib/engine2d/textures/GxTexturePVR.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    engine2d::GxTexturePVR pvr;
    pvr.setSupport(size % 2 == 0, true);
    if (pvr.unpackPVRData(data, size)) {
        size_t sum = 0;
        for (unsigned i = 0; i < pvr.numberOfMipmaps(); ++i) {
            const auto& m = pvr.mipmap(i);
            if (m.offset + m.len > size) __builtin_trap();
            sum += m.len;
        }
        if (sum + 52 > size) __builtin_trap();
    }
    return 0;
}
