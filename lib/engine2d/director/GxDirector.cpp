#include "lib/engine2d/director/GxDirector.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "platform/ui/Screen.h"

namespace engine2d {

namespace {
GxStatsLabelMaker& statsLabelMaker() {
    static GxStatsLabelMaker maker;
    return maker;
}

std::function<void()>& cachePurge(GxDirector::CachePurge which) {
    static std::function<void()> purges[size_t(GxDirector::CachePurge::Count_)];
    return purges[size_t(which)];
}

void runCachePurge(GxDirector::CachePurge which) {
    if (auto& f = cachePurge(which)) f();
}
}  // namespace

GxDirector& GxDirector::sharedDirector() {
    static std::shared_ptr<GxDirector> director = [] {
        auto made = std::make_shared<GxDirector>();
        // A scene a case left running ends, and the caches go with it.
        foundation::registerResetter("engine2d.director", foundation::ResetPhase::Presentation, [] {
            gl::Context* before = gl::Context::current();
            director->end();  // with the view's context current while it purges
            // Ending may have freed the context that was current before (the
            // view's own), so it is not made current again: no context is.
            if (gl::Context::current() != before) gl::Context::clearCurrent();
            statsLabelMaker() = nullptr;
        });
        return made;
    }();
    return *director;
}

GxDirector::GxDirector() {
    scheduler_ = GxEnvironment::shared().scheduler();
    touchDispatcher_ = std::make_shared<GxTouchDispatcher>();
    GxEnvironment::shared().setTouchDispatcher(touchDispatcher_);
    actionManager_ = GxEnvironment::shared().actionManager();
    scheduleActionManager();
    GxEnvironment::shared().contentScaleFactor = 1;
}

// The actions are stepped first in every frame, and never paused.
void GxDirector::scheduleActionManager() {
    if (!scheduler_ || !actionManager_) return;
    GxActionManager* m = actionManager_.get();
    scheduler_->scheduleUpdateForTarget(
        actionManager_, [m](float dt) { m->update(dt); }, std::numeric_limits<int>::min(), false);
}

GxDirector::~GxDirector() {
    if (displayLink_) displayLink_->invalidate();
}

std::string GxDirector::description() const {
    char buf[160];
    std::snprintf(buf, sizeof buf, "<GxDirector = %p | Size: %0.f x %0.f, view = %s>", static_cast<const void*>(this),
                  double(winSizeInPoints_.width), double(winSizeInPoints_.height),
                  view_ ? view_->description().c_str() : "(null)");
    return buf;
}

void GxDirector::setScheduler(std::shared_ptr<GxScheduler> s) {
    if (scheduler_ && actionManager_) scheduler_->unscheduleUpdateForTarget(actionManager_.get());
    scheduler_ = std::move(s);
    GxEnvironment::shared().setScheduler(scheduler_);
    scheduleActionManager();
}

void GxDirector::setTouchDispatcher(std::shared_ptr<GxTouchDispatcher> d) {
    if (d == touchDispatcher_ || !d) return;
    touchDispatcher_ = std::move(d);
    GxEnvironment::shared().setTouchDispatcher(touchDispatcher_);
    if (view_) view_->setTouchDelegate(touchDispatcher_.get());
}

void GxDirector::setView(const std::shared_ptr<GxGLView>& view) {
    if (view == view_) return;
    if (view_ && view_->touchDelegate() == touchDispatcher_.get()) view_->setTouchDelegate(nullptr);
    // Programs belong to a share group: leaving the group drops them, with
    // their own context current so the right objects are deleted.
    auto oldContext = view_ ? view_->context() : nullptr;
    if (oldContext && (!view || oldContext->sharegroup() != view->context()->sharegroup())) {
        oldContext->makeCurrent();
        GxShaderCache::purgeSharedShaderCache();
    }
    ui::ViewController::setView(view);
    view_ = view;
    ui::Size size = view ? view->bounds().size : ui::Size{};
    winSizeInPoints_ = winSizeInPixels_ = {float(size.width), float(size.height)};
    GxEnvironment::shared().winSize = winSizeInPoints_;
    if (view) {
        // One GL state cache per context: a new context starts from nothing.
        view->context()->makeCurrent();
        if (view->context()->id() != viewContextId_) {
            gxGLCacheReset();
            viewContextId_ = view->context()->id();
        }
    }
    createStatsLabel();
    if (view) {
        view->setTouchDelegate(touchDispatcher_.get());
        touchDispatcher_->setDispatchEvents(true);
        setGLDefaultValues();
        float scale = contentScaleFactor();
        winSizeInPixels_ = {winSizeInPoints_.width * scale, winSizeInPoints_.height * scale};
        if (scale != 1) updateContentScaleFactor();
    }
}

void GxDirector::runWithScene(const std::shared_ptr<GxScene>& scene) {
    if (!scene) return;
    pushScene(scene);
    startAnimation();
}

void GxDirector::pushScene(const std::shared_ptr<GxScene>& scene) {
    if (!scene) return;
    sendCleanupToScene_ = false;
    scenesStack_.push_back(scene);
    nextScene_ = scene;
}

void GxDirector::replaceScene(const std::shared_ptr<GxScene>& scene) {
    if (!scene) return;
    if (scenesStack_.empty()) {
        pushScene(scene);
        return;
    }
    sendCleanupToScene_ = true;
    scenesStack_.back() = scene;
    nextScene_ = scene;
}

void GxDirector::popScene() {
    if (scenesStack_.empty()) return;
    scenesStack_.pop_back();
    if (scenesStack_.empty()) {
        end();
        return;
    }
    sendCleanupToScene_ = true;
    nextScene_ = scenesStack_.back();
}

void GxDirector::setNextScene() {
    bool runningIsTransition = runningScene_ && runningScene_->isTransition();
    bool newIsTransition = nextScene_->isTransition();
    if (!newIsTransition && runningScene_) {
        runningScene_->onExit();
        if (sendCleanupToScene_) runningScene_->cleanup();
    }
    runningScene_ = std::move(nextScene_);
    nextScene_.reset();
    // A transition has already entered its incoming scene; any other scene
    // (one that cut the transition short) still has to enter.
    if (!runningIsTransition || !runningScene_->isRunning()) {
        runningScene_->onEnter();
        runningScene_->onEnterTransitionDidFinish();
    }
}

void GxDirector::end() {
    touchDispatcher_->removeAllDelegates();
    if (runningScene_) {
        auto leaving = runningScene_;
        leaving->onExit();
        leaving->cleanup();
    }
    runningScene_.reset();
    nextScene_.reset();
    scenesStack_.clear();
    stopAnimation();
    FPSLabel_.reset();
    SPFLabel_.reset();
    drawsLabel_.reset();
    delegate_ = nullptr;
    bool hadContext = view_ && view_->context() && view_->context()->makeCurrent();
    setView(nullptr);  // drops the shader programs with the view's context current
    // The caches go too, textures deleted while their context is current.
    runCachePurge(CachePurge::BitmapFonts);
    runCachePurge(CachePurge::Animations);
    runCachePurge(CachePurge::SpriteFrames);
    runCachePurge(CachePurge::Textures);
    if (hadContext) GxShaderCache::purgeSharedShaderCache();
    GxFileUtils::sharedFileUtils().purgeCachedEntries();
    if (hadContext) {
        gxGLCacheReset();
        GLenum e = gl::GetError();
        if (e != GL_NO_ERROR) foundation::warn("OpenGL error 0x%04X in %s %d", unsigned(e), "-[GxDirector end]", 456);
    } else {
        mxGLReleaseStacks();
    }
    viewContextId_ = 0;
}

void GxDirector::startAnimation() {
    if (isAnimating_) return;
    lastUpdate_ = foundation::clock().monotonic();
    int frameInterval = int(std::floor(animationInterval_ * 60.0));
    displayLink_ = foundation::DisplayLink::create([this](foundation::DisplayLink&) { mainLoop(); });
    displayLink_->setFrameInterval(frameInterval);
    displayLink_->addToRunLoop(foundation::RunLoop::current(), foundation::kDefaultMode);
    isAnimating_ = true;
}

void GxDirector::stopAnimation() {
    if (!isAnimating_) return;
    displayLink_->invalidate();
    displayLink_.reset();
    isAnimating_ = false;
}

void GxDirector::setAnimationInterval(double interval) {
    animationInterval_ = interval;
    if (displayLink_) {
        stopAnimation();
        startAnimation();
    }
}

void GxDirector::pause() {
    if (isPaused_) return;
    oldAnimationInterval_ = animationInterval_;
    setAnimationInterval(0.25);
    isPaused_ = true;
}

void GxDirector::resume() {
    if (!isPaused_) return;
    setAnimationInterval(oldAnimationInterval_);
    lastUpdate_ = foundation::clock().monotonic();
    isPaused_ = false;
    dt_ = 0;
}

void GxDirector::calculateDeltaTime() {
    double now = displayLink_ ? displayLink_->timestamp() : lastDisplayTime_;
    if (nextDeltaTimeZero_ || lastDisplayTime_ == 0) {
        dt_ = 0;
        nextDeltaTimeZero_ = false;
    } else {
        dt_ = float(now - lastDisplayTime_);
        if (dt_ < 0) dt_ = 0;
    }
    lastDisplayTime_ = now;
    if (displayStats_) lastUpdate_ = foundation::clock().monotonic();
}

void GxDirector::drawScene() {
    calculateDeltaTime();
    if (view_ && view_->context()) view_->context()->makeCurrent();
    if (!isPaused_) scheduler_->update(dt_);
    bool canDraw = view_ && view_->renderer() && view_->renderer()->isComplete();
    if (canDraw) {
        gl::BindFramebuffer(GL_FRAMEBUFFER, view_->renderer()->drawFramebuffer());
        gl::Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    if (nextScene_) setNextScene();
    mxGLPushMatrix();
    if (runningScene_) runningScene_->visit();
    if (notificationNode_) notificationNode_->visit();
    if (displayStats_) showStats();
    mxGLPopMatrix();
    totalFrames_ += 1;
    if (canDraw) view_->swapBuffers();
    if (displayStats_) calculateMPF();
}

void GxDirector::setProjection(int projection) {
    Size px = winSizeInPixels_;
    Size pt = winSizeInPoints_;
    float scale = contentScaleFactor();
    gl::Viewport(0, 0, GLsizei(px.width), GLsizei(px.height));
    switch (projection) {
        case kGxDirectorProjection2D: {
            mxGLMatrixMode(MX_GL_PROJECTION);
            mxGLSetIdentity();
            mxMat4 ortho;
            mxMat4Ortho(&ortho, 0, px.width / scale, 0, px.height / scale, -1024, 1024);
            mxGLMultiplyTop(&ortho);
            mxGLMatrixMode(MX_GL_MODELVIEW);
            mxGLSetIdentity();
            break;
        }
        case kGxDirectorProjection3D: {
            float zeye = getZEye();
            mxGLMatrixMode(MX_GL_PROJECTION);
            mxGLSetIdentity();
            mxMat4 perspective;
            if (px.height > 0 && mxMat4Perspective(&perspective, 60, px.width / px.height, 0.1f, zeye * 2))
                mxGLMultiplyTop(&perspective);
            mxGLMatrixMode(MX_GL_MODELVIEW);
            mxGLSetIdentity();
            mxVector3 eye{pt.width / 2, pt.height / 2, zeye}, center{pt.width / 2, pt.height / 2, 0}, up{0, 1, 0};
            mxMat4 lookAt;
            mxMat4FromLookAt(&lookAt, &eye, &center, &up);
            mxGLMultiplyTop(&lookAt);
            break;
        }
        case kGxDirectorProjectionCustom:
            if (delegate_) delegate_->updateProjection();
            break;
        default:
            break;
    }
    projection_ = projection;
    gxGLCacheProjectionChanged();
}

float GxDirector::getZEye() const { return winSizeInPixels_.height / 1.1566f / contentScaleFactor(); }

void GxDirector::reshapeProjection(ui::Size) {
    ui::Size b = view_ ? view_->bounds().size : ui::Size{};
    float scale = contentScaleFactor();
    winSizeInPoints_ = {float(b.width), float(b.height)};
    winSizeInPixels_ = {winSizeInPoints_.width * scale, winSizeInPoints_.height * scale};
    GxEnvironment::shared().winSize = winSizeInPoints_;
    setProjection(projection_);
}

void GxDirector::setAlphaBlending(bool on) {
    if (on) {
        gxGLCacheEnable(kGxGLServerStateBlend);
        gxGLCacheBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        gl::Disable(GL_BLEND);
    }
}

void GxDirector::setDepthTest(bool on) {
    if (on) {
        gl::ClearDepthf(1.0f);
        gl::Enable(GL_DEPTH_TEST);
        gl::DepthFunc(GL_LEQUAL);
    } else {
        gl::Disable(GL_DEPTH_TEST);
    }
}

void GxDirector::setGLDefaultValues() {
    setAlphaBlending(true);
    setDepthTest(view_ && view_->depthFormat() != 0);
    setProjection(projection_);
    gl::ClearColor(0, 0, 0, 1);
}

Point GxDirector::convertToGL(Point p) const { return {p.x, winSizeInPoints_.height - p.y}; }

Point GxDirector::convertToUI(Point p) const { return {p.x, std::trunc(winSizeInPoints_.height - p.y)}; }

float GxDirector::contentScaleFactor() const { return GxEnvironment::shared().contentScaleFactor; }

void GxDirector::setContentScaleFactor(float scale) {
    if (scale == contentScaleFactor()) return;
    GxEnvironment::shared().contentScaleFactor = scale;
    winSizeInPixels_ = {winSizeInPoints_.width * scale, winSizeInPoints_.height * scale};
    if (view_) updateContentScaleFactor();
    setProjection(projection_);
}

void GxDirector::updateContentScaleFactor() {
    if (view_) view_->setContentScaleFactor(contentScaleFactor());
    isContentScaleSupported_ = true;
}

bool GxDirector::enableRetinaDisplay(bool enable) {
    float current = contentScaleFactor();
    if ((enable && current == 2) || (!enable && current == 1)) return true;
    if (!view_ || ui::Screen::main().scale() == 1.0) return false;
    setContentScaleFactor(enable ? 2 : 1);
    createStatsLabel();
    return true;
}

void GxDirector::setStatsLabelMaker(GxStatsLabelMaker maker) { statsLabelMaker() = std::move(maker); }

void GxDirector::registerCachePurge(CachePurge which, std::function<void()> purge) {
    if (which < CachePurge::Count_) cachePurge(which) = std::move(purge);
}

void GxDirector::purgeCachedData() {
    // Textures are deleted in the view's share group.
    if (view_ && view_->context()) view_->context()->makeCurrent();
    runCachePurge(CachePurge::BitmapFonts);
    runCachePurge(CachePurge::UnusedTextures);
    GxFileUtils::sharedFileUtils().purgeCachedEntries();
}

void GxDirector::didReceiveMemoryWarning() {
    purgeCachedData();
    ui::ViewController::didReceiveMemoryWarning();
}

std::string GxDirector::statsImagePath() {
    auto p = foundation::bundlePath("fps_images.png");
    return p ? *p : std::string();
}

void GxDirector::createStatsLabel() {
    FPSLabel_.reset();
    SPFLabel_.reset();
    drawsLabel_.reset();
    auto& maker = statsLabelMaker();
    std::string image = statsImagePath();
    // Without the picture (or a label maker) the statistics are left out.
    if (!maker || image.empty()) return;
    auto fps = maker("00.0", image, 12, 32, '.');
    auto spf = maker("0.000", image, 12, 32, '.');
    auto draws = maker("000", image, 12, 32, '.');
    if (!fps || !spf || !draws || !fps->node || !spf->node || !draws->node) return;
    draws->node->setPosition({0, 34});
    spf->node->setPosition({0, 17});
    fps->node->setPosition({0, 0});
    FPSLabel_ = std::move(fps);
    SPFLabel_ = std::move(spf);
    drawsLabel_ = std::move(draws);
}

void GxDirector::showStats() {
    frames_ += 1;
    accumDt_ += dt_;
    if (displayStats_ && FPSLabel_) {
        if (accumDt_ > 0.1f) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.3f", double(secondsPerFrame_));
            SPFLabel_->setString(buf);
            frameRate_ = float(frames_) / accumDt_;
            frames_ = 0;
            accumDt_ = 0;
            std::snprintf(buf, sizeof buf, "%.1f", double(frameRate_));
            FPSLabel_->setString(buf);
            std::snprintf(buf, sizeof buf, "%4d", int(GxEnvironment::shared().drawCounter));
            drawsLabel_->setString(buf);
        }
        drawsLabel_->node->visit();
        FPSLabel_->node->visit();
        SPFLabel_->node->visit();
    }
    GxEnvironment::shared().drawCounter = 0;
}

void GxDirector::calculateMPF() { secondsPerFrame_ = float(foundation::clock().monotonic() - lastUpdate_); }

void GxDirector::viewWillAppear(bool animated) {
    ui::ViewController::viewWillAppear(animated);
    startAnimation();
}

void GxDirector::viewDidDisappear(bool animated) {
    stopAnimation();
    ui::ViewController::viewDidDisappear(animated);
}

bool GxDirector::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) {
    return delegate_ ? delegate_->shouldAutorotateToInterfaceOrientation(o) : true;
}

}  // namespace engine2d
