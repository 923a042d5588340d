#include "platform/ui/Layer.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Render.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"

namespace ui {

namespace {
std::atomic<bool> treeChanged{true};
std::atomic<int> runningAnimations{0};
// The running animations that are not ambient.
std::atomic<int> movingAnimations{0};
thread_local bool defaultDrawingRan = false;
std::vector<std::weak_ptr<Layer>>& dirtyLayers() {
    static std::vector<std::weak_ptr<Layer>> v;
    // Layers a case left waiting for display are not drawn by the next case.
    static const bool registered =
        (foundation::registerResetter("ui.dirtyLayers", foundation::ResetPhase::SharedObject, [] { v.clear(); }), true);
    (void)registered;
    return v;
}
double now() { return foundation::clock().monotonic(); }
}  // namespace

int activeAnimationCount() { return runningAnimations.load(); }
int movingAnimationCount() { return movingAnimations.load(); }

namespace {
void countStart(const Animation& a) {
    ++runningAnimations;
    if (!a.ambient) ++movingAnimations;
}
void countEnd(const Animation& a) {
    --runningAnimations;
    if (!a.ambient) --movingAnimations;
}
}  // namespace
bool takeLayerTreeChanged() { return treeChanged.exchange(false); }
void markDefaultDrawing() { defaultDrawingRan = true; }

Rect LayerState::frame() const {
    Rect local{-anchorPoint.x * bounds.width(), -anchorPoint.y * bounds.height(), bounds.width(), bounds.height()};
    Rect r = transform.affine().apply(local);
    return r.offsetBy(position.x, position.y);
}

Transform3D LayerState::toSuperlayer() const {
    // bounds space -> anchor-relative -> transform -> position
    Transform3D t = Transform3D::makeTranslation(-bounds.x() - anchorPoint.x * bounds.width(),
                                                 -bounds.y() - anchorPoint.y * bounds.height(), 0);
    return t.concat(transform).concat(Transform3D::makeTranslation(position.x, position.y, 0));
}

Layer::Layer() { contentsScale_ = 1; }

static void stopLater(const std::shared_ptr<Animation>& anim);

Layer::~Layer() {
    // Animations of a layer that goes away end unfinished, so whoever waits
    // for their end (a completion handler) still hears of it.
    for (auto& a : animations_)
        if (!a.ended) {
            countEnd(*a.animation);
            stopLater(a.animation);
        }
    for (auto& s : sublayers_) s->superlayer_ = nullptr;
    if (mask_) mask_->superlayer_ = nullptr;
}

void Layer::changed() { treeChanged = true; }

void Layer::propertyWillChange(const std::string& key, const AnimatableValue& oldModel) {
    std::shared_ptr<Animation> action;
    if (delegate_) {
        action = delegate_->actionForLayer(*this, key, oldModel);
    } else if (superlayer_ && !Transaction::disableActions()) {
        auto basic = BasicAnimation::create(key);
        basic->fromValue = valueForKeyPath(presentationState(), key);
        basic->duration = Transaction::animationDuration();
        basic->timingFunction = Transaction::animationTimingFunction();
        if (basic->duration > 0) action = basic;
    }
    if (action) addAnimation(action, key);
}

#define UI_LAYER_SETTER(member, key, value)     \
    do {                                        \
        if (model_.member == (value)) return;   \
        propertyWillChange(key, model_.member); \
        model_.member = (value);                \
        changed();                              \
    } while (0)

void Layer::setBounds(const Rect& r) {
    bool resized = r.size != model_.bounds.size;
    UI_LAYER_SETTER(bounds, "bounds", r);
    if (resized && drawsDirectly()) setNeedsDisplay();
}
void Layer::setPosition(Point p) { UI_LAYER_SETTER(position, "position", p); }
void Layer::setAnchorPoint(Point p) { UI_LAYER_SETTER(anchorPoint, "anchorPoint", p); }
void Layer::setTransform(const Transform3D& t) { UI_LAYER_SETTER(transform, "transform", t); }
void Layer::setOpacity(double o) { UI_LAYER_SETTER(opacity, "opacity", o); }
void Layer::setBackgroundColor(const Color& c) { UI_LAYER_SETTER(backgroundColor, "backgroundColor", c); }
void Layer::setCornerRadius(double r) { UI_LAYER_SETTER(cornerRadius, "cornerRadius", r); }
void Layer::setBorderWidth(double w) { UI_LAYER_SETTER(borderWidth, "borderWidth", w); }
void Layer::setBorderColor(const Color& c) { UI_LAYER_SETTER(borderColor, "borderColor", c); }
void Layer::setShadowColor(const Color& c) { UI_LAYER_SETTER(shadowColor, "shadowColor", c); }
void Layer::setShadowOpacity(double o) { UI_LAYER_SETTER(shadowOpacity, "shadowOpacity", o); }
void Layer::setShadowOffset(Size s) { UI_LAYER_SETTER(shadowOffset, "shadowOffset", s); }
void Layer::setShadowRadius(double r) { UI_LAYER_SETTER(shadowRadius, "shadowRadius", r); }

#undef UI_LAYER_SETTER

void Layer::setHidden(bool h) {
    if (hidden_ == h) return;
    hidden_ = h;
    changed();
}

void Layer::setFrame(const Rect& r0) {
    Rect r = r0.standardized();
    // The frame sets the size of the bounds and the position; with a
    // transform the size is taken as given (the frame of a transformed
    // layer is its bounding box, which cannot be set exactly).
    setBounds({model_.bounds.origin, r.size});
    setPosition({r.x() + model_.anchorPoint.x * r.width(), r.y() + model_.anchorPoint.y * r.height()});
}

void Layer::setMask(std::shared_ptr<Layer> mask) {
    if (mask_) mask_->superlayer_ = nullptr;
    mask_ = std::move(mask);
    if (mask_) {
        mask_->removeFromSuperlayer();
        mask_->superlayer_ = this;
    }
    changed();
}

void Layer::addSublayer(const std::shared_ptr<Layer>& layer) { insertSublayer(layer, sublayers_.size()); }

void Layer::insertSublayer(const std::shared_ptr<Layer>& layer, size_t index) {
    if (!layer || layer.get() == this) return;
    auto keep = layer;
    if (layer->superlayer_ == this) {
        auto it = std::find(sublayers_.begin(), sublayers_.end(), layer);
        size_t old = size_t(it - sublayers_.begin());
        sublayers_.erase(it);
        if (index > old) --index;
    } else {
        layer->removeFromSuperlayer();
    }
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + long(index), keep);
    keep->superlayer_ = this;
    changed();
}

// Puts the layer at the index, counted among the sublayers as they stand
// before it moves: one of this layer's own sublayers moves within it.
void Layer::placeSublayerAt(const std::shared_ptr<Layer>& layer, size_t idx) {
    if (layer->superlayer_ == this) {
        auto it = std::find(sublayers_.begin(), sublayers_.end(), layer);
        if (size_t(it - sublayers_.begin()) < idx) --idx;
        auto keep = layer;
        sublayers_.erase(it);
        sublayers_.insert(sublayers_.begin() + long(std::min(idx, sublayers_.size())), keep);
        changed();
        return;
    }
    insertSublayer(layer, idx);
}

void Layer::insertSublayerAbove(const std::shared_ptr<Layer>& layer, const Layer* sibling) {
    for (size_t i = 0; i < sublayers_.size(); ++i)
        if (sublayers_[i].get() == sibling) {
            placeSublayerAt(layer, i + 1);
            return;
        }
    addSublayer(layer);
}

void Layer::insertSublayerBelow(const std::shared_ptr<Layer>& layer, const Layer* sibling) {
    for (size_t i = 0; i < sublayers_.size(); ++i)
        if (sublayers_[i].get() == sibling) {
            placeSublayerAt(layer, i);
            return;
        }
    insertSublayer(layer, 0);
}

void Layer::removeFromSuperlayer() {
    Layer* parent = superlayer_;
    if (!parent) return;
    if (parent->mask_.get() == this) {
        auto keep = parent->mask_;
        parent->mask_.reset();
        superlayer_ = nullptr;
        parent->changed();
        return;
    }
    auto& subs = parent->sublayers_;
    auto it = std::find_if(subs.begin(), subs.end(), [this](const auto& l) { return l.get() == this; });
    if (it != subs.end()) {
        auto keep = *it;  // keeps this alive until we return
        subs.erase(it);
        superlayer_ = nullptr;
        parent->changed();
        return;
    }
    superlayer_ = nullptr;
}

void Layer::setNeedsDisplay() {
    needsDisplay_ = true;
    drawsContent_ = true;
    changed();
    auto self = weak_from_this();
    if (!self.expired()) dirtyLayers().push_back(self);
    scheduleDisplayPass();
}

bool Layer::displayIfNeeded() {
    if (!needsDisplay_) return false;
    display();
    return true;
}

void Layer::display() {
    needsDisplay_ = false;
    if (drawsDirectly()) {
        ++displayCount_;
        return;
    }
    if (delegate_) delegate_->layerWillDisplay(*this);
    Rect b = model_.bounds;
    double scale = contentsScale_;
    int w = int(std::ceil(b.width() * scale)), h = int(std::ceil(b.height() * scale));
    ++displayCount_;
    if (w <= 0 || h <= 0) {
        backing_.reset();
        return;
    }
    auto ctx = GraphicsContext::createBitmap(w, h);
    if (!ctx) return;
    cairo_scale(ctx->cairo(), scale, scale);
    cairo_translate(ctx->cairo(), -b.x(), -b.y());
    GraphicsContext drawing(ctx->cairo(), scale);
    bool saved = defaultDrawingRan;
    defaultDrawingRan = false;
    pushContext(&drawing);
    if (delegate_)
        delegate_->drawLayer(*this, drawing);
    else
        drawInContext(drawing);
    popContext();
    bool nothing = defaultDrawingRan;
    defaultDrawingRan = saved;
    if (nothing) {
        drawsContent_ = false;
        backing_.reset();
        return;
    }
    backing_ = ctx->makeImage(scale);
    changed();
}

void Layer::drawInContext(GraphicsContext&) { markDefaultDrawing(); }

void Layer::displayDirtyLayers() {
    auto pending = std::move(dirtyLayers());
    dirtyLayers().clear();
    for (auto& w : pending)
        if (auto l = w.lock()) l->displayIfNeeded();
}

// ---------------------------------------------------------------- animations

void Layer::addAnimation(const std::shared_ptr<Animation>& animation, const std::string& key) {
    if (!animation) return;
    auto copy = animation->clone();
    double t = now();
    if (copy->beginTime == 0) copy->beginTime = t;
    if (!key.empty()) removeAnimationForKey(key);
    Attached a{key, copy, nullptr, {}};
    if (std::dynamic_pointer_cast<Transition>(copy)) {
        a.transitionFrom = renderLayerToImage(*this, Screen::main().scale(), t);
        a.transitionBounds = model_.bounds;
    }
    animations_.push_back(a);
    countStart(*copy);
    changed();
    if (copy->didStart) {
        auto cb = copy->didStart;
        foundation::postToMain(cb);
    }
    scheduleEnd(key, copy);
}

void Layer::scheduleEnd(const std::string& key, const std::shared_ptr<Animation>& anim) {
    double end = anim->beginTime + anim->effectiveDuration();
    std::weak_ptr<Layer> weak = weak_from_this();
    std::weak_ptr<Animation> weakAnim = anim;
    auto fire = [weak, weakAnim, key] {
        auto self = weak.lock();
        auto a = weakAnim.lock();
        if (self && a) self->finishAnimation(key, a.get(), true);
    };
    foundation::RunLoop::main().performAfter(std::max(0.0, end - now()), fire);
}

void Layer::finishAnimation(const std::string&, const Animation* which, bool finished) {
    auto it = std::find_if(animations_.begin(), animations_.end(),
                           [which](const Attached& a) { return a.animation.get() == which; });
    if (it == animations_.end() || it->ended) return;
    it->ended = true;
    countEnd(*it->animation);
    auto anim = it->animation;
    if (anim->removedOnCompletion || !finished) animations_.erase(it);
    changed();
    if (anim->didStop) anim->didStop(finished);
}

static void stopLater(const std::shared_ptr<Animation>& anim) {
    if (!anim->didStop) return;
    auto cb = anim->didStop;
    foundation::postToMain([cb] { cb(false); });
}

std::shared_ptr<Animation> Layer::animationForKey(const std::string& key) const {
    for (auto& a : animations_)
        if (a.key == key && !key.empty()) return a.animation;
    return nullptr;
}

void Layer::removeAnimationForKey(const std::string& key) {
    auto it = std::find_if(animations_.begin(), animations_.end(), [&](const Attached& a) { return a.key == key; });
    if (it == animations_.end()) return;
    Attached gone = *it;
    animations_.erase(it);
    changed();
    if (!gone.ended) {
        countEnd(*gone.animation);
        stopLater(gone.animation);
    }
}

void Layer::removeAllAnimations() {
    auto all = std::move(animations_);
    animations_.clear();
    changed();
    for (auto& a : all)
        if (!a.ended) {
            countEnd(*a.animation);
            stopLater(a.animation);
        }
}

std::vector<std::string> Layer::animationKeys() const {
    std::vector<std::string> keys;
    for (auto& a : animations_)
        if (!a.key.empty()) keys.push_back(a.key);
    return keys;
}

LayerState Layer::presentationState() const { return presentationState(now()); }

LayerState Layer::presentationState(double t) const {
    LayerState s = model_;
    for (auto& a : animations_) a.animation->applyAt(s, model_, t);
    return s;
}

std::optional<Layer::TransitionFrame> Layer::transitionAt(double t) const {
    std::optional<TransitionFrame> found;
    for (auto& a : animations_) {
        if (!a.transitionFrom) continue;
        double d = a.animation->effectiveDuration();
        double local = t - a.animation->beginTime;
        if (local < 0) {
            found = TransitionFrame{a.transitionFrom, a.transitionBounds, 0};
        } else if (local < d) {
            found =
                TransitionFrame{a.transitionFrom, a.transitionBounds, a.animation->timingFunction.evaluate(local / d)};
        }
    }
    return found;
}

Transform3D Layer::transformToRoot() const {
    Transform3D t;
    for (const Layer* l = this; l && l->superlayer_; l = l->superlayer_) t = t.concat(l->model_.toSuperlayer());
    return t;
}

Point Layer::convertPoint(Point p, const Layer* to) const {
    Point root = transformToRoot().affine().apply(p);
    if (!to) return root;
    return to->transformToRoot().affine().inverted().apply(root);
}

void Layer::renderInContext(GraphicsContext& ctx) { renderLayerBody(ctx.cairo(), *this, now(), ctx.baseScale()); }

// ---------------------------------------------------------------- gradient layer

void GradientLayer::drawInContext(GraphicsContext& ctx) {
    if (colors_.empty()) return;
    Rect b = bounds();
    Gradient g = Gradient::withColors(colors_, locations_);
    ctx.saveGState();
    ctx.clipToRect(b);
    ctx.drawLinearGradient(g, {b.x() + start_.x * b.width(), b.y() + start_.y * b.height()},
                           {b.x() + end_.x * b.width(), b.y() + end_.y * b.height()},
                           kGradientDrawsBeforeStartLocation | kGradientDrawsAfterEndLocation);
    ctx.restoreGState();
}

}  // namespace ui
