#pragma once
// The credential store: user names and passwords kept per protection space
// (a server's host, port, protocol and realm, or a proxy's host, port and
// realm). Credentials saved with permanent persistence are also written to
// the file <$QUENTA_HOME>/Library/Credentials/credentials, created with mode
// 0600 (readable by the user only). That file is NOT encrypted: the
// passwords in it are plain text, protected by the file's mode alone.
// Session and none persistence stay in memory for the process.

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace net {

struct ProtectionSpace {
    std::string host;
    int port = 0;
    std::string protocol;  // "http", "https"; empty for a proxy
    std::string realm;
    bool isProxy = false;
    std::string proxyType;  // "http" for an HTTP proxy
    bool operator==(const ProtectionSpace&) const = default;
};

enum class CredentialPersistence { None = 0, ForSession = 1, Permanent = 2 };

struct UrlCredential {
    std::string user;
    std::string password;
    CredentialPersistence persistence = CredentialPersistence::ForSession;
    bool operator==(const UrlCredential&) const = default;
};

class CredentialStorage {
public:
    static CredentialStorage& shared();

    // Makes the credential the default of the space (adding it if new).
    void setDefaultCredential(const UrlCredential& credential, const ProtectionSpace& space);
    std::optional<UrlCredential> defaultCredentialForProtectionSpace(const ProtectionSpace& space) const;
    std::vector<UrlCredential> credentialsForProtectionSpace(const ProtectionSpace& space) const;
    // Removes the credential of that user from the space (memory and file).
    void removeCredential(const UrlCredential& credential, const ProtectionSpace& space);
    // Forgets what is in memory (the file stays); for tests and log-out.
    void resetMemory();

    // Where permanent credentials are written.
    static std::string storeFilePath();

private:
    struct Entry {
        ProtectionSpace space;
        UrlCredential credential;
        bool isDefault = false;
    };
    std::vector<Entry> loadFile() const;
    bool saveFile(const std::vector<Entry>& entries) const;
    mutable std::mutex mutex_;
    std::vector<Entry> memory_;
};

}  // namespace net
