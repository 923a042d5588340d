#include "lib/reader/ScanImage.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <cairo.h>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "platform/ui/JpegErrors.h"

using namespace zbar;

namespace {

// The largest grey image made from a picture: enough for any camera still.
constexpr double kMaxGreyPixels = double(1 << 26);

unsigned roundToUnsigned(double v) {
    if (!(v > 0)) return 0;  // negative and NaN
    if (v >= 4294967295.0) return 4294967295u;
    return unsigned(v + 0.5);
}

std::string fourccText(unsigned long format) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        char c = char((format >> (8 * i)) & 0xff);
        if (!c) break;
        text += c;
    }
    return text;
}

// Source pixel indices whose centres lie in [from, to); at least one.
std::pair<long, long> footprint(double from, double to) {
    // Far outside any picture it is all black anyway; keep the indices in range.
    const double limit = 1e12;
    from = std::clamp(from, -limit, limit);
    to = std::clamp(to, -limit, limit);
    long first = long(std::ceil(from - 0.5)), last = long(std::ceil(to - 0.5));
    if (last <= first) {
        first = long(std::floor((from + to) / 2));
        last = first + 1;
    }
    return {first, last};
}

// The grey of one stored pixel (premultiplied ARGB), composited onto white:
// a transparent background reads as paper, not as ink. Opaque pixels give
// their luma exactly.
inline unsigned greyOf(uint32_t px) {
    unsigned a = px >> 24;
    unsigned luma = (299u * ((px >> 16) & 0xff) + 587u * ((px >> 8) & 0xff) + 114u * (px & 0xff) + 500u) / 1000u;
    return a == 255 ? luma : luma + (255u - a);
}

// The pixels grey images are made from: rows of a picture's stored pixels
// (premultiplied ARGB) or of grey bytes, and the grey of one pixel.
template <class Pixel>
struct Rows {
    const uint8_t* data = nullptr;
    size_t stride = 0;
    long W = 0, H = 0;
    const Pixel* row(long y) const { return reinterpret_cast<const Pixel*>(data + size_t(y) * stride); }
};
struct ArgbRows : Rows<uint32_t> {
    static unsigned grey(uint32_t px) { return greyOf(px); }
};
struct GreyRows : Rows<uint8_t> {
    static unsigned grey(uint8_t px) { return px; }
};

// Fills the w x h grey buffer from the crop of the source: each grey pixel
// covers a box of the source, averaged when shrinking, picked when
// enlarging; what lies outside the source is black.
template <class Source>
void fillGrey(const Source& source, ui::Rect crop, ui::Size size, unsigned w, unsigned h, uint8_t* grey) {
    const long W = source.W, H = source.H;
    if (!source.data || W <= 0 || H <= 0) return;
    auto row = [&](long y) { return source.row(y); };

    double sx = size.width / crop.width(), sy = size.height / crop.height();
    std::vector<std::pair<long, long>> columns(w), rows(h);
    bool single = true;  // every box one source pixel wide, inside the picture
    for (unsigned i = 0; i < w; ++i) {
        columns[i] = footprint(crop.x() + i / sx, crop.x() + (i + 1) / sx);
        single = single && columns[i].second == columns[i].first + 1 && columns[i].first >= 0 && columns[i].first < W;
    }
    for (unsigned j = 0; j < h; ++j) rows[j] = footprint(crop.y() + j / sy, crop.y() + (j + 1) / sy);

    if (single) {
        // No shrinking across: one source pixel a grey pixel in each row.
        const long x0 = columns[0].first;
        bool contiguous = columns[w - 1].first == x0 + long(w) - 1;
        for (unsigned j = 0; j < h; ++j) {
            auto [y0, y1] = rows[j];
            uint8_t* out = grey + size_t(j) * w;
            if (y1 == y0 + 1) {
                if (y0 < 0 || y0 >= H) continue;  // black, as calloc left it
                const auto* src = row(y0);
                if (contiguous)
                    for (unsigned i = 0; i < w; ++i) out[i] = uint8_t(Source::grey(src[x0 + long(i)]));
                else
                    for (unsigned i = 0; i < w; ++i) out[i] = uint8_t(Source::grey(src[columns[i].first]));
                continue;
            }
            double n = double(y1 - y0);
            for (unsigned i = 0; i < w; ++i) {
                uint64_t sum = 0;
                for (long y = std::max(y0, 0L); y < std::min(y1, H); ++y) sum += Source::grey(row(y)[columns[i].first]);
                out[i] = uint8_t(std::lround(double(sum) / n));
            }
        }
        return;
    }

    // Shrinking (or boxes reaching past the picture): each source row's grey
    // values are added into the sums of the grey row it belongs to.
    const long from = std::clamp(columns[0].first, 0L, W), to = std::clamp(columns[w - 1].second, 0L, W);
    std::vector<uint16_t> line(size_t(std::max(to - from, 0L)));
    std::vector<uint64_t> sums(w);
    for (unsigned j = 0; j < h; ++j) {
        auto [y0, y1] = rows[j];
        std::fill(sums.begin(), sums.end(), 0);
        for (long y = std::max(y0, 0L); y < std::min(y1, H); ++y) {
            const auto* src = row(y);
            for (long x = from; x < to; ++x) line[size_t(x - from)] = uint16_t(Source::grey(src[x]));
            for (unsigned i = 0; i < w; ++i) {
                long a = std::max(columns[i].first, from), b = std::min(columns[i].second, to);
                uint64_t sum = 0;
                for (long x = a; x < b; ++x) sum += line[size_t(x - from)];
                sums[i] += sum;
            }
        }
        uint8_t* out = grey + size_t(j) * w;
        double rowsCovered = double(y1 - y0);
        for (unsigned i = 0; i < w; ++i) {
            double n = double(columns[i].second - columns[i].first) * rowsCovered;
            out[i] = uint8_t(std::lround(double(sums[i]) / n));
        }
    }
}

}  // namespace

namespace {
void setError(foundation::ErrorRef* error, ui::ImageErrorCode code, std::string message) {
    if (error) *error = foundation::Error::make(ui::kImageErrorDomain, code, std::move(message));
}
}  // namespace

namespace {
enum class Decoded { Whole, Damaged, TooLarge };

// The decode itself: nothing in here but the decoder's own state lives
// across the jump its errors take.
Decoded decodeGrey(const std::vector<uint8_t>& data, int minimumSide, ScanGreyPicture& picture,
                   std::vector<uint8_t>& row, ui::JpegError& err) {
    jpeg_decompress_struct cinfo;
    err.attach(cinfo);
    volatile bool tooLarge = false;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return tooLarge ? Decoded::TooLarge : Decoded::Damaged;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), (unsigned long)data.size());
    jpeg_read_header(&cinfo, TRUE);
    picture.fullWidth = cinfo.image_width;
    picture.fullHeight = cinfo.image_height;
    unsigned denom = 1;
    while (minimumSide > 0 && denom < 8 && cinfo.image_width / (denom * 2) >= unsigned(minimumSide) &&
           cinfo.image_height / (denom * 2) >= unsigned(minimumSide))
        denom *= 2;
    cinfo.scale_num = 1;
    cinfo.scale_denom = denom;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    // At full size the colours the colour decode gives, for their luma;
    // scaled, the stored luma alone (the decoder then skips the colour).
    cinfo.out_color_space = cmyk ? JCS_CMYK : denom > 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_calc_output_dimensions(&cinfo);
    picture.width = cinfo.output_width;
    picture.height = cinfo.output_height;
    if (uint64_t(picture.width) * picture.height > uint64_t(ui::Image::kMaxPixels)) {
        tooLarge = true;
        longjmp(err.jump, 1);
    }
    jpeg_start_decompress(&cinfo);
    const unsigned w = picture.width;
    const int comps = cinfo.output_components;
    picture.pixels.resize(size_t(w) * picture.height);
    row.resize(size_t(w) * size_t(comps));
    while (cinfo.output_scanline < cinfo.output_height) {
        uint8_t* out = picture.pixels.data() + size_t(cinfo.output_scanline) * w;
        JSAMPROW into = comps == 1 ? out : row.data();
        jpeg_read_scanlines(&cinfo, &into, 1);
        if (comps == 1) continue;
        for (unsigned x = 0; x < w; ++x) {
            const uint8_t* p = row.data() + size_t(x) * size_t(comps);
            uint32_t r = p[0], g = p[1], b = p[2];
            if (cmyk) {
                // Stored inverted, as the common writers do.
                const uint32_t k = p[3];
                r = r * k / 255, g = g * k / 255, b = b * k / 255;
            }
            out[x] = uint8_t(greyOf(0xFF000000u | (r << 16) | (g << 8) | b));
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return Decoded::Whole;
}
}  // namespace

std::shared_ptr<ScanGreyPicture> ScanGreyPicture::decodeJPEG(const std::vector<uint8_t>& data, int minimumSide,
                                                             foundation::ErrorRef* error) {
    if (data.size() < 3 || data[0] != 0xFF || data[1] != 0xD8) {
        setError(error, ui::kImageNotAPicture, "not JPEG data");
        return nullptr;
    }
    auto picture = std::make_shared<ScanGreyPicture>();
    std::vector<uint8_t> row;
    ui::JpegError err;
    switch (decodeGrey(data, minimumSide, *picture, row, err)) {
        case Decoded::Whole:
            return picture;
        case Decoded::TooLarge:
            setError(error, ui::kImageTooLarge,
                     "the JPEG picture of " + std::to_string(picture->width) + " x " + std::to_string(picture->height) +
                         " pixels is too large: at most " + std::to_string(ui::Image::kMaxPixels) +
                         " pixels are decoded");
            return nullptr;
        case Decoded::Damaged:
            break;
    }
    setError(error, ui::kImageDamaged,
             std::string("the JPEG data is damaged: ") + (err.message[0] ? err.message : "no picture"));
    return nullptr;
}

uint32_t ScanImage::fourcc(const char* code) { return code ? fourcc(std::string_view(code)) : 0; }

uint32_t ScanImage::fourcc(std::string_view code) {
    uint32_t value = 0;
    for (size_t i = 0; i < code.size() && i < 4; ++i) value |= uint32_t(uint8_t(code[i])) << (8 * i);
    return value;
}

ScanImage::ScanImage(Token, zbar_image_t* image) : zimg_(image) {
    zbar_image_ref(zimg_, 1);
    zbar_image_set_userdata(zimg_, this);
}

ScanImage::~ScanImage() {
    // The library may outlive this wrapper through other references: it must
    // not call back into a wrapper that is going away.
    zbar_image_set_userdata(zimg_, nullptr);
    zbar_image_ref(zimg_, -1);
    zimg_ = nullptr;
}

std::shared_ptr<ScanImage> ScanImage::createWithImage(zbar_image_t* image) {
    if (!image) return nullptr;
    return std::make_shared<ScanImage>(Token{}, image);
}

std::shared_ptr<ScanImage> ScanImage::create() {
    zbar_image_t* image = zbar_image_create();
    auto wrapper = createWithImage(image);
    if (image) zbar_image_ref(image, -1);
    return wrapper;
}

std::shared_ptr<ScanImage> ScanImage::createWithCGImage(const ui::Image& picture) {
    return createWithCGImage(picture, ui::Size{double(picture.pixelWidth()), double(picture.pixelHeight())});
}

std::shared_ptr<ScanImage> ScanImage::createWithCGImage(const ui::Image& picture, ui::Size size) {
    return createWithCGImage(picture, ui::Rect(0, 0, picture.pixelWidth(), picture.pixelHeight()), size);
}

namespace {
// A grey ("Y800") image of `size` pixels filled from the crop of the source.
template <class Source>
std::shared_ptr<ScanImage> greyImage(const Source& source, ui::Rect crop, ui::Size size) {
    // An empty crop has no pixels to scale, and an empty size no buffer.
    if (!(crop.width() > 0) || !(crop.height() > 0) || !std::isfinite(crop.x()) || !std::isfinite(crop.y()) ||
        !std::isfinite(crop.width()) || !std::isfinite(crop.height()))
        return nullptr;
    unsigned w = roundToUnsigned(size.width), h = roundToUnsigned(size.height);
    if (w == 0 || h == 0 || double(w) * double(h) > kMaxGreyPixels) return nullptr;
    auto image = ScanImage::create();
    if (!image) return nullptr;
    auto* grey = static_cast<uint8_t*>(std::calloc(size_t(w) * h, 1));
    if (!grey) return nullptr;
    zbar_image_set_data(image->zbarImage(), grey, size_t(w) * h, zbar_image_free_data);
    zbar_image_set_format(image->zbarImage(), ScanImage::fourcc("Y800"));
    zbar_image_set_size(image->zbarImage(), w, h);
    fillGrey(source, crop, size, w, h, grey);
    return image;
}
}  // namespace

std::shared_ptr<ScanImage> ScanImage::createWithCGImage(const ui::Image& picture, ui::Rect crop, ui::Size size) {
    cairo_surface_t* surface = picture.surface();
    cairo_surface_flush(surface);
    ArgbRows rows;
    rows.data = cairo_image_surface_get_data(surface);
    rows.stride = size_t(cairo_image_surface_get_stride(surface));
    rows.W = picture.pixelWidth();
    rows.H = picture.pixelHeight();
    return greyImage(rows, crop, size);
}

std::shared_ptr<ScanImage> ScanImage::createWithGreyPicture(const ScanGreyPicture& picture, ui::Rect crop,
                                                            ui::Size size) {
    if (picture.fullWidth == 0 || picture.fullHeight == 0 ||
        picture.pixels.size() < size_t(picture.width) * picture.height)
        return nullptr;
    GreyRows rows;
    rows.data = picture.pixels.data();
    rows.stride = picture.width;
    rows.W = long(picture.width);
    rows.H = long(picture.height);
    // The crop in decoded pixels: exactly the same where nothing was scaled.
    const double fx = double(picture.width) / picture.fullWidth, fy = double(picture.height) / picture.fullHeight;
    if (fx != 1 || fy != 1) crop = ui::Rect(crop.x() * fx, crop.y() * fy, crop.width() * fx, crop.height() * fy);
    return greyImage(rows, crop, size);
}

unsigned long ScanImage::format() const { return zbar_image_get_format(zimg_); }
void ScanImage::setFormat(unsigned long format) { zbar_image_set_format(zimg_, format); }
unsigned ScanImage::sequence() const { return zbar_image_get_sequence(zimg_); }
void ScanImage::setSequence(unsigned sequence) { zbar_image_set_sequence(zimg_, sequence); }

ui::Size ScanImage::size() const {
    unsigned w = 0, h = 0;
    zbar_image_get_size(zimg_, &w, &h);
    return {double(w), double(h)};
}

void ScanImage::setSize(ui::Size size) {
    zbar_image_set_size(zimg_, roundToUnsigned(size.width), roundToUnsigned(size.height));
}

ui::Rect ScanImage::crop() const {
    unsigned x = 0, y = 0, w = 0, h = 0;
    zbar_image_get_crop(zimg_, &x, &y, &w, &h);
    return ui::Rect(x, y, w, h);
}

void ScanImage::setCrop(ui::Rect crop) {
    zbar_image_set_crop(zimg_, roundToUnsigned(crop.x()), roundToUnsigned(crop.y()), roundToUnsigned(crop.width()),
                        roundToUnsigned(crop.height()));
}

std::shared_ptr<ScanSymbolSet> ScanImage::symbols() const {
    return ScanSymbolSet::create(zbar_image_get_symbols(zimg_));
}

void ScanImage::setSymbols(const std::shared_ptr<ScanSymbolSet>& symbols) {
    zbar_image_set_symbols(zimg_, symbols ? symbols->zbarSymbolSet() : nullptr);
}

const void* ScanImage::data() const { return zbar_image_get_data(zimg_); }
unsigned long ScanImage::dataLength() const { return zbar_image_get_data_length(zimg_); }

void ScanImage::dataCleanup(zbar_image_t* image) {
    if (auto* wrapper = static_cast<ScanImage*>(const_cast<void*>(zbar_image_get_userdata(image)))) wrapper->cleanup();
}

void ScanImage::setData(const void* data, unsigned long length) {
    zbar_image_set_data(zimg_, data, data ? length : 0, data ? dataCleanup : nullptr);
}

ui::ImageRef ScanImage::UIImageWithOrientation(ui::ImageOrientation orientation) {
    unsigned long format = this->format();
    int bits;
    if (format == fourcc("RGBQ"))
        bits = 16;
    else if (format == fourcc("RGB4"))
        bits = 32;
    else if (format == fourcc("RGB3"))
        bits = 24;
    else {
        char line[96];
        std::snprintf(line, sizeof line, "ScanImage: ERROR: format %.4s(%08lx) is unsupported",
                      fourccText(format).c_str(), format);
        foundation::logLine(line);
        return nullptr;
    }
    unsigned w = 0, h = 0;
    zbar_image_get_size(zimg_, &w, &h);
    size_t row = size_t((bits + 7) / 8) * w;
    const auto* bytes = static_cast<const uint8_t*>(data());
    if (w == 0 || h == 0 || !bytes || dataLength() / row < h) {
        foundation::log("ScanImage: ERROR: ", w, "x", h, " ", fourccText(format), " needs ", row * h, " bytes, has ",
                        dataLength());
        return nullptr;
    }
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) {
            const uint8_t* p = bytes + y * row + x * size_t(bits / 8);
            uint8_t* o = rgba.data() + (y * w + x) * 4;
            if (bits == 24) {
                o[0] = p[0], o[1] = p[1], o[2] = p[2];
            } else if (bits == 32) {  // the first byte is skipped
                o[0] = p[1], o[1] = p[2], o[2] = p[3];
            } else {  // big-endian words: one skipped bit, then 5 bits each of R, G, B
                unsigned v = unsigned(p[0]) << 8 | p[1];
                unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                o[0] = uint8_t(r << 3 | r >> 2), o[1] = uint8_t(g << 3 | g >> 2), o[2] = uint8_t(b << 3 | b >> 2);
            }
            o[3] = 255;
        }
    auto picture = ui::Image::fromRgba(int(w), int(h), rgba.data());
    return picture ? picture->withScale(1, orientation) : nullptr;
}

// ---- ScanCVImage ----

namespace {
std::atomic<uint64_t> gConversions{0};

// One conversion at a time for the whole process.
foundation::SerialQueue& conversionQueue() {
    static foundation::SerialQueue queue("qr.convert");
    return queue;
}
}  // namespace

std::shared_ptr<ScanCVImage> ScanCVImage::create() {
    zbar_image_t* image = zbar_image_create();
    if (!image) return nullptr;
    auto wrapper = std::make_shared<ScanCVImage>(Token{}, image);
    zbar_image_ref(image, -1);
    return wrapper;
}

ScanCVImage::ScanCVImage(Token t, zbar_image_t* image) : ScanImage(t, image) {}

ScanCVImage::~ScanCVImage() {
    setData(nullptr, 0);
    setPixelBuffer(nullptr);
}

uint64_t ScanCVImage::conversionCount() { return gConversions.load(); }

media::PixelBufferRef ScanCVImage::pixelBuffer() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pixelBuffer_;
}

void ScanCVImage::setPixelBuffer(media::PixelBufferRef buffer) {
    std::lock_guard<std::mutex> lock(mutex_);
    pixelBuffer_ = std::move(buffer);
}

const uint8_t* ScanCVImage::rgbBuffer() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return rgb_.empty() ? nullptr : rgb_.data();
}

void ScanCVImage::waitUntilConverted() {
    std::unique_lock<std::mutex> lock(mutex_);
    converted_.wait(lock, [this] { return !pending_; });
}

void ScanCVImage::startConversion() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Converted already, or nothing left to convert.
        if (pending_ || !rgb_.empty() || !pixelBuffer_) return;
    }
    // At most one conversion is queued across all images.
    conversionQueue().sync([] {});
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pending_) return;
        pending_ = true;
    }
    auto self = std::static_pointer_cast<ScanCVImage>(shared_from_this());
    conversionQueue().async([self] { self->convertCVtoRGB(); });
}

void ScanCVImage::convertCVtoRGB() {
    double start = foundation::clock().monotonic();
    auto finish = [this] {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = false;
        converted_.notify_all();
    };
    if (format() != fourcc("CV2P")) {
        finish();
        return;
    }
    media::PixelBufferRef buffer = pixelBuffer();
    if (!buffer) {
        finish();
        return;
    }
    gConversions.fetch_add(1);
    buffer->lockBaseAddress(true);
    size_t width = buffer->width(), height = buffer->height();
    std::vector<uint8_t> rgb;
    if (media::rgbFromNV12(*buffer, rgb)) {
        rgb.resize(rgb.size() + width * 3);  // one spare row, as the buffer was always made
        {
            std::lock_guard<std::mutex> lock(mutex_);
            rgb_ = std::move(rgb);
            rgbWidth_ = width;
            rgbHeight_ = height;
        }
        setData(rgb_.data(), width * height * 3);
    }
    buffer->unlockBaseAddress();
    char line[64];
    std::snprintf(line, sizeof line, "ScanCVImage: convert time %gs", foundation::clock().monotonic() - start);
    foundation::logLine(line);
    setPixelBuffer(nullptr);
    finish();
}

ui::ImageRef ScanCVImage::UIImageWithOrientation(ui::ImageOrientation orientation) {
    startConversion();
    waitUntilConverted();
    std::vector<uint8_t> rgba;
    size_t w, h;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (rgb_.empty()) return nullptr;
        w = rgbWidth_, h = rgbHeight_;
        rgba.resize(w * h * 4);
        for (size_t k = 0; k < w * h; ++k) {
            rgba[k * 4] = rgb_[k * 3], rgba[k * 4 + 1] = rgb_[k * 3 + 1], rgba[k * 4 + 2] = rgb_[k * 3 + 2];
            rgba[k * 4 + 3] = 255;
        }
    }
    auto picture = ui::Image::fromRgba(int(w), int(h), rgba.data());
    return picture ? picture->withScale(1, orientation) : nullptr;
}
