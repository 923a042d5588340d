// The reader's picture conversions on random dimensions, formats and bytes:
// grey from a picture with any crop and size, RGB bytes back to a picture,
// and camera frames of any layout to RGB.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "lib/reader/ScanImage.h"
#include "platform/foundation/Log.h"

namespace {
const uint32_t kFormats[] = {ScanImage::fourcc("RGB3"), ScanImage::fourcc("RGB4"), ScanImage::fourcc("RGBQ"),
                             ScanImage::fourcc("Y800"), ScanImage::fourcc("CV2P"), 0};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        foundation::setLogSink([](const std::string&) {});
        return true;
    }();
    (void)quiet;
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: {  // grey conversion
            int w = in.ConsumeIntegralInRange(1, 48), h = in.ConsumeIntegralInRange(1, 48);
            std::vector<uint8_t> rgba = in.ConsumeBytes<uint8_t>(size_t(w) * h * 4);
            rgba.resize(size_t(w) * h * 4);
            auto picture = ui::Image::fromRgba(w, h, rgba.data());
            if (!picture) return 0;
            ui::Rect crop(in.ConsumeFloatingPoint<double>(), in.ConsumeFloatingPoint<double>(),
                          in.ConsumeFloatingPointInRange<double>(-4, 200),
                          in.ConsumeFloatingPointInRange<double>(-4, 200));
            ui::Size target{in.ConsumeFloatingPointInRange<double>(-2, 300),
                            in.ConsumeFloatingPointInRange<double>(-2, 300)};
            if (auto grey = ScanImage::createWithCGImage(*picture, crop, target)) {
                ui::Size s = grey->size();
                if (grey->dataLength() != size_t(s.width) * size_t(s.height)) __builtin_trap();
            }
            break;
        }
        case 1: {  // RGB bytes to a picture
            auto image = ScanImage::create();
            image->setFormat(kFormats[in.ConsumeIntegralInRange<size_t>(0, 5)]);
            image->setSize({double(in.ConsumeIntegralInRange(0, 300)), double(in.ConsumeIntegralInRange(0, 300))});
            std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();
            image->setData(bytes.empty() ? nullptr : bytes.data(), bytes.size());
            image->UIImage();
            break;
        }
        default: {  // a camera frame of any layout
            size_t w = in.ConsumeIntegralInRange<size_t>(0, 80), h = in.ConsumeIntegralInRange<size_t>(0, 80);
            std::vector<media::PixelBuffer::Plane> planes(in.ConsumeIntegralInRange(0, 3));
            for (auto& p : planes) {
                p.width = in.ConsumeIntegralInRange<size_t>(0, 100);
                p.height = in.ConsumeIntegralInRange<size_t>(0, 100);
                p.bytesPerRow = in.ConsumeIntegralInRange<size_t>(0, 200);
                p.bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 20000));
            }
            auto frame = media::PixelBuffer::createWithPlanes(media::kPixelFormatNV12VideoRange, w, h, planes);
            auto image = ScanCVImage::create();
            image->setFormat(in.ConsumeBool() ? ScanImage::fourcc("CV2P")
                                              : kFormats[in.ConsumeIntegralInRange<size_t>(0, 5)]);
            image->setSize({double(frame->bytesPerRowOfPlane(0)), double(frame->heightOfPlane(0))});
            image->setPixelBuffer(frame);
            if (auto picture = image->UIImage())
                if (size_t(picture->pixelWidth()) != w || size_t(picture->pixelHeight()) != h) __builtin_trap();
            break;
        }
    }
    return 0;
}
