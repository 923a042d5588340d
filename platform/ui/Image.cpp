#include "platform/ui/Image.h"

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"
#include "platform/ui/JpegErrors.h"
#include "platform/ui/Screen.h"

namespace ui {

Image::Image(cairo_surface_t* s, double scale, ImageOrientation o)
    : surface_(s), scale_(scale > 0 ? scale : 1), orientation_(o) {}

Image::~Image() { cairo_surface_destroy(surface_); }

static cairo_surface_t* toArgb32(cairo_surface_t* s) {
    if (cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32) return cairo_surface_reference(s);
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(out);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    return out;
}

std::shared_ptr<Image> Image::fromSurface(cairo_surface_t* surface, double scale, ImageOrientation o) {
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE)
        return nullptr;
    cairo_surface_flush(surface);
    return std::shared_ptr<Image>(new Image(toArgb32(surface), scale, o));
}

std::shared_ptr<Image> Image::create(int w, int h, double scale) {
    if (w <= 0 || h <= 0) return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return std::shared_ptr<Image>(new Image(s, scale, ImageOrientation::Up));
}

std::shared_ptr<Image> Image::fromRgba(int w, int h, const uint8_t* rgba, double scale) {
    auto img = create(w, h, scale);
    if (!img) return nullptr;
    cairo_surface_flush(img->surface_);
    unsigned char* data = cairo_image_surface_get_data(img->surface_);
    int stride = cairo_image_surface_get_stride(img->surface_);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = rgba + (size_t(y) * w + x) * 4;
            uint32_t a = p[3];
            uint32_t r = (p[0] * a + 127) / 255, g = (p[1] * a + 127) / 255, b = (p[2] * a + 127) / 255;
            row[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(img->surface_);
    return img;
}

namespace {
struct ReadCursor {
    const std::vector<uint8_t>* data;
    size_t pos = 0;
};

cairo_status_t readFromVector(void* closure, unsigned char* out, unsigned int length) {
    auto* c = static_cast<ReadCursor*>(closure);
    if (c->pos + length > c->data->size()) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, c->data->data() + c->pos, length);
    c->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t writeToVector(void* closure, const unsigned char* data, unsigned int length) {
    auto* v = static_cast<std::vector<uint8_t>*>(closure);
    v->insert(v->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}
}  // namespace

namespace {

void setError(foundation::ErrorRef* error, ImageErrorCode code, std::string message) {
    foundation::log("image: ", message);
    if (error) *error = foundation::Error::make(kImageErrorDomain, code, std::move(message));
}

std::string tooLargeMessage(const char* format, uint64_t w, uint64_t h) {
    return std::string(format) + " picture of " + std::to_string(w) + " x " + std::to_string(h) +
           " pixels is too large: at most " + std::to_string(Image::kMaxPixels) + " pixels are decoded";
}

uint32_t bigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | p[2] << 8 | p[3]; }

}  // namespace

std::shared_ptr<Image> Image::decodePNG(const std::vector<uint8_t>& data, double scale, foundation::ErrorRef* error) {
    static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (data.size() < 8 || std::memcmp(data.data(), sig, 8) != 0) {
        setError(error, kImageNotAPicture, "not PNG data");
        return nullptr;
    }
    // The size stands in the first chunk: a picture too large is refused
    // before anything is allocated for it.
    if (data.size() >= 24 && std::memcmp(data.data() + 12, "IHDR", 4) == 0) {
        uint64_t w = bigEndian32(data.data() + 16), h = bigEndian32(data.data() + 20);
        if (w * h > uint64_t(kMaxPixels)) {
            setError(error, kImageTooLarge, tooLargeMessage("the PNG", w, h));
            return nullptr;
        }
    }
    ReadCursor cursor{&data};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(readFromVector, &cursor);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        bool memory = cairo_surface_status(s) == CAIRO_STATUS_NO_MEMORY;
        cairo_surface_destroy(s);
        setError(error, kImageDamaged,
                 memory ? "no memory for the PNG picture" : "the PNG data is damaged or cut short");
        return nullptr;
    }
    auto img = fromSurface(s, scale);
    cairo_surface_destroy(s);
    return img;
}

std::shared_ptr<Image> Image::decodeJPEG(const std::vector<uint8_t>& data, double scale, foundation::ErrorRef* error,
                                         const DecodeOptions& options) {
    if (data.size() < 3 || data[0] != 0xFF || data[1] != 0xD8) {
        setError(error, kImageNotAPicture, "not JPEG data");
        return nullptr;
    }
    jpeg_decompress_struct cinfo;
    JpegError err;
    err.attach(cinfo);
    // Everything that longjmp may skip is kept outside the jump's reach.
    cairo_surface_t* volatile surface = nullptr;
    volatile bool tooLarge = false;
    volatile uint64_t outWidth = 0, outHeight = 0;
    std::vector<uint8_t> row;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        if (surface) cairo_surface_destroy(surface);
        if (tooLarge)
            setError(error, kImageTooLarge, tooLargeMessage("the JPEG", outWidth, outHeight));
        else
            setError(error, kImageDamaged,
                     std::string("the JPEG data is damaged: ") + (err.message[0] ? err.message : "no picture"));
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), (unsigned long)data.size());
    jpeg_read_header(&cinfo, TRUE);
    bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    // Scaled while decoding when the caller shrinks the picture anyway.
    if (options.minimumSide > 0) {
        unsigned denom = 1;
        while (denom < 8 && cinfo.image_width / (denom * 2) >= unsigned(options.minimumSide) &&
               cinfo.image_height / (denom * 2) >= unsigned(options.minimumSide))
            denom *= 2;
        cinfo.scale_num = 1;
        cinfo.scale_denom = denom;
    }
    jpeg_calc_output_dimensions(&cinfo);
    if (uint64_t(cinfo.output_width) * cinfo.output_height > uint64_t(kMaxPixels)) {
        tooLarge = true;
        outWidth = cinfo.output_width;
        outHeight = cinfo.output_height;
        longjmp(err.jump, 1);
    }
    jpeg_start_decompress(&cinfo);
    int w = int(cinfo.output_width), h = int(cinfo.output_height);
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        std::snprintf(err.message, sizeof err.message, "no memory for %d x %d pixels", w, h);
        longjmp(err.jump, 1);
    }
    unsigned char* out = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    int comps = cinfo.output_components;
    row.resize(size_t(w) * comps);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rp = row.data();
        int y = int(cinfo.output_scanline);
        jpeg_read_scanlines(&cinfo, &rp, 1);
        auto* dst = reinterpret_cast<uint32_t*>(out + y * stride);
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = row.data() + size_t(x) * comps;
            uint32_t r, g, b;
            if (cmyk) {
                // Stored inverted, as the common writers do.
                uint32_t k = p[3];
                r = p[0] * k / 255;
                g = p[1] * k / 255;
                b = p[2] * k / 255;
            } else if (comps >= 3) {
                r = p[0];
                g = p[1];
                b = p[2];
            } else {
                r = g = b = p[0];
            }
            dst[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    cairo_surface_mark_dirty(surface);
    return std::shared_ptr<Image>(new Image(surface, scale, ImageOrientation::Up));
}

std::shared_ptr<Image> Image::fromData(const std::vector<uint8_t>& data, double scale) {
    return fromData(data, scale, nullptr);
}

std::shared_ptr<Image> Image::fromData(const std::vector<uint8_t>& data, double scale, foundation::ErrorRef* error,
                                       const DecodeOptions& options) {
    static const uint8_t png[4] = {0x89, 'P', 'N', 'G'};
    if (data.size() >= 4 && std::memcmp(data.data(), png, 4) == 0) return decodePNG(data, scale, error);
    if (data.size() >= 2 && data[0] == 0xFF && data[1] == 0xD8) return decodeJPEG(data, scale, error, options);
    if (error) *error = foundation::Error::make(kImageErrorDomain, kImageNotAPicture, "neither PNG nor JPEG data");
    return nullptr;
}

std::shared_ptr<Image> Image::fromFile(const std::string& path, double scale) { return fromFile(path, scale, nullptr); }

std::shared_ptr<Image> Image::fromFile(const std::string& path, double scale, foundation::ErrorRef* error,
                                       const DecodeOptions& options) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = foundation::Error::make(kImageErrorDomain, kImageUnreadable, "cannot open " + path);
        return nullptr;
    }
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return fromData(data, scale, error, options);
}

namespace {
std::mutex& namedMutex() {
    static std::mutex m;
    return m;
}
std::map<std::pair<std::string, double>, std::shared_ptr<Image>>& namedCache() {
    static std::map<std::pair<std::string, double>, std::shared_ptr<Image>> cache;
    static const bool registered =
        (foundation::registerResetter("ui.imageCache", foundation::ResetPhase::Cache, [] { Image::clearNamedCache(); }),
         true);
    (void)registered;
    return cache;
}

bool hasExtension(const std::string& name) {
    auto slash = name.find_last_of('/');
    auto dot = name.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}
}  // namespace

std::shared_ptr<Image> Image::named(const std::string& name) {
    if (name.empty()) return nullptr;
    double screenScale = Screen::main().scale();
    std::lock_guard<std::mutex> lock(namedMutex());
    auto key = std::make_pair(name, screenScale);
    auto found = namedCache().find(key);
    if (found != namedCache().end()) return found->second;

    std::string base = name, ext = "png";
    if (hasExtension(name)) {
        auto dot = name.find_last_of('.');
        base = name.substr(0, dot);
        ext = name.substr(dot + 1);
    }
    std::vector<std::pair<std::string, double>> candidates;
    if (screenScale >= 2) candidates.push_back({base + "@2x." + ext, 2});
    candidates.push_back({name, 1});
    if (!hasExtension(name)) candidates.push_back({name + ".png", 1});
    for (auto& [file, scale] : candidates) {
        auto path = foundation::bundlePath(file);
        if (!path) continue;
        // Two names of one file ("arrow", "arrow.png") share the picture.
        auto byPath = std::make_pair("\x01" + *path, screenScale);
        auto same = namedCache().find(byPath);
        if (same != namedCache().end()) {
            namedCache()[key] = same->second;
            return same->second;
        }
        if (auto img = fromFile(*path, scale)) {
            namedCache()[key] = img;
            namedCache()[byPath] = img;
            return img;
        }
    }
    return nullptr;
}

void Image::clearNamedCache() {
    std::lock_guard<std::mutex> lock(namedMutex());
    namedCache().clear();
}

std::shared_ptr<Image> Image::withScale(double scale, ImageOrientation o) const {
    return std::shared_ptr<Image>(new Image(cairo_surface_reference(surface_), scale, o));
}

std::shared_ptr<Image> Image::stretchable(int left, int top) const {
    auto img = std::shared_ptr<Image>(new Image(cairo_surface_reference(surface_), scale_, orientation_));
    Size s = size();
    img->stretchable_ = true;
    img->caps_.left = std::max(0, left);
    img->caps_.top = std::max(0, top);
    img->caps_.right = left > 0 ? std::max(0.0, s.width - left - 1) : 0;
    img->caps_.bottom = top > 0 ? std::max(0.0, s.height - top - 1) : 0;
    return img;
}

int Image::pixelWidth() const { return cairo_image_surface_get_width(surface_); }
int Image::pixelHeight() const { return cairo_image_surface_get_height(surface_); }

static bool isSideways(ImageOrientation o) {
    return o == ImageOrientation::Left || o == ImageOrientation::Right || o == ImageOrientation::LeftMirrored ||
           o == ImageOrientation::RightMirrored;
}

Size Image::size() const {
    double w = pixelWidth() / scale_, h = pixelHeight() / scale_;
    return isSideways(orientation_) ? Size{h, w} : Size{w, h};
}

Rgba Image::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight()) return {};
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    int stride = cairo_image_surface_get_stride(surface_);
    uint32_t v = reinterpret_cast<const uint32_t*>(data + y * stride)[x];
    uint32_t a = v >> 24;
    if (a == 0) return {};
    auto un = [a](uint32_t c) { return uint8_t(std::min<uint32_t>(255, (c * 255 + a / 2) / a)); };
    return {un((v >> 16) & 0xFF), un((v >> 8) & 0xFF), un(v & 0xFF), uint8_t(a)};
}

std::vector<uint8_t> Image::rgbaPixels() const {
    int w = pixelWidth(), h = pixelHeight();
    std::vector<uint8_t> out(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgba p = pixel(x, y);
            uint8_t* o = out.data() + (size_t(y) * w + x) * 4;
            o[0] = p.r;
            o[1] = p.g;
            o[2] = p.b;
            o[3] = p.a;
        }
    return out;
}

std::vector<uint8_t> Image::encodePNG() const {
    std::vector<uint8_t> out;
    if (cairo_surface_write_to_png_stream(surface_, writeToVector, &out) != CAIRO_STATUS_SUCCESS) return {};
    return out;
}

bool Image::writePNG(const std::string& path) const {
    auto bytes = encodePNG();
    if (bytes.empty()) return false;
    return foundation::writeFileAtomically(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> Image::encodeJPEG(double quality) const {
    if (!surface_) return {};
    cairo_surface_flush(surface_);
    const int w = cairo_image_surface_get_width(surface_), h = cairo_image_surface_get_height(surface_);
    const unsigned char* src = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    if (!src || w <= 0 || h <= 0) return {};
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = JpegError::exit;
    err.mgr.output_message = JpegError::quiet;
    unsigned char* volatile mem = nullptr;
    unsigned long memSize = 0;
    std::vector<uint8_t> row(size_t(w) * 3);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        free(mem);
        foundation::log("image: cannot encode JPEG data");
        return {};
    }
    jpeg_create_compress(&cinfo);
    unsigned char* target = nullptr;
    jpeg_mem_dest(&cinfo, &target, &memSize);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, std::clamp(int(quality * 100 + 0.5), 0, 100), TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    mem = target;
    while (cinfo.next_scanline < cinfo.image_height) {
        // Premultiplied ARGB over black is the colour channels as stored.
        const auto* px = reinterpret_cast<const uint32_t*>(src + size_t(cinfo.next_scanline) * size_t(stride));
        for (int x = 0; x < w; ++x) {
            row[size_t(x) * 3] = uint8_t(px[x] >> 16);
            row[size_t(x) * 3 + 1] = uint8_t(px[x] >> 8);
            row[size_t(x) * 3 + 2] = uint8_t(px[x]);
        }
        JSAMPROW rp = row.data();
        jpeg_write_scanlines(&cinfo, &rp, 1);
    }
    jpeg_finish_compress(&cinfo);
    mem = target;
    std::vector<uint8_t> out(target, target + memSize);
    jpeg_destroy_compress(&cinfo);
    free(target);
    return out;
}

static cairo_matrix_t orientationMatrix(ImageOrientation o, double pw, double ph) {
    cairo_matrix_t m;
    switch (o) {
        case ImageOrientation::Up:
            cairo_matrix_init(&m, 1, 0, 0, 1, 0, 0);
            break;
        case ImageOrientation::Down:
            cairo_matrix_init(&m, -1, 0, 0, -1, pw, ph);
            break;
        case ImageOrientation::Left:
            cairo_matrix_init(&m, 0, -1, 1, 0, 0, pw);
            break;
        case ImageOrientation::Right:
            cairo_matrix_init(&m, 0, 1, -1, 0, ph, 0);
            break;
        case ImageOrientation::UpMirrored:
            cairo_matrix_init(&m, -1, 0, 0, 1, pw, 0);
            break;
        case ImageOrientation::DownMirrored:
            cairo_matrix_init(&m, 1, 0, 0, -1, 0, ph);
            break;
        case ImageOrientation::LeftMirrored:
            cairo_matrix_init(&m, 0, -1, -1, 0, ph, pw);
            break;
        case ImageOrientation::RightMirrored:
            cairo_matrix_init(&m, 0, 1, 1, 0, 0, 0);
            break;
    }
    return m;
}

// Paints the source pixel rectangle src onto the user-space rectangle dst.
static void paintCell(cairo_t* cr, cairo_surface_t* s, const Rect& src, const Rect& dst, double alpha,
                      const cairo_matrix_t* orient) {
    if (src.width() <= 0 || src.height() <= 0 || dst.width() <= 0 || dst.height() <= 0) return;
    cairo_save(cr);
    cairo_rectangle(cr, dst.x(), dst.y(), dst.width(), dst.height());
    cairo_clip(cr);
    cairo_translate(cr, dst.x(), dst.y());
    cairo_scale(cr, dst.width() / src.width(), dst.height() / src.height());
    if (orient) cairo_transform(cr, orient);
    cairo_set_source_surface(cr, s, -src.x(), -src.y());
    cairo_pattern_t* p = cairo_get_source(cr);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(p, CAIRO_FILTER_GOOD);
    if (alpha >= 1)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

void Image::draw(cairo_t* cr, const Rect& r0, double alpha) const {
    Rect rect = r0.standardized();
    if (rect.isEmpty()) return;
    double pw = pixelWidth(), ph = pixelHeight();
    if (!stretchable_ || orientation_ != ImageOrientation::Up) {
        cairo_matrix_t m = orientationMatrix(orientation_, pw, ph);
        double ow = isSideways(orientation_) ? ph : pw, oh = isSideways(orientation_) ? pw : ph;
        paintCell(cr, surface_, {0, 0, ow, oh}, rect, alpha, &m);
        return;
    }
    // Nine cells: caps keep their size (shrunk together when the target is
    // smaller than both caps), the middle stretches.
    double L = caps_.left, R = caps_.right, T = caps_.top, B = caps_.bottom;
    double fx = (L + R) > rect.width() && L + R > 0 ? rect.width() / (L + R) : 1;
    double fy = (T + B) > rect.height() && T + B > 0 ? rect.height() / (T + B) : 1;
    double sx[4] = {0, L * scale_, pw - R * scale_, pw};
    double sy[4] = {0, T * scale_, ph - B * scale_, ph};
    double dx[4] = {rect.x(), rect.x() + L * fx, rect.maxX() - R * fx, rect.maxX()};
    double dy[4] = {rect.y(), rect.y() + T * fy, rect.maxY() - B * fy, rect.maxY()};
    // Each cell is painted from its own sub-picture so stretching pads with
    // the cell's own edge pixels rather than blending in its neighbours.
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            double cw = sx[i + 1] - sx[i], ch = sy[j + 1] - sy[j];
            if (cw <= 0 || ch <= 0) continue;
            cairo_surface_t* cell = cairo_surface_create_for_rectangle(surface_, sx[i], sy[j], cw, ch);
            paintCell(cr, cell, {0, 0, cw, ch}, {dx[i], dy[j], dx[i + 1] - dx[i], dy[j + 1] - dy[j]}, alpha, nullptr);
            cairo_surface_destroy(cell);
        }
}

}  // namespace ui
