#include "lib/reader/ScanReaderView.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"
#include "platform/ui/DeviceOrientation.h"

namespace {

std::string describe(ui::Size s) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%g, %g}", s.width, s.height);
    return buf;
}

std::string describe(const ui::Rect& r) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "{{%g, %g}, {%g, %g}}", r.origin.x, r.origin.y, r.size.width, r.size.height);
    return buf;
}

// The preview's turn for an interface orientation, about the z axis.
double rotationFor(int orientation) {
    switch (orientation) {
        case kScanOrientationPortrait:
            return 2 * M_PI;
        case kScanOrientationPortraitUpsideDown:
            return M_PI;
        case kScanOrientationLandscapeRight:
            return 3 * M_PI / 2;
        case kScanOrientationLandscapeLeft:
            return M_PI / 2;
        default:
            return 0;
    }
}

bool isNullRect(const ui::Rect& r) { return !(r.size.width > 0 && r.size.height > 0); }

}  // namespace

ScanReaderView::ScanReaderView() : ui::View(ui::Rect{0, 0, 320, 426}) {}

ScanReaderView::~ScanReaderView() {
    if (preview_) preview_->removeFromSuperlayer();
    if (pinch_) ui::removeGestureRecognizer(*this, pinch_.get());
}

void ScanReaderView::initWithImageScanner(const std::shared_ptr<ScanImageScanner>& scanner) {
    (void)scanner;
    setBackgroundColor(ui::Color::blackColor());
    setContentMode(ui::ContentMode::ScaleAspectFill);
    setClipsToBounds(true);
    setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    tracksSymbols_ = true;
    interfaceOrientation_ = kScanOrientationPortrait;
    torchMode_ = media::CaptureTorchMode::Auto;
    scanCrop_ = effectiveCrop_ = ui::Rect{0, 0, 1, 1};
    imageScale_ = 1;
    previewTransform_ = ui::AffineTransform::identity();
    maxZoom_ = 2;
    pinch_ = std::make_shared<ui::PinchGestureRecognizer>(
        [this](ui::GestureRecognizer& g) { handlePinch(static_cast<ui::PinchGestureRecognizer&>(g)); });
    ui::addGestureRecognizer(*this, pinch_);
}

void ScanReaderView::initSubviews() {
    overlay_ = ui::Layer::create();
    overlay_->setBackgroundColor(ui::Color::clearColor());
    preview_->addSublayer(overlay_);
    overlay_->setBorderColor(ui::Color::rgba(1, 0, 0, 0.5));
    overlay_->setBorderWidth(2);

    cropLayer_ = ui::Layer::create();
    cropLayer_->setBackgroundColor(ui::Color::clearColor());
    cropLayer_->setBorderColor(ui::Color::rgba(0, 0, 1, 0.5));
    cropLayer_->setBorderWidth(2);
    overlay_->addSublayer(cropLayer_);

    tracking_ = ui::Layer::create();
    tracking_->setOpacity(0);
    tracking_->setBorderWidth(1);
    tracking_->setBackgroundColor(ui::Color::clearColor());
    overlay_->addSublayer(tracking_);
    trackingColor_ = ui::Color::greenColor();
    tracking_->setBorderColor(trackingColor_);

    fpsView_ = ui::View::create();
    fpsView_->setBackgroundColor(ui::Color::rgba(0, 0, 0, 0.333));
    fpsView_->layer().setCornerRadius(12);
    fpsView_->setHidden(true);
    addSubview(fpsView_);
    fpsLabel_ = ui::Label::create({0, 0, 80, 32});
    fpsLabel_->setBackgroundColor(ui::Color::clearColor());
    fpsLabel_->setTextColor(ui::Color::rgba(0.333, 0.666, 1, 1));
    fpsLabel_->setFont(ui::Font::systemFont(18));
    fpsLabel_->setTextAlignment(ui::TextAlignment::Right);
    fpsView_->addSubview(fpsLabel_);

    setZoom(1.25);
}

void ScanReaderView::start() {
    if (started_) return;
    started_ = true;
    resetTracking();
    fpsLabel_->setText("--- fps ");
    ui::Device::current().beginGeneratingDeviceOrientationNotifications();
}

void ScanReaderView::stop() {
    if (!started_) return;
    started_ = false;
    ui::Device::current().endGeneratingDeviceOrientationNotifications();
}

void ScanReaderView::willRotateToInterfaceOrientation(int orientation, double duration) {
    if (orientation == interfaceOrientation_) return;
    char line[96];
    std::snprintf(line, sizeof line, "ScanReaderView: orient=%d #%g", orientation, duration);
    foundation::logLine(line);
    interfaceOrientation_ = orientation;
    animationDuration_ = duration;
}

void ScanReaderView::setImageSize(ui::Size size) {
    foundation::logLine("ScanReaderView: imageSize=" + describe(size));
    imageSize_ = size;
    preview_->setBounds({0, 0, size.width, size.height});
    setNeedsLayout();
}

void ScanReaderView::setScanCrop(const ui::Rect& crop) {
    if (crop == scanCrop_) return;
    scanCrop_ = crop;
    setNeedsLayout();
}

void ScanReaderView::setTracksSymbols(bool tracks) {
    if (tracks == tracksSymbols_) return;
    tracksSymbols_ = tracks;
    resetTracking();
}

void ScanReaderView::setTrackingColor(const std::optional<ui::Color>& color) {
    if (!color) return;
    trackingColor_ = *color;
    if (tracking_) tracking_->setBorderColor(trackingColor_);
}

bool ScanReaderView::allowsPinchZoom() const { return pinch_ && pinch_->isEnabled(); }

void ScanReaderView::setAllowsPinchZoom(bool allows) {
    if (pinch_) pinch_->setEnabled(allows);
}

void ScanReaderView::setShowsFPS(bool shows) {
    if (shows == showsFPS_) return;
    showsFPS_ = shows;
    fpsView_->setHidden(!shows);
}

void ScanReaderView::setZoom(double zoom) {
    if (zoom < 1) zoom = 1;
    if (zoom > maxZoom_) zoom = maxZoom_;
    if (zoom == zoom_) return;
    zoom_ = zoom;
    setNeedsLayout();
}

void ScanReaderView::setZoom(double zoom, bool animated) {
    ui::Transaction::begin();
    if (animated) {
        ui::Transaction::setAnimationDuration(0.1);
        ui::Transaction::setAnimationTimingFunction(ui::TimingFunction::linear());
    } else {
        ui::Transaction::setDisableActions(true);
    }
    setZoom(zoom);
    layoutIfNeeded();
    ui::Transaction::commit();
}

void ScanReaderView::setPreviewTransform(const ui::AffineTransform& transform) {
    previewTransform_ = transform;
    setNeedsLayout();
}

void ScanReaderView::handlePinch(ui::PinchGestureRecognizer& pinch) {
    if (pinch.state() == ui::GestureRecognizerState::Began) zoom0_ = zoom_;
    setZoom(zoom0_ * pinch.scale(), true);
}

void ScanReaderView::layoutSubviews() {
    ui::Size bounds = this->bounds().size;
    const double W = bounds.width, H = bounds.height;
    if (W == 0 || H == 0) return;
    ++layoutPasses_;

    ui::Transaction::begin();
    if (animationDuration_ == 0) {
        ui::Transaction::setDisableActions(true);
    } else {
        ui::Transaction::setAnimationDuration(animationDuration_);
        ui::Transaction::setAnimationTimingFunction(ui::TimingFunction::easeInEaseOut());
    }
    ui::View::layoutSubviews();

    // The badge hangs past the corner; the clipping cuts its outer corners off.
    fpsView_->setFrame({W - 80, H - 32, 92, 44});

    // The view in the image's orientation.
    bool portrait = interfaceOrientation_ == kScanOrientationPortrait ||
                    interfaceOrientation_ == kScanOrientationPortraitUpsideDown;
    ui::Size S = portrait ? ui::Size{H, W} : ui::Size{W, H};
    const ui::Size image = imageSize_;

    double sx = image.width / S.width, sy = image.height / S.height;
    imageScale_ = sx < sy ? sx : sy;
    if (imageScale_ == 0) imageScale_ = 1;
    imageScale_ /= zoom_;

    // Zooming shrinks the requested crop towards the image's centre.
    double z = 1 / zoom_, t = (1 - z) / 2;
    ui::Rect zoomed{scanCrop_.origin.x * z + t, scanCrop_.origin.y * z + t, scanCrop_.size.width * z,
                    scanCrop_.size.height * z};

    // The part of the image on screen, normalised.
    ui::Size visible;
    if (sx < sy && image.height != 0)
        visible = {z, S.height * imageScale_ / image.height};
    else if (image.width == 0)
        visible = {1, 1};
    else
        visible = {S.width * imageScale_ / image.width, z};
    ui::Rect visibleRect{(1 - visible.width) / 2, (1 - visible.height) / 2, visible.width, visible.height};

    effectiveCrop_ = zoomed.intersection(visibleRect);
    if (isNullRect(effectiveCrop_)) effectiveCrop_ = zoomed;

    double u = 1 / imageScale_;
    ui::Size P = image.width != 0 && image.height != 0 ? ui::Size{image.width * u, image.height * u} : S;

    preview_->setBounds({0, 0, P.height, P.width});
    preview_->setPosition({W / 2, H / 2});
    preview_->setTransform(
        ui::Transform3D::makeAffine(previewTransform_).rotate(rotationFor(interfaceOrientation_), 0, 0, 1));

    bool noImage = image.width == 0 || image.height == 0;
    overlay_->setBounds(noImage ? ui::Rect{0, 0, S.width, S.height} : ui::Rect{0, 0, image.width, image.height});
    overlay_->setPosition({P.height / 2, P.width / 2});
    overlay_->setTransform(ui::Transform3D::makeRotation(M_PI / 2, 0, 0, 1).scale(u, u, 1));

    // Border widths in image pixels: 1 and 2 points on screen.
    tracking_->setBorderWidth(imageScale_);
    overlay_->setBorderWidth(2 * imageScale_);
    cropLayer_->setBorderWidth(2 * imageScale_);
    preview_->setBackgroundColor(ui::Color::rgba(1, 1, 0));

    ui::Rect cropFrame{effectiveCrop_.origin.x * image.width, effectiveCrop_.origin.y * image.height,
                       effectiveCrop_.size.width * image.width, effectiveCrop_.size.height * image.height};
    cropLayer_->setFrame(cropFrame);

    char scales[160];
    std::snprintf(scales, sizeof scales, " scale=%g %c %g = 1/%g", sx, sx > sy ? '>' : '<', sy, u);
    char head[64];
    std::snprintf(head, sizeof head, " orient=%d image=", interfaceOrientation_);
    char zoomText[32];
    std::snprintf(zoomText, sizeof zoomText, " zoom=%g", zoom_);
    foundation::logLine("ScanReaderView: layoutSubviews: bounds=" + describe(bounds) + head + describe(image) +
                        " crop=" + describe(scanCrop_) + zoomText + "\n=> preview=" + describe(P) + " crop=(z" +
                        describe(zoomed) + " p" + describe(visibleRect) + " " + describe(effectiveCrop_) + " i" +
                        describe(cropFrame) + ")" + scales);

    resetTracking();
    updateCrop();
    ui::Transaction::commit();
    animationDuration_ = 0;
}

void ScanReaderView::resetTracking() {
    if (!tracking_) return;
    tracking_->removeAllAnimations();
    ui::Transaction::begin();
    ui::Transaction::setDisableActions(true);
    ui::Size size = overlay_->bounds().size;
    tracking_->setFrame({effectiveCrop_.origin.x * size.width, effectiveCrop_.origin.y * size.height,
                         effectiveCrop_.size.width * size.width, effectiveCrop_.size.height * size.height});
    tracking_->setOpacity(0);
    ui::Transaction::commit();
}

void ScanReaderView::didTrackSymbols(const std::shared_ptr<ScanSymbolSet>& symbols) {
    if (!tracksSymbols_ || !symbols) return;
    std::shared_ptr<ScanSymbol> best;
    for (const auto& symbol : *symbols) {
        if (!best)
            best = symbol;
        else if (symbol->type() == 64 /* QR code */ || symbol->quality() > best->quality())
            best = symbol;
    }
    if (tracking_) updateTracking(*tracking_, best.get());
}

void ScanReaderView::updateTracking(ui::Layer& layer, const ScanSymbol* symbol) {
    if (!symbol) return;
    std::optional<ui::Rect> found = symbol->bounds();
    if (!found) return;
    ui::Rect r = *found;
    if (r.size.width <= 32 && r.size.height <= 32) return;
    r = r.insetBy(-24, -24);

    ui::LayerState now = layer.presentationState();
    ui::Point target{r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2};
    ui::Point position{(3 * target.x + now.position.x) / 4, (3 * target.y + now.position.y) / 4};
    ui::Rect bounds = now.bounds;
    bounds.size = {(3 * r.size.width + now.bounds.size.width) / 4, (3 * r.size.height + now.bounds.size.height) / 4};

    auto basic = [](const std::string& key, ui::AnimatableValue from, ui::AnimatableValue to) {
        auto a = ui::BasicAnimation::create(key);
        a->fromValue = from;
        a->toValue = to;
        a->timingFunction = ui::TimingFunction::linear();
        a->duration = 0.2;
        a->fillMode = ui::FillMode::Forwards;
        a->removedOnCompletion = false;
        return a;
    };
    auto fadeOut = basic("opacity", 1.0, 0.0);
    fadeOut->beginTime = 0.5;
    fadeOut->duration = 0.5;
    fadeOut->fillMode = ui::FillMode::Removed;
    fadeOut->removedOnCompletion = true;

    auto group = ui::AnimationGroup::create();
    group->animations = {basic("bounds", now.bounds, bounds), basic("position", now.position, position),
                         basic("opacity", now.opacity, 1.0), fadeOut};
    group->duration = 1.0;
    group->fillMode = ui::FillMode::Forwards;
    group->removedOnCompletion = true;
    layer.addAnimation(group, "tracking");
}
