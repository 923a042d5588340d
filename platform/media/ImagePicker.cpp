#include "platform/media/ImagePicker.h"

#include <dirent.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "platform/foundation/Background.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/CapturePreviewLayer.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Control.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"

namespace media {

namespace {

bool isPictureName(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == "png" || ext == "jpg" || ext == "jpeg";
}

// One still from the device: started, the first frame kept, stopped.
ui::ImageRef takeStill(CaptureDevice& device, foundation::ErrorRef* error) {
    std::mutex mutex;
    std::condition_variable arrived;
    PixelBufferRef frame;
    bool started = device.start(
        [&](const SampleBuffer& sample) {
            std::lock_guard<std::mutex> lock(mutex);
            if (!frame && sample.valid && sample.imageBuffer) {
                frame = sample.imageBuffer;
                arrived.notify_all();
            }
        },
        error);
    if (!started) return nullptr;
    // A feed that sends only when asked sends one now.
    if (auto* feed = dynamic_cast<FileFeedDevice*>(&device)) feed->pushFrame();
    {
        std::unique_lock<std::mutex> lock(mutex);
        arrived.wait_for(lock, std::chrono::seconds(3), [&] { return frame != nullptr; });
    }
    device.stop();
    if (!frame) {
        if (error)
            *error = foundation::Error::make(kCaptureErrorDomain, kCaptureNoFrame, "no frame came from the camera");
        return nullptr;
    }
    frame->lockBaseAddress(true);
    ui::ImageRef picture = uprightPicture(*frame);
    frame->unlockBaseAddress();
    if (!picture && error)
        *error = foundation::Error::make(kCaptureErrorDomain, kCaptureNoFrame, "the camera's frame could not be read");
    return picture;
}

}  // namespace

ImagePickerController::ImagePickerController() = default;
ImagePickerController::~ImagePickerController() = default;

bool ImagePickerController::isSourceTypeAvailable(ImagePickerSourceType type) {
    if (type == ImagePickerSourceType::Camera) return CaptureDevice::defaultDevice() != nullptr;
    return true;
}

std::string ImagePickerController::libraryDirectory() {
    if (const char* dir = std::getenv("QUENTA_PICTURES"); dir && *dir) return dir;
    return foundation::joinPath(foundation::homeDir(), "Pictures");
}

std::vector<std::string> ImagePickerController::libraryPictures() {
    std::vector<std::string> out;
    std::string dir = libraryDirectory();
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (isPictureName(name)) out.push_back(foundation::joinPath(dir, name));
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::shared_ptr<CaptureDevice> ImagePickerController::cameraDevice() const {
    if (!cameraDevice_) cameraDevice_ = CaptureDevice::defaultDevice();
    return cameraDevice_;
}

void ImagePickerController::setCameraOverlayView(std::shared_ptr<ui::View> view) {
    if (cameraOverlayView_) cameraOverlayView_->removeFromSuperview();
    cameraOverlayView_ = std::move(view);
    if (isViewLoaded()) buildScreen();
}

void ImagePickerController::setShowsCameraControls(bool shows) {
    showsCameraControls_ = shows;
    if (isViewLoaded()) buildScreen();
}

void ImagePickerController::takePicture() {
    if (sourceType_ != ImagePickerSourceType::Camera) return;
    auto device = cameraDevice();
    foundation::ErrorRef error;
    ui::ImageRef picture = device ? takeStill(*device, &error) : nullptr;
    if (!picture) {
        foundation::logLine("ImagePickerController: no picture taken: " +
                            (error ? error->message : std::string("there is no camera")));
        return;
    }
    deliver(picture);
}

bool ImagePickerController::choosePicture(const std::string& path) {
    if (access(path.c_str(), R_OK) != 0) {
        foundation::logLine("ImagePickerController: cannot open the picture " + path);
        return false;
    }
    // Decoding a large picture takes long: it is done on the pool, and the
    // picture (or what is wrong with it) comes back to the main thread.
    struct Load {
        ui::ImageRef picture;
        foundation::ErrorRef error;
    };
    auto load = std::make_shared<Load>();
    ui::ImageDecodeOptions options;
    options.minimumSide = pictureMinimumSide();
    std::weak_ptr<ui::ViewController> alive = weak_from_this();
    foundation::BackgroundTask::run(
        "picture.load", [load, path, options] { load->picture = ui::Image::fromFile(path, 1, &load->error, options); },
        [alive, load, path] {
            auto self = std::static_pointer_cast<ImagePickerController>(alive.lock());
            if (!self) return;
            if (load->picture) {
                self->deliver(load->picture);
                return;
            }
            foundation::logLine("ImagePickerController: cannot open the picture " + path + ": " + load->error->message);
            const bool tooLarge = load->error->is(ui::kImageErrorDomain, ui::kImageTooLarge);
            ui::AlertView::create("无法打开图片",
                                  tooLarge ? "图片太大，无法读取。" : "图片已损坏或不是图片文件，无法读取。", nullptr,
                                  "确定")
                ->show();
        });
    return true;
}

void ImagePickerController::cancelPicking() {
    std::weak_ptr<ui::ViewController> alive = weak_from_this();
    foundation::postToMain([alive] {
        auto self = std::static_pointer_cast<ImagePickerController>(alive.lock());
        if (self && self->pickerDelegate_) self->pickerDelegate_->imagePickerControllerDidCancel(*self);
    });
}

void ImagePickerController::deliver(const ui::ImageRef& picture) {
    std::weak_ptr<ui::ViewController> alive = weak_from_this();
    foundation::postToMain([alive, picture] {
        auto self = std::static_pointer_cast<ImagePickerController>(alive.lock());
        if (!self || !self->pickerDelegate_) return;
        ImagePickerInfo info;
        info.originalImage = picture;
        self->pickerDelegate_->imagePickerControllerDidFinishPickingMediaWithInfo(*self, info);
    });
}

void ImagePickerController::loadView() {
    auto root = ui::View::create({0, 0, 320, 480});
    root->setBackgroundColor(ui::Color::blackColor());
    root->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    setView(root);
}

void ImagePickerController::viewWillAppear(bool animated) {
    buildScreen();
    ui::ViewController::viewWillAppear(animated);
}

void ImagePickerController::buildScreen() {
    ui::View* root = view();
    ui::Rect b = root->bounds();
    if (listView_) listView_->removeFromSuperview();
    if (controlsView_) controlsView_->removeFromSuperview();
    listView_.reset();
    controlsView_.reset();
    if (sourceType_ != ImagePickerSourceType::Camera) {
        // The library: one row a picture, its file name; tapping picks it.
        root->setBackgroundColor(ui::Color::whiteColor());
        auto list = std::make_shared<ui::ScrollView>(b);
        double y = 0;
        auto title = ui::Label::create({12, 0, b.size.width - 24, 44});
        title->setText("选择图片");
        title->setTextAlignment(ui::TextAlignment::Center);
        list->addSubview(title);
        y += 44;
        for (const auto& path : libraryPictures()) {
            auto row = ui::Button::buttonWithType(ui::ButtonType::RoundedRect);
            row->setFrame({12, y + 4, b.size.width - 24, 40});
            row->setTitle(path.substr(path.rfind('/') + 1));
            row->addTarget(
                this, [this, path](ui::Control*, const ui::Event*) { choosePicture(path); },
                ui::kControlEventTouchUpInside);
            list->addSubview(row);
            y += 48;
        }
        auto cancel = ui::Button::buttonWithType(ui::ButtonType::RoundedRect);
        cancel->setFrame({12, y + 12, b.size.width - 24, 40});
        cancel->setTitle("取消");
        cancel->addTarget(
            this, [this](ui::Control*, const ui::Event*) { cancelPicking(); }, ui::kControlEventTouchUpInside);
        list->addSubview(cancel);
        list->setContentSize({b.size.width, y + 64});
        listView_ = list;
        root->addSubview(listView_);
        return;
    }
    // The camera: black behind the overlay, and the picker's shutter bar.
    root->setBackgroundColor(ui::Color::blackColor());
    if (cameraOverlayView_ && cameraOverlayView_->superview() != root) root->addSubview(cameraOverlayView_);
    if (showsCameraControls_) {
        auto bar = ui::View::create({0, b.size.height - 54, b.size.width, 54});
        bar->setBackgroundColor(ui::Color::rgba(0.1, 0.1, 0.1));
        auto shoot = ui::Button::buttonWithType(ui::ButtonType::RoundedRect);
        shoot->setFrame({b.size.width / 2 - 50, 7, 100, 40});
        shoot->setTitle("拍照");
        shoot->addTarget(
            this, [this](ui::Control*, const ui::Event*) { takePicture(); }, ui::kControlEventTouchUpInside);
        bar->addSubview(shoot);
        auto cancel = ui::Button::buttonWithType(ui::ButtonType::Custom);
        cancel->setFrame({8, 7, 60, 40});
        cancel->setTitle("取消");
        cancel->addTarget(
            this, [this](ui::Control*, const ui::Event*) { cancelPicking(); }, ui::kControlEventTouchUpInside);
        bar->addSubview(cancel);
        controlsView_ = bar;
        root->addSubview(controlsView_);
    }
}

}  // namespace media
