// TGA images on arbitrary bytes, and what loads uploaded as raw texture data
// on a real GL context (the size checks of that road).
#include <cstddef>
#include <cstdint>

#include "fuzz/support/FuzzGL.h"
#include "lib/engine2d/files/GxContainers.h"
#include "lib/engine2d/textures/GxTexture2D.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::startGL();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto img = engine2d::gxTGALoadData(data, size);
    if (img.status != engine2d::kTGALoadOK) return 0;
    if (img.imageData.size() != size_t(img.width) * img.height * (img.pixelDepth / 8)) __builtin_trap();
    if (img.imageData.size() > engine2d::kGxMaxInflatedBytes) __builtin_trap();
    if (!fuzzsupport::haveGL()) return 0;
    int format = img.pixelDepth == 32   ? engine2d::kGxTexture2DPixelFormat_RGBA8888
                 : img.pixelDepth == 24 ? engine2d::kGxTexture2DPixelFormat_RGB888
                 : img.pixelDepth == 16 ? engine2d::kGxTexture2DPixelFormat_RGB565
                                        : engine2d::kGxTexture2DPixelFormat_A8;
    auto t = engine2d::GxTexture2D::textureWithData(img.imageData.data(), format, img.width, img.height,
                                                    engine2d::Size{float(img.width), float(img.height)});
    if (t && !t->name() && img.width && img.height) __builtin_trap();
    return 0;
}
