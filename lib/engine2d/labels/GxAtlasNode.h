#pragma once
// A node drawing a texture cut into equal cells as many quads of one texture
// atlas, tinted by one colour uniform instead of per-vertex colours.
// Subclasses fill the quads in updateAtlasValues().

#include <memory>
#include <string>

#include "lib/engine2d/labels/GxLabelProtocol.h"
#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/nodes/GxProtocols.h"

namespace engine2d {

class GxTexture2D;
class GxTextureAtlas;

class GxAtlasNode : public GxNode, public GxRGBAProtocol {
public:
    using GxNode::init;
    // The tile file cut in cells of w x h points, room for n quads. False when
    // the file does not load, a cell is empty (0 wide or high) or the picture
    // holds no whole cell: cells are found by dividing by these.
    bool init(const std::string& tileFile, unsigned tileWidth, unsigned tileHeight, unsigned itemsToRender);
    const char* className() const override { return "GxAtlasNode"; }

    virtual void updateAtlasValues() = 0;
    // Cells per row and column of the texture; false when it holds no whole cell.
    bool calculateMaxItems();

    void draw() override;

    gxColor3B color() const override { return opacityModifyRGB_ ? colorUnmodified_ : color_; }
    void setColor(gxColor3B c) override;
    uint8_t opacity() const override { return opacity_; }
    void setOpacity(uint8_t o) override;
    bool doesOpacityModifyRGB() const override { return opacityModifyRGB_; }
    void setOpacityModifyRGB(bool b) override;
    void updateOpacityModifyRGB();
    void updateBlendFunc();

    std::shared_ptr<GxTexture2D> texture() const;
    void setTexture(std::shared_ptr<GxTexture2D> t);
    const std::shared_ptr<GxTextureAtlas>& textureAtlas() const { return textureAtlas_; }
    void setTextureAtlas(std::shared_ptr<GxTextureAtlas> a) { textureAtlas_ = std::move(a); }
    gxBlendFunc blendFunc() const { return blendFunc_; }
    void setBlendFunc(gxBlendFunc f) { blendFunc_ = f; }
    unsigned quadsToDraw() const { return quadsToDraw_; }
    void setQuadsToDraw(unsigned n) { quadsToDraw_ = n; }
    unsigned itemsPerRow() const { return itemsPerRow_; }
    unsigned itemsPerColumn() const { return itemsPerColumn_; }
    unsigned itemWidth() const { return itemWidth_; }
    unsigned itemHeight() const { return itemHeight_; }

protected:
    std::shared_ptr<GxTextureAtlas> textureAtlas_;
    unsigned itemsPerRow_ = 0, itemsPerColumn_ = 0, itemWidth_ = 0, itemHeight_ = 0, quadsToDraw_ = 0;
    gxBlendFunc blendFunc_{1, 771};
    uint8_t opacity_ = 255;
    gxColor3B color_{255, 255, 255}, colorUnmodified_{255, 255, 255};
    bool opacityModifyRGB_ = true;
    int uniformColor_ = -1;
};

// The character-map label: one fixed-size cell per character, cell 0 showing
// the start character. Meant for single-byte text.
class GxLabelAtlas : public GxAtlasNode, public GxLabelProtocol {
public:
    static std::shared_ptr<GxLabelAtlas> labelWithString(const std::string& text, const std::string& charMapFile,
                                                         unsigned itemWidth, unsigned itemHeight,
                                                         unsigned startCharMap);
    // From a character-map property list ("textureFilename", "itemWidth" and
    // "itemHeight" in pixels, "firstChar").
    static std::shared_ptr<GxLabelAtlas> labelWithString(const std::string& text, const std::string& fntFile);

    using GxAtlasNode::init;
    bool init(const std::string& text, const std::string& charMapFile, unsigned itemWidth, unsigned itemHeight,
              unsigned startCharMap);
    bool init(const std::string& text, const std::string& fntFile);
    const char* className() const override { return "GxLabelAtlas"; }

    // Nothing when the text is the one shown.
    void setString(const std::string& text) override;
    const std::string& string() const override { return string_; }
    void updateAtlasValues() override;

    // Lets the director draw its statistics with character-map labels.
    static void installStatsLabels();

private:
    std::string string_;
    unsigned mapStartChar_ = 0;
    bool hasString_ = false;
};

}  // namespace engine2d
