// HttpRequest: choosing the proxy (caller's, system settings, or a PAC
// script fetched over HTTP or read from a file) and putting the proxy and
// TLS settings on the read stream.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "lib/http/HttpRequest.h"
#include "lib/http/HttpSession.h"
#include "lib/http/PacScript.h"
#include "lib/http/ProxySettings.h"
#include "platform/foundation/Locked.h"
#include "platform/foundation/Text.h"

namespace http {
namespace {

constexpr size_t kPACReadChunk = 16384;

void changeSharedQueueLimit(int delta) { HttpSession::shared().changeSharedQueueLimit(delta); }

}  // namespace

bool HttpRequest::isPACFileRequest() const { return foundation::lockedRead(cancelledLock_, isPACFileRequest_); }

void HttpRequest::setIsPACFileRequest(bool on) { foundation::lockedWrite(cancelledLock_, isPACFileRequest_, on); }

bool HttpRequest::configureProxies() {
    if (isPACFileRequest_ || run_.connection.proxyHost || run_.connection.proxyPort != 0) return true;
    if (!run_.connection.PACurl) {
        std::optional<std::vector<ProxyEntry>> list;
        if (auto settings = copySystemProxySettings()) list = copyProxiesForURL(*url_, *settings);
        if (!list) {
            readStream_.reset();
            failWithError(makeHttpError(kInternalErrorWhileBuildingRequestType,
                                        "Unable to obtain information on proxy servers needed for request"));
            return false;
        }
        if (list->empty()) return true;
        const ProxyEntry& first = list->front();
        if (first.type != kProxyTypeAutoConfigurationURL) {
            if (!first.host.empty()) {
                adjustSetting(&HttpConnectionSettings::proxyHost, first.host);
                adjustSetting(&HttpConnectionSettings::proxyPort, first.port);
                adjustSetting(&HttpConnectionSettings::proxyType, first.type);
            }
            return true;
        }
        adjustSetting(&HttpConnectionSettings::PACurl, first.autoConfigurationURL);
        if (!run_.connection.PACurl) return true;
    }
    fetchPACFile();
    return false;
}

void HttpRequest::fetchPACFile() {
    const net::Url pac = *run_.connection.PACurl;
    std::string scheme = foundation::toLower(pac.scheme());
    if (scheme == "file") {
        std::string path = foundation::percentUnescape(pac.path()).value_or(pac.path());
        // Non-blocking, so that a pipe without writer cannot stall the thread.
        PACFileFd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (PACFileFd_ < 0) {
            handleTransferEvent(TransferEvent::ProxyKnown);
            return;
        }
        PACFileData_.clear();
        std::weak_ptr<HttpRequest> weak = weak_from_this();
        foundation::RunLoop& loop = foundation::RunLoop::current();
        PACFileWatch_ = loop.watchFd(
            PACFileFd_, POLLIN,
            [weak](int, short) {
                if (auto self = weak.lock()) self->readPACFile();
            },
            runLoopMode_);
        // A time-out of 0 means no limit elsewhere; a script read is never
        // left unbounded, so it gets the class default then.
        double limit = run_.connection.timeOutSeconds > 0 ? run_.connection.timeOutSeconds : defaultTimeOutSeconds();
        PACReadTimer_ = loop.performAfter(
            limit,
            [weak] {
                auto self = weak.lock();
                if (!self) return;
                std::lock_guard<std::recursive_mutex> lock(self->cancelledLock_);
                if (self->PACFileFd_ < 0) return;
                self->finishPACFileRead(false);  // given up: the request goes on without a proxy
                self->handleTransferEvent(TransferEvent::ProxyKnown);
            },
            runLoopMode_);
        return;
    }
    if (scheme != "http" && scheme != "https") {
        handleTransferEvent(TransferEvent::ProxyKnown);
        return;
    }
    HttpRequestRef download = requestWithURL(pac);
    download->setIsPACFileRequest(true);
    download->setTimeOutSeconds(run_.connection.timeOutSeconds);
    if (isSynchronous_) {
        download->startSynchronous();
        if (!download->error()) {
            if (auto script = download->responseString()) runPACScript(*script);
        }
        handleTransferEvent(TransferEvent::ProxyKnown);
        return;
    }
    PACFileRequest_ = download;
    std::weak_ptr<HttpRequest> weak = weak_from_this();
    HttpRequest* raw = download.get();
    auto done = [weak, raw] {
        auto self = weak.lock();
        if (!self) return;
        self->performOnOwningThread([self, raw] {
            std::lock_guard<std::recursive_mutex> lock(self->cancelledLock_);
            if (self->PACFileRequest_.get() != raw) return;  // cancelled meanwhile
            self->finishedDownloadingPACFile(*self->PACFileRequest_);
        });
    };
    download->setCompletionBlock(done);
    download->setFailedBlock(done);
    sharedQueue().addOperation(download, 4, {});  // high priority: ahead of waiting requests
    // The download must not wait behind the very request that needs it.
    changeSharedQueueLimit(+1);
    PACQueueLimitRaised_ = true;
}

void HttpRequest::finishedDownloadingPACFile(HttpRequest& pacRequest) {
    if (!pacRequest.error()) {
        if (auto script = pacRequest.responseString()) runPACScript(*script);
    }
    if (PACQueueLimitRaised_) {
        PACQueueLimitRaised_ = false;
        changeSharedQueueLimit(-1);
    }
    PACFileRequest_.reset();
    handleTransferEvent(TransferEvent::ProxyKnown);
}

void HttpRequest::readPACFile() {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    if (PACFileFd_ < 0) return;
    uint8_t buf[kPACReadChunk];
    ssize_t n = ::read(PACFileFd_, buf, sizeof buf);
    if (n > 0) {
        PACFileData_.insert(PACFileData_.end(), buf, buf + n);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    finishPACFileRead(n == 0);
    handleTransferEvent(TransferEvent::ProxyKnown);
}

void HttpRequest::finishPACFileRead(bool ended) {
    if (PACReadTimer_) PACReadTimer_->invalidate();
    PACReadTimer_.reset();
    if (PACFileWatch_) PACFileWatch_->cancel();
    PACFileWatch_.reset();
    if (PACFileFd_ >= 0) ::close(PACFileFd_);
    PACFileFd_ = -1;
    if (ended) {
        std::optional<std::string> script = decodeText(PACFileData_, kUTF8StringEncoding);
        if (!script) script = decodeText(PACFileData_, kISOLatin1StringEncoding);
        if (script) runPACScript(*script);
    }
    PACFileData_.clear();
}

void HttpRequest::runPACScript(const std::string& script) {
    if (!url_) return;
    double limit = run_.connection.timeOutSeconds > 0 ? run_.connection.timeOutSeconds : defaultTimeOutSeconds();
    auto answer = PacScript::findProxyForURL(script, url_->absoluteString(), url_->host(), limit);
    if (!answer) return;
    auto entries = proxiesFromPACAnswer(*answer);
    if (entries.empty() || entries.front().host.empty()) return;
    adjustSetting(&HttpConnectionSettings::proxyHost, entries.front().host);
    adjustSetting(&HttpConnectionSettings::proxyPort, entries.front().port);
    adjustSetting(&HttpConnectionSettings::proxyType, entries.front().type);
}

void HttpRequest::applyStreamSettings(net::HttpReadStream& stream) {
    if (foundation::toLower(url_->scheme()) == "https") {
        net::SslSettings ssl;
        if (!run_.connection.validatesSecureCertificate) {
            ssl.allowsExpiredCertificates = true;
            ssl.allowsAnyRoot = true;
            ssl.validatesCertificateChain = false;
            ssl.peerName.emplace();  // no name check
        }
        if (settings_.connection.clientCertificateIdentity) {
            // The identity's settings replace the whole record: checks are on again.
            ssl = net::SslSettings{};
            ssl.identity = settings_.connection.clientCertificateIdentity;
            ssl.certificates = settings_.connection.clientCertificates;
        }
        stream.setSslSettings(ssl);
    }
    std::optional<std::string> host = run_.connection.proxyHost;
    int port = run_.connection.proxyPort;
    if (host && !host->empty() && port != 0) {
        std::string type = run_.connection.proxyType.value_or(kProxyTypeHTTP);
        if (type == kProxyTypeSOCKS) {
            stream.setSocksProxy({*host, port});
        } else if (foundation::toLower(url_->scheme()) == "https") {
            stream.setHttpProxy({"", 0, *host, port});
        } else {
            stream.setHttpProxy({*host, port, "", 0});
        }
    }
}

}  // namespace http
