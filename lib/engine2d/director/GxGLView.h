#pragma once
// The view the engine draws into. It owns a renderer: a GL context (EGL,
// surfaceless) and a framebuffer whose colour renderbuffer has the view's
// size in pixels (bounds x content scale). Laying the view out (re)creates
// that storage and draws a frame at once; presenting a frame reads the
// pixels back and makes them the view's layer contents (premultiplied), so
// the engine's picture composes "over" whatever lies beneath it in the
// window, in snapshots and in the headless driver like any view.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/touch/GxTouchDispatcher.h"
#include "platform/gl/Context.h"
#include "platform/ui/View.h"

namespace engine2d {

// The colour formats a view can ask for.
extern const char* const kGxColorFormatRGBA8;   // "EAGLColorFormatRGBA8"
extern const char* const kGxColorFormatRGB565;  // "EAGLColorFormat565"

// With multisampling the renderer asks for an ES 3 context (multisampled
// renderbuffers and blits): frames are drawn into a multisampled
// framebuffer and resolved into the default one when presented. Where no
// such context can be had it draws without samples, its maximum reading 0.
class GxES2Renderer {
public:
    // nullptr when no context can be made or made current.
    static std::unique_ptr<GxES2Renderer> create(unsigned depthFormat, unsigned pixelFormat,
                                                 const std::shared_ptr<gl::Context>& sharegroup, bool multiSampling,
                                                 unsigned samples);
    ~GxES2Renderer();
    // Gives the colour (and depth) renderbuffers storage of the pixel size;
    // answers whether the framebuffer is complete.
    bool resizeFromLayer(int pixelWidth, int pixelHeight);
    int backingWidth() const { return backingWidth_; }
    int backingHeight() const { return backingHeight_; }
    unsigned defaultFramebuffer() const { return defaultFramebuffer_; }
    unsigned colorRenderbuffer() const { return colorRenderbuffer_; }
    unsigned msaaFramebuffer() const { return msaaFramebuffer_; }
    unsigned msaaColorbuffer() const { return msaaColorbuffer_; }
    // Where a frame is drawn: the multisampled framebuffer when there is one.
    unsigned drawFramebuffer() const { return multiSampling_ ? msaaFramebuffer_ : defaultFramebuffer_; }
    bool multiSampling() const { return multiSampling_; }
    unsigned samplesToUse() const { return samplesToUse_; }
    // The context's sample limit (0 without multisampling support).
    int maxSamplesAllowed() const { return maxSamplesAllowed_; }
    // Resolves the multisampled frame into the default framebuffer, which is
    // left bound for reading; the multisampled one is bound again by
    // finishPresent(). Nothing happens without multisampling.
    void resolve();
    // After the resolve, lets GL drop what the next frame does not start
    // from (GL_EXT_discard_framebuffer): the depth attachment, and with
    // multisampling the multisampled colour unless `keepColour` (a preserved
    // back buffer is where the next frame starts). Leaves the default
    // framebuffer bound.
    void discardAfterResolve(bool keepColour);
    void finishPresent();
    unsigned depthBuffer() const { return depthBuffer_; }
    unsigned pixelFormat() const { return pixelFormat_; }
    bool isComplete() const { return complete_; }
    const std::shared_ptr<gl::Context>& context() const { return context_; }
    std::string description() const;

private:
    GxES2Renderer() = default;
    std::shared_ptr<gl::Context> context_;
    int backingWidth_ = 0, backingHeight_ = 0;
    unsigned samplesToUse_ = 0;
    bool multiSampling_ = false;
    int maxSamplesAllowed_ = 0;
    unsigned depthFormat_ = 0, pixelFormat_ = 0;
    unsigned defaultFramebuffer_ = 0, colorRenderbuffer_ = 0, depthBuffer_ = 0;
    unsigned msaaFramebuffer_ = 0, msaaColorbuffer_ = 0;
    bool complete_ = false;
};

class GxGLView : public ui::View {
public:
    // nullptr when the renderer cannot be made (no EGL display).
    static std::shared_ptr<GxGLView> viewWithFrame(const ui::Rect& frame,
                                                   const std::string& pixelFormat = kGxColorFormatRGB565,
                                                   unsigned depthFormat = 0, bool preserveBackbuffer = false,
                                                   const std::shared_ptr<gl::Context>& sharegroup = nullptr,
                                                   bool multiSampling = false, unsigned numberOfSamples = 0);
    explicit GxGLView(const ui::Rect& frame);
    ~GxGLView() override;
    // What viewWithFrame does after making the view (for makers of subclasses).
    bool initWithFormat(const std::string& pixelFormat, unsigned depthFormat, bool preserveBackbuffer,
                        const std::shared_ptr<gl::Context>& sharegroup, bool multiSampling, unsigned numberOfSamples);
    const char* className() const override { return "GxGLView"; }

    static unsigned convertPixelFormat(const std::string& format);
    const std::string& pixelFormat() const { return pixelFormat_; }
    unsigned depthFormat() const { return depthFormat_; }
    // Whether the back buffer keeps a frame's pixels for the next frame to
    // start from (with multisampling, the multisampled colour is then never
    // discarded).
    bool preserveBackbuffer() const { return preserveBackbuffer_; }
    // Whether presenting lets GL drop the attachments the next frame does
    // not need (the GL has GL_EXT_discard_framebuffer).
    bool discardFramebufferSupported() const { return discardFramebufferSupported_; }
    // The surface size in pixels.
    ui::Size surfaceSize() const { return size_; }
    const std::shared_ptr<gl::Context>& context() const;
    GxES2Renderer* renderer() const { return renderer_.get(); }
    // Whether frames are drawn with samples: asked for at creation, and had
    // only where the GL offers multisampled renderbuffers.
    bool multiSampling() const { return renderer_ && renderer_->multiSampling(); }
    unsigned requestedSamples() const { return requestedSamples_; }
    // The sample count in use (the request, at most the GL's maximum).
    unsigned samplesToUse() const { return renderer_ ? renderer_->samplesToUse() : 0; }
    int maxSamplesAllowed() const { return renderer_ ? renderer_->maxSamplesAllowed() : 0; }

    // Pixels per point of the surface: 1 until the director asks for the
    // high-resolution screen, whatever the screen's scale (the picture
    // handed to the layer carries its own scale). A new scale asks for a new
    // layout, and so new storage, before the next frame.
    double contentScaleFactor() const { return scale_; }
    void setContentScaleFactor(double s);
    void layoutSubviews() override;
    // Presents the frame drawn into the framebuffer: resolved when
    // multisampled, what the next frame does not need discarded where GL
    // can, read back into the layer's contents. Nothing is read from an
    // incomplete framebuffer. A frame whose pixels equal those the layer
    // shows already leaves the layer as it is, so the window is not drawn
    // again for it.
    void swapBuffers();
    // Frames presented so far (unchanged ones included).
    int framesPresented() const { return framesPresented_; }
    // Of those, the frames that changed the layer's contents.
    int framesHandedOver() const { return framesHandedOver_; }
    // A pixel of the last presented frame as GL drew it (RGBA, premultiplied),
    // x, y in pixels from the top left; zeros outside.
    std::array<uint8_t, 4> presentedPixel(int x, int y) const;

    ui::Point convertPointFromViewToSurface(ui::Point p) const;
    ui::Rect convertRectFromViewToSurface(const ui::Rect& r) const;

    GxTouchDelegate* touchDelegate() const { return touchDelegate_; }
    void setTouchDelegate(GxTouchDelegate* d) { touchDelegate_ = d; }
    void touchesBegan(const ui::TouchSet& t, const ui::Event& e) override;
    void touchesMoved(const ui::TouchSet& t, const ui::Event& e) override;
    void touchesEnded(const ui::TouchSet& t, const ui::Event& e) override;
    void touchesCancelled(const ui::TouchSet& t, const ui::Event& e) override;
    std::string description() const;

private:
    bool setupSurfaceWithSharegroup(const std::shared_ptr<gl::Context>& sharegroup, bool multiSampling);

    std::unique_ptr<GxES2Renderer> renderer_;
    std::string pixelFormat_ = kGxColorFormatRGB565;
    unsigned depthFormat_ = 0;
    bool preserveBackbuffer_ = false;
    ui::Size size_;
    bool discardFramebufferSupported_ = false;
    GxTouchDelegate* touchDelegate_ = nullptr;
    unsigned requestedSamples_ = 0;
    int framesPresented_ = 0;
    double scale_ = 1;
    int framesHandedOver_ = 0;
    std::vector<uint8_t> readback_;  // bottom-up, as read
    int readbackWidth_ = 0, readbackHeight_ = 0;
    // The pixels of the frame last handed to the layer, and its picture.
    std::vector<uint8_t> handedPixels_;
    const ui::Image* handed_ = nullptr;
    ui::ImageRef frames_[2];
};

}  // namespace engine2d
