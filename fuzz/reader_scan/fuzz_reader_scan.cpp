// The scanner on random dimensions, formats, crops and bytes, and the capture
// reader's frame checks on random frames.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "lib/reader/ScanCaptureReader.h"
#include "lib/reader/ScanImageScanner.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        foundation::setLogSink([](const std::string&) {});
        return true;
    }();
    (void)quiet;
    static ScanImageScanner scanner;
    static std::shared_ptr<ScanCaptureReader> reader = [] {
        auto r = ScanCaptureReader::create();
        r->setEnableReader(true);
        return r;
    }();
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        auto image = ScanImage::create();
        const char* formats[] = {"Y800", "GREY", "RGB3", "YUYV", ""};
        image->setFormat(ScanImage::fourcc(formats[in.ConsumeIntegralInRange(0, 4)]));
        image->setSize({double(in.ConsumeIntegralInRange(0, 200)), double(in.ConsumeIntegralInRange(0, 200))});
        image->setCrop(ui::Rect(in.ConsumeIntegralInRange(-10, 250), in.ConsumeIntegralInRange(-10, 250),
                                in.ConsumeIntegralInRange(-10, 250), in.ConsumeIntegralInRange(-10, 250)));
        scanner.setEnableCache(in.ConsumeBool());
        scanner.setSymbology(0, zbar::ZBAR_CFG_X_DENSITY, in.ConsumeIntegralInRange(1, 4));
        std::vector<uint8_t> bytes = in.ConsumeRemainingBytes<uint8_t>();
        image->setData(bytes.empty() ? nullptr : bytes.data(), bytes.size());
        if (scanner.scanImage(*image) > 0)
            for (const auto& symbol : *scanner.results()) {
                symbol->data();
                symbol->bounds();
            }
        image->setData(nullptr, 0);
        return 0;
    }
    std::vector<media::PixelBuffer::Plane> planes(in.ConsumeIntegralInRange(0, 2));
    for (auto& p : planes) {
        p.width = in.ConsumeIntegralInRange<size_t>(0, 120);
        p.height = in.ConsumeIntegralInRange<size_t>(0, 120);
        p.bytesPerRow = in.ConsumeIntegralInRange<size_t>(0, 160);
        p.bytes = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 20000));
    }
    media::SampleBuffer sample;
    uint32_t format = in.ConsumeBool() ? media::kPixelFormatNV12VideoRange : in.ConsumeIntegral<uint32_t>();
    sample.imageBuffer = media::PixelBuffer::createWithPlanes(format, in.ConsumeIntegralInRange<size_t>(0, 120),
                                                              in.ConsumeIntegralInRange<size_t>(0, 120), planes);
    sample.numSamples = in.ConsumeIntegralInRange(0, 2);
    reader->setScanCrop(ui::Rect(in.ConsumeProbability<double>(), in.ConsumeProbability<double>(),
                                 in.ConsumeProbability<double>(), in.ConsumeProbability<double>()));
    // A reader paused on a result waits for the main thread: start again so
    // frames keep flowing.
    reader->setEnableReader(false);
    reader->setEnableReader(true);
    if (in.ConsumeBool()) reader->captureFrame();
    reader->captureOutput()->deliver(sample);
    reader->captureOutput()->waitUntilIdle();
    // What the reader hands to the main thread runs there, as in the app;
    // left queued it would pile up with every input.
    foundation::RunLoop::main().drain();
    return 0;
}
