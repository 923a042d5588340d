#include "lib/http/HttpDataCompressor.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace http {
namespace {

constexpr size_t kFileChunk = 262144;
// Output space is never smaller than this, whatever the input length.
constexpr size_t kMinBuffer = 16384;

HttpErrorRef fileError(std::string text, HttpErrorRef underlying = nullptr) {
    return makeHttpError(kCompressionError, std::move(text), std::move(underlying));
}

}  // namespace

std::unique_ptr<HttpDataCompressor> HttpDataCompressor::compressor() {
    std::unique_ptr<HttpDataCompressor> c(new HttpDataCompressor());
    c->setupStream();
    return c;
}

HttpDataCompressor::~HttpDataCompressor() { closeStream(); }

HttpErrorRef HttpDataCompressor::setupStream() {
    if (ready_) return nullptr;
    stream_ = z_stream{};
    // Default level, deflate, 15 window bits + 16 for the gzip wrapper, memory level 8.
    int rc = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    if (rc != Z_OK) return deflateErrorWithCode(rc);
    ready_ = true;
    return nullptr;
}

HttpErrorRef HttpDataCompressor::closeStream() {
    if (!ready_) return nullptr;
    ready_ = false;
    int rc = deflateEnd(&stream_);
    // Ending a stream that was never finished is no error of the caller's data.
    if (rc != Z_OK && rc != Z_DATA_ERROR) return deflateErrorWithCode(rc);
    return nullptr;
}

HttpErrorRef HttpDataCompressor::deflateErrorWithCode(int code) {
    char text[96];
    std::snprintf(text, sizeof text, "Compression of data failed with code %i", code);
    return makeHttpError(kCompressionError, text);
}

std::optional<Bytes> HttpDataCompressor::compressBytes(const uint8_t* bytes, size_t length, HttpErrorRef& error,
                                                       bool shouldFinish) {
    error = nullptr;
    if (length == 0 && !shouldFinish) return std::nullopt;
    if (!ready_) {
        error = setupStream();
        if (error) return std::nullopt;
    }
    size_t growth = std::max(length / 2, kMinBuffer);
    Bytes out(std::max(length / 2, kMinBuffer));
    size_t produced = 0;
    stream_.next_in = const_cast<Bytef*>(bytes);
    stream_.avail_in = uInt(length);
    while (true) {
        if (produced == out.size()) out.resize(out.size() + growth);
        stream_.next_out = out.data() + produced;
        stream_.avail_out = uInt(out.size() - produced);
        int rc = deflate(&stream_, shouldFinish ? Z_FINISH : Z_NO_FLUSH);
        produced = out.size() - stream_.avail_out;
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK && !(rc == Z_BUF_ERROR && stream_.avail_out > 0)) {
            error = deflateErrorWithCode(rc);
            return std::nullopt;
        }
        // Without finishing, deflate is done once it leaves output space free.
        if (!shouldFinish && stream_.avail_out > 0 && stream_.avail_in == 0) break;
    }
    out.resize(produced);
    if (length == 0 && produced == 0) return std::nullopt;
    return out;
}

std::optional<Bytes> HttpDataCompressor::compressData(const Bytes& data, HttpErrorRef& error) {
    error = nullptr;
    if (data.empty()) return std::nullopt;
    auto c = compressor();
    auto out = c->compressBytes(data.data(), data.size(), error, true);
    if (error) return std::nullopt;
    return out;
}

bool HttpDataCompressor::compressDataFromFile(const std::string& source, const std::string& destination,
                                              HttpErrorRef& error) {
    error = nullptr;
    FILE* out = std::fopen(destination.c_str(), "wb");
    if (!out) {
        error = fileError("Compression of " + source + " failed because we were to create a file at " + destination);
        return false;
    }
    FILE* in = std::fopen(source.c_str(), "rb");
    if (!in) {
        std::fclose(out);
        error = fileError("Compression of " + source + " failed the file does not exist");
        return false;
    }
    auto c = compressor();
    Bytes chunk(kFileChunk);
    bool ok = true;
    bool finished = false;
    while (c->streamReady() && !finished) {
        size_t n = std::fread(chunk.data(), 1, chunk.size(), in);
        if (std::ferror(in)) {
            error = fileError("Compression of " + source +
                              " failed because we were unable to read from the source data file");
            ok = false;
            break;
        }
        // A short read is the last chunk; a 0-byte read after full chunks
        // finishes the stream with nothing more.
        finished = n < kFileChunk;
        auto compressed = c->compressBytes(chunk.data(), n, error, finished);
        if (error) {
            ok = false;
            break;
        }
        if (compressed && !compressed->empty() &&
            std::fwrite(compressed->data(), 1, compressed->size(), out) != compressed->size()) {
            error = fileError("Compression of " + source +
                              " failed because we were unable to write to the destination data file at " + destination);
            ok = false;
            break;
        }
    }
    std::fclose(in);
    if (std::fclose(out) != 0 && ok) {
        error = fileError("Compression of " + source +
                          " failed because we were unable to write to the destination data file at " + destination);
        ok = false;
    }
    HttpErrorRef closing = c->closeStream();
    if (ok && closing) {
        error = closing;
        ok = false;
    }
    return ok;
}

}  // namespace http
