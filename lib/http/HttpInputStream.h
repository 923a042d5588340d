#pragma once
// The body stream of an upload: reads from a file or from data, and keeps
// to the bandwidth limit while throttling is on (the throttle step of all
// instances runs under one lock; the read itself outside it).

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "lib/http/HttpDataDecompressor.h"
#include "platform/net/InputStream.h"

namespace http {

class HttpRequest;

class HttpInputStream : public net::InputStream {
public:
    // The bandwidth bookkeeping the stream consults: the request class's
    // unless replaced (tests); empty hooks restore it.
    struct BandwidthHooks {
        std::function<bool()> isBandwidthThrottled;
        std::function<unsigned long()> maxUploadReadLength;
        std::function<void(HttpRequest*)> performThrottling;
        std::function<void(unsigned long)> incrementBandwidthUsedInLastSecond;
    };
    static void setBandwidthHooks(BandwidthHooks hooks);

    // nullptr when the file cannot be opened.
    static std::shared_ptr<HttpInputStream> inputStreamWithFileAtPath(const std::string& path, HttpRequest* request);
    static std::shared_ptr<HttpInputStream> inputStreamWithData(Bytes data, HttpRequest* request);
    ~HttpInputStream() override;

    long read(uint8_t* buffer, size_t maxLength) override;
    void close();
    // The error of the last failed read (errno), 0 when none.
    int streamError() const { return error_; }

private:
    HttpInputStream() = default;
    HttpRequest* request_ = nullptr;  // not owned
    FILE* file_ = nullptr;
    Bytes data_;
    size_t offset_ = 0;
    int error_ = 0;
};

}  // namespace http
