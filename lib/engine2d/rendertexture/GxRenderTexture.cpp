#include "lib/engine2d/rendertexture/GxRenderTexture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/gles/GxConfiguration.h"
#include "lib/engine2d/mathlib/Mat4.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "platform/ui/Image.h"

namespace engine2d {

std::shared_ptr<GxRenderTexture> GxRenderTexture::renderTextureWithWidth(int w, int h, int pixelFormat) {
    return gxMake<GxRenderTexture>(w, h, pixelFormat);
}

GxRenderTexture::~GxRenderTexture() {
    if (fbo_ && gl::Context::current()) gl::DeleteFramebuffers(1, &fbo_);
}

bool GxRenderTexture::init(int w, int h, int pixelFormat) {
    if (!GxNode::init()) return false;
    if (w <= 0 || h <= 0) {
        foundation::warn("engine2d: GxRenderTexture: no texture of %d x %d points", w, h);
        return false;
    }
    if (!gl::Context::current()) return false;
    const int bpp = GxTexture2D::bitsPerPixelForFormat(pixelFormat);
    if (bpp <= 0) {
        foundation::warn("engine2d: GxRenderTexture: invalid pixel format %d", pixelFormat);
        return false;
    }
    const float scale = GxEnvironment::shared().contentScaleFactor;
    const float cw = float(w) * scale, ch = float(h) * scale;
    // The size is checked before anything is allocated or asked of the GL
    // (a side beyond the GL's maximum is refused in floating point, before
    // it could overflow an integer).
    const float side = float(GxTexture2D::maxTextureSide());
    if (!(cw <= side && ch <= side)) {
        GxTexture2D::checkTextureSize(uint64_t(std::min(cw, 1e12f)), uint64_t(std::min(ch, 1e12f)), bpp,
                                      "GxRenderTexture");
        return false;
    }
    unsigned pw = unsigned(cw), ph = unsigned(ch);
    if (!GxConfiguration::sharedConfiguration().supportsNPOT()) {
        pw = gxNextPowerOfTwo(pw);
        ph = gxNextPowerOfTwo(ph);
    }
    // The zeros below are 4 bytes a pixel whatever the format.
    if (!GxTexture2D::checkTextureSize(pw, ph, std::max(bpp, 32), "GxRenderTexture")) return false;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &oldFBO_);
    std::vector<uint8_t> zeros;
    try {
        zeros.assign(size_t(pw) * ph * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    texture_ = GxTexture2D::textureWithData(zeros.data(), pixelFormat, pw, ph, Size{std::floor(cw), std::floor(ch)});
    if (!texture_) return false;
    pixelFormat_ = pixelFormat;
    gl::GenFramebuffers(1, &fbo_);
    gl::BindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_->name(), 0);
    texture_->setAliasTexParameters();
    sprite_ = GxSprite::spriteWithTexture(texture_);
    if (sprite_) {
        addChild(sprite_);
        sprite_->setScaleY(-1);
        sprite_->setBlendFunc(gxBlendFunc{GL_ONE, GL_ONE_MINUS_SRC_ALPHA});
    }
    gl::BindFramebuffer(GL_FRAMEBUFFER, GLuint(oldFBO_));
    return true;
}

void GxRenderTexture::begin() {
    mxGLPushMatrix();
    glGetIntegerv(GL_VIEWPORT, oldViewport_);
    Size px = texture_->contentSizeInPixels();
    gl::Viewport(0, 0, GLsizei(px.width), GLsizei(px.height));
    // The window's coordinates map onto the texture. Without a window yet
    // (nothing to map from) the texture keeps its own coordinates.
    Size win = GxDirector::sharedDirector().winSizeInPixels();
    float rx = win.width > 0 && px.width > 0 ? win.width / px.width : 1;
    float ry = win.height > 0 && px.height > 0 ? win.height / px.height : 1;
    mxMat4 ortho;
    mxMat4Ortho(&ortho, -1.0f / rx, 1.0f / rx, -1.0f / ry, 1.0f / ry, -1, 1);
    mxGLMultiplyTop(&ortho);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &oldFBO_);
    gl::BindFramebuffer(GL_FRAMEBUFFER, fbo_);
}

void GxRenderTexture::beginWithClear(float r, float g, float b, float a) {
    begin();
    float old[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, old);
    gl::ClearColor(r, g, b, a);
    gl::Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl::ClearColor(old[0], old[1], old[2], old[3]);
}

void GxRenderTexture::end() {
    gl::BindFramebuffer(GL_FRAMEBUFFER, GLuint(oldFBO_));
    mxGLPopMatrix();
    auto& director = GxDirector::sharedDirector();
    Size win = director.winSizeInPixels();
    if (win.width > 0 && win.height > 0)
        director.setProjection(director.projection());
    else
        gl::Viewport(oldViewport_[0], oldViewport_[1], oldViewport_[2], oldViewport_[3]);
}

void GxRenderTexture::clear(float r, float g, float b, float a) {
    beginWithClear(r, g, b, a);
    end();
}

std::shared_ptr<ui::Image> GxRenderTexture::newImage() {
    if (!texture_) return nullptr;
    Size s = texture_->contentSizeInPixels();
    const int w = int(s.width), h = int(s.height);
    if (w <= 0 || h <= 0) return nullptr;
    std::vector<uint8_t> pixels, flipped;
    try {
        pixels.assign(size_t(w) * 4 * size_t(h), 0);
        flipped.assign(pixels.size(), 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    begin();
    gl::PixelStorei(GL_PACK_ALIGNMENT, 1);
    gl::ReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    end();
    // GL rows run bottom-up; pictures run top-down.
    const size_t row = size_t(w) * 4;
    for (int y = 0; y < h; ++y) std::memcpy(&flipped[size_t(y) * row], &pixels[size_t(h - 1 - y) * row], row);
    // The pixels are premultiplied already; the picture takes straight RGBA.
    for (size_t i = 0; i < flipped.size(); i += 4) {
        unsigned a = flipped[i + 3];
        if (a == 0 || a == 255) continue;
        for (int c = 0; c < 3; ++c) flipped[i + c] = uint8_t(std::min(255u, (flipped[i + c] * 255u + a / 2) / a));
    }
    return ui::Image::fromRgba(w, h, flipped.data());
}

std::shared_ptr<ui::Image> GxRenderTexture::getUIImage() {
    auto img = newImage();
    return img ? img->withScale(GxEnvironment::shared().contentScaleFactor) : nullptr;
}

bool GxRenderTexture::saveToFile(const std::string& name, int format) {
    std::string path = foundation::joinPath(foundation::documentsDir(), name);
    auto img = getUIImage();
    if (!img) return false;
    std::vector<uint8_t> data;
    if (format == kGxImageFormatPNG)
        data = img->encodePNG();
    else if (format == kGxImageFormatJPEG)
        data = img->encodeJPEG(0.9);
    if (data.empty()) return false;
    foundation::createDirectories(foundation::documentsDir());
    return foundation::writeFileAtomically(path, std::string(data.begin(), data.end()));
}

}  // namespace engine2d
