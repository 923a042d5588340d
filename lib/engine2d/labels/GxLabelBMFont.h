#pragma once
// Text in a bitmap font: a texture of pre-rendered glyphs and a text
// description (".fnt") giving each glyph's rectangle, offsets and advance
// and the kerning pairs. The label is a batch node with one sprite per
// character (tag = the character's index in the displayed text), laid out
// line by line, optionally wrapped at a width and centred or right-aligned.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "lib/engine2d/labels/GxLabelProtocol.h"
#include "lib/engine2d/mathlib/Geometry.h"
#include "lib/engine2d/nodes/GxProtocols.h"
#include "lib/engine2d/sprites/GxSpriteBatchNode.h"
#include "platform/foundation/Error.h"

namespace engine2d {

struct GxBMFontDef {
    uint16_t charID = 0;
    Rect rect;  // pixels in the image
    int16_t xOffset = 0, yOffset = 0, xAdvance = 0;
};

struct GxBMFontPadding {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// A parsed font description. Malformed or missing numbers read as 0; a
// glyph or kerning pair defined twice keeps its last definition, as a later
// page line replaces the image name. Glyphs and kerning pairs of characters
// beyond U+FFFF are skipped (the layout walks UTF-16 units). Offsets,
// advances, kerning amounts and the line height must lie within
// kGxBMFontMinValue..kGxBMFontMaxValue (the line height not below 0): a
// description holding anything else is refused as a whole.
constexpr int kGxBMFontMinValue = -32768, kGxBMFontMaxValue = 32767;

// Why a description was refused: the value out of range, named in the message.
inline const std::string kGxBMFontErrorDomain = "GxBMFontErrorDomain";
enum GxBMFontErrorCode : int { kGxBMFontValueOutOfRange = 1 };

class GxBMFontConfiguration {
public:
    // nullptr (with a log line) when the file cannot be read or is refused.
    static std::shared_ptr<GxBMFontConfiguration> configurationWithFNTFile(const std::string& fntFile);
    // Parses description text; `fntFile` gives the folder the image name is
    // joined to. nullptr (with a log line) when a value is out of range;
    // `error` then says which, and on which line.
    static std::shared_ptr<GxBMFontConfiguration> configurationWithText(std::string_view text,
                                                                        const std::string& fntFile,
                                                                        foundation::ErrorRef* error = nullptr);

    const std::string& atlasName() const { return atlasName_; }
    int commonHeight() const { return commonHeight_; }
    const GxBMFontPadding& padding() const { return padding_; }
    const GxBMFontDef* fontDef(unsigned charID) const;
    int kerningAmount(unsigned first, unsigned second) const;
    size_t glyphCount() const { return fontDefs_.size(); }
    size_t kerningCount() const { return kernings_.size(); }

    // One line of each kind. False (with `error` set) when a value is out of range.
    bool parseLine(std::string_view line, const std::string& fntFile, foundation::ErrorRef* error = nullptr);
    void parseInfoArguments(std::string_view line);
    std::string description() const;

private:
    std::string atlasName_;
    std::unordered_map<unsigned, GxBMFontDef> fontDefs_;
    int commonHeight_ = 0;
    GxBMFontPadding padding_;
    std::unordered_map<uint32_t, int> kernings_;
};

// The process-wide configuration of a file name (loaded on first use).
std::shared_ptr<GxBMFontConfiguration> FNTConfigurationForFile(const std::string& fntFile);

class GxLabelBMFont : public GxSpriteBatchNode, public GxRGBAProtocol, public GxLabelProtocol {
public:
    // nullptr when the description file (or its image) cannot be loaded.
    static std::shared_ptr<GxLabelBMFont> labelWithString(const std::string& text, const std::string& fntFile,
                                                          float width = -1, int alignment = 0,
                                                          Point imageOffset = Point{});
    static void purgeCachedData();

    bool init() override;
    bool init(const std::string& text, const std::string& fntFile, float width, int alignment, Point imageOffset);
    const char* className() const override { return "GxLabelBMFont"; }

    void setString(const std::string& text) override { setString(text, true); }
    void setString(const std::string& text, bool updateLabel);
    // The displayed text (line breaks inserted by wrapping included).
    const std::string& string() const override { return string_; }
    void createFontChars();
    void updateLabel();
    int kerningAmountForFirst(unsigned first, unsigned second) const;

    void setWidth(float w);
    float width() const { return width_; }
    void setAlignment(int a);
    int alignment() const { return alignment_; }
    void setAnchorPoint(Point p) override;
    const std::string& fntFile() const { return fntFile_; }
    // False (nothing changes) when the file cannot be loaded.
    bool setFntFile(const std::string& fntFile);
    const std::shared_ptr<GxBMFontConfiguration>& configuration() const { return configuration_; }

    gxColor3B color() const override { return color_; }
    void setColor(gxColor3B c) override;
    uint8_t opacity() const override { return opacity_; }
    void setOpacity(uint8_t o) override;
    bool doesOpacityModifyRGB() const override { return opacityModifyRGB_; }
    void setOpacityModifyRGB(bool b) override;

private:
    std::string string_, initialString_, fntFile_;
    float width_ = -1;
    int alignment_ = 0;
    std::shared_ptr<GxBMFontConfiguration> configuration_;
    uint8_t opacity_ = 255;
    gxColor3B color_{255, 255, 255};
    bool opacityModifyRGB_ = false;
    Point imageOffset_;
};

}  // namespace engine2d
