#pragma once
// Camera frames: a pixel buffer with one or more planes, and the sample that
// carries it from a capture device to the outputs of a session.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace media {

// Pixel format codes, written the way the camera layer writes them: the
// first character in the highest byte.
constexpr uint32_t kPixelFormatNV12VideoRange = 0x34323076;  // '420v': Y plane, then interleaved Cb,Cr
constexpr uint32_t kPixelFormatBGRA = 0x42475241;            // 'BGRA': one plane, 4 bytes a pixel

class PixelBuffer {
public:
    struct Plane {
        size_t width = 0;            // pixels (samples) a row
        size_t height = 0;           // rows
        size_t bytesPerRow = 0;      // stride, at least what a row needs
        std::vector<uint8_t> bytes;  // bytesPerRow * height, or empty for a missing plane
    };

    // A bi-planar 4:2:0 video-range frame, zeroed to black (Y 16, Cb Cr 128).
    // Strides default to the width; larger strides pad every row.
    static std::shared_ptr<PixelBuffer> createNV12(size_t width, size_t height, size_t yBytesPerRow = 0,
                                                   size_t cBytesPerRow = 0);
    static std::shared_ptr<PixelBuffer> createBGRA(size_t width, size_t height, size_t bytesPerRow = 0);
    // Any layout, as a driver or a damaged file might hand it over. Nothing is
    // checked here: readers of a buffer check what they rely on.
    static std::shared_ptr<PixelBuffer> createWithPlanes(uint32_t format, size_t width, size_t height,
                                                         std::vector<Plane> planes);

    uint32_t pixelFormatType() const { return format_; }
    size_t width() const { return width_; }
    size_t height() const { return height_; }
    size_t planeCount() const { return planes_.size(); }
    // Per plane; 0 (or null) for a plane that does not exist.
    size_t widthOfPlane(size_t plane) const;
    size_t heightOfPlane(size_t plane) const;
    size_t bytesPerRowOfPlane(size_t plane) const;
    size_t dataSizeOfPlane(size_t plane) const;
    uint8_t* baseAddressOfPlane(size_t plane);
    const uint8_t* baseAddressOfPlane(size_t plane) const;

    // Readers lock the buffer while they use its bytes; true when locked.
    bool lockBaseAddress(bool readOnly = true);
    void unlockBaseAddress();
    int lockCount() const { return locks_.load(); }

private:
    PixelBuffer(uint32_t format, size_t width, size_t height, std::vector<Plane> planes);
    uint32_t format_;
    size_t width_, height_;
    std::vector<Plane> planes_;
    std::atomic<int> locks_{0};
};

using PixelBufferRef = std::shared_ptr<PixelBuffer>;

// One delivery of a device: normally one frame, valid and ready.
struct SampleBuffer {
    PixelBufferRef imageBuffer;
    int numSamples = 1;
    bool valid = true;
    bool dataReady = true;
    double presentationTime = 0;  // monotonic seconds
};

// BT.601 video-range conversions between straight RGBA rows and frames.
// Chroma is the average of each 2x2 block; odd edges repeat their last pixel.
PixelBufferRef nv12FromRgba(const uint8_t* rgba, size_t width, size_t height);
PixelBufferRef bgraFromRgba(const uint8_t* rgba, size_t width, size_t height);
// The other way: a bi-planar video-range frame as packed RGB rows (3 bytes a
// pixel), into rgb. False, leaving rgb alone, when the planes are not the
// format's or do not hold every row they claim.
bool rgbFromNV12(const PixelBuffer& frame, std::vector<uint8_t>& rgb);

}  // namespace media
