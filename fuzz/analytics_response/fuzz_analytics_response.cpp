// Feeds arbitrary collector replies to the response parser, cut into chunks
// as the socket might deliver them. The first byte picks the chunk size; a
// delegate resets the parser now and then as the dispatcher does between
// batches. Checks that every callback reports a sane state.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "lib/analytics/TrkHTTPResponseParser.h"

namespace {

struct Checker : TrkHTTPResponseParserDelegate {
    unsigned parsed = 0;
    unsigned resetEvery = 0;
    void responseParsed(TrkHTTPResponseParser& parser, bool) override {
        if (parser.state() != 0 || parser.contentLength() < 0) abort();
        ++parsed;
        if (resetEvery && parsed % resetEvery == 0) parser.reset();
    }
    void parseError(TrkHTTPResponseParser& parser, int statusCode) override {
        if (statusCode == 200 || parser.state() != 0) abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t chunk = (data[0] & 0x3f) + 1;
    Checker checker;
    checker.resetEvery = data[0] >> 6;
    TrkHTTPResponseParser parser(&checker);
    for (size_t pos = 1; pos < size; pos += chunk) {
        size_t n = size - pos < chunk ? size - pos : chunk;
        parser.parseResponse(data + pos, static_cast<int>(n));
        if (parser.contentLength() < 0) abort();
    }
    return 0;
}
