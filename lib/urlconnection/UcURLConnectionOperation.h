#pragma once
// A second, smaller HTTP client: one URL request run as an operation on a
// shared network thread (UcURLConnectionOperation), HTTP acceptance rules
// with success and failure blocks (UcHTTPRequestOperation), the activity
// indicator driven by the operations' start and finish notifications
// (UcNetworkActivityIndicatorManager), and a one-call loader with a shared
// queue (NetworkQueue).

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "lib/http/HttpDataDecompressor.h"
#include "lib/http/HttpError.h"
#include "lib/http/TextEncoding.h"
#include "platform/foundation/RunLoop.h"
#include "platform/net/HttpMessage.h"
#include "platform/net/HttpReadStream.h"
#include "platform/net/InputStream.h"
#include "platform/net/Url.h"

namespace http {

inline const std::string kUcOperationStartNotification = "com.tessaline.networking.operation.start";
inline const std::string kUcOperationFinishNotification = "com.tessaline.networking.operation.finish";
inline const std::string kUcNetworkingErrorDomain = "com.tessaline.networking.error";
inline constexpr int kUcErrorBadStatusCode = -1011;
inline constexpr int kUcErrorBadContentType = -1016;

struct UcURLRequest {
    explicit UcURLRequest(net::Url u) : url(std::move(u)) {}
    net::Url url;
    std::string HTTPMethod = "GET";
    std::vector<std::pair<std::string, std::string>> headers;
    std::vector<uint8_t> HTTPBody;
    // A body read while sending, of HTTPBodyStreamLength bytes (instead of HTTPBody).
    std::shared_ptr<net::InputStream> HTTPBodyStream;
    uint64_t HTTPBodyStreamLength = 0;
};

struct UcHTTPURLResponse {
    net::Url url;
    int statusCode = 0;
    net::HeaderDictionary allHeaderFields;
    std::string MIMEType;                         // "" when the reply names none
    std::optional<std::string> textEncodingName;  // the charset, if named
    int64_t expectedContentLength = -1;           // -1 when unknown
};

// Where a reply's body goes instead of memory. Every byte must be taken:
// write() returns how many were, or -1 on an error (then streamError()).
class UcOutputStream {
public:
    virtual ~UcOutputStream() = default;
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool hasSpaceAvailable() = 0;
    virtual long write(const uint8_t* data, size_t length) = 0;
    virtual std::string streamError() const = 0;
    // A stream writing a file (overwritten, or appended to).
    static std::shared_ptr<UcOutputStream> toFileAtPath(const std::string& path, bool append);
};

struct UcCredential {
    std::string user;
    std::string password;
};

struct UcAuthenticationChallenge {
    int previousFailureCount = 0;
    std::string host;
    int port = 0;
    std::string realm;
    std::string authenticationMethod;  // "Basic", ...
};

class UcURLConnectionOperation : public std::enable_shared_from_this<UcURLConnectionOperation> {
public:
    enum State { OperationStateReady = 1, OperationStateExecuting = 2, OperationStateFinished = 3 };
    using ProgressBlock = std::function<void(uint64_t bytes, int64_t totalBytes, int64_t totalExpected)>;
    // Decides a challenge: a credential to use, or nullopt to go on without.
    using AuthenticationBlock = std::function<std::optional<UcCredential>(const UcAuthenticationChallenge&)>;
    // Told of every state change: the key path ("isReady", "isExecuting",
    // "isFinished", "isCancelled", "state"), before (true) and after (false).
    using StateObserver = std::function<void(const std::string& keyPath, bool willChange)>;

    static std::shared_ptr<UcURLConnectionOperation> operationWithRequest(UcURLRequest request);
    virtual ~UcURLConnectionOperation();

    void start();
    void cancel();
    bool isReady() const { return state() == OperationStateReady; }
    bool isExecuting() const { return state() == OperationStateExecuting; }
    bool isFinished() const { return state() == OperationStateFinished; }
    bool isCancelled() const { return cancelled_.load(); }
    bool isConcurrent() const { return true; }
    int state() const { return state_.load(); }

    // The block runs once when the operation finishes (then it is dropped).
    void setCompletionBlock(std::function<void()> block);
    void setUploadProgressBlock(ProgressBlock block);
    void setDownloadProgressBlock(ProgressBlock block);
    void setAuthenticationChallengeBlock(AuthenticationBlock block);
    void setStateObserver(StateObserver observer);
    // The request's body becomes this stream.
    void setInputStream(std::shared_ptr<net::InputStream> stream, uint64_t length);
    void setOutputStream(std::shared_ptr<UcOutputStream> stream);

    UcURLRequest request() const;
    std::optional<UcHTTPURLResponse> response() const;
    virtual HttpErrorRef error() const;
    std::optional<Bytes> responseData() const;
    // The body in the charset the response names, else UTF-8; nullopt
    // without both response and data, or when the bytes do not decode.
    std::optional<std::string> responseString() const;
    int64_t totalBytesRead() const;
    // The size the memory buffer starts with for a reply of this expected
    // length: its absolute value, at least 1,024 and at most 8,388,608.
    static size_t accumulatorCapacityForExpectedLength(int64_t expected);
    size_t accumulatorCapacity() const;

    // The one thread all connections run on.
    static foundation::RunLoop& networkRequestThread();

protected:
    explicit UcURLConnectionOperation(UcURLRequest request);
    // Runs when the operation finishes, before the completion block.
    virtual void operationDidFinish() {}

private:
    bool setState(State next);
    void operationDidStart();
    void openConnection(const std::optional<UcCredential>& credential);
    void handleEvent(unsigned event);
    void didReceiveResponse(const net::HttpResponseHead& head);
    void didReceiveData(const uint8_t* data, size_t length);
    void didFinishLoading();
    void didFailWithError(HttpErrorRef error);
    bool handleChallenge(const net::HttpResponseHead& head);
    void finish();

    mutable std::recursive_mutex lock_;
    UcURLRequest request_;
    std::atomic<int> state_{OperationStateReady};
    std::atomic<bool> cancelled_{false};
    std::optional<UcHTTPURLResponse> response_;
    HttpErrorRef error_;
    std::optional<Bytes> responseData_;
    mutable std::optional<std::string> responseString_;
    std::shared_ptr<UcOutputStream> outputStream_;
    std::optional<Bytes> dataAccumulator_;
    size_t accumulatorCapacity_ = 0;
    int64_t totalBytesRead_ = 0;
    std::function<void()> completionBlock_;
    ProgressBlock uploadProgress_, downloadProgress_;
    AuthenticationBlock authenticationBlock_;
    StateObserver stateObserver_;
    std::shared_ptr<net::HttpReadStream> connection_;
    bool headSeen_ = false;
    int previousFailureCount_ = 0;
    uint64_t lastBodyBytesWritten_ = 0;
    std::shared_ptr<UcURLConnectionOperation> keepAlive_;  // while the connection runs
};

class UcHTTPRequestOperation : public UcURLConnectionOperation {
public:
    using SuccessBlock = std::function<void(UcHTTPRequestOperation&, const Bytes&)>;
    using FailureBlock = std::function<void(UcHTTPRequestOperation&, HttpErrorRef)>;

    static std::shared_ptr<UcHTTPRequestOperation> operationWithRequest(UcURLRequest request);
    static bool canProcessRequest(const UcURLRequest&) { return true; }

    // Inclusive ranges of acceptable status codes; 200-299 by default.
    std::vector<std::pair<int, int>> acceptableStatusCodes() const;
    void setAcceptableStatusCodes(std::vector<std::pair<int, int>> ranges);
    // nullopt (the default) accepts any type.
    std::optional<std::set<std::string>> acceptableContentTypes() const;
    void setAcceptableContentTypes(std::optional<std::set<std::string>> types);
    bool hasAcceptableStatusCode() const;
    bool hasAcceptableContentType() const;
    bool hasContent() const;
    // The HTTP check's error (code -1011 or -1016), made once; else the
    // connection's error.
    HttpErrorRef error() const override;
    // Success or failure runs on the main thread; nothing for a cancelled operation.
    void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure);

    // How the error texts show the acceptable sets: "(200-299)" and
    // "(application/json, text/html)".
    static std::string describeRanges(const std::vector<std::pair<int, int>>& ranges);
    static std::string describeTypes(const std::set<std::string>& types);

protected:
    explicit UcHTTPRequestOperation(UcURLRequest request);

private:
    std::vector<std::pair<int, int>> acceptableStatusCodes_{{200, 299}};
    std::optional<std::set<std::string>> acceptableContentTypes_;
    mutable HttpErrorRef HTTPError_;
    mutable std::mutex httpMutex_;
};

class UcNetworkActivityIndicatorManager {
public:
    static UcNetworkActivityIndicatorManager& sharedManager();
    bool isEnabled() const;
    void setEnabled(bool on);
    int activityCount() const;
    void setActivityCount(int count);
    void incrementActivityCount();
    void decrementActivityCount();
    bool isNetworkActivityIndicatorVisible() const;
    // What the app's indicator shows now.
    bool indicatorShown() const;
    // Called with each change of the app's indicator.
    void setIndicatorHandler(std::function<void(bool visible)> handler);
    void updateNetworkActivityIndicatorVisibility();

    UcNetworkActivityIndicatorManager();
    ~UcNetworkActivityIndicatorManager();

private:
    void observe();
    void countChanged();
    mutable std::recursive_mutex mutex_;
    bool enabled_ = false;
    int activityCount_ = 0;
    bool shown_ = false;
    foundation::TimerRef timer_;
    std::function<void(bool)> handler_;
};

class NetworkQueue {
public:
    using Completion = std::function<void(const UcURLRequest&, const std::optional<UcHTTPURLResponse>&,
                                          const std::optional<Bytes>&, HttpErrorRef)>;
    // Loads the request; the completion runs on the main thread. Returns a
    // block that cancels the load.
    static std::function<void()> loadWithURLRequest(const UcURLRequest& request, Completion completion);
    static void cancelAll();
    static size_t operationCount();
};

}  // namespace http
