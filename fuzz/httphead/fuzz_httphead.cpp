// Feeds arbitrary bytes to the response parser, whole and in pieces, and
// checks what it promises: it never reads past what it was given, a complete
// head has a status in 100..999, and a length-framed body never grows beyond
// its Content-Length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/net/HttpResponseParser.h"

using net::HttpResponseParser;

static void check(bool ok) {
    if (!ok) std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    auto head = net::parseResponseHead(bytes);
    if (head.status == net::HeadParseResult::Status::Complete) {
        check(head.consumed <= size);
        check(head.head.statusCode >= 100 && head.head.statusCode <= 999);
        (void)head.head.headers.dictionary();
        (void)head.head.allowsKeepAlive();
    }

    // The first byte picks the method and the piece size.
    const char* method = (size > 0 && (data[0] & 1)) ? "HEAD" : "GET";
    size_t piece = size > 0 ? (data[0] >> 1) % 64 + 1 : 1;
    HttpResponseParser parser(method);
    std::string body;
    size_t offset = 0;
    while (offset < size && parser.state() != HttpResponseParser::State::Done &&
           parser.state() != HttpResponseParser::State::Failed) {
        size_t n = std::min(piece, size - offset);
        size_t used = parser.feed(bytes.data() + offset, n, body);
        check(used <= n);
        if (used == 0) break;
        offset += used;
    }
    parser.feedEnd();
    if (parser.framing() == HttpResponseParser::Framing::Length) check(body.size() <= parser.declaredLength());
    if (parser.state() == HttpResponseParser::State::Done && parser.framing() == HttpResponseParser::Framing::Length)
        check(body.size() == parser.declaredLength());
    return 0;
}
