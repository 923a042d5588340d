#include "lib/analytics/TrkHTTPResponseParser.h"

#include <climits>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr size_t kInitialBufferSize = 4096;
constexpr size_t kMaxWord = 15;        // version and header values
constexpr size_t kMaxHeaderName = 31;  // header names

// Leading blanks, an optional sign, then decimal digits; clamped to int.
int parseDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) value = INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

TrkHTTPResponseParser::TrkHTTPResponseParser(TrkHTTPResponseParserDelegate* delegate)
    : delegate_(delegate), buffer_(kInitialBufferSize) {}

void TrkHTTPResponseParser::reset() {
    contentLength_ = 0;
    start_ = 0;
    end_ = 0;
    state_ = 0;
    ++generation_;
}

void TrkHTTPResponseParser::parseResponse(const uint8_t* bytes, int length) {
    if (!bytes || length <= 0) return;
    size_t n = static_cast<size_t>(length);
    if (buffer_.size() - end_ < n) buffer_.resize(buffer_.size() + n);
    std::memcpy(buffer_.data() + end_, bytes, n);
    size_t last = end_ + n;
    const uint64_t generation = generation_;

    while (end_ < last) {
        size_t i = end_;
        uint8_t c = buffer_[i];
        end_ = i + 1;
        bool lineEnd = c == '\n' && i > 0 && buffer_[i - 1] == '\r';
        if (state_ == 0) {
            if (!lineEnd) continue;
            int status = parseStatusLine(buffer_.data() + start_, static_cast<int>(i + 1 - start_));
            if (status != 200) {
                if (delegate_) delegate_->parseError(*this, status);
                return;
            }
            state_ = 1;
            start_ = i + 1;
            // Every response states its own length; one without the header
            // ends at its empty line.
            contentLength_ = 0;
        } else if (state_ == 1) {
            if (!lineEnd) continue;
            bool emptyLine = i >= 3 && buffer_[i - 3] == '\r' && buffer_[i - 2] == '\n';
            if (!emptyLine) {
                parseHeader(buffer_.data() + start_, static_cast<int>(i + 1 - start_));
                start_ = i + 1;
                continue;
            }
            start_ = i + 1;
            if (contentLength_ > 0) {
                state_ = 2;
            } else {
                state_ = 0;
                if (delegate_) delegate_->responseParsed(*this, persistentConnection_);
                if (generation != generation_) return;
            }
        } else {
            // Body: complete at its contentLength-th byte.
            if (i + 1 - start_ >= static_cast<size_t>(contentLength_)) {
                state_ = 0;
                start_ = i + 1;
                if (delegate_) delegate_->responseParsed(*this, persistentConnection_);
                if (generation != generation_) return;
            }
        }
    }
}

int TrkHTTPResponseParser::parseStatusLine(const uint8_t* line, int length) {
    if (!line || length <= 0) return 500;
    std::string_view text(reinterpret_cast<const char*>(line), static_cast<size_t>(length));
    // Drop the line end.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    size_t firstBlank = text.find(' ');
    if (firstBlank == std::string_view::npos) return 500;
    size_t secondBlank = text.find(' ', firstBlank + 1);
    if (secondBlank == std::string_view::npos) return 500;
    std::string_view version = text.substr(0, firstBlank);
    if (version.size() > kMaxWord) version = version.substr(0, kMaxWord);
    if (version == "HTTP/1.0") persistentConnection_ = false;
    std::string_view code = text.substr(firstBlank + 1, secondBlank - firstBlank - 1);
    if (code.size() > 3) code = code.substr(0, 3);
    return parseDecimal(code);
}

void TrkHTTPResponseParser::parseHeader(const uint8_t* line, int length) {
    if (!line || length <= 0) return;
    std::string_view text(reinterpret_cast<const char*>(line), static_cast<size_t>(length));
    enum { None, ContentLength, Connection } kind = None;
    size_t segmentStart = 0;
    size_t valueStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == ':') {
            std::string_view name = text.substr(segmentStart, i - segmentStart);
            if (name.size() > kMaxHeaderName) name = name.substr(0, kMaxHeaderName);
            if (name == "Content-Length") {
                kind = ContentLength;
                valueStart = i + 1;
            } else if (name == "Connection") {
                kind = Connection;
                valueStart = i + 1;
            }
            segmentStart = i + 1;
        } else if (c == '\r') {
            if (kind == None) return;
            std::string_view value = text.substr(valueStart, i - valueStart);
            if (value.size() > kMaxWord) value = value.substr(0, kMaxWord);
            if (kind == ContentLength) {
                int n = parseDecimal(value);
                // A negative length means no body.
                contentLength_ = n < 0 ? 0 : n;
            } else {
                size_t b = 0;
                while (b < value.size() && (value[b] == ' ' || value[b] == '\t')) ++b;
                if (value.substr(b) == "close") persistentConnection_ = false;
            }
            return;
        }
    }
}
