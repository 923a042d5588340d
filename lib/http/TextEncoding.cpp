#include "lib/http/TextEncoding.h"

#include <iconv.h>

#include <cerrno>

#include "platform/foundation/Text.h"

namespace http {
namespace {

struct Known {
    const char* name;
    StringEncoding encoding;
};

// Charset names (lower case) and the encoding they stand for.
constexpr Known kNames[] = {
    {"utf-8", kUTF8StringEncoding},
    {"utf8", kUTF8StringEncoding},
    {"iso-8859-1", kISOLatin1StringEncoding},
    {"iso_8859-1", kISOLatin1StringEncoding},
    {"latin1", kISOLatin1StringEncoding},
    {"l1", kISOLatin1StringEncoding},
    {"us-ascii", kASCIIStringEncoding},
    {"ascii", kASCIIStringEncoding},
    {"utf-16", kUnicodeStringEncoding},
    {"utf-16be", kUTF16BigEndianStringEncoding},
    {"utf-16le", kUTF16LittleEndianStringEncoding},
    {"iso-8859-2", kISOLatin2StringEncoding},
    {"windows-1250", kWindowsCP1250StringEncoding},
    {"windows-1251", kWindowsCP1251StringEncoding},
    {"windows-1252", kWindowsCP1252StringEncoding},
    {"shift_jis", kShiftJISStringEncoding},
    {"euc-jp", kJapaneseEUCStringEncoding},
    {"gb18030", kGB18030StringEncoding},
    {"gbk", kGBKStringEncoding},
    {"gb2312", kEUCCNStringEncoding},
    {"euc-cn", kEUCCNStringEncoding},
    {"big5", kBig5StringEncoding},
};

const char* iconvName(StringEncoding e) {
    switch (e) {
        case kUnicodeStringEncoding:
            return "UTF-16";
        case kUTF16BigEndianStringEncoding:
            return "UTF-16BE";
        case kUTF16LittleEndianStringEncoding:
            return "UTF-16LE";
        case kISOLatin2StringEncoding:
            return "ISO-8859-2";
        case kWindowsCP1250StringEncoding:
            return "WINDOWS-1250";
        case kWindowsCP1251StringEncoding:
            return "WINDOWS-1251";
        case kWindowsCP1252StringEncoding:
            return "WINDOWS-1252";
        case kShiftJISStringEncoding:
            return "SHIFT_JIS";
        case kJapaneseEUCStringEncoding:
            return "EUC-JP";
        case kGB18030StringEncoding:
            return "GB18030";
        case kGBKStringEncoding:
            return "GBK";
        case kEUCCNStringEncoding:
            return "EUC-CN";
        case kBig5StringEncoding:
            return "BIG5";
        default:
            return nullptr;
    }
}

std::optional<std::string> viaIconv(const std::vector<uint8_t>& bytes, const char* from) {
    iconv_t cd = iconv_open("UTF-8", from);
    if (cd == iconv_t(-1)) return std::nullopt;
    std::string out(bytes.size() * 4 + 16, '\0');
    char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes.data()));
    size_t inLeft = bytes.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    bool ok = rc != size_t(-1) && inLeft == 0;
    if (ok) ok = iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != size_t(-1);
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

std::optional<StringEncoding> encodingForCharsetName(std::string_view name) {
    std::string lower = foundation::toLower(foundation::trim(name));
    if (lower.size() >= 2 && lower.front() == '"' && lower.back() == '"') lower = lower.substr(1, lower.size() - 2);
    for (const auto& k : kNames)
        if (lower == k.name) return k.encoding;
    return std::nullopt;
}

std::optional<std::string> decodeText(const std::vector<uint8_t>& bytes, StringEncoding encoding) {
    switch (encoding) {
        case kUTF8StringEncoding: {
            std::string s(bytes.begin(), bytes.end());
            if (!foundation::isValidUtf8(s)) return std::nullopt;
            return s;
        }
        case kASCIIStringEncoding:
            for (uint8_t b : bytes)
                if (b >= 0x80) return std::nullopt;
            return std::string(bytes.begin(), bytes.end());
        case kISOLatin1StringEncoding: {
            std::string s;
            s.reserve(bytes.size());
            for (uint8_t b : bytes) foundation::appendUtf8(s, char32_t(b));
            return s;
        }
        default:
            if (const char* name = iconvName(encoding)) return viaIconv(bytes, name);
            return std::nullopt;
    }
}

}  // namespace http
