#pragma once
// The live camera picture and its three coordinate spaces: the view's
// points, the camera image's pixels and the normalised crop the capture
// reader scans. The view keeps the preview centred, turned to the interface
// orientation and scaled by the zoom; works out the part of the requested
// crop that is on screen (the effective crop) and hands it to the capture
// reader; draws a box that follows the best symbol of each frame; and offers
// pinch zoom, a torch setting and a frames-per-second badge.
//
// ScanReaderView is the interface; the capture work is ScanReaderViewImpl's
// (ScanReaderViewImpl.h). create() makes one of those.

#include <memory>
#include <optional>
#include <string>

#include "lib/reader/ScanCaptureReader.h"
#include "lib/reader/ScanImageScanner.h"
#include "lib/reader/ScanSymbol.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/WeakRef.h"
#include "platform/media/Capture.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/Layer.h"
#include "platform/ui/View.h"

class ScanReaderView;

// Interface orientations (as the application reports them).
enum ScanInterfaceOrientation {
    kScanOrientationPortrait = 1,
    kScanOrientationPortraitUpsideDown = 2,
    kScanOrientationLandscapeRight = 3,
    kScanOrientationLandscapeLeft = 4,
};

// A capture failure reaches the delegate as an error of kScanReaderErrorDomain,
// code kScanCaptureStopped, "The camera stopped."; the reason the capture
// session gave, when it gave one, is the error under it
// (kCaptureSessionErrorDomain, kScanCaptureRuntimeError).
inline const std::string kScanReaderErrorDomain = "ScanReaderErrorDomain";
inline const std::string kCaptureSessionErrorDomain = "CaptureSessionErrorDomain";
enum ScanReaderErrorCode : int {
    kScanCaptureStopped = 1,
    kScanCaptureRuntimeError = 2,
};

// Called on the main thread.
class ScanReaderViewDelegate : public foundation::Referenceable {
public:
    virtual ~ScanReaderViewDelegate() = default;
    // New symbols, with the frame they were read from turned upright.
    virtual void readerViewDidReadSymbols(ScanReaderView& view, const std::shared_ptr<ScanSymbolSet>& symbols,
                                          const ui::ImageRef& image) = 0;
    // Optional: capture runs (also after an interruption ends).
    virtual bool respondsToReaderViewDidStart() const { return false; }
    virtual void readerViewDidStart(ScanReaderView&) {}
    // Optional: capture stopped; a null error for a plain stop or an interruption.
    virtual bool respondsToReaderViewDidStop() const { return false; }
    virtual void readerViewDidStop(ScanReaderView&, const foundation::ErrorRef&) {}
};

class ScanReaderView : public ui::View {
public:
    // A capture-session reader view on the scanner (which must not be null).
    static std::shared_ptr<ScanReaderView> create(std::shared_ptr<ScanImageScanner> scanner);
    // On a new scanner that scans every third column and row.
    static std::shared_ptr<ScanReaderView> create();
    ~ScanReaderView() override;
    const char* className() const override { return "ScanReaderView"; }

    ScanReaderViewDelegate* readerDelegate() const { return readerDelegate_; }
    void setReaderDelegate(ScanReaderViewDelegate* delegate) { readerDelegate_ = delegate; }

    virtual std::shared_ptr<ScanImageScanner> scanner() const = 0;
    virtual std::shared_ptr<ScanCaptureReader> captureReader() const = 0;
    virtual media::CaptureSession* session() const = 0;
    virtual std::shared_ptr<media::CaptureDevice> device() const = 0;
    virtual void setDevice(std::shared_ptr<media::CaptureDevice> device) = 0;
    virtual bool enableCache() const = 0;
    virtual void setEnableCache(bool enable) = 0;

    bool tracksSymbols() const { return tracksSymbols_; }
    void setTracksSymbols(bool tracks);
    ui::Color trackingColor() const { return trackingColor_; }
    // Nothing changes for no colour.
    void setTrackingColor(const std::optional<ui::Color>& color);
    bool allowsPinchZoom() const;
    void setAllowsPinchZoom(bool allows);
    media::CaptureTorchMode torchMode() const { return torchMode_; }
    virtual void setTorchMode(media::CaptureTorchMode mode) { torchMode_ = mode; }
    bool showsFPS() const { return showsFPS_; }
    virtual void setShowsFPS(bool shows);
    // Always within 1..maxZoom.
    double zoom() const { return zoom_; }
    void setZoom(double zoom);
    void setZoom(double zoom, bool animated);
    double maxZoom() const { return maxZoom_; }
    void setMaxZoom(double maxZoom) { maxZoom_ = maxZoom; }
    ui::Rect scanCrop() const { return scanCrop_; }
    void setScanCrop(const ui::Rect& crop);
    ui::AffineTransform previewTransform() const { return previewTransform_; }
    void setPreviewTransform(const ui::AffineTransform& transform);

    virtual void start();
    virtual void stop();
    virtual void flushCache() {}
    bool isStarted() const { return started_; }
    bool isRunning() const { return running_; }

    // The client tells the view the interface turns; it then asks for layout.
    void willRotateToInterfaceOrientation(int orientation, double duration);
    int interfaceOrientation() const { return interfaceOrientation_; }

    // The camera image's size in pixels changed.
    void setImageSize(ui::Size size);
    ui::Size imageSize() const { return imageSize_; }

    // Every frame with at least one raw symbol: the box follows the best one.
    void didTrackSymbols(const std::shared_ptr<ScanSymbolSet>& symbols);
    // The box moves three quarters of the way to the symbol (grown by 24
    // pixels a side) and fades a second after the last frame that had one.
    void updateTracking(ui::Layer& layer, const ScanSymbol* symbol);
    void resetTracking();

    void layoutSubviews() override;

    // What the layout worked out, and its pieces (for the client and tests).
    ui::Rect effectiveCrop() const { return effectiveCrop_; }
    double imageScale() const { return imageScale_; }
    int layoutPasses() const { return layoutPasses_; }
    ui::Layer* previewLayer() const { return preview_.get(); }
    ui::Layer* overlayLayer() const { return overlay_.get(); }
    ui::Layer* cropLayer() const { return cropLayer_.get(); }
    ui::Layer* trackingLayer() const { return tracking_.get(); }
    ui::View* fpsView() const { return fpsView_.get(); }
    ui::Label* fpsLabel() const { return fpsLabel_.get(); }
    ui::PinchGestureRecognizer* pinchRecognizer() const { return pinch_.get(); }

protected:
    ScanReaderView();
    // The set-up of a new view: the subclass calls it first, then its own.
    virtual void initWithImageScanner(const std::shared_ptr<ScanImageScanner>& scanner);
    // The layers over the preview; preview_ must exist.
    void initSubviews();
    // Passes the effective crop on (the subclass to its capture reader).
    virtual void updateCrop() {}
    void handlePinch(ui::PinchGestureRecognizer& pinch);

    std::shared_ptr<ui::Layer> preview_;
    std::shared_ptr<ui::Label> fpsLabel_;
    foundation::WeakRef<ScanReaderViewDelegate> readerDelegate_;
    media::CaptureTorchMode torchMode_ = media::CaptureTorchMode::Auto;
    bool showsFPS_ = false;
    bool started_ = false;
    bool running_ = false;
    int interfaceOrientation_ = kScanOrientationPortrait;

private:
    std::shared_ptr<ui::Layer> overlay_, cropLayer_, tracking_;
    std::shared_ptr<ui::View> fpsView_;
    std::shared_ptr<ui::PinchGestureRecognizer> pinch_;
    ui::Color trackingColor_ = ui::Color::greenColor();
    bool tracksSymbols_ = true;
    double zoom_ = 1, maxZoom_ = 2, zoom0_ = 1;
    ui::Rect scanCrop_{0, 0, 1, 1}, effectiveCrop_{0, 0, 1, 1};
    ui::AffineTransform previewTransform_;
    double imageScale_ = 1;
    ui::Size imageSize_;
    double animationDuration_ = 0;
    int layoutPasses_ = 0;
};
