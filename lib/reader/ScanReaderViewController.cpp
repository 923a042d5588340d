#include "lib/reader/ScanReaderViewController.h"

#include <cstdio>

#include "platform/foundation/Assert.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/Toolbar.h"

namespace {

media::CapturePosition positionFor(int cameraDevice) {
    if (cameraDevice == kScanCameraDeviceRear) return media::CapturePosition::Back;
    if (cameraDevice == kScanCameraDeviceFront) return media::CapturePosition::Front;
    return media::CapturePosition::Unspecified;
}

media::CaptureTorchMode torchFor(int flashMode) {
    if (flashMode == kScanCameraFlashOn) return media::CaptureTorchMode::On;
    if (flashMode == kScanCameraFlashAuto) return media::CaptureTorchMode::Auto;
    return media::CaptureTorchMode::Off;
}

std::optional<std::string> presetFor(int quality) {
    switch (quality) {
        case kScanVideoQualityHigh:
            return media::kCaptureSessionPresetHigh;
        case kScanVideoQualityMedium:
            return media::kCaptureSessionPresetMedium;
        case kScanVideoQualityLow:
            return media::kCaptureSessionPresetLow;
        case kScanVideoQuality640x480:
            return media::kCaptureSessionPreset640x480;
        default:
            return std::nullopt;
    }
}

constexpr double kControlsHeight = 54;

}  // namespace

ScanReaderViewController::ScanReaderViewController() : scanner_(std::make_shared<ScanImageScanner>()) {
    scanner_->setSymbology(0, zbar::ZBAR_CFG_X_DENSITY, 3);
    scanner_->setSymbology(0, zbar::ZBAR_CFG_Y_DENSITY, 3);
    auto device = media::CaptureDevice::defaultDevice();
    if (!device)
        cameraDevice_ = kScanCameraDeviceRear;
    else if (device->position() == media::CapturePosition::Front)
        cameraDevice_ = kScanCameraDeviceFront;
    else if (device->position() == media::CapturePosition::Back)
        cameraDevice_ = kScanCameraDeviceRear;
    else
        cameraDevice_ = -1;
}

ScanReaderViewController::~ScanReaderViewController() {
    if (cameraOverlayView_) cameraOverlayView_->removeFromSuperview();
    if (readerView_) readerView_->setReaderDelegate(nullptr);
    if (help_) help_->setDelegate(nullptr);
}

bool ScanReaderViewController::isSourceTypeAvailable(int sourceType) {
    return sourceType == kScanSourceCamera && media::CaptureDevice::defaultDevice() != nullptr;
}

bool ScanReaderViewController::isCameraDeviceAvailable(int cameraDevice) {
    for (const auto& device : media::CaptureDevice::devices())
        if (device->position() == positionFor(cameraDevice)) return true;
    return false;
}

bool ScanReaderViewController::isFlashAvailableForCameraDevice(int cameraDevice) {
    for (const auto& device : media::CaptureDevice::devices())
        if (device->position() == positionFor(cameraDevice)) return device->hasTorch();
    return false;
}

std::vector<int> ScanReaderViewController::availableCaptureModesForCameraDevice(int cameraDevice) {
    if (!isCameraDeviceAvailable(cameraDevice)) return {};
    return {kScanCameraCaptureModeVideo};
}

void ScanReaderViewController::unsupported(int value, const char* property) {
    char message[128];
    std::snprintf(message, sizeof message, "attempt to set unsupported value (%d) for %s property", value, property);
    foundation::assertionFailed("supported value", __func__, __FILE__, __LINE__, message);
}

void ScanReaderViewController::setSourceType(int type) {
    if (type != kScanSourceCamera) unsupported(type, "sourceType");
}
void ScanReaderViewController::setAllowsEditing(bool allows) {
    if (allows) unsupported(1, "allowsEditing");
}
void ScanReaderViewController::setAllowsImageEditing(bool allows) {
    if (allows) unsupported(1, "allowsImageEditing");
}
void ScanReaderViewController::setShowsCameraControls(bool shows) {
    if (shows) unsupported(1, "showsCameraControls");
}
void ScanReaderViewController::setCameraMode(int mode) {
    if (mode != kScanCameraModeSampling) unsupported(mode, "cameraMode");
}
void ScanReaderViewController::setTakesPicture(bool takes) {
    if (takes) unsupported(1, "takesPicture");
}
void ScanReaderViewController::setCameraCaptureMode(int mode) {
    if (mode != kScanCameraCaptureModeVideo) unsupported(mode, "cameraCaptureMode");
}

std::shared_ptr<media::CaptureDevice> ScanReaderViewController::captureDeviceFor(int cameraDevice) const {
    media::CapturePosition position = positionFor(cameraDevice);
    if (position == media::CapturePosition::Unspecified) return nullptr;
    for (const auto& device : media::CaptureDevice::devices())
        if (device->position() == position) return device;
    return nullptr;
}

void ScanReaderViewController::setTracksSymbols(bool tracks) {
    tracksSymbols_ = tracks;
    if (readerView_) readerView_->setTracksSymbols(tracks);
}

void ScanReaderViewController::setEnableCache(bool enable) {
    enableCache_ = enable;
    if (readerView_) readerView_->setEnableCache(enable);
}

void ScanReaderViewController::setScanCrop(const ui::Rect& crop) {
    scanCrop_ = crop;
    if (readerView_) readerView_->setScanCrop(crop);
}

void ScanReaderViewController::setCameraViewTransform(const ui::AffineTransform& transform) {
    cameraViewTransform_ = transform;
    if (readerView_) readerView_->setPreviewTransform(transform);
}

void ScanReaderViewController::setCameraDevice(int device) {
    cameraDevice_ = device;
    if (!readerView_) return;
    if (auto capture = captureDeviceFor(device)) readerView_->setDevice(capture);
}

void ScanReaderViewController::setCameraFlashMode(int mode) {
    cameraFlashMode_ = mode;
    if (readerView_) readerView_->setTorchMode(torchFor(mode));
}

void ScanReaderViewController::setVideoQuality(int quality) {
    videoQuality_ = quality;
    if (readerView_) initVideoQuality();
}

void ScanReaderViewController::setCameraOverlayView(std::shared_ptr<ui::View> view) {
    std::shared_ptr<ui::View> previous = cameraOverlayView_;
    if (previous) previous->removeFromSuperview();
    cameraOverlayView_ = std::move(view);
    if (isViewLoaded() && cameraOverlayView_) this->view()->addSubview(cameraOverlayView_);
}

ScanReaderView* ScanReaderViewController::readerView() {
    view();
    return readerView_.get();
}

void ScanReaderViewController::takePicture() {
    if (readerView_) readerView_->captureReader()->captureFrame();
}

void ScanReaderViewController::cancel() {
    if (!readerDelegate_) return;
    if (readerDelegate_->respondsToImagePickerControllerDidCancel())
        readerDelegate_->imagePickerControllerDidCancel(*this);
    else
        dismissModalViewControllerAnimated(true);
}

void ScanReaderViewController::loadView() { setView(ui::View::create({0, 0, 320, 480})); }

void ScanReaderViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    ui::View* root = view();
    root->setBackgroundColor(ui::Color::blackColor());
    root->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);

    readerView_ = ScanReaderView::create(scanner_);
    ui::Rect frame = root->bounds();
    unsigned mask = ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight;
    bool presentedModally = presentingViewController() && presentingViewController()->modalViewController() == this;
    if (showsScanControls_ || presentedModally) {
        frame.size.height -= kControlsHeight;
        mask |= ui::kAutoresizingFlexibleBottomMargin;
    }
    readerView_->setFrame(frame);
    readerView_->setAutoresizingMask(mask);

    auto capture = captureDeviceFor(cameraDevice_);
    if (capture && capture != readerView_->device()) readerView_->setDevice(capture);
    readerView_->setTorchMode(torchFor(cameraFlashMode_));
    initVideoQuality();
    readerView_->setReaderDelegate(this);
    readerView_->setScanCrop(scanCrop_);
    readerView_->setPreviewTransform(cameraViewTransform_);
    readerView_->setTracksSymbols(tracksSymbols_);
    readerView_->setEnableCache(enableCache_);
    root->addSubview(readerView_);

    shutter_ = ui::View::create(root->bounds());
    shutter_->setBackgroundColor(ui::Color::blackColor());
    shutter_->setOpaque(false);
    shutter_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    root->addSubview(shutter_);

    if (cameraOverlayView_) {
        QUENTA_ASSERT(!cameraOverlayView_->superview(), "the camera overlay view is already in a view");
        root->addSubview(cameraOverlayView_);
    }
    initControls();
}

void ScanReaderViewController::initVideoQuality() {
    media::CaptureSession* session = readerView_ ? readerView_->session() : nullptr;
    std::optional<std::string> preset = presetFor(videoQuality_);
    if (session && preset && session->canSetSessionPreset(*preset)) {
        session->setSessionPreset(*preset);
        foundation::logLine("ScanReaderViewController: set session preset=" + *preset);
    } else {
        foundation::logLine("ScanReaderViewController: unable to set session preset=" + preset.value_or("(null)"));
    }
}

void ScanReaderViewController::initControls() {
    ui::View* root = view();
    if (!showsScanControls_) {
        if (controls_) {
            controls_->removeFromSuperview();
            controls_.reset();
        }
        return;
    }
    if (controls_) {
        QUENTA_ASSERT(controls_->superview() == root, "the control bar is not in the screen's view");
        root->bringSubviewToFront(controls_.get());
        return;
    }
    ui::Rect b = root->bounds();
    controls_ = ui::View::create({0, b.size.height - kControlsHeight, b.size.width, kControlsHeight});
    controls_->setBackgroundColor(ui::Color::blackColor());
    controls_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight |
                                   ui::kAutoresizingFlexibleTopMargin);
    auto toolbar = std::make_shared<ui::Toolbar>(ui::Rect{0, 0, b.size.width, kControlsHeight});
    toolbar->setBarStyle(ui::BarStyle::Black);
    toolbar->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    auto infoButton = ui::Button::buttonWithType(ui::ButtonType::InfoLight);
    infoButton->addTarget(
        this, [this](ui::Control*, const ui::Event*) { info(); }, ui::kControlEventTouchUpInside);
    toolbar->setItems(
        {ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Cancel, [this](ui::BarButtonItem*) { cancel(); }),
         ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::FlexibleSpace, {}),
         ui::BarButtonItem::withCustomView(infoButton)});
    controls_->addSubview(toolbar);
    root->addSubview(controls_);
}

int ScanReaderViewController::interfaceOrientation() const {
    int o = ui::Application::shared().statusBarOrientation();
    return o == 0 ? kScanOrientationPortrait : o;
}

void ScanReaderViewController::viewWillAppear(bool animated) {
    char line[96];
    std::snprintf(line, sizeof line, "ScanReaderViewController: willAppear: anim=%d orient=%d", animated ? 1 : 0,
                  interfaceOrientation());
    foundation::logLine(line);
    initControls();
    ui::ViewController::viewWillAppear(animated);

    readerView_->willRotateToInterfaceOrientation(interfaceOrientation(), 0);
    // The camera starts after this call has returned.
    std::weak_ptr<ui::View> alive = readerView_;
    foundation::postToMain([alive] {
        if (auto view = alive.lock()) static_cast<ScanReaderView&>(*view).start();
    });

    shutter_->setAlpha(1);
    shutter_->setHidden(false);

    auto& app = ui::Application::shared();
    if (!didHideStatusBar_ && !app.isStatusBarHidden()) {
        app.setStatusBarHidden(true, true);
        didHideStatusBar_ = true;
    }
}

void ScanReaderViewController::readerViewDidStart(ScanReaderView&) {
    if (!shutter_ || shutter_->isHidden()) return;
    std::weak_ptr<ui::View> shutter = shutter_;
    ui::View::animate(
        0.25, [this] { shutter_->setAlpha(0); },
        [shutter](bool) {
            if (auto s = shutter.lock()) s->setHidden(true);
        });
}

void ScanReaderViewController::viewWillDisappear(bool animated) {
    if (readerView_) readerView_->captureReader()->setEnableReader(false);
    if (didHideStatusBar_) {
        ui::Application::shared().setStatusBarHidden(false, true);
        didHideStatusBar_ = false;
    }
    ui::ViewController::viewWillDisappear(animated);
}

void ScanReaderViewController::viewDidDisappear(bool animated) {
    if (readerView_) readerView_->stop();
    ui::ViewController::viewDidDisappear(animated);
}

void ScanReaderViewController::viewDidUnload() {
    if (cameraOverlayView_) cameraOverlayView_->removeFromSuperview();
    if (readerView_) readerView_->setReaderDelegate(nullptr);
    readerView_.reset();
    controls_.reset();
    shutter_.reset();
    ui::ViewController::viewDidUnload();
}

void ScanReaderViewController::dismissModalViewControllerAnimated(bool animated) {
    if (didHideStatusBar_) {
        ui::Application::shared().setStatusBarHidden(false, true);
        didHideStatusBar_ = false;
    }
    ui::ViewController::dismissModalViewControllerAnimated(animated);
}

bool ScanReaderViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) {
    int n = int(o);
    return n >= 0 && n < 32 && ((supportedOrientationsMask_ >> n) & 1);
}

void ScanReaderViewController::willRotateToInterfaceOrientation(int orientation, double duration) {
    char line[96];
    std::snprintf(line, sizeof line, "ScanReaderViewController: willRotate: orient=%d #%g", orientation, duration);
    foundation::logLine(line);
    rotating_ = true;
    if (readerView_) readerView_->willRotateToInterfaceOrientation(orientation, duration);
}

void ScanReaderViewController::willAnimateRotationToInterfaceOrientation(int orientation, double duration) {
    char line[112];
    std::snprintf(line, sizeof line, "ScanReaderViewController: willAnimateRotation: orient=%d #%g", orientation,
                  duration);
    foundation::logLine(line);
    if (help_) help_->willAnimateRotationToInterfaceOrientation(orientation, duration);
    if (readerView_) readerView_->setNeedsLayout();
}

void ScanReaderViewController::didRotateFromInterfaceOrientation(int fromOrientation) {
    char line[96];
    std::snprintf(line, sizeof line, "ScanReaderViewController: didRotate(%d): orient=%d", rotating_ ? 1 : 0,
                  fromOrientation);
    foundation::logLine(line);
    if (!rotating_ && readerView_) {
        readerView_->willRotateToInterfaceOrientation(interfaceOrientation(), 0);
        readerView_->setNeedsLayout();
    }
    rotating_ = false;
}

void ScanReaderViewController::readerViewDidReadSymbols(ScanReaderView&, const std::shared_ptr<ScanSymbolSet>& symbols,
                                                        const ui::ImageRef& image) {
    if (!readerDelegate_) return;
    ScanPickerInfo info;
    info.originalImage = image;
    if (symbols)
        for (const auto& symbol : *symbols) info.results.push_back(symbol);
    readerDelegate_->imagePickerControllerDidFinishPickingMediaWithInfo(*this, info);
}

void ScanReaderViewController::showHelpWithReason(const std::string& reason) {
    if (help_) return;
    help_ = std::make_shared<ScanHelpController>(reason);
    help_->setDelegate(this);
    ui::View* helpView = help_->view();
    helpView->setAlpha(0);
    helpView->setFrame(view()->bounds());
    help_->viewWillAppear(true);
    view()->addSubview(help_->viewRef());
    ui::View::beginAnimations("ScanHelp");
    helpView->setAlpha(1);
    ui::View::commitAnimations();
}

void ScanReaderViewController::helpControllerDidFinish(ScanHelpController& help) {
    QUENTA_ASSERT(&help == help_.get(), "a help page that is not this screen's finished");
    help.viewWillDisappear(true);
    ui::View::beginAnimations("ScanHelp");
    std::weak_ptr<ui::ViewController> alive = weak_from_this();
    ui::View::setAnimationDidStop([alive](const std::string& id, bool, void*) {
        if (auto self = alive.lock()) static_cast<ScanReaderViewController&>(*self).removeHelp(id);
    });
    help.view()->setAlpha(0);
    ui::View::commitAnimations();
}

void ScanReaderViewController::removeHelp(const std::string& animationID) {
    if (animationID != "ScanHelp" || !help_) return;
    help_->view()->removeFromSuperview();
    help_.reset();
}
