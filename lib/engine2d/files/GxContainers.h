#pragma once
// The engine's containers: zlib/gzip streams in memory, gzip files, "CCZ!"
// files (a 16-byte big-endian header before one zlib stream), TGA images and
// base64 text. Every reader checks lengths against its input: a damaged or
// truncated file is a failed read with a log line, never a crash or an
// allocation the input cannot justify.

#include <cstdint>
#include <string>
#include <vector>

namespace engine2d {

// The most that compressed engine data (files, payloads of property lists)
// may inflate to when the caller has no tighter bound of its own: a little
// compressed data can claim gigabytes.
constexpr size_t kGxMaxInflatedBytes = size_t(64) << 20;

// Inflates a zlib or gzip stream (header detected). Returns the inflated
// length, 0 on any failure (out empty). The buffer starts at `hint` bytes and
// doubles as needed; a stream that inflates past `limit` bytes is refused
// with an error naming the limit.
size_t gxInflateBufferWithHint(const uint8_t* in, size_t inLength, std::vector<uint8_t>& out, size_t hint,
                               size_t limit = kGxMaxInflatedBytes);
size_t gxInflateBuffer(const uint8_t* in, size_t inLength, std::vector<uint8_t>& out,
                       size_t limit = kGxMaxInflatedBytes);
// Whole gzip file; -1 on failure, and for data inflating past `limit` bytes.
long gxReadGzipFile(const std::string& path, std::vector<uint8_t>& out, size_t limit = kGxMaxInflatedBytes);
// At most the first `length` inflated bytes of a gzip file (fewer when the
// data is shorter); the rest is not inflated. -1 on failure.
long gxReadGzipPrefix(const std::string& path, std::vector<uint8_t>& out, size_t length);
// "CCZ!" data in memory / on disk; -1 on failure, and for a declared length
// above `limit`.
long gxInflateCCZ(const uint8_t* data, size_t length, std::vector<uint8_t>& out, size_t limit = kGxMaxInflatedBytes);
long gxReadCCZFile(const std::string& path, std::vector<uint8_t>& out, size_t limit = kGxMaxInflatedBytes);

enum GxTGAStatus {
    kTGALoadOK = 0,
    kTGAFileOpenFailed = 1,
    kTGAReadFailed = 2,
    kTGAIndexedColour = 3,
    kTGAOutOfMemory = 4,
    kTGAUnsupportedType = 5,
};

struct GxImageTGA {
    int status = kTGAReadFailed;
    uint8_t type = 0;
    uint8_t pixelDepth = 0;
    uint16_t width = 0, height = 0;
    // Rows bottom-up, RGB(A) byte order for 24 and 32 bits.
    std::vector<uint8_t> imageData;
    int flipped = 0;
};

// Pictures whose pixels would take more than kGxMaxInflatedBytes are refused
// (kTGAOutOfMemory) before anything is allocated.
GxImageTGA gxTGALoad(const std::string& path);
GxImageTGA gxTGALoadData(const uint8_t* data, size_t length);

// 0 on success, 1 on an error (a lone character left before "=" or the end).
int base64Decode(const uint8_t* in, size_t length, std::vector<uint8_t>& out);
// The decoded length, 0 on an error (out empty).
size_t Base64Utils(const uint8_t* in, size_t length, std::vector<uint8_t>& out);

}  // namespace engine2d
