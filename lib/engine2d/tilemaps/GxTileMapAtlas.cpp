#include "lib/engine2d/tilemaps/GxTileMapAtlas.h"

#include <cstdio>

#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "platform/foundation/Log.h"

namespace engine2d {

std::shared_ptr<GxTileMapAtlas> GxTileMapAtlas::tileMapAtlasWithTileFile(const std::string& tileFile,
                                                                         const std::string& mapFile, int tileWidth,
                                                                         int tileHeight) {
    return gxMake<GxTileMapAtlas>(tileFile, mapFile, tileWidth, tileHeight);
}

bool GxTileMapAtlas::init(const std::string& tileFile, const std::string& mapFile, int tileWidth, int tileHeight) {
    if (tileWidth <= 0 || tileHeight <= 0) return false;
    if (!loadTGAfile(mapFile)) return false;
    calculateItemsToRender();
    if (!GxAtlasNode::init(tileFile, unsigned(tileWidth), unsigned(tileHeight), unsigned(itemsToRender_))) return false;
    setColor(gxColor3B{255, 255, 255});
    updateAtlasValues();
    setContentSize(Size{float(int(itemWidth_) * tga_->width), float(int(itemHeight_) * tga_->height)});
    return true;
}

bool GxTileMapAtlas::loadTGAfile(const std::string& file) {
    std::string path = GxFileUtils::sharedFileUtils().fullPathFromRelativePath(file);
    auto tga = std::make_unique<GxImageTGA>(gxTGALoad(path));
    if (tga->status != kTGALoadOK) {
        foundation::warn("engine2d: GxTileMapAtlas cannot load TGA file \"%s\"", file.c_str());
        return false;
    }
    // Values are read as 3 bytes a pixel.
    if (tga->pixelDepth != 24 || tga->imageData.size() < size_t(tga->width) * tga->height * 3) {
        foundation::warn("engine2d: GxTileMapAtlas: \"%s\" is not a 24-bit map", file.c_str());
        return false;
    }
    tga_ = std::move(tga);
    return true;
}

const uint8_t* GxTileMapAtlas::valueAt(int x, int y) const {
    if (!tga_ || x < 0 || y < 0 || x >= tga_->width || y >= tga_->height) return nullptr;
    return &tga_->imageData[(size_t(x) + size_t(y) * tga_->width) * 3];
}

void GxTileMapAtlas::calculateItemsToRender() {
    itemsToRender_ = 0;
    for (int x = 0; x < tga_->width; ++x)
        for (int y = 0; y < tga_->height; ++y)
            if (valueAt(x, y)[0] != 0) ++itemsToRender_;
}

gxColor3B GxTileMapAtlas::tileAt(Point pos) const {
    const uint8_t* v = valueAt(int(pos.x), int(pos.y));
    return v ? gxColor3B{v[0], v[1], v[2]} : gxColor3B{0, 0, 0};
}

void GxTileMapAtlas::setTile(gxColor3B tile, Point pos) {
    int x = int(pos.x), y = int(pos.y);
    auto* v = const_cast<uint8_t*>(valueAt(x, y));
    if (!v || v[0] == 0) return;
    auto it = posToAtlasIndex_.find({x, y});
    if (it == posToAtlasIndex_.end()) return;
    v[0] = tile.r;
    v[1] = tile.g;
    v[2] = tile.b;
    updateAtlasValueAt(x, y, tile, it->second);
}

int GxTileMapAtlas::atlasIndexAt(int x, int y) const {
    auto it = posToAtlasIndex_.find({x, y});
    return it == posToAtlasIndex_.end() ? -1 : int(it->second);
}

void GxTileMapAtlas::updateAtlasValues() {
    if (!tga_) return;
    unsigned q = 0;
    for (int x = 0; x < tga_->width; ++x)
        for (int y = 0; y < tga_->height; ++y) {
            if (q >= unsigned(itemsToRender_)) return;
            const uint8_t* v = valueAt(x, y);
            if (v[0] == 0) continue;
            updateAtlasValueAt(x, y, gxColor3B{v[0], v[1], v[2]}, q);
            posToAtlasIndex_[{x, y}] = q;
            ++q;
        }
}

void GxTileMapAtlas::updateAtlasValueAt(int x, int y, gxColor3B value, unsigned index) {
    auto t = texture();
    if (!t || itemsPerRow_ == 0) return;
    unsigned column = value.r % itemsPerRow_, row = value.r / itemsPerRow_;
    const float W = float(t->pixelsWide()), H = float(t->pixelsHigh());
    const float f = GxEnvironment::shared().contentScaleFactor;
    const float cw = float(itemWidth_) * f, ch = float(itemHeight_) * f;
    float left = float(column) * cw / W, right = left + cw / W;
    float top = float(row) * ch / H, bottom = top + ch / H;
    gxV3F_C4B_T2F_Quad q{};
    q.tl.texCoords = {left, top};
    q.tr.texCoords = {right, top};
    q.bl.texCoords = {left, bottom};
    q.br.texCoords = {right, bottom};
    const int iw = int(itemWidth_), ih = int(itemHeight_);
    q.bl.vertices = {float(x * iw), float(y * ih), 0};
    q.br.vertices = {float(x * iw + iw), float(y * ih), 0};
    q.tl.vertices = {float(x * iw), float(y * ih + ih), 0};
    q.tr.vertices = {float(x * iw + iw), float(y * ih + ih), 0};
    const gxColor4B c{color_.r, color_.g, color_.b, opacity_};
    q.tl.colors = q.tr.colors = q.bl.colors = q.br.colors = c;
    textureAtlas_->updateQuad(q, index);
}

void GxTileMapAtlas::releaseMap() {
    tga_.reset();
    posToAtlasIndex_.clear();
}

}  // namespace engine2d
