// HttpRequest: request bodies kept in files or compressed, replies written
// to files (with resume), and the temporary files of both.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lib/http/HttpDataCompressor.h"
#include "lib/http/HttpInputStream.h"
#include "lib/http/HttpRequest.h"
#include "platform/foundation/Locked.h"

namespace http {
namespace {

constexpr size_t kFileChunk = 262144;

std::string temporaryDirectory() {
    const char* t = std::getenv("TMPDIR");
    std::string dir = t && *t ? t : "/tmp";
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

// A new empty file of the temporary directory, made for us alone (never an
// existing file, mode 0600). The open file, or nullptr; `path` receives its name.
FILE* createTemporaryFile(std::string& path) {
    std::string name = temporaryDirectory() + "/HttpRequest-XXXXXX";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    int fd = ::mkstemp(buf.data());
    if (fd < 0) return nullptr;
    path = buf.data();
    FILE* f = ::fdopen(fd, "wb");
    if (!f) ::close(fd);
    return f;
}

HttpErrorRef posixError(int err, const std::string& path) {
    return HttpError::make("POSIX", err, std::string(std::strerror(err)) + ": " + path);
}

HttpErrorRef attributesError(const std::string& path, int err) {
    return makeHttpError(kFileManagementError, "Failed to get attributes for file at path '" + path + "'",
                         posixError(err, path));
}

bool fileSize(const std::string& path, uint64_t& size, int& err) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        err = errno;
        return false;
    }
    size = uint64_t(st.st_size);
    return true;
}

bool writeAll(FILE* f, const uint8_t* data, size_t n) { return n == 0 || std::fwrite(data, 1, n, f) == n; }

}  // namespace

// ---- accessors ----------------------------------------------------------------

bool HttpRequest::shouldCompressRequestBody() const {
    return foundation::lockedRead(cancelledLock_, settings_.shouldCompressRequestBody);
}
void HttpRequest::setShouldCompressRequestBody(bool on) {
    foundation::lockedWrite(cancelledLock_, settings_.shouldCompressRequestBody, on);
}
std::optional<std::string> HttpRequest::compressedPostBodyFilePath() const {
    return foundation::lockedRead(cancelledLock_, compressedPostBodyFilePath_);
}
std::optional<std::string> HttpRequest::temporaryUncompressedDataDownloadPath() const {
    return foundation::lockedRead(cancelledLock_, temporaryUncompressedDataDownloadPath_);
}
void HttpRequest::setTemporaryUncompressedDataDownloadPath(std::optional<std::string> path) {
    foundation::lockedWrite(cancelledLock_, temporaryUncompressedDataDownloadPath_, std::move(path));
}
std::shared_ptr<const net::TlsIdentity> HttpRequest::clientCertificateIdentity() const {
    return foundation::lockedRead(cancelledLock_, settings_.connection.clientCertificateIdentity);
}
void HttpRequest::setClientCertificateIdentity(std::shared_ptr<const net::TlsIdentity> identity) {
    foundation::lockedWrite(cancelledLock_, settings_.connection.clientCertificateIdentity, std::move(identity));
}
std::vector<std::shared_ptr<const net::TlsCertificate>> HttpRequest::clientCertificates() const {
    return foundation::lockedRead(cancelledLock_, settings_.connection.clientCertificates);
}
void HttpRequest::setClientCertificates(std::vector<std::shared_ptr<const net::TlsCertificate>> certificates) {
    foundation::lockedWrite(cancelledLock_, settings_.connection.clientCertificates, std::move(certificates));
}

// ---- the body -----------------------------------------------------------------

void HttpRequest::setupPostBody() {
    if (shouldStreamPostDataFromDisk()) {
        if (!postBodyFilePath()) {
            std::string path;
            postBodyWriteStream_ = createTemporaryFile(path);
            if (postBodyWriteStream_) {
                setPostBodyFilePath(path);
                didCreateTemporaryPostDataFile_ = true;
            }
        }
        if (!postBodyWriteStream_) {
            if (auto path = postBodyFilePath()) postBodyWriteStream_ = std::fopen(path->c_str(), "wb");
        }
    }
}

void HttpRequest::appendPostDataFromFile(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    setupPostBody();
    FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return;
    Bytes chunk(kFileChunk);
    while (true) {
        size_t n = std::fread(chunk.data(), 1, chunk.size(), in);
        if (n == 0) break;
        noteBodyAdded();
        if (shouldStreamPostDataFromDisk()) {
            if (postBodyWriteStream_) writeAll(postBodyWriteStream_, chunk.data(), n);
        } else {
            postBody_.insert(postBody_.end(), chunk.begin(), chunk.begin() + long(n));
        }
    }
    std::fclose(in);
}

bool HttpRequest::buildSpecialPostBody() {
    std::optional<std::string> bodyPath = postBodyFilePath();
    if (!bodyPath && !settings_.shouldCompressRequestBody) return false;
    if (bodyPath) {
        if (postBodyWriteStream_) {
            std::fclose(postBodyWriteStream_);
            postBodyWriteStream_ = nullptr;
        }
        std::string measured = *bodyPath;
        if (settings_.shouldCompressRequestBody) {
            if (!compressedPostBodyFilePath_) {
                std::string path;
                FILE* f = createTemporaryFile(path);
                if (f) std::fclose(f);
                HttpErrorRef error;
                if (!f || !HttpDataCompressor::compressDataFromFile(*bodyPath, path, error)) {
                    if (f) ::unlink(path.c_str());
                    failWithError(error ? error : attributesError(path, errno));
                    return true;
                }
                compressedPostBodyFilePath_ = path;
            }
            measured = *compressedPostBodyFilePath_;
        }
        int err = 0;
        if (!fileSize(measured, postLength_, err)) {
            failWithError(attributesError(measured, err));
            return true;
        }
    } else {
        HttpErrorRef error;
        auto compressed = HttpDataCompressor::compressData(postBody_, error);
        if (error) {
            failWithError(error);
            return true;
        }
        compressedPostBody_ = compressed ? std::move(*compressed) : Bytes();
        postLength_ = compressedPostBody_.size();
    }
    if (postLength_ > 0) {
        if (requestMethod_ == "GET" || requestMethod_ == "DELETE" || requestMethod_ == "HEAD") requestMethod_ = "POST";
        if (!requestHeaders_) requestHeaders_.emplace();
        (*requestHeaders_)["Content-Length"] = std::to_string(postLength_);
    }
    haveBuiltPostBody_ = true;
    return true;
}

void HttpRequest::addBodyAndRangeHeaders() {
    if (!requestHeaders_) requestHeaders_.emplace();
    if (settings_.shouldCompressRequestBody) (*requestHeaders_)["Content-Encoding"] = "gzip";
    updatePartialDownloadSize();
    if (partialDownloadSize_ > 0) (*requestHeaders_)["Range"] = "bytes=" + std::to_string(partialDownloadSize_) + "-";
}

std::shared_ptr<net::HttpReadStream> HttpRequest::makeReadStream() {
    std::shared_ptr<net::InputStream> body;
    if (shouldStreamPostDataFromDisk() && postBodyFilePath()) {
        std::string path = compressedPostBodyFilePath_ ? *compressedPostBodyFilePath_ : *postBodyFilePath();
        if (::access(path.c_str(), F_OK) == 0) body = HttpInputStream::inputStreamWithFileAtPath(path, this);
        if (!body) return nullptr;
    } else if (!postBody_.empty()) {
        body = HttpInputStream::inputStreamWithData(
            settings_.shouldCompressRequestBody && !compressedPostBody_.empty() ? compressedPostBody_ : postBody_,
            this);
    }
    if (!body) return net::HttpReadStream::create(*requestMessage_);
    return net::HttpReadStream::createStreamed(*requestMessage_, body, postLength_);
}

// ---- downloads to files -----------------------------------------------------------

bool HttpRequest::writeDownloadBytes(const uint8_t* bytes, size_t length, const Bytes* inflated) {
    auto openStream = [&](std::optional<std::string> path, bool inflatedFile) -> FILE* {
        bool append = false;
        if (run_.allowResumeForFileDownloads && requestHeaders_ && requestHeaders_->count("Range")) {
            append = responseHeaders_ && responseHeaders_->count("Content-Range");
            if (!append && !inflatedFile) partialDownloadSize_ = 0;  // the server sent the whole file again
        }
        if (!path) {
            std::string made;
            FILE* f = createTemporaryFile(made);
            if (inflatedFile)
                temporaryUncompressedDataDownloadPath_ = made;
            else
                adjustSetting(&HttpRequestSettings::temporaryFileDownloadPath, made);
            return f;
        }
        return std::fopen(path->c_str(), append ? "ab" : "wb");
    };
    if (!fileDownloadOutputStream_) {
        fileDownloadOutputStream_ = openStream(run_.temporaryFileDownloadPath, false);
        if (!fileDownloadOutputStream_) {
            failWithError(makeHttpError(kFileManagementError, "Failed to write the download file",
                                        posixError(errno, run_.temporaryFileDownloadPath.value_or(""))));
            return false;
        }
    }
    bool ok = writeAll(fileDownloadOutputStream_, bytes, length);
    if (ok && inflated) {
        if (!inflatedFileDownloadOutputStream_)
            inflatedFileDownloadOutputStream_ = openStream(temporaryUncompressedDataDownloadPath_, true);
        ok = inflatedFileDownloadOutputStream_ &&
             writeAll(inflatedFileDownloadOutputStream_, inflated->data(), inflated->size());
    }
    if (!ok) {
        failWithError(makeHttpError(kFileManagementError, "Failed to write the download file",
                                    posixError(errno ? errno : EIO, run_.temporaryFileDownloadPath.value_or(""))));
        return false;
    }
    return true;
}

void HttpRequest::closeDownloadFiles() {
    if (fileDownloadOutputStream_) std::fclose(fileDownloadOutputStream_);
    if (inflatedFileDownloadOutputStream_) std::fclose(inflatedFileDownloadOutputStream_);
    fileDownloadOutputStream_ = nullptr;
    inflatedFileDownloadOutputStream_ = nullptr;
}

bool HttpRequest::removeFileAtPath(const std::string& path, HttpErrorRef* error) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    int err = errno;
    if (error)
        *error =
            makeHttpError(kFileManagementError, "Failed to delete file at path '" + path + "'", posixError(err, path));
    return false;
}

HttpErrorRef HttpRequest::finishDownloadFile() {
    auto temporary = run_.temporaryFileDownloadPath;
    auto destination = run_.downloadDestinationPath;
    if (!temporary || !destination) {
        closeDownloadFiles();
        return nullptr;
    }
    closeDownloadFiles();
    HttpErrorRef fileError;
    auto moveError = [&](const std::string& from) {
        return makeHttpError(kFileManagementError, "Failed to move file from '" + from + "' to '" + *destination + "'",
                             posixError(errno, from));
    };
    if (isResponseCompressed()) {
        if (run_.shouldWaitToInflateCompressedResponses) {
            HttpDataDecompressor::uncompressDataFromFile(*temporary, *destination, fileError, run_.maxResponseBodySize);
        } else if (temporaryUncompressedDataDownloadPath_) {
            if (std::rename(temporaryUncompressedDataDownloadPath_->c_str(), destination->c_str()) != 0)
                fileError = moveError(*temporary);
            temporaryUncompressedDataDownloadPath_.reset();
        }
        HttpErrorRef removeError;
        if (removeFileAtPath(*temporary, &removeError))
            adjustSetting(&HttpRequestSettings::temporaryFileDownloadPath, std::nullopt);
        if (!fileError) fileError = removeError;
    } else {
        removeFileAtPath(*destination, &fileError);
        if (!fileError) {
            if (std::rename(temporary->c_str(), destination->c_str()) != 0)
                fileError = moveError(*temporary);
            else
                adjustSetting(&HttpRequestSettings::temporaryFileDownloadPath, std::nullopt);
        }
    }
    return fileError;
}

void HttpRequest::removeTemporaryDownloadFiles() {
    closeDownloadFiles();
    if (!run_.allowResumeForFileDownloads) {
        if (auto t = run_.temporaryFileDownloadPath; t && removeFileAtPath(*t, nullptr))
            adjustSetting(&HttpRequestSettings::temporaryFileDownloadPath, std::nullopt);
    }
    if (temporaryUncompressedDataDownloadPath_ && removeFileAtPath(*temporaryUncompressedDataDownloadPath_, nullptr))
        temporaryUncompressedDataDownloadPath_.reset();
}

void HttpRequest::removeTemporaryUploadFiles() {
    if (postBodyWriteStream_) {
        std::fclose(postBodyWriteStream_);
        postBodyWriteStream_ = nullptr;
    }
    // The compressed copy is always one of ours.
    if (compressedPostBodyFilePath_ && removeFileAtPath(*compressedPostBodyFilePath_, nullptr))
        compressedPostBodyFilePath_.reset();
    if (!didCreateTemporaryPostDataFile_) return;
    if (auto p = run_.postBodyFilePath; p && removeFileAtPath(*p, nullptr))
        adjustSetting(&HttpRequestSettings::postBodyFilePath, std::nullopt);
    didCreateTemporaryPostDataFile_ = false;
}

}  // namespace http

namespace http {

std::shared_ptr<HttpRequestDelegate> HttpRequest::queue() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return queue_.lock();
}

void HttpRequest::setQueue(std::shared_ptr<HttpRequestDelegate> queue) {
    foundation::lockedWrite(cancelledLock_, queue_, std::move(queue));
}

HttpRequestRef HttpRequest::HEADRequest() const {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    auto r = requestWithURL(url_);
    r->requestMethod_ = "HEAD";
    r->requestHeaders_ = requestHeaders_;
    std::lock_guard<std::mutex> props(propertyMutex_);
    r->settings_.connection = settings_.connection;
    return r;
}

}  // namespace http

namespace http {

void HttpRequest::failRequest(HttpErrorRef error) {
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    failWithError(std::move(error));
}

}  // namespace http
