#include "lib/reader/ScanReaderViewImpl.h"

#include <cstdio>

#include "platform/foundation/Log.h"
#include "platform/ui/DeviceOrientation.h"

std::shared_ptr<ScanReaderView> ScanReaderView::create(std::shared_ptr<ScanImageScanner> scanner) {
    auto view = std::shared_ptr<ScanReaderViewImpl>(new ScanReaderViewImpl());
    view->initWithImageScanner(scanner ? scanner : std::make_shared<ScanImageScanner>());
    return view;
}

std::shared_ptr<ScanReaderView> ScanReaderView::create() {
    auto view = create(std::make_shared<ScanImageScanner>());
    view->scanner()->setSymbology(0, zbar::ZBAR_CFG_X_DENSITY, 3);
    view->scanner()->setSymbology(0, zbar::ZBAR_CFG_Y_DENSITY, 3);
    return view;
}

namespace {

std::string describe(const foundation::Notification& note) { return "Notification " + note.name; }

}  // namespace

void ScanReaderViewImpl::initWithImageScanner(const std::shared_ptr<ScanImageScanner>& scanner) {
    ScanReaderView::initWithImageScanner(scanner);
    session_ = std::make_unique<media::CaptureSession>();
    auto& center = foundation::NotificationCenter::defaultCenter();
    auto observe = [&](const std::string& name, void (ScanReaderViewImpl::*handler)(const foundation::Notification&)) {
        center.addObserver(
            this, name, [this, handler](const foundation::Notification& n) { (this->*handler)(n); }, session_.get());
    };
    observe(media::kCaptureSessionRuntimeError, &ScanReaderViewImpl::onVideoError);
    observe(media::kCaptureSessionDidStartRunning, &ScanReaderViewImpl::onVideoStart);
    observe(media::kCaptureSessionDidStopRunning, &ScanReaderViewImpl::onVideoStop);
    observe(media::kCaptureSessionWasInterrupted, &ScanReaderViewImpl::onVideoStop);
    observe(media::kCaptureSessionInterruptionEnded, &ScanReaderViewImpl::onVideoStart);

    setDevice(media::CaptureDevice::defaultDevice());

    captureReader_ = ScanCaptureReader::createWithImageScanner(scanner);
    captureReader_->setCaptureDelegate(this);
    session_->addOutput(captureReader_->captureOutput());
    if (session_->canSetSessionPreset(media::kCaptureSessionPreset640x480))
        session_->setSessionPreset(media::kCaptureSessionPreset640x480);
    captureReader_->setSizeObserver([this](ui::Size size) { setImageSize(size); });

    // The preview: the camera picture filling the view, then the layers over it.
    auto preview = media::CaptureVideoPreviewLayer::layerWithSession(session_.get());
    ui::Rect b = bounds();
    preview->setBounds({0, 0, b.size.width, b.size.height});
    preview->setPosition({b.size.width / 2, b.size.height / 2});
    preview->setVideoGravity(media::VideoGravity::ResizeAspectFill);
    layer().addSublayer(preview);
    preview_ = preview;
    initSubviews();
}

ScanReaderViewImpl::~ScanReaderViewImpl() {
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
    if (captureReader_) {
        captureReader_->setFramesPerSecondObserver(nullptr);
        captureReader_->setSizeObserver(nullptr);
        captureReader_->setCaptureDelegate(nullptr);
    }
    if (auto* preview = videoPreviewLayer()) preview->detach();
    if (session_) session_->stopRunning();
    if (started_) ui::Device::current().endGeneratingDeviceOrientationNotifications();
    started_ = false;
}

void ScanReaderViewImpl::setDevice(std::shared_ptr<media::CaptureDevice> device) {
    std::shared_ptr<media::CaptureDevice> old = device_;
    device_ = device && device->hasMediaTypeVideo() ? std::move(device) : nullptr;
    session_->beginConfiguration();
    if (old) session_->removeInput(old);
    if (device_) session_->addInput(device_);
    session_->commitConfiguration();
}

void ScanReaderViewImpl::setTorchMode(media::CaptureTorchMode mode) {
    ScanReaderView::setTorchMode(mode);
    // While capture runs the camera is locked for configuration.
    if (running_ && device_ && device_->isTorchModeSupported(mode)) device_->setTorchMode(mode);
}

void ScanReaderViewImpl::setShowsFPS(bool shows) {
    if (shows == showsFPS_) return;
    ScanReaderView::setShowsFPS(shows);
    if (shows) {
        captureReader_->setFramesPerSecondObserver([this](float fps) {
            char text[32];
            std::snprintf(text, sizeof text, "%.2ffps ", fps);
            fpsLabel_->setText(text);
        });
    } else {
        captureReader_->setFramesPerSecondObserver(nullptr);
    }
}

void ScanReaderViewImpl::start() {
    if (started_) return;
    ScanReaderView::start();
    session_->startRunning();
    captureReader_->setEnableReader(true);
}

void ScanReaderViewImpl::stop() {
    if (!started_) return;
    ScanReaderView::stop();
    captureReader_->setEnableReader(false);
    session_->stopRunning();
}

void ScanReaderViewImpl::updateCrop() { captureReader_->setScanCrop(effectiveCrop()); }

void ScanReaderViewImpl::onVideoStart(const foundation::Notification& note) {
    char head[64];
    std::snprintf(head, sizeof head, "ScanReaderView: onVideoStart: running=%d ", running_ ? 1 : 0);
    foundation::logLine(head + describe(note));
    if (running_) return;
    running_ = true;
    foundation::ErrorRef error;
    if (device_ && device_->lockForConfiguration(&error)) {
        if (device_->isFocusModeSupported(media::CaptureFocusMode::ContinuousAutoFocus))
            device_->setFocusMode(media::CaptureFocusMode::ContinuousAutoFocus);
        if (device_->isTorchModeSupported(torchMode_)) device_->setTorchMode(torchMode_);
    } else {
        foundation::logLine("ScanReaderView: failed to lock device: " + (device_ ? error->message : "no device"));
    }
    if (readerDelegate_ && readerDelegate_->respondsToReaderViewDidStart()) readerDelegate_->readerViewDidStart(*this);
}

void ScanReaderViewImpl::onVideoStop(const foundation::Notification& note) {
    foundation::logLine("ScanReaderView: onVideoStop: " + describe(note));
    if (!running_) return;
    if (device_) device_->unlockForConfiguration();
    running_ = false;
    if (readerDelegate_ && readerDelegate_->respondsToReaderViewDidStop())
        readerDelegate_->readerViewDidStop(*this, nullptr);
}

void ScanReaderViewImpl::onVideoError(const foundation::Notification& note) {
    foundation::logLine("ScanReaderView: onVideoError: " + describe(note));
    if (running_) {
        started_ = false;
        running_ = false;
        ui::Device::current().endGeneratingDeviceOrientationNotifications();
        if (device_) device_->unlockForConfiguration();
    }
    std::string failureReason;
    if (const auto* info = note.userInfo.asDictionary())
        if (const foundation::Value* reason = info->find(media::kCaptureSessionErrorKey))
            if (const std::string* text = reason->asString()) failureReason = *text;
    const std::string description = "The camera stopped.";
    if (readerDelegate_ && readerDelegate_->respondsToReaderViewDidStop()) {
        foundation::ErrorRef cause;
        if (!failureReason.empty())
            cause = foundation::Error::make(kCaptureSessionErrorDomain, kScanCaptureRuntimeError, failureReason);
        readerDelegate_->readerViewDidStop(
            *this, foundation::Error::make(kScanReaderErrorDomain, kScanCaptureStopped, description, cause));
    } else {
        foundation::logLine("ScanReaderView: ERROR during capture: " + description + ": " + failureReason);
    }
}

void ScanReaderViewImpl::captureReader(ScanCaptureReader&, const std::shared_ptr<ScanSymbolSet>& symbols) {
    didTrackSymbols(symbols);
}

void ScanReaderViewImpl::captureReader(ScanCaptureReader&, const std::shared_ptr<ScanCVImage>& image) {
    auto symbols = image->symbols();
    char head[64];
    std::snprintf(head, sizeof head, "ScanReaderView: scanned %d symbols: ", symbols ? symbols->count() : 0);
    foundation::logLine(head + std::string("ScanCVImage"));
    if (!readerDelegate_) return;

    // The picture turns the way the phone is held; without a clear reading
    // the interface's orientation stands in (its landscape sides swapped).
    int orientation = int(ui::Device::current().orientation());
    if (orientation < 1 || orientation > 4) {
        orientation = interfaceOrientation_;
        if (orientation == kScanOrientationLandscapeLeft)
            orientation = 3;
        else if (orientation == kScanOrientationLandscapeRight)
            orientation = 4;
    }
    ui::ImageOrientation imageOrientation = ui::ImageOrientation::Right;
    if (orientation == 4)
        imageOrientation = ui::ImageOrientation::Down;
    else if (orientation == 3)
        imageOrientation = ui::ImageOrientation::Up;
    else if (orientation == 2)
        imageOrientation = ui::ImageOrientation::Left;
    readerDelegate_->readerViewDidReadSymbols(*this, symbols, image->UIImageWithOrientation(imageOrientation));
}
