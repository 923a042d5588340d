#include "lib/engine2d/files/GxContainers.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "lib/engine2d/files/GxFileUtils.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Log.h"

namespace engine2d {

namespace {

void logFailure(const std::string& what) { foundation::warn("engine2d: %s", what.c_str()); }

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

}  // namespace

size_t gxInflateBufferWithHint(const uint8_t* in, size_t inLength, std::vector<uint8_t>& out, size_t hint,
                               size_t limit) {
    out.clear();
    if (!in || inLength == 0 || hint == 0 || inLength > UINT32_MAX) return 0;
    size_t size = std::min(hint, limit);
    out.resize(size);
    z_stream s{};
    s.next_in = const_cast<Bytef*>(in);
    s.avail_in = uInt(inLength);
    s.next_out = out.data();
    s.avail_out = uInt(size);
    if (inflateInit2(&s, 15 + 32) != Z_OK) {
        out.clear();
        return 0;
    }
    int err = Z_OK;
    bool ok = false;
    for (;;) {
        err = inflate(&s, Z_NO_FLUSH);
        if (err == Z_STREAM_END) {
            ok = true;
            break;
        }
        if (err == Z_NEED_DICT || err == Z_DATA_ERROR || err == Z_MEM_ERROR) break;
        // The input ran out before the stream ended: truncated data. More
        // output space would not help, so stop instead of growing forever.
        if (s.avail_in == 0) break;
        if (s.avail_out == 0) {
            if (size >= limit) {
                logFailure("inflated data runs past the limit of " + std::to_string(limit) + " bytes");
                inflateEnd(&s);
                out.clear();
                return 0;
            }
            size_t grown = std::min(size * 2, limit);
            out.resize(grown);
            s.next_out = out.data() + size;
            s.avail_out = uInt(grown - size);
            size = grown;
        }
    }
    size_t length = size - s.avail_out;
    if (inflateEnd(&s) != Z_OK) ok = false;
    if (!ok) {
        logFailure("inflate failed: damaged or truncated data");
        out.clear();
        return 0;
    }
    out.resize(length);
    return length;
}

size_t gxInflateBuffer(const uint8_t* in, size_t inLength, std::vector<uint8_t>& out, size_t limit) {
    return gxInflateBufferWithHint(in, inLength, out, 256 * 1024, limit);
}

namespace {

// Reads up to `limit` inflated bytes. With `prefix` the rest of the file is
// left alone; without, data past the limit fails the read.
long readGzip(const std::string& path, std::vector<uint8_t>& out, size_t limit, bool prefix) {
    out.clear();
    gzFile f = gzopen(path.c_str(), "rb");
    if (!f) return -1;
    size_t readSize = 512 * 1024;
    size_t total = 0;
    bool ended = false;
    // One byte past the limit tells data that is too long from data that fits.
    const size_t want = prefix ? limit : limit + 1;
    while (total < want) {
        size_t ask = std::min(readSize, want - total);
        out.resize(total + ask);
        int got = gzread(f, out.data() + total, unsigned(ask));
        if (got < 0) {
            logFailure("gzip read failed: " + path);
            gzclose(f);
            out.clear();
            return -1;
        }
        total += size_t(got);
        if (size_t(got) < ask) {
            ended = true;
            break;
        }
        readSize *= 2;
    }
    if (!prefix && total > limit) {
        logFailure("gzip data runs past the limit of " + std::to_string(limit) + " bytes: " + path);
        gzclose(f);
        out.clear();
        return -1;
    }
    // A truncated stream reads short without an error; the close reports it.
    int closed = gzclose(f);
    if (ended && closed != Z_OK) {
        logFailure("gzip data damaged or truncated: " + path);
        out.clear();
        return -1;
    }
    out.resize(total);
    return long(total);
}

}  // namespace

long gxReadGzipFile(const std::string& path, std::vector<uint8_t>& out, size_t limit) {
    return readGzip(path, out, limit, false);
}

long gxReadGzipPrefix(const std::string& path, std::vector<uint8_t>& out, size_t length) {
    return readGzip(path, out, length, true);
}

long gxInflateCCZ(const uint8_t* data, size_t length, std::vector<uint8_t>& out, size_t limit) {
    out.clear();
    if (length < 16 || std::memcmp(data, "CCZ!", 4) != 0) {
        logFailure("CCZ: bad signature or short header");
        return -1;
    }
    uint16_t type = be16(data + 4), version = be16(data + 6);
    uint32_t len = be32(data + 12);
    if (type != 0 || version > 2) {
        logFailure("CCZ: unsupported compression type or version");
        return -1;
    }
    // zlib cannot expand data more than about 1032 times: a larger claimed
    // length is a damaged header, not a reason to allocate it.
    size_t payload = length - 16;
    if (len == 0 || double(len) > double(payload) * 1040.0 + 1024.0) {
        logFailure("CCZ: uncompressed length does not fit the file");
        return -1;
    }
    if (len > limit) {
        logFailure("CCZ: uncompressed length " + std::to_string(len) + " is over the limit of " +
                   std::to_string(limit) + " bytes");
        return -1;
    }
    out.resize(len);
    uLongf destLen = len;
    if (uncompress(out.data(), &destLen, data + 16, uLong(payload)) != Z_OK || destLen != len) {
        logFailure("CCZ: damaged data");
        out.clear();
        return -1;
    }
    return long(len);
}

long gxReadCCZFile(const std::string& path, std::vector<uint8_t>& out, size_t limit) {
    std::vector<uint8_t> file;
    if (gxReadWholeFile(path, file) < 0) {
        out.clear();
        return -1;
    }
    return gxInflateCCZ(file.data(), file.size(), out, limit);
}

GxImageTGA gxTGALoadData(const uint8_t* data, size_t length) {
    GxImageTGA img;
    if (length < 18) {
        img.status = kTGAReadFailed;
        return img;
    }
    uint8_t idLength = data[0];
    uint8_t colourMapType = data[1];
    img.type = data[2];
    uint16_t mapLength = le16(data + 5);
    uint8_t mapDepth = data[7];
    img.width = le16(data + 12);
    img.height = le16(data + 14);
    img.pixelDepth = data[16];
    img.flipped = (data[17] & 0x20) ? 1 : 0;
    if (img.type == 1) {
        img.status = kTGAIndexedColour;
        return img;
    }
    if (img.type != 2 && img.type != 3 && img.type != 10) {
        img.status = kTGAUnsupportedType;
        return img;
    }
    if (img.pixelDepth != 8 && img.pixelDepth != 16 && img.pixelDepth != 24 && img.pixelDepth != 32) {
        img.status = kTGAUnsupportedType;
        return img;
    }
    // The pixels follow the identification field and any colour map.
    size_t pos = 18 + size_t(idLength);
    if (colourMapType == 1) pos += size_t(mapLength) * ((mapDepth + 7) / 8);
    if (pos > length) {
        img.status = kTGAReadFailed;
        return img;
    }
    const size_t bpp = img.pixelDepth / 8;
    const size_t total = size_t(img.width) * img.height * bpp;
    // The pixels must fit what is left of the file before anything is
    // allocated: raw data byte for byte, run-length data at most 128 pixels
    // per packet of one header byte and one pixel.
    const size_t left = length - pos;
    const size_t reach = img.type == 10 ? left / (1 + bpp) * 128 * bpp : left;
    if (total > reach) {
        img.status = kTGAReadFailed;
        return img;
    }
    if (total > kGxMaxInflatedBytes) {
        logFailure("TGA: " + std::to_string(img.width) + " x " + std::to_string(img.height) +
                   " pixels are over the limit of " + std::to_string(kGxMaxInflatedBytes) + " bytes");
        img.status = kTGAOutOfMemory;
        return img;
    }
    img.imageData.assign(total, 0);
    if (img.type != 10) {
        if (total) std::memcpy(img.imageData.data(), data + pos, total);
    } else {
        size_t o = 0;
        while (o < total) {
            if (pos >= length) break;
            uint8_t header = data[pos++];
            size_t count = (header & 0x7f) + 1;
            bool run = header & 0x80;
            if (run) {
                if (length - pos < bpp) break;
                for (size_t i = 0; i < count && o < total; ++i, o += bpp)
                    std::memcpy(&img.imageData[o], data + pos, bpp);
                pos += bpp;
            } else {
                for (size_t i = 0; i < count && o < total; ++i, o += bpp) {
                    if (length - pos < bpp) {
                        o = total + 1;
                        break;
                    }
                    std::memcpy(&img.imageData[o], data + pos, bpp);
                    pos += bpp;
                }
            }
        }
        if (o < total || o == total + 1) {
            img.status = kTGAReadFailed;
            img.imageData.clear();
            return img;
        }
    }
    if (bpp >= 3) {
        for (size_t i = 0; i + bpp <= total; i += bpp) std::swap(img.imageData[i], img.imageData[i + 2]);
    }
    if (img.flipped) {
        size_t row = size_t(img.width) * bpp;
        for (size_t y = 0; y < img.height / 2u; ++y)
            std::swap_ranges(img.imageData.begin() + long(y * row), img.imageData.begin() + long((y + 1) * row),
                             img.imageData.begin() + long((img.height - 1 - y) * row));
        img.flipped = 0;
    }
    img.status = kTGALoadOK;
    return img;
}

GxImageTGA gxTGALoad(const std::string& path) {
    std::vector<uint8_t> file;
    if (gxReadWholeFile(path, file) < 0) {
        GxImageTGA img;
        img.status = kTGAFileOpenFailed;
        return img;
    }
    GxImageTGA img = gxTGALoadData(file.data(), file.size());
    if (img.status != kTGALoadOK) logFailure("TGA load failed (status " + std::to_string(img.status) + "): " + path);
    return img;
}

int base64Decode(const uint8_t* in, size_t length, std::vector<uint8_t>& out) {
    out.clear();
    // Engine data is read leniently; a single character left over at the end
    // cannot hold a byte and fails the data.
    auto bytes = foundation::base64DecodeLenient(std::string_view(reinterpret_cast<const char*>(in), length),
                                                 foundation::Base64Leftover::Fail);
    if (!bytes) {
        foundation::warn("base64Decode: encoding incomplete: at least 2 bits missing");
        return 1;
    }
    out = std::move(*bytes);
    return 0;
}

size_t Base64Utils(const uint8_t* in, size_t length, std::vector<uint8_t>& out) {
    if (base64Decode(in, length, out) != 0) {
        foundation::warn("Base64Utils: error decoding");
        out.clear();
        return 0;
    }
    return out.size();
}

}  // namespace engine2d
