#pragma once
// The still-picture reader: a picture picker that scans each picture it
// gets (a photo from the camera or one chosen from the library) and hands
// the symbols to its reader delegate in the picker's result. With the camera
// it lays its own bar (Cancel, "Scan!", info) and a tracking box over the
// camera screen, can take pictures one after another by itself (the
// sequence mode), and shows the help page when a picture holds nothing.
// The scanning screen stands in for it wherever live capture exists.

#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "lib/reader/ScanHelpController.h"
#include "lib/reader/ScanImage.h"
#include "lib/reader/ScanImageScanner.h"
#include "lib/reader/ScanReaderDelegate.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/WeakRef.h"
#include "platform/media/ImagePicker.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Toolbar.h"

// Camera modes: scan the picture the user takes; sample the live preview
// (refused here); take and scan pictures one after another.
enum ScanReaderCameraMode { kScanCameraModeDefault = 0, kScanCameraModeLive = 1, kScanCameraModeSequence = 2 };

class ScanReaderController : public media::ImagePickerController,
                             private media::ImagePickerControllerDelegate,
                             private ScanHelpDelegate {
public:
    ScanReaderController();
    ~ScanReaderController() override;
    const char* className() const override { return "ScanReaderController"; }

    const std::shared_ptr<ScanImageScanner>& scanner() const { return scanner_; }
    ScanReaderDelegate* readerDelegate() const { return readerDelegate_; }
    // The picker's delegate is the reader itself; a client's delegate is the
    // reader delegate.
    void setReaderDelegate(ScanReaderDelegate* delegate) { readerDelegate_ = delegate; }
    bool showsScanControls() const { return showsScanControls_; }
    // Throws std::invalid_argument for true without an overlay.
    void setShowsScanControls(bool shows);
    bool showsHelpOnFail() const { return showsHelpOnFail_; }
    void setShowsHelpOnFail(bool shows) { showsHelpOnFail_ = shows; }
    bool tracksSymbols() const { return tracksSymbols_; }
    void setTracksSymbols(bool tracks) { tracksSymbols_ = tracks; }
    bool enableCache() const { return enableCache_; }
    void setEnableCache(bool enable) { enableCache_ = enable; }
    int cameraMode() const { return cameraMode_; }
    // Throws std::invalid_argument for the live mode (1), keeping the mode.
    void setCameraMode(int mode);
    ui::Rect scanCrop() const { return scanCrop_; }
    void setScanCrop(const ui::Rect& crop) { scanCrop_ = crop; }
    int maxScanDimension() const { return maxScanDimension_; }
    void setMaxScanDimension(int dimension) { maxScanDimension_ = dimension; }
    bool isSampling() const { return sampling_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidUnload() override;

    // The bar's buttons.
    void scan();
    void cancel();
    void reenable();
    void info() { showHelpWithReason("INFO"); }

    // The best symbols of a picture: every symbol of the highest quality (a
    // QR code outranks the rest); empty when nothing reached quality 10.
    std::vector<std::shared_ptr<ScanSymbol>> scanImage(const ui::Image& picture);
    std::vector<std::shared_ptr<ScanSymbol>> scanImage(const ScanGreyPicture& picture);
    // One scan of the cropped picture scaled to fit maxScanDimension (then by
    // scaling when it is not 0); the scanner's count. The crop and sizes of a
    // grey picture follow its full size, whatever size it was decoded at.
    int scanImage(const ui::Image& picture, double scaling);
    int scanImage(const ScanGreyPicture& picture, double scaling);
    // The size the last scan used (for the client and tests).
    ui::Size lastScanSize() const { return lastScanSize_; }
    ui::Rect lastScanCrop() const { return lastScanCrop_; }
    // The densities (across, down) the last scan set; the sequence keeps the scanner's.
    std::pair<int, int> lastScanDensity() const { return lastScanDensity_; }

    void showHelpWithReason(const std::string& reason);
    // Library pictures may be decoded smaller as long as every scan keeps its
    // size: both sides at least 640 pixels and the crop's larger side at
    // least maxScanDimension.
    int pictureMinimumSide() const override;
    // A JPEG from the library is decoded straight to grey (at the size
    // pictureMinimumSide allows) and scanned on the pool; only a picture
    // that yields symbols is decoded in colour, for the delegate. Other
    // files, and JPEGs the grey decode refuses, take the picker's road.
    bool choosePicture(const std::string& path) override;
    ScanHelpController* helpController() const { return help_.get(); }

    ui::View* overlay() const { return overlay_.get(); }
    ui::Toolbar* toolbar() const { return toolbar_.get(); }
    ui::BarButtonItem* scanButton() const { return scanBtn_.get(); }
    ui::Layer* boxLayer() const { return boxLayer_.get(); }

private:
    void initOverlay();
    void initScanning();
    void cleanup();
    void dumpFPS();
    void scanSequence(const ui::ImageRef& picture);
    int scanPicture(double W, double H, double scaling,
                    const std::function<std::shared_ptr<ScanImage>(ui::Rect, ui::Size)>& grey);
    std::vector<std::shared_ptr<ScanSymbol>> bestOf(int W, int H, const std::function<int(double)>& scan);
    // What a picked picture yielded, back on the main thread.
    void finishPicking(const ui::ImageRef& picture, std::vector<std::shared_ptr<ScanSymbol>> results);
    void updateBox(const ScanSymbol* symbol, ui::Size imageSize);
    void after(double seconds, std::function<void(ScanReaderController&)> fn);
    // ImagePickerControllerDelegate
    void imagePickerControllerDidFinishPickingMediaWithInfo(media::ImagePickerController& picker,
                                                            const media::ImagePickerInfo& info) override;
    void imagePickerControllerDidCancel(media::ImagePickerController& picker) override;
    // ScanHelpDelegate
    bool respondsToHelpControllerDidFinish() const override { return true; }
    void helpControllerDidFinish(ScanHelpController& help) override;

    std::shared_ptr<ScanImageScanner> scanner_;
    foundation::WeakRef<ScanReaderDelegate> readerDelegate_;
    bool showsScanControls_ = true, showsHelpOnFail_ = true, tracksSymbols_ = true, enableCache_ = true;
    bool hasOverlay_ = true, sampling_ = false;
    int cameraMode_ = kScanCameraModeDefault;
    ui::Rect scanCrop_{0, 0, 1, 1};
    int maxScanDimension_ = 640;
    double t_frame_ = 0, dt_frame_ = 0;
    ui::Size lastScanSize_;
    ui::Rect lastScanCrop_;
    std::pair<int, int> lastScanDensity_{2, 2};
    std::shared_ptr<ScanHelpController> help_;
    std::shared_ptr<ui::View> overlay_, boxView_;
    std::shared_ptr<ui::Layer> boxLayer_;
    std::shared_ptr<ui::Toolbar> toolbar_;
    std::shared_ptr<ui::BarButtonItem> cancelBtn_, scanBtn_, space_[3];
    std::shared_ptr<ui::Button> infoBtn_;
    std::vector<foundation::TimerRef> timers_;
    // Picked pictures are scanned on the pool; one scan at a time.
    std::mutex scanMutex_;
};
