#pragma once
// Pictures: premultiplied ARGB pixels with a scale (pixels per point), an
// orientation and optional cap insets for stretching. Decodes PNG and JPEG,
// encodes PNG and JPEG, and finds bundle pictures by name (preferring "@2x" files on
// a screen of scale 2).

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/ui/Geometry.h"

namespace ui {

enum class ImageOrientation {
    Up = 0,
    Down = 1,   // turned 180 degrees
    Left = 2,   // turned 90 degrees counter-clockwise
    Right = 3,  // turned 90 degrees clockwise
    UpMirrored = 4,
    DownMirrored = 5,
    LeftMirrored = 6,
    RightMirrored = 7,
};

// One pixel, straight (not premultiplied) RGBA.
struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Rgba&) const = default;
};

// Why a picture could not be decoded: an error of this domain, its message
// saying what is wrong in words (for the log).
inline const std::string kImageErrorDomain = "ImageErrorDomain";
enum ImageErrorCode : int {
    kImageUnreadable = 1,   // the file cannot be opened
    kImageNotAPicture = 2,  // neither PNG nor JPEG data (or not the one asked for)
    kImageDamaged = 3,      // cut short or corrupt
    kImageTooLarge = 4,     // more than Image::kMaxPixels pixels
};

struct ImageDecodeOptions {
    // A JPEG may be decoded at 1/2, 1/4 or 1/8 of its size (the decoder
    // scales while it decodes) as long as both sides keep at least this many
    // pixels; 0 keeps the full size. For callers that scale the picture down
    // anyway.
    int minimumSide = 0;
};

class Image {
public:
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Takes a reference to an ARGB32 image surface.
    static std::shared_ptr<Image> fromSurface(cairo_surface_t* surface, double scale = 1,
                                              ImageOrientation orientation = ImageOrientation::Up);
    // A transparent picture of the given pixel size.
    static std::shared_ptr<Image> create(int pixelWidth, int pixelHeight, double scale = 1);
    // Straight RGBA rows, width * 4 bytes each.
    static std::shared_ptr<Image> fromRgba(int pixelWidth, int pixelHeight, const uint8_t* rgba, double scale = 1);

    // The most pixels a decoded picture may have (a 48-megapixel photo fits;
    // its pixels take at most 256 MB).
    static constexpr int64_t kMaxPixels = int64_t(1) << 26;
    using DecodeOptions = ImageDecodeOptions;

    // PNG or JPEG by their signatures; nullptr for anything else, damaged
    // data (a JPEG that ends early or has corrupt data included) or a picture
    // of more than kMaxPixels pixels, with the reason in *error when given.
    static std::shared_ptr<Image> fromData(const std::vector<uint8_t>& data, double scale = 1);
    static std::shared_ptr<Image> fromData(const std::vector<uint8_t>& data, double scale, foundation::ErrorRef* error,
                                           const DecodeOptions& options = {});
    static std::shared_ptr<Image> fromFile(const std::string& path, double scale = 1);
    static std::shared_ptr<Image> fromFile(const std::string& path, double scale, foundation::ErrorRef* error,
                                           const DecodeOptions& options = {});
    static std::shared_ptr<Image> decodePNG(const std::vector<uint8_t>& data, double scale = 1,
                                            foundation::ErrorRef* error = nullptr);
    static std::shared_ptr<Image> decodeJPEG(const std::vector<uint8_t>& data, double scale = 1,
                                             foundation::ErrorRef* error = nullptr, const DecodeOptions& options = {});
    // A picture of the bundle by name: "name@2x.png" first on a scale-2 screen,
    // then the name as given, then the name with ".png". Cached by name and scale.
    static std::shared_ptr<Image> named(const std::string& name);
    static void clearNamedCache();

    // The same pixels with another scale and orientation.
    std::shared_ptr<Image> withScale(double scale, ImageOrientation orientation = ImageOrientation::Up) const;
    // The same pixels stretched in the middle: the left and top caps stay, the
    // right cap is width - left - 1 and the bottom cap height - top - 1 (a zero
    // cap stretches the whole side). In points.
    std::shared_ptr<Image> stretchable(int leftCapWidth, int topCapHeight) const;

    // Size in points, after orientation.
    Size size() const;
    double scale() const { return scale_; }
    ImageOrientation orientation() const { return orientation_; }
    int pixelWidth() const;
    int pixelHeight() const;
    // Cap insets in points (all zero when not stretchable).
    EdgeInsets capInsets() const { return caps_; }
    bool isStretchable() const { return stretchable_; }
    int leftCapWidth() const { return int(caps_.left); }
    int topCapHeight() const { return int(caps_.top); }

    cairo_surface_t* surface() const { return surface_; }
    // The pixel at (x, y) of the stored pixels (orientation not applied).
    Rgba pixel(int x, int y) const;
    // Straight RGBA rows of the stored pixels.
    std::vector<uint8_t> rgbaPixels() const;

    std::vector<uint8_t> encodePNG() const;
    bool writePNG(const std::string& path) const;
    // Baseline JPEG of the stored pixels (quality 0 to 1), composited over
    // black where they are not opaque; empty on failure.
    std::vector<uint8_t> encodeJPEG(double quality) const;

    // Draws the picture into rect of the cairo context (user space), with its
    // orientation, nine-slice stretching when stretchable, at the given alpha.
    void draw(cairo_t* cr, const Rect& rect, double alpha = 1) const;

private:
    Image(cairo_surface_t* s, double scale, ImageOrientation o);
    cairo_surface_t* surface_;
    double scale_;
    ImageOrientation orientation_;
    EdgeInsets caps_;
    bool stretchable_ = false;
};

using ImageRef = std::shared_ptr<Image>;

}  // namespace ui
