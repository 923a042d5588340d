#include "lib/kit/KenBurnsView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "lib/http/HttpRequest.h"
#include "platform/foundation/Background.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Layer.h"

namespace {

constexpr double kFadeDuration = 1.0;
// The zoom and pan outlast the image's turn by this much.
constexpr double kExtraMotion = 2.0;
constexpr size_t kUrlWindow = 3;
// A picture that has not come after this long is left out.
constexpr double kDownloadTimeOut = 20;

bool isRemote(const std::string& address) {
    std::string scheme = address.substr(0, address.find(':'));
    for (auto& c : scheme) c = char(std::tolower(static_cast<unsigned char>(c)));
    return address.find(':') != std::string::npos && (scheme == "http" || scheme == "https");
}

std::string movementLog(int m) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d-%f", m, 0.0);
    return buf;
}

}  // namespace

KenBurnsView::KenBurnsView(const ui::Rect& frame) : ui::View(frame) { layer().setMasksToBounds(true); }

KenBurnsView::~KenBurnsView() { stop(); }

ui::Size KenBurnsView::fillSize() const {
    const ui::Rect f = frame();
    return isLandscape_ ? ui::Size{f.width(), f.height()} : ui::Size{f.height(), f.width()};
}

double KenBurnsView::resizeRatio(ui::Size image, ui::Size fill, double boundsHeight) {
    const double w = image.width, h = image.height, W = fill.width, H = fill.height;
    if (w <= 0 || h <= 0) return 1;
    double r;
    if (w > W && h > H)
        r = (w - W) > (h - H) ? H / h : W / w;
    else if (w > W)
        r = (w - W) > (H - h) ? W / w : boundsHeight / h;
    else if (h > H)
        r = (W - w) > (h - H) ? h / H : W / w;
    else
        r = (W - w) > (H - h) ? W / w : H / h;
    // Some shapes get a factor from the table that leaves part of the view
    // bare; such images are enlarged to cover it.
    return std::max(r, std::max(W / w, H / h));
}

KenBurnsMovement KenBurnsView::movement(int m, ui::Size fill, ui::Size shown) {
    const double W = fill.width, H = fill.height, ow = shown.width, oh = shown.height;
    const double mx = ow - W, my = oh - H;
    switch (m) {
        case 0:
            return {0, 0, 1.25, -mx, -my};
        case 1:
            return {0, H - oh, 1.1, -mx, my};
        case 2:
            return {W - ow, 0, 1.3, mx, -my};
        case 3:
            return {W - ow, H - oh, 1.2, mx, my};
        default:
            return {-1, -1, -1, -1, -1};
    }
}

double KenBurnsView::rhythmInterval(double transitionDuration) { return std::max(std::floor(transitionDuration), 1.0); }

ui::ImageRef KenBurnsView::downloadImageFrom(const std::string& address) {
    if (isRemote(address)) {
        auto request = http::HttpRequest::requestWithURL(address);
        if (!request) return nullptr;
        request->setTimeOutSeconds(kDownloadTimeOut);
        request->startSynchronous();
        auto data = request->responseData();
        if (request->error() || request->responseStatusCode() != 200 || !data || data->empty()) {
            foundation::log("KenBurnsView: no picture from ", address);
            return nullptr;
        }
        return ui::Image::fromData(*data);
    }
    std::string path = address;
    const std::string scheme = "file://";
    if (path.rfind(scheme, 0) == 0) path = path.substr(scheme.size());
    if (path.empty() || path.front() != '/') return nullptr;
    return ui::Image::fromFile(path);
}

int KenBurnsView::randomMovement() {
    static std::mt19937 engine{std::random_device{}()};
    return int(engine() & 3u);
}

void KenBurnsView::stop() {
    ++generation_;
    pendingDownloads_ = 0;
    nextDownload_ = appendedDownload_ = 0;
    arrived_.clear();
    waitingIndex_.reset();
    starting_ = false;
    if (rhythm_) rhythm_->invalidate();
    rhythm_.reset();
    for (auto& t : notifications_) t->invalidate();
    notifications_.clear();
}

void KenBurnsView::animateWithImages(std::vector<ui::ImageRef> images, float transitionDuration, bool loop,
                                     bool isLandscape) {
    stop();
    imagesArray_.clear();
    for (auto& i : images)
        if (i) imagesArray_.push_back(std::move(i));
    urls_.clear();
    timeTransition_ = transitionDuration;
    isLoop_ = loop;
    isLandscape_ = isLandscape;
    animationInCurse_ = false;
    layer().setMasksToBounds(true);
    firsImageFirstShow_ = true;
    firstRandomNum_ = -1;
    start();
}

void KenBurnsView::animateWithURLs(std::vector<std::string> urls, float transitionDuration, bool loop,
                                   bool isLandscape) {
    stop();
    imagesArray_.clear();
    urls_ = std::move(urls);
    timeTransition_ = transitionDuration;
    isLoop_ = loop;
    isLandscape_ = isLandscape;
    animationInCurse_ = false;
    layer().setMasksToBounds(true);
    firsImageFirstShow_ = true;
    firstRandomNum_ = -1;
    const std::vector<std::string> first(urls_.begin(), urls_.begin() + long(std::min(kUrlWindow, urls_.size())));
    if (std::none_of(first.begin(), first.end(), isRemote)) {
        // Files are read at once.
        for (const auto& address : first)
            if (auto image = downloadImageFrom(address)) imagesArray_.push_back(image);
        start();
        return;
    }
    // Pictures from the network come on a background task; the show starts
    // on the main thread when they are there.
    auto images = std::make_shared<std::vector<ui::ImageRef>>();
    std::weak_ptr<ui::View> weak = weak_from_this();
    const unsigned generation = generation_;
    ++pendingDownloads_;
    foundation::BackgroundTask::run(
        "kenburns.load",
        [first, images] {
            for (const auto& address : first)
                if (auto image = downloadImageFrom(address)) images->push_back(image);
        },
        [weak, generation, images] {
            auto self = std::static_pointer_cast<KenBurnsView>(weak.lock());
            if (!self || self->generation_ != generation) return;
            --self->pendingDownloads_;
            self->imagesArray_ = *images;
            self->start();
        });
}

void KenBurnsView::appendDownload(unsigned generation, const std::string& address) {
    if (!isRemote(address) && pendingDownloads_ == 0) {
        // A picture that cannot be read is left out.
        if (auto image = downloadImageFrom(address)) imagesArray_.push_back(image);
        return;
    }
    // Downloads may end in any order; they join the window in the order of
    // the list.
    std::weak_ptr<ui::View> weak = weak_from_this();
    auto image = std::make_shared<ui::ImageRef>();
    const unsigned seq = nextDownload_++;
    ++pendingDownloads_;
    foundation::BackgroundTask::run(
        "kenburns.load", [address, image] { *image = downloadImageFrom(address); },
        [weak, generation, image, seq] {
            auto self = std::static_pointer_cast<KenBurnsView>(weak.lock());
            if (!self || self->generation_ != generation) return;
            --self->pendingDownloads_;
            self->arrived_[seq] = *image;
            for (auto it = self->arrived_.begin(); it != self->arrived_.end() && it->first == self->appendedDownload_;
                 it = self->arrived_.erase(it), ++self->appendedDownload_)
                if (it->second) self->imagesArray_.push_back(it->second);
            // The rhythm came to an empty window while this was on its way.
            if (self->waitingIndex_ && !self->imagesArray_.empty()) {
                size_t index = *self->waitingIndex_;
                self->waitingIndex_.reset();
                self->urlRhythmStep(generation, index);
            }
        });
}

void KenBurnsView::start() {
    if (imagesArray_.empty()) return;
    const unsigned generation = generation_;
    std::weak_ptr<ui::View> weak = weak_from_this();
    // Every address was read at the start: show them as a plain list.
    const bool window = urls_.size() > kUrlWindow;
    // The first beat comes on the next turn, once the caller has finished.
    starting_ = true;
    foundation::postToMain([weak, generation, window]() {
        auto self = std::static_pointer_cast<KenBurnsView>(weak.lock());
        if (!self || generation != self->generation_) return;
        self->starting_ = false;
        if (window)
            self->urlRhythmStep(generation, kUrlWindow);
        else
            self->rhythmStep(generation, 0);
    });
}

void KenBurnsView::rhythmStep(unsigned generation, size_t index) {
    if (generation != generation_) return;
    const size_t n = imagesArray_.size();
    if (index >= n) {
        rhythm_.reset();
        return;
    }
    currentImage_ = int(index);
    animateIndex(index);
    size_t next = index + 1;
    if (index == n - 1) next = isLoop_ ? 0 : n;
    std::weak_ptr<ui::View> weak = weak_from_this();
    rhythm_ = foundation::RunLoop::main().performAfter(rhythmInterval(timeTransition_), [weak, generation, next]() {
        if (auto self = std::static_pointer_cast<KenBurnsView>(weak.lock())) self->rhythmStep(generation, next);
    });
}

void KenBurnsView::urlRhythmStep(unsigned generation, size_t index) {
    if (generation != generation_) return;
    if (imagesArray_.empty() && pendingDownloads_ > 0 && index < urls_.size()) {
        rhythm_.reset();
        waitingIndex_ = index;
        return;
    }
    if (index >= urls_.size() || imagesArray_.empty()) {
        rhythm_.reset();
        return;
    }
    currentImage_ = 0;
    animateIndex(0);
    imagesArray_.erase(imagesArray_.begin());
    appendDownload(generation, urls_[index]);
    size_t next = index + 1;
    if (index == urls_.size() - 1 && isLoop_) next = 0;
    std::weak_ptr<ui::View> weak = weak_from_this();
    rhythm_ = foundation::RunLoop::main().performAfter(rhythmInterval(timeTransition_), [weak, generation, next]() {
        if (auto self = std::static_pointer_cast<KenBurnsView>(weak.lock())) self->urlRhythmStep(generation, next);
    });
}

void KenBurnsView::animateIndex(size_t index) {
    int m;
    if (firsImageFirstShow_) {
        m = firstRandomNum_;
        firsImageFirstShow_ = false;
    } else {
        m = randomMovement();
    }
    // No movement chosen yet (resumeAnimation did not run before the first
    // image): draw one rather than mirror the image.
    if (m < 0 || m > 3) m = randomMovement();
    showImage(index, m);
}

void KenBurnsView::resumeAnimation() {
    if (imagesArray_.empty()) return;
    const int m = randomMovement();
    firstRandomNum_ = m;
    size_t index = size_t(std::clamp(currentImage_, 0, int(imagesArray_.size()) - 1));
    showImage(index, m);
}

void KenBurnsView::showImage(size_t index, int m) {
    if (index >= imagesArray_.size()) return;
    const ui::ImageRef image = imagesArray_[index];
    const ui::Size fill = fillSize();
    const ui::Size size = image->size();
    const double r = resizeRatio(size, fill, bounds().height());
    const ui::Size shown{size.width * r * 1.2, size.height * r * 1.2};
    auto imageView = ui::View::create({0, 0, shown.width, shown.height});

    const KenBurnsMovement mv = movement(m, fill, shown);
    foundation::log(movementLog(m));

    auto picture = ui::Layer::create();
    picture->setContents(image);
    picture->setAnchorPoint({0, 0});
    picture->setBounds({0, 0, shown.width, shown.height});
    picture->setPosition({mv.x, mv.y});
    imageView->layer().addSublayer(picture);

    auto fade = ui::Transition::create();
    fade->duration = kFadeDuration;
    // The pictures go on changing and moving on a still screen.
    fade->ambient = true;
    layer().addAnimation(fade, "transition");
    if (!subviews().empty()) subviews().front()->removeFromSuperview();
    addSubview(imageView);

    const auto zoom = ui::AffineTransform::makeScale(mv.zoom, mv.zoom).rotate(0).translate(mv.dx, mv.dy);
    ui::View::animate(timeTransition_ + kExtraMotion, 0, ui::kAnimationOptionCurveEaseIn | ui::kAnimationOptionAmbient,
                      [imageView, zoom]() { imageView->setTransform(zoom); });

    // Drop the timers that have fired.
    notifications_.erase(std::remove_if(notifications_.begin(), notifications_.end(),
                                        [](const foundation::TimerRef& t) { return !t->isValid(); }),
                         notifications_.end());
    std::weak_ptr<ui::View> weak = weak_from_this();
    const unsigned generation = generation_;
    notifications_.push_back(foundation::RunLoop::main().performAfter(timeTransition_, [weak, generation, index]() {
        auto self = std::static_pointer_cast<KenBurnsView>(weak.lock());
        if (self && self->generation_ == generation) self->notifyDelegate(index);
    }));
}

void KenBurnsView::notifyDelegate(size_t index) {
    if (!delegate_) return;
    delegate_->didShowImageAtIndex(unsigned(index));
    if (index + 1 == imagesArray_.size() && !isLoop_) delegate_->didFinishAllAnimations();
}
