#pragma once
// One GL 2D texture and what every drawer needs to know of it: its size as
// uploaded, the part that holds the image (maxS, maxT: images are padded to
// powers of two where the device asks), its pixel format, premultiplication,
// mipmaps, the resolution type of its file and the program of its own draws.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/mathlib/Geometry.h"

namespace ui {
class Font;
class Image;
}  // namespace ui

namespace engine2d {

class GxGLProgram;

enum GxTextureStorageFormat {
    kGxTexture2DPixelFormat_Automatic = 0,
    kGxTexture2DPixelFormat_RGBA8888 = 1,
    kGxTexture2DPixelFormat_RGB565 = 2,
    kGxTexture2DPixelFormat_RGB888 = 3,
    kGxTexture2DPixelFormat_A8 = 4,
    kGxTexture2DPixelFormat_I8 = 5,
    kGxTexture2DPixelFormat_AI88 = 6,
    kGxTexture2DPixelFormat_RGBA4444 = 7,
    kGxTexture2DPixelFormat_RGB5A1 = 8,
    kGxTexture2DPixelFormat_PVRTC4 = 9,
    kGxTexture2DPixelFormat_PVRTC2 = 10,
};

// Text placement in a box: horizontal 0 left, 1 centre, 2 right; vertical
// 0 top, 1 centre, 2 bottom. Line-break modes 0 to 5 are the UI kit's (word
// wrap, character wrap, clip, head, tail and middle truncation).
enum GxTextAlignment { kGxTextAlignmentLeft = 0, kGxTextAlignmentCenter = 1, kGxTextAlignmentRight = 2 };
enum GxVerticalTextAlignment {
    kGxVerticalTextAlignmentTop = 0,
    kGxVerticalTextAlignmentCenter = 1,
    kGxVerticalTextAlignmentBottom = 2,
};

struct GxTexParams {
    unsigned minFilter, magFilter, wrapS, wrapT;
};

class GxTexture2D {
public:
    // Raw pixels of `format`, `wide` x `high`; the content size is in pixels.
    // nullptr (nothing uploaded, an error written) for a format raw data
    // cannot have, a size checkTextureSize() refuses, or an upload the GL
    // refused.
    static std::shared_ptr<GxTexture2D> textureWithData(const void* data, int format, unsigned wide, unsigned high,
                                                        Size contentSizeInPixels);
    // A decoded picture, converted to the chosen format; nullptr for no
    // picture or one larger than the maximum texture size.
    static std::shared_ptr<GxTexture2D> textureWithImage(const std::shared_ptr<ui::Image>& image, int resolutionType);
    // Text drawn white in a box of `dimensions` pixels (padded to powers of
    // two) as an AI88 texture: luminance 255, alpha the glyphs' coverage. The
    // content size is the box. nullptr for an unknown font or an empty box.
    static std::shared_ptr<GxTexture2D> textureWithString(const std::string& text, Size dimensions, int hAlignment,
                                                          int vAlignment, int lineBreakMode, const ui::Font& font);
    static std::shared_ptr<GxTexture2D> textureWithString(const std::string& text, Size dimensions, int hAlignment,
                                                          int vAlignment, int lineBreakMode,
                                                          const std::string& fontName, float fontSize);
    static std::shared_ptr<GxTexture2D> textureWithString(const std::string& text, Size dimensions, int hAlignment,
                                                          int vAlignment, const std::string& fontName, float fontSize);
    // One line on its own measured size, centred at the top, word wrap.
    static std::shared_ptr<GxTexture2D> textureWithString(const std::string& text, const std::string& fontName,
                                                          float fontSize);
    // A PVR file by name (resolved through the file utilities).
    static std::shared_ptr<GxTexture2D> textureWithPVRFile(const std::string& file);

    GxTexture2D() = default;
    ~GxTexture2D();
    GxTexture2D(const GxTexture2D&) = delete;
    GxTexture2D& operator=(const GxTexture2D&) = delete;

    static void PVRImagesHavePremultipliedAlpha(bool b);
    static void setDefaultAlphaPixelFormat(int format);
    static int defaultAlphaPixelFormat();
    static int bitsPerPixelForFormat(int format);

    // The most pixel data one texture may take: hostile files and callers
    // asking for more are refused before anything is allocated.
    static constexpr uint64_t kMaxTextureBytes = uint64_t(64) << 20;
    // The largest side the GL takes (GL_MAX_TEXTURE_SIZE); 16384 while no
    // context has told.
    static unsigned maxTextureSide();
    // Whether `wide` x `high` pixels of `bitsPerPixel` may become a texture:
    // no side above `maxSide` (0: maxTextureSide()) and no more than
    // kMaxTextureBytes. When not, the reason goes to the error stream after
    // `who`. No GL call is made but the one asking the GL's maximum.
    static bool checkTextureSize(uint64_t wide, uint64_t high, int bitsPerPixel, const char* who, unsigned maxSide = 0);

    // In points (content size / content scale) and in pixels.
    Size contentSize() const;
    Size contentSizeInPixels() const { return size_; }
    int pixelFormat() const { return format_; }
    unsigned pixelsWide() const { return width_; }
    unsigned pixelsHigh() const { return height_; }
    unsigned name() const { return name_; }
    float maxS() const { return maxS_; }
    void setMaxS(float s) { maxS_ = s; }
    float maxT() const { return maxT_; }
    void setMaxT(float t) { maxT_ = t; }
    bool hasPremultipliedAlpha() const { return hasPremultipliedAlpha_; }
    bool hasMipmaps() const { return hasMipmaps_; }
    int resolutionType() const { return resolutionType_; }
    void setResolutionType(int t) { resolutionType_ = t; }
    const std::shared_ptr<GxGLProgram>& shaderProgram() const { return shaderProgram_; }
    void setShaderProgram(std::shared_ptr<GxGLProgram> p) { shaderProgram_ = std::move(p); }
    int bitsPerPixelForFormat() const { return bitsPerPixelForFormat(format_); }

    void generateMipmap();
    void setTexParameters(const GxTexParams& p);
    void setAliasTexParameters();
    void setAntiAliasTexParameters();

    void drawAtPoint(Point p);
    void drawInRect(Rect r);

    std::string description() const;

private:
    bool initWithData(const void* data, int format, unsigned wide, unsigned high, Size contentSize);
    void drawQuad(const float vertices[8]);

    unsigned name_ = 0;
    Size size_;
    unsigned width_ = 0, height_ = 0;
    int format_ = 0;
    float maxS_ = 0, maxT_ = 0;
    bool hasPremultipliedAlpha_ = false, hasMipmaps_ = false;
    int resolutionType_ = 0;
    std::shared_ptr<GxGLProgram> shaderProgram_;
};

}  // namespace engine2d
