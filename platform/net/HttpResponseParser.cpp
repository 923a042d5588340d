#include "platform/net/HttpResponseParser.h"

#include <cctype>
#include <cstring>

namespace net {
namespace {

constexpr size_t kMaxHeaderFields = 256;
constexpr size_t kMaxChunkLine = 4096;
constexpr size_t kMaxTrailerBytes = 64 * 1024;

std::string_view trimOws(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool parseStatusLine(std::string_view line, HttpResponseHead& head) {
    // HTTP/x.y SP 3DIGIT [SP reason]
    if (line.size() < 12 || line.substr(0, 5) != "HTTP/") return false;
    if (!isDigit(line[5]) || line[6] != '.' || !isDigit(line[7]) || line[8] != ' ') return false;
    if (!isDigit(line[9]) || !isDigit(line[10]) || !isDigit(line[11])) return false;
    if (line.size() > 12 && line[12] != ' ') return false;
    head.versionMajor = line[5] - '0';
    head.versionMinor = line[7] - '0';
    if (head.versionMajor != 1) return false;
    head.statusCode = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    if (head.statusCode < 100) return false;
    head.statusLine = std::string(line);
    head.reason = line.size() > 13 ? std::string(line.substr(13)) : std::string();
    return true;
}

}  // namespace

std::optional<uint64_t> parseContentLength(std::string_view text) {
    text = trimOws(text);
    if (text.empty() || text.size() > 19) return std::nullopt;
    uint64_t v = 0;
    for (char c : text) {
        if (!isDigit(c)) return std::nullopt;
        v = v * 10 + uint64_t(c - '0');
    }
    return v;
}

HeadParseResult parseResponseHead(std::string_view bytes) {
    HeadParseResult r;
    size_t pos = 0;
    bool first = true;
    while (true) {
        size_t nl = bytes.find('\n', pos);
        if (nl == std::string_view::npos) {
            if (bytes.size() > kMaxResponseHeadBytes) {
                r.status = HeadParseResult::Status::Error;
                r.error = "response head too large";
            }
            return r;
        }
        if (nl + 1 > kMaxResponseHeadBytes) {
            r.status = HeadParseResult::Status::Error;
            r.error = "response head too large";
            return r;
        }
        std::string_view line = bytes.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = nl + 1;
        auto fail = [&r](const char* why) {
            r.status = HeadParseResult::Status::Error;
            r.error = why;
            return r;
        };
        if (line.find('\0') != std::string_view::npos || line.find('\r') != std::string_view::npos)
            return fail("control byte in the response head");
        if (first) {
            if (!parseStatusLine(line, r.head)) return fail("bad status line");
            first = false;
            continue;
        }
        if (line.empty()) {
            r.status = HeadParseResult::Status::Complete;
            r.consumed = pos;
            return r;
        }
        if (line.front() == ' ' || line.front() == '\t') {
            // A folded continuation of the previous field's value.
            if (r.head.headers.size() == 0) return fail("continuation line without a field");
            r.head.headers.appendToLast(trimOws(line));
            continue;
        }
        size_t colon = line.find(':');
        if (colon == std::string_view::npos) return fail("header line without a colon");
        std::string_view name = line.substr(0, colon);
        if (!isHttpToken(name)) return fail("bad header name");
        if (r.head.headers.size() >= kMaxHeaderFields) return fail("too many header fields");
        r.head.headers.add(name, trimOws(line.substr(colon + 1)));
    }
}

HttpResponseParser::HttpResponseParser(std::string_view requestMethod) : method_(requestMethod) {}

void HttpResponseParser::fail(int code, const std::string& why) {
    state_ = State::Failed;
    error_ = StreamError::network(code, why);
}

size_t HttpResponseParser::feed(const char* data, size_t n, std::string& body) {
    if (n > 0) sawByte_ = true;
    switch (state_) {
        case State::Head:
            return feedHead(data, n);
        case State::Body:
            if (framing_ == Framing::Chunked) return feedChunked(data, n, body);
            if (framing_ == Framing::Length) {
                size_t take = size_t(std::min<uint64_t>(remaining_, n));
                body.append(data, take);
                remaining_ -= take;
                if (remaining_ == 0) state_ = State::Done;
                return take;
            }
            body.append(data, n);  // until the connection closes
            return n;
        case State::Done:
        case State::Failed:
            return 0;
    }
    return 0;
}

size_t HttpResponseParser::feedHead(const char* data, size_t n) {
    size_t before = headBuffer_.size();
    headBuffer_.append(data, n);
    HeadParseResult r = parseResponseHead(headBuffer_);
    if (r.status == HeadParseResult::Status::Error) {
        fail(kNetworkBadServerResponse, r.error);
        return n;
    }
    if (r.status == HeadParseResult::Status::NeedMore) return n;
    head_ = std::move(r.head);
    headBuffer_.clear();
    size_t used = r.consumed - before;
    beginBody();
    return used;
}

void HttpResponseParser::beginBody() {
    int status = head_.statusCode;
    if (status >= 100 && status < 200) {
        if (status == 101) {
            fail(kNetworkBadServerResponse, "unexpected protocol switch");
            return;
        }
        head_ = HttpResponseHead();  // an interim response: the real one follows
        return;
    }
    state_ = State::Body;
    if (method_ == "HEAD" || status == 204 || status == 304) {
        framing_ = Framing::None;
        state_ = State::Done;
        return;
    }
    auto codings = head_.headers.values("Transfer-Encoding");
    if (!codings.empty()) {
        // Both framings: the transfer coding wins, and whatever the length
        // claimed, the connection is closed after this response.
        framingConflicts_ = !head_.headers.values("Content-Length").empty();
        std::string_view last = codings.back();
        size_t comma = last.rfind(',');
        if (comma != std::string_view::npos) last = last.substr(comma + 1);
        last = trimOws(last);
        std::string lower(last);
        for (auto& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        framing_ = lower == "chunked" ? Framing::Chunked : Framing::UntilClose;
        return;
    }
    auto lengths = head_.headers.values("Content-Length");
    if (!lengths.empty()) {
        std::optional<uint64_t> length;
        for (const auto& text : lengths) {
            // A list such as "5, 5" counts as one value.
            size_t i = 0;
            while (i <= text.size()) {
                size_t j = text.find(',', i);
                if (j == std::string::npos) j = text.size();
                auto v = parseContentLength(std::string_view(text).substr(i, j - i));
                if (!v || (length && *length != *v)) {
                    fail(kNetworkBadServerResponse, "bad Content-Length");
                    return;
                }
                length = v;
                i = j + 1;
            }
        }
        framing_ = Framing::Length;
        declared_ = remaining_ = *length;
        if (remaining_ == 0) state_ = State::Done;
        return;
    }
    framing_ = Framing::UntilClose;
}

size_t HttpResponseParser::feedChunked(const char* data, size_t n, std::string& body) {
    size_t i = 0;
    while (i < n && state_ == State::Body) {
        if (chunkState_ == ChunkState::Data) {
            size_t take = size_t(std::min<uint64_t>(remaining_, n - i));
            body.append(data + i, take);
            i += take;
            remaining_ -= take;
            if (remaining_ == 0) chunkState_ = ChunkState::DataEnd;
            continue;
        }
        // The other states read a line.
        const char* nl = static_cast<const char*>(memchr(data + i, '\n', n - i));
        size_t end = nl ? size_t(nl - data) : n;
        line_.append(data + i, end - i);
        size_t limit = chunkState_ == ChunkState::Trailer ? kMaxTrailerBytes : kMaxChunkLine;
        if (line_.size() > limit) {
            fail(kNetworkBadServerResponse, "chunk line too long");
            return n;
        }
        if (!nl) return n;
        i = end + 1;
        std::string_view line = line_;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        switch (chunkState_) {
            case ChunkState::Size: {
                uint64_t size = 0;
                size_t digits = 0;
                for (char c : line) {
                    int v;
                    if (c >= '0' && c <= '9')
                        v = c - '0';
                    else if (c >= 'a' && c <= 'f')
                        v = c - 'a' + 10;
                    else if (c >= 'A' && c <= 'F')
                        v = c - 'A' + 10;
                    else
                        break;
                    if (++digits > 15) {
                        fail(kNetworkBadServerResponse, "chunk size too large");
                        return n;
                    }
                    size = size * 16 + uint64_t(v);
                }
                std::string_view rest = line.substr(digits);
                if (digits == 0 ||
                    (!rest.empty() && rest.front() != ';' && rest.front() != ' ' && rest.front() != '\t')) {
                    fail(kNetworkBadServerResponse, "bad chunk size");
                    return n;
                }
                if (size == 0) {
                    chunkState_ = ChunkState::Trailer;
                } else {
                    remaining_ = size;
                    chunkState_ = ChunkState::Data;
                }
                line_.clear();
                break;
            }
            case ChunkState::DataEnd:
                if (!line.empty()) {
                    fail(kNetworkBadServerResponse, "chunk data longer than its size");
                    return n;
                }
                chunkState_ = ChunkState::Size;
                line_.clear();
                break;
            case ChunkState::Trailer:
                // Trailer fields are read past and dropped.
                if (line.empty()) state_ = State::Done;
                trailerBytes_ += line_.size() + 1;
                line_.clear();
                if (trailerBytes_ > kMaxTrailerBytes) {
                    fail(kNetworkBadServerResponse, "trailer too large");
                    return n;
                }
                break;
            case ChunkState::Data:
                break;
        }
    }
    return i;
}

void HttpResponseParser::feedEnd() {
    if (state_ == State::Done || state_ == State::Failed) return;
    if (state_ == State::Body && framing_ == Framing::UntilClose) {
        state_ = State::Done;
        return;
    }
    fail(kNetworkConnectionLost, state_ == State::Head ? "the connection closed before a response"
                                                       : "the connection closed before the end of the response");
}

}  // namespace net
