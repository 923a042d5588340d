#pragma once
// The reader view that does the capturing: it owns the capture session, the
// camera in use and the capture reader that turns frames into symbols. It
// turns the session's notices into start, stop and error reports, sets focus
// and torch on the camera while capture runs, follows the reader's image
// size and frame rate, and hands new symbols to the delegate with the frame
// turned upright.

#include <memory>

#include "lib/reader/ScanReaderView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/media/CapturePreviewLayer.h"

class ScanReaderViewImpl : public ScanReaderView, private ScanCaptureReaderDelegate {
public:
    ~ScanReaderViewImpl() override;
    const char* className() const override { return "ScanReaderViewImpl"; }

    std::shared_ptr<ScanImageScanner> scanner() const override { return captureReader_->scanner(); }
    std::shared_ptr<ScanCaptureReader> captureReader() const override { return captureReader_; }
    media::CaptureSession* session() const override { return session_.get(); }
    std::shared_ptr<media::CaptureDevice> device() const override { return device_; }
    // Swaps the session's input in one configuration change; null leaves
    // the session without a camera.
    void setDevice(std::shared_ptr<media::CaptureDevice> device) override;
    bool enableCache() const override { return captureReader_->enableCache(); }
    void setEnableCache(bool enable) override { captureReader_->setEnableCache(enable); }

    void setTorchMode(media::CaptureTorchMode mode) override;
    void setShowsFPS(bool shows) override;
    void start() override;
    void stop() override;
    void flushCache() override { captureReader_->flushCache(); }

    media::CaptureVideoPreviewLayer* videoPreviewLayer() const {
        return static_cast<media::CaptureVideoPreviewLayer*>(preview_.get());
    }

protected:
    friend class ScanReaderView;
    ScanReaderViewImpl() = default;
    void initWithImageScanner(const std::shared_ptr<ScanImageScanner>& scanner) override;
    void updateCrop() override;

private:
    void onVideoStart(const foundation::Notification& note);
    void onVideoStop(const foundation::Notification& note);
    void onVideoError(const foundation::Notification& note);
    // ScanCaptureReaderDelegate
    void captureReader(ScanCaptureReader& reader, const std::shared_ptr<ScanCVImage>& image) override;
    void captureReader(ScanCaptureReader& reader, const std::shared_ptr<ScanSymbolSet>& symbols) override;
    bool respondsToDidTrackSymbols() const override { return true; }

    std::unique_ptr<media::CaptureSession> session_;
    std::shared_ptr<media::CaptureDevice> device_;
    std::shared_ptr<ScanCaptureReader> captureReader_;
};
