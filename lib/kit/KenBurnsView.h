#pragma once
// A slideshow view: one image at a time, enlarged so that it overfills the
// view, faded in over the one before and slowly zoomed and panned in one of
// four corner-to-corner movements; the next image follows after a fixed
// time, looping or stopping after the last.
//
// The rhythm runs on timers of the main run loop (so it follows the clock a
// test installs). A new start replaces the running rhythm, and destroying
// the view ends it; neither leaves an image change or an event behind.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"
#include "platform/ui/View.h"

class KenBurnsViewDelegate {
public:
    virtual ~KenBurnsViewDelegate() = default;
    virtual void didShowImageAtIndex(unsigned index) { (void)index; }
    virtual void didFinishAllAnimations() {}
};

// Where an image starts inside its view, its zoom and its pan.
struct KenBurnsMovement {
    double x = 0, y = 0, zoom = 1, dx = 0, dy = 0;
    bool operator==(const KenBurnsMovement&) const = default;
};

class KenBurnsView : public ui::View {
public:
    explicit KenBurnsView(const ui::Rect& frame = {});
    ~KenBurnsView() override;
    static std::shared_ptr<KenBurnsView> create(const ui::Rect& frame) { return std::make_shared<KenBurnsView>(frame); }
    const char* className() const override { return "KenBurnsView"; }

    // Starts the slideshow: each image stays `transitionDuration` seconds
    // (the rhythm counts whole seconds) and is zoomed over 2 seconds more.
    // With isLandscape false the frame's height counts as the width.
    void animateWithImages(std::vector<ui::ImageRef> images, float transitionDuration, bool loop, bool isLandscape);
    // The same with pictures read from addresses (file paths, file: URLs, or
    // http and https addresses); up to three are held at once, the next read
    // as the oldest is shown. Pictures from the network are downloaded on a
    // background task and handed to the main thread; the show starts when the
    // first ones are there, and waits for one that is late.
    void animateWithURLs(std::vector<std::string> urls, float transitionDuration, bool loop, bool isLandscape);
    // Shows the current image again with a new movement, which the first
    // image of the next start repeats.
    void resumeAnimation();

    KenBurnsViewDelegate* delegate() const { return delegate_; }
    void setDelegate(KenBurnsViewDelegate* d) { delegate_ = d; }
    const std::vector<ui::ImageRef>& imagesArray() const { return imagesArray_; }
    float timeTransition() const { return timeTransition_; }
    bool isLoop() const { return isLoop_; }
    bool isLandscape() const { return isLandscape_; }
    bool animationInCurse() const { return animationInCurse_; }
    int currentImage() const { return currentImage_; }
    bool firsImageFirstShow() const { return firsImageFirstShow_; }
    int firstRandomNum() const { return firstRandomNum_; }
    // Whether a rhythm is running.
    bool isRunning() const { return starting_ || rhythm_ != nullptr; }
    // Whether pictures are on their way from the network.
    bool isDownloading() const { return pendingDownloads_ > 0; }

    // The sides the images fill: (W, H) of the frame, swapped unless landscape.
    ui::Size fillSize() const;
    // The factor that makes an image of size (w, h) overfill W x H; never
    // smaller than what covers the whole area.
    static double resizeRatio(ui::Size image, ui::Size fill, double boundsHeight);
    // Movement m (0 to 3) of an image shown at size `shown` over `fill`.
    static KenBurnsMovement movement(int m, ui::Size fill, ui::Size shown);
    // The seconds between two images: the transition time in whole seconds
    // (at least one, so a looping show cannot spin).
    static double rhythmInterval(double transitionDuration);

    // Reads one picture; nullptr when it cannot be read. An http address is
    // downloaded with the HTTP client and blocks the caller until it is done.
    static ui::ImageRef downloadImageFrom(const std::string& address);

private:
    void start();
    void stop();
    void rhythmStep(unsigned generation, size_t index);
    void urlRhythmStep(unsigned generation, size_t index);
    void appendDownload(unsigned generation, const std::string& address);
    void showImage(size_t index, int movementNumber);
    void animateIndex(size_t index);
    void notifyDelegate(size_t index);
    int randomMovement();

    std::vector<ui::ImageRef> imagesArray_;
    std::vector<std::string> urls_;
    float timeTransition_ = 0;
    bool isLoop_ = false;
    bool isLandscape_ = false;
    bool animationInCurse_ = false;
    int currentImage_ = 0;
    KenBurnsViewDelegate* delegate_ = nullptr;
    bool firsImageFirstShow_ = false;
    int firstRandomNum_ = -1;

    unsigned generation_ = 0;
    bool starting_ = false;  // started; the first beat is posted
    int pendingDownloads_ = 0;
    unsigned nextDownload_ = 0, appendedDownload_ = 0;
    std::map<unsigned, ui::ImageRef> arrived_;  // downloads ahead of an earlier one
    std::optional<size_t> waitingIndex_;
    foundation::TimerRef rhythm_;
    std::vector<foundation::TimerRef> notifications_;
};
