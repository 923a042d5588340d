// "CCZ!" files and zlib/gzip streams on arbitrary bytes: in memory with the
// readers' own limits, and gzip files read whole and in part.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/support/FuzzGL.h"
#include "lib/engine2d/files/GxContainers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    if (engine2d::gxInflateCCZ(data, size, out, 1 << 20) > (1 << 20)) __builtin_trap();
    if (engine2d::gxInflateBufferWithHint(data, size, out, 64, 16 << 20) > (16 << 20)) __builtin_trap();
    if (engine2d::gxInflateBuffer(data, size, out) > engine2d::kGxMaxInflatedBytes) __builtin_trap();
    const std::string path = fuzzsupport::writeFile("f.gz", data, size);
    if (engine2d::gxReadGzipFile(path, out, 4 << 20) > (4 << 20)) __builtin_trap();
    if (engine2d::gxReadGzipPrefix(path, out, 100) > 100) __builtin_trap();
    return 0;
}
