#include "lib/http/HttpDataDecompressor.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace http {
namespace {

constexpr size_t kFileChunk = 262144;
constexpr size_t kMinGrowth = 1024;  // smallest output buffer

HttpErrorRef fileError(std::string text, HttpErrorRef underlying = nullptr) {
    return makeHttpError(kCompressionError, std::move(text), std::move(underlying));
}

}  // namespace

std::unique_ptr<HttpDataDecompressor> HttpDataDecompressor::decompressor() {
    std::unique_ptr<HttpDataDecompressor> d(new HttpDataDecompressor());
    d->setupStream();
    return d;
}

HttpDataDecompressor::~HttpDataDecompressor() { closeStream(); }

HttpErrorRef HttpDataDecompressor::setupStream() {
    if (ready_) return nullptr;
    stream_ = z_stream{};
    int rc = inflateInit2(&stream_, 47);  // 15 window bits + 32: gzip or zlib header
    if (rc != Z_OK) return inflateErrorWithCode(rc);
    ready_ = true;
    ended_ = false;
    return nullptr;
}

HttpErrorRef HttpDataDecompressor::closeStream() {
    if (!ready_) return nullptr;
    ready_ = false;
    int rc = inflateEnd(&stream_);
    if (rc != Z_OK) return inflateErrorWithCode(rc);
    return nullptr;
}

HttpErrorRef HttpDataDecompressor::inflateErrorWithCode(int code) {
    char text[96];
    std::snprintf(text, sizeof text, "Decompression of data failed with code %i", code);
    return makeHttpError(kCompressionError, text);
}

std::optional<Bytes> HttpDataDecompressor::uncompressBytes(const uint8_t* bytes, size_t length, HttpErrorRef& error,
                                                           size_t sizeHint) {
    error = nullptr;
    if (length == 0) return std::nullopt;
    if (!ready_) {
        error = setupStream();
        if (error) return std::nullopt;
    }
    // With a limit the buffer never grows past what is left of it and one
    // byte: that byte, filled, says the stream goes on past the limit.
    size_t room = SIZE_MAX;
    if (outputLimit_ > 0)
        room = size_t(std::min<uint64_t>(outputLimit_ - std::min(totalOut_, outputLimit_) + 1, SIZE_MAX));
    Bytes out(std::min(std::max({length + length / 2, kMinGrowth, sizeHint + 1}), room));
    size_t produced = 0;
    stream_.next_in = const_cast<Bytef*>(bytes);
    stream_.avail_in = uInt(length);
    while (!ended_) {
        // All input taken with room to spare: nothing is left inside zlib.
        // (With the output full, zlib may still hold output: go round again.)
        if (stream_.avail_in == 0 && produced < out.size()) break;
        if (produced == out.size()) {
            if (out.size() >= room) break;
            out.resize(std::min(out.size() + std::max({length / 2, kMinGrowth, out.size() / 2}), room));
        }
        stream_.next_out = out.data() + produced;
        stream_.avail_out = uInt(std::min<size_t>(out.size() - produced, UINT32_MAX));
        size_t before = stream_.avail_out;
        int rc = inflate(&stream_, Z_NO_FLUSH);
        produced += before - stream_.avail_out;
        if (rc == Z_STREAM_END) {
            ended_ = true;
        } else if (rc == Z_BUF_ERROR && stream_.avail_in == 0) {
            break;  // no progress possible without more input
        } else if (rc != Z_OK) {
            error = inflateErrorWithCode(rc);
            return std::nullopt;
        }
    }
    totalOut_ += produced;
    if (outputLimit_ > 0 && totalOut_ > outputLimit_) {
        error = responseTooLargeError(outputLimit_);
        return std::nullopt;
    }
    out.resize(produced);
    return out;
}

std::optional<Bytes> HttpDataDecompressor::uncompressData(const Bytes& data, HttpErrorRef& error, uint64_t limit) {
    auto d = decompressor();
    d->setOutputLimit(limit);
    // A gzip member ends with the inflated size (mod 2^32): with it the output
    // is allocated once. A wrong hint only costs a resize.
    size_t hint = 0;
    if (data.size() >= 18 && data[0] == 0x1f && data[1] == 0x8b) {
        size_t n = data.size();
        hint = size_t(data[n - 4]) | size_t(data[n - 3]) << 8 | size_t(data[n - 2]) << 16 | size_t(data[n - 1]) << 24;
        hint = std::min(hint, data.size() * 1032);  // deflate cannot expand more than this
    }
    auto out = d->uncompressBytes(data.data(), data.size(), error, hint);
    if (error) return std::nullopt;
    if (!out) return std::nullopt;
    if (!d->streamEnded()) {
        error = inflateErrorWithCode(Z_BUF_ERROR);
        return std::nullopt;
    }
    return out;
}

bool HttpDataDecompressor::uncompressDataFromFile(const std::string& source, const std::string& destination,
                                                  HttpErrorRef& error, uint64_t limit) {
    error = nullptr;
    FILE* out = std::fopen(destination.c_str(), "wb");
    if (!out) {
        error = fileError("Decompression of " + source + " failed because we were to create a file at " + destination);
        return false;
    }
    FILE* in = std::fopen(source.c_str(), "rb");
    if (!in) {
        std::fclose(out);
        error = fileError("Decompression of " + source + " failed the file does not exist");
        return false;
    }
    auto d = decompressor();
    d->setOutputLimit(limit);
    Bytes chunk(kFileChunk);
    bool ok = true;
    while (d->streamReady() && !d->streamEnded()) {
        size_t n = std::fread(chunk.data(), 1, chunk.size(), in);
        if (std::ferror(in)) {
            error = fileError("Decompression of " + source +
                              " failed because we were unable to read from the source data file");
            ok = false;
            break;
        }
        if (n == 0) break;
        auto inflated = d->uncompressBytes(chunk.data(), n, error);
        if (error) {
            ok = false;
            break;
        }
        if (inflated && !inflated->empty() &&
            std::fwrite(inflated->data(), 1, inflated->size(), out) != inflated->size()) {
            error = fileError("Decompression of " + source +
                              " failed because we were unable to write to the destination data file at " + destination);
            ok = false;
            break;
        }
    }
    if (ok && !d->streamEnded()) {
        error = inflateErrorWithCode(Z_BUF_ERROR);
        ok = false;
    }
    std::fclose(in);
    if (std::fclose(out) != 0 && ok) {
        error = fileError("Decompression of " + source +
                          " failed because we were unable to write to the destination data file at " + destination);
        ok = false;
    }
    HttpErrorRef closing = d->closeStream();
    if (ok && closing) {
        error = closing;
        ok = false;
    }
    // Nothing of a stream that went past its limit is left behind.
    if (!ok && error && error->code == kResponseTooLargeErrorType) std::remove(destination.c_str());
    return ok;
}

}  // namespace http
