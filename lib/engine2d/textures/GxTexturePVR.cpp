#include "lib/engine2d/textures/GxTexturePVR.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "lib/engine2d/files/GxContainers.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/gles/GxConfiguration.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "platform/foundation/Log.h"
#include "platform/gl/GL.h"

#ifndef GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG
#define GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG 0x8C02
#define GL_COMPRESSED_RGBA_PVRTC_2BPPV1_IMG 0x8C03
#endif
#ifndef GL_BGRA_EXT
#define GL_BGRA_EXT 0x80E1
#endif

namespace engine2d {

namespace {

struct PixelType {
    uint32_t pixelType;
    GLenum internalFormat, format, type;
    uint32_t bpp;
    bool compressed;
    int engineFormat;
};

const PixelType kTable[] = {
    {0x10, GL_RGBA, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, 16, false, kGxTexture2DPixelFormat_RGBA4444},
    {0x11, GL_RGBA, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1, 16, false, kGxTexture2DPixelFormat_RGB5A1},
    {0x12, GL_RGBA, GL_RGBA, GL_UNSIGNED_BYTE, 32, false, kGxTexture2DPixelFormat_RGBA8888},
    {0x13, GL_RGB, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 16, false, kGxTexture2DPixelFormat_RGB565},
    {0x15, GL_RGB, GL_RGB, GL_UNSIGNED_BYTE, 24, false, kGxTexture2DPixelFormat_RGB888},
    {0x1B, GL_ALPHA, GL_ALPHA, GL_UNSIGNED_BYTE, 8, false, kGxTexture2DPixelFormat_A8},
    {0x16, GL_LUMINANCE, GL_LUMINANCE, GL_UNSIGNED_BYTE, 8, false, kGxTexture2DPixelFormat_I8},
    {0x17, GL_LUMINANCE_ALPHA, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, 16, false, kGxTexture2DPixelFormat_AI88},
    {0x18, GL_COMPRESSED_RGBA_PVRTC_2BPPV1_IMG, 0, 0, 2, true, kGxTexture2DPixelFormat_PVRTC2},
    {0x19, GL_COMPRESSED_RGBA_PVRTC_4BPPV1_IMG, 0, 0, 4, true, kGxTexture2DPixelFormat_PVRTC4},
    {0x1A, GL_RGBA, GL_BGRA_EXT, GL_UNSIGNED_BYTE, 32, false, kGxTexture2DPixelFormat_RGBA8888},
};

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool isPowerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void fail(const char* why) { foundation::warn("engine2d: PVR: %s", why); }

const PixelType* rowForType(uint32_t pixelType, int* index) {
    const PixelType* row = nullptr;
    for (size_t i = 0; i < std::size(kTable); ++i)
        if (kTable[i].pixelType == pixelType) {
            row = &kTable[i];
            if (index) *index = int(i);
        }
    return row;
}

// Bytes of the level of `w` x `h` pixels, as the level walk counts them.
uint64_t levelBytes(const PixelType& row, uint64_t w, uint64_t h) {
    uint64_t blockSize = 1, wide = w, high = h;
    if (row.pixelType == 0x19) {
        blockSize = 16;
        wide = w / 4;
        high = h / 4;
    } else if (row.pixelType == 0x18) {
        blockSize = 32;
        wide = w / 8;
        high = h / 4;
    }
    wide = std::max<uint64_t>(wide, 2);
    high = std::max<uint64_t>(high, 2);
    return wide * high * (blockSize * row.bpp / 8);
}

}  // namespace

GxTexturePVR::~GxTexturePVR() {
    if (name_ && !retainName_) gxGLCacheDeleteTexture(name_);
}

size_t GxTexturePVR::usableFileLength(const uint8_t* head, size_t length, unsigned maxSide) {
    if (length < 52) return fail("file shorter than its header"), 0;
    if (std::memcmp(head + 44, "PVR!", 4) != 0) return fail("bad tag"), 0;
    const uint32_t height = le32(head + 4), width = le32(head + 8), dataLength = le32(head + 20);
    const PixelType* row = rowForType(le32(head + 16) & 0xff, nullptr);
    if (!row) return fail("unknown pixel type"), 0;
    if (width == 0 || height == 0) return fail("empty size"), 0;
    if (!GxTexture2D::checkTextureSize(width, height, int(row->bpp), "PVR", maxSide)) return 0;
    // Every level the walk can record, at their full sizes.
    uint64_t chain = 0, w = width, h = height;
    for (int i = 0; i < kMaxMipmaps; ++i) {
        chain += levelBytes(*row, w, h);
        w = std::max<uint64_t>(w >> 1, 1);
        h = std::max<uint64_t>(h >> 1, 1);
    }
    return 52 + size_t(std::min<uint64_t>(dataLength, chain));
}

bool GxTexturePVR::initWithContentsOfFile(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    auto& conf = GxConfiguration::sharedConfiguration();
    setSupport(conf.supportsNPOT(), conf.supportsBGRA8888());
    setMaxSide(GxTexture2D::maxTextureSide());
    // What compressed files may inflate to follows from the largest texture
    // one may hold; a gzip file is read as far as its header says it needs.
    const size_t most = 52 + size_t(GxTexture2D::kMaxTextureBytes) / 3 * 4 + kMaxMipmaps * 256;
    std::vector<uint8_t> data;
    long len;
    if (endsWith(lower, ".ccz")) {
        len = gxReadCCZFile(path, data, most);
    } else if (endsWith(lower, ".gz")) {
        len = gxReadGzipPrefix(path, data, 52);
        if (len >= 0) {
            size_t usable = usableFileLength(data.data(), data.size(), maxSide_);
            if (usable == 0) return false;
            len = gxReadGzipPrefix(path, data, usable);
        }
    } else {
        len = gxReadWholeFile(path, data);
    }
    if (len < 0) return false;
    data_ = std::move(data);
    bool ok = unpackPVRData(data_.data(), data_.size()) && createGLTexture();
    data_.clear();
    data_.shrink_to_fit();
    return ok;
}

bool GxTexturePVR::unpackPVRData(const uint8_t* data, size_t length) {
    numberOfMipmaps_ = 0;
    tableFormatIndex_ = -1;
    width_ = height_ = 0;
    hasAlpha_ = false;
    if (length < 52) return fail("file shorter than its header"), false;
    if (std::memcmp(data + 44, "PVR!", 4) != 0) return fail("bad tag"), false;
    uint32_t height = le32(data + 4), width = le32(data + 8), flags = le32(data + 16);
    uint32_t dataLength = le32(data + 20), alphaMask = le32(data + 40);
    if (width == 0 || height == 0) return fail("empty size"), false;
    if (!supportsNPOT_ && (!isPowerOfTwo(width) || !isPowerOfTwo(height)))
        return fail("size is not a power of two"), false;
    if (dataLength > length - 52) return fail("data length runs past the end of the file"), false;
    uint32_t pixelType = flags & 0xff;
    const PixelType* row = rowForType(pixelType, &tableFormatIndex_);
    if (!row) return fail("unknown pixel type"), false;
    if (pixelType == 0x1A && !supportsBGRA_) return fail("BGRA8888 not supported"), false;
    if (!GxTexture2D::checkTextureSize(width, height, int(row->bpp), "PVR", maxSide_)) {
        tableFormatIndex_ = -1;
        return false;
    }
    width_ = width;
    height_ = height;
    hasAlpha_ = alphaMask != 0;
    format_ = row->engineFormat;
    // The file's own buffer is kept as it is rather than copied.
    if (data == data_.data())
        data_.resize(52 + size_t(dataLength));
    else
        data_.assign(data, data + 52 + dataLength);

    uint64_t w = width, h = height;
    size_t consumed = 0;
    while (consumed < dataLength) {
        if (numberOfMipmaps_ == kMaxMipmaps) {
            fail("more than 16 levels; the rest is ignored");
            break;
        }
        uint64_t size = levelBytes(*row, w, h);
        size_t left = dataLength - consumed;
        size_t len = size_t(std::min<uint64_t>(size, left));
        mipmaps_[numberOfMipmaps_].offset = 52 + consumed;
        mipmaps_[numberOfMipmaps_].len = len;
        ++numberOfMipmaps_;
        consumed += len;
        w = std::max<uint64_t>(w >> 1, 1);
        h = std::max<uint64_t>(h >> 1, 1);
    }
    return true;
}

bool GxTexturePVR::createGLTexture() {
    if (numberOfMipmaps_ == 0 || tableFormatIndex_ < 0) return true;
    const PixelType& row = kTable[tableFormatIndex_];
    // Checked again against this GL's own maximum before any GL call.
    if (!GxTexture2D::checkTextureSize(width_, height_, int(row.bpp), "PVR")) return false;
    if (row.compressed && !GxConfiguration::sharedConfiguration().supportsPVRTC()) {
        fail("compressed textures not supported here");
        return false;
    }
    if (name_) gxGLCacheDeleteTexture(name_);
    gl::PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gl::GenTextures(1, &name_);
    gxGLCacheBindTexture(name_);
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                      numberOfMipmaps_ == 1 ? GL_LINEAR : GL_LINEAR_MIPMAP_NEAREST);
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl::TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    GLenum err = gl::GetError();
    if (err != GL_NO_ERROR) foundation::warn("OpenGL error 0x%04X in %s", err, "GxTexturePVR::createGLTexture");
    unsigned w = width_, h = height_;
    for (unsigned i = 0; i < numberOfMipmaps_; ++i) {
        const uint8_t* bytes = data_.data() + mipmaps_[i].offset;
        size_t len = mipmaps_[i].len;
        // An uncompressed level shorter than its size (a short last level)
        // would make GL read past the data.
        size_t need = size_t(w) * h * row.bpp / 8;
        if (!row.compressed && len < need) {
            fail("level shorter than its size");
            return false;
        }
        if (row.compressed)
            gl::CompressedTexImage2D(GL_TEXTURE_2D, GLint(i), row.internalFormat, GLsizei(w), GLsizei(h), 0,
                                     GLsizei(len), bytes);
        else
            gl::TexImage2D(GL_TEXTURE_2D, GLint(i), GLint(row.internalFormat), GLsizei(w), GLsizei(h), 0, row.format,
                           row.type, bytes);
        if (gl::GetError() != GL_NO_ERROR) {
            fail("upload failed");
            return false;
        }
        w = std::max(w >> 1, 1u);
        h = std::max(h >> 1, 1u);
    }
    return true;
}

}  // namespace engine2d
