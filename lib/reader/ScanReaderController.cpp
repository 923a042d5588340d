#include "lib/reader/ScanReaderController.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "lib/reader/ScanImage.h"
#include "platform/foundation/Background.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Control.h"

namespace {

constexpr int kQrCode = 64;

double now() { return foundation::clock().monotonic(); }

}  // namespace

ScanReaderController::ScanReaderController() : scanner_(std::make_shared<ScanImageScanner>()) {
    showsHelpOnFail_ = true;
    // The picker here always takes a view over the camera's screen.
    hasOverlay_ = true;
    showsScanControls_ = hasOverlay_;
    tracksSymbols_ = enableCache_ = true;
    scanCrop_ = {0, 0, 1, 1};
    maxScanDimension_ = 640;
    scanner_->setSymbology(0, zbar::ZBAR_CFG_X_DENSITY, 2);
    scanner_->setSymbology(0, zbar::ZBAR_CFG_Y_DENSITY, 2);
    if (isSourceTypeAvailable(media::ImagePickerSourceType::Camera))
        setSourceType(media::ImagePickerSourceType::Camera);
    cameraMode_ = kScanCameraModeDefault;
}

ScanReaderController::~ScanReaderController() {
    for (auto& t : timers_)
        if (t) t->invalidate();
    cleanup();
}

void ScanReaderController::after(double seconds, std::function<void(ScanReaderController&)> fn) {
    std::weak_ptr<ui::ViewController> alive = weak_from_this();
    timers_.push_back(foundation::RunLoop::main().performAfter(seconds, [alive, fn] {
        if (auto self = alive.lock()) fn(static_cast<ScanReaderController&>(*self));
    }));
    // Forget the timers that are done.
    std::erase_if(timers_, [](const foundation::TimerRef& t) { return !t || !t->isValid(); });
}

void ScanReaderController::setCameraMode(int mode) {
    if (mode == kScanCameraModeLive)
        throw std::invalid_argument("ScanReaderController cannot set cameraMode=Sampling when USE_PRIVATE_APIS=0");
    cameraMode_ = mode;
}

void ScanReaderController::setShowsScanControls(bool shows) {
    if (shows && !hasOverlay_)
        throw std::invalid_argument("ScanReaderController cannot set showsScanControls=YES for OS<3.1");
    showsScanControls_ = shows;
}

void ScanReaderController::viewDidLoad() {
    media::ImagePickerController::viewDidLoad();
    setPickerDelegate(this);
    if (hasOverlay_) initOverlay();
}

void ScanReaderController::initOverlay() {
    ui::Rect b = view()->bounds();
    const double W = b.size.width, H = b.size.height;
    overlay_ = ui::View::create(b);
    overlay_->setBackgroundColor(ui::Color::clearColor());

    ui::Rect boxFrame = b;
    boxFrame.size.height -= 54;
    boxView_ = ui::View::create(boxFrame);
    boxLayer_ = ui::Layer::create();
    boxLayer_->setFrame(boxFrame);
    boxLayer_->setBorderWidth(1.0);
    boxLayer_->setBorderColor(ui::Color::greenColor());
    boxView_->layer().addSublayer(boxLayer_);

    toolbar_ = std::make_shared<ui::Toolbar>(ui::Rect{b.origin.x, H - 54, W, 54});
    toolbar_->setBarStyle(ui::BarStyle::Black);

    cancelBtn_ =
        ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::Cancel, [this](ui::BarButtonItem*) { cancel(); });
    cancelBtn_->setWidth(W / 4 - 16);
    scanBtn_ =
        ui::BarButtonItem::withTitle("Scan!", ui::BarButtonItemStyle::Done, [this](ui::BarButtonItem*) { scan(); });
    scanBtn_->setWidth(W / 2 - 16);
    space_[0] = ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::FlexibleSpace, {});
    space_[1] = ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::FlexibleSpace, {});
    space_[2] = ui::BarButtonItem::withSystemItem(ui::BarButtonSystemItem::FixedSpace, {});
    space_[2]->setWidth(W / 4 - 16);

    infoBtn_ = ui::Button::buttonWithType(ui::ButtonType::InfoLight);
    infoBtn_->setFrame({W - 54, H - 54, 54, 54});
    infoBtn_->addTarget(
        this, [this](ui::Control*, const ui::Event*) { info(); }, ui::kControlEventTouchUpInside);
}

void ScanReaderController::initScanning() {
    if (!hasOverlay_ || sourceType() != media::ImagePickerSourceType::Camera) return;
    if (showsScanControls_ || !cameraOverlayView()) setCameraOverlayView(overlay_);
    if (showsScanControls_) {
        if (!toolbar_->superview()) {
            overlay_->addSubview(toolbar_);
            overlay_->addSubview(infoBtn_);
        }
        setShowsCameraControls(false);
    } else {
        toolbar_->removeFromSuperview();
        infoBtn_->removeFromSuperview();
        if (cameraOverlayView() == overlay_) setShowsCameraControls(true);
    }
    view()->setUserInteractionEnabled(true);
    sampling_ = cameraMode_ == kScanCameraModeLive || cameraMode_ == kScanCameraModeSequence;

    if (!sampling_) {
        scanBtn_->setEnabled(false);
        toolbar_->setItems({cancelBtn_, space_[0], scanBtn_, space_[1], space_[2]});
        after(0.5, [](ScanReaderController& self) { self.reenable(); });
        boxView_->removeFromSuperview();
        return;
    }
    toolbar_->setItems({cancelBtn_, space_[0]});
    t_frame_ = now();
    dt_frame_ = 0;
    boxLayer_->setOpacity(0);
    boxView_->removeFromSuperview();
    cameraOverlayView()->insertSubview(boxView_, 0);
    scanner_->setEnableCache(enableCache_);
    after(2.0, [](ScanReaderController& self) { self.takePicture(); });
    after(4.0, [](ScanReaderController& self) { self.dumpFPS(); });
}

void ScanReaderController::dumpFPS() {
    if (!sampling_) return;
    after(2.0, [](ScanReaderController& self) { self.dumpFPS(); });
    char line[64];
    std::snprintf(line, sizeof line, "ScanReaderController: fps=%g", dt_frame_ > 0 ? 1 / dt_frame_ : 0.0);
    foundation::logLine(line);
}

void ScanReaderController::viewWillAppear(bool animated) {
    initScanning();
    media::ImagePickerController::viewWillAppear(animated);
}

void ScanReaderController::viewWillDisappear(bool animated) {
    sampling_ = false;
    scanner_->setEnableCache(false);
    media::ImagePickerController::viewWillDisappear(animated);
}

void ScanReaderController::viewDidUnload() {
    cleanup();
    media::ImagePickerController::viewDidUnload();
}

void ScanReaderController::cleanup() {
    if (help_) help_->setDelegate(nullptr);
    help_.reset();
    overlay_.reset();
    boxView_.reset();
    boxLayer_.reset();
    toolbar_.reset();
    cancelBtn_.reset();
    scanBtn_.reset();
    for (auto& s : space_) s.reset();
    infoBtn_.reset();
}

void ScanReaderController::scan() {
    if (scanBtn_) scanBtn_->setEnabled(false);
    view()->setUserInteractionEnabled(false);
    takePicture();
}

void ScanReaderController::cancel() {
    after(0.1, [](ScanReaderController& self) { self.imagePickerControllerDidCancel(self); });
}

void ScanReaderController::reenable() {
    if (scanBtn_) scanBtn_->setEnabled(true);
    view()->setUserInteractionEnabled(true);
}

int ScanReaderController::scanImage(const ui::Image& picture, double scaling) {
    return scanPicture(picture.pixelWidth(), picture.pixelHeight(), scaling,
                       [&](ui::Rect crop, ui::Size size) { return ScanImage::createWithCGImage(picture, crop, size); });
}

int ScanReaderController::scanImage(const ScanGreyPicture& picture, double scaling) {
    return scanPicture(picture.fullWidth, picture.fullHeight, scaling, [&](ui::Rect crop, ui::Size size) {
        return ScanImage::createWithGreyPicture(picture, crop, size);
    });
}

int ScanReaderController::scanPicture(double W, double H, double scaling,
                                      const std::function<std::shared_ptr<ScanImage>(ui::Rect, ui::Size)>& grey) {
    double t = now();
    double dt = t - t_frame_;
    dt_frame_ = dt_frame_ == 0 ? dt : (dt_frame_ + dt) / 2;
    t_frame_ = t;

    ui::Rect crop = W >= H ? ui::Rect{scanCrop_.origin.x * W, scanCrop_.origin.y * H, scanCrop_.size.width * W,
                                      scanCrop_.size.height * H}  // A portrait picture: the crop's axes swap.
                           : ui::Rect{scanCrop_.origin.y * W, scanCrop_.origin.x * H, scanCrop_.size.height * W,
                                      scanCrop_.size.width * H};
    double w = crop.size.width, h = crop.size.height, M = maxScanDimension_;
    ui::Size size{w, h};
    if (w >= h && w > M)
        size = {M, h * M / w};
    else if (h > M)
        size = {w * M / h, M};
    if (scaling != 0) size = {size.width * scaling, size.height * scaling};

    bool sequence = sourceType() == media::ImagePickerSourceType::Camera && cameraMode_ == kScanCameraModeSequence;
    if (!sequence) {
        int across = size.width > 720 ? int((size.width / 240 + 1) / 2) : 1;
        int down = size.height > 720 ? int((size.height / 240 + 1) / 2) : 1;
        scanner_->setSymbology(0, zbar::ZBAR_CFG_X_DENSITY, across);
        scanner_->setSymbology(0, zbar::ZBAR_CFG_Y_DENSITY, down);
        lastScanDensity_ = {across, down};
    }
    lastScanCrop_ = crop;
    lastScanSize_ = size;
    auto image = grey(crop, size);
    return image ? scanner_->scanImage(*image) : 0;
}

int ScanReaderController::pictureMinimumSide() const {
    double fraction = std::min(scanCrop_.size.width, scanCrop_.size.height);
    if (!(fraction > 0) || fraction > 1 || maxScanDimension_ <= 0) return 0;
    return int(std::ceil(std::max(640.0, maxScanDimension_ / fraction)));
}

std::vector<std::shared_ptr<ScanSymbol>> ScanReaderController::scanImage(const ui::Image& picture) {
    return bestOf(picture.pixelWidth(), picture.pixelHeight(), [&](double s) { return scanImage(picture, s); });
}

std::vector<std::shared_ptr<ScanSymbol>> ScanReaderController::scanImage(const ScanGreyPicture& picture) {
    return bestOf(picture.fullWidth, picture.fullHeight, [&](double s) { return scanImage(picture, s); });
}

std::vector<std::shared_ptr<ScanSymbol>> ScanReaderController::bestOf(int W, int H,
                                                                      const std::function<int(double)>& scan) {
    std::lock_guard<std::mutex> lock(scanMutex_);
    double start = now();
    int n = scan(0);
    if (n == 0 && W >= 640 && H >= 640) n = scan(0.5);

    std::vector<std::shared_ptr<ScanSymbol>> best;
    if (n != 0) {
        auto results = scanner_->results();
        int quality = 10;
        if (results) {
            for (const auto& symbol : *results) {
                int q = symbol->type() == kQrCode ? INT_MAX : symbol->quality();
                char line[96];
                if (q < quality) {
                    std::snprintf(line, sizeof line, "ScanReaderController:     type=%d quality=%d < %d\n",
                                  symbol->type(), q, quality);
                    foundation::logLine(line);
                    continue;
                }
                if (q > quality) {
                    quality = q;
                    best.clear();
                }
                std::snprintf(line, sizeof line, "ScanReaderController:     type=%d quality=%d\n", symbol->type(), q);
                foundation::logLine(line);
                best.push_back(symbol);
            }
        }
    }
    char line[96];
    std::snprintf(line, sizeof line, "ScanReaderController: read %d filtered symbols in %gs total\n", int(best.size()),
                  now() - start);
    foundation::logLine(line);
    return best;
}

bool ScanReaderController::choosePicture(const std::string& path) {
    char signature[2] = {0, 0};
    std::ifstream(path, std::ios::binary).read(signature, 2);
    if (uint8_t(signature[0]) != 0xFF || uint8_t(signature[1]) != 0xD8)
        return media::ImagePickerController::choosePicture(path);
    struct Load {
        std::shared_ptr<ScanGreyPicture> grey;
        std::vector<std::shared_ptr<ScanSymbol>> results;
        ui::ImageRef picture;
    };
    auto load = std::make_shared<Load>();
    auto self = std::static_pointer_cast<ScanReaderController>(shared_from_this());
    ui::ImageDecodeOptions options;
    options.minimumSide = pictureMinimumSide();
    foundation::BackgroundTask::run(
        "qr.decode",
        [self, load, path, options] {
            std::ifstream in(path, std::ios::binary);
            std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            load->grey = ScanGreyPicture::decodeJPEG(data, options.minimumSide);
            if (!load->grey) return;
            load->results = self->scanImage(*load->grey);
            if (!load->results.empty()) load->picture = ui::Image::fromData(data, 1, nullptr, options);
        },
        [self, load, path] {
            // What the grey decode refused, the picker's road decodes again and reports.
            if (!load->grey || (!load->results.empty() && !load->picture)) {
                self->media::ImagePickerController::choosePicture(path);
                return;
            }
            self->finishPicking(load->picture, std::move(load->results));
        });
    return true;
}

void ScanReaderController::imagePickerControllerDidFinishPickingMediaWithInfo(media::ImagePickerController&,
                                                                              const media::ImagePickerInfo& info) {
    ui::ImageRef picture = info.originalImage;
    bool camera = sourceType() == media::ImagePickerSourceType::Camera;
    if (camera && cameraMode_ == kScanCameraModeSequence) {
        if (sampling_) after(0.001, [picture](ScanReaderController& self) { self.scanSequence(picture); });
        return;
    }
    // Scanning a large picture takes long: it runs on the pool, and the
    // results come back to the main thread.
    auto self = std::static_pointer_cast<ScanReaderController>(shared_from_this());
    auto results = std::make_shared<std::vector<std::shared_ptr<ScanSymbol>>>();
    foundation::BackgroundTask::run(
        "qr.decode",
        [self, picture, results] {
            if (picture) *results = self->scanImage(*picture);
        },
        [self, picture, results] { self->finishPicking(picture, std::move(*results)); });
}

void ScanReaderController::finishPicking(const ui::ImageRef& picture,
                                         std::vector<std::shared_ptr<ScanSymbol>> results) {
    bool camera = sourceType() == media::ImagePickerSourceType::Camera;
    after(0.25, [](ScanReaderController& self) { self.reenable(); });

    if (!results.empty()) {
        ScanPickerInfo out;
        out.originalImage = picture;
        out.results = results;
        if (readerDelegate_)
            readerDelegate_->imagePickerControllerDidFinishPickingMediaWithInfo(*this, out);
        else
            dismissModalViewControllerAnimated(true);
        return;
    }
    bool retry = !camera || (hasOverlay_ && !showsCameraControls());
    if (showsHelpOnFail_ && retry) showHelpWithReason("FAIL");
    if (readerDelegate_ && readerDelegate_->respondsToReaderControllerDidFailToRead())
        readerDelegate_->readerControllerDidFailToRead(*this, retry);
    else if (!retry)
        dismissModalViewControllerAnimated(true);
}

void ScanReaderController::imagePickerControllerDidCancel(media::ImagePickerController&) {
    if (readerDelegate_ && readerDelegate_->respondsToImagePickerControllerDidCancel())
        readerDelegate_->imagePickerControllerDidCancel(*this);
    else
        dismissModalViewControllerAnimated(true);
}

void ScanReaderController::scanSequence(const ui::ImageRef& picture) {
    if (!sampling_ || !picture) return;
    std::shared_ptr<ScanSymbol> best;
    std::unique_lock<std::mutex> lock(scanMutex_);
    if (scanImage(*picture, 0) != 0) {
        if (auto results = scanner_->results()) {
            results->setFilterSymbols(false);
            for (const auto& symbol : *results)
                if (!best || symbol->quality() > best->quality()) best = symbol;
        }
    }
    lock.unlock();
    if (best && best->count() == 0 && readerDelegate_) {
        ScanPickerInfo out;
        out.originalImage = picture;
        out.results = {best};
        readerDelegate_->imagePickerControllerDidFinishPickingMediaWithInfo(*this, out);
    }
    ui::Size size{double(picture->pixelWidth()), double(picture->pixelHeight())};
    after(0.001, [](ScanReaderController& self) { self.takePicture(); });
    if (tracksSymbols_) updateBox(best.get(), size);
}

void ScanReaderController::updateBox(const ScanSymbol* symbol, ui::Size S) {
    if (!boxLayer_) return;
    ui::Transaction::begin();
    ui::Transaction::setAnimationDuration(0.3);
    ui::Transaction::setAnimationTimingFunction(ui::TimingFunction::linear());
    std::optional<ui::Rect> bounds = symbol ? symbol->bounds() : std::nullopt;
    if (symbol && bounds) {
        ui::Rect r = *bounds;
        if (r.size.width > 16 && r.size.height > 16) {
            r.origin.x += scanCrop_.origin.y * S.width;
            r.origin.y += scanCrop_.origin.x * S.height;
            r = r.insetBy(-16, -16);
            if (boxLayer_->opacity() > 0.25) {
                ui::Rect cur = boxLayer_->frame();
                r = {(3 * r.origin.x + cur.origin.x) / 4, (3 * r.origin.y + cur.origin.y) / 4,
                     (3 * r.size.width + cur.size.width) / 4, (3 * r.size.height + cur.size.height) / 4};
            }
            boxLayer_->setFrame(r);
            boxLayer_->setOpacity(1);
        }
    } else if (!symbol) {
        if (boxLayer_->opacity() > 0.1)
            boxLayer_->setOpacity(boxLayer_->opacity() / 2);
        else if (boxLayer_->opacity() != 0)
            boxLayer_->setOpacity(0);
    }
    ui::Transaction::commit();
}

void ScanReaderController::showHelpWithReason(const std::string& reason) {
    if (help_) {
        help_->setDelegate(nullptr);
        if (help_->isViewLoaded()) help_->view()->removeFromSuperview();
        help_.reset();
    }
    help_ = std::make_shared<ScanHelpController>(reason);
    help_->setDelegate(this);
    if (sourceType() != media::ImagePickerSourceType::Camera) {
        presentModalViewController(help_, true);
        return;
    }
    sampling_ = false;
    scanner_->setEnableCache(false);
    ui::View* overlayView = cameraOverlayView() ? cameraOverlayView().get() : view();
    ui::View* helpView = help_->view();
    helpView->setAlpha(0);
    helpView->setFrame(overlayView->convertRectFromView({0, 0, 320, 480}, nullptr));
    overlayView->addSubview(help_->viewRef());
    ui::View::beginAnimations("ScanHelp");
    helpView->setAlpha(1);
    ui::View::commitAnimations();
}

void ScanReaderController::helpControllerDidFinish(ScanHelpController& help) {
    if (sourceType() == media::ImagePickerSourceType::Camera) {
        ui::View::beginAnimations("ScanHelp");
        help.view()->setAlpha(0);
        ui::View::commitAnimations();
        initScanning();
    } else {
        help.dismissModalViewControllerAnimated(true);
    }
}
