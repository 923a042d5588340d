#pragma once
// Gzip-compresses data (request bodies): block by block as one continuous
// stream, whole data at once, or a file into another.

#include <zlib.h>

#include <memory>
#include <optional>
#include <string>

#include "lib/http/HttpDataDecompressor.h"
#include "lib/http/HttpError.h"

namespace http {

class HttpDataCompressor {
public:
    // A compressor with its stream set up.
    static std::unique_ptr<HttpDataCompressor> compressor();
    ~HttpDataCompressor();
    HttpDataCompressor(const HttpDataCompressor&) = delete;
    HttpDataCompressor& operator=(const HttpDataCompressor&) = delete;

    HttpErrorRef setupStream();
    HttpErrorRef closeStream();
    bool streamReady() const { return ready_; }

    // Compresses the next block; with `shouldFinish` the gzip member is
    // completed. nullopt without error for an empty block that finishes
    // nothing; nullopt with `error` on a zlib failure.
    std::optional<Bytes> compressBytes(const uint8_t* bytes, size_t length, HttpErrorRef& error, bool shouldFinish);
    // A whole gzip member of the data; nullopt for empty data.
    static std::optional<Bytes> compressData(const Bytes& data, HttpErrorRef& error);
    // Compresses a file into another, 256 KiB at a time. The destination
    // always ends with a finished stream.
    static bool compressDataFromFile(const std::string& source, const std::string& destination, HttpErrorRef& error);
    // Code 11 "Compression of data failed with code %i".
    static HttpErrorRef deflateErrorWithCode(int code);

private:
    HttpDataCompressor() = default;
    z_stream stream_{};
    bool ready_ = false;
};

}  // namespace http
