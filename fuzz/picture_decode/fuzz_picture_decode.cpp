// Picture decoding on random bytes: PNG and JPEG through ui::Image, at full
// size and scaled by the decoder, then into the reader's grey image. The
// first byte picks the decoder's scaling; the rest is the file. A header may
// claim any size: nothing larger than the pixel limit may be made.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "lib/reader/ScanImage.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        foundation::setLogSink([](const std::string&) {});
        return true;
    }();
    (void)quiet;
    if (size < 1) return 0;
    static const int sides[] = {0, 1, 16, 640};
    ui::ImageDecodeOptions options;
    options.minimumSide = sides[data[0] % 4];
    std::vector<uint8_t> file(data + 1, data + size);
    foundation::ErrorRef error;
    auto picture = ui::Image::fromData(file, 1, &error, options);
    if (!picture) {
        if (!error || error->domain != ui::kImageErrorDomain || error->message.empty()) __builtin_trap();
        return 0;
    }
    if (int64_t(picture->pixelWidth()) * picture->pixelHeight() > ui::Image::kMaxPixels) __builtin_trap();
    // The reader's road: at most 640 pixels on the larger side.
    double w = picture->pixelWidth(), h = picture->pixelHeight(), m = std::max(w, h);
    ui::Size target{m > 640 ? w * 640 / m : w, m > 640 ? h * 640 / m : h};
    if (auto grey = ScanImage::createWithCGImage(*picture, target)) {
        ui::Size s = grey->size();
        if (grey->dataLength() != size_t(s.width) * size_t(s.height)) __builtin_trap();
    }
    return 0;
}
