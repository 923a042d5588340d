#pragma once
// The director: the engine's single controller. It owns the scene stack and
// the running scene, the scheduler every node uses, the window size in
// points and pixels, the projection and the frame loop, which a display
// link on the run loop drives (the window's refreshes in the app, the
// manual clock or explicit ticks in tests).
//
// It is a view controller whose view is the GL view, so a screen that
// contains it forwards its appearance: appearing starts the animation,
// disappearing stops it.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lib/engine2d/director/GxGLView.h"
#include "lib/engine2d/mathlib/Geometry.h"
#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/nodes/GxScene.h"
#include "platform/foundation/DisplayLink.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/ViewController.h"

namespace engine2d {

enum GxDirectorProjection { kGxDirectorProjection2D = 0, kGxDirectorProjection3D = 1, kGxDirectorProjectionCustom = 2 };

class GxDirectorDelegate {
public:
    virtual ~GxDirectorDelegate() = default;
    virtual void updateProjection() {}
    virtual bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation) { return true; }
};

// A statistics label made by the label library from the character-map image.
struct GxStatsLabel {
    GxNodeRef node;
    std::function<void(const std::string&)> setString;
};
using GxStatsLabelMaker = std::function<std::optional<GxStatsLabel>(
    const std::string& text, const std::string& imagePath, int itemWidth, int itemHeight, char startChar)>;

class GxDirector : public ui::ViewController {
public:
    static GxDirector& sharedDirector();
    GxDirector();
    ~GxDirector() override;
    const char* className() const override { return "GxDirector"; }
    std::string description() const;

    // The view. A new view (or a new context) starts with a fresh GL state cache.
    void setView(const std::shared_ptr<GxGLView>& view);
    const std::shared_ptr<GxGLView>& openGLView() const { return view_; }

    // Scenes. replaceScene on an empty stack pushes; popScene on an empty stack does nothing.
    void runWithScene(const std::shared_ptr<GxScene>& scene);
    void pushScene(const std::shared_ptr<GxScene>& scene);
    void popScene();
    void replaceScene(const std::shared_ptr<GxScene>& scene);
    void end();
    const std::shared_ptr<GxScene>& runningScene() const { return runningScene_; }
    // The scene the next frame switches to (nullptr when none is pending).
    const std::shared_ptr<GxScene>& nextScene() const { return nextScene_; }
    size_t sceneCount() const { return scenesStack_.size(); }
    bool sendCleanupToScene() const { return sendCleanupToScene_; }
    const GxNodeRef& notificationNode() const { return notificationNode_; }
    void setNotificationNode(GxNodeRef n) { notificationNode_ = std::move(n); }

    // The frame loop.
    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return isAnimating_; }
    double animationInterval() const { return animationInterval_; }
    void setAnimationInterval(double interval);
    void pause();
    void resume();
    bool isPaused() const { return isPaused_; }
    void drawScene();
    void mainLoop() { drawScene(); }
    float dt() const { return dt_; }
    bool nextDeltaTimeZero() const { return nextDeltaTimeZero_; }
    void setNextDeltaTimeZero(bool z) { nextDeltaTimeZero_ = z; }
    unsigned totalFrames() const { return totalFrames_; }
    float secondsPerFrame() const { return secondsPerFrame_; }
    const std::shared_ptr<foundation::DisplayLink>& displayLink() const { return displayLink_; }
    const std::shared_ptr<GxScheduler>& scheduler() const { return scheduler_; }
    void setScheduler(std::shared_ptr<GxScheduler> s);
    const std::shared_ptr<GxActionManager>& actionManager() const { return actionManager_; }
    // The thread that draws: the one that made the director (the main
    // thread), where the engine's work is sent (performBlock).
    foundation::RunLoop& runningThread() const { return *runningThread_; }

    // Projection and GL defaults.
    int projection() const { return projection_; }
    void setProjection(int projection);
    void reshapeProjection(ui::Size pixels);
    float getZEye() const;
    void setAlphaBlending(bool on);
    void setDepthTest(bool on);
    void setGLDefaultValues();

    // Sizes and points.
    Size winSize() const { return winSizeInPoints_; }
    Size winSizeInPixels() const { return winSizeInPixels_; }
    Point convertToGL(Point ui) const;

    // Receives the view's touches while a view is set.
    const std::shared_ptr<GxTouchDispatcher>& touchDispatcher() const { return touchDispatcher_; }
    void setTouchDispatcher(std::shared_ptr<GxTouchDispatcher> d);
    Point convertToUI(Point gl) const;
    float contentScaleFactor() const;
    void setContentScaleFactor(float scale);
    void updateContentScaleFactor();
    // Scale 2 when the main screen has it; answers whether the request holds.
    bool enableRetinaDisplay(bool enable);

    // Statistics.
    bool displayStats() const { return displayStats_; }
    void setDisplayStats(bool d) { displayStats_ = d; }
    void createStatsLabel();
    bool hasStatsLabels() const { return FPSLabel_.has_value(); }
    static void setStatsLabelMaker(GxStatsLabelMaker maker);
    // Where the statistics image is looked for (the bundle's images folder).
    static std::string statsImagePath();

    GxDirectorDelegate* delegate() const { return delegate_; }
    void setDelegate(GxDirectorDelegate* d) { delegate_ = d; }

    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) override;
    // Empties what can be loaded again: the bitmap-font descriptions, the
    // textures nothing but their cache holds and the file look-ups.
    void purgeCachedData();
    // purgeCachedData, then what any view controller does.
    void didReceiveMemoryWarning() override;

    // The caches of the libraries built on the director (textures, sprite
    // frames, animations, bitmap fonts) register how they are emptied when
    // they are first made; end() and purgeCachedData() call what is there.
    enum class CachePurge { BitmapFonts, Animations, SpriteFrames, Textures, UnusedTextures, Count_ };
    static void registerCachePurge(CachePurge which, std::function<void()> purge);

private:
    void setNextScene();
    void scheduleActionManager();
    void calculateDeltaTime();
    void showStats();
    void calculateMPF();

    double animationInterval_ = 1.0 / 60, oldAnimationInterval_ = 1.0 / 60;
    bool displayStats_ = false;
    unsigned frames_ = 0, totalFrames_ = 0;
    float secondsPerFrame_ = 0, accumDt_ = 0, frameRate_ = 0;
    std::optional<GxStatsLabel> FPSLabel_, SPFLabel_, drawsLabel_;
    bool isPaused_ = false, isAnimating_ = false;
    std::shared_ptr<GxScene> runningScene_, nextScene_;
    GxNodeRef notificationNode_;
    bool sendCleanupToScene_ = false;
    std::vector<std::shared_ptr<GxScene>> scenesStack_;
    double lastUpdate_ = 0;
    float dt_ = 0;
    bool nextDeltaTimeZero_ = false;
    int projection_ = kGxDirectorProjection3D;
    std::shared_ptr<GxTouchDispatcher> touchDispatcher_;
    GxDirectorDelegate* delegate_ = nullptr;
    Size winSizeInPoints_, winSizeInPixels_;
    std::shared_ptr<GxScheduler> scheduler_;
    std::shared_ptr<GxActionManager> actionManager_;
    std::shared_ptr<GxGLView> view_;
    uint64_t viewContextId_ = 0;
    bool isContentScaleSupported_ = false;
    std::shared_ptr<foundation::DisplayLink> displayLink_;
    double lastDisplayTime_ = 0;
    foundation::RunLoop* runningThread_ = &foundation::RunLoop::current();
};

}  // namespace engine2d
