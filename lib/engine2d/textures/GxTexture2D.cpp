#include "lib/engine2d/textures/GxTexture2D.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/gles/GxConfiguration.h"
#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTexturePVR.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Resetters.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Text.h"

namespace engine2d {

namespace {
int gDefaultAlphaPixelFormat = kGxTexture2DPixelFormat_RGBA8888;
bool gPVRHavePremultipliedAlpha = false;
[[maybe_unused]] const bool gRegistered =
    (foundation::registerResetter("engine2d.textureDefaults", foundation::ResetPhase::SharedObject,
                                  [] {
                                      gDefaultAlphaPixelFormat = kGxTexture2DPixelFormat_RGBA8888;
                                      gPVRHavePremultipliedAlpha = false;
                                  }),
     true);

bool isPowerOfTwo(unsigned v) { return v && !(v & (v - 1)); }
}  // namespace

void GxTexture2D::PVRImagesHavePremultipliedAlpha(bool b) { gPVRHavePremultipliedAlpha = b; }
void GxTexture2D::setDefaultAlphaPixelFormat(int format) { gDefaultAlphaPixelFormat = format; }
int GxTexture2D::defaultAlphaPixelFormat() { return gDefaultAlphaPixelFormat; }

int GxTexture2D::bitsPerPixelForFormat(int format) {
    switch (format) {
        case kGxTexture2DPixelFormat_RGBA8888:
            return 32;
        case kGxTexture2DPixelFormat_RGB888:
            return 24;
        case kGxTexture2DPixelFormat_RGB565:
        case kGxTexture2DPixelFormat_AI88:
        case kGxTexture2DPixelFormat_RGBA4444:
        case kGxTexture2DPixelFormat_RGB5A1:
            return 16;
        case kGxTexture2DPixelFormat_A8:
        case kGxTexture2DPixelFormat_I8:
            return 8;
        case kGxTexture2DPixelFormat_PVRTC4:
            return 4;
        case kGxTexture2DPixelFormat_PVRTC2:
            return 2;
        default:
            return -1;
    }
}

unsigned GxTexture2D::maxTextureSide() {
    int side = GxConfiguration::sharedConfiguration().maxTextureSize();
    if (side <= 0 && gl::Context::current()) gl::GetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
    return side > 0 ? unsigned(side) : 16384u;
}

bool GxTexture2D::checkTextureSize(uint64_t wide, uint64_t high, int bitsPerPixel, const char* who, unsigned maxSide) {
    const uint64_t side = maxSide ? maxSide : maxTextureSide();
    if (wide > side || high > side) {
        foundation::warn("engine2d: %s: %llu x %llu pixels exceeds the maximum texture size %llu", who,
                         (unsigned long long)wide, (unsigned long long)high, (unsigned long long)side);
        return false;
    }
    // Both sides are below 2^32 here, so the product fits 64 bits.
    const uint64_t bytes = (wide * high * uint64_t(bitsPerPixel > 0 ? bitsPerPixel : 32) + 7) / 8;
    if (bytes > kMaxTextureBytes) {
        foundation::warn("engine2d: %s: %llu x %llu pixels take %llu bytes, over the %llu MiB a texture may take", who,
                         (unsigned long long)wide, (unsigned long long)high, (unsigned long long)bytes,
                         (unsigned long long)(kMaxTextureBytes >> 20));
        return false;
    }
    return true;
}

GxTexture2D::~GxTexture2D() {
    if (name_ && gl::Context::current()) gxGLCacheDeleteTexture(name_);
}

Size GxTexture2D::contentSize() const {
    float s = GxEnvironment::shared().contentScaleFactor;
    return {size_.width / s, size_.height / s};
}

std::shared_ptr<GxTexture2D> GxTexture2D::textureWithData(const void* data, int format, unsigned wide, unsigned high,
                                                          Size contentSize) {
    auto t = std::make_shared<GxTexture2D>();
    if (!t->initWithData(data, format, wide, high, contentSize)) return nullptr;
    return t;
}

bool GxTexture2D::initWithData(const void* data, int format, unsigned wide, unsigned high, Size contentSize) {
    GLenum glFormat, type;
    switch (format) {
        case kGxTexture2DPixelFormat_RGBA8888:
            glFormat = GL_RGBA, type = GL_UNSIGNED_BYTE;
            break;
        case kGxTexture2DPixelFormat_RGB565:
            glFormat = GL_RGB, type = GL_UNSIGNED_SHORT_5_6_5;
            break;
        case kGxTexture2DPixelFormat_RGB888:
            glFormat = GL_RGB, type = GL_UNSIGNED_BYTE;
            break;
        case kGxTexture2DPixelFormat_A8:
            glFormat = GL_ALPHA, type = GL_UNSIGNED_BYTE;
            break;
        case kGxTexture2DPixelFormat_AI88:
            glFormat = GL_LUMINANCE_ALPHA, type = GL_UNSIGNED_BYTE;
            break;
        case kGxTexture2DPixelFormat_RGBA4444:
            glFormat = GL_RGBA, type = GL_UNSIGNED_SHORT_4_4_4_4;
            break;
        case kGxTexture2DPixelFormat_RGB5A1:
            glFormat = GL_RGBA, type = GL_UNSIGNED_SHORT_5_5_5_1;
            break;
        default:
            foundation::warn("engine2d: GxTexture2D: invalid pixel format %d for raw data", format);
            return false;
    }
    if (!checkTextureSize(wide, high, bitsPerPixelForFormat(format), "GxTexture2D")) return false;
    // Rows are tightly packed: the alignment must divide every row's length
    // (a 2-pixel-wide RGB888 row is 6 bytes; 4 would read past it).
    unsigned rowBytes = wide * unsigned(bitsPerPixelForFormat(format)) / 8;
    GLint alignment = rowBytes % 4 == 0 ? 4 : rowBytes % 2 == 0 ? 2 : 1;
    gl::PixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    gl::GenTextures(1, &name_);
    gxGLCacheBindTexture(name_);
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // An error left by an earlier call must not be taken for this upload's.
    while (gl::GetError() != GL_NO_ERROR) {}
    gl::TexImage2D(GL_TEXTURE_2D, 0, GLint(glFormat), GLsizei(wide), GLsizei(high), 0, glFormat, type, data);
    if (GLenum err = gl::GetError(); err != GL_NO_ERROR) {
        foundation::warn("engine2d: GxTexture2D: the GL refused a %u x %u texture (error 0x%04X)", wide, high, err);
        gxGLCacheDeleteTexture(name_);
        name_ = 0;
        return false;
    }
    size_ = contentSize;
    width_ = wide;
    height_ = high;
    format_ = format;
    maxS_ = wide ? contentSize.width / float(wide) : 0;
    maxT_ = high ? contentSize.height / float(high) : 0;
    hasPremultipliedAlpha_ = false;
    hasMipmaps_ = false;
    resolutionType_ = 0;
    if (gl::Context::current())
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTexture);
    return true;
}

std::shared_ptr<GxTexture2D> GxTexture2D::textureWithImage(const std::shared_ptr<ui::Image>& image,
                                                           int resolutionType) {
    if (!image) return nullptr;
    cairo_surface_t* surface = image->surface();
    if (!surface || cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return nullptr;
    cairo_surface_flush(surface);
    cairo_format_t cf = cairo_image_surface_get_format(surface);
    const unsigned imgW = unsigned(cairo_image_surface_get_width(surface));
    const unsigned imgH = unsigned(cairo_image_surface_get_height(surface));
    const int stride = cairo_image_surface_get_stride(surface);
    const uint8_t* src = cairo_image_surface_get_data(surface);
    if (!src || imgW == 0 || imgH == 0) return nullptr;

    auto& conf = GxConfiguration::sharedConfiguration();
    bool mask = cf == CAIRO_FORMAT_A8 || cf == CAIRO_FORMAT_A1;
    // The platform's decoders hand every picture over with an alpha channel;
    // one whose pixels are all opaque is treated as a picture without alpha.
    bool hasAlpha = false;
    if (cf == CAIRO_FORMAT_ARGB32) {
        for (unsigned y = 0; y < imgH && !hasAlpha; ++y) {
            const uint32_t* row = reinterpret_cast<const uint32_t*>(src + size_t(y) * size_t(stride));
            for (unsigned x = 0; x < imgW; ++x)
                if ((row[x] >> 24) != 0xff) {
                    hasAlpha = true;
                    break;
                }
        }
    }
    int format;
    if (mask)
        format = kGxTexture2DPixelFormat_A8;
    else if (hasAlpha)
        format = gDefaultAlphaPixelFormat;
    else
        format = gDefaultAlphaPixelFormat == kGxTexture2DPixelFormat_RGBA8888 ? kGxTexture2DPixelFormat_RGBA8888
                                                                              : kGxTexture2DPixelFormat_RGB565;
    unsigned W = imgW, H = imgH;
    if (!conf.supportsNPOT()) {
        W = gxNextPowerOfTwo(imgW);
        H = gxNextPowerOfTwo(imgH);
    }
    if (conf.OSVersion() >= 0x05000000 &&
        (format == kGxTexture2DPixelFormat_RGB565 || format == kGxTexture2DPixelFormat_RGBA4444 ||
         format == kGxTexture2DPixelFormat_RGB5A1) &&
        (!isPowerOfTwo(W) || !isPowerOfTwo(H))) {
        W = gxNextPowerOfTwo(W);
        H = gxNextPowerOfTwo(H);
    }
    if (!checkTextureSize(W, H, 32, "GxTexture2D (image)")) return nullptr;
    switch (format) {
        case kGxTexture2DPixelFormat_RGBA8888:
        case kGxTexture2DPixelFormat_RGB565:
        case kGxTexture2DPixelFormat_RGB888:
        case kGxTexture2DPixelFormat_RGBA4444:
        case kGxTexture2DPixelFormat_RGB5A1:
        case kGxTexture2DPixelFormat_A8:
            break;
        default:
            foundation::warn("engine2d: GxTexture2D: Invalid pixel format");
            return nullptr;
    }

    // The image fills the first rows; the padding beyond its right and far
    // edges is clear. Colours stay premultiplied as decoded.
    std::vector<uint8_t> rgba;
    std::vector<uint8_t> out;
    if (format == kGxTexture2DPixelFormat_A8) {
        out.assign(size_t(W) * H, 0);
        for (unsigned y = 0; y < imgH; ++y)
            for (unsigned x = 0; x < imgW; ++x) {
                const uint8_t* row = src + size_t(y) * size_t(stride);
                out[size_t(y) * W + x] = cf == CAIRO_FORMAT_A8 ? row[x] : ((row[x / 8] >> (x % 8)) & 1) ? 255 : 0;
            }
    } else {
        rgba.assign(size_t(W) * H * 4, 0);
        for (unsigned y = 0; y < imgH; ++y) {
            const uint32_t* row = reinterpret_cast<const uint32_t*>(src + size_t(y) * size_t(stride));
            uint8_t* d = &rgba[size_t(y) * W * 4];
            for (unsigned x = 0; x < imgW; ++x) {
                uint32_t p = row[x];
                d[x * 4 + 0] = uint8_t(p >> 16);
                d[x * 4 + 1] = uint8_t(p >> 8);
                d[x * 4 + 2] = uint8_t(p);
                d[x * 4 + 3] = hasAlpha ? uint8_t(p >> 24) : 255;
            }
        }
        size_t n = size_t(W) * H;
        switch (format) {
            case kGxTexture2DPixelFormat_RGB565:
            case kGxTexture2DPixelFormat_RGBA4444:
            case kGxTexture2DPixelFormat_RGB5A1: {
                out.resize(n * 2);
                auto* o = reinterpret_cast<uint16_t*>(out.data());
                for (size_t i = 0; i < n; ++i) {
                    const uint8_t* p = &rgba[i * 4];
                    if (format == kGxTexture2DPixelFormat_RGB565)
                        o[i] = uint16_t((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | (p[2] >> 3));
                    else if (format == kGxTexture2DPixelFormat_RGBA4444)
                        o[i] = uint16_t((p[0] >> 4) << 12 | (p[1] >> 4) << 8 | (p[2] >> 4) << 4 | (p[3] >> 4));
                    else
                        o[i] = uint16_t((p[0] >> 3) << 11 | (p[1] >> 3) << 6 | (p[2] >> 3) << 1 | (p[3] >> 7));
                }
                break;
            }
            case kGxTexture2DPixelFormat_RGB888:
                out.resize(n * 3);
                for (size_t i = 0; i < n; ++i) std::memcpy(&out[i * 3], &rgba[i * 4], 3);
                break;
            default:
                out = std::move(rgba);
                break;
        }
    }
    auto t = textureWithData(out.data(), format, W, H, Size{float(imgW), float(imgH)});
    if (!t) return nullptr;
    t->hasPremultipliedAlpha_ = hasAlpha;
    t->resolutionType_ = resolutionType;
    return t;
}

std::shared_ptr<GxTexture2D> GxTexture2D::textureWithPVRFile(const std::string& file) {
    int resolution = 0;
    std::string path = GxFileUtils::sharedFileUtils().fullPathFromRelativePath(file, &resolution);
    GxTexturePVR pvr;
    if (!pvr.initWithContentsOfFile(path)) return nullptr;
    pvr.setRetainName(true);
    auto t = std::make_shared<GxTexture2D>();
    t->name_ = pvr.name();
    t->maxS_ = t->maxT_ = 1;
    t->width_ = pvr.width();
    t->height_ = pvr.height();
    t->size_ = Size{float(pvr.width()), float(pvr.height())};
    t->hasPremultipliedAlpha_ = gPVRHavePremultipliedAlpha;
    t->format_ = pvr.format();
    t->hasMipmaps_ = pvr.numberOfMipmaps() > 1;
    t->resolutionType_ = resolution;
    return t;
}

void GxTexture2D::generateMipmap() {
    gxGLCacheBindTexture(name_);
    gl::GenerateMipmap(GL_TEXTURE_2D);
    hasMipmaps_ = true;
}

void GxTexture2D::setTexParameters(const GxTexParams& p) {
    gxGLCacheBindTexture(name_);
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GLint(p.minFilter));
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GLint(p.magFilter));
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GLint(p.wrapS));
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GLint(p.wrapT));
}

void GxTexture2D::setAliasTexParameters() {
    setTexParameters({hasMipmaps_ ? unsigned(GL_NEAREST_MIPMAP_NEAREST) : unsigned(GL_NEAREST), GL_NEAREST,
                      GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE});
}

void GxTexture2D::setAntiAliasTexParameters() {
    setTexParameters({hasMipmaps_ ? unsigned(GL_LINEAR_MIPMAP_NEAREST) : unsigned(GL_LINEAR), GL_LINEAR,
                      GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE});
}

void GxTexture2D::drawQuad(const float vertices[8]) {
    const float coords[8] = {0, maxT_, maxS_, maxT_, 0, 0, maxS_, 0};
    gxGLCacheEnableAttribs(kGxVertexAttribFlagPosition | kGxVertexAttribFlagTexCoords);
    if (shaderProgram_) {
        shaderProgram_->use();
        shaderProgram_->setUniformForModelViewProjectionMatrix();
    }
    gxGLCacheBindTexture(name_);
    gl::VertexAttribPointer(kGxVertexAttribPosition, 2, GL_FLOAT, GL_FALSE, 0, vertices);
    gl::VertexAttribPointer(kGxVertexAttribTexCoords, 2, GL_FLOAT, GL_FALSE, 0, coords);
    gl::DrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    ++GxEnvironment::shared().drawCounter;
}

void GxTexture2D::drawAtPoint(Point p) {
    float w = maxS_ * float(width_), h = maxT_ * float(height_);
    const float v[8] = {p.x, p.y, p.x + w, p.y, p.x, p.y + h, p.x + w, p.y + h};
    drawQuad(v);
}

void GxTexture2D::drawInRect(Rect r) {
    float x = r.origin.x, y = r.origin.y, x2 = x + r.size.width, y2 = y + r.size.height;
    const float v[8] = {x, y, x2, y, x, y2, x2, y2};
    drawQuad(v);
}

std::string GxTexture2D::description() const {
    char buf[160];
    std::snprintf(buf, sizeof buf, "<GxTexture2D = %p | Name = %u | Dimensions = %ux%u | Coordinates = (%.2f, %.2f)>",
                  static_cast<const void*>(this), name_, width_, height_, double(maxS_), double(maxT_));
    return buf;
}

std::shared_ptr<GxTexture2D> GxTexture2D::textureWithString(const std::string& text, Size dimensions, int hAlignment,
                                                            int vAlignment, int lineBreakMode, const ui::Font& font) {
    if (!(dimensions.width >= 1 && dimensions.height >= 1)) return nullptr;
    const float side = float(maxTextureSide());
    if (!(dimensions.width <= side && dimensions.height <= side)) {
        checkTextureSize(uint64_t(std::min(dimensions.width, 1e12f)), uint64_t(std::min(dimensions.height, 1e12f)), 16,
                         "GxTexture2D (text)");
        return nullptr;
    }
    const unsigned boxW = unsigned(std::ceil(dimensions.width)), boxH = unsigned(std::ceil(dimensions.height));
    const unsigned W = gxNextPowerOfTwo(boxW), H = gxNextPowerOfTwo(boxH);
    if (!checkTextureSize(W, H, 16, "GxTexture2D (text)")) return nullptr;
    // Coverage goes into an 8-bit alpha picture (cairo's rows are y down, so
    // the box's top lands in the first rows, as the texture coordinates expect).
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, int(W), int(H));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_t* cr = cairo_create(surface);
    auto mode = ui::LineBreakMode(std::clamp(lineBreakMode, 0, 5));
    auto align = ui::TextAlignment(std::clamp(hAlignment, 0, 2));
    {
        ui::GraphicsContext ctx(cr);
        ctx.setGrayFillColor(1, 1);
        ui::Rect rect{{0, 0}, {dimensions.width, dimensions.height}};
        if (vAlignment == kGxVerticalTextAlignmentCenter || vAlignment == kGxVerticalTextAlignmentBottom) {
            ui::Size measured = ui::sizeWithFont(text, font, rect.size, mode);
            double freeHeight = dimensions.height - measured.height;
            rect.origin.y = vAlignment == kGxVerticalTextAlignmentCenter ? freeHeight * 0.5 : freeHeight;
            rect.size.height = measured.height;
        }
        ui::pushContext(&ctx);
        ui::drawText(text, rect, font, mode, align);
        ui::popContext();
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const uint8_t* coverage = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    std::vector<uint8_t> pairs(size_t(W) * H * 2);
    for (unsigned y = 0; y < H; ++y)
        for (unsigned x = 0; x < W; ++x) {
            pairs[(size_t(y) * W + x) * 2] = 255;
            pairs[(size_t(y) * W + x) * 2 + 1] = coverage[size_t(y) * size_t(stride) + x];
        }
    cairo_surface_destroy(surface);
    return textureWithData(pairs.data(), kGxTexture2DPixelFormat_AI88, W, H, Size{float(boxW), float(boxH)});
}

std::shared_ptr<GxTexture2D> GxTexture2D::textureWithString(const std::string& text, Size dimensions, int hAlignment,
                                                            int vAlignment, int lineBreakMode,
                                                            const std::string& fontName, float fontSize) {
    auto font = ui::Font::withName(fontName, fontSize);
    if (!font) return nullptr;
    return textureWithString(text, dimensions, hAlignment, vAlignment, lineBreakMode, *font);
}

std::shared_ptr<GxTexture2D> GxTexture2D::textureWithString(const std::string& text, Size dimensions, int hAlignment,
                                                            int vAlignment, const std::string& fontName,
                                                            float fontSize) {
    return textureWithString(text, dimensions, hAlignment, vAlignment, 0, fontName, fontSize);
}

std::shared_ptr<GxTexture2D> GxTexture2D::textureWithString(const std::string& text, const std::string& fontName,
                                                            float fontSize) {
    auto font = ui::Font::withName(fontName, fontSize);
    if (!font) return nullptr;
    ui::Size line = ui::sizeWithFont(text, *font);
    return textureWithString(text, Size{float(std::ceil(line.width)), float(std::ceil(line.height))},
                             kGxTextAlignmentCenter, kGxVerticalTextAlignmentTop, 0, *font);
}

}  // namespace engine2d
