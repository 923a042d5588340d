#pragma once
// Images for the decoder. ScanImage wraps one library image: it can be filled
// with grey pixels from a picture (cropped and scaled), carry pixels that
// belong to somebody else without copying them, hold the symbols decoded from
// it, and turn RGB pixels back into a picture. ScanCVImage is the image of one
// camera frame: it keeps the frame and turns it into RGB only when somebody
// asks for its picture.

#include <zbar.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "lib/reader/ScanSymbol.h"
#include "platform/media/PixelBuffer.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"

// A picture decoded straight to grey for scanning, from a JPEG: the decoder
// never makes a colour picture. Where the caller shrinks the picture anyway
// (minimumSide, as ui::ImageDecodeOptions has it) the decoder scales while it
// decodes, to 1/2, 1/4 or 1/8 of each side; then it leaves out the colour
// altogether and gives the stored luma. At full size the grey is the luma of
// the colours the colour decode gives, so that a scan of it is the scan of
// the colour picture to the byte.
struct ScanGreyPicture {
    unsigned fullWidth = 0, fullHeight = 0;  // the picture's own size
    unsigned width = 0, height = 0;          // the decoded size
    std::vector<uint8_t> pixels;             // width x height bytes, rows from the top

    // nullptr, with the reason in *error when given, for anything but a
    // whole JPEG of at most ui::Image::kMaxPixels decoded pixels.
    static std::shared_ptr<ScanGreyPicture> decodeJPEG(const std::vector<uint8_t>& data, int minimumSide = 0,
                                                       foundation::ErrorRef* error = nullptr);
};

class ScanImage : public std::enable_shared_from_this<ScanImage> {
protected:
    struct Token {};

public:
    // Packs up to four characters, the first in the lowest byte; nullptr gives 0.
    static uint32_t fourcc(const char* code);
    static uint32_t fourcc(std::string_view code);

    // A new empty library image.
    static std::shared_ptr<ScanImage> create();
    // Adopts a library image (takes a reference); nullptr for a null image.
    static std::shared_ptr<ScanImage> createWithImage(zbar::zbar_image_t* image);
    // An 8-bit grey ("Y800") image of `size` pixels showing the crop (in
    // pixels of the picture, origin at the top left) of the picture, read
    // straight from the picture's pixels; transparent parts are white paper,
    // what lies outside the picture black. nullptr for an empty or
    // unreasonable crop or size.
    static std::shared_ptr<ScanImage> createWithCGImage(const ui::Image& picture, ui::Rect crop, ui::Size size);
    static std::shared_ptr<ScanImage> createWithCGImage(const ui::Image& picture, ui::Size size);
    static std::shared_ptr<ScanImage> createWithCGImage(const ui::Image& picture);
    // The same from a grey picture; the crop is in pixels of the picture's
    // full size, whatever size it was decoded at.
    static std::shared_ptr<ScanImage> createWithGreyPicture(const ScanGreyPicture& picture, ui::Rect crop,
                                                            ui::Size size);

    ScanImage(Token, zbar::zbar_image_t* image);
    virtual ~ScanImage();
    ScanImage(const ScanImage&) = delete;
    ScanImage& operator=(const ScanImage&) = delete;

    zbar::zbar_image_t* image() const { return zimg_; }
    zbar::zbar_image_t* zbarImage() const { return zimg_; }

    unsigned long format() const;
    void setFormat(unsigned long format);
    unsigned sequence() const;
    void setSequence(unsigned sequence);
    ui::Size size() const;
    // Each side rounded to the nearest whole pixel; the crop becomes the whole image.
    void setSize(ui::Size size);
    ui::Rect crop() const;
    // Rounded like the size; the library keeps it inside the image.
    void setCrop(ui::Rect crop);
    std::shared_ptr<ScanSymbolSet> symbols() const;
    void setSymbols(const std::shared_ptr<ScanSymbolSet>& symbols);
    const void* data() const;
    unsigned long dataLength() const;
    // Points the image at bytes it does not own (nullptr, 0 detaches); when
    // the library lets go of them, cleanup() is called.
    void setData(const void* data, unsigned long length);
    virtual void cleanup() {}

    // The RGB pixels ("RGB3", "RGB4" or "RGBQ") as a picture; nullptr (with a
    // log line) for another format or too few bytes.
    virtual ui::ImageRef UIImageWithOrientation(ui::ImageOrientation orientation);
    ui::ImageRef UIImage() { return UIImageWithOrientation(ui::ImageOrientation::Up); }

private:
    static void dataCleanup(zbar::zbar_image_t* image);
    zbar::zbar_image_t* zimg_;
};

class ScanCVImage : public ScanImage {
public:
    static std::shared_ptr<ScanCVImage> create();
    explicit ScanCVImage(Token, zbar::zbar_image_t* image);
    ~ScanCVImage() override;

    media::PixelBufferRef pixelBuffer() const;
    void setPixelBuffer(media::PixelBufferRef buffer);
    // The converted pixels (3 bytes a pixel, rows of rgbWidth pixels), or
    // null before the conversion or when it could make none.
    const uint8_t* rgbBuffer() const;
    size_t rgbWidth() const { return rgbWidth_; }
    size_t rgbHeight() const { return rgbHeight_; }

    // Waits for this image's pending conversion, if any.
    void waitUntilConverted();
    // Starts the conversion on the shared conversion queue when it has not
    // run, waits for it and gives the frame as a picture of the frame's
    // width and height; nullptr when the frame had no usable pixels.
    ui::ImageRef UIImageWithOrientation(ui::ImageOrientation orientation) override;
    // The conversion itself (the conversion queue runs it).
    void convertCVtoRGB();

    // How many conversions have run in the process (for tests of reuse).
    static uint64_t conversionCount();

private:
    void startConversion();
    mutable std::mutex mutex_;
    std::condition_variable converted_;
    bool pending_ = false;
    media::PixelBufferRef pixelBuffer_;
    std::vector<uint8_t> rgb_;
    size_t rgbWidth_ = 0, rgbHeight_ = 0;
};
