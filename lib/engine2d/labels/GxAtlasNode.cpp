#include "lib/engine2d/labels/GxAtlasNode.h"

#include <algorithm>
#include <cstdio>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "platform/plist/PropertyList.h"

namespace engine2d {

bool GxAtlasNode::init(const std::string& tileFile, unsigned tileWidth, unsigned tileHeight, unsigned itemsToRender) {
    if (!GxNode::init()) return false;
    if (tileWidth == 0 || tileHeight == 0) {
        foundation::warn("engine2d: GxAtlasNode: cells of %ux%u cannot cut \"%s\"", tileWidth, tileHeight,
                         tileFile.c_str());
        return false;
    }
    itemWidth_ = tileWidth;
    itemHeight_ = tileHeight;
    opacity_ = 255;
    color_ = colorUnmodified_ = gxColor3B{255, 255, 255};
    opacityModifyRGB_ = true;
    blendFunc_ = gxBlendFunc{GL_ONE, GL_ONE_MINUS_SRC_ALPHA};
    textureAtlas_ = GxTextureAtlas::textureAtlasWithFile(tileFile, itemsToRender);
    if (!textureAtlas_) return false;
    updateBlendFunc();
    updateOpacityModifyRGB();
    if (!calculateMaxItems()) {
        foundation::warn("engine2d: GxAtlasNode: \"%s\" holds no whole %ux%u cell", tileFile.c_str(), tileWidth,
                         tileHeight);
        return false;
    }
    quadsToDraw_ = itemsToRender;
    if (gl::Context::current()) {
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTexture_uColor);
        if (shaderProgram_) uniformColor_ = gl::GetUniformLocation(shaderProgram_->program(), "u_color");
    }
    return true;
}

bool GxAtlasNode::calculateMaxItems() {
    auto t = texture();
    if (!t || itemWidth_ == 0 || itemHeight_ == 0) return false;
    Size s = t->contentSize();
    itemsPerColumn_ = unsigned(s.height / float(itemHeight_));
    itemsPerRow_ = unsigned(s.width / float(itemWidth_));
    return itemsPerRow_ > 0 && itemsPerColumn_ > 0;
}

void GxAtlasNode::draw() {
    if (!shaderProgram_ || !textureAtlas_) return;
    gxGLCacheEnable(glServerState_);
    shaderProgram_->use();
    shaderProgram_->setUniformForModelViewProjectionMatrix();
    gxGLCacheBlendFunc(blendFunc_.src, blendFunc_.dst);
    const float colour[4] = {color_.r / 255.0f, color_.g / 255.0f, color_.b / 255.0f, opacity_ / 255.0f};
    shaderProgram_->setUniformLocation4fv(uniformColor_, colour, 1);
    unsigned n = std::min(quadsToDraw_, textureAtlas_->totalQuads());
    if (n) textureAtlas_->drawNumberOfQuads(n, 0);
}

void GxAtlasNode::setColor(gxColor3B c) {
    colorUnmodified_ = color_ = c;
    if (opacityModifyRGB_) {
        color_.r = uint8_t(c.r * opacity_ / 255);
        color_.g = uint8_t(c.g * opacity_ / 255);
        color_.b = uint8_t(c.b * opacity_ / 255);
    }
}

void GxAtlasNode::setOpacity(uint8_t o) {
    opacity_ = o;
    if (opacityModifyRGB_) setColor(colorUnmodified_);
}

void GxAtlasNode::setOpacityModifyRGB(bool b) {
    gxColor3B old = color();
    opacityModifyRGB_ = b;
    setColor(old);
}

void GxAtlasNode::updateOpacityModifyRGB() {
    auto t = texture();
    opacityModifyRGB_ = t && t->hasPremultipliedAlpha();
}

void GxAtlasNode::updateBlendFunc() {
    auto t = texture();
    if (!t || !t->hasPremultipliedAlpha()) blendFunc_ = gxBlendFunc{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
}

std::shared_ptr<GxTexture2D> GxAtlasNode::texture() const { return textureAtlas_ ? textureAtlas_->texture() : nullptr; }

void GxAtlasNode::setTexture(std::shared_ptr<GxTexture2D> t) {
    if (!textureAtlas_) return;
    textureAtlas_->setTexture(std::move(t));
    updateBlendFunc();
    updateOpacityModifyRGB();
}

// --- GxLabelAtlas

std::shared_ptr<GxLabelAtlas> GxLabelAtlas::labelWithString(const std::string& text, const std::string& charMapFile,
                                                            unsigned itemWidth, unsigned itemHeight,
                                                            unsigned startCharMap) {
    return gxMake<GxLabelAtlas>(text, charMapFile, itemWidth, itemHeight, startCharMap);
}

std::shared_ptr<GxLabelAtlas> GxLabelAtlas::labelWithString(const std::string& text, const std::string& fntFile) {
    return gxMake<GxLabelAtlas>(text, fntFile);
}

bool GxLabelAtlas::init(const std::string& text, const std::string& charMapFile, unsigned itemWidth,
                        unsigned itemHeight, unsigned startCharMap) {
    if (!GxAtlasNode::init(charMapFile, itemWidth, itemHeight, unsigned(text.size()))) return false;
    mapStartChar_ = startCharMap;
    setString(text);
    return true;
}

bool GxLabelAtlas::init(const std::string& text, const std::string& fntFile) {
    auto dict = plist::readDictionary(GxFileUtils::sharedFileUtils().fullPathFromRelativePath(fntFile));
    if (!dict) {
        foundation::warn("engine2d: GxLabelAtlas: cannot read the character map \"%s\"", fntFile.c_str());
        return false;
    }
    auto num = [&](const char* key) {
        const foundation::Value* v = dict->find(key);
        return v ? v->intValue() : 0;
    };
    const foundation::Value* file = dict->find("textureFilename");
    const std::string* name = file ? file->asString() : nullptr;
    if (!name) return false;
    float scale = GxEnvironment::shared().contentScaleFactor;
    int w = num("itemWidth"), h = num("itemHeight"), first = num("firstChar");
    if (w < 0 || h < 0 || first < 0) return false;
    return init(text, *name, unsigned(float(w) / scale), unsigned(float(h) / scale), unsigned(first));
}

void GxLabelAtlas::setString(const std::string& text) {
    // Equal text changes nothing (compared whole, not by a hash).
    if (hasString_ && text == string_) return;
    if (text.size() > textureAtlas_->capacity() && !textureAtlas_->resizeCapacity(unsigned(text.size()))) {
        foundation::warn("engine2d: GxLabelAtlas: no room for %zu characters", text.size());
        return;
    }
    string_ = text;
    hasString_ = true;
    updateAtlasValues();
    setContentSize(Size{float(text.size() * itemWidth_), float(itemHeight_)});
    quadsToDraw_ = unsigned(text.size());
}

void GxLabelAtlas::updateAtlasValues() {
    auto t = texture();
    if (!t || itemsPerRow_ == 0) return;
    const size_t n = string_.size();
    const float W = float(t->pixelsWide()), H = float(t->pixelsHigh());
    const float f = GxEnvironment::shared().contentScaleFactor;
    const float cellW = float(itemWidth_) * f, cellH = float(itemHeight_) * f;
    const gxColor4B c{color_.r, color_.g, color_.b, opacity_};
    for (size_t i = 0; i < n; ++i) {
        unsigned a = (uint8_t(string_[i]) - mapStartChar_) & 0xFF;
        unsigned row = a % itemsPerRow_, col = a / itemsPerRow_;
        float left = float(row) * cellW / W, right = left + cellW / W;
        float top = float(col) * cellH / H, bottom = top + cellH / H;
        gxV3F_C4B_T2F_Quad q{};
        q.tl.texCoords = {left, top};
        q.tr.texCoords = {right, top};
        q.bl.texCoords = {left, bottom};
        q.br.texCoords = {right, bottom};
        float x = float(i * itemWidth_);
        q.bl.vertices = {x, 0, 0};
        q.br.vertices = {x + float(itemWidth_), 0, 0};
        q.tl.vertices = {x, float(itemHeight_), 0};
        q.tr.vertices = {x + float(itemWidth_), float(itemHeight_), 0};
        q.tl.colors = q.tr.colors = q.bl.colors = q.br.colors = c;
        textureAtlas_->updateQuad(q, unsigned(i));
    }
}

void GxLabelAtlas::installStatsLabels() {
    GxDirector::setStatsLabelMaker([](const std::string& text, const std::string& imagePath, int itemWidth,
                                      int itemHeight, char startChar) -> std::optional<GxStatsLabel> {
        if (itemWidth <= 0 || itemHeight <= 0) return std::nullopt;
        auto label =
            labelWithString(text, imagePath, unsigned(itemWidth), unsigned(itemHeight), unsigned(uint8_t(startChar)));
        if (!label) return std::nullopt;
        std::weak_ptr<GxLabelAtlas> weak = label;
        return GxStatsLabel{label, [weak](const std::string& s) {
                                if (auto l = weak.lock()) l->setString(s);
                            }};
    });
}

}  // namespace engine2d
