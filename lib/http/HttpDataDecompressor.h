#pragma once
// Inflates gzip- or zlib-wrapped data (the header kind is detected), in one
// go or block by block as a reply arrives. An output limit stops a stream
// that inflates to more than its owner takes: the inflater never produces
// more than the limit and one byte, whatever the ratio of the input.

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
    // The most bytes the whole stream may inflate to (0: no limit). Going
    // past it is an error of code 12 (responseTooLargeError).
    void setOutputLimit(uint64_t limit) { outputLimit_ = limit; }
    uint64_t totalOut() const { return totalOut_; }

    // Inflates the next block of one continuous stream. nullopt with `error`
    // set on corrupt data; nullopt without error for an empty block.
    // `sizeHint`: the expected output size, when known.
    std::optional<Bytes> uncompressBytes(const uint8_t* bytes, size_t length, HttpErrorRef& error, size_t sizeHint = 0);

    // Inflates whole data. A stream that stops before its end is an error
    // too (a cut reply must not pass for a whole one). `limit` as in
    // setOutputLimit.
    static std::optional<Bytes> uncompressData(const Bytes& data, HttpErrorRef& error, uint64_t limit = 0);
    // Inflates a file into another, 256 KiB at a time; past the limit the
    // destination is removed.
    static bool uncompressDataFromFile(const std::string& source, const std::string& destination, HttpErrorRef& error,
                                       uint64_t limit = 0);
    // Code 11 "Decompression of data failed with code %i".
    static HttpErrorRef inflateErrorWithCode(int code);

private:
    HttpDataDecompressor() = default;
    z_stream stream_{};
    bool ready_ = false;
    bool ended_ = false;
    uint64_t outputLimit_ = 0;
    uint64_t totalOut_ = 0;
};

}  // namespace http
