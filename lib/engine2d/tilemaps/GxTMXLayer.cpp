#include "lib/engine2d/tilemaps/GxTMXLayer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

namespace {
float contentScale() { return GxEnvironment::shared().contentScaleFactor; }
}  // namespace

std::shared_ptr<GxTMXLayer> GxTMXLayer::layerWithTilesetInfo(std::shared_ptr<GxTMXTilesetInfo> tileset,
                                                             const std::shared_ptr<GxTMXLayerInfo>& layerInfo,
                                                             const GxTMXMapInfo& mapInfo) {
    auto l = std::make_shared<GxTMXLayer>();
    if (!l->init(std::move(tileset), layerInfo, mapInfo)) return nullptr;
    return l;
}

bool GxTMXLayer::init(std::shared_ptr<GxTMXTilesetInfo> tileset, const std::shared_ptr<GxTMXLayerInfo>& layerInfo,
                      const GxTMXMapInfo& mapInfo) {
    if (!layerInfo) return false;
    std::shared_ptr<GxTexture2D> texture;
    if (tileset && !tileset->sourceImage.empty())
        texture = GxTextureCache::sharedTextureCache().addImage(tileset->sourceImage);
    const Size ls = layerInfo->layerSize;
    const double cells = double(ls.width) * double(ls.height);
    unsigned capacity = unsigned(std::min(cells * 0.35 + 1, double(GxTextureAtlas::kMaxQuadsPerDraw)));
    if (!GxSpriteBatchNode::init(texture ? texture : std::make_shared<GxTexture2D>(), capacity)) return false;
    // A layer's tiles are drawn in as many runs as they need.
    textureAtlas()->setMaxCapacity(GxTextureAtlas::kMaxCapacity);
    layerName_ = layerInfo->name;
    layerSize_ = ls;
    tiles_ = std::move(layerInfo->tiles);
    layerInfo->tiles.clear();
    minGID_ = layerInfo->minGID;
    maxGID_ = layerInfo->maxGID;
    opacity_ = layerInfo->opacity;
    properties_ = layerInfo->properties;
    tileset_ = std::move(tileset);
    mapTileSize_ = mapInfo.tileSize;
    layerOrientation_ = unsigned(mapInfo.orientation);
    // A layer with no tileset image to draw from has no tiles.
    if (!texture) tiles_.clear();
    Point off = calculateLayerOffset(layerInfo->offset);
    setPosition(Point{off.x / contentScale(), off.y / contentScale()});
    atlasIndexArray_.reserve(std::max<size_t>(1, tiles_.size()));
    setContentSize(
        Size{mapTileSize_.width * ls.width / contentScale(), mapTileSize_.height * ls.height / contentScale()});
    useAutomaticVertexZ_ = false;
    vertexZvalue_ = 0;
    return true;
}

void GxTMXLayer::releaseMap() {
    tiles_.clear();
    tiles_.shrink_to_fit();
    atlasIndexArray_.clear();
    atlasIndexArray_.shrink_to_fit();
    released_ = true;
}

void GxTMXLayer::setupTiles() {
    auto tex = texture();
    if (tileset_ && tex) tileset_->imageSize = tex->contentSizeInPixels();
    if (tex && tex->name()) tex->setAliasTexParameters();
    parseInternalProperties();
    // A tileset image narrower than one tile cannot give any tile.
    if (!tileset_ || tileset_->columns() == 0) {
        tiles_.clear();
        return;
    }
    const unsigned W = unsigned(layerSize_.width), H = unsigned(layerSize_.height);
    // Room for every tile at once; a layer with more tiles than an atlas
    // holds draws the first ones and says so once.
    const size_t count = size_t(std::count_if(tiles_.begin(), tiles_.end(), [](uint32_t g) { return g != 0; }));
    const unsigned room = unsigned(std::min<size_t>(count, GxTextureAtlas::kMaxCapacity));
    if (room > textureAtlas()->capacity() && !textureAtlas()->resizeCapacity(room)) {
        foundation::warn("engine2d: GxTMXLayer \"%s\": no room for %zu tiles; the layer shows none", layerName_.c_str(),
                         count);
        return;
    }
    if (count > room)
        foundation::warn(
            "engine2d: GxTMXLayer \"%s\": %zu tiles are more than the %u a layer draws; the rest are left out",
            layerName_.c_str(), count, GxTextureAtlas::kMaxCapacity);
    for (unsigned y = 0; y < H; ++y)
        for (unsigned x = 0; x < W; ++x) {
            uint32_t gid = tiles_[x + size_t(y) * W];
            if (gid == 0) continue;
            if (atlasIndexArray_.size() >= room) return;
            if (!appendTileForGID(gid, Point{float(x), float(y)})) {
                foundation::warn("engine2d: GxTMXLayer \"%s\": tile (%u, %u) and those after it are left out",
                                 layerName_.c_str(), x, y);
                return;
            }
            minGID_ = std::min(gid, minGID_);
            maxGID_ = std::max(gid, maxGID_);
        }
}

void GxTMXLayer::parseInternalProperties() {
    auto it = properties_.find("gx_vertexz");
    if (it == properties_.end()) return;
    if (it->second == "automatic") {
        useAutomaticVertexZ_ = true;
        if (!gl::Context::current()) return;
        auto program = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColorAlphaTest);
        if (!program) return;
        shaderProgram_ = program;
        auto alpha = properties_.find("gx_alpha_func");
        float value = alpha == properties_.end() ? 0 : std::strtof(alpha->second.c_str(), nullptr);
        program->use();
        program->setUniformLocationF1(gl::GetUniformLocation(program->program(), "u_alpha_value"), value);
    } else {
        vertexZvalue_ = int(std::strtol(it->second.c_str(), nullptr, 10));
    }
}

bool GxTMXLayer::cellOf(Point pos, size_t* cell) const {
    if (released_ || tiles_.empty()) return false;
    if (!(pos.x >= 0 && pos.y >= 0 && pos.x < layerSize_.width && pos.y < layerSize_.height)) return false;
    *cell = size_t(pos.x) + size_t(pos.y) * size_t(layerSize_.width);
    return *cell < tiles_.size();
}

Rect GxTMXLayer::tileRectInPoints(uint32_t gid) const {
    Rect r = tileset_ ? tileset_->rectForGID(gid) : Rect{};
    const float f = contentScale();
    return Rect{Point{r.origin.x / f, r.origin.y / f}, Size{r.size.width / f, r.size.height / f}};
}

GxSprite* GxTMXLayer::reusedTileWithRect(Rect rect) {
    if (!reusedTile_) {
        reusedTile_ = std::make_shared<GxSprite>();
        if (!reusedTile_->init(texture(), rect, false)) return nullptr;
    } else {
        reusedTile_->setBatchNode(nullptr);
        reusedTile_->init(texture(), rect, false);
    }
    reusedTile_->setBatchNode(this);
    return reusedTile_.get();
}

void GxTMXLayer::setupTileSprite(GxSprite* sprite, Point pos, uint32_t gid) {
    Point p = positionAt(pos);
    sprite->setPosition(p);
    sprite->setVertexZ(vertexZForPos(pos));
    sprite->setAnchorPoint(Point{0, 0});
    sprite->setOpacity(opacity_);
    sprite->setFlipX(false);
    sprite->setFlipY(false);
    sprite->setRotation(0);
    if (gid & kGxTMXTileDiagonalFlag) {
        sprite->setAnchorPoint(Point{0.5f, 0.5f});
        Size cs = sprite->contentSize();
        sprite->setPosition(Point{p.x + cs.height / 2, p.y + cs.width / 2});
        uint32_t flag = gid & (kGxTMXTileHorizontalFlag | kGxTMXTileVerticalFlag);
        if (flag == kGxTMXTileHorizontalFlag) {
            sprite->setRotation(90);
        } else if (flag == kGxTMXTileVerticalFlag) {
            sprite->setRotation(270);
        } else if (flag == (kGxTMXTileHorizontalFlag | kGxTMXTileVerticalFlag)) {
            sprite->setRotation(90);
            sprite->setFlipX(true);
        } else {
            sprite->setRotation(270);
            sprite->setFlipX(true);
        }
    } else {
        if (gid & kGxTMXTileHorizontalFlag) sprite->setFlipX(true);
        if (gid & kGxTMXTileVerticalFlag) sprite->setFlipY(true);
    }
}

bool GxTMXLayer::appendTileForGID(uint32_t gid, Point pos) {
    GxSprite* tile = reusedTileWithRect(tileRectInPoints(gid));
    if (!tile) return false;
    setupTileSprite(tile, pos, gid);
    unsigned index = unsigned(atlasIndexArray_.size());
    if (!addQuadFromSprite(tile, index)) return false;
    atlasIndexArray_.push_back(uint32_t(pos.x + pos.y * layerSize_.width));
    return true;
}

void GxTMXLayer::insertTileForGID(uint32_t gid, Point pos) {
    size_t cell;
    if (!cellOf(pos, &cell)) return;
    GxSprite* tile = reusedTileWithRect(tileRectInPoints(gid));
    if (!tile) return;
    setupTileSprite(tile, pos, gid);
    unsigned index = atlasIndexForNewZ(uint32_t(cell));
    if (!addQuadFromSprite(tile, index)) return;
    atlasIndexArray_.insert(atlasIndexArray_.begin() + std::ptrdiff_t(index), uint32_t(cell));
    if (children_)
        for (auto& c : children_->slots()) {
            auto* s = static_cast<GxSprite*>(c.get());
            if (s->atlasIndex() >= index) s->setAtlasIndex(s->atlasIndex() + 1);
        }
    tiles_[cell] = gid;
}

void GxTMXLayer::updateTileForGID(uint32_t gid, Point pos) {
    size_t cell;
    if (!cellOf(pos, &cell)) return;
    GxSprite* tile = reusedTileWithRect(tileRectInPoints(gid));
    if (!tile) return;
    setupTileSprite(tile, pos, gid);
    tile->setAtlasIndex(atlasIndexForExistantZ(uint32_t(cell)));
    tile->setDirty(true);
    tile->updateTransform();
    tiles_[cell] = gid;
}

unsigned GxTMXLayer::atlasIndexForExistantZ(uint32_t z) const {
    auto it = std::lower_bound(atlasIndexArray_.begin(), atlasIndexArray_.end(), z);
    return unsigned(it - atlasIndexArray_.begin());
}

unsigned GxTMXLayer::atlasIndexForNewZ(uint32_t z) const {
    auto it = std::upper_bound(atlasIndexArray_.begin(), atlasIndexArray_.end(), z);
    return unsigned(it - atlasIndexArray_.begin());
}

std::shared_ptr<GxSprite> GxTMXLayer::tileAt(Point pos) {
    size_t cell;
    if (!cellOf(pos, &cell)) return nullptr;
    uint32_t gid = tiles_[cell] & kGxFlippedMask;
    if (gid == 0) return nullptr;
    if (auto existing = std::dynamic_pointer_cast<GxSprite>(getChildByTag(int(cell)))) return existing;
    Rect rect = tileRectInPoints(gid);
    auto tile = GxSprite::spriteWithTexture(texture(), rect);
    if (!tile) return nullptr;
    tile->setBatchNode(this);
    tile->setPosition(positionAt(pos));
    tile->setVertexZ(vertexZForPos(pos));
    tile->setAnchorPoint(Point{0, 0});
    tile->setOpacity(opacity_);
    addSpriteWithoutQuad(tile, atlasIndexForExistantZ(uint32_t(cell)), int(cell));
    return tile;
}

uint32_t GxTMXLayer::tileGIDAt(Point pos, uint32_t* flags) const {
    size_t cell;
    if (!cellOf(pos, &cell)) {
        if (flags) *flags = 0;
        return 0;
    }
    uint32_t v = tiles_[cell];
    if (flags) *flags = v & kGxFlipedAll;
    return v & kGxFlippedMask;
}

void GxTMXLayer::setTileGID(uint32_t gid, Point pos, uint32_t flags) {
    size_t cell;
    if (!cellOf(pos, &cell)) return;
    flags &= kGxFlipedAll;
    uint32_t currentFlags = 0;
    uint32_t current = tileGIDAt(pos, &currentFlags);
    if (current == gid && currentFlags == flags) return;
    if (gid == 0) {
        removeTileAt(pos);
        return;
    }
    uint32_t value = gid | flags;
    if (current == 0) {
        insertTileForGID(value, pos);
        return;
    }
    if (auto sprite = std::dynamic_pointer_cast<GxSprite>(getChildByTag(int(cell)))) {
        Rect rect = tileRectInPoints(gid);
        sprite->setTextureRect(rect, false, rect.size);
        if (flags) setupTileSprite(sprite.get(), pos, value);
        tiles_[cell] = value;
    } else {
        updateTileForGID(value, pos);
    }
}

void GxTMXLayer::removeTileAt(Point pos) {
    size_t cell;
    if (!cellOf(pos, &cell) || tiles_[cell] == 0) return;
    unsigned index = atlasIndexForExistantZ(uint32_t(cell));
    tiles_[cell] = 0;
    if (index < atlasIndexArray_.size()) atlasIndexArray_.erase(atlasIndexArray_.begin() + std::ptrdiff_t(index));
    if (auto sprite = getChildByTag(int(cell))) {
        GxSpriteBatchNode::removeChild(sprite.get(), true);
    } else {
        textureAtlas()->removeQuadAtIndex(index);
        if (children_)
            for (auto& c : children_->slots()) {
                auto* s = static_cast<GxSprite*>(c.get());
                if (s->atlasIndex() >= index) s->setAtlasIndex(s->atlasIndex() - 1);
            }
    }
}

void GxTMXLayer::removeChild(const GxNode* child, bool cleanup) {
    if (!child) return;
    auto* sprite = dynamic_cast<const GxSprite*>(child);
    if (!sprite || child->parent().get() != this) return;
    unsigned index = sprite->atlasIndex();
    if (!released_ && index < atlasIndexArray_.size()) {
        uint32_t cell = atlasIndexArray_[index];
        if (cell < tiles_.size()) tiles_[cell] = 0;
        atlasIndexArray_.erase(atlasIndexArray_.begin() + std::ptrdiff_t(index));
    }
    GxSpriteBatchNode::removeChild(child, cleanup);
}

Point GxTMXLayer::calculateLayerOffset(Point offset) const {
    switch (layerOrientation_) {
        case kGxTMXOrientationOrtho:
            return Point{offset.x * mapTileSize_.width, -offset.y * mapTileSize_.height};
        case kGxTMXOrientationIso:
            return Point{mapTileSize_.width / 2 * (offset.x - offset.y),
                         mapTileSize_.height / 2 * (-offset.x - offset.y)};
        default:
            return Point{};
    }
}

Point GxTMXLayer::positionAt(Point pos) const {
    const float W = mapTileSize_.width, H = mapTileSize_.height, LW = layerSize_.width, LH = layerSize_.height;
    Point p;
    switch (layerOrientation_) {
        case kGxTMXOrientationOrtho:
            p = Point{pos.x * W, (LH - pos.y - 1) * H};
            break;
        case kGxTMXOrientationIso:
            p = Point{W / 2 * (LW + pos.x - pos.y - 1), H / 2 * ((LH * 2 - pos.x - pos.y) - 2)};
            break;
        case kGxTMXOrientationHex: {
            float d = (int(pos.x) % 2) == 1 ? -H / 2 : 0;
            p = Point{pos.x * W * 3 / 4, (LH - pos.y - 1) * H + d};
            break;
        }
        default:
            break;
    }
    return Point{p.x / contentScale(), p.y / contentScale()};
}

float GxTMXLayer::vertexZForPos(Point pos) const {
    if (!useAutomaticVertexZ_) return float(vertexZvalue_);
    switch (layerOrientation_) {
        case kGxTMXOrientationOrtho:
            return float(-int(layerSize_.height - pos.y));
        case kGxTMXOrientationIso: {
            unsigned maxVal = unsigned(layerSize_.width + layerSize_.height);
            return float(-(int(maxVal) - int(pos.x + pos.y)));
        }
        default:
            return 0;
    }
}

std::optional<std::string> GxTMXLayer::propertyNamed(const std::string& name) const {
    auto it = properties_.find(name);
    if (it == properties_.end()) return std::nullopt;
    return it->second;
}

// --- the tiled map

std::shared_ptr<GxTMXTiledMap> GxTMXTiledMap::tiledMapWithTMXFile(const std::string& file) {
    auto info = GxTMXMapInfo::formatWithTMXFile(file);
    if (!info) {
        foundation::warn("engine2d: GxTMXTiledMap: cannot read \"%s\"", file.c_str());
        return nullptr;
    }
    return gxMake<GxTMXTiledMap>(info);
}

std::shared_ptr<GxTMXTiledMap> GxTMXTiledMap::tiledMapWithXML(std::string_view xml, const std::string& resources) {
    return gxMake<GxTMXTiledMap>(GxTMXMapInfo::formatWithXML(xml, resources));
}

bool GxTMXTiledMap::init(const std::shared_ptr<GxTMXMapInfo>& info) {
    if (!GxNode::init() || !info) return false;
    // A layer whose tiles could not be read would show as an empty one.
    if (!info->unreadForm.empty()) {
        foundation::warn("engine2d: GxTMXTiledMap: map \"%s\" refused: %s is not read",
                         info->filename().empty() ? "(text)" : info->filename().c_str(), info->unreadForm.c_str());
        return false;
    }
    setContentSize(Size{});
    mapSize_ = info->mapSize;
    tileSize_ = info->tileSize;
    mapOrientation_ = info->orientation;
    objectGroups_ = info->objectGroups;
    properties_ = info->properties;
    tileProperties_ = info->tileProperties;
    int idx = 0;
    for (const auto& layerInfo : info->layers) {
        if (!layerInfo->visible) continue;
        auto layer = parseLayer(layerInfo, *info);
        if (!layer) continue;
        GxNode::addChild(layer, idx, idx);
        Size cs = contentSize();
        Size ls = layer->contentSize();
        setContentSize(Size{std::max(cs.width, ls.width), std::max(cs.height, ls.height)});
        ++idx;
    }
    return true;
}

std::shared_ptr<GxTMXTilesetInfo> GxTMXTiledMap::tilesetForLayer(const GxTMXLayerInfo& layer,
                                                                 const GxTMXMapInfo& map) const {
    for (auto it = map.tilesets.rbegin(); it != map.tilesets.rend(); ++it)
        for (uint32_t gid : layer.tiles)
            if (gid != 0 && (gid & kGxFlippedMask) >= (*it)->firstGid) return *it;
    return nullptr;
}

std::shared_ptr<GxTMXLayer> GxTMXTiledMap::parseLayer(const std::shared_ptr<GxTMXLayerInfo>& layerInfo,
                                                      const GxTMXMapInfo& map) {
    auto tileset = tilesetForLayer(*layerInfo, map);
    auto layer = GxTMXLayer::layerWithTilesetInfo(tileset, layerInfo, map);
    if (layer) layer->setupTiles();
    return layer;
}

std::shared_ptr<GxTMXLayer> GxTMXTiledMap::layerNamed(const std::string& name) const {
    if (!children_) return nullptr;
    for (auto& c : children_->slots())
        if (auto l = std::dynamic_pointer_cast<GxTMXLayer>(c))
            if (l->layerName() == name) return l;
    return nullptr;
}

std::shared_ptr<GxTMXObjectGroup> GxTMXTiledMap::objectGroupNamed(const std::string& name) const {
    for (const auto& g : objectGroups_)
        if (g->groupName == name) return g;
    return nullptr;
}

std::optional<std::string> GxTMXTiledMap::propertyNamed(const std::string& name) const {
    auto it = properties_.find(name);
    if (it == properties_.end()) return std::nullopt;
    return it->second;
}

const GxTMXProperties* GxTMXTiledMap::propertiesForGID(uint32_t gid) const {
    auto it = tileProperties_.find(int32_t(gid));
    return it == tileProperties_.end() ? nullptr : &it->second;
}

}  // namespace engine2d
