#include "platform/ui/WebView.h"

#include <duktape.h>
#include <gumbo.h>
#include <litehtml/litehtml.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unordered_map>

#include "platform/foundation/Encoding.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/PangoSupport.h"

namespace ui {

namespace {

// ---------------------------------------------------------------------------
// The document as scripts see it: a small tree of elements and texts, parsed
// with gumbo. Every change marks the page for a new layout.

struct Node {
    bool isText = false;
    std::string tag;  // lower case
    std::vector<std::pair<std::string, std::string>> attrs;
    std::string text;
    std::vector<std::unique_ptr<Node>> children;
    Node* parent = nullptr;
    int qid = 0;

    const std::string* attr(const std::string& name) const {
        for (const auto& [k, v] : attrs)
            if (k == name) return &v;
        return nullptr;
    }
    void setAttr(const std::string& name, const std::string& value) {
        for (auto& [k, v] : attrs)
            if (k == name) {
                v = value;
                return;
            }
        attrs.emplace_back(name, value);
    }
    void removeAttr(const std::string& name) {
        attrs.erase(std::remove_if(attrs.begin(), attrs.end(), [&](const auto& a) { return a.first == name; }),
                    attrs.end());
    }
};

std::string lower(std::string s) {
    for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool isVoidTag(const std::string& t) {
    static const char* const tags[] = {"area",  "base", "br",   "col",   "embed",  "hr",    "img",
                                       "input", "link", "meta", "param", "source", "track", "wbr"};
    return std::any_of(std::begin(tags), std::end(tags), [&](const char* v) { return t == v; });
}

bool isRawTextTag(const std::string& t) { return t == "style" || t == "script"; }

void escapeText(std::string& out, const std::string& s, bool inAttribute) {
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                if (inAttribute) {
                    out += "&quot;";
                    break;
                }
                [[fallthrough]];
            default:
                out += c;
        }
    }
}

// Pages without a doctype read a font size without a unit as pixels; the
// layout engine would drop such a declaration, so the unit is written in.
std::string unitlessFontSizeAsPixels(const std::string& css) {
    std::string out;
    size_t i = 0;
    const std::string key = "font-size";
    for (size_t at; (at = lower(css).find(key, i)) != std::string::npos;) {
        size_t j = at + key.size();
        while (j < css.size() && std::isspace(static_cast<unsigned char>(css[j]))) ++j;
        if (j >= css.size() || css[j] != ':') {
            out.append(css, i, j - i);
            i = j;
            continue;
        }
        ++j;
        while (j < css.size() && std::isspace(static_cast<unsigned char>(css[j]))) ++j;
        size_t n = j;
        while (n < css.size() && (std::isdigit(static_cast<unsigned char>(css[n])) || css[n] == '.')) ++n;
        out.append(css, i, n - i);
        i = n;
        bool hasUnit = n < css.size() && (std::isalpha(static_cast<unsigned char>(css[n])) || css[n] == '%');
        if (n > j && !hasUnit) out += "px";
    }
    out.append(css, i, std::string::npos);
    return out;
}

// Text of a node and its descendants.
void collectText(const Node& n, std::string& out) {
    if (n.isText) {
        out += n.text;
        return;
    }
    if (isRawTextTag(n.tag)) return;
    for (const auto& c : n.children) collectText(*c, out);
}

// ---------------------------------------------------------------------------
// Line breaking: words break at white space as usual, and CJK text may break
// between any two characters. Closing punctuation stays with the character
// before it so that no line starts with a comma or a full stop.

bool isCjk(uint32_t cp) {
    return (cp >= 0x2E80 && cp <= 0x2FFF) || (cp >= 0x3000 && cp <= 0x303F) || (cp >= 0x3040 && cp <= 0x30FF) ||
           (cp >= 0x3100 && cp <= 0x31FF) || (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) ||
           (cp >= 0xAC00 && cp <= 0xD7AF) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
           (cp >= 0xFF00 && cp <= 0xFFEF) || (cp >= 0x20000 && cp <= 0x2FA1F);
}

bool isClosingPunctuation(uint32_t cp) {
    static const uint32_t marks[] = {0x3001, 0x3002, 0xFF0C, 0xFF0E, 0xFF1A, 0xFF1B, 0xFF01, 0xFF1F, 0xFF09,
                                     0x300D, 0x300F, 0x300B, 0x3009, 0x3011, 0x201D, 0x2019, 0x2026, 0x3015};
    return std::find(std::begin(marks), std::end(marks), cp) != std::end(marks);
}

// Decodes one UTF-8 sequence at s[i]; advances i. Bad bytes decode as themselves.
uint32_t nextCodePoint(const std::string& s, size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
    if (i + size_t(len) > s.size()) len = 1;
    uint32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + size_t(k)]) & 0x3F);
    i += size_t(len);
    return cp;
}

// ---------------------------------------------------------------------------
// The style sheet every page starts from.

const char* kMasterCss = R"CSS(
html { display: block; }
head, style, script, meta, title, link, base, template { display: none; }
body { display: block; margin: 8px; }
div, p, h1, h2, h3, h4, h5, h6, ul, ol, dl, dt, dd, blockquote, pre, address, center, section, article,
header, footer, nav, aside, figure, figcaption, form, hr, main { display: block; }
p, blockquote, figure, dl { margin-top: 1em; margin-bottom: 1em; }
blockquote { margin-left: 40px; margin-right: 40px; }
dd { margin-left: 40px; }
h1 { font-size: 2em; margin-top: 0.67em; margin-bottom: 0.67em; font-weight: bold; }
h2 { font-size: 1.5em; margin-top: 0.83em; margin-bottom: 0.83em; font-weight: bold; }
h3 { font-size: 1.17em; margin-top: 1em; margin-bottom: 1em; font-weight: bold; }
h4 { font-size: 1em; margin-top: 1.33em; margin-bottom: 1.33em; font-weight: bold; }
h5 { font-size: 0.83em; margin-top: 1.67em; margin-bottom: 1.67em; font-weight: bold; }
h6 { font-size: 0.67em; margin-top: 2.33em; margin-bottom: 2.33em; font-weight: bold; }
b, strong, th { font-weight: bold; }
i, em, cite, var, address { font-style: italic; }
u, ins { text-decoration: underline; }
s, strike, del { text-decoration: line-through; }
small { font-size: 0.83em; }
big { font-size: 1.17em; }
sub { vertical-align: sub; font-size: 0.83em; }
sup { vertical-align: super; font-size: 0.83em; }
center { text-align: center; }
pre, code, tt, kbd, samp { font-family: monospace; }
pre { white-space: pre; margin-top: 1em; margin-bottom: 1em; }
ul, ol { margin-top: 1em; margin-bottom: 1em; padding-left: 40px; }
ul { list-style-type: disc; }
ol { list-style-type: decimal; }
ul ul, ol ul { list-style-type: circle; margin-top: 0; margin-bottom: 0; }
li { display: list-item; }
a { color: #0000EE; text-decoration: underline; cursor: pointer; }
hr { border-style: inset; border-width: 1px; margin-top: 0.5em; margin-bottom: 0.5em; color: gray; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { text-align: center; }
caption { display: table-caption; text-align: center; }
img, iframe, video, object, embed { display: inline-block; }
br { display: block; }
)CSS";

litehtml::context& sharedContext() {
    static litehtml::context* ctx = [] {
        auto* c = new litehtml::context();
        c->load_master_stylesheet(kMasterCss);
        return c;
    }();
    return *ctx;
}

struct FontData {
    PangoFontDescription* desc = nullptr;
    bool underline = false;
    bool strike = false;
    PangoLayout* measurer = nullptr;              // reused for every width
    std::unordered_map<std::string, int> widths;  // words repeat, CJK characters most of all
    double descent = 0;
};

// The system family, used after the page's families for anything they lack.
std::string systemFamilies() {
    PangoFontDescription* d = detail::describe(Font::systemFont(14));
    std::string f = pango_font_description_get_family(d) ? pango_font_description_get_family(d) : "sans-serif";
    pango_font_description_free(d);
    return f;
}

}  // namespace

// ---------------------------------------------------------------------------

// The page scripts' engine heap: what it may spend. A run is stopped when its
// time is up (the engine asks now and then while it runs) or when the heap
// would grow past its limit (the allocation fails, the engine throws).
// ---------------------------------------------------------------------------
// What a page may hold. The HTML parser's work grows with the square of the
// nesting, and every element costs memory in the parser, the page and the
// layout: markup is looked over once, linearly, before it is parsed. Start
// tags nested deeper than kScanDepth are left out (their content stays, and
// the view drops everything deeper than its own limit after parsing), and
// past the page's element or byte budget the rest of the markup is left out.

// Tags that add no level: they hold nothing, or the parser closes them by
// itself when their end tag is missing.
bool addsNoLevel(const std::string& t) {
    static const char* const kTags[] = {"p",      "li",       "dt",    "dd",    "tr",    "td",       "th",
                                        "option", "optgroup", "thead", "tbody", "tfoot", "colgroup", "rb",
                                        "rt",     "rp",       "rtc",   "html",  "head",  "body"};
    return isVoidTag(t) || std::find(std::begin(kTags), std::end(kTags), t) != std::end(kTags);
}

bool holdsRawText(const std::string& t) {
    return isRawTextTag(t) || t == "textarea" || t == "title" || t == "xmp" || t == "noscript";
}

struct BoundedMarkup {
    std::string kept;
    size_t stripped = 0;  // start tags nested too deep, left out
    size_t elements = 0;  // start tags kept
    bool cut = false;     // the budget ran out: the rest was left out
};

// `depth` is the level the markup goes in at; levels past `maxDepth` are left
// out; at most `maxElements` start tags and about `maxBytes` bytes are kept.
BoundedMarkup boundMarkup(const std::string& html, int depth, int maxDepth, size_t maxElements, size_t maxBytes) {
    BoundedMarkup b;
    const size_t n = html.size();
    const int base = depth;
    auto tagEnd = [&](size_t from) {
        char quote = 0;
        for (size_t k = from; k < n; ++k) {
            const char c = html[k];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return k;
            }
        }
        return std::string::npos;
    };
    // Index of the end tag of a raw-text element (or n).
    auto rawTextEnd = [&](size_t from, const std::string& name) {
        for (size_t k = html.find("</", from); k != std::string::npos; k = html.find("</", k + 2))
            if (k + 2 + name.size() <= n && lower(html.substr(k + 2, name.size())) == name) return k;
        return n;
    };
    size_t i = 0;
    while (i < n) {
        if (b.kept.size() > maxBytes) {
            b.cut = true;
            break;
        }
        const size_t lt = html.find('<', i);
        if (lt == std::string::npos) {
            b.kept.append(html, i, std::string::npos);
            break;
        }
        b.kept.append(html, i, lt - i);
        i = lt;
        if (html.compare(i, 4, "<!--") == 0) {
            const size_t e = html.find("-->", i + 4);
            const size_t end = e == std::string::npos ? n : e + 3;
            b.kept.append(html, i, end - i);
            i = end;
            continue;
        }
        const bool closing = i + 1 < n && html[i + 1] == '/';
        const size_t nameStart = i + (closing ? 2 : 1);
        if (nameStart >= n || !std::isalpha(static_cast<unsigned char>(html[nameStart]))) {
            if (nameStart < n && !closing && (html[nameStart] == '!' || html[nameStart] == '?')) {
                const size_t gt = html.find('>', nameStart);
                const size_t end = gt == std::string::npos ? n : gt + 1;
                b.kept.append(html, i, end - i);
                i = end;
            } else {
                b.kept += '<';
                ++i;
            }
            continue;
        }
        size_t nameEnd = nameStart;
        while (nameEnd < n && (std::isalnum(static_cast<unsigned char>(html[nameEnd])) || html[nameEnd] == '-'))
            ++nameEnd;
        const std::string name = lower(html.substr(nameStart, nameEnd - nameStart));
        const size_t gt = tagEnd(nameEnd);
        const size_t end = gt == std::string::npos ? n : gt + 1;
        const bool level = !addsNoLevel(name);
        if (closing) {
            if (level && depth > maxDepth) {
                --depth;  // its start tag was left out
            } else {
                if (level && depth > base) --depth;
                b.kept.append(html, i, end - i);
            }
            i = end;
            continue;
        }
        const bool selfClosing = gt != std::string::npos && gt > nameEnd && html[gt - 1] == '/';
        if (level && !selfClosing && depth + 1 > maxDepth) {
            ++b.stripped;
            if (holdsRawText(name)) {
                // Left out with its text and end tag.
                const size_t close = rawTextEnd(end, name);
                const size_t closeEnd = close == n ? n : tagEnd(close);
                i = closeEnd == std::string::npos || closeEnd == n ? n : closeEnd + 1;
            } else {
                ++depth;
                i = end;
            }
            continue;
        }
        if (b.elements >= maxElements) {
            b.cut = true;
            break;
        }
        ++b.elements;
        if (level && !selfClosing) ++depth;
        b.kept.append(html, i, end - i);
        i = end;
        if (holdsRawText(name) && !selfClosing) {
            const size_t close = rawTextEnd(i, name);
            b.kept.append(html, i, close - i);
            i = close;
        }
    }
    return b;
}

struct ScriptHeap : quenta_duk_guard {
    static constexpr double kTimeBudgetSeconds = 0.5;
    static constexpr size_t kMemoryLimitBytes = size_t(64) << 20;

    std::chrono::steady_clock::time_point deadline;
    bool running = false;
    bool timedOut = false;
    bool outOfMemory = false;
    size_t used = 0;

    ScriptHeap() { expired = &ScriptHeap::check; }
    static int check(quenta_duk_guard* g) {
        auto* h = static_cast<ScriptHeap*>(g);
        if (h->running && std::chrono::steady_clock::now() >= h->deadline) h->timedOut = true;
        return h->timedOut ? 1 : 0;
    }

    // Every block carries its size in front of it.
    static constexpr size_t kHeader = alignof(std::max_align_t);
    static void* alloc(void* udata, duk_size_t size) {
        auto* h = static_cast<ScriptHeap*>(static_cast<quenta_duk_guard*>(udata));
        if (size > kMemoryLimitBytes - h->used) {
            h->outOfMemory = true;
            return nullptr;
        }
        auto* block = static_cast<char*>(std::malloc(kHeader + size));
        if (!block) return nullptr;
        *reinterpret_cast<size_t*>(block) = size;
        h->used += size;
        return block + kHeader;
    }
    static void* realloc(void* udata, void* ptr, duk_size_t size) {
        if (!ptr) return alloc(udata, size);
        auto* h = static_cast<ScriptHeap*>(static_cast<quenta_duk_guard*>(udata));
        char* block = static_cast<char*>(ptr) - kHeader;
        size_t old = *reinterpret_cast<size_t*>(block);
        if (size > old && size - old > kMemoryLimitBytes - h->used) {
            h->outOfMemory = true;
            return nullptr;
        }
        auto* grown = static_cast<char*>(std::realloc(block, kHeader + size));
        if (!grown) return nullptr;
        *reinterpret_cast<size_t*>(grown) = size;
        h->used = h->used - old + size;
        return grown + kHeader;
    }
    static void free(void* udata, void* ptr) {
        if (!ptr) return;
        auto* h = static_cast<ScriptHeap*>(static_cast<quenta_duk_guard*>(udata));
        char* block = static_cast<char*>(ptr) - kHeader;
        h->used -= *reinterpret_cast<size_t*>(block);
        std::free(block);
    }
    static void fatal(void* udata, const char* msg) {
        (void)udata;
        foundation::log("ERROR: WebView: the page script engine failed: ", msg ? msg : "");
        std::abort();
    }
};

struct WebView::Impl : public litehtml::document_container {
    WebView* owner = nullptr;
    std::unique_ptr<Node> root;
    std::unordered_map<int, Node*> byQid;
    int nextQid = 1;
    std::string baseURL;
    std::string baseDir;  // file system folder of baseURL, ends with '/' (or empty)
    std::shared_ptr<litehtml::document> doc;
    std::unordered_map<int, litehtml::element::ptr> elementByQid;
    duk_context* duk = nullptr;
    ScriptHeap scriptHeap;
    bool dirty = false;
    int width = 320;
    int viewportHeight = 480;
    std::map<std::string, ImageRef> images;
    std::vector<litehtml::position> clips;
    std::string defaultFamily = systemFamilies();
    std::string pendingHtml;
    std::string pendingBase;
    std::string currentURL;             // the page loaded by address, if any
    std::vector<std::string> backList;  // pages before it, oldest first

    // The page's budget, whatever its scripts do: the time of all its own
    // scripts together (the inline ones and its listeners; each run has its
    // own ScriptHeap::kTimeBudgetSeconds too, as the app's calls have), the
    // script heap (ScriptHeap::kMemoryLimitBytes), and the elements and bytes
    // its document holds however they got there.
    static constexpr double kPageScriptSeconds = 1.0;
    static constexpr size_t kMaxPageElements = 20000;
    static constexpr size_t kMaxPageBytes = size_t(16) << 20;
    double pageScriptSecondsLeft = kPageScriptSeconds;
    size_t pageScriptsSkipped = 0;
    size_t elementCount = 0;
    size_t liveBytes = 0;

    ~Impl() { closeScripts(); }

    // --- DOM ----------------------------------------------------------------
    static size_t bytesOf(const Node& n) {
        size_t bytes = sizeof(Node) + n.tag.size() + n.text.size();
        for (const auto& [k, v] : n.attrs) bytes += k.size() + v.size();
        return bytes;
    }
    Node* add(Node* parent, std::unique_ptr<Node> n) {
        n->parent = parent;
        n->qid = nextQid++;
        Node* raw = n.get();
        byQid[raw->qid] = raw;
        if (!raw->isText) ++elementCount;
        liveBytes += bytesOf(*raw);
        parent->children.push_back(std::move(n));
        return raw;
    }
    // Sets an attribute unless the page would hold more than its bytes.
    bool setAttribute(Node* n, const std::string& name, const std::string& value) {
        const std::string* old = n->attr(name);
        const size_t before = old ? name.size() + old->size() : 0;
        const size_t after = name.size() + value.size();
        if (after > before && after - before > kMaxPageBytes - std::min(liveBytes, kMaxPageBytes)) {
            foundation::log("ERROR: WebView: the page would hold more than ", kMaxPageBytes >> 20,
                            " MB; an attribute of ", value.size(), " bytes was refused");
            return false;
        }
        n->setAttr(name, value);
        liveBytes = liveBytes - before + after;
        dirty = true;
        return true;
    }
    void removeAttribute(Node* n, const std::string& name) {
        if (const std::string* old = n->attr(name)) liveBytes -= std::min(liveBytes, name.size() + old->size());
        n->removeAttr(name);
        dirty = true;
    }
    // The markup a page or an element takes, within the page's budget.
    BoundedMarkup bound(const std::string& html, int depth) {
        BoundedMarkup b =
            boundMarkup(html, depth, kScanDepth, kMaxPageElements - std::min(elementCount, kMaxPageElements),
                        kMaxPageBytes - std::min(liveBytes, kMaxPageBytes));
        if (b.cut)
            foundation::log("ERROR: WebView: the page would hold more than ", kMaxPageElements, " elements or ",
                            kMaxPageBytes >> 20, " MB; the markup after byte ", b.kept.size(), " of ", html.size(),
                            " was left out");
        return b;
    }

    // Elements below this depth are dropped: everything that walks the tree
    // (here and in the layout) does it by recursion, and its cost grows with
    // the square of the depth.
    static constexpr int kMaxDepth = 256;
    // Levels the markup scan lets through to the parser (see boundMarkup).
    static constexpr int kScanDepth = 2 * kMaxDepth;

    static int depthOf(const Node* n) {
        int d = 0;
        for (; n && n->parent; n = n->parent) ++d;
        return d;
    }

    // Adds the parsed nodes under parent, without recursion. Returns the number
    // of elements dropped for lying deeper than kMaxDepth.
    size_t convert(GumboNode* top, Node* parent) {
        size_t dropped = 0;
        struct Pending {
            GumboNode* g;
            Node* parent;
            int depth;  // of the node to make
        };
        std::vector<Pending> work{{top, parent, depthOf(parent) + 1}};
        while (!work.empty()) {
            Pending item = work.back();
            work.pop_back();
            GumboNode* g = item.g;
            if (g->type == GUMBO_NODE_TEXT || g->type == GUMBO_NODE_WHITESPACE || g->type == GUMBO_NODE_CDATA) {
                auto n = std::make_unique<Node>();
                n->isText = true;
                n->text = g->v.text.text;
                add(item.parent, std::move(n));
                continue;
            }
            if (g->type != GUMBO_NODE_ELEMENT && g->type != GUMBO_NODE_TEMPLATE) continue;
            const GumboElement& e = g->v.element;
            if (item.depth > kMaxDepth) {
                ++dropped;
                for (unsigned i = 0; i < e.children.length; ++i) {
                    auto* k = static_cast<GumboNode*>(e.children.data[i]);
                    if (k->type == GUMBO_NODE_ELEMENT || k->type == GUMBO_NODE_TEMPLATE)
                        work.push_back({k, nullptr, item.depth + 1});
                }
                continue;
            }
            auto n = std::make_unique<Node>();
            if (e.tag == GUMBO_TAG_UNKNOWN) {
                GumboStringPiece piece = e.original_tag;
                gumbo_tag_from_original_text(&piece);
                n->tag = lower(std::string(piece.data, piece.length));
            } else {
                n->tag = gumbo_normalized_tagname(e.tag);
            }
            for (unsigned i = 0; i < e.attributes.length; ++i) {
                auto* a = static_cast<GumboAttribute*>(e.attributes.data[i]);
                n->attrs.emplace_back(lower(a->name), a->value);
            }
            Node* raw = add(item.parent, std::move(n));
            for (unsigned i = e.children.length; i-- > 0;)
                work.push_back({static_cast<GumboNode*>(e.children.data[i]), raw, item.depth + 1});
        }
        return dropped;
    }
    static void logDropped(size_t dropped) {
        // (Counted with the start tags the markup scan left out.)
        if (dropped)
            foundation::log("ERROR: WebView: the page nests elements deeper than ", kMaxDepth, "; ", dropped,
                            " deeper elements were dropped");
    }

    void forget(Node* n) {
        byQid.erase(n->qid);
        if (!n->isText) --elementCount;
        liveBytes -= std::min(liveBytes, bytesOf(*n));
        for (auto& c : n->children) forget(c.get());
    }

    void parseDocument(const std::string& html) {
        byQid.clear();
        elementCount = 0;
        liveBytes = 0;
        root = std::make_unique<Node>();
        root->tag = "#document";
        const BoundedMarkup b = bound(html, 0);
        GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, b.kept.data(), b.kept.size());
        logDropped(b.stripped + convert(out->root, root.get()));
        gumbo_destroy_output(&kGumboDefaultOptions, out);
        dirty = true;
    }

    // Replaces the children of n with the parsed fragment.
    void setInnerHtml(Node* n, const std::string& html) {
        for (auto& c : n->children) forget(c.get());
        n->children.clear();
        if (!html.empty()) {
            // The wrapper's html and body add no level.
            const BoundedMarkup b = bound(html, depthOf(n));
            std::string wrapped = "<html><body>" + b.kept + "</body></html>";
            GumboOutput* out = gumbo_parse_with_options(&kGumboDefaultOptions, wrapped.data(), wrapped.size());
            GumboNode* body = nullptr;
            const GumboVector& kids = out->root->v.element.children;
            for (unsigned i = 0; i < kids.length; ++i) {
                auto* k = static_cast<GumboNode*>(kids.data[i]);
                if (k->type == GUMBO_NODE_ELEMENT && k->v.element.tag == GUMBO_TAG_BODY) body = k;
            }
            size_t dropped = b.stripped;
            if (body)
                for (unsigned i = 0; i < body->v.element.children.length; ++i)
                    dropped += convert(static_cast<GumboNode*>(body->v.element.children.data[i]), n);
            logDropped(dropped);
            gumbo_destroy_output(&kGumboDefaultOptions, out);
        }
        dirty = true;
    }

    Node* find(Node* n, const std::function<bool(Node*)>& pred) {
        if (!n->isText && pred(n)) return n;
        for (auto& c : n->children)
            if (Node* f = find(c.get(), pred)) return f;
        return nullptr;
    }
    void findAll(Node* n, const std::function<bool(Node*)>& pred, std::vector<Node*>& out) {
        if (!n->isText && pred(n)) out.push_back(n);
        for (auto& c : n->children) findAll(c.get(), pred, out);
    }
    Node* body() {
        return root ? find(root.get(), [](Node* n) { return n->tag == "body"; }) : nullptr;
    }
    Node* byId(const std::string& id) {
        if (!root) return nullptr;
        return find(root.get(), [&](Node* n) {
            const std::string* v = n->attr("id");
            return v && *v == id;
        });
    }

    void serialize(const Node& n, std::string& out) const {
        if (n.isText) {
            if (n.parent && n.parent->tag == "style")
                out += unitlessFontSizeAsPixels(n.text);
            else if (n.parent && isRawTextTag(n.parent->tag))
                out += n.text;
            else
                escapeText(out, n.text, false);
            return;
        }
        if (n.tag == "#document") {
            for (const auto& c : n.children) serialize(*c, out);
            return;
        }
        if (n.tag == "script") return;  // scripts have run; the layout ignores them
        out += '<';
        out += n.tag;
        for (const auto& [k, v] : n.attrs) {
            if (k == "data-qid") continue;
            out += ' ';
            out += k;
            out += "=\"";
            escapeText(out, k == "style" ? unitlessFontSizeAsPixels(v) : v, true);
            out += '"';
        }
        out += " data-qid=\"" + std::to_string(n.qid) + "\"";
        out += '>';
        if (isVoidTag(n.tag)) return;
        for (const auto& c : n.children) serialize(*c, out);
        out += "</" + n.tag + ">";
    }

    // --- layout ---------------------------------------------------------------
    void mapElements(const litehtml::element::ptr& el) {
        if (const char* q = el->get_attr("data-qid")) elementByQid[std::atoi(q)] = el;
        for (size_t i = 0; i < el->get_children_count(); ++i) mapElements(el->get_child(int(i)));
    }

    void rebuild() {
        std::string html;
        if (root) serialize(*root, html);
        elementByQid.clear();
        doc = litehtml::document::createFromUTF8(html.c_str(), this, &sharedContext());
        if (doc && doc->root()) mapElements(doc->root());
        layout();
        dirty = false;
    }

    void layout() {
        if (doc) doc->render(std::max(1, width));
    }

    int pageHeight() const { return doc ? doc->height() : 0; }

    Node* nodeOf(const litehtml::element::ptr& el) const {
        for (auto e = el; e; e = e->parent()) {
            if (const char* q = e->get_attr("data-qid")) {
                auto it = byQid.find(std::atoi(q));
                if (it != byQid.end()) return it->second;
            }
        }
        return nullptr;
    }

    // --- addresses --------------------------------------------------------------
    static bool hasScheme(const std::string& s) {
        size_t colon = s.find(':');
        if (colon == std::string::npos || colon == 0) return false;
        for (size_t i = 0; i < colon; ++i) {
            char c = s[i];
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
        }
        return true;
    }
    // Absolute address of a reference on the page.
    std::string resolve(const std::string& ref) const {
        if (ref.empty()) return baseURL;
        if (hasScheme(ref)) return ref;
        if (ref.rfind("//", 0) == 0) return "http:" + ref;
        if (ref[0] == '/') return "file://" + ref;
        if (ref[0] == '#') return baseURL + ref;
        return baseURL.empty() ? ref : baseURL + ref;
    }
    // File system path for a page reference, or "" when it is not local.
    std::string localPath(const std::string& ref) const {
        std::string abs = resolve(ref);
        if (abs.rfind("file://", 0) == 0) {
            std::string p = abs.substr(7);
            size_t q = p.find_first_of("?#");
            if (q != std::string::npos) p.resize(q);
            return foundation::percentUnescapeLenient(p);
        }
        if (!hasScheme(abs) && !abs.empty()) return abs[0] == '/' ? abs : baseDir + abs;
        return "";
    }

    ImageRef image(const std::string& src) {
        auto it = images.find(src);
        if (it != images.end()) return it->second;
        ImageRef img;
        std::string path = localPath(src);
        if (!path.empty()) img = Image::fromFile(path);
        images[src] = img;
        return img;
    }

    // --- document container ----------------------------------------------------
    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight, litehtml::font_style italic,
                                   unsigned int decoration, litehtml::font_metrics* fm) override {
        std::string families;
        for (const char* p = faceName ? faceName : ""; *p; ++p)
            if (*p != '\'' && *p != '"') families += *p;
        families += families.empty() ? defaultFamily : ", " + defaultFamily;
        auto* f = new FontData();
        f->desc = pango_font_description_new();
        pango_font_description_set_family(f->desc, families.c_str());
        pango_font_description_set_absolute_size(f->desc, std::max(1, size) * PANGO_SCALE);
        pango_font_description_set_weight(f->desc, PangoWeight(std::clamp(weight, 100, 900)));
        pango_font_description_set_style(f->desc,
                                         italic == litehtml::fontStyleItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
        f->underline = decoration & litehtml::font_decoration_underline;
        f->strike = decoration & litehtml::font_decoration_linethrough;
        if (fm) {
            PangoFontMetrics* m = pango_context_get_metrics(detail::measuringContext(), f->desc, nullptr);
            fm->ascent = int(std::lround(double(pango_font_metrics_get_ascent(m)) / PANGO_SCALE));
            fm->descent = int(std::lround(double(pango_font_metrics_get_descent(m)) / PANGO_SCALE));
            fm->height = fm->ascent + fm->descent;
            fm->x_height = std::max(1, fm->ascent / 2);
            fm->draw_spaces = f->underline || f->strike;
            pango_font_metrics_unref(m);
        }
        {
            PangoFontMetrics* m = pango_context_get_metrics(detail::measuringContext(), f->desc, nullptr);
            f->descent = std::lround(double(pango_font_metrics_get_descent(m)) / PANGO_SCALE);
            pango_font_metrics_unref(m);
        }
        return reinterpret_cast<litehtml::uint_ptr>(f);
    }
    void delete_font(litehtml::uint_ptr h) override {
        auto* f = reinterpret_cast<FontData*>(h);
        if (!f) return;
        if (f->measurer) g_object_unref(f->measurer);
        pango_font_description_free(f->desc);
        delete f;
    }
    PangoLayout* makeLayout(PangoContext* ctx, const char* text, const FontData* f) const {
        PangoLayout* l = pango_layout_new(ctx);
        pango_layout_set_font_description(l, f->desc);
        pango_layout_set_text(l, text, -1);
        return l;
    }
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr h) override {
        auto* f = reinterpret_cast<FontData*>(h);
        if (!f || !text) return 0;
        auto known = f->widths.find(text);
        if (known != f->widths.end()) return known->second;
        if (!f->measurer) {
            f->measurer = pango_layout_new(detail::measuringContext());
            pango_layout_set_font_description(f->measurer, f->desc);
        }
        pango_layout_set_text(f->measurer, text, -1);
        PangoRectangle logical;
        pango_layout_get_extents(f->measurer, nullptr, &logical);
        int w = int(std::ceil(double(logical.width) / PANGO_SCALE));
        f->widths.emplace(text, w);
        return w;
    }
    void applyClip(cairo_t* cr) const {
        for (const auto& c : clips) {
            cairo_rectangle(cr, c.x, c.y, c.width, c.height);
            cairo_clip(cr);
        }
    }
    static void setColor(cairo_t* cr, const litehtml::web_color& c) {
        cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
    }
    void draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr h,
                   litehtml::web_color color, const litehtml::position& pos) override {
        auto* cr = reinterpret_cast<cairo_t*>(hdc);
        auto* f = reinterpret_cast<FontData*>(h);
        if (!cr || !f || !text) return;
        cairo_save(cr);
        applyClip(cr);
        PangoContext* pctx = pango_cairo_create_context(cr);
        detail::configureContext(pctx);
        PangoLayout* l = makeLayout(pctx, text, f);
        if (f->underline || f->strike) {
            PangoAttrList* attrs = pango_attr_list_new();
            if (f->underline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
            if (f->strike) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
            pango_layout_set_attributes(l, attrs);
            pango_attr_list_unref(attrs);
        }
        double descent = f->descent;
        double baseline = double(pango_layout_get_baseline(l)) / PANGO_SCALE;
        setColor(cr, color);
        cairo_move_to(cr, pos.x, pos.bottom() - descent - baseline);
        pango_cairo_show_layout(cr, l);
        g_object_unref(l);
        g_object_unref(pctx);
        cairo_restore(cr);
    }
    int pt_to_px(int pt) const override { return int(std::lround(pt * 96.0 / 72.0)); }
    int get_default_font_size() const override { return 16; }
    const litehtml::tchar_t* get_default_font_name() const override { return defaultFamily.c_str(); }
    void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override {
        auto* cr = reinterpret_cast<cairo_t*>(hdc);
        if (!cr) return;
        cairo_save(cr);
        applyClip(cr);
        setColor(cr, marker.color);
        const auto& p = marker.pos;
        switch (marker.marker_type) {
            case litehtml::list_style_type_circle:
                cairo_set_line_width(cr, 1);
                cairo_arc(cr, p.x + p.width / 2.0, p.y + p.height / 2.0, p.width / 2.0 - 0.5, 0, 2 * M_PI);
                cairo_stroke(cr);
                break;
            case litehtml::list_style_type_square:
                cairo_rectangle(cr, p.x, p.y, p.width, p.height), cairo_fill(cr);
                break;
            case litehtml::list_style_type_disc:
                cairo_arc(cr, p.x + p.width / 2.0, p.y + p.height / 2.0, p.width / 2.0, 0, 2 * M_PI);
                cairo_fill(cr);
                break;
            case litehtml::list_style_type_none:
                break;
            default:
                if (marker.font && marker.index > 0) {
                    std::string n = std::to_string(marker.index) + ".";
                    litehtml::position tp = p;
                    tp.width = text_width(n.c_str(), marker.font);
                    tp.x = p.x + p.width - tp.width;
                    cairo_restore(cr);
                    draw_text(hdc, n.c_str(), marker.font, marker.color, tp);
                    return;
                }
                break;
        }
        cairo_restore(cr);
    }
    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t*, bool) override {
        if (src) image(src);
    }
    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t*, litehtml::size& sz) override {
        ImageRef img = src ? image(src) : nullptr;
        if (img) {
            sz.width = int(std::lround(img->size().width));
            sz.height = int(std::lround(img->size().height));
        } else {
            sz.width = sz.height = 0;
        }
    }
    void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) override {
        auto* cr = reinterpret_cast<cairo_t*>(hdc);
        if (!cr) return;
        cairo_save(cr);
        applyClip(cr);
        cairo_rectangle(cr, bg.clip_box.x, bg.clip_box.y, bg.clip_box.width, bg.clip_box.height);
        cairo_clip(cr);
        if (bg.color.alpha > 0) {
            setColor(cr, bg.color);
            cairo_paint(cr);
        }
        if (!bg.image.empty()) {
            ImageRef img = image(bg.image);
            if (img && bg.image_size.width > 0 && bg.image_size.height > 0) {
                Rect r{double(bg.position_x), double(bg.position_y), double(bg.image_size.width),
                       double(bg.image_size.height)};
                bool repeat = bg.repeat != litehtml::background_repeat_no_repeat;
                if (!repeat) {
                    img->draw(cr, r);
                } else {
                    for (double y = r.origin.y; y < bg.clip_box.bottom(); y += r.size.height)
                        for (double x = r.origin.x; x < bg.clip_box.right(); x += r.size.width)
                            img->draw(cr, {x, y, r.size.width, r.size.height});
                }
            }
        }
        cairo_restore(cr);
    }
    void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& b, const litehtml::position& p, bool) override {
        auto* cr = reinterpret_cast<cairo_t*>(hdc);
        if (!cr) return;
        cairo_save(cr);
        applyClip(cr);
        auto side = [&](const litehtml::border& s, double x, double y, double w, double h) {
            if (s.width <= 0 || s.style == litehtml::border_style_none || s.style == litehtml::border_style_hidden)
                return;
            setColor(cr, s.color);
            cairo_rectangle(cr, x, y, w, h);
            cairo_fill(cr);
        };
        side(b.top, p.x, p.y, p.width, b.top.width);
        side(b.bottom, p.x, p.bottom() - b.bottom.width, p.width, b.bottom.width);
        side(b.left, p.x, p.y, b.left.width, p.height);
        side(b.right, p.right() - b.right.width, p.y, b.right.width, p.height);
        cairo_restore(cr);
    }
    void set_caption(const litehtml::tchar_t*) override {}
    void set_base_url(const litehtml::tchar_t*) override {}
    void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
    void on_anchor_click(const litehtml::tchar_t*, const litehtml::element::ptr&) override {}
    void set_cursor(const litehtml::tchar_t*) override {}
    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override {
        if (tt == litehtml::text_transform_uppercase)
            for (auto& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
        if (tt == litehtml::text_transform_lowercase)
            for (auto& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    void import_css(litehtml::tstring& text, const litehtml::tstring& url, litehtml::tstring&) override {
        std::string path = localPath(url);
        if (path.empty()) return;
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        text = ss.str();
    }
    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses&, bool, bool) override {
        clips.push_back(pos);
    }
    void del_clip() override {
        if (!clips.empty()) clips.pop_back();
    }
    void get_client_rect(litehtml::position& client) const override {
        client.x = 0;
        client.y = 0;
        client.width = width;
        client.height = viewportHeight;
    }
    std::shared_ptr<litehtml::element> create_element(const litehtml::tchar_t*, const litehtml::string_map&,
                                                      const std::shared_ptr<litehtml::document>&) override {
        return nullptr;
    }
    void get_media_features(litehtml::media_features& media) const override {
        media.type = litehtml::media_type_screen;
        media.width = media.device_width = width;
        media.height = media.device_height = viewportHeight;
        media.color = 8;
        media.color_index = 256;
        media.monochrome = 0;
        media.resolution = 96;
    }
    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override {
        language = "zh";
        culture = "CN";
    }
    void split_text(const char* text, const std::function<void(const litehtml::tchar_t*)>& on_word,
                    const std::function<void(const litehtml::tchar_t*)>& on_space) override {
        std::string s = text ? text : "";
        std::string word;
        bool wordIsCjk = false;
        auto flush = [&] {
            if (!word.empty()) on_word(word.c_str());
            word.clear();
            wordIsCjk = false;
        };
        for (size_t i = 0; i < s.size();) {
            size_t start = i;
            uint32_t cp = nextCodePoint(s, i);
            std::string ch = s.substr(start, i - start);
            if (cp == ' ' || cp == '\t' || cp == '\n' || cp == '\r' || cp == '\f') {
                flush();
                on_space(ch.c_str());
            } else if (isClosingPunctuation(cp)) {
                word += ch;
            } else if (isCjk(cp)) {
                flush();
                word = ch;
                wordIsCjk = true;
            } else {
                if (wordIsCjk) flush();
                word += ch;
            }
        }
        flush();
    }

    // --- scripts ------------------------------------------------------------------
    void closeScripts() {
        if (duk) duk_destroy_heap(duk);
        duk = nullptr;
    }
    void openScripts();
    // Runs a script; `page`: the page's own (counted against its budget).
    bool run(const std::string& script, std::string* result, bool page = false);
    void navigate(const std::string& url, WebNavigationType type, bool fromHistory = false);
};

// ---------------------------------------------------------------------------
// Script bindings.

namespace {

const char* kDomPrelude = R"JS(
var window = this;
var __cache = {};
var __listeners = {};
function __El(q) {
  this.__q = q;
  var style = {};
  Object.defineProperty(style, 'display', {
    get: function () { return __style_get(q, 'display'); },
    set: function (v) { __style_set(q, 'display', String(v)); }
  });
  this.style = style;
}
function __attrProp(name) {
  Object.defineProperty(__El.prototype, name, {
    get: function () { var v = __attr_get(this.__q, name); return v === null ? '' : v; },
    set: function (v) { __attr_set(this.__q, name, String(v)); }
  });
}
__attrProp('id'); __attrProp('src'); __attrProp('href'); __attrProp('className');
Object.defineProperty(__El.prototype, 'tagName', { get: function () { return __tag(this.__q).toUpperCase(); } });
Object.defineProperty(__El.prototype, 'parentNode', { get: function () { return __el(__parent(this.__q)); } });
Object.defineProperty(__El.prototype, 'innerHTML', {
  get: function () { return __inner_get(this.__q); },
  set: function (v) { __inner_set(this.__q, String(v)); }
});
__El.prototype.getAttribute = function (n) { return __attr_get(this.__q, String(n)); };
__El.prototype.setAttribute = function (n, v) { __attr_set(this.__q, String(n), String(v)); };
__El.prototype.removeAttribute = function (n) { __attr_remove(this.__q, String(n)); };
__El.prototype.addEventListener = function (type, fn) {
  if (typeof fn !== 'function') throw new TypeError('addEventListener: the listener is not a function');
  var k = this.__q + ':' + type;
  (__listeners[k] = __listeners[k] || []).push(fn);
};
function __el(q) {
  if (q < 0) return null;
  return __cache[q] || (__cache[q] = new __El(q));
}
var document = {
  getElementById: function (id) { return __el(__by_id(String(id))); },
  getElementsByTagName: function (n) { return __by_tag(String(n)).map(__el); }
};
Object.defineProperty(document, 'body', { get: function () { return __el(__body()); } });
Object.defineProperty(window, 'location', {
  get: function () { return __location(); },
  set: function (v) { __navigate(String(v)); }
});
function __fire(q, type) {
  var list = __listeners[q + ':' + type];
  if (!list) return false;
  var target = __el(q);
  var event = { type: type, target: target, currentTarget: target, preventDefault: function () {} };
  for (var i = 0; i < list.length; i++) list[i].call(target, event);
  return true;
}
function __has(q, type) { return !!__listeners[q + ':' + type]; }
)JS";

WebView::Impl* implOf(duk_context* ctx) {
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, "impl");
    auto* impl = static_cast<WebView::Impl*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return impl;
}

Node* nodeArg(duk_context* ctx, int index) {
    auto* impl = implOf(ctx);
    auto it = impl->byQid.find(duk_require_int(ctx, index));
    if (it == impl->byQid.end()) (void)duk_error(ctx, DUK_ERR_REFERENCE_ERROR, "the element is no longer in the page");
    return it->second;
}

duk_ret_t jsById(duk_context* ctx) {
    Node* n = implOf(ctx)->byId(duk_require_string(ctx, 0));
    duk_push_int(ctx, n ? n->qid : -1);
    return 1;
}
duk_ret_t jsByTag(duk_context* ctx) {
    auto* impl = implOf(ctx);
    std::string tag = lower(duk_require_string(ctx, 0));
    std::vector<Node*> found;
    if (impl->root)
        impl->findAll(
            impl->root.get(), [&](Node* n) { return tag == "*" || n->tag == tag; }, found);
    duk_idx_t arr = duk_push_array(ctx);
    for (size_t i = 0; i < found.size(); ++i) {
        duk_push_int(ctx, found[i]->qid);
        duk_put_prop_index(ctx, arr, duk_uarridx_t(i));
    }
    return 1;
}
duk_ret_t jsBody(duk_context* ctx) {
    Node* b = implOf(ctx)->body();
    duk_push_int(ctx, b ? b->qid : -1);
    return 1;
}
duk_ret_t jsParent(duk_context* ctx) {
    Node* n = nodeArg(ctx, 0);
    Node* p = n->parent;
    duk_push_int(ctx, p && p->tag != "#document" ? p->qid : -1);
    return 1;
}
duk_ret_t jsTag(duk_context* ctx) {
    duk_push_string(ctx, nodeArg(ctx, 0)->tag.c_str());
    return 1;
}
duk_ret_t jsAttrGet(duk_context* ctx) {
    Node* n = nodeArg(ctx, 0);
    std::string name = lower(duk_require_string(ctx, 1));
    if (name == "classname") name = "class";
    const std::string* v = n->attr(name);
    if (v)
        duk_push_lstring(ctx, v->data(), v->size());
    else
        duk_push_null(ctx);
    return 1;
}
duk_ret_t jsAttrSet(duk_context* ctx) {
    Node* n = nodeArg(ctx, 0);
    std::string name = lower(duk_require_string(ctx, 1));
    if (name == "classname") name = "class";
    if (name == "data-qid") return 0;
    if (!implOf(ctx)->setAttribute(n, name, duk_require_string(ctx, 2)))
        return duk_error(ctx, DUK_ERR_RANGE_ERROR, "the page is full");
    return 0;
}
duk_ret_t jsAttrRemove(duk_context* ctx) {
    Node* n = nodeArg(ctx, 0);
    implOf(ctx)->removeAttribute(n, lower(duk_require_string(ctx, 1)));
    return 0;
}

// The inline style attribute as (property, value) pairs.
std::vector<std::pair<std::string, std::string>> parseStyle(const std::string& s) {
    std::vector<std::pair<std::string, std::string>> out;
    std::stringstream ss(s);
    std::string decl;
    auto trim = [](std::string v) {
        size_t a = v.find_first_not_of(" \t\n\r"), b = v.find_last_not_of(" \t\n\r");
        return a == std::string::npos ? std::string() : v.substr(a, b - a + 1);
    };
    while (std::getline(ss, decl, ';')) {
        size_t colon = decl.find(':');
        if (colon == std::string::npos) continue;
        std::string k = lower(trim(decl.substr(0, colon))), v = trim(decl.substr(colon + 1));
        if (!k.empty()) out.emplace_back(k, v);
    }
    return out;
}
duk_ret_t jsStyleGet(duk_context* ctx) {
    Node* n = nodeArg(ctx, 0);
    std::string prop = duk_require_string(ctx, 1), value;
    if (const std::string* s = n->attr("style"))
        for (const auto& [k, v] : parseStyle(*s))
            if (k == prop) value = v;
    duk_push_string(ctx, value.c_str());
    return 1;
}
duk_ret_t jsStyleSet(duk_context* ctx) {
    Node* n = nodeArg(ctx, 0);
    std::string prop = duk_require_string(ctx, 1), value = duk_require_string(ctx, 2);
    if (value.find_first_of(";{}") != std::string::npos)
        return duk_error(ctx, DUK_ERR_TYPE_ERROR, "invalid style value");
    auto decls = parseStyle(n->attr("style") ? *n->attr("style") : std::string());
    decls.erase(std::remove_if(decls.begin(), decls.end(), [&](const auto& d) { return d.first == prop; }),
                decls.end());
    if (!value.empty()) decls.emplace_back(prop, value);
    std::string text;
    for (const auto& [k, v] : decls) text += k + ":" + v + ";";
    if (text.empty())
        implOf(ctx)->removeAttribute(n, "style");
    else if (!implOf(ctx)->setAttribute(n, "style", text))
        return duk_error(ctx, DUK_ERR_RANGE_ERROR, "the page is full");
    return 0;
}
duk_ret_t jsInnerGet(duk_context* ctx) {
    Node* n = nodeArg(ctx, 0);
    std::string html;
    auto* impl = implOf(ctx);
    for (const auto& c : n->children) impl->serialize(*c, html);
    // The element numbers are the view's own business.
    std::string clean;
    for (size_t i = 0; i < html.size();) {
        size_t at = html.find(" data-qid=\"", i);
        if (at == std::string::npos) {
            clean += html.substr(i);
            break;
        }
        clean += html.substr(i, at - i);
        size_t end = html.find('"', at + 11);
        i = end == std::string::npos ? html.size() : end + 1;
    }
    duk_push_lstring(ctx, clean.data(), clean.size());
    return 1;
}
duk_ret_t jsInnerSet(duk_context* ctx) {
    Node* n = nodeArg(ctx, 0);
    implOf(ctx)->setInnerHtml(n, duk_require_string(ctx, 1));
    return 0;
}
duk_ret_t jsLocation(duk_context* ctx) {
    duk_push_string(ctx, implOf(ctx)->baseURL.c_str());
    return 1;
}
duk_ret_t jsNavigate(duk_context* ctx) {
    auto* impl = implOf(ctx);
    impl->navigate(impl->resolve(duk_require_string(ctx, 0)), WebNavigationType::Other);
    return 0;
}

}  // namespace

void WebView::Impl::openScripts() {
    closeScripts();
    pageScriptSecondsLeft = kPageScriptSeconds;
    pageScriptsSkipped = 0;
    scriptHeap.used = 0;
    scriptHeap.running = scriptHeap.timedOut = scriptHeap.outOfMemory = false;
    duk = duk_create_heap(&ScriptHeap::alloc, &ScriptHeap::realloc, &ScriptHeap::free,
                          static_cast<quenta_duk_guard*>(&scriptHeap), &ScriptHeap::fatal);
    if (!duk) {
        foundation::log("ERROR: WebView: page scripting could not start");
        return;
    }
    duk_push_global_stash(duk);
    duk_push_pointer(duk, this);
    duk_put_prop_string(duk, -2, "impl");
    duk_pop(duk);
    const struct {
        const char* name;
        duk_c_function fn;
        duk_idx_t nargs;
    } natives[] = {{"__by_id", jsById, 1},
                   {"__by_tag", jsByTag, 1},
                   {"__body", jsBody, 0},
                   {"__parent", jsParent, 1},
                   {"__tag", jsTag, 1},
                   {"__attr_get", jsAttrGet, 2},
                   {"__attr_set", jsAttrSet, 3},
                   {"__attr_remove", jsAttrRemove, 2},
                   {"__style_get", jsStyleGet, 2},
                   {"__style_set", jsStyleSet, 3},
                   {"__inner_get", jsInnerGet, 1},
                   {"__inner_set", jsInnerSet, 2},
                   {"__location", jsLocation, 0},
                   {"__navigate", jsNavigate, 1}};
    for (const auto& n : natives) {
        duk_push_c_function(duk, n.fn, n.nargs);
        duk_put_global_string(duk, n.name);
    }
    if (duk_peval_string(duk, kDomPrelude) != 0)
        foundation::log("WebView: page scripting failed to start: ", duk_safe_to_string(duk, -1));
    duk_pop(duk);
}

bool WebView::Impl::run(const std::string& script, std::string* result, bool page) {
    if (!duk) openScripts();
    if (!duk) return false;
    // Scripts run on the main thread: each run gets a time budget, the page's
    // own scripts share one more, and the heap has a size limit, so that no
    // page can freeze or exhaust the app.
    bool outer = !scriptHeap.running;  // a run may start a nested one (a listener)
    if (outer && page && pageScriptSecondsLeft <= 0) {
        if (pageScriptsSkipped++ == 0)
            foundation::log("ERROR: WebView: the page's scripts have used their ", kPageScriptSeconds,
                            " s; its further scripts do not run");
        return false;
    }
    const auto started = std::chrono::steady_clock::now();
    if (outer) {
        const double budget =
            page ? std::min(ScriptHeap::kTimeBudgetSeconds, pageScriptSecondsLeft) : ScriptHeap::kTimeBudgetSeconds;
        scriptHeap.deadline = started + std::chrono::microseconds(int64_t(budget * 1e6));
        scriptHeap.running = true;
        scriptHeap.timedOut = scriptHeap.outOfMemory = false;
    }
    bool ok = duk_peval_lstring(duk, script.data(), script.size()) == 0;
    if (outer) scriptHeap.running = false;
    if (outer && page)
        pageScriptSecondsLeft -= std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!ok && outer && scriptHeap.timedOut) {
        foundation::log("ERROR: WebView: a page script ran longer than ", ScriptHeap::kTimeBudgetSeconds,
                        " s and was stopped");
    } else if (!ok && outer && scriptHeap.outOfMemory) {
        foundation::log("ERROR: WebView: a page script needed more than ", ScriptHeap::kMemoryLimitBytes >> 20,
                        " MB and was stopped");
    } else if (!ok) {
        foundation::log("WebView: script failed: ", duk_safe_to_string(duk, -1));
    } else if (result) {
        if (duk_is_undefined(duk, -1) || duk_is_null(duk, -1))
            result->clear();
        else
            *result = duk_safe_to_string(duk, -1);
    }
    duk_pop(duk);
    if (outer) {
        scriptHeap.timedOut = false;
        if (scriptHeap.outOfMemory) duk_gc(duk, 0);  // what the stopped script left unreachable
    }
    return ok;
}

void WebView::Impl::navigate(const std::string& url, WebNavigationType type, bool fromHistory) {
    if (owner->delegate_ && !owner->delegate_->webViewShouldStartLoad(owner, url, type)) return;
    // An allowed load replaces the page, after the current script or tap ends.
    std::weak_ptr<View> alive = owner->weak_from_this();
    WebView* self = owner;
    foundation::postToMain([alive, self, url, fromHistory] {
        if (alive.expired()) return;
        Impl& impl = *self->impl_;
        if (url == "about:blank") {
            self->loadHTMLString("", "");
            return;
        }
        std::string path = self->impl_->localPath(url);
        if (!path.empty() && !self->isInPageFolder(path)) {
            foundation::log("ERROR: WebView: refused to open ", url, ": only pages under ", self->localPageFolder(),
                            " open here");
            if (self->delegate_) self->delegate_->webViewDidFailLoad(self, "cannot load " + url + " here");
            return;
        }
        std::ifstream in(path, std::ios::binary);
        if (path.empty() || !in) {
            if (self->delegate_) self->delegate_->webViewDidFailLoad(self, "cannot load " + url + " here");
            return;
        }
        std::stringstream ss;
        ss << in.rdbuf();
        std::string dir = path.substr(0, path.rfind('/') + 1);
        if (!fromHistory && !impl.currentURL.empty()) impl.backList.push_back(impl.currentURL);
        self->loadHTMLString(ss.str(), "file://" + dir);
        impl.currentURL = url;
    });
}

void WebView::loadRequest(const std::string& url) { impl_->navigate(url, WebNavigationType::Other); }

bool WebView::canGoBack() const { return !impl_->backList.empty(); }

void WebView::goBack() {
    if (impl_->backList.empty()) return;
    std::string url = impl_->backList.back();
    impl_->backList.pop_back();
    impl_->navigate(url, WebNavigationType::BackForward, true);
}

void WebView::stopLoading() {
    ++generation_;
    pendingLoad_ = 0;
}

const std::string& WebView::currentURL() const { return impl_->currentURL; }

std::string WebView::localPageFolder() const {
    return pageFolder_.empty() ? foundation::joinPath(foundation::bundleDir(), "html") : pageFolder_;
}

bool WebView::isInPageFolder(const std::string& path) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = fs::weakly_canonical(localPageFolder(), ec);
    if (ec || folder.empty()) return false;
    fs::path file = fs::weakly_canonical(path, ec);  // links and ".." resolved
    if (ec) return false;
    auto f = folder.begin(), p = file.begin();
    for (; f != folder.end(); ++f, ++p) {
        if (f->empty() && std::next(f) == folder.end()) break;  // a trailing separator
        if (p == file.end() || *f != *p) return false;
    }
    return p != file.end();
}

// ---------------------------------------------------------------------------
// The views.

namespace {

// The page draws straight into the target when the tree is rendered, and
// only what the target's clip shows: a tall page keeps no picture of itself.
class PageLayer : public Layer {
public:
    static std::shared_ptr<PageLayer> create(WebView::Impl* impl) {
        auto l = std::shared_ptr<PageLayer>(new PageLayer());
        l->impl_ = impl;
        return l;
    }
    bool drawsContent() const override { return true; }
    bool drawsDirectly() const override { return true; }
    void drawInContext(GraphicsContext& ctx) override {
        if (!impl_->doc) return;
        cairo_t* cr = ctx.cairo();
        double x1, y1, x2, y2;
        cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
        cairo_save(cr);
        litehtml::position clip(int(std::floor(x1)), int(std::floor(y1)), int(std::ceil(x2 - x1)) + 1,
                                int(std::ceil(y2 - y1)) + 1);
        impl_->clips.clear();
        impl_->doc->draw(reinterpret_cast<litehtml::uint_ptr>(cr), 0, 0, &clip);
        cairo_restore(cr);
    }

private:
    PageLayer() = default;
    WebView::Impl* impl_ = nullptr;
};

class PageView : public View {
public:
    explicit PageView(WebView::Impl* impl) : pageLayer_(PageLayer::create(impl)) {
        setUserInteractionEnabled(false);
        layer().addSublayer(pageLayer_);
    }
    const char* className() const override { return "WebPageView"; }
    void layoutSubviews() override { pageLayer_->setFrame(bounds()); }
    void pageChanged() {
        pageLayer_->setFrame(bounds());
        pageLayer_->setNeedsDisplay();
    }

private:
    std::shared_ptr<PageLayer> pageLayer_;
};

// The scroller: drags scroll, a touch that does not move taps the page.
class WebScrollView : public ScrollView {
public:
    WebScrollView(const Rect& frame, WebView* web) : ScrollView(frame), web_(web) {}
    void touchesBegan(const TouchSet& touches, const Event& event) override {
        if (!touches.empty()) start_ = touches.front()->locationInView(nullptr);
        moved_ = false;
        ScrollView::touchesBegan(touches, event);
    }
    void touchesMoved(const TouchSet& touches, const Event& event) override {
        if (!touches.empty()) {
            Point p = touches.front()->locationInView(nullptr);
            if (std::hypot(p.x - start_.x, p.y - start_.y) > 6) moved_ = true;
        }
        ScrollView::touchesMoved(touches, event);
    }
    void touchesEnded(const TouchSet& touches, const Event& event) override {
        ScrollView::touchesEnded(touches, event);
        if (moved_ || touches.empty() || subviews().empty()) return;
        Point p = touches.front()->locationInView(subviews().front().get());
        web_->tapAtPagePoint(p);
    }

private:
    WebView* web_;
    Point start_;
    bool moved_ = false;
};

}  // namespace

WebView::WebView(const Rect& frame) : View(frame), impl_(std::make_unique<Impl>()) {
    impl_->owner = this;
    scroll_ = std::make_shared<WebScrollView>(Rect{0, 0, frame.size.width, frame.size.height}, this);
    scroll_->setAlwaysBounceVertical(true);
    page_ = std::make_shared<PageView>(impl_.get());
    page_->setBackgroundColor(Color::clearColor());
    page_->setOpaque(false);
    scroll_->addSubview(page_);
    addSubview(scroll_);
    impl_->parseDocument("<html><body></body></html>");
    impl_->openScripts();
    relayout();
}

WebView::~WebView() = default;

std::shared_ptr<WebView> WebView::create(const Rect& frame) { return std::make_shared<WebView>(frame); }

void WebView::loadHTMLString(const std::string& html, const std::string& baseURL) {
    impl_->currentURL.clear();
    unsigned g = ++generation_;
    pendingLoad_ = g;
    impl_->pendingHtml = html;
    impl_->pendingBase = baseURL;
    if (delegate_) delegate_->webViewDidStartLoad(this);
    std::weak_ptr<View> alive = weak_from_this();
    if (alive.expired()) {  // not owned by a shared pointer: finish in this turn
        finishLoad(g);
        return;
    }
    foundation::postToMain([alive, this, g] {
        if (!alive.expired()) finishLoad(g);
    });
}

void WebView::finishLoad(unsigned generation) {
    if (generation != generation_) return;  // a newer load replaced this one
    pendingLoad_ = 0;
    std::string base = impl_->pendingBase;
    if (!base.empty() && base.back() != '/') base += '/';
    impl_->baseURL = base;
    impl_->baseDir.clear();
    if (base.rfind("file://", 0) == 0) impl_->baseDir = foundation::percentUnescapeLenient(base.substr(7));
    impl_->images.clear();
    impl_->parseDocument(impl_->pendingHtml);
    impl_->pendingHtml.clear();
    impl_->openScripts();
    // The page's own inline scripts run before the first layout.
    std::vector<Node*> scripts;
    impl_->findAll(
        impl_->root.get(), [](Node* n) { return n->tag == "script"; }, scripts);
    for (Node* s : scripts) {
        // The script's own text (collectText skips raw-text elements).
        std::string code;
        for (const auto& c : s->children)
            if (c->isText) code += c->text;
        impl_->run(code, nullptr, true);
        if (generation != generation_) return;
    }
    relayout();
    if (delegate_) delegate_->webViewDidFinishLoad(this);
}

void WebView::relayout() {
    impl_->width = std::max(1, int(std::lround(bounds().size.width)));
    impl_->viewportHeight = std::max(1, int(std::lround(bounds().size.height)));
    if (impl_->dirty || !impl_->doc)
        impl_->rebuild();
    else
        impl_->layout();
    double h = impl_->pageHeight();
    scroll_->setFrame({0, 0, bounds().size.width, bounds().size.height});
    double w = std::max(bounds().size.width, impl_->doc ? double(impl_->doc->width()) : 0.0);
    scroll_->setContentSize({w, h});
    page_->setFrame({0, 0, bounds().size.width, std::max(h, 1.0)});
    static_cast<PageView*>(page_.get())->pageChanged();
    Point off = scroll_->contentOffset();
    double maxY = std::max(0.0, h - bounds().size.height);
    if (off.y > maxY) scroll_->setContentOffset({off.x, maxY});
}

void WebView::layoutSubviews() {
    if (int(std::lround(bounds().size.width)) != impl_->width ||
        int(std::lround(bounds().size.height)) != impl_->viewportHeight)
        relayout();
}

std::string WebView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
    std::string result;
    impl_->run(script, &result);
    if (impl_->dirty) relayout();
    return result;
}

Size WebView::contentSize() const { return scroll_->contentSize(); }

namespace {

// Where an element lies on the page.
litehtml::position pageRect(const litehtml::element::ptr& el) {
    litehtml::position p = el->get_placement();
    if (el->get_display() == litehtml::display_inline && el->parent()) {
        // Inline boxes are kept relative to the block holding them.
        litehtml::position::vector boxes;
        el->get_inline_boxes(boxes);
        if (boxes.empty()) return {};
        int l = boxes[0].left(), t = boxes[0].top(), r = boxes[0].right(), b = boxes[0].bottom();
        for (const auto& bx : boxes) {
            l = std::min(l, bx.left()), t = std::min(t, bx.top());
            r = std::max(r, bx.right()), b = std::max(b, bx.bottom());
        }
        auto holder = el->parent();
        while (holder->parent() && holder->get_display() == litehtml::display_inline) holder = holder->parent();
        litehtml::position origin = holder->get_placement();
        p = litehtml::position(origin.x + l, origin.y + t, r - l, b - t);
    }
    return p;
}

// The innermost visible element under the point, from el down.
litehtml::element::ptr deepestAt(const litehtml::element::ptr& el, int x, int y) {
    for (int i = int(el->get_children_count()) - 1; i >= 0; --i) {
        auto child = el->get_child(i);
        if (!child || child->get_display() == litehtml::display_none || child->is_white_space()) continue;
        if (!child->get_attr("data-qid")) continue;  // text runs
        litehtml::position r = pageRect(child);
        if (x >= r.left() && x < r.right() && y >= r.top() && y < r.bottom()) return deepestAt(child, x, y);
    }
    return el;
}

}  // namespace

Rect WebView::rectOfElement(const std::string& id) const {
    Node* n = impl_->byId(id);
    if (!n) return {};
    auto it = impl_->elementByQid.find(n->qid);
    if (it == impl_->elementByQid.end()) return {};
    for (auto e = it->second; e; e = e->parent())
        if (e->get_display() == litehtml::display_none) return {};
    litehtml::position p = pageRect(it->second);
    return {double(p.x), double(p.y), double(p.width), double(p.height)};
}

std::string WebView::bodyText() const {
    std::string out;
    if (Node* b = impl_->body()) collectText(*b, out);
    return out;
}

size_t WebView::elementCount() const { return impl_->elementCount; }

void WebView::tapAtPagePoint(Point p) {
    if (!impl_->doc || !impl_->doc->root()) return;
    int x = int(std::floor(p.x)), y = int(std::floor(p.y));
    litehtml::element::ptr hit = impl_->doc->root()->get_element_by_point(x, y, x, y);
    if (hit) hit = deepestAt(hit, x, y);
    Node* n = hit ? impl_->nodeOf(hit) : nullptr;
    if (!n) return;
    // Click listeners from the innermost element outwards, then the link.
    std::vector<int> chain;
    Node* link = nullptr;
    for (Node* k = n; k && k->tag != "#document"; k = k->parent) {
        chain.push_back(k->qid);
        if (!link && k->tag == "a" && k->attr("href")) link = k;
    }
    std::string linkURL = link ? impl_->resolve(*link->attr("href")) : std::string();
    for (int q : chain) impl_->run("__fire(" + std::to_string(q) + ", 'click')", nullptr, true);
    if (impl_->dirty) relayout();
    if (link) impl_->navigate(linkURL, WebNavigationType::LinkClicked);
}

}  // namespace ui
