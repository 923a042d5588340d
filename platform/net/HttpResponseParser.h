#pragma once
// Reads an HTTP/1.x response from bytes as they arrive: the head (status
// line, header fields), interim 1xx responses skipped, then the body framed by
// Content-Length, chunked transfer coding or the end of the connection, and
// handed out de-chunked (content codings such as gzip are left alone).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/net/HttpMessage.h"
#include "platform/net/NetError.h"

namespace net {

// Largest response head accepted (status line and all fields).
inline constexpr size_t kMaxResponseHeadBytes = 64 * 1024;

// Content-Length as HTTP defines it: decimal digits only (optional white space
// around them). "010" is ten; "0x10", "-1", "" and overflow are refused.
std::optional<uint64_t> parseContentLength(std::string_view text);

struct HeadParseResult {
    enum class Status { NeedMore, Complete, Error } status = Status::NeedMore;
    size_t consumed = 0;  // bytes of the head, with its empty line (when Complete)
    HttpResponseHead head;
    std::string error;  // when Error
};
// Parses one response head from the start of the bytes.
HeadParseResult parseResponseHead(std::string_view bytes);

class HttpResponseParser {
public:
    enum class State { Head, Body, Done, Failed };
    enum class Framing { None, Length, Chunked, UntilClose };

    // The request's method decides whether a body may follow (HEAD: never).
    explicit HttpResponseParser(std::string_view requestMethod = "GET");

    // Consumes bytes; de-chunked body bytes are appended to `body`. Returns how
    // many bytes were used: less than n only once the response is Done (the
    // rest belongs to no response) or Failed.
    size_t feed(const char* data, size_t n, std::string& body);
    // The peer closed its side. Ends a close-delimited body; anywhere else the
    // response is cut short and fails with kNetworkConnectionLost.
    void feedEnd();

    State state() const { return state_; }
    bool headComplete() const { return state_ != State::Head && head_.statusCode != 0; }
    bool done() const { return state_ == State::Done; }
    const HttpResponseHead& head() const { return head_; }
    Framing framing() const { return framing_; }
    // Content-Length of a length-framed body.
    uint64_t declaredLength() const { return declared_; }
    const StreamError& error() const { return error_; }
    // Whether any byte of the response arrived.
    bool sawAnyByte() const { return sawByte_; }
    // The head framed its body two ways (Transfer-Encoding and
    // Content-Length): the transfer coding is followed, and the connection
    // may not carry another response.
    bool framingConflicts() const { return framingConflicts_; }

private:
    size_t feedHead(const char* data, size_t n);
    size_t feedChunked(const char* data, size_t n, std::string& body);
    void fail(int code, const std::string& why);
    void beginBody();

    std::string method_;
    State state_ = State::Head;
    Framing framing_ = Framing::None;
    HttpResponseHead head_;
    std::string headBuffer_;
    uint64_t declared_ = 0;
    uint64_t remaining_ = 0;
    StreamError error_;
    bool sawByte_ = false;
    bool framingConflicts_ = false;

    enum class ChunkState { Size, Data, DataEnd, Trailer } chunkState_ = ChunkState::Size;
    std::string line_;
    size_t trailerBytes_ = 0;
};

}  // namespace net
