// PVR headers, level walks and uploads on arbitrary bytes: parsed in memory,
// uploaded on a real GL context, and read from disk as they come, as gzip and
// as "CCZ!" data (the bytes themselves taken as the compressed stream), the
// way the texture cache reads them.
#include <cstddef>
#include <cstdint>

#include "fuzz/support/FuzzGL.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTexturePVR.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::startGL();
    engine2d::GxFileUtils::sharedFileUtils().setBundleDir(fuzzsupport::folder());
    return 0;
}

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
        if (!engine2d::GxTexture2D::checkTextureSize(pvr.width(), pvr.height(), 2, "fuzz", 16384)) __builtin_trap();
        if (fuzzsupport::haveGL()) pvr.createGLTexture();
    }
    (void)engine2d::GxTexturePVR::usableFileLength(data, size, 16384);
    if (fuzzsupport::haveGL()) {
        // Each road of the cache; what loads is a texture the GL holds.
        for (const char* name : {"f.pvr", "f.pvr.gz", "f.pvr.ccz"}) {
            fuzzsupport::writeFile(name, data, size);
            auto t = engine2d::GxTexture2D::textureWithPVRFile(name);
            if (t && t->pixelsWide() * uint64_t(t->pixelsHigh()) > engine2d::GxTexture2D::kMaxTextureBytes * 8)
                __builtin_trap();
        }
    }
    return 0;
}
