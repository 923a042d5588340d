#include "platform/media/PixelBuffer.h"

#include <algorithm>

namespace media {

PixelBuffer::PixelBuffer(uint32_t format, size_t width, size_t height, std::vector<Plane> planes)
    : format_(format), width_(width), height_(height), planes_(std::move(planes)) {}

std::shared_ptr<PixelBuffer> PixelBuffer::createWithPlanes(uint32_t format, size_t width, size_t height,
                                                           std::vector<Plane> planes) {
    return std::shared_ptr<PixelBuffer>(new PixelBuffer(format, width, height, std::move(planes)));
}

std::shared_ptr<PixelBuffer> PixelBuffer::createNV12(size_t width, size_t height, size_t yBytesPerRow,
                                                     size_t cBytesPerRow) {
    size_t pairs = (width + 1) / 2;
    Plane y{width, height, std::max(yBytesPerRow, width), {}};
    y.bytes.assign(y.bytesPerRow * height, 16);
    Plane c{pairs, (height + 1) / 2, std::max(cBytesPerRow, pairs * 2), {}};
    c.bytes.assign(c.bytesPerRow * c.height, 128);
    std::vector<Plane> planes;
    planes.push_back(std::move(y));
    planes.push_back(std::move(c));
    return createWithPlanes(kPixelFormatNV12VideoRange, width, height, std::move(planes));
}

std::shared_ptr<PixelBuffer> PixelBuffer::createBGRA(size_t width, size_t height, size_t bytesPerRow) {
    Plane p{width, height, std::max(bytesPerRow, width * 4), {}};
    p.bytes.assign(p.bytesPerRow * height, 0);
    std::vector<Plane> planes;
    planes.push_back(std::move(p));
    return createWithPlanes(kPixelFormatBGRA, width, height, std::move(planes));
}

size_t PixelBuffer::widthOfPlane(size_t plane) const { return plane < planes_.size() ? planes_[plane].width : 0; }
size_t PixelBuffer::heightOfPlane(size_t plane) const { return plane < planes_.size() ? planes_[plane].height : 0; }
size_t PixelBuffer::bytesPerRowOfPlane(size_t plane) const {
    return plane < planes_.size() ? planes_[plane].bytesPerRow : 0;
}
size_t PixelBuffer::dataSizeOfPlane(size_t plane) const {
    return plane < planes_.size() ? planes_[plane].bytes.size() : 0;
}
uint8_t* PixelBuffer::baseAddressOfPlane(size_t plane) {
    if (plane >= planes_.size() || planes_[plane].bytes.empty()) return nullptr;
    return planes_[plane].bytes.data();
}
const uint8_t* PixelBuffer::baseAddressOfPlane(size_t plane) const {
    return const_cast<PixelBuffer*>(this)->baseAddressOfPlane(plane);
}

bool PixelBuffer::lockBaseAddress(bool) {
    locks_.fetch_add(1);
    return true;
}

void PixelBuffer::unlockBaseAddress() {
    int expected = locks_.load();
    while (expected > 0 && !locks_.compare_exchange_weak(expected, expected - 1)) {}
}

namespace {
uint8_t clampByte(int v) { return uint8_t(std::clamp(v, 0, 255)); }
// Fixed point (8 fractional bits) BT.601 video range.
uint8_t lumaOf(int r, int g, int b) { return clampByte(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16); }
}  // namespace

PixelBufferRef nv12FromRgba(const uint8_t* rgba, size_t width, size_t height) {
    auto buf = PixelBuffer::createNV12(width, height);
    if (width == 0 || height == 0) return buf;
    uint8_t* y = buf->baseAddressOfPlane(0);
    uint8_t* c = buf->baseAddressOfPlane(1);
    size_t yRow = buf->bytesPerRowOfPlane(0), cRow = buf->bytesPerRowOfPlane(1);
    for (size_t j = 0; j < height; ++j)
        for (size_t i = 0; i < width; ++i) {
            const uint8_t* p = rgba + (j * width + i) * 4;
            y[j * yRow + i] = lumaOf(p[0], p[1], p[2]);
        }
    for (size_t j = 0; j < (height + 1) / 2; ++j)
        for (size_t i = 0; i < (width + 1) / 2; ++i) {
            int r = 0, g = 0, b = 0;
            for (size_t dy = 0; dy < 2; ++dy)
                for (size_t dx = 0; dx < 2; ++dx) {
                    size_t x = std::min(i * 2 + dx, width - 1), yy = std::min(j * 2 + dy, height - 1);
                    const uint8_t* p = rgba + (yy * width + x) * 4;
                    r += p[0], g += p[1], b += p[2];
                }
            r /= 4, g /= 4, b /= 4;
            c[j * cRow + i * 2] = clampByte(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
            c[j * cRow + i * 2 + 1] = clampByte(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }
    return buf;
}

PixelBufferRef bgraFromRgba(const uint8_t* rgba, size_t width, size_t height) {
    auto buf = PixelBuffer::createBGRA(width, height);
    uint8_t* d = buf->baseAddressOfPlane(0);
    if (!d) return buf;
    for (size_t k = 0; k < width * height; ++k) {
        d[k * 4] = rgba[k * 4 + 2];
        d[k * 4 + 1] = rgba[k * 4 + 1];
        d[k * 4 + 2] = rgba[k * 4];
        d[k * 4 + 3] = rgba[k * 4 + 3];
    }
    return buf;
}

bool rgbFromNV12(const PixelBuffer& frame, std::vector<uint8_t>& rgb) {
    if (frame.pixelFormatType() != kPixelFormatNV12VideoRange) return false;
    size_t width = frame.width(), height = frame.height();
    size_t yRow = frame.bytesPerRowOfPlane(0), cRow = frame.bytesPerRowOfPlane(1);
    const uint8_t* yBase = frame.baseAddressOfPlane(0);
    const uint8_t* cBase = frame.baseAddressOfPlane(1);
    size_t pairs = (width + 1) / 2, chromaRows = (height + 1) / 2;
    // Every byte the loop reads must be inside its plane.
    bool fits = yBase && cBase && width > 0 && height > 0 && yRow >= width && cRow >= pairs * 2 &&
                frame.dataSizeOfPlane(0) / yRow >= height && frame.dataSizeOfPlane(1) / cRow >= chromaRows;
    if (!fits) return false;
    std::vector<uint8_t> out(width * height * 3);
    for (size_t i = 0; i < height; ++i) {
        const uint8_t* yp = yBase + i * yRow;
        const uint8_t* cp = cBase + (i / 2) * cRow;
        uint8_t* row = out.data() + i * width * 3;
        for (size_t j = 0; j < width; ++j) {
            int Y = 4769 * (int(yp[j]) - 16);
            int U = int(cp[(j / 2) * 2]) - 128, V = int(cp[(j / 2) * 2 + 1]) - 128;
            int R = (Y + 6537 * V + 2048) / 4096;
            int G = (Y - 1604 * U - 3329 * V + 2048) / 4096;
            int B = (Y + 8263 * U + 2048) / 4096;
            row[j * 3] = uint8_t(std::clamp(R, 0, 255));
            row[j * 3 + 1] = uint8_t(std::clamp(G, 0, 255));
            row[j * 3 + 2] = uint8_t(std::clamp(B, 0, 255));
        }
    }
    rgb = std::move(out);
    return true;
}

}  // namespace media
