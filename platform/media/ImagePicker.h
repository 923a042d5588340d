#pragma once
// The phone's picture picker, as far as this app needs it: a screen that
// hands back one picture, from the photo library (picture files in a folder,
// listed by name) or from the camera (a still taken from the camera layer's
// device). The result comes to the delegate on the main thread; so does a
// cancel.
//
// The library is the folder $QUENTA_PICTURES, else <home>/Pictures; PNG and
// JPEG files are listed in name order.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/WeakRef.h"
#include "platform/media/Capture.h"
#include "platform/ui/Image.h"
#include "platform/ui/ViewController.h"

namespace media {

enum class ImagePickerSourceType { PhotoLibrary = 0, Camera = 1, SavedPhotosAlbum = 2 };

// The picker's result: the picture as chosen.
struct ImagePickerInfo {
    ui::ImageRef originalImage;
    std::string mediaType = "public.image";
};

class ImagePickerController;

class ImagePickerControllerDelegate : public foundation::Referenceable {
public:
    virtual ~ImagePickerControllerDelegate() = default;
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(ImagePickerController& picker,
                                                                    const ImagePickerInfo& info) = 0;
    virtual void imagePickerControllerDidCancel(ImagePickerController& picker) = 0;
};

class ImagePickerController : public ui::ViewController {
public:
    ImagePickerController();
    ~ImagePickerController() override;
    const char* className() const override { return "ImagePickerController"; }

    // The library is always there; the camera when a device is.
    static bool isSourceTypeAvailable(ImagePickerSourceType type);
    static std::string libraryDirectory();
    // The pictures the library offers, in name order.
    static std::vector<std::string> libraryPictures();

    ImagePickerSourceType sourceType() const { return sourceType_; }
    virtual void setSourceType(ImagePickerSourceType type) { sourceType_ = type; }
    ImagePickerControllerDelegate* pickerDelegate() const { return pickerDelegate_; }
    void setPickerDelegate(ImagePickerControllerDelegate* delegate) { pickerDelegate_ = delegate; }
    // Camera only: a view laid over the camera's screen, and whether the
    // picker's own shutter bar shows.
    const std::shared_ptr<ui::View>& cameraOverlayView() const { return cameraOverlayView_; }
    void setCameraOverlayView(std::shared_ptr<ui::View> view);
    bool showsCameraControls() const { return showsCameraControls_; }
    void setShowsCameraControls(bool shows);

    // Camera: takes a still from the device; the picture reaches the
    // delegate on a later turn of the main loop. A failed take is logged and
    // delivers nothing.
    void takePicture();
    // Library: the user chose this file (the list's rows call it). The
    // picture is decoded off the main thread and reaches the delegate on a
    // later turn; false (logged) when the file cannot be opened at all. A file
    // that is no picture, is damaged or is too large reaches no delegate: the
    // picker says so in an alert ("无法打开图片").
    virtual bool choosePicture(const std::string& path);
    // How small the library's pictures may be decoded: a subclass that
    // shrinks them anyway answers the side both of a picture's sides must
    // keep (ui::ImageDecodeOptions::minimumSide); 0 keeps the full size.
    virtual int pictureMinimumSide() const { return 0; }
    // The user backed out.
    void cancelPicking();

    void loadView() override;
    void viewWillAppear(bool animated) override;

    // The camera's device; the default one unless a test sets another.
    std::shared_ptr<CaptureDevice> cameraDevice() const;
    void setCameraDevice(std::shared_ptr<CaptureDevice> device) { cameraDevice_ = std::move(device); }

protected:
    void deliver(const ui::ImageRef& picture);

private:
    void buildScreen();
    ImagePickerSourceType sourceType_ = ImagePickerSourceType::PhotoLibrary;
    foundation::WeakRef<ImagePickerControllerDelegate> pickerDelegate_;
    std::shared_ptr<ui::View> cameraOverlayView_, controlsView_, listView_;
    bool showsCameraControls_ = true;
    mutable std::shared_ptr<CaptureDevice> cameraDevice_;
};

}  // namespace media
