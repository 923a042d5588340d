#pragma once
// The dynamic value: what a parsed JSON document, a user-defaults entry or a
// "%@" argument holds. Dictionaries keep their keys in insertion order and a
// key set twice keeps the last value.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace foundation {

class Value;
using Bytes = std::vector<uint8_t>;
using Array = std::vector<Value>;

// A decimal number kept as its text so no precision is lost
// (numbers with 19 or more significant digits, a fraction or an exponent).
struct Decimal {
    std::string text;
    double toDouble() const;
    bool operator==(const Decimal& o) const { return text == o.text; }
};

// Seconds since 1970-01-01 00:00:00 UTC.
struct Date {
    double seconds = 0;
    bool operator==(const Date& o) const { return seconds == o.seconds; }
};

class Dictionary {
public:
    using Entry = std::pair<std::string, Value>;

    Dictionary();
    Dictionary(std::initializer_list<Entry> entries);
    Dictionary(const Dictionary& other);
    Dictionary(Dictionary&& other) noexcept;
    Dictionary& operator=(const Dictionary& other);
    Dictionary& operator=(Dictionary&& other) noexcept;
    ~Dictionary();

    // Sets or replaces the value of a key; a replaced key keeps its position.
    void set(std::string key, Value value);
    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const;
    bool remove(std::string_view key);
    void clear();
    void reserve(size_t n);
    // Replaces the contents with the entries, in their order, as if each
    // were set() in turn: a key given twice keeps its first position and its
    // last value. Linear in the number of entries.
    void assignEntries(std::vector<Entry>&& entries);
    // Replaces the contents with the entries as they are, for a caller that
    // knows no key among them is given twice.
    void assignDistinctEntries(std::vector<Entry>&& entries);

    size_t size() const;
    bool empty() const;
    const std::vector<Entry>& entries() const;
    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;
    std::vector<std::string> keys() const;

    bool operator==(const Dictionary& other) const;

private:
    void rebuildIndex();
    std::vector<Entry> entries_;
    // Built once a dictionary grows past a few keys so lookups stay O(1).
    std::unique_ptr<std::unordered_map<std::string, size_t>> index_;
};

class Value {
public:
    enum class Type { Null, Bool, Int, UInt, Decimal, Double, String, Bytes, Date, Array, Dictionary };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(int64_t(i)) {}
    Value(long i) : v_(int64_t(i)) {}
    Value(long long i) : v_(int64_t(i)) {}
    Value(unsigned u) : v_(int64_t(u)) {}
    Value(unsigned long u) : v_(uint64_t(u)) {}
    Value(unsigned long long u) : v_(uint64_t(u)) {}
    Value(double d) : v_(d) {}
    Value(foundation::Decimal d) : v_(std::move(d)) {}
    Value(const char* s) : v_(std::in_place_type<std::string>, s) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::in_place_type<std::string>, s) {}
    Value(foundation::Bytes b) : v_(std::move(b)) {}
    Value(foundation::Date d) : v_(d) {}
    Value(foundation::Array a) : v_(std::move(a)) {}
    Value(foundation::Dictionary d) : v_(std::move(d)) {}

    Type type() const { return Type(v_.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isBool() const { return type() == Type::Bool; }
    bool isNumber() const;  // bool, integer, unsigned, decimal or double
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }

    // Typed access; nullptr when the value is of another type.
    const std::string* asString() const { return std::get_if<std::string>(&v_); }
    const foundation::Array* asArray() const { return std::get_if<foundation::Array>(&v_); }
    foundation::Array* asArray() { return std::get_if<foundation::Array>(&v_); }
    const foundation::Dictionary* asDictionary() const { return std::get_if<foundation::Dictionary>(&v_); }
    foundation::Dictionary* asDictionary() { return std::get_if<foundation::Dictionary>(&v_); }
    const foundation::Bytes* asBytes() const { return std::get_if<foundation::Bytes>(&v_); }
    const foundation::Decimal* asDecimal() const { return std::get_if<foundation::Decimal>(&v_); }
    const foundation::Date* asDate() const { return std::get_if<foundation::Date>(&v_); }

    // Numeric readings that also work on texts: the leading number of the
    // text, 0 when there is none (as the phone's string conversions do).
    int intValue() const;
    long long longLongValue() const;
    unsigned long long unsignedLongLongValue() const;
    double doubleValue() const;
    bool boolValue() const;

    // The text "%@" prints: nil -> "(null)", YES/NO -> "1"/"0", integers
    // without ".0", texts as they are, arrays and dictionaries in the
    // platform's description form.
    std::string description() const;

    // Member lookup on a dictionary; nullptr when absent or not a dictionary.
    const Value* get(std::string_view key) const;
    // Element of an array; nullptr when out of range or not an array.
    const Value* at(size_t index) const;

    bool operator==(const Value& other) const { return v_ == other.v_; }
    bool operator!=(const Value& other) const { return !(*this == other); }

private:
    std::variant<std::monostate, bool, int64_t, uint64_t, foundation::Decimal, double, std::string, foundation::Bytes,
                 foundation::Date, foundation::Array, foundation::Dictionary>
        v_;
};

inline bool Dictionary::contains(std::string_view key) const { return find(key) != nullptr; }
inline size_t Dictionary::size() const { return entries_.size(); }
inline bool Dictionary::empty() const { return entries_.empty(); }
inline const std::vector<Dictionary::Entry>& Dictionary::entries() const { return entries_; }
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::begin() const { return entries_.begin(); }
inline std::vector<Dictionary::Entry>::const_iterator Dictionary::end() const { return entries_.end(); }

// "%@" of an optional text: nullopt prints "(null)".
std::string describe(const std::optional<std::string>& text);
// How the platform prints a double with "%@": shortest exact form, no ".0".
std::string formatNumber(double d);

// Leading-number readings of a text, as the phone's string conversions do:
// leading white space, an optional sign and digits; 0 when there is none.
long long textLongLongValue(std::string_view s);
int textIntValue(std::string_view s);
double textDoubleValue(std::string_view s);
// True when the text starts (after white space, sign and zeros) with
// Y, y, T, t or a digit 1-9.
bool textBoolValue(std::string_view s);

}  // namespace foundation
