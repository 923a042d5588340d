#pragma once
// The byte stream and the tokeniser under the JSON stream parser.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"

enum JsonToken : int {
    JsonTokenError = -1,
    JsonTokenEof = 0,
    JsonTokenArrayStart = 1,
    JsonTokenArrayEnd = 2,
    JsonTokenObjectStart = 3,
    JsonTokenObjectEnd = 4,
    JsonTokenValueSeparator = 5,
    JsonTokenKeyValueSeparator = 6,
    JsonTokenNumber = 7,
    JsonTokenString = 8,
    JsonTokenTrue = 9,
    JsonTokenFalse = 10,
    JsonTokenNull = 11,
};

// The name of a token in error messages ("start of array", "boolean", ...).
const char* jsonTokenName(int token);

// The bytes received so far and the read position. Appending first drops the
// bytes already read, so a long stream does not keep what it has parsed.
// While nothing is left over from earlier data, appended data is read where
// it lies; keepRest() copies what is still unread before that data goes away.
class JsonUTF8Stream {
public:
    JsonUTF8Stream();
    void appendData(const uint8_t* bytes, size_t length);
    void keepRest();
    const uint8_t* bytes() const { return bytes_; }
    size_t length() const { return length_; }
    size_t index() const { return index_; }
    void setIndex(size_t index) { index_ = index; }

private:
    std::vector<uint8_t> data_;
    const uint8_t* bytes_ = nullptr;
    size_t length_ = 0;
    size_t index_ = 0;
    bool external_ = false;
};

// Splits the stream into tokens. A token cut off by the end of the data is
// not consumed: getToken() answers JsonTokenEof and the next call, after more
// data was appended, reads it again from its start. A number is complete only
// once the character after it has been seen.
class JsonTokeniser {
public:
    void appendData(const uint8_t* bytes, size_t length) { stream_.appendData(bytes, length); }
    // Must be called before the appended data goes away.
    void keepRest() { stream_.keepRest(); }
    inline JsonToken getToken();

    // The message of the last JsonTokenError.
    const std::string& error() const { return error_; }
    // The decoded text of the last string token; valid until the next call.
    std::string_view string() const { return string_; }
    // The value of the last number token.
    const foundation::Value& number() const { return number_; }
    foundation::Value& number() { return number_; }

private:
    JsonToken getOtherToken(size_t start);
    JsonToken getStringToken(size_t start);
    JsonToken getNumberToken(size_t start);
    JsonToken matchWord(size_t start, const char* word, JsonToken token);
    JsonToken fail(std::string message);

    JsonUTF8Stream stream_;
    std::string error_;
    std::string buffer_;
    std::string digits_;  // scratch for decimal numbers
    std::string_view string_;
    foundation::Value number_;
};

// Inline: the stream parser asks for every token.
inline JsonToken JsonTokeniser::getToken() {
    const uint8_t* bytes = stream_.bytes();
    size_t length = stream_.length();
    size_t i = stream_.index();
    while (i < length && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\n' || bytes[i] == '\r')) ++i;
    stream_.setIndex(i);
    if (i == length) return JsonTokenEof;
    switch (bytes[i]) {
        case '[':
            stream_.setIndex(i + 1);
            return JsonTokenArrayStart;
        case ']':
            stream_.setIndex(i + 1);
            return JsonTokenArrayEnd;
        case '{':
            stream_.setIndex(i + 1);
            return JsonTokenObjectStart;
        case '}':
            stream_.setIndex(i + 1);
            return JsonTokenObjectEnd;
        case ',':
            stream_.setIndex(i + 1);
            return JsonTokenValueSeparator;
        case ':':
            stream_.setIndex(i + 1);
            return JsonTokenKeyValueSeparator;
        case '"':
            return getStringToken(i);
        default:
            return getOtherToken(i);
    }
}
