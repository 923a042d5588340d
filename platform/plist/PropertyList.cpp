#include "platform/plist/PropertyList.h"

#include <expat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Encoding.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace plist {

namespace {

constexpr size_t kMaxDepth = 256;

struct Frame {
    foundation::Value value;
    std::string pendingKey;
    bool haveKey = false;
};

struct Parser {
    std::vector<Frame> stack;
    std::optional<foundation::Value> root;
    std::string text;
    std::string error;
    bool inScalar = false;
    XML_Parser xml = nullptr;

    void fail(const std::string& why) {
        if (error.empty()) error = why;
        XML_StopParser(xml, XML_FALSE);
    }

    void attach(foundation::Value v) {
        if (stack.empty()) {
            if (root) return fail("more than one root value");
            root = std::move(v);
            return;
        }
        Frame& top = stack.back();
        if (auto* d = top.value.asDictionary()) {
            if (!top.haveKey) return fail("dictionary value without a key");
            d->set(std::move(top.pendingKey), std::move(v));
            top.pendingKey.clear();
            top.haveKey = false;
        } else if (auto* a = top.value.asArray()) {
            a->push_back(std::move(v));
        }
    }

    void start(const std::string& name) {
        if (!error.empty()) return;
        if (inScalar) return fail("element inside " + name);
        if (name == "plist") return;
        if (name == "dict" || name == "array") {
            if (stack.size() >= kMaxDepth) return fail("nested too deeply");
            Frame f;
            f.value =
                name == "dict" ? foundation::Value(foundation::Dictionary{}) : foundation::Value(foundation::Array{});
            stack.push_back(std::move(f));
            return;
        }
        if (name == "key" || name == "string" || name == "integer" || name == "real" || name == "data" ||
            name == "date") {
            inScalar = true;
            text.clear();
            return;
        }
        if (name == "true" || name == "false") return;
        fail("unknown element " + name);
    }

    void end(const std::string& name) {
        if (!error.empty()) return;
        if (name == "plist") return;
        if (name == "dict" || name == "array") {
            if (stack.empty()) return fail("unbalanced " + name);
            if (stack.back().haveKey) return fail("key without a value");
            foundation::Value v = std::move(stack.back().value);
            stack.pop_back();
            return attach(std::move(v));
        }
        if (name == "true" || name == "false") return attach(foundation::Value(name == "true"));
        inScalar = false;
        if (name == "key") {
            if (stack.empty() || !stack.back().value.isDictionary() || stack.back().haveKey)
                return fail("misplaced key");
            stack.back().pendingKey = text;
            stack.back().haveKey = true;
        } else if (name == "string") {
            attach(foundation::Value(text));
        } else if (name == "integer") {
            char* endp = nullptr;
            long long v = std::strtoll(text.c_str(), &endp, 10);
            attach(foundation::Value(v));
        } else if (name == "real") {
            attach(foundation::Value(std::strtod(text.c_str(), nullptr)));
        } else if (name == "data") {
            attach(foundation::Value(decodeBase64(text)));
        } else if (name == "date") {
            std::tm tm{};
            foundation::Date d;
            if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%dZ", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                            &tm.tm_min, &tm.tm_sec) == 6) {
                tm.tm_year -= 1900;
                tm.tm_mon -= 1;
                d.seconds = double(timegm(&tm));
            }
            attach(foundation::Value(d));
        }
    }

    // <data> is wrapped with line breaks and tabs and read leniently; a lone
    // character left at the end is dropped.
    static foundation::Bytes decodeBase64(const std::string& s) {
        return *foundation::base64DecodeLenient(s, foundation::Base64Leftover::Drop);
    }
};

void XMLCALL onStart(void* ud, const XML_Char* name, const XML_Char**) { static_cast<Parser*>(ud)->start(name); }
void XMLCALL onEnd(void* ud, const XML_Char* name) { static_cast<Parser*>(ud)->end(name); }
void XMLCALL onText(void* ud, const XML_Char* s, int len) {
    auto* p = static_cast<Parser*>(ud);
    if (p->inScalar) p->text.append(s, size_t(len));
}

}  // namespace

std::optional<foundation::Value> parse(std::string_view xml) {
    Parser p;
    p.xml = XML_ParserCreate("UTF-8");
    if (!p.xml) return std::nullopt;
    XML_SetUserData(p.xml, &p);
    XML_SetElementHandler(p.xml, onStart, onEnd);
    XML_SetCharacterDataHandler(p.xml, onText);
    bool ok = XML_Parse(p.xml, xml.data(), int(xml.size()), XML_TRUE) == XML_STATUS_OK;
    if (!ok && p.error.empty()) p.error = XML_ErrorString(XML_GetErrorCode(p.xml));
    XML_ParserFree(p.xml);
    // Unwind the open containers one by one so no deep value is left to a
    // recursive destructor beyond the depth limit.
    if (!p.error.empty() || !p.stack.empty() || !p.root) {
        foundation::warn("plist: %s", p.error.empty() ? "no complete root value" : p.error.c_str());
        return std::nullopt;
    }
    return std::move(p.root);
}

std::optional<foundation::Value> readFile(const std::string& path) {
    auto text = foundation::readFile(path);
    if (!text) {
        foundation::warn("plist: cannot read %s", path.c_str());
        return std::nullopt;
    }
    return parse(*text);
}

std::optional<foundation::Dictionary> readDictionary(const std::string& path) {
    auto v = readFile(path);
    if (!v || !v->isDictionary()) return std::nullopt;
    return std::move(*v->asDictionary());
}

}  // namespace plist
