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

// Inflates a zlib or gzip stream (header detected). Returns the inflated
// length, 0 on any failure (out empty). The buffer starts at `hint` bytes and
// doubles as needed, up to `limit`.
size_t gxInflateBufferWithHint(const uint8_t* in, size_t inLength, std::vector<uint8_t>& out, size_t hint,
                               size_t limit = size_t(1) << 30);
size_t gxInflateBuffer(const uint8_t* in, size_t inLength, std::vector<uint8_t>& out);
// Whole gzip file; -1 on failure.
long gxReadGzipFile(const std::string& path, std::vector<uint8_t>& out);
// "CCZ!" data in memory / on disk; -1 on failure.
long gxInflateCCZ(const uint8_t* data, size_t length, std::vector<uint8_t>& out);
long gxReadCCZFile(const std::string& path, std::vector<uint8_t>& out);

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

GxImageTGA gxTGALoad(const std::string& path);
GxImageTGA gxTGALoadData(const uint8_t* data, size_t length);

// 0 on success, 1 on an error (a lone character left before "=" or the end).
int base64Decode(const uint8_t* in, size_t length, std::vector<uint8_t>& out);
// The decoded length, 0 on an error (out empty).
size_t Base64Utils(const uint8_t* in, size_t length, std::vector<uint8_t>& out);

}  // namespace engine2d
