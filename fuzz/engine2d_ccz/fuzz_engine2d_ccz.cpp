// "CCZ!" files and zlib/gzip streams on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lib/engine2d/files/GxContainers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    engine2d::gxInflateCCZ(data, size, out);
    engine2d::gxInflateBufferWithHint(data, size, out, 64, 16 << 20);
    return 0;
}
