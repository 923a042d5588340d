#include "lib/engine2d/director/GxGLView.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/gles/GxConfiguration.h"
#include "platform/foundation/Log.h"
#include "platform/gl/GL.h"

namespace engine2d {

const char* const kGxColorFormatRGBA8 = "EAGLColorFormatRGBA8";
const char* const kGxColorFormatRGB565 = "EAGLColorFormat565";

namespace {
void checkGLError(const char* where, int line) {
    GLenum e = gl::GetError();
    if (e != GL_NO_ERROR) foundation::warn("OpenGL error 0x%04X in %s %d", unsigned(e), where, line);
}
}  // namespace

std::unique_ptr<GxES2Renderer> GxES2Renderer::create(unsigned depthFormat, unsigned pixelFormat,
                                                     const std::shared_ptr<gl::Context>& sharegroup, bool multiSampling,
                                                     unsigned samples) {
    // Multisampled renderbuffers come with ES 3; without it, no samples.
    std::shared_ptr<gl::Context> context;
    if (multiSampling) {
        context = gl::Context::create(sharegroup, 3);
        if (context && !context->makeCurrent()) context.reset();
    }
    const bool es3 = context != nullptr;
    if (!context) context = gl::Context::create(sharegroup);
    if (!context || !context->makeCurrent()) return nullptr;
    std::unique_ptr<GxES2Renderer> r(new GxES2Renderer());
    r->context_ = std::move(context);
    r->depthFormat_ = depthFormat;
    r->pixelFormat_ = pixelFormat;
    gl::GenFramebuffers(1, &r->defaultFramebuffer_);
    gl::GenRenderbuffers(1, &r->colorRenderbuffer_);
    gl::BindFramebuffer(GL_FRAMEBUFFER, r->defaultFramebuffer_);
    gl::BindRenderbuffer(GL_RENDERBUFFER, r->colorRenderbuffer_);
    gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, r->colorRenderbuffer_);
    if (es3) {
        GLint maxSamples = 0;
        gl::GetIntegerv(gl::kMaxSamples, &maxSamples);
        r->maxSamplesAllowed_ = maxSamples > 0 ? maxSamples : 0;
        r->multiSampling_ = true;
        r->samplesToUse_ = std::min(unsigned(r->maxSamplesAllowed_), samples);
        gl::GenFramebuffers(1, &r->msaaFramebuffer_);
        gl::BindFramebuffer(GL_FRAMEBUFFER, r->msaaFramebuffer_);
    }
    return r;
}

GxES2Renderer::~GxES2Renderer() {
    if (!context_) return;
    gl::Context* previous = gl::Context::current();
    context_->makeCurrent();
    if (defaultFramebuffer_) gl::DeleteFramebuffers(1, &defaultFramebuffer_);
    if (msaaFramebuffer_) gl::DeleteFramebuffers(1, &msaaFramebuffer_);
    if (colorRenderbuffer_) gl::DeleteRenderbuffers(1, &colorRenderbuffer_);
    if (depthBuffer_) gl::DeleteRenderbuffers(1, &depthBuffer_);
    if (msaaColorbuffer_) gl::DeleteRenderbuffers(1, &msaaColorbuffer_);
    defaultFramebuffer_ = colorRenderbuffer_ = depthBuffer_ = msaaFramebuffer_ = msaaColorbuffer_ = 0;
    if (previous && previous != context_.get())
        previous->makeCurrent();
    else
        gl::Context::clearCurrent();
}

bool GxES2Renderer::resizeFromLayer(int w, int h) {
    context_->makeCurrent();
    gl::BindFramebuffer(GL_FRAMEBUFFER, defaultFramebuffer_);
    gl::BindRenderbuffer(GL_RENDERBUFFER, colorRenderbuffer_);
    if (w > 0 && h > 0) gl::RenderbufferStorage(GL_RENDERBUFFER, pixelFormat_, w, h);
    GLint bw = 0, bh = 0;
    gl::GetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &bw);
    gl::GetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &bh);
    backingWidth_ = bw;
    backingHeight_ = bh;
    if (multiSampling_) {
        if (msaaColorbuffer_) gl::DeleteRenderbuffers(1, &msaaColorbuffer_);
        msaaColorbuffer_ = 0;
        gl::BindFramebuffer(GL_FRAMEBUFFER, msaaFramebuffer_);
        gl::GenRenderbuffers(1, &msaaColorbuffer_);
        gl::BindRenderbuffer(GL_RENDERBUFFER, msaaColorbuffer_);
        if (bw > 0 && bh > 0)
            gl::RenderbufferStorageMultisample(GL_RENDERBUFFER, GLsizei(samplesToUse_), pixelFormat_, bw, bh);
        gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, msaaColorbuffer_);
        if (gl::CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            complete_ = false;
            return false;
        }
    }
    checkGLError("-[GxES2Renderer resizeFromLayer:]", 140);
    if (depthFormat_) {
        if (!depthBuffer_) gl::GenRenderbuffers(1, &depthBuffer_);
        gl::BindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
        if (bw > 0 && bh > 0) {
            if (multiSampling_)
                gl::RenderbufferStorageMultisample(GL_RENDERBUFFER, GLsizei(samplesToUse_), depthFormat_, bw, bh);
            else
                gl::RenderbufferStorage(GL_RENDERBUFFER, depthFormat_, bw, bh);
        }
        gl::FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
        gl::BindRenderbuffer(GL_RENDERBUFFER, colorRenderbuffer_);
    }
    checkGLError("-[GxES2Renderer resizeFromLayer:]", 162);
    complete_ = gl::CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    return complete_;
}

void GxES2Renderer::resolve() {
    if (!multiSampling_) return;
    gl::BindFramebuffer(gl::kReadFramebuffer, msaaFramebuffer_);
    gl::BindFramebuffer(gl::kDrawFramebuffer, defaultFramebuffer_);
    gl::BlitFramebuffer(0, 0, backingWidth_, backingHeight_, 0, 0, backingWidth_, backingHeight_, GL_COLOR_BUFFER_BIT,
                        GL_NEAREST);
    gl::BindFramebuffer(GL_FRAMEBUFFER, defaultFramebuffer_);
}

void GxES2Renderer::discardAfterResolve(bool keepColour) {
    GLenum attachments[2];
    GLsizei n = 0;
    if (multiSampling_) {
        if (!keepColour) attachments[n++] = GL_COLOR_ATTACHMENT0;
        if (depthBuffer_) attachments[n++] = GL_DEPTH_ATTACHMENT;
        if (n) {
            gl::BindFramebuffer(GL_FRAMEBUFFER, msaaFramebuffer_);
            gl::DiscardFramebuffer(GL_FRAMEBUFFER, n, attachments);
        }
    } else if (depthBuffer_) {
        attachments[n++] = GL_DEPTH_ATTACHMENT;
        gl::BindFramebuffer(GL_FRAMEBUFFER, defaultFramebuffer_);
        gl::DiscardFramebuffer(GL_FRAMEBUFFER, n, attachments);
    }
    gl::BindFramebuffer(GL_FRAMEBUFFER, defaultFramebuffer_);
}

void GxES2Renderer::finishPresent() {
    if (multiSampling_) gl::BindFramebuffer(GL_FRAMEBUFFER, msaaFramebuffer_);
}

std::string GxES2Renderer::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<GxES2Renderer = %p | size = %ix%i>", static_cast<const void*>(this), backingWidth_,
                  backingHeight_);
    return buf;
}

GxGLView::GxGLView(const ui::Rect& frame) : ui::View(frame) {}

GxGLView::~GxGLView() {
    frames_[0].reset();
    frames_[1].reset();
    renderer_.reset();
}

std::shared_ptr<GxGLView> GxGLView::viewWithFrame(const ui::Rect& frame, const std::string& pixelFormat,
                                                  unsigned depthFormat, bool preserveBackbuffer,
                                                  const std::shared_ptr<gl::Context>& sharegroup, bool multiSampling,
                                                  unsigned numberOfSamples) {
    auto v = std::make_shared<GxGLView>(frame);
    if (!v->initWithFormat(pixelFormat, depthFormat, preserveBackbuffer, sharegroup, multiSampling, numberOfSamples))
        return nullptr;
    return v;
}

bool GxGLView::initWithFormat(const std::string& pixelFormat, unsigned depthFormat, bool preserveBackbuffer,
                              const std::shared_ptr<gl::Context>& sharegroup, bool multiSampling,
                              unsigned numberOfSamples) {
    pixelFormat_ = pixelFormat;
    depthFormat_ = depthFormat;
    requestedSamples_ = numberOfSamples;
    preserveBackbuffer_ = preserveBackbuffer;
    return setupSurfaceWithSharegroup(sharegroup, multiSampling);
}

unsigned GxGLView::convertPixelFormat(const std::string& format) {
    return format == kGxColorFormatRGB565 ? GL_RGB565 : GL_RGBA8_OES;
}

bool GxGLView::setupSurfaceWithSharegroup(const std::shared_ptr<gl::Context>& sharegroup, bool multiSampling) {
    // The engine clears to transparent where it wants what lies beneath to show.
    setOpaque(false);
    renderer_ = GxES2Renderer::create(depthFormat_, convertPixelFormat(pixelFormat_), sharegroup, multiSampling,
                                      requestedSamples_);
    if (!renderer_) return false;
    discardFramebufferSupported_ = GxConfiguration::sharedConfiguration().supportsDiscardFramebuffer();
    setNeedsLayout();
    return true;
}

const std::shared_ptr<gl::Context>& GxGLView::context() const {
    static const std::shared_ptr<gl::Context> none;
    return renderer_ ? renderer_->context() : none;
}

void GxGLView::setContentScaleFactor(double s) {
    if (s <= 0 || s == scale_) return;
    scale_ = s;
    setNeedsLayout();
}

void GxGLView::layoutSubviews() {
    if (!renderer_) return;
    double scale = contentScaleFactor();
    int w = int(std::lround(bounds().width() * scale)), h = int(std::lround(bounds().height() * scale));
    renderer_->resizeFromLayer(w, h);
    size_ = {double(renderer_->backingWidth()), double(renderer_->backingHeight())};
    auto& director = GxDirector::sharedDirector();
    if (director.openGLView().get() == this) {
        director.reshapeProjection(size_);
        director.drawScene();
    }
}

void GxGLView::swapBuffers() {
    if (!renderer_ || !renderer_->isComplete()) return;
    int w = renderer_->backingWidth(), h = renderer_->backingHeight();
    if (w <= 0 || h <= 0) return;
    if (renderer_->multiSampling())
        renderer_->resolve();
    else
        gl::BindFramebuffer(GL_FRAMEBUFFER, renderer_->defaultFramebuffer());
    if (discardFramebufferSupported_) renderer_->discardAfterResolve(preserveBackbuffer_);
    readback_.resize(size_t(w) * size_t(h) * 4);
    readbackWidth_ = w;
    readbackHeight_ = h;
    gl::ReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, readback_.data());
    renderer_->finishPresent();
    ++framesPresented_;
    double scale = contentScaleFactor();

    // The layer still shows this very frame: nothing to hand over.
    const ui::ImageRef& shown = layer().contents();
    if (shown && shown.get() == handed_ && shown->pixelWidth() == w && shown->pixelHeight() == h &&
        shown->scale() == scale && handedPixels_ == readback_)
        return;

    // A picture nobody else holds any more is reused; the layer keeps the other.
    ui::ImageRef target;
    for (auto& f : frames_)
        if (f && f.use_count() == 1 && f->pixelWidth() == w && f->pixelHeight() == h && f->scale() == scale) {
            target = f;
            break;
        }
    if (!target) {
        for (auto& f : frames_)
            if (!f || f.use_count() == 1) {
                f = ui::Image::create(w, h, scale);
                target = f;
                break;
            }
        if (!target) target = ui::Image::create(w, h, scale);
    }
    cairo_surface_t* s = target->surface();
    cairo_surface_flush(s);
    unsigned char* dst = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        const uint8_t* src = readback_.data() + size_t(h - 1 - y) * size_t(w) * 4;
        auto* row = reinterpret_cast<uint32_t*>(dst + size_t(y) * size_t(stride));
        for (int x = 0; x < w; ++x, src += 4) {
            uint32_t a = src[3];
            // Premultiplied pixels never have a colour above their alpha.
            uint32_t r = src[0] < a ? src[0] : a, g = src[1] < a ? src[1] : a, b = src[2] < a ? src[2] : a;
            row[x] = (a << 24) | (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(s);
    layer().setContents(target);
    handed_ = target.get();
    handedPixels_ = readback_;
    ++framesHandedOver_;
}

std::array<uint8_t, 4> GxGLView::presentedPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= readbackWidth_ || y >= readbackHeight_) return {0, 0, 0, 0};
    const uint8_t* p = readback_.data() + (size_t(readbackHeight_ - 1 - y) * size_t(readbackWidth_) + size_t(x)) * 4;
    return {p[0], p[1], p[2], p[3]};
}

ui::Point GxGLView::convertPointFromViewToSurface(ui::Point p) const {
    ui::Rect b = bounds();
    return {(p.x - b.x()) / b.width() * size_.width, (p.y - b.y()) / b.height() * size_.height};
}

ui::Rect GxGLView::convertRectFromViewToSurface(const ui::Rect& r) const {
    ui::Rect b = bounds();
    ui::Point o = convertPointFromViewToSurface(r.origin);
    return {o.x, o.y, r.width() / b.width() * size_.width, r.height() / b.height() * size_.height};
}

void GxGLView::touchesBegan(const ui::TouchSet& t, const ui::Event& e) {
    if (touchDelegate_) touchDelegate_->touchesBegan(t, e);
}
void GxGLView::touchesMoved(const ui::TouchSet& t, const ui::Event& e) {
    if (touchDelegate_) touchDelegate_->touchesMoved(t, e);
}
void GxGLView::touchesEnded(const ui::TouchSet& t, const ui::Event& e) {
    if (touchDelegate_) touchDelegate_->touchesEnded(t, e);
}
void GxGLView::touchesCancelled(const ui::TouchSet& t, const ui::Event& e) {
    if (touchDelegate_) touchDelegate_->touchesCancelled(t, e);
}

std::string GxGLView::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<GxGLView = %p | size = %.0fx%.0f>", static_cast<const void*>(this), size_.width,
                  size_.height);
    return buf;
}

}  // namespace engine2d
