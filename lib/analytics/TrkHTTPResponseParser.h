#pragma once
// An incremental parser of the collector's HTTP responses: status line,
// headers (Content-Length and Connection), a body that is counted and
// dropped, several pipelined responses in a row.

#include <cstddef>
#include <cstdint>
#include <vector>

class TrkHTTPResponseParser;

class TrkHTTPResponseParserDelegate {
public:
    virtual ~TrkHTTPResponseParserDelegate() = default;
    // A complete response with status 200.
    virtual void responseParsed(TrkHTTPResponseParser& parser, bool persistentConnection) {
        (void)parser, (void)persistentConnection;
    }
    // A response whose status is not 200; the rest of that chunk is not examined.
    virtual void parseError(TrkHTTPResponseParser& parser, int statusCode) { (void)parser, (void)statusCode; }
};

class TrkHTTPResponseParser {
public:
    explicit TrkHTTPResponseParser(TrkHTTPResponseParserDelegate* delegate);

    TrkHTTPResponseParserDelegate* delegate() const { return delegate_; }
    void setDelegate(TrkHTTPResponseParserDelegate* d) { delegate_ = d; }

    // Empties the buffer and starts at a status line again.
    void reset();
    // Feeds received bytes. A delegate may call reset() from its callback;
    // the parser then stops examining the chunk it was given.
    void parseResponse(const uint8_t* bytes, int length);
    // The status of a status line; 500 for a line with fewer than two blanks.
    int parseStatusLine(const uint8_t* line, int length);
    void parseHeader(const uint8_t* line, int length);

    int state() const { return state_; }
    int contentLength() const { return contentLength_; }
    bool persistentConnection() const { return persistentConnection_; }
    size_t bufferSize() const { return buffer_.size(); }

private:
    TrkHTTPResponseParserDelegate* delegate_;
    std::vector<uint8_t> buffer_;
    size_t start_ = 0;
    size_t end_ = 0;
    int state_ = 0;
    int contentLength_ = 0;
    bool persistentConnection_ = true;
    uint64_t generation_ = 0;  // moves on every reset()
};
