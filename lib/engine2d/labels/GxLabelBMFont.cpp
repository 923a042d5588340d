#include "lib/engine2d/labels/GxLabelBMFont.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/Text.h"

namespace engine2d {

namespace {

// The integer at the start of s (after blanks), 0 when there is none; values
// beyond int are clamped.
long leadingInt(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = std::min(v * 10 + (s[i] - '0'), 2147483647L);
    return neg ? -v : v;
}

// The line cut at every "="; piece n + 1 starts with the n-th value.
std::vector<std::string_view> pieces(std::string_view line) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (;;) {
        size_t eq = line.find('=', start);
        out.push_back(line.substr(start, eq == std::string_view::npos ? std::string_view::npos : eq - start));
        if (eq == std::string_view::npos) break;
        start = eq + 1;
    }
    return out;
}

long valueAt(const std::vector<std::string_view>& p, size_t n) { return n + 1 < p.size() ? leadingInt(p[n + 1]) : 0; }

std::string directoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool isNewline(char16_t c) {
    return c == 0x0A || c == 0x0B || c == 0x0C || c == 0x0D || c == 0x85 || c == 0x2028 || c == 0x2029;
}
bool isBlank(char16_t c) {
    return c == ' ' || c == '\t' || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}
std::u16string trimmed(const std::u16string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (isBlank(s[a]) || isNewline(s[a]))) ++a;
    while (b > a && (isBlank(s[b - 1]) || isNewline(s[b - 1]))) --b;
    return s.substr(a, b - a);
}

std::map<std::string, std::shared_ptr<GxBMFontConfiguration>>& configurations() {
    static std::map<std::string, std::shared_ptr<GxBMFontConfiguration>> cache;
    static const bool registered =
        (foundation::registerResetter("engine2d.bitmapFonts", foundation::ResetPhase::Cache, [] { cache.clear(); }),
         true);
    (void)registered;
    return cache;
}

}  // namespace

// --- GxBMFontConfiguration

std::shared_ptr<GxBMFontConfiguration> GxBMFontConfiguration::configurationWithFNTFile(const std::string& fntFile) {
    std::vector<uint8_t> bytes;
    std::string path = GxFileUtils::sharedFileUtils().fullPathFromRelativePath(fntFile);
    if (gxReadWholeFile(path, bytes) < 0) {
        foundation::warn("engine2d: Error parsing FNTfile %s: %s", fntFile.c_str(), "cannot read the file");
        return nullptr;
    }
    return configurationWithText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), fntFile);
}

std::shared_ptr<GxBMFontConfiguration> GxBMFontConfiguration::configurationWithText(std::string_view text,
                                                                                    const std::string& fntFile,
                                                                                    foundation::ErrorRef* error) {
    auto c = std::make_shared<GxBMFontConfiguration>();
    size_t start = 0;
    int lineNumber = 1;
    while (start <= text.size()) {
        size_t nl = text.find('\n', start);
        std::string_view line = text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        foundation::ErrorRef why;
        if (!c->parseLine(line, fntFile, &why)) {
            const std::string message = foundation::format("line %d: %s", lineNumber, why->message.c_str());
            foundation::warn("engine2d: Error parsing FNTfile %s: %s", fntFile.c_str(), message.c_str());
            if (error) *error = foundation::Error::make(why->domain, why->code, message);
            return nullptr;
        }
        if (nl == std::string_view::npos) break;
        start = nl + 1;
        ++lineNumber;
    }
    return c;
}

namespace {
// Whether v fits the layout's range; otherwise `error` says what is wrong.
bool inRange(long v, const char* what, long low, foundation::ErrorRef* error) {
    if (v >= low && v <= kGxBMFontMaxValue) return true;
    if (error)
        *error =
            foundation::Error::make(kGxBMFontErrorDomain, kGxBMFontValueOutOfRange,
                                    foundation::format("%s %ld is outside %ld..%d", what, v, low, kGxBMFontMaxValue));
    return false;
}
}  // namespace

bool GxBMFontConfiguration::parseLine(std::string_view line, const std::string& fntFile, foundation::ErrorRef* error) {
    auto begins = [&](std::string_view p) { return line.substr(0, p.size()) == p; };
    if (begins("info face") || begins("chars c")) return true;
    if (begins("common lineHeight")) {
        long h = valueAt(pieces(line), 0);
        if (!inRange(h, "lineHeight", 0, error)) return false;
        commonHeight_ = int(h);
    } else if (begins("page id")) {
        auto p = pieces(line);
        if (p.size() < 3) return true;
        std::string_view v = p[2];
        std::string name;
        size_t q1 = v.find('"');
        if (q1 != std::string_view::npos) {
            size_t q2 = v.find('"', q1 + 1);
            name = std::string(v.substr(q1 + 1, q2 == std::string_view::npos ? std::string_view::npos : q2 - q1 - 1));
        } else {
            // An unquoted name runs to the first blank.
            size_t a = v.find_first_not_of(" \t\r");
            if (a == std::string_view::npos) return true;
            size_t b = v.find_first_of(" \t\r", a);
            name = std::string(v.substr(a, b == std::string_view::npos ? std::string_view::npos : b - a));
        }
        if (name.empty()) return true;
        atlasName_ = directoryOf(fntFile) + name;
    } else if (begins("char")) {
        if (begins("chars")) return true;
        auto p = pieces(line);
        const long id = valueAt(p, 0), xOffset = valueAt(p, 5), yOffset = valueAt(p, 6), xAdvance = valueAt(p, 7);
        if (!inRange(xOffset, "xoffset", kGxBMFontMinValue, error) ||
            !inRange(yOffset, "yoffset", kGxBMFontMinValue, error) ||
            !inRange(xAdvance, "xadvance", kGxBMFontMinValue, error))
            return false;
        if (id < 0 || id > 0xFFFF) return true;
        GxBMFontDef d;
        d.charID = uint16_t(id);
        d.rect =
            Rect{Point{float(valueAt(p, 1)), float(valueAt(p, 2))}, Size{float(valueAt(p, 3)), float(valueAt(p, 4))}};
        d.xOffset = int16_t(xOffset);
        d.yOffset = int16_t(yOffset);
        d.xAdvance = int16_t(xAdvance);
        fontDefs_[d.charID] = d;
    } else if (begins("kerning first")) {
        auto p = pieces(line);
        const long first = valueAt(p, 0), second = valueAt(p, 1), amount = valueAt(p, 2);
        if (!inRange(amount, "kerning amount", kGxBMFontMinValue, error)) return false;
        if (first < 0 || first > 0xFFFF || second < 0 || second > 0xFFFF) return true;
        kernings_[(uint32_t(first) << 16) | uint32_t(second)] = int(amount);
    }
    return true;
}

void GxBMFontConfiguration::parseInfoArguments(std::string_view line) {
    auto p = pieces(line);
    if (p.size() < 11) return;
    std::string_view v = p[10];
    int values[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        values[i] = int(leadingInt(v));
        size_t comma = v.find(',');
        if (comma == std::string_view::npos) break;
        v.remove_prefix(comma + 1);
    }
    padding_.top = values[0];
    padding_.right = values[1];
    padding_.bottom = values[2];
    padding_.left = values[3];
}

const GxBMFontDef* GxBMFontConfiguration::fontDef(unsigned charID) const {
    auto it = fontDefs_.find(charID);
    return it == fontDefs_.end() ? nullptr : &it->second;
}

int GxBMFontConfiguration::kerningAmount(unsigned first, unsigned second) const {
    auto it = kernings_.find(((first & 0xFFFF) << 16) | (second & 0xFFFF));
    return it == kernings_.end() ? 0 : it->second;
}

std::string GxBMFontConfiguration::description() const {
    return foundation::format("<GxBMFontConfiguration = %p | Glphys:%d Kernings:%d | Image = %s>",
                              static_cast<const void*>(this), int(fontDefs_.size()), int(kernings_.size()),
                              atlasName_.c_str());
}

std::shared_ptr<GxBMFontConfiguration> FNTConfigurationForFile(const std::string& fntFile) {
    auto& cache = configurations();
    auto it = cache.find(fntFile);
    if (it != cache.end()) return it->second;
    auto c = GxBMFontConfiguration::configurationWithFNTFile(fntFile);
    if (c) {
        cache[fntFile] = c;
        GxDirector::registerCachePurge(GxDirector::CachePurge::BitmapFonts, [] { GxLabelBMFont::purgeCachedData(); });
    }
    return c;
}

// --- GxLabelBMFont

std::shared_ptr<GxLabelBMFont> GxLabelBMFont::labelWithString(const std::string& text, const std::string& fntFile,
                                                              float width, int alignment, Point imageOffset) {
    return gxMake<GxLabelBMFont>(text, fntFile, width, alignment, imageOffset);
}

void GxLabelBMFont::purgeCachedData() { configurations().clear(); }

bool GxLabelBMFont::init() { return init("", "", -1, 0, Point{}); }

bool GxLabelBMFont::init(const std::string& text, const std::string& fntFile, float width, int alignment,
                         Point imageOffset) {
    std::shared_ptr<GxTexture2D> texture;
    if (!fntFile.empty()) {
        configuration_ = FNTConfigurationForFile(fntFile);
        if (!configuration_) return false;
        fntFile_ = fntFile;
        texture = GxTextureCache::sharedTextureCache().addImage(configuration_->atlasName());
        if (!texture) {
            foundation::warn("engine2d: GxLabelBMFont: no image \"%s\" for %s", configuration_->atlasName().c_str(),
                             fntFile.c_str());
            return false;
        }
    } else {
        texture = std::make_shared<GxTexture2D>();
    }
    if (!GxSpriteBatchNode::init(texture, unsigned(foundation::utf16Length(text)))) return false;
    width_ = width;
    alignment_ = alignment;
    opacity_ = 255;
    color_ = gxColor3B{255, 255, 255};
    setContentSize(Size{});
    opacityModifyRGB_ = texture->hasPremultipliedAlpha();
    GxNode::setAnchorPoint(Point{0.5f, 0.5f});
    imageOffset_ = imageOffset;
    setString(text, true);
    return true;
}

void GxLabelBMFont::setString(const std::string& text, bool update) {
    if (update) {
        // updateLabel lays the new text out (once) from the initial string.
        initialString_ = text;
        updateLabel();
        return;
    }
    string_ = text;
    if (children_)
        for (auto& c : children_->slots()) c->setVisible(false);
    createFontChars();
}

int GxLabelBMFont::kerningAmountForFirst(unsigned first, unsigned second) const {
    return configuration_ ? configuration_->kerningAmount(first, second) : 0;
}

void GxLabelBMFont::createFontChars() {
    // Without a font there is nothing to lay out.
    if (!configuration_) return;
    std::u16string s = foundation::toUtf16(string_);
    if (s.empty()) return;
    const float f = GxEnvironment::shared().contentScaleFactor;
    const int L = configuration_->commonHeight();
    int lines = 1;
    for (size_t i = 0; i + 1 < s.size(); ++i)
        if (s[i] == u'\n') ++lines;
    // Wide enough for any text: every value the font gives fits 16 bits.
    int64_t nextX = 0, nextY = int64_t(L) * (lines - 1), longest = 0;
    unsigned prev = 0xFFFF;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned c = s[i];
        if (c == '\n') {
            nextX = 0;
            nextY -= L;
            continue;
        }
        const GxBMFontDef* d = configuration_->fontDef(c);
        // A character the font lacks is skipped: no sprite, no advance.
        if (!d) continue;
        int k = kerningAmountForFirst(prev, c);
        prev = c;
        Rect rect{Point{d->rect.origin.x / f + imageOffset_.x, d->rect.origin.y / f + imageOffset_.y},
                  Size{d->rect.size.width / f, d->rect.size.height / f}};
        std::shared_ptr<GxSprite> sprite = std::dynamic_pointer_cast<GxSprite>(getChildByTag(int(i)));
        if (sprite) {
            sprite->setTextureRect(rect, false, rect.size);
            sprite->setVisible(true);
            sprite->setOpacity(255);
        } else {
            sprite = GxSprite::spriteWithTexture(texture(), rect);
            if (!sprite) continue;
            addChild(sprite, 0, int(i));
            if (sprite->parent().get() != this) continue;  // the batch could not take it
        }
        float x = (float(nextX + d->xOffset) + d->rect.size.width / 2 + float(k)) / f;
        float y = (float(nextY + (L - d->yOffset)) - rect.size.height * f / 2) / f;
        sprite->setPosition(Point{x, y});
        sprite->setOpacityModifyRGB(opacityModifyRGB_);
        sprite->setColor(color_);
        if (opacity_ != 255) sprite->setOpacity(opacity_);
        nextX += k + d->xAdvance;
        longest = std::max(longest, nextX);
    }
    setContentSize(Size{float(longest) / f, float(int64_t(L) * lines) / f});
}

void GxLabelBMFont::updateLabel() {
    setString(initialString_, false);
    if (!configuration_) return;
    if (width_ > 0) {
        std::u16string s = foundation::toUtf16(string_);
        std::u16string result, word;
        bool haveLineStart = false, haveWordStart = false;
        float lineStart = 0, wordStart = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            char16_t ch = s[i];
            if (isNewline(ch)) {
                // The line ends here; the next character starts a word and a line.
                result += trimmed(word);
                result += ch;
                word.clear();
                haveWordStart = haveLineStart = false;
                continue;
            }
            auto sprite = std::dynamic_pointer_cast<GxSprite>(getChildByTag(int(i)));
            bool shown = sprite && sprite->visible();
            float half = shown ? sprite->contentSize().width / 2 : 0;
            if (shown && !haveWordStart) {
                wordStart = sprite->position().x - half;
                haveWordStart = true;
            }
            if (shown && !haveLineStart) {
                lineStart = wordStart;
                haveLineStart = true;
            }
            if (isBlank(ch)) {
                result += word;
                result += ch;
                word.clear();
                haveWordStart = false;
                continue;
            }
            word += ch;
            if (shown && sprite->position().x + half - lineStart > width_) {
                result = trimmed(result);
                result += u'\n';
                haveLineStart = false;
                // The word moves to the new line, which starts where it starts.
                lineStart = wordStart;
                haveLineStart = haveWordStart;
            }
        }
        result += word;
        setString(foundation::fromUtf16(result), false);
    }
    if (alignment_ != 0) {
        std::u16string s = foundation::toUtf16(string_);
        const float contentWidth = contentSize_.width;
        size_t lineBegin = 0;
        for (size_t i = 0; i <= s.size(); ++i) {
            if (i < s.size() && !isNewline(s[i])) continue;
            // Characters lineBegin .. i-1 form a line: its width runs to the far
            // edge of its last shown glyph.
            int64_t lineWidth = -1;
            for (size_t j = i; j > lineBegin; --j) {
                auto sp = getChildByTag(int(j - 1));
                if (sp && sp->visible()) {
                    lineWidth = int64_t(sp->position().x + sp->contentSize().width / 2);
                    break;
                }
            }
            if (lineWidth >= 0) {
                float shift =
                    alignment_ == 1 ? contentWidth / 2 - float(lineWidth / 2) : contentWidth - float(lineWidth);
                if (shift != 0)
                    for (size_t j = lineBegin; j < i; ++j)
                        if (auto sp = getChildByTag(int(j)))
                            sp->setPosition(Point{sp->position().x + shift, sp->position().y});
            }
            lineBegin = i + 1;
        }
    }
}

void GxLabelBMFont::setWidth(float w) {
    width_ = w;
    updateLabel();
}

void GxLabelBMFont::setAlignment(int a) {
    alignment_ = a;
    updateLabel();
}

void GxLabelBMFont::setAnchorPoint(Point p) {
    if (p.x == anchorPoint_.x && p.y == anchorPoint_.y) return;
    GxSpriteBatchNode::setAnchorPoint(p);
    // The whole layout again, so wrapping and alignment hold.
    updateLabel();
}

bool GxLabelBMFont::setFntFile(const std::string& fntFile) {
    if (fntFile == fntFile_) return true;
    auto c = FNTConfigurationForFile(fntFile);
    if (!c) return false;
    auto t = GxTextureCache::sharedTextureCache().addImage(c->atlasName());
    if (!t) return false;
    fntFile_ = fntFile;
    configuration_ = std::move(c);
    setTexture(t);
    if (children_)
        for (auto& child : children_->slots())
            if (auto* sp = dynamic_cast<GxSprite*>(child.get())) sp->setTexture(t);
    updateLabel();
    return true;
}

void GxLabelBMFont::setColor(gxColor3B c) {
    color_ = c;
    if (children_)
        for (auto& child : children_->slots())
            if (auto* sp = dynamic_cast<GxSprite*>(child.get())) sp->setColor(c);
}

void GxLabelBMFont::setOpacity(uint8_t o) {
    opacity_ = o;
    if (children_)
        for (auto& child : children_->slots())
            if (auto* sp = dynamic_cast<GxSprite*>(child.get())) sp->setOpacity(o);
}

void GxLabelBMFont::setOpacityModifyRGB(bool b) {
    opacityModifyRGB_ = b;
    if (children_)
        for (auto& child : children_->slots())
            if (auto* sp = dynamic_cast<GxSprite*>(child.get())) sp->setOpacityModifyRGB(b);
}

}  // namespace engine2d
