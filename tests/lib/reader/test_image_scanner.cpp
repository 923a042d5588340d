// Symbols, images, conversions and the scanner against the real decoder.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "lib/reader/ScanImage.h"
#include "lib/reader/ScanImageScanner.h"
#include "lib/reader/ScanSymbol.h"
#include "platform/foundation/Log.h"
#include "tests/support/reader/QrPicture.h"

using readertest::greyPicture;
using readertest::qrPicture;

namespace {

// Collects log lines while alive.
class LogCapture {
public:
    LogCapture() {
        old_ = foundation::setLogSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~LogCapture() { foundation::setLogSink(old_); }
    bool contains(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& l : lines_)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }

private:
    foundation::LogSink old_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

std::vector<uint8_t> greyBytes(const ScanImage& image) {
    const auto* p = static_cast<const uint8_t*>(image.data());
    return std::vector<uint8_t>(p, p + image.dataLength());
}

}  // namespace

TEST(ScanSymbols, QrCodeInAPictureDecodesWithTypeDataAndBounds) {
    auto qr = qrPicture("Q3T7K9");
    auto grey = ScanImage::createWithCGImage(*qr.image);
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->format(), ScanImage::fourcc("Y800"));
    EXPECT_EQ(grey->size(), (ui::Size{640, 480}));

    ScanImageScanner scanner;
    EXPECT_EQ(scanner.results(), nullptr);  // nothing scanned yet
    ASSERT_GT(scanner.scanImage(*grey), 0);
    auto set = scanner.results();
    ASSERT_TRUE(set);
    EXPECT_EQ(set->count(), 1);

    std::vector<std::shared_ptr<ScanSymbol>> symbols(set->begin(), set->end());
    ASSERT_EQ(symbols.size(), 1u);
    const auto& symbol = symbols[0];
    EXPECT_EQ(symbol->type(), 64);
    EXPECT_EQ(symbol->typeName(), "QR-Code");
    EXPECT_EQ(symbol->data(), std::optional<std::string>("Q3T7K9"));
    EXPECT_EQ(symbol->components(), nullptr);
    auto bounds = symbol->bounds();
    ASSERT_TRUE(bounds);
    // Inside the picture, and around the drawn code (a module of slack).
    EXPECT_TRUE(ui::Rect(0, 0, 640, 480).containsRect(*bounds));
    EXPECT_NEAR(bounds->x(), qr.code.x(), 6);
    EXPECT_NEAR(bounds->y(), qr.code.y(), 6);
    EXPECT_NEAR(bounds->maxX(), qr.code.maxX(), 6);
    EXPECT_NEAR(bounds->maxY(), qr.code.maxY(), 6);

    // A symbol kept from the set outlives the set and the scanner's next scan.
    set.reset();
    auto blank = ScanImage::createWithCGImage(*greyPicture(640, 480, 255));
    EXPECT_EQ(scanner.scanImage(*blank), 0);
    EXPECT_EQ(scanner.results()->count(), 0);
    EXPECT_EQ(symbol->data(), std::optional<std::string>("Q3T7K9"));
}

TEST(ScanSymbols, DataKeepsEveryByteTheDecoderGave) {
    // A NUL byte inside the code does not end its text: the serial check
    // must see all eleven bytes, not a six-character serial.
    const std::string withNul("Q3T7K9\0EVIL", 11);
    struct {
        std::string text;
        std::optional<std::string> data;
    } table[] = {{withNul, withNul}, {"二维码", "二维码"}};
    for (const auto& row : table) {
        auto grey = ScanImage::createWithCGImage(*qrPicture(row.text).image);
        ScanImageScanner scanner;
        ASSERT_GT(scanner.scanImage(*grey), 0);
        auto set = scanner.results();
        ASSERT_NE(set->begin(), set->end());
        EXPECT_EQ((*set->begin())->data(), row.data);
    }
}

TEST(ScanSymbols, NamesOfSymbologies) {
    struct {
        int type;
        const char* name;
    } table[] = {{64, "QR-Code"}, {25, "I2/5"}, {128, "CODE-128"}, {13, "EAN-13"}};
    for (auto& row : table) EXPECT_EQ(ScanSymbol::nameForType(row.type), row.name) << row.type;
    EXPECT_EQ(ScanSymbol::create(nullptr), nullptr);
    EXPECT_EQ(ScanSymbolSet::create(nullptr), nullptr);
}

TEST(ScanImages, FourCharacterCodes) {
    struct {
        const char* text;
        uint32_t value;
    } table[] = {{"Y800", 0x30303859},  {"CV2P", 0x50325643}, {"RGB3", 0x33424752}, {"RGB4", 0x34424752},
                 {"RGBQ", 0x51424752},  {"GREY", 0x59455247}, {"AB", 0x4241},       {"", 0},
                 {"Y8001", 0x30303859}, {nullptr, 0}};
    for (auto& row : table) EXPECT_EQ(ScanImage::fourcc(row.text), row.value) << (row.text ? row.text : "null");
}

TEST(ScanImages, SizeAndCropAreRoundedAndClamped) {
    auto image = ScanImage::create();
    image->setCrop(ui::Rect(1, 2, 3, 4));
    image->setSize({639.5, 479.4});
    EXPECT_EQ(image->size(), (ui::Size{640, 479}));
    EXPECT_EQ(image->crop(), ui::Rect(0, 0, 640, 479));  // reset by the new size

    struct {
        ui::Rect asked, kept;
    } table[] = {
        {{10.4, 20.5, 100.49, 50.5}, {10, 21, 100, 51}},
        {{600, 400, 100, 100}, {600, 400, 40, 79}},  // reaching past the image
        {{700, 10, 10, 10}, {640, 10, 0, 10}},       // starting past it
        {{-5, -5, 20, 20}, {0, 0, 20, 20}},          // negative values round to 0
    };
    for (auto& row : table) {
        image->setCrop(row.asked);
        EXPECT_EQ(image->crop(), row.kept) << row.asked.description();
    }
}

TEST(ScanImages, GreyCropIsExactAndHalfSizeAveragesBlocks) {
    // 8x4 picture: every pixel a distinct grey, so misplaced pixels show.
    const int W = 8, H = 4;
    std::vector<uint8_t> rgba(W * H * 4, 255);
    for (int k = 0; k < W * H; ++k) rgba[k * 4] = rgba[k * 4 + 1] = rgba[k * 4 + 2] = uint8_t(k * 7);
    auto picture = ui::Image::fromRgba(W, H, rgba.data());

    // The right half, same size: pixel for pixel.
    auto half = ScanImage::createWithCGImage(*picture, ui::Rect(4, 0, 4, 4), ui::Size{4, 4});
    ASSERT_TRUE(half);
    EXPECT_EQ(half->size(), (ui::Size{4, 4}));
    std::vector<uint8_t> expected;
    for (int y = 0; y < 4; ++y)
        for (int x = 4; x < 8; ++x) expected.push_back(uint8_t((y * W + x) * 7));
    EXPECT_EQ(greyBytes(*half), expected);

    // The same crop at half the size: each pixel the mean of a 2x2 block.
    auto small = ScanImage::createWithCGImage(*picture, ui::Rect(4, 0, 4, 4), ui::Size{2, 2});
    ASSERT_TRUE(small);
    expected.clear();
    for (int by = 0; by < 2; ++by)
        for (int bx = 0; bx < 2; ++bx) {
            int sum = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) sum += ((by * 2 + dy) * W + 4 + bx * 2 + dx) * 7;
            expected.push_back(uint8_t((sum + 2) / 4));
        }
    EXPECT_EQ(greyBytes(*small), expected);

    // A crop outside the picture draws nothing: black.
    auto outside = ScanImage::createWithCGImage(*picture, ui::Rect(20, 20, 2, 2), ui::Size{2, 2});
    ASSERT_TRUE(outside);
    EXPECT_EQ(greyBytes(*outside), std::vector<uint8_t>(4, 0));

    // Empty crops and sizes have no pixels to make.
    EXPECT_EQ(ScanImage::createWithCGImage(*picture, ui::Rect(0, 0, 0, 4), ui::Size{4, 4}), nullptr);
    EXPECT_EQ(ScanImage::createWithCGImage(*picture, ui::Rect(0, 0, 4, 4), ui::Size{0.4, 4}), nullptr);
    EXPECT_EQ(ScanImage::createWithCGImage(*picture, ui::Rect(0, 0, 4, 4), ui::Size{-4, 4}), nullptr);
}

TEST(ScanImages, TransparentPartsOfAPictureReadAsWhitePaper) {
    // A black code on a transparent background, as drawing programs save it.
    auto qr = qrPicture("Q3T7K9");
    auto rgba = qr.image->rgbaPixels();
    for (size_t k = 0; k < rgba.size(); k += 4)
        if (rgba[k] == 255) rgba[k + 3] = 0;
    auto picture = ui::Image::fromRgba(640, 480, rgba.data());
    auto grey = ScanImage::createWithCGImage(*picture);
    ASSERT_TRUE(grey);
    EXPECT_EQ(greyBytes(*grey)[0], 255);
    ScanImageScanner scanner;
    ASSERT_GT(scanner.scanImage(*grey), 0);
    EXPECT_EQ((*scanner.results()->begin())->data(), std::optional<std::string>("Q3T7K9"));

    // Half-transparent pixels lie between their colour and white; at half
    // the size a block of them averages the same way.
    const uint8_t pixels[] = {0, 0, 0, 128, 200, 200, 200, 255, 255, 0, 0, 0, 0, 0, 0, 255};
    auto four = ui::Image::fromRgba(4, 1, pixels);
    auto row = ScanImage::createWithCGImage(*four);
    EXPECT_EQ(greyBytes(*row), (std::vector<uint8_t>{127, 200, 255, 0}));
    auto shrunk = ScanImage::createWithCGImage(*four, ui::Size{2, 1});
    EXPECT_EQ(greyBytes(*shrunk), (std::vector<uint8_t>{164, 128}));
}

// The plain definition of the grey image: every grey pixel the rounded mean
// of the luma of the source pixels whose centres lie in its box (black
// outside the picture; at least one pixel a box).
std::vector<uint8_t> referenceGrey(const ui::Image& picture, ui::Rect crop, unsigned w, unsigned h) {
    long W = picture.pixelWidth(), H = picture.pixelHeight();
    auto rgba = picture.rgbaPixels();
    auto span = [](double from, double to) {
        long first = long(std::ceil(from - 0.5)), last = long(std::ceil(to - 0.5));
        if (last <= first) first = long(std::floor((from + to) / 2)), last = first + 1;
        return std::pair<long, long>{first, last};
    };
    double sx = w / crop.width(), sy = h / crop.height();
    std::vector<uint8_t> out;
    for (unsigned j = 0; j < h; ++j)
        for (unsigned i = 0; i < w; ++i) {
            auto [x0, x1] = span(crop.x() + i / sx, crop.x() + (i + 1) / sx);
            auto [y0, y1] = span(crop.y() + j / sy, crop.y() + (j + 1) / sy);
            double sum = 0;
            for (long y = std::max(y0, 0L); y < std::min(y1, H); ++y)
                for (long x = std::max(x0, 0L); x < std::min(x1, W); ++x) {
                    const uint8_t* p = rgba.data() + (size_t(y) * W + x) * 4;
                    sum += (299 * p[0] + 587 * p[1] + 114 * p[2] + 500) / 1000;
                }
            out.push_back(uint8_t(std::lround(sum / (double(x1 - x0) * double(y1 - y0)))));
        }
    return out;
}

TEST(ScanImages, GreyOfOpaquePicturesIsTheBoxMeanOfTheirLuma) {
    // Random colours, so any pixel taken from the wrong place shows.
    const int W = 97, H = 61;
    std::vector<uint8_t> rgba(W * H * 4, 255);
    uint32_t seed = 12345;
    for (size_t k = 0; k < rgba.size(); ++k)
        if (k % 4 != 3) rgba[k] = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    auto picture = ui::Image::fromRgba(W, H, rgba.data());
    struct {
        ui::Rect crop;
        unsigned w, h;
    } table[] = {
        {{0, 0, W, H}, W, H},           // as it is
        {{10, 5, 40, 30}, 40, 30},      // a crop, pixel for pixel
        {{0, 0, W, H}, 40, 25},         // shrunk by an odd factor
        {{3.3, 2.7, 50.5, 41}, 17, 9},  // a crop between pixels, shrunk
        {{0, 0, W, H}, 200, 130},       // enlarged
        {{0, 0, 40, 20}, 40, 10},       // shrunk down only
        {{80, 50, 40, 30}, 20, 15},     // reaching past the picture
    };
    for (const auto& row : table) {
        SCOPED_TRACE(::testing::Message() << row.w << "x" << row.h);
        auto grey = ScanImage::createWithCGImage(*picture, row.crop, ui::Size{double(row.w), double(row.h)});
        ASSERT_TRUE(grey);
        EXPECT_EQ(greyBytes(*grey), referenceGrey(*picture, row.crop, row.w, row.h));
    }
}

TEST(ScanImageScanners, RgbImagesAndShortBuffersAreRefused) {
    auto qr = qrPicture("Q3T7K9");
    auto grey = ScanImage::createWithCGImage(*qr.image);
    ScanImageScanner scanner;
    ASSERT_GT(scanner.scanImage(*grey), 0);
    auto before = scanner.results();

    std::vector<uint8_t> rgb(640 * 480 * 3, 255);
    auto image = ScanImage::create();
    image->setFormat(ScanImage::fourcc("RGB3"));
    image->setSize({640, 480});
    image->setData(rgb.data(), rgb.size());
    EXPECT_EQ(scanner.scanImage(*image), -1);
    EXPECT_EQ(scanner.results()->zbarSymbolSet(), before->zbarSymbolSet());  // no new results

    // A grey image whose bytes do not cover its size.
    image->setFormat(ScanImage::fourcc("GREY"));
    image->setData(rgb.data(), 640 * 479);
    EXPECT_EQ(scanner.scanImage(*image), -1);
    image->setData(nullptr, 0);
    EXPECT_EQ(scanner.scanImage(*image), -1);
}

TEST(ScanImageScanners, CacheHoldsBackRepeatsUntilReset) {
    auto grey = ScanImage::createWithCGImage(*qrPicture("Q3T7K9").image);
    ScanImageScanner scanner;
    scanner.setEnableCache(true);
    EXPECT_GT(scanner.scanImage(*grey), 0);
    EXPECT_EQ(scanner.scanImage(*grey), 0);  // the same code again: held back

    auto set = scanner.results();
    EXPECT_EQ(set->count(), 0);
    EXPECT_EQ(set->begin(), set->end());
    set->setFilterSymbols(false);
    EXPECT_EQ(set->count(), 1);
    int seen = 0;
    for (const auto& symbol : *set) {
        EXPECT_EQ(symbol->data(), std::optional<std::string>("Q3T7K9"));
        EXPECT_GE(symbol->count(), 1);
        ++seen;
    }
    EXPECT_EQ(seen, 1);

    // Setting the cache again, even to the same value, empties it.
    scanner.setEnableCache(true);
    EXPECT_GT(scanner.scanImage(*grey), 0);
    scanner.setEnableCache(false);
    EXPECT_GT(scanner.scanImage(*grey), 0);
    EXPECT_GT(scanner.scanImage(*grey), 0);  // no cache: every scan reports it

    // A scanner that goes with symbols in its cache leaves nothing behind
    // (the leak checker would report them).
    auto cached = std::make_unique<ScanImageScanner>();
    cached->setEnableCache(true);
    EXPECT_GT(cached->scanImage(*grey), 0);
    cached.reset();
}

TEST(ScanImageScanners, ConfigurationSwitchesSymbologies) {
    auto grey = ScanImage::createWithCGImage(*qrPicture("Q3T7K9").image);
    ScanImageScanner scanner;
    scanner.setSymbology(25, 0, 0);  // I2/5 off: QR still read
    EXPECT_GT(scanner.scanImage(*grey), 0);
    scanner.parseConfig("qrcode.enable=0");
    EXPECT_EQ(scanner.scanImage(*grey), 0);
    scanner.parseConfig("not a setting");  // ignored
    scanner.setSymbology(64, 0, 1);
    EXPECT_GT(scanner.scanImage(*grey), 0);
}

TEST(ScanImages, RgbPixelsBecomePictures) {
    struct {
        const char* format;
        std::vector<uint8_t> bytes;  // one red pixel, then one blue
    } table[] = {
        {"RGB3", {255, 0, 0, 0, 0, 255}},
        {"RGB4", {0, 255, 0, 0, 0, 0, 0, 255}},
        {"RGBQ", {0x7c, 0x00, 0x00, 0x1f}},
    };
    for (auto& row : table) {
        auto image = ScanImage::create();
        image->setFormat(ScanImage::fourcc(row.format));
        image->setSize({2, 1});
        image->setData(row.bytes.data(), row.bytes.size());
        auto picture = image->UIImageWithOrientation(ui::ImageOrientation::Right);
        ASSERT_TRUE(picture) << row.format;
        EXPECT_EQ(picture->orientation(), ui::ImageOrientation::Right);
        EXPECT_EQ(picture->pixel(0, 0), (ui::Rgba{255, 0, 0, 255})) << row.format;
        EXPECT_EQ(picture->pixel(1, 0), (ui::Rgba{0, 0, 255, 255})) << row.format;

        // One byte short of the two pixels: refused, nothing read past it.
        image->setData(row.bytes.data(), row.bytes.size() - 1);
        EXPECT_EQ(image->UIImage(), nullptr) << row.format;
    }

    LogCapture log;
    auto grey = ScanImage::createWithCGImage(*greyPicture(4, 4, 0));
    EXPECT_EQ(grey->UIImage(), nullptr);
    EXPECT_TRUE(log.contains("ERROR: format Y800(30303859) is unsupported"));
}

namespace {

// A 2x2-pixel NV12 frame per (Y, Cb, Cr) so every pixel takes that colour.
media::PixelBufferRef frameOf(uint8_t y, uint8_t cb, uint8_t cr, size_t w = 2, size_t h = 2) {
    auto buf = media::PixelBuffer::createNV12(w, h);
    std::memset(buf->baseAddressOfPlane(0), y, buf->dataSizeOfPlane(0));
    uint8_t* c = buf->baseAddressOfPlane(1);
    for (size_t k = 0; k < buf->dataSizeOfPlane(1); k += 2) c[k] = cb, c[k + 1] = cr;
    return buf;
}

std::shared_ptr<ScanCVImage> cvImage(media::PixelBufferRef frame) {
    auto image = ScanCVImage::create();
    image->setFormat(ScanImage::fourcc("CV2P"));
    image->setSize({double(frame->bytesPerRowOfPlane(0)), double(frame->heightOfPlane(0))});
    image->setPixelBuffer(std::move(frame));
    return image;
}

}  // namespace

TEST(ScanCVImages, VideoRangeFramesConvertToRgb) {
    struct {
        uint8_t y, cb, cr;
        ui::Rgba rgb;
    } table[] = {
        {16, 128, 128, {0, 0, 0, 255}},        {235, 128, 128, {255, 255, 255, 255}},
        {128, 128, 128, {130, 130, 130, 255}}, {81, 90, 240, {254, 0, 0, 255}},
        {145, 54, 34, {0, 255, 1, 255}},       {41, 240, 110, {0, 0, 255, 255}},
        {235, 128, 255, {255, 152, 255, 255}},  // clamps, does not wrap
        {16, 0, 0, {0, 154, 0, 255}},
    };
    for (auto& row : table) {
        auto image = cvImage(frameOf(row.y, row.cb, row.cr));
        auto picture = image->UIImage();
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->pixel(1, 1), row.rgb) << int(row.y) << "," << int(row.cb) << "," << int(row.cr);
        EXPECT_EQ(image->pixelBuffer(), nullptr);  // the frame is given back
    }
}

TEST(ScanCVImages, ConvertsOnceAndUsesTheFrameSizeOfPaddedFrames) {
    LogCapture log;
    // A 6x4 frame with rows padded to 16 bytes: the image claims 16x4, the
    // picture is the frame's 6x4, each column its own chroma pair.
    auto frame = media::PixelBuffer::createNV12(6, 4, 16, 16);
    for (size_t j = 0; j < 4; ++j)
        for (size_t i = 0; i < 16; ++i) frame->baseAddressOfPlane(0)[j * 16 + i] = i < 6 ? 235 : 16;
    frame->baseAddressOfPlane(1)[2 * 2 + 1] = 255;  // third pair: more red
    auto image = cvImage(frame);
    EXPECT_EQ(image->size(), (ui::Size{16, 4}));

    uint64_t before = ScanCVImage::conversionCount();
    auto first = image->UIImage();
    auto second = image->UIImageWithOrientation(ui::ImageOrientation::Right);
    EXPECT_EQ(ScanCVImage::conversionCount(), before + 1);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->pixelWidth(), 6);
    EXPECT_EQ(first->pixelHeight(), 4);
    EXPECT_EQ(second->orientation(), ui::ImageOrientation::Right);
    EXPECT_EQ(first->pixel(0, 0), (ui::Rgba{255, 255, 255, 255}));
    EXPECT_EQ(first->pixel(4, 1), (ui::Rgba{255, 152, 255, 255}));
    EXPECT_EQ(first->pixel(4, 3), (ui::Rgba{255, 255, 255, 255}));  // the next chroma row
    EXPECT_EQ(first->pixel(5, 0), (ui::Rgba{255, 152, 255, 255}));
    EXPECT_EQ(second->pixel(3, 0), (ui::Rgba{255, 255, 255, 255}));
    EXPECT_TRUE(log.contains("ScanCVImage: convert time "));
    EXPECT_EQ(image->rgbWidth(), 6u);
}

TEST(ScanCVImages, FramesThatDoNotCoverTheirSizeMakeNoPicture) {
    using Plane = media::PixelBuffer::Plane;
    struct Case {
        const char* what;
        media::PixelBufferRef frame;
    };
    std::vector<Case> cases;
    cases.push_back({"luma stride narrower than the frame",
                     media::PixelBuffer::createWithPlanes(
                         media::kPixelFormatNV12VideoRange, 4, 2,
                         {Plane{4, 2, 3, std::vector<uint8_t>(6, 16)}, Plane{2, 1, 4, std::vector<uint8_t>(4, 128)}})});
    cases.push_back(
        {"chroma plane missing", media::PixelBuffer::createWithPlanes(media::kPixelFormatNV12VideoRange, 4, 2,
                                                                      {Plane{4, 2, 4, std::vector<uint8_t>(8, 16)}})});
    cases.push_back({"luma rows fewer than the height",
                     media::PixelBuffer::createWithPlanes(
                         media::kPixelFormatNV12VideoRange, 4, 4,
                         {Plane{4, 2, 4, std::vector<uint8_t>(8, 16)}, Plane{2, 2, 4, std::vector<uint8_t>(8, 128)}})});
    cases.push_back({"odd width without room for its last chroma pair",
                     media::PixelBuffer::createWithPlanes(
                         media::kPixelFormatNV12VideoRange, 3, 2,
                         {Plane{3, 2, 3, std::vector<uint8_t>(6, 16)}, Plane{2, 1, 3, std::vector<uint8_t>(3, 128)}})});
    for (auto& c : cases) {
        auto image = cvImage(c.frame);
        EXPECT_EQ(image->UIImage(), nullptr) << c.what;
        EXPECT_EQ(image->rgbBuffer(), nullptr) << c.what;
        EXPECT_EQ(image->pixelBuffer(), nullptr) << c.what;  // released all the same
        EXPECT_EQ(c.frame->lockCount(), 0) << c.what;
    }

    // Another format than "CV2P" is not converted at all.
    auto frame = frameOf(235, 128, 128);
    auto image = cvImage(frame);
    image->setFormat(ScanImage::fourcc("Y800"));
    image->convertCVtoRGB();
    EXPECT_EQ(image->rgbBuffer(), nullptr);
    EXPECT_EQ(image->pixelBuffer(), frame);
}

namespace {

// A JPEG photo of a QR code: the paper tinted with colour ramps, so that the
// luma of the decoded colours is not the grey of the paper.
std::vector<uint8_t> colourQrJpeg(int width, int height, int module) {
    auto qr = qrPicture("Q3T7K9", width, height, module);
    auto rgba = qr.image->rgbaPixels();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
            if (p[0] == 0) continue;
            p[0] = uint8_t(255 - x % 64), p[1] = uint8_t(200 + y % 50), p[2] = uint8_t(180 + (x + y) % 70);
        }
    return ui::Image::fromRgba(width, height, rgba.data())->encodeJPEG(0.9);
}

std::vector<std::string> readAll(ScanImageScanner& scanner, const std::shared_ptr<ScanImage>& image) {
    std::vector<std::string> out;
    if (!image || scanner.scanImage(*image) <= 0) return out;
    const auto set = scanner.results();
    for (const auto& s : *set) out.push_back(s->typeName() + ":" + s->data().value_or(""));
    return out;
}

}  // namespace

TEST(ScanGreyPictures, AtFullSizeTheGreyIsTheColourDecodesGreyToTheByte) {
    const auto jpeg = colourQrJpeg(900, 700, 8);
    auto colour = ui::Image::decodeJPEG(jpeg);
    ASSERT_TRUE(colour);
    // 700 / 2 is below 400: the decoder keeps the full size.
    for (int minimumSide : {0, 400}) {
        SCOPED_TRACE(minimumSide);
        auto grey = ScanGreyPicture::decodeJPEG(jpeg, minimumSide);
        ASSERT_TRUE(grey);
        EXPECT_EQ(grey->width, 900u);
        EXPECT_EQ(grey->height, 700u);
        struct {
            ui::Rect crop;
            ui::Size size;
        } table[] = {{{0, 0, 900, 700}, {900, 700}},
                     {{0, 0, 900, 700}, {640, 498}},
                     {{100, 50, 600, 500}, {300, 250}},
                     {{-20, 10, 400, 300}, {500, 375}}};
        for (const auto& row : table) {
            auto a = ScanImage::createWithCGImage(*colour, row.crop, row.size);
            auto b = ScanImage::createWithGreyPicture(*grey, row.crop, row.size);
            ASSERT_TRUE(a && b);
            EXPECT_EQ(greyBytes(*a), greyBytes(*b)) << row.crop.x() << " " << row.size.width;
        }
    }
}

TEST(ScanGreyPictures, ScaledByTheDecoderTheyReadTheSameCodes) {
    const auto jpeg = colourQrJpeg(2600, 2000, 24);
    struct {
        int minimumSide;
        unsigned width, height;
    } table[] = {{0, 2600, 2000}, {640, 1300, 1000}, {480, 650, 500}, {200, 325, 250}, {1, 325, 250}};
    for (const auto& row : table) {
        ScanImageScanner scanner;
        SCOPED_TRACE(row.minimumSide);
        auto grey = ScanGreyPicture::decodeJPEG(jpeg, row.minimumSide);
        ASSERT_TRUE(grey);
        EXPECT_EQ(grey->fullWidth, 2600u);
        EXPECT_EQ(grey->fullHeight, 2000u);
        EXPECT_EQ(grey->width, row.width);
        EXPECT_EQ(grey->height, row.height);
        ui::ImageDecodeOptions options;
        options.minimumSide = row.minimumSide;
        auto colour = ui::Image::fromData(jpeg, 1, nullptr, options);
        ASSERT_TRUE(colour);
        // The reader's scan: the whole picture at 640 pixels across.
        const ui::Size size{640, 640.0 * 2000 / 2600};
        auto fromGrey = readAll(scanner, ScanImage::createWithGreyPicture(*grey, {0, 0, 2600, 2000}, size));
        auto fromColour =
            readAll(scanner, ScanImage::createWithCGImage(
                                 *colour, {0, 0, double(colour->pixelWidth()), double(colour->pixelHeight())}, size));
        EXPECT_EQ(fromGrey, std::vector<std::string>{"QR-Code:Q3T7K9"});
        // At 1/8 (3-pixel modules enlarged) the colours' chroma bleeds into
        // the modules and the colour road may read nothing; what it reads,
        // the grey road reads too.
        if (row.width > 325u || !fromColour.empty()) {
            EXPECT_EQ(fromGrey, fromColour);
        }
    }
}

TEST(ScanGreyPictures, DamagedOrOtherDataIsRefusedWithItsReason) {
    const auto jpeg = colourQrJpeg(320, 240, 4);
    struct {
        const char* what;
        std::vector<uint8_t> data;
        ui::ImageErrorCode code;
    } table[] = {
        {"cut short", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2)), ui::kImageDamaged},
        {"a PNG", qrPicture("Q3T7K9").image->encodePNG(), ui::kImageNotAPicture},
        {"empty", {}, ui::kImageNotAPicture},
    };
    for (const auto& row : table) {
        foundation::ErrorRef error;
        EXPECT_EQ(ScanGreyPicture::decodeJPEG(row.data, 0, &error), nullptr) << row.what;
        ASSERT_TRUE(error) << row.what;
        EXPECT_TRUE(error->is(ui::kImageErrorDomain, row.code)) << row.what << ": " << error->description();
        EXPECT_FALSE(error->message.empty()) << row.what;
    }
}
