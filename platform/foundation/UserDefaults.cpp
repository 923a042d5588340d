#include "platform/foundation/UserDefaults.h"

#include <cstring>
#include <memory>

#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"

namespace foundation {

// ---- file format ---------------------------------------------------------
// "QDEF1\n", then the number of entries and each key and value. Every value
// is a tag byte and its payload; lengths and counts are 32-bit little-endian.

namespace {

const char kMagic[] = "QDEF1\n";
constexpr int kMaxDepth = 64;

void putU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}
void putU64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}
void putText(std::string& out, const std::string& s) {
    putU32(out, uint32_t(s.size()));
    out += s;
}
uint64_t doubleBits(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

void putValue(std::string& out, const Value& v) {
    switch (v.type()) {
        case Value::Type::Null:
            out.push_back('n');
            break;
        case Value::Type::Bool:
            out.push_back('b');
            out.push_back(v.boolValue() ? 1 : 0);
            break;
        case Value::Type::Int:
            out.push_back('i');
            putU64(out, uint64_t(v.longLongValue()));
            break;
        case Value::Type::UInt:
            out.push_back('u');
            putU64(out, v.unsignedLongLongValue());
            break;
        case Value::Type::Decimal:
            out.push_back('m');
            putText(out, v.asDecimal()->text);
            break;
        case Value::Type::Double:
            out.push_back('d');
            putU64(out, doubleBits(v.doubleValue()));
            break;
        case Value::Type::String:
            out.push_back('s');
            putText(out, *v.asString());
            break;
        case Value::Type::Bytes: {
            out.push_back('x');
            const auto& b = *v.asBytes();
            putText(out, std::string(b.begin(), b.end()));
            break;
        }
        case Value::Type::Date:
            out.push_back('t');
            putU64(out, doubleBits(v.asDate()->seconds));
            break;
        case Value::Type::Array:
            out.push_back('a');
            putU32(out, uint32_t(v.asArray()->size()));
            for (const auto& e : *v.asArray()) putValue(out, e);
            break;
        case Value::Type::Dictionary:
            out.push_back('o');
            putU32(out, uint32_t(v.asDictionary()->size()));
            for (const auto& [k, e] : *v.asDictionary()) {
                putText(out, k);
                putValue(out, e);
            }
            break;
    }
}

class Reader {
public:
    explicit Reader(const std::string& s) : s_(s) {}
    bool u8(uint8_t& v) {
        if (pos_ + 1 > s_.size()) return false;
        v = uint8_t(s_[pos_++]);
        return true;
    }
    bool u32(uint32_t& v) {
        if (pos_ + 4 > s_.size()) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(s_[pos_ + i])) << (8 * i);
        pos_ += 4;
        return true;
    }
    bool u64(uint64_t& v) {
        if (pos_ + 8 > s_.size()) return false;
        v = 0;
        for (int i = 0; i < 8; ++i) v |= uint64_t(uint8_t(s_[pos_ + i])) << (8 * i);
        pos_ += 8;
        return true;
    }
    bool text(std::string& out) {
        uint32_t n;
        if (!u32(n) || n > s_.size() - pos_) return false;
        out.assign(s_, pos_, n);
        pos_ += n;
        return true;
    }
    bool value(Value& out, int depth) {
        if (depth > kMaxDepth) return false;
        uint8_t tag;
        if (!u8(tag)) return false;
        uint64_t u;
        uint32_t n;
        std::string t;
        switch (tag) {
            case 'n':
                out = Value();
                return true;
            case 'b': {
                uint8_t b;
                if (!u8(b)) return false;
                out = Value(b != 0);
                return true;
            }
            case 'i':
                if (!u64(u)) return false;
                out = Value(int64_t(u));
                return true;
            case 'u':
                if (!u64(u)) return false;
                out = Value((unsigned long long)u);
                return true;
            case 'm':
                if (!text(t)) return false;
                out = Value(Decimal{t});
                return true;
            case 'd':
            case 't': {
                if (!u64(u)) return false;
                double d;
                std::memcpy(&d, &u, sizeof d);
                out = tag == 'd' ? Value(d) : Value(Date{d});
                return true;
            }
            case 's':
                if (!text(t)) return false;
                out = Value(std::move(t));
                return true;
            case 'x':
                if (!text(t)) return false;
                out = Value(Bytes(t.begin(), t.end()));
                return true;
            case 'a': {
                if (!u32(n) || n > s_.size() - pos_) return false;
                Array a;
                a.reserve(n);
                for (uint32_t i = 0; i < n; ++i) {
                    Value e;
                    if (!value(e, depth + 1)) return false;
                    a.push_back(std::move(e));
                }
                out = Value(std::move(a));
                return true;
            }
            case 'o': {
                if (!u32(n) || n > s_.size() - pos_) return false;
                Dictionary d;
                for (uint32_t i = 0; i < n; ++i) {
                    std::string k;
                    Value e;
                    if (!text(k) || !value(e, depth + 1)) return false;
                    d.set(std::move(k), std::move(e));
                }
                out = Value(std::move(d));
                return true;
            }
            default:
                return false;
        }
    }
    bool atEnd() const { return pos_ == s_.size(); }
    void skip(size_t n) { pos_ += n; }

private:
    const std::string& s_;
    size_t pos_ = 0;
};

}  // namespace

std::string UserDefaults::encode(const std::map<std::string, Value>& values) {
    std::string out(kMagic);
    putU32(out, uint32_t(values.size()));
    for (const auto& [k, v] : values) {
        putText(out, k);
        putValue(out, v);
    }
    return out;
}

std::optional<std::map<std::string, Value>> UserDefaults::decode(const std::string& bytes) {
    const size_t magicLen = sizeof kMagic - 1;
    if (bytes.size() < magicLen || bytes.compare(0, magicLen, kMagic) != 0) return std::nullopt;
    Reader r(bytes);
    r.skip(magicLen);
    uint32_t n;
    if (!r.u32(n)) return std::nullopt;
    std::map<std::string, Value> out;
    for (uint32_t i = 0; i < n; ++i) {
        std::string k;
        Value v;
        if (!r.text(k) || !r.value(v, 0)) return std::nullopt;
        out[std::move(k)] = std::move(v);
    }
    if (!r.atEnd()) return std::nullopt;
    return out;
}

// ---- the store -----------------------------------------------------------

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)) { load(); }

namespace {
std::mutex gStandardMutex;
std::unique_ptr<UserDefaults> gStandard;
// The next use reads the store of the home folder set by then.
[[maybe_unused]] const bool gRegistered =
    (registerResetter("foundation.standardDefaults", ResetPhase::Service, [] { UserDefaults::resetStandard(); }), true);
}  // namespace

UserDefaults& UserDefaults::standard() {
    std::lock_guard<std::mutex> lock(gStandardMutex);
    if (!gStandard) {
        gStandard = std::make_unique<UserDefaults>(joinPath(preferencesDir(), "quenta.defaults"));
    }
    return *gStandard;
}

void UserDefaults::resetStandard() {
    std::lock_guard<std::mutex> lock(gStandardMutex);
    gStandard.reset();
}

void UserDefaults::load() {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.clear();
    auto bytes = readFile(path_);
    if (!bytes) return;  // no file yet
    auto decoded = decode(*bytes);
    if (!decoded) {
        log("user defaults at ", path_, " are unreadable; starting empty");
        return;
    }
    values_ = std::move(*decoded);
}

bool UserDefaults::writeLocked() {
    size_t slash = path_.rfind('/');
    if (slash != std::string::npos) createDirectories(path_.substr(0, slash));
    dirty_ = !writeFileAtomically(path_, encode(values_), 0600);
    if (dirty_) log("user defaults could not be written to ", path_);
    return !dirty_;
}

std::optional<Value> UserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (!v) return std::nullopt;
    if (v->isString()) return *v->asString();
    // Numbers read as texts, as the platform's stringForKey did.
    if (v->isNumber()) return v->description();
    return std::nullopt;
}

long long UserDefaults::integerForKey(const std::string& key) const {
    auto v = objectForKey(key);
    return v ? v->longLongValue() : 0;
}

double UserDefaults::doubleForKey(const std::string& key) const {
    auto v = objectForKey(key);
    return v ? v->doubleValue() : 0;
}

bool UserDefaults::boolForKey(const std::string& key) const {
    auto v = objectForKey(key);
    return v ? v->boolValue() : false;
}

std::optional<Bytes> UserDefaults::dataForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (v && v->asBytes()) return *v->asBytes();
    return std::nullopt;
}

std::optional<Date> UserDefaults::dateForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (v && v->asDate()) return *v->asDate();
    return std::nullopt;
}

std::optional<Array> UserDefaults::arrayForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (v && v->asArray()) return *v->asArray();
    return std::nullopt;
}

std::optional<Dictionary> UserDefaults::dictionaryForKey(const std::string& key) const {
    auto v = objectForKey(key);
    if (v && v->asDictionary()) return *v->asDictionary();
    return std::nullopt;
}

bool UserDefaults::setObject(const std::string& key, Value value) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (value.isNull()) {
        values_.erase(key);  // setting nil removes the key
    } else {
        values_[key] = std::move(value);
    }
    return writeLocked();
}

bool UserDefaults::removeObjectForKey(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (values_.erase(key) == 0 && !dirty_) return true;
    return writeLocked();
}

bool UserDefaults::removePersistentDomain() {
    std::lock_guard<std::mutex> lock(mutex_);
    values_.clear();
    dirty_ = false;
    return removeItem(path_);
}

bool UserDefaults::synchronize() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!dirty_) return true;
    return writeLocked();
}

std::map<std::string, Value> UserDefaults::dictionaryRepresentation() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return values_;
}

}  // namespace foundation
