// The image scanner against the decoder's C interface on the same 640x480
// grey frame, the capture reader's frame rate on the file feed, a
// picture's conversion to grey against a plain loop over the same pixels,
// and a picked JPEG made into the scan's grey image by the colour roads and
// by the grey decode.
//
// Prints, after the table, the ratio of the scanner's time to the direct
// call's, then the grey conversion's ratios: both sides take turns in one
// process, and the medians of the rounds are compared. The plain loop does
// the reader's whole work (the grey of each pixel composited onto white)
// and its grey image is checked to equal the reader's; the reader's side
// also makes its image and buffer, which the loop reuses.

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <qrencode.h>
#include <zbar.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "lib/reader/ScanCaptureReader.h"
#include "lib/reader/ScanImage.h"
#include "lib/reader/ScanImageScanner.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/Capture.h"

namespace {

// A six-character QR code on a white 640x480 picture.
std::vector<uint8_t> qrRgba() {
    const int W = 640, H = 480, module = 6;
    QRcode* qr = QRcode_encodeString("Q3T7K9", 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    std::vector<uint8_t> rgba(size_t(W) * H * 4, 255);
    int side = qr->width * module, left = (W - side) / 2, top = (H - side) / 2;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            if (qr->data[(y / module) * qr->width + x / module] & 1) {
                uint8_t* p = rgba.data() + (size_t(top + y) * W + left + x) * 4;
                p[0] = p[1] = p[2] = 0;
            }
    QRcode_free(qr);
    return rgba;
}

const std::vector<uint8_t>& greyFrame() {
    static const std::vector<uint8_t> grey = [] {
        auto rgba = qrRgba();
        auto frame = media::nv12FromRgba(rgba.data(), 640, 480);
        const uint8_t* y = frame->baseAddressOfPlane(0);
        return std::vector<uint8_t>(y, y + 640 * 480);
    }();
    return grey;
}

// Both sides scan every third column and row with the cache off, as the
// capture reader's scanner does on a frame it has not seen.
void BM_ScanImageScanner(benchmark::State& state) {
    const auto& grey = greyFrame();
    ScanImageScanner scanner;
    scanner.setSymbology(0, zbar::ZBAR_CFG_X_DENSITY, 3);
    scanner.setSymbology(0, zbar::ZBAR_CFG_Y_DENSITY, 3);
    scanner.setEnableCache(false);
    auto image = ScanImage::create();
    image->setFormat(ScanImage::fourcc("Y800"));
    image->setSize({640, 480});
    image->setData(grey.data(), grey.size());
    for (auto _ : state) {
        int n = scanner.scanImage(*image);
        if (n != 1) state.SkipWithError("the code was not decoded");
        benchmark::DoNotOptimize(n);
    }
    image->setData(nullptr, 0);
}
BENCHMARK(BM_ScanImageScanner)->Unit(benchmark::kMillisecond);

void BM_ZbarDirect(benchmark::State& state) {
    const auto& grey = greyFrame();
    zbar::zbar_image_scanner_t* scanner = zbar::zbar_image_scanner_create();
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_X_DENSITY, 3);
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_Y_DENSITY, 3);
    zbar::zbar_image_scanner_enable_cache(scanner, 0);
    zbar::zbar_image_t* image = zbar::zbar_image_create();
    zbar::zbar_image_set_format(image, ScanImage::fourcc("Y800"));
    zbar::zbar_image_set_size(image, 640, 480);
    zbar::zbar_image_set_data(image, grey.data(), grey.size(), nullptr);
    for (auto _ : state) {
        int n = zbar::zbar_scan_image(scanner, image);
        if (n != 1) state.SkipWithError("the code was not decoded");
        benchmark::DoNotOptimize(n);
    }
    zbar::zbar_image_destroy(image);
    zbar::zbar_image_scanner_destroy(scanner);
}
BENCHMARK(BM_ZbarDirect)->Unit(benchmark::kMillisecond);

// Frames through the whole pipeline: feed, output, capture queue, scan; the
// code stays in view, so after the first result the cache holds it back and
// every frame is scanned.
void BM_CaptureReaderFileFeed(benchmark::State& state) {
    std::string dir = std::filesystem::temp_directory_path() / ("quenta-bench-reader-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    auto rgba = qrRgba();
    ui::Image::fromRgba(640, 480, rgba.data())->writePNG(dir + "/qr.png");
    media::FileFeedDevice::Options options;
    options.framesPerSecond = 0;
    auto feed = media::FileFeedDevice::open({dir + "/qr.png"}, options);
    std::filesystem::remove_all(dir);
    if (!feed) {
        state.SkipWithError("no file feed");
        return;
    }
    struct Sink : ScanCaptureReaderDelegate {
        int results = 0;
        void captureReader(ScanCaptureReader&, const std::shared_ptr<ScanCVImage>&) override { ++results; }
    } sink;
    auto reader = ScanCaptureReader::create();
    reader->setCaptureDelegate(&sink);
    media::CaptureSession session;
    session.addInput(feed);
    session.addOutput(reader->captureOutput());
    session.startRunning();
    reader->setEnableReader(true);
    int before = reader->frameCount();
    for (auto _ : state) {
        feed->pushFrame();
        reader->captureOutput()->waitUntilIdle();
        foundation::RunLoop::main().drain();
    }
    int frames = reader->frameCount() - before;
    state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["results"] = sink.results;
    session.stopRunning();
    reader.reset();
    foundation::RunLoop::main().drain();
}
BENCHMARK(BM_CaptureReaderFileFeed)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 1600x1200 photo-like picture (smooth colours with a QR code on it);
// with alpha, its background is partly transparent.
ui::ImageRef photo(bool alpha) {
    const int W = 1600, H = 1200;
    std::vector<uint8_t> rgba(size_t(W) * H * 4);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            uint8_t* p = rgba.data() + (size_t(y) * W + x) * 4;
            p[0] = uint8_t(x * 255 / W), p[1] = uint8_t(y * 255 / H), p[2] = uint8_t((x + y) & 0xff);
            p[3] = alpha ? uint8_t(128 + (x & 127)) : 255;
        }
    auto qr = qrRgba();
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const uint8_t* q = qr.data() + (size_t(y) * 640 + x) * 4;
            uint8_t* p = rgba.data() + (size_t(y + 360) * W + x + 480) * 4;
            std::copy(q, q + 4, p);
        }
    return ui::Image::fromRgba(W, H, rgba.data());
}

// The plain loop: the grey of every stored pixel (premultiplied ARGB)
// composited onto white, as the reader makes it: the luma of the stored
// colour plus the white showing through (255 - alpha).
void plainGrey(const ui::Image& picture, std::vector<uint8_t>& grey) {
    cairo_surface_t* s = picture.surface();
    const uint8_t* data = cairo_image_surface_get_data(s);
    size_t stride = size_t(cairo_image_surface_get_stride(s));
    int W = picture.pixelWidth(), H = picture.pixelHeight();
    for (int y = 0; y < H; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
        uint8_t* out = grey.data() + size_t(y) * W;
        for (int x = 0; x < W; ++x) {
            uint32_t px = row[x];
            uint32_t luma =
                (299u * ((px >> 16) & 0xff) + 587u * ((px >> 8) & 0xff) + 114u * (px & 0xff) + 500u) / 1000u;
            out[x] = uint8_t(luma + (255u - (px >> 24)));
        }
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Rounds of: the plain loop, then the reader's conversion, each a few times;
// both run on this thread only, timed by its CPU time, and their grey
// images are checked to be the same before timing.
void compareGrey(const char* name, const ui::Image& picture) {
    std::vector<uint8_t> grey(size_t(picture.pixelWidth()) * picture.pixelHeight());
    {
        plainGrey(picture, grey);
        auto image = ScanImage::createWithCGImage(picture);
        if (!image || std::memcmp(image->data(), grey.data(), grey.size()) != 0) {
            std::printf("picture to grey, %s: the two grey images differ\n", name);
            std::exit(1);
        }
    }
    std::vector<double> plain, reader, ratios;
    const int rounds = 21, each = 5;
    for (int r = 0; r < rounds; ++r) {
        double t0 = threadSeconds();
        for (int k = 0; k < each; ++k) {
            plainGrey(picture, grey);
            benchmark::DoNotOptimize(grey.data());
        }
        double t1 = threadSeconds();
        for (int k = 0; k < each; ++k) {
            auto image = ScanImage::createWithCGImage(picture);
            benchmark::DoNotOptimize(image->data());
        }
        double t2 = threadSeconds();
        plain.push_back((t1 - t0) / each);
        reader.push_back((t2 - t1) / each);
        ratios.push_back(reader.back() / plain.back());
    }
    double a = median(reader), b = median(plain);
    std::printf("picture to grey, %s %dx%d: reader %.3f ms, plain loop %.3f ms (thread CPU), ratio %.2fx\n", name,
                picture.pixelWidth(), picture.pixelHeight(), a * 1e3, b * 1e3, median(ratios));
}

// A W x H JPEG photo: colour ramps with a QR code of H/60-pixel modules on
// white in the middle.
std::vector<uint8_t> photoJpeg(int W, int H) {
    std::vector<uint8_t> rgba(size_t(W) * H * 4, 255);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            uint8_t* p = rgba.data() + (size_t(y) * W + x) * 4;
            p[0] = uint8_t(x * 255 / W), p[1] = uint8_t(y * 255 / H), p[2] = uint8_t((x + y) & 0xff);
        }
    QRcode* qr = QRcode_encodeString("Q3T7K9", 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    const int module = H / 60, side = (qr->width + 8) * module, left = (W - side) / 2, top = (H - side) / 2;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int mx = x / module - 4, my = y / module - 4;
            const bool dark =
                mx >= 0 && my >= 0 && mx < qr->width && my < qr->width && (qr->data[my * qr->width + mx] & 1);
            uint8_t* p = rgba.data() + (size_t(top + y) * W + left + x) * 4;
            p[0] = p[1] = p[2] = dark ? 0 : 255;
        }
    QRcode_free(qr);
    return ui::Image::fromRgba(W, H, rgba.data())->encodeJPEG(0.9);
}

// The reader's work on a picked JPEG before its scan, three ways in
// interleaved rounds: decoded in colour at full size and converted to the
// scan's grey; decoded in colour at the size the scan allows (the decoder
// scaling) and converted; decoded straight to grey at that size. The scan
// is the whole picture at 640 pixels across, as the reader makes it.
void compareJpeg(int W, int H) {
    using Clock = std::chrono::steady_clock;
    const auto jpeg = photoJpeg(W, H);
    const int minimumSide = 640;
    const ui::Rect whole(0, 0, W, H);
    const ui::Size size{640, 640.0 * H / W};
    ui::ImageDecodeOptions options;
    options.minimumSide = minimumSide;
    std::vector<double> full, scaled, grey;
    unsigned decodedWidth = 0;
    for (int r = 0; r < 9; ++r) {
        auto t0 = Clock::now();
        auto a = ui::Image::fromData(jpeg);
        auto ga = ScanImage::createWithCGImage(*a, whole, size);
        auto t1 = Clock::now();
        auto b = ui::Image::fromData(jpeg, 1, nullptr, options);
        auto gb = ScanImage::createWithCGImage(*b, ui::Rect(0, 0, b->pixelWidth(), b->pixelHeight()), size);
        auto t2 = Clock::now();
        auto c = ScanGreyPicture::decodeJPEG(jpeg, minimumSide);
        auto gc = ScanImage::createWithGreyPicture(*c, whole, size);
        auto t3 = Clock::now();
        benchmark::DoNotOptimize(ga->data());
        benchmark::DoNotOptimize(gb->data());
        benchmark::DoNotOptimize(gc->data());
        decodedWidth = c->width;
        full.push_back(std::chrono::duration<double>(t1 - t0).count());
        scaled.push_back(std::chrono::duration<double>(t2 - t1).count());
        grey.push_back(std::chrono::duration<double>(t3 - t2).count());
    }
    const double a = median(full), b = median(scaled), c = median(grey);
    std::printf(
        "JPEG %dx%d to the scan's grey (decoded %u wide): full-size colour %.2f ms, decoder-scaled colour %.2f ms, "
        "decoder-scaled grey %.2f ms; grey / full-size colour %.2fx, grey / scaled colour %.2fx\n",
        W, H, decodedWidth, a * 1e3, b * 1e3, c * 1e3, c / a, c / b);
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // Plain runs, or the median of repetitions.
        for (const auto& run : runs)
            if (run.aggregate_name.empty() || run.aggregate_name == "median")
                times[run.run_name.function_name] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, std::pair<double, double>> times;  // real, CPU
};

}  // namespace

int main(int argc, char** argv) {
    foundation::setLogSink([](const std::string&) {});
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto a = reporter.times.find("BM_ScanImageScanner"), b = reporter.times.find("BM_ZbarDirect");
    if (a != reporter.times.end() && b != reporter.times.end() && b->second.first > 0 && b->second.second > 0)
        std::printf("image scanner / direct zbar: %.3fx real time, %.3fx CPU time\n", a->second.first / b->second.first,
                    a->second.second / b->second.second);
    compareGrey("opaque", *photo(false));
    compareGrey("with alpha", *photo(true));
    compareJpeg(4000, 3000);
    compareJpeg(2600, 2000);
    compareJpeg(900, 700);
    benchmark::Shutdown();
    return 0;
}
