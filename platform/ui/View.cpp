#include "platform/ui/View.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "platform/foundation/Assert.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Render.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
double now() { return foundation::clock().monotonic(); }
}  // namespace

// ---------------------------------------------------------------- touches

Touch::Touch(std::shared_ptr<View> view, Point windowLocation, double timestamp, int tapCount)
    : view_(std::move(view)),
      location_(windowLocation),
      previous_(windowLocation),
      timestamp_(timestamp),
      tapCount_(tapCount) {}

Window* Touch::window() const { return view_ ? view_->window() : nullptr; }

Point Touch::locationInView(const View* view) const {
    if (!view) return location_;
    return view->convertPointFromView(location_, nullptr);
}

Point Touch::previousLocationInView(const View* view) const {
    if (!view) return previous_;
    return view->convertPointFromView(previous_, nullptr);
}

void Touch::update(TouchPhase phase, Point windowLocation, double timestamp) {
    previous_ = location_;
    location_ = windowLocation;
    phase_ = phase;
    timestamp_ = timestamp;
}

// ---------------------------------------------------------------- responder

namespace {
Responder* g_firstResponder = nullptr;
// A responder a case kept alive does not keep the focus in the next one.
[[maybe_unused]] const bool g_firstResponderRegistered =
    (foundation::registerResetter("ui.firstResponder", foundation::ResetPhase::SharedObject,
                                  [] { g_firstResponder = nullptr; }),
     true);
}  // namespace

Responder::~Responder() {
    if (g_firstResponder == this) g_firstResponder = nullptr;
}

void Responder::touchesBegan(const TouchSet& t, const Event& e) {
    if (auto* n = nextResponder()) n->touchesBegan(t, e);
}
void Responder::touchesMoved(const TouchSet& t, const Event& e) {
    if (auto* n = nextResponder()) n->touchesMoved(t, e);
}
void Responder::touchesEnded(const TouchSet& t, const Event& e) {
    if (auto* n = nextResponder()) n->touchesEnded(t, e);
}
void Responder::touchesCancelled(const TouchSet& t, const Event& e) {
    if (auto* n = nextResponder()) n->touchesCancelled(t, e);
}

bool Responder::becomeFirstResponder() {
    if (g_firstResponder == this) return true;
    if (!canBecomeFirstResponder()) return false;
    if (g_firstResponder && !g_firstResponder->resignFirstResponder()) return false;
    g_firstResponder = this;
    return true;
}

bool Responder::resignFirstResponder() {
    if (g_firstResponder == this) g_firstResponder = nullptr;
    return true;
}

bool Responder::isFirstResponder() const { return g_firstResponder == this; }
Responder* Responder::firstResponder() { return g_firstResponder; }

// ---------------------------------------------------------------- display pass

namespace {
bool g_passScheduled = false;
int g_passCount = 0;
std::function<void()> g_passObserver;
std::vector<std::weak_ptr<View>>& layoutQueue() {
    static std::vector<std::weak_ptr<View>> q;
    return q;
}
// The display pass's observer (a shell's window) and the views a case left
// waiting for layout do not reach the next case.
[[maybe_unused]] const bool g_passRegistered =
    (foundation::registerResetter("ui.displayPass", foundation::ResetPhase::SharedObject,
                                  [] {
                                      g_passObserver = nullptr;
                                      layoutQueue().clear();
                                  }),
     true);
int depthOf(const View* v) {
    int d = 0;
    for (; v; v = v->superview()) ++d;
    return d;
}
void layoutDirtyViews() {
    auto pending = std::move(layoutQueue());
    layoutQueue().clear();
    std::vector<std::shared_ptr<View>> views;
    for (auto& w : pending)
        if (auto v = w.lock()) views.push_back(v);
    std::stable_sort(views.begin(), views.end(),
                     [](const auto& a, const auto& b) { return depthOf(a.get()) < depthOf(b.get()); });
    for (auto& v : views) v->layoutIfNeeded();
}
}  // namespace

bool isLayoutPending() {
    for (auto& w : layoutQueue())
        if (auto v = w.lock(); v && v->needsLayout() && v->window()) return true;
    return false;
}

void scheduleDisplayPass() {
    if (g_passScheduled) return;
    g_passScheduled = true;
    foundation::postToMain([] { runDisplayPass(); });
}

void runDisplayPass() {
    g_passScheduled = false;
    // Layout can ask for more layout (a parent sizing a child); a few rounds settle it.
    for (int round = 0; round < 4 && !layoutQueue().empty(); ++round) layoutDirtyViews();
    Layer::displayDirtyLayers();
    ++g_passCount;
    if (g_passObserver) g_passObserver();
}

int displayPassCount() { return g_passCount; }
void setDisplayPassObserver(std::function<void()> observer) { g_passObserver = std::move(observer); }

// ---------------------------------------------------------------- view

View::View(const Rect& frame) : layer_(Layer::create()) {
    QUENTA_ASSERT_MAIN_THREAD();
    layer_->setContentsScale(Screen::main().scale());
    layer_->setFrame(frame.standardized());
    layer_->setDelegate(this);
    layer_->setNeedsDisplay();
    scheduleDisplayPass();
}

View::~View() {
    for (auto& s : subviews_) {
        s->superview_ = nullptr;
    }
    layer_->setDelegate(nullptr);
}

void View::setContentScaleFactor(double s) {
    layer_->setContentsScale(s);
    setNeedsDisplay();
}

Rect View::frame() const { return layer_->frame(); }

void View::setFrame(const Rect& frame) {
    QUENTA_ASSERT_MAIN_THREAD();
    Rect f = frame.standardized();
    Size old = bounds().size;
    if (layer_->transform().isIdentity()) {
        layer_->setFrame(f);
    } else {
        // A transformed view keeps its transform: the frame gives the centre
        // and the untransformed size.
        layer_->setBounds({layer_->bounds().origin, f.size});
        layer_->setPosition({f.midX(), f.midY()});
    }
    boundsSizeChanged(old);
}

void View::setBounds(const Rect& b) {
    QUENTA_ASSERT_MAIN_THREAD();
    Size old = bounds().size;
    layer_->setBounds(b.standardized());
    boundsSizeChanged(old);
}

void View::boundsSizeChanged(Size old) {
    Size now = bounds().size;
    if (old == now) return;
    if (autoresizesSubviews_) resizeSubviews(old);
    setNeedsLayout();
    if (contentMode_ == ContentMode::Redraw) setNeedsDisplay();
}

void View::resizeSubviews(Size oldSize) {
    Size newSize = bounds().size;
    for (auto& s : subviews_) s->autoresize(oldSize, newSize);
}

void View::autoresize(Size oldSuper, Size newSuper) {
    unsigned m = autoresizingMask_;
    if (m == kAutoresizingNone) return;
    Rect f = frame();
    // Each flexible part takes a share of the change in proportion to its
    // current length; when all flexible parts are zero, equal shares.
    auto distribute = [](double delta, double superLen, double& origin, double& length, bool flexLead, bool flexLen,
                         bool flexTrail) {
        if (!(flexLead || flexLen || flexTrail) || delta == 0) return;
        double lead = origin, trail = superLen - origin - length;
        double total = (flexLead ? lead : 0) + (flexLen ? length : 0) + (flexTrail ? trail : 0);
        int count = int(flexLead) + int(flexLen) + int(flexTrail);
        double dLead = 0, dLen = 0;
        if (total != 0) {
            if (flexLead) dLead = delta * lead / total;
            if (flexLen) dLen = delta * length / total;
        } else {
            if (flexLead) dLead = delta / count;
            if (flexLen) dLen = delta / count;
        }
        origin += dLead;
        length += dLen;
    };
    double x = f.x(), w = f.width(), y = f.y(), h = f.height();
    distribute(newSuper.width - oldSuper.width, oldSuper.width, x, w, m & kAutoresizingFlexibleLeftMargin,
               m & kAutoresizingFlexibleWidth, m & kAutoresizingFlexibleRightMargin);
    distribute(newSuper.height - oldSuper.height, oldSuper.height, y, h, m & kAutoresizingFlexibleTopMargin,
               m & kAutoresizingFlexibleHeight, m & kAutoresizingFlexibleBottomMargin);
    setFrame({x, y, std::max(0.0, w), std::max(0.0, h)});
}

View* View::viewWithTag(int tag) {
    if (tag_ == tag) return this;
    for (auto& s : subviews_)
        if (View* v = s->viewWithTag(tag)) return v;
    return nullptr;
}

Window* View::window() const { return superview_ ? superview_->window() : nullptr; }

void View::setSuperview(View* parent) { superview_ = parent; }

void View::notifyWindowChange(Window* oldWindow, Window* newWindow) {
    if (oldWindow == newWindow) return;
    // Holding a first-responder view that leaves its window gives up the focus.
    if (!newWindow && isFirstResponder()) resignFirstResponder();
    willMoveToWindow(newWindow);
    for (auto& s : subviews_) s->notifyWindowChange(oldWindow, newWindow);
}

void View::addSubview(const std::shared_ptr<View>& view) { insertSubview(view, subviews_.size()); }

void View::insertSubview(const std::shared_ptr<View>& view, size_t index) {
    QUENTA_ASSERT_MAIN_THREAD();
    if (!view || view.get() == this || isDescendantOfView(view.get())) return;
    auto keep = view;
    if (view->superview_ == this) {
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        size_t old = size_t(it - subviews_.begin());
        subviews_.erase(it);
        if (index > old) --index;
        index = std::min(index, subviews_.size());
        subviews_.insert(subviews_.begin() + long(index), keep);
        placeSublayer(index);
        setNeedsLayout();
        return;
    }
    Window* oldWindow = keep->window();
    Window* newWindow = window();
    keep->willMoveToSuperview(this);
    keep->notifyWindowChange(oldWindow, newWindow);
    if (keep->superview_) keep->removeFromSuperview();
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + long(index), keep);
    keep->superview_ = this;
    placeSublayer(index);
    keep->didMoveToSuperview();
    if (oldWindow != newWindow) {
        std::function<void(View*)> didMove = [&](View* v) {
            v->didMoveToWindow();
            for (auto& s : v->subviews_) didMove(s.get());
        };
        didMove(keep.get());
    }
    didAddSubview(keep.get());
    keep->setNeedsLayout();
    setNeedsLayout();
}

void View::placeSublayer(size_t index) {
    // The last subview's layer goes on top of every sublayer; any other goes
    // just below the layer of the subview that now follows it.
    const auto& layer = subviews_[index]->layer_;
    if (index + 1 >= subviews_.size())
        layer_->insertSublayer(layer, layer_->sublayers().size());
    else
        layer_->insertSublayerBelow(layer, subviews_[index + 1]->layer_.get());
}

void View::insertSubviewAbove(const std::shared_ptr<View>& view, const View* sibling) {
    for (size_t i = 0; i < subviews_.size(); ++i)
        if (subviews_[i].get() == sibling) {
            insertSubview(view, i + 1);
            return;
        }
    addSubview(view);
}

void View::insertSubviewBelow(const std::shared_ptr<View>& view, const View* sibling) {
    for (size_t i = 0; i < subviews_.size(); ++i)
        if (subviews_[i].get() == sibling) {
            insertSubview(view, i);
            return;
        }
    insertSubview(view, 0);
}

void View::removeFromSuperview() {
    QUENTA_ASSERT_MAIN_THREAD();
    View* parent = superview_;
    if (!parent) return;
    auto keep = shared_from_this();
    Window* oldWindow = window();
    parent->willRemoveSubview(this);
    willMoveToSuperview(nullptr);
    notifyWindowChange(oldWindow, nullptr);
    auto& subs = parent->subviews_;
    subs.erase(std::remove(subs.begin(), subs.end(), keep), subs.end());
    superview_ = nullptr;
    layer_->removeFromSuperlayer();
    didMoveToSuperview();
    if (oldWindow) {
        std::function<void(View*)> didMove = [&](View* v) {
            v->didMoveToWindow();
            for (auto& s : v->subviews_) didMove(s.get());
        };
        didMove(this);
    }
    parent->setNeedsLayout();
}

void View::bringSubviewToFront(const View* view) {
    for (auto& s : subviews_)
        if (s.get() == view) {
            insertSubview(s, subviews_.size());
            return;
        }
}

void View::sendSubviewToBack(const View* view) {
    for (auto& s : subviews_)
        if (s.get() == view) {
            insertSubview(s, 0);
            return;
        }
}

bool View::isDescendantOfView(const View* view) const {
    for (const View* v = this; v; v = v->superview_)
        if (v == view) return true;
    return false;
}

void View::setNeedsLayout() {
    if (needsLayout_ || weak_from_this().expired()) return;
    needsLayout_ = true;
    layoutQueue().push_back(weak_from_this());
    scheduleDisplayPass();
}

void View::layoutIfNeeded() {
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    auto subs = subviews_;
    for (auto& s : subs) s->layoutIfNeeded();
}

void View::sizeToFit() {
    Size s = sizeThatFits(bounds().size);
    Rect f = frame();
    setFrame({f.origin, s});
}

void View::setNeedsDisplay() {
    layer_->setNeedsDisplay();
    scheduleDisplayPass();
}

void View::drawRect(const Rect&) { markDefaultDrawing(); }

void View::drawLayer(Layer&, GraphicsContext&) { drawRect(bounds()); }

Point View::convertPointToView(Point p, const View* view) const {
    return layer_->convertPoint(p, view ? view->layer_.get() : nullptr);
}

Point View::convertPointFromView(Point p, const View* view) const {
    if (!view) return layer_->transformToRoot().affine().inverted().apply(p);
    return view->layer_->convertPoint(p, layer_.get());
}

Rect View::convertRectToView(const Rect& r, const View* view) const {
    AffineTransform t = layer_->transformToRoot().affine();
    if (view) t = t.concat(view->layer_->transformToRoot().affine().inverted());
    return t.apply(r);
}

Rect View::convertRectFromView(const Rect& r, const View* view) const {
    if (!view) return layer_->transformToRoot().affine().inverted().apply(r);
    return view->convertRectToView(r, this);
}

bool View::pointInside(Point p, const Event*) const { return bounds().containsPoint(p); }

namespace {
// View animations carry whether they let touches through.
class ViewPropertyAnimation : public BasicAnimation {
public:
    using BasicAnimation::BasicAnimation;
    std::shared_ptr<Animation> clone() const override { return std::make_shared<ViewPropertyAnimation>(*this); }
    bool allowsUserInteraction = false;
};

bool blockedByAnimation(const Layer& layer) {
    double t = now();
    for (auto& key : layer.animationKeys()) {
        auto a = std::dynamic_pointer_cast<ViewPropertyAnimation>(layer.animationForKey(key));
        if (a && !a->allowsUserInteraction && t < a->beginTime + a->effectiveDuration()) return true;
    }
    return false;
}
}  // namespace

View* View::hitTest(Point p, const Event* event) {
    if (isHidden() || !userInteraction_ || alpha() < 0.01 || blockedByAnimation(*layer_)) return nullptr;
    if (!pointInside(p, event)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        View* sub = it->get();
        Point local = sub->convertPointFromView(p, this);
        if (View* hit = sub->hitTest(local, event)) return hit;
    }
    return this;
}

Responder* View::nextResponder() const {
    if (controller_) return controller_;
    return superview_;
}

ImageRef View::snapshot(double scale) const {
    if (scale <= 0) scale = Screen::main().scale();
    return renderLayerToImage(*layer_, scale);
}

std::string View::describeTree() const {
    std::ostringstream out;
    std::function<void(const View*, int)> walk = [&](const View* v, int depth) {
        out << std::string(size_t(depth) * 2, ' ') << v->className() << " " << v->frame().description();
        if (v->tag_) out << " tag=" << v->tag_;
        if (v->isHidden()) out << " hidden";
        if (!v->accessibilityLabel_.empty()) out << " label=\"" << v->accessibilityLabel_ << "\"";
        std::string text = v->displayedText();
        if (!text.empty()) out << " text=\"" << text << "\"";
        out << "\n";
        for (auto& s : v->subviews_) walk(s.get(), depth + 1);
    };
    walk(this, 0);
    return out.str();
}

// ---------------------------------------------------------------- view animations

TimingFunction timingFunctionForCurve(AnimationCurve c) {
    switch (c) {
        case AnimationCurve::EaseIn:
            return TimingFunction::easeIn();
        case AnimationCurve::EaseOut:
            return TimingFunction::easeOut();
        case AnimationCurve::Linear:
            return TimingFunction::linear();
        default:
            return TimingFunction::easeInEaseOut();
    }
}

namespace {
struct CompletionGroup {
    int pending = 0;
    bool finished = true;
    bool committed = false;
    std::function<void(bool)> done;

    void partDone(bool f) {
        --pending;
        finished = finished && f;
        if (committed && pending == 0 && done) {
            auto d = std::move(done);
            done = nullptr;
            d(finished);
        }
    }
};

struct AnimationBlock {
    double duration = 0.2;
    double delay = 0;
    AnimationCurve curve = AnimationCurve::EaseInOut;
    bool fromCurrent = false;
    bool allowInteraction = false;
    bool layoutSubviews = false;
    bool ambient = false;
    std::string id;
    void* context = nullptr;
    std::function<void(const std::string&, bool, void*)> didStop;
    std::function<void(bool)> completion;
    std::shared_ptr<CompletionGroup> group = std::make_shared<CompletionGroup>();
};

std::vector<AnimationBlock>& blocks() {
    static std::vector<AnimationBlock> b;
    // An animation block a case left open is dropped, its completion uncalled.
    static const bool registered =
        (foundation::registerResetter("ui.animationBlocks", foundation::ResetPhase::SharedObject, [] { b.clear(); }),
         true);
    (void)registered;
    return b;
}

void commitTop() {
    if (blocks().empty()) return;
    AnimationBlock b = std::move(blocks().back());
    blocks().pop_back();
    std::function<void(bool)> done;
    if (b.completion) {
        done = b.completion;
    } else if (b.didStop) {
        auto fn = b.didStop;
        auto id = b.id;
        void* ctx = b.context;
        done = [fn, id, ctx](bool f) { fn(id, f, ctx); };
    }
    auto group = b.group;
    group->committed = true;
    group->done = std::move(done);
    if (group->pending == 0 && group->done) {
        // Nothing animates (no change, or no duration): report on the next turn.
        auto d = std::move(group->done);
        group->done = nullptr;
        foundation::postToMain([d] { d(true); });
    }
}
}  // namespace

void View::beginAnimations(const std::string& id, void* context) {
    AnimationBlock b;
    b.id = id;
    b.context = context;
    blocks().push_back(std::move(b));
}

void View::setAnimationDuration(double s) {
    if (!blocks().empty()) blocks().back().duration = s;
}
void View::setAnimationDelay(double s) {
    if (!blocks().empty()) blocks().back().delay = s;
}
void View::setAnimationCurve(AnimationCurve c) {
    if (!blocks().empty()) blocks().back().curve = c;
}
void View::setAnimationBeginsFromCurrentState(bool f) {
    if (!blocks().empty()) blocks().back().fromCurrent = f;
}
void View::setAnimationDidStop(std::function<void(const std::string&, bool, void*)> fn) {
    if (!blocks().empty()) blocks().back().didStop = std::move(fn);
}
void View::commitAnimations() { commitTop(); }
bool View::isInAnimationBlock() { return !blocks().empty(); }

void View::animate(double duration, const std::function<void()>& animations, std::function<void(bool)> completion) {
    animate(duration, 0, 0, animations, std::move(completion));
}

void View::animate(double duration, double delay, unsigned options, const std::function<void()>& animations,
                   std::function<void(bool)> completion) {
    AnimationBlock b;
    b.duration = duration;
    b.delay = delay;
    b.curve = AnimationCurve((options >> 16) & 3);
    b.fromCurrent = options & kAnimationOptionBeginFromCurrentState;
    b.allowInteraction = options & kAnimationOptionAllowUserInteraction;
    b.layoutSubviews = options & kAnimationOptionLayoutSubviews;
    b.ambient = options & kAnimationOptionAmbient;
    b.completion = std::move(completion);
    blocks().push_back(std::move(b));
    if (animations) animations();
    if (blocks().back().layoutSubviews) {
        for (int round = 0; round < 4 && !layoutQueue().empty(); ++round) layoutDirtyViews();
    }
    commitTop();
}

std::shared_ptr<Animation> View::actionForLayer(Layer& layer, const std::string& key, const AnimatableValue& oldModel) {
    if (blocks().empty()) return nullptr;
    AnimationBlock& b = blocks().back();
    if (b.duration <= 0) return nullptr;
    auto anim = std::make_shared<ViewPropertyAnimation>(key);
    anim->allowsUserInteraction = b.allowInteraction;
    anim->ambient = b.ambient;
    if (b.fromCurrent)
        anim->fromValue = valueForKeyPath(layer.presentationState(), key);
    else
        anim->fromValue = oldModel;
    anim->duration = b.duration;
    anim->beginTime = now() + b.delay;
    anim->fillMode = FillMode::Backwards;
    anim->timingFunction = timingFunctionForCurve(b.curve);
    auto group = b.group;
    ++group->pending;
    anim->didStop = [group](bool finished) { group->partDone(finished); };
    scheduleDisplayPass();
    return anim;
}

}  // namespace ui
