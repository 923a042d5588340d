#include "lib/http/HttpInputStream.h"

#include "lib/http/HttpRequest.h"
#include "platform/foundation/Resetters.h"

#include <cerrno>
#include <cstring>
#include <mutex>

namespace http {
namespace {

std::mutex& throttleLock() {
    static std::mutex* m = new std::mutex();
    return *m;
}
HttpInputStream::BandwidthHooks& hooks() {
    static auto* h = new HttpInputStream::BandwidthHooks();
    return *h;
}
[[maybe_unused]] const bool registered =
    (foundation::registerResetter("http.bandwidthHooks", foundation::ResetPhase::Service,
                                  [] { HttpInputStream::setBandwidthHooks({}); }),
     true);

}  // namespace

void HttpInputStream::setBandwidthHooks(BandwidthHooks h) {
    std::lock_guard<std::mutex> lock(throttleLock());
    hooks() = std::move(h);
}

std::shared_ptr<HttpInputStream> HttpInputStream::inputStreamWithFileAtPath(const std::string& path,
                                                                            HttpRequest* request) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return nullptr;
    std::shared_ptr<HttpInputStream> s(new HttpInputStream());
    s->file_ = f;
    s->request_ = request;
    return s;
}

std::shared_ptr<HttpInputStream> HttpInputStream::inputStreamWithData(Bytes data, HttpRequest* request) {
    std::shared_ptr<HttpInputStream> s(new HttpInputStream());
    s->data_ = std::move(data);
    s->request_ = request;
    return s;
}

HttpInputStream::~HttpInputStream() { close(); }

void HttpInputStream::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

// The request class's own bandwidth bookkeeping, used unless replaced.
static const HttpInputStream::BandwidthHooks& requestClassHooks() {
    static const HttpInputStream::BandwidthHooks h{
        [] { return HttpRequest::isBandwidthThrottled(); }, [] { return HttpRequest::maxUploadReadLength(); },
        [](HttpRequest* request) {
            if (request) request->performThrottling();
        },
        [](unsigned long n) { HttpRequest::incrementBandwidthUsedInLastSecond(n); }};
    return h;
}

long HttpInputStream::read(uint8_t* buffer, size_t maxLength) {
    bool custom;
    {
        std::lock_guard<std::mutex> lock(throttleLock());
        custom = hooks().isBandwidthThrottled != nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(throttleLock());
        const BandwidthHooks& h = custom ? hooks() : requestClassHooks();
        if (h.isBandwidthThrottled && h.isBandwidthThrottled()) {
            unsigned long allowed = h.maxUploadReadLength ? h.maxUploadReadLength() : 0;
            if (h.performThrottling) h.performThrottling(request_);
            maxLength = std::min<size_t>(maxLength, allowed == 0 ? 1 : allowed);
        }
    }
    long n = 0;
    if (file_) {
        size_t got = std::fread(buffer, 1, maxLength, file_);
        if (got == 0 && std::ferror(file_)) {
            error_ = errno ? errno : EIO;
            return -1;
        }
        n = long(got);
    } else {
        size_t got = std::min(maxLength, data_.size() - offset_);
        if (got) std::memcpy(buffer, data_.data() + offset_, got);
        offset_ += got;
        n = long(got);
    }
    if (n > 0) {
        std::function<void(unsigned long)> add;
        {
            std::lock_guard<std::mutex> lock(throttleLock());
            add = custom ? hooks().incrementBandwidthUsedInLastSecond
                         : requestClassHooks().incrementBandwidthUsedInLastSecond;
        }
        if (add) add(static_cast<unsigned long>(n));
    }
    return n;
}

}  // namespace http
