#include "platform/net/CredentialStorage.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"

namespace net {
namespace {

// One credential a line: nine fields separated by tabs, each percent-escaped
// so no tab, newline or percent sign of a value can break the line.
std::string esc(const std::string& s) { return foundation::percentEscape(s, "-._~@:/!$&'()*+,;=?"); }

}  // namespace

CredentialStorage& CredentialStorage::shared() {
    static CredentialStorage* storage = [] {
        auto* s = new CredentialStorage();
        // What a case kept for its session is forgotten; the file stays with its home folder.
        foundation::registerResetter("net.credentials", foundation::ResetPhase::Service, [s] { s->resetMemory(); });
        return s;
    }();
    return *storage;
}

std::string CredentialStorage::storeFilePath() {
    return foundation::joinPath(foundation::joinPath(foundation::homeDir(), "Library/Credentials"), "credentials");
}

std::vector<CredentialStorage::Entry> CredentialStorage::loadFile() const {
    std::vector<Entry> out;
    auto text = foundation::readFile(storeFilePath());
    if (!text) return out;
    for (const std::string& line : foundation::split(*text, "\n")) {
        auto f = foundation::split(line, "\t");
        if (f.size() != 9) continue;
        std::vector<std::string> v;
        for (const auto& x : f) {
            auto u = foundation::percentUnescape(x);
            if (!u) break;
            v.push_back(*u);
        }
        if (v.size() != 9) continue;
        Entry e;
        e.space.host = v[0];
        e.space.port = std::atoi(v[1].c_str());
        e.space.protocol = v[2];
        e.space.realm = v[3];
        e.space.isProxy = v[4] == "1";
        e.space.proxyType = v[5];
        e.credential.user = v[6];
        e.credential.password = v[7];
        e.credential.persistence = CredentialPersistence::Permanent;
        e.isDefault = v[8] == "1";
        out.push_back(std::move(e));
    }
    return out;
}

bool CredentialStorage::saveFile(const std::vector<Entry>& entries) const {
    std::string text;
    for (const auto& e : entries) {
        const std::string fields[9] = {e.space.host,      std::to_string(e.space.port), e.space.protocol,
                                       e.space.realm,     e.space.isProxy ? "1" : "0",  e.space.proxyType,
                                       e.credential.user, e.credential.password,        e.isDefault ? "1" : "0"};
        for (int i = 0; i < 9; ++i) {
            if (i) text.push_back('\t');
            text.append(esc(fields[i]));
        }
        text.push_back('\n');
    }
    std::string dir = foundation::joinPath(foundation::homeDir(), "Library/Credentials");
    if (!foundation::createDirectories(dir)) return false;
    ::chmod(dir.c_str(), 0700);
    if (!foundation::writeFileAtomically(storeFilePath(), text, 0600)) return false;
    return ::chmod(storeFilePath().c_str(), 0600) == 0;
}

void CredentialStorage::setDefaultCredential(const UrlCredential& credential, const ProtectionSpace& space) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto place = [&](std::vector<Entry>& list) {
        for (auto& e : list)
            if (e.space == space) e.isDefault = false;
        std::erase_if(list, [&](const Entry& e) { return e.space == space && e.credential.user == credential.user; });
        list.push_back(Entry{space, credential, true});
    };
    if (credential.persistence == CredentialPersistence::Permanent) {
        auto file = loadFile();
        place(file);
        saveFile(file);
        // A permanent credential replaces one of the same user kept in memory.
        std::erase_if(memory_,
                      [&](const Entry& e) { return e.space == space && e.credential.user == credential.user; });
        for (auto& e : memory_)
            if (e.space == space) e.isDefault = false;
    } else {
        place(memory_);
        auto file = loadFile();
        bool changed = false;
        for (auto& e : file)
            if (e.space == space && e.isDefault) e.isDefault = false, changed = true;
        if (changed) saveFile(file);
    }
}

std::optional<UrlCredential> CredentialStorage::defaultCredentialForProtectionSpace(
    const ProtectionSpace& space) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& e : memory_)
        if (e.space == space && e.isDefault) return e.credential;
    for (const auto& e : loadFile())
        if (e.space == space && e.isDefault) return e.credential;
    return std::nullopt;
}

std::vector<UrlCredential> CredentialStorage::credentialsForProtectionSpace(const ProtectionSpace& space) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<UrlCredential> out;
    for (const auto& e : memory_)
        if (e.space == space) out.push_back(e.credential);
    for (const auto& e : loadFile())
        if (e.space == space) out.push_back(e.credential);
    return out;
}

void CredentialStorage::removeCredential(const UrlCredential& credential, const ProtectionSpace& space) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(memory_, [&](const Entry& e) { return e.space == space && e.credential.user == credential.user; });
    auto file = loadFile();
    size_t before = file.size();
    std::erase_if(file, [&](const Entry& e) { return e.space == space && e.credential.user == credential.user; });
    if (file.size() != before) saveFile(file);
}

void CredentialStorage::resetMemory() {
    std::lock_guard<std::mutex> lock(mutex_);
    memory_.clear();
}

}  // namespace net
