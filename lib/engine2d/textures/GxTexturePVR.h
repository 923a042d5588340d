#pragma once
// PVR version 2 texture files (plain, gzip or "CCZ!"), with their mipmap
// levels. Level counts and sizes are checked against the file.

#include <cstdint>
#include <string>
#include <vector>

namespace engine2d {

struct GxPVRMipmap {
    size_t offset = 0;  // into the file data
    size_t len = 0;
};

class GxTexturePVR {
public:
    static constexpr int kMaxMipmaps = 16;

    // Reads, parses and uploads; false (with a log line) on any failure.
    bool initWithContentsOfFile(const std::string& path);
    ~GxTexturePVR();

    // Parses the file data (no GL). Fails on a bad tag, an unknown pixel
    // type, a short header, a data length beyond the file, and a size that
    // no texture may have (GxTexture2D::checkTextureSize).
    bool unpackPVRData(const uint8_t* data, size_t length);
    // The bytes of a file whose 52-byte header is `head` worth reading: the
    // header and the data length it declares, no more than its levels can
    // use. 0 when the header alone shows the file cannot load.
    static size_t usableFileLength(const uint8_t* head, size_t length, unsigned maxSide);
    bool createGLTexture();

    unsigned name() const { return name_; }
    unsigned width() const { return width_; }
    unsigned height() const { return height_; }
    bool hasAlpha() const { return hasAlpha_; }
    unsigned numberOfMipmaps() const { return numberOfMipmaps_; }
    const GxPVRMipmap& mipmap(unsigned i) const { return mipmaps_[i]; }
    bool retainName() const { return retainName_; }
    void setRetainName(bool r) { retainName_ = r; }
    int format() const { return format_; }
    // Whether the parser may accept sizes that are not powers of two, and
    // the BGRA layout (set from the GL configuration when uploading).
    void setSupport(bool npot, bool bgra) {
        supportsNPOT_ = npot;
        supportsBGRA_ = bgra;
    }
    // The largest side the parser accepts (the GL's, when uploading).
    void setMaxSide(unsigned side) { maxSide_ = side; }

private:
    std::vector<uint8_t> data_;
    GxPVRMipmap mipmaps_[kMaxMipmaps];
    unsigned numberOfMipmaps_ = 0;
    int tableFormatIndex_ = -1;
    unsigned width_ = 0, height_ = 0;
    unsigned name_ = 0;
    bool hasAlpha_ = false, retainName_ = false;
    int format_ = 0;
    bool supportsNPOT_ = true, supportsBGRA_ = true;
    unsigned maxSide_ = 16384;
};

}  // namespace engine2d
