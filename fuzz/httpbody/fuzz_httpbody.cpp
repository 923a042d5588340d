// The reply reader's decoding paths: a chunked body is de-chunked by the
// response parser in pieces, then inflated (gzip or zlib) in pieces under an
// output limit. Checks: the de-chunked body is never longer than its input;
// the inflater never hands out more than its limit; inflating in pieces
// gives what inflating whole gives; and under a limit the result is the
// unlimited one when that fits, else the limit's error (code 12).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "lib/http/HttpDataDecompressor.h"
#include "lib/http/HttpError.h"
#include "platform/net/HttpResponseParser.h"

using http::Bytes;
using http::HttpDataDecompressor;
using http::HttpErrorRef;
using net::HttpResponseParser;

static void check(bool ok) {
    if (!ok) std::abort();
}

namespace {

// Inflates in pieces of `piece` bytes; nullopt with the error on failure,
// or when the stream did not end.
std::optional<Bytes> inflateInPieces(const Bytes& data, size_t piece, uint64_t limit, HttpErrorRef& error) {
    auto d = HttpDataDecompressor::decompressor();
    d->setOutputLimit(limit);
    Bytes out;
    for (size_t offset = 0; offset < data.size() && !d->streamEnded(); offset += piece) {
        size_t n = std::min(piece, data.size() - offset);
        auto part = d->uncompressBytes(data.data() + offset, n, error);
        if (error) return std::nullopt;
        if (part) out.insert(out.end(), part->begin(), part->end());
        if (limit > 0) check(out.size() <= limit);
    }
    if (!d->streamEnded()) return std::nullopt;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    // The first bytes pick the parser's piece size, the inflater's piece size
    // and the limit (0: none).
    size_t parsePiece = data[0] % 32 + 1;
    size_t inflatePiece = data[1] % 64 + 1;
    uint64_t limit = uint64_t(data[2]) * 97;
    std::string input = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    input.append(reinterpret_cast<const char*>(data + 3), size - 3);

    HttpResponseParser parser("GET");
    std::string body;
    size_t offset = 0;
    while (offset < input.size() && parser.state() != HttpResponseParser::State::Done &&
           parser.state() != HttpResponseParser::State::Failed) {
        size_t n = std::min(parsePiece, input.size() - offset);
        size_t used = parser.feed(input.data() + offset, n, body);
        check(used <= n);
        if (used == 0) break;
        offset += used;
    }
    parser.feedEnd();
    check(parser.framing() == HttpResponseParser::Framing::Chunked);
    check(body.size() <= size - 3);

    // The de-chunked body, or the raw bytes when the chunks were bad, goes to
    // the inflater.
    Bytes compressed = parser.state() == HttpResponseParser::State::Done ? Bytes(body.begin(), body.end())
                                                                         : Bytes(data + 3, data + size);
    HttpErrorRef wholeError;
    auto whole = HttpDataDecompressor::uncompressData(compressed, wholeError);
    HttpErrorRef piecesError;
    auto pieces = inflateInPieces(compressed, inflatePiece, 0, piecesError);
    if (whole && pieces) check(*whole == *pieces);
    if (whole) check(pieces.has_value());

    if (limit > 0 && whole) {
        HttpErrorRef limitedError;
        auto limited = inflateInPieces(compressed, inflatePiece, limit, limitedError);
        if (whole->size() <= limit) {
            check(limited && *limited == *whole);
        } else {
            check(!limited && limitedError && limitedError->code == http::kResponseTooLargeErrorType);
        }
        HttpErrorRef wholeLimitedError;
        auto wholeLimited = HttpDataDecompressor::uncompressData(compressed, wholeLimitedError, limit);
        check(wholeLimited.has_value() == (whole->size() <= limit));
    }
    return 0;
}
