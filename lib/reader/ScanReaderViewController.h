#pragma once
// The full-screen camera scanning screen: the decoder configuration, a live
// reader view under a black shutter that opens once the camera runs, an
// optional bar with Cancel and Info, the help page, and every new set of
// symbols handed to the delegate in the picker's form. It neither stops
// scanning nor closes itself on a result: that is the delegate's call.
//
// The camera properties of the phone's picture picker are here too, so a
// client works with either reader; the fixed ones accept only their value.

#include <cstdint>
#include <memory>
#include <string>

#include "lib/reader/ScanHelpController.h"
#include "lib/reader/ScanReaderDelegate.h"
#include "lib/reader/ScanReaderView.h"
#include "platform/foundation/WeakRef.h"
#include "platform/ui/ViewController.h"

// The picker's camera settings.
enum ScanCameraDevice { kScanCameraDeviceRear = 0, kScanCameraDeviceFront = 1 };
enum ScanCameraFlashMode { kScanCameraFlashOff = -1, kScanCameraFlashAuto = 0, kScanCameraFlashOn = 1 };
enum ScanVideoQuality {
    kScanVideoQualityHigh = 0,
    kScanVideoQualityMedium = 1,
    kScanVideoQualityLow = 2,
    kScanVideoQuality640x480 = 3,
};
enum ScanSourceType { kScanSourcePhotoLibrary = 0, kScanSourceCamera = 1, kScanSourceSavedPhotosAlbum = 2 };
// The sampling camera mode (the picture reader's mode 1).
constexpr int kScanCameraModeSampling = 1;
constexpr int kScanCameraCaptureModeVideo = 1;

class ScanReaderViewController : public ui::ViewController, private ScanReaderViewDelegate, private ScanHelpDelegate {
public:
    ScanReaderViewController();
    ~ScanReaderViewController() override;
    const char* className() const override { return "ScanReaderViewController"; }

    // The picker's questions, answered for the live camera.
    static bool isSourceTypeAvailable(int sourceType);
    static bool isCameraDeviceAvailable(int cameraDevice);
    static bool isFlashAvailableForCameraDevice(int cameraDevice);
    static std::vector<int> availableCaptureModesForCameraDevice(int cameraDevice);

    const std::shared_ptr<ScanImageScanner>& scanner() const { return scanner_; }
    ScanReaderDelegate* readerDelegate() const { return readerDelegate_; }
    void setReaderDelegate(ScanReaderDelegate* delegate) { readerDelegate_ = delegate; }
    bool showsScanControls() const { return showsScanControls_; }
    void setShowsScanControls(bool shows) { showsScanControls_ = shows; }
    bool tracksSymbols() const { return tracksSymbols_; }
    void setTracksSymbols(bool tracks);
    bool enableCache() const { return enableCache_; }
    void setEnableCache(bool enable);
    uint32_t supportedOrientationsMask() const { return supportedOrientationsMask_; }
    void setSupportedOrientationsMask(uint32_t mask) { supportedOrientationsMask_ = mask; }
    ui::Rect scanCrop() const { return scanCrop_; }
    void setScanCrop(const ui::Rect& crop);
    const std::shared_ptr<ui::View>& cameraOverlayView() const { return cameraOverlayView_; }
    void setCameraOverlayView(std::shared_ptr<ui::View> view);
    ui::AffineTransform cameraViewTransform() const { return cameraViewTransform_; }
    void setCameraViewTransform(const ui::AffineTransform& transform);
    int cameraDevice() const { return cameraDevice_; }
    void setCameraDevice(int device);
    int cameraFlashMode() const { return cameraFlashMode_; }
    void setCameraFlashMode(int mode);
    int videoQuality() const { return videoQuality_; }
    void setVideoQuality(int quality);
    // Loads the view first; never null afterwards.
    ScanReaderView* readerView();

    // Fixed picker settings: the getters give the one value; setting another
    // fails the program's contract (the ignored ones accept anything).
    int sourceType() const { return kScanSourceCamera; }
    void setSourceType(int type);
    bool allowsEditing() const { return false; }
    void setAllowsEditing(bool allows);
    bool allowsImageEditing() const { return false; }
    void setAllowsImageEditing(bool allows);
    bool showsCameraControls() const { return false; }
    void setShowsCameraControls(bool shows);
    bool showsHelpOnFail() const { return false; }
    void setShowsHelpOnFail(bool) {}
    int cameraMode() const { return kScanCameraModeSampling; }
    void setCameraMode(int mode);
    bool takesPicture() const { return false; }
    void setTakesPicture(bool takes);
    int maxScanDimension() const { return 640; }
    void setMaxScanDimension(int) {}
    int cameraCaptureMode() const { return kScanCameraCaptureModeVideo; }
    void setCameraCaptureMode(int mode);

    // The next frame reaches the delegate even when it shows nothing new.
    void takePicture();
    // The bar's Cancel: the delegate's, else the screen closes itself.
    void cancel();
    // The bar's Info.
    void info() { showHelpWithReason("INFO"); }
    void showHelpWithReason(const std::string& reason);
    ScanHelpController* helpController() const { return help_.get(); }

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void viewDidUnload() override;
    bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation o) override;
    void willRotateToInterfaceOrientation(int orientation, double duration);
    void willAnimateRotationToInterfaceOrientation(int orientation, double duration);
    void didRotateFromInterfaceOrientation(int fromOrientation);
    // Gives the status bar back when this screen hid it, then closes.
    void dismissModalViewControllerAnimated(bool animated);

    ui::View* controls() const { return controls_.get(); }
    ui::View* shutter() const { return shutter_.get(); }

private:
    void initControls();
    void initVideoQuality();
    std::shared_ptr<media::CaptureDevice> captureDeviceFor(int cameraDevice) const;
    void removeHelp(const std::string& animationID);
    void unsupported(int value, const char* property);
    int interfaceOrientation() const;
    // ScanReaderViewDelegate
    void readerViewDidReadSymbols(ScanReaderView& view, const std::shared_ptr<ScanSymbolSet>& symbols,
                                  const ui::ImageRef& image) override;
    bool respondsToReaderViewDidStart() const override { return true; }
    void readerViewDidStart(ScanReaderView& view) override;
    // ScanHelpDelegate
    bool respondsToHelpControllerDidFinish() const override { return true; }
    void helpControllerDidFinish(ScanHelpController& help) override;

    std::shared_ptr<ScanImageScanner> scanner_;
    foundation::WeakRef<ScanReaderDelegate> readerDelegate_;
    bool showsScanControls_ = true, tracksSymbols_ = true, enableCache_ = true;
    uint32_t supportedOrientationsMask_ = 1u << 1;
    ui::Rect scanCrop_{0, 0, 1, 1};
    std::shared_ptr<ui::View> cameraOverlayView_;
    ui::AffineTransform cameraViewTransform_;
    int cameraDevice_ = kScanCameraDeviceRear;
    int cameraFlashMode_ = kScanCameraFlashAuto;
    int videoQuality_ = kScanVideoQuality640x480;
    std::shared_ptr<ScanReaderView> readerView_;
    std::shared_ptr<ScanHelpController> help_;
    std::shared_ptr<ui::View> controls_, shutter_;
    bool didHideStatusBar_ = false, rotating_ = false;
};
