#pragma once
// Binds the phone by a six-character serial in one synchronous run on a
// worker thread: handshake, command 16, reply check and the first filling of
// the key/value table. A waiting caller polls IsFinish, then reads
// IsSyncSuccess and isConnetError.

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "app/core/Models.h"
#include "lib/http/HttpRequest.h"

class initUtil : public http::HttpRequestDelegate {
public:
    // The thread body: fresh models, cleared flags, then getHttpData.
    void syncThreadUtil(const std::string& serial);
    void getHttpData(const std::string& serial);

    // The outcomes of the bind request; every path sets IsFinish.
    void requestFinished(http::HttpRequest& request) override;
    void requestFailed(http::HttpRequest& request) override;

    // Replaces any store with a new one holding every row of a complete
    // binding, written in one transaction: the old binding or the new one,
    // never neither and never a mix. On failure the old store is left as it
    // was (and no file is left when there was none).
    static bool saveDkbase(const DkBase& dkbase, const Answer& answer);
    // The 29 rows of a complete binding, in their order.
    static std::vector<std::pair<std::string, std::string>> bindingRows(const DkBase& dkbase, const Answer& answer);
    // Makes the store hold exactly these rows (DBController::replaceAllRows);
    // false, with the old store untouched, on failure.
    static bool writeBindingStore(const std::vector<std::pair<std::string, std::string>>& rows);

    const DkBase& dkbase() const { return dkbase_; }
    const Answer& answer() const { return answer_; }

    std::atomic<bool> IsFinish{false};
    std::atomic<bool> IsSyncSuccess{false};
    std::atomic<bool> isConnetError{false};

    // The payload of command 16 for the answer, serial and device facts.
    static std::string payloadText(const Answer& answer, const std::string& serial);

private:
    void finish(bool success, bool connectionError);
    DkBase dkbase_;
    Answer answer_;
};
