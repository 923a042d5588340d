#pragma once
// Inflates gzip- or zlib-wrapped data (the header kind is detected), in one
// go or block by block as a reply arrives.

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lib/http/HttpError.h"

namespace http {

using Bytes = std::vector<uint8_t>;

class HttpDataDecompressor {
public:
    // A decompressor with its stream set up.
    static std::unique_ptr<HttpDataDecompressor> decompressor();
    ~HttpDataDecompressor();
    HttpDataDecompressor(const HttpDataDecompressor&) = delete;
    HttpDataDecompressor& operator=(const HttpDataDecompressor&) = delete;

    // nullptr, or the error of a failed set-up (the stream stays not ready).
    HttpErrorRef setupStream();
    HttpErrorRef closeStream();
    bool streamReady() const { return ready_; }
    // Whether the compressed stream's end was reached.
    bool streamEnded() const { return ended_; }

    // Inflates the next block of one continuous stream. nullopt with `error`
    // set on corrupt data; nullopt without error for an empty block.
    // `sizeHint`: the expected output size, when known.
    std::optional<Bytes> uncompressBytes(const uint8_t* bytes, size_t length, HttpErrorRef& error, size_t sizeHint = 0);

    // Inflates whole data. A stream that stops before its end is an error
    // too (a cut reply must not pass for a whole one).
    static std::optional<Bytes> uncompressData(const Bytes& data, HttpErrorRef& error);
    // Inflates a file into another, 256 KiB at a time.
    static bool uncompressDataFromFile(const std::string& source, const std::string& destination, HttpErrorRef& error);
    // Code 11 "Decompression of data failed with code %i".
    static HttpErrorRef inflateErrorWithCode(int code);

private:
    HttpDataDecompressor() = default;
    z_stream stream_{};
    bool ready_ = false;
    bool ended_ = false;
};

}  // namespace http
