#include "platform/foundation/Value.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/foundation/Encoding.h"
#include "platform/foundation/Time.h"

namespace foundation {

// ---- Decimal -------------------------------------------------------------

double Decimal::toDouble() const { return std::strtod(text.c_str(), nullptr); }

// ---- Dictionary ----------------------------------------------------------

namespace {
// Small dictionaries (most replies) are searched linearly; past this size a
// hash index keeps lookups and duplicate checks O(1).
constexpr size_t kIndexThreshold = 32;
}  // namespace

Dictionary::Dictionary() = default;
Dictionary::Dictionary(std::initializer_list<Entry> entries) {
    for (const auto& e : entries) set(e.first, e.second);
}
Dictionary::Dictionary(const Dictionary& other) : entries_(other.entries_) {
    if (other.index_) rebuildIndex();
}
Dictionary::Dictionary(Dictionary&& other) noexcept = default;
Dictionary& Dictionary::operator=(const Dictionary& other) {
    if (this != &other) {
        entries_ = other.entries_;
        index_.reset();
        if (other.index_) rebuildIndex();
    }
    return *this;
}
Dictionary& Dictionary::operator=(Dictionary&& other) noexcept = default;
Dictionary::~Dictionary() = default;

void Dictionary::rebuildIndex() {
    index_ = std::make_unique<std::unordered_map<std::string, size_t>>();
    index_->reserve(entries_.size() * 2);
    for (size_t i = 0; i < entries_.size(); ++i) (*index_)[entries_[i].first] = i;
}

const Value* Dictionary::find(std::string_view key) const {
    if (index_) {
        auto it = index_->find(std::string(key));
        return it == index_->end() ? nullptr : &entries_[it->second].second;
    }
    for (const auto& e : entries_) {
        if (e.first == key) return &e.second;
    }
    return nullptr;
}

Value* Dictionary::find(std::string_view key) {
    return const_cast<Value*>(static_cast<const Dictionary*>(this)->find(key));
}

void Dictionary::set(std::string key, Value value) {
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    entries_.emplace_back(std::move(key), std::move(value));
    if (index_) {
        (*index_)[entries_.back().first] = entries_.size() - 1;
    } else if (entries_.size() > kIndexThreshold) {
        rebuildIndex();
    }
}

bool Dictionary::remove(std::string_view key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->first == key) {
            entries_.erase(it);
            if (index_) rebuildIndex();
            return true;
        }
    }
    return false;
}

void Dictionary::reserve(size_t n) { entries_.reserve(n); }

namespace {

// A cheap summary of a key (its length and some of its bytes) so most
// unequal keys are told apart without comparing them.
inline uint64_t keyTag(const std::string& key) {
    const char* p = key.data();
    size_t n = key.size();
    uint64_t head = 0, tail = 0;
    if (n >= 8) {
        std::memcpy(&head, p, 8);
        std::memcpy(&tail, p + n - 8, 8);
    } else if (n >= 4) {
        uint32_t a, b;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + n - 4, 4);
        head = a;
        tail = b;
    } else if (n > 0) {
        head = uint64_t(uint8_t(p[0])) | uint64_t(uint8_t(p[n / 2])) << 8 | uint64_t(uint8_t(p[n - 1])) << 16;
    }
    return (head ^ (tail * 0x9E3779B97F4A7C15ull)) + n * 0xC2B2AE3D27D4EB4Full;
}

}  // namespace

void Dictionary::assignEntries(std::vector<Entry>&& entries) {
    entries_ = std::move(entries);
    index_.reset();
    size_t n = entries_.size();
    size_t kept = 0;  // entries_[0, kept) hold the distinct keys so far
    if (n <= kIndexThreshold) {
        // Few keys: a duplicate is looked for among the tags of the kept
        // ones, and only when a bit picked by the tag was seen before.
        uint64_t tags[kIndexThreshold];
        uint64_t seen = 0;
        for (size_t i = 0; i < n; ++i) {
            uint64_t tag = keyTag(entries_[i].first);
            uint64_t bit = uint64_t(1) << ((tag * 0x9E3779B97F4A7C15ull) >> 58);
            size_t k = kept;
            if (seen & bit) {
                k = 0;
                while (k < kept && !(tags[k] == tag && entries_[k].first == entries_[i].first)) ++k;
            }
            seen |= bit;
            if (k < kept) {
                entries_[k].second = std::move(entries_[i].second);
                continue;
            }
            tags[kept] = tag;
            if (kept != i) entries_[kept] = std::move(entries_[i]);
            ++kept;
        }
    } else {
        index_ = std::make_unique<std::unordered_map<std::string, size_t>>();
        index_->reserve(n);
        for (size_t i = 0; i < n; ++i) {
            auto [it, added] = index_->try_emplace(entries_[i].first, kept);
            if (!added) {
                entries_[it->second].second = std::move(entries_[i].second);
                continue;
            }
            if (kept != i) entries_[kept] = std::move(entries_[i]);
            ++kept;
        }
    }
    entries_.erase(entries_.begin() + std::ptrdiff_t(kept), entries_.end());
}

void Dictionary::assignDistinctEntries(std::vector<Entry>&& entries) {
    entries_ = std::move(entries);
    index_.reset();
    if (entries_.size() > kIndexThreshold) rebuildIndex();
}

void Dictionary::clear() {
    entries_.clear();
    index_.reset();
}

std::vector<std::string> Dictionary::keys() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& e : entries_) out.push_back(e.first);
    return out;
}

bool Dictionary::operator==(const Dictionary& other) const {
    if (entries_.size() != other.entries_.size()) return false;
    for (const auto& e : entries_) {
        const Value* v = other.find(e.first);
        if (!v || !(*v == e.second)) return false;
    }
    return true;
}

// ---- text readings -------------------------------------------------------

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

long long textLongLongValue(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // Accumulate as negative so LLONG_MIN fits; saturate on overflow.
    long long value = 0;
    const long long minV = std::numeric_limits<long long>::min();
    bool overflow = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        int d = s[i] - '0';
        if (value < (minV + d) / 10) {
            overflow = true;
        } else {
            value = value * 10 - d;
        }
    }
    if (overflow) return negative ? minV : std::numeric_limits<long long>::max();
    if (!negative) return value == minV ? std::numeric_limits<long long>::max() : -value;
    return value;
}

int textIntValue(std::string_view s) {
    long long v = textLongLongValue(s);
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return int(v);
}

double textDoubleValue(std::string_view s) {
    std::string copy(s);
    const char* p = copy.c_str();
    while (*p && isSpace(*p)) ++p;
    // Only decimal numbers: no hex, inf or nan words.
    const char* q = p;
    if (*q == '+' || *q == '-') ++q;
    if (!(std::isdigit(static_cast<unsigned char>(*q)) ||
          (*q == '.' && std::isdigit(static_cast<unsigned char>(q[1])))))
        return 0;
    return std::strtod(p, nullptr);
}

bool textBoolValue(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && s[i] == '0') ++i;
    if (i >= s.size()) return false;
    char c = s[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// ---- Value ---------------------------------------------------------------

bool Value::isNumber() const {
    switch (type()) {
        case Type::Bool:
        case Type::Int:
        case Type::UInt:
        case Type::Decimal:
        case Type::Double:
            return true;
        default:
            return false;
    }
}

long long Value::longLongValue() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(v_) ? 1 : 0;
        case Type::Int:
            return std::get<int64_t>(v_);
        case Type::UInt: {
            uint64_t u = std::get<uint64_t>(v_);
            return u > uint64_t(std::numeric_limits<long long>::max()) ? std::numeric_limits<long long>::max()
                                                                       : (long long)u;
        }
        case Type::Decimal: {
            const std::string& t = std::get<foundation::Decimal>(v_).text;
            // An integer written with an exponent or fraction: go through double.
            double d = std::strtod(t.c_str(), nullptr);
            if (!std::isfinite(d)) return 0;
            if (d >= 9.2233720368547758e18) return std::numeric_limits<long long>::max();
            if (d <= -9.2233720368547758e18) return std::numeric_limits<long long>::min();
            return (long long)d;
        }
        case Type::Double: {
            double d = std::get<double>(v_);
            if (!std::isfinite(d)) return 0;
            if (d >= 9.2233720368547758e18) return std::numeric_limits<long long>::max();
            if (d <= -9.2233720368547758e18) return std::numeric_limits<long long>::min();
            return (long long)d;
        }
        case Type::String:
            return textLongLongValue(std::get<std::string>(v_));
        default:
            return 0;
    }
}

int Value::intValue() const {
    if (type() == Type::String) return textIntValue(std::get<std::string>(v_));
    // Numbers truncate to 32 bits as the platform's intValue did.
    return int(uint32_t(uint64_t(longLongValue())));
}

unsigned long long Value::unsignedLongLongValue() const {
    if (type() == Type::UInt) return std::get<uint64_t>(v_);
    return (unsigned long long)longLongValue();
}

double Value::doubleValue() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(v_) ? 1 : 0;
        case Type::Int:
            return double(std::get<int64_t>(v_));
        case Type::UInt:
            return double(std::get<uint64_t>(v_));
        case Type::Decimal:
            return std::get<foundation::Decimal>(v_).toDouble();
        case Type::Double:
            return std::get<double>(v_);
        case Type::String:
            return textDoubleValue(std::get<std::string>(v_));
        case Type::Date:
            return std::get<foundation::Date>(v_).seconds;
        default:
            return 0;
    }
}

bool Value::boolValue() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(v_);
        case Type::Int:
            return std::get<int64_t>(v_) != 0;
        case Type::UInt:
            return std::get<uint64_t>(v_) != 0;
        case Type::Decimal:
        case Type::Double:
            return doubleValue() != 0;
        case Type::String:
            return textBoolValue(std::get<std::string>(v_));
        default:
            return false;
    }
}

const Value* Value::get(std::string_view key) const {
    const auto* d = asDictionary();
    return d ? d->find(key) : nullptr;
}

const Value* Value::at(size_t index) const {
    const auto* a = asArray();
    return (a && index < a->size()) ? &(*a)[index] : nullptr;
}

std::string formatNumber(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
    if (d == std::floor(d) && std::fabs(d) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", d);
        return buf;
    }
    // The shortest text that reads back as the same double.
    char buf[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, d);
        if (std::strtod(buf, nullptr) == d) break;
    }
    return buf;
}

std::string describe(const std::optional<std::string>& text) { return text ? *text : "(null)"; }

namespace {

bool needsQuotes(const std::string& s) {
    if (s.empty()) return true;
    for (unsigned char c : s) {
        if (!(std::isalnum(c) || c == '_' || c == '.' || c == '$' || c == '/' || c >= 0x80)) return true;
    }
    return false;
}

std::string quoteForDescription(const std::string& s) {
    if (!needsQuotes(s)) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

void describeInto(const Value& v, std::string& out, int indent, bool nested) {
    std::string pad(size_t(indent) * 4, ' ');
    switch (v.type()) {
        case Value::Type::Null:
            out += nested ? "<null>" : "(null)";
            break;
        case Value::Type::Array: {
            const auto& a = *v.asArray();
            out += "(\n";
            for (size_t i = 0; i < a.size(); ++i) {
                out += pad + "    ";
                describeInto(a[i], out, indent + 1, true);
                if (i + 1 < a.size()) out += ",";
                out += "\n";
            }
            out += pad + ")";
            break;
        }
        case Value::Type::Dictionary: {
            out += "{\n";
            for (const auto& [key, value] : *v.asDictionary()) {
                out += pad + "    " + quoteForDescription(key) + " = ";
                describeInto(value, out, indent + 1, true);
                out += ";\n";
            }
            out += pad + "}";
            break;
        }
        case Value::Type::String:
            out += nested ? quoteForDescription(*v.asString()) : *v.asString();
            break;
        default:
            out += v.description();
            break;
    }
}

}  // namespace

std::string Value::description() const {
    switch (type()) {
        case Type::Null:
            return "(null)";
        case Type::Bool:
            return std::get<bool>(v_) ? "1" : "0";
        case Type::Int:
            return std::to_string(std::get<int64_t>(v_));
        case Type::UInt:
            return std::to_string(std::get<uint64_t>(v_));
        case Type::Decimal:
            return std::get<foundation::Decimal>(v_).text;
        case Type::Double:
            return formatNumber(std::get<double>(v_));
        case Type::String:
            return std::get<std::string>(v_);
        case Type::Bytes: {
            // "<0a0b0c0d 0e0f>": hex in groups of four bytes.
            const auto& b = std::get<foundation::Bytes>(v_);
            std::string out = "<";
            for (size_t i = 0; i < b.size(); i += 4) {
                if (i) out.push_back(' ');
                out += toHex(b.data() + i, std::min<size_t>(4, b.size() - i));
            }
            return out + ">";
        }
        case Type::Date:
            return formatDate(std::get<foundation::Date>(v_).seconds, "yyyy-MM-dd HH:mm:ss '+0000'", TimeZone::gmt());
        case Type::Array:
        case Type::Dictionary: {
            std::string out;
            describeInto(*this, out, 0, false);
            return out;
        }
    }
    return {};
}

}  // namespace foundation
