#pragma once
// One layer of a tile map: a sprite batch node drawing every tile of the
// layer from one tileset as quads of one atlas. A tile becomes a sprite
// child (tagged with its cell index) only when asked for. Tiles can be read,
// set, flipped and removed; coordinates outside the layer, and any query
// after releaseMap(), are refused (0, nullptr, nothing changes).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lib/engine2d/sprites/GxSpriteBatchNode.h"
#include "lib/engine2d/tilemaps/GxTMXXMLParser.h"

namespace engine2d {

class GxTMXLayer : public GxSpriteBatchNode {
public:
    static std::shared_ptr<GxTMXLayer> layerWithTilesetInfo(std::shared_ptr<GxTMXTilesetInfo> tileset,
                                                            const std::shared_ptr<GxTMXLayerInfo>& layerInfo,
                                                            const GxTMXMapInfo& mapInfo);
    using GxSpriteBatchNode::init;
    bool init(std::shared_ptr<GxTMXTilesetInfo> tileset, const std::shared_ptr<GxTMXLayerInfo>& layerInfo,
              const GxTMXMapInfo& mapInfo);
    const char* className() const override { return "GxTMXLayer"; }

    void setupTiles();
    void releaseMap();

    std::shared_ptr<GxSprite> tileAt(Point pos);
    uint32_t tileGIDAt(Point pos, uint32_t* flags = nullptr) const;
    void setTileGID(uint32_t gid, Point pos, uint32_t flags = 0);
    void removeTileAt(Point pos);
    Point positionAt(Point pos) const;
    std::optional<std::string> propertyNamed(const std::string& name) const;

    // Tile sprites are made by the layer itself.
    void addChild(const std::shared_ptr<GxNode>&, int, int) override {}
    using GxSpriteBatchNode::addChild;
    void removeChild(const GxNode* child, bool cleanup) override;

    const std::shared_ptr<GxTMXTilesetInfo>& tileset() const { return tileset_; }
    const std::string& layerName() const { return layerName_; }
    Size layerSize() const { return layerSize_; }
    Size mapTileSize() const { return mapTileSize_; }
    const std::vector<uint32_t>& tiles() const { return tiles_; }
    unsigned layerOrientation() const { return layerOrientation_; }
    const GxTMXProperties& properties() const { return properties_; }
    uint32_t minGID() const { return minGID_; }
    uint32_t maxGID() const { return maxGID_; }
    int vertexZvalue() const { return vertexZvalue_; }
    bool useAutomaticVertexZ() const { return useAutomaticVertexZ_; }
    const std::vector<uint32_t>& atlasIndexArray() const { return atlasIndexArray_; }

private:
    bool cellOf(Point pos, size_t* cell) const;
    Rect tileRectInPoints(uint32_t gid) const;
    GxSprite* reusedTileWithRect(Rect rect);
    void setupTileSprite(GxSprite* sprite, Point pos, uint32_t gid);
    void insertTileForGID(uint32_t gid, Point pos);
    void updateTileForGID(uint32_t gid, Point pos);
    bool appendTileForGID(uint32_t gid, Point pos);
    unsigned atlasIndexForExistantZ(uint32_t z) const;
    unsigned atlasIndexForNewZ(uint32_t z) const;
    Point calculateLayerOffset(Point offset) const;
    float vertexZForPos(Point pos) const;
    void parseInternalProperties();

    std::shared_ptr<GxTMXTilesetInfo> tileset_;
    std::string layerName_;
    Size layerSize_, mapTileSize_;
    std::vector<uint32_t> tiles_;
    unsigned layerOrientation_ = 0;
    GxTMXProperties properties_;
    uint8_t opacity_ = 255;
    uint32_t minGID_ = 100000, maxGID_ = 0;
    int vertexZvalue_ = 0;
    bool useAutomaticVertexZ_ = false;
    std::shared_ptr<GxSprite> reusedTile_;
    std::vector<uint32_t> atlasIndexArray_;
    bool released_ = false;
};

class GxTMXTiledMap : public GxNode {
public:
    // nullptr when the file cannot be read.
    static std::shared_ptr<GxTMXTiledMap> tiledMapWithTMXFile(const std::string& file);
    static std::shared_ptr<GxTMXTiledMap> tiledMapWithXML(std::string_view xml, const std::string& resources);
    using GxNode::init;
    bool init(const std::shared_ptr<GxTMXMapInfo>& info);
    const char* className() const override { return "GxTMXTiledMap"; }

    std::shared_ptr<GxTMXLayer> layerNamed(const std::string& name) const;
    std::shared_ptr<GxTMXObjectGroup> objectGroupNamed(const std::string& name) const;
    std::optional<std::string> propertyNamed(const std::string& name) const;
    const GxTMXProperties* propertiesForGID(uint32_t gid) const;

    Size mapSize() const { return mapSize_; }
    Size tileSize() const { return tileSize_; }
    int mapOrientation() const { return mapOrientation_; }
    const std::vector<std::shared_ptr<GxTMXObjectGroup>>& objectGroups() const { return objectGroups_; }
    const GxTMXProperties& properties() const { return properties_; }

private:
    std::shared_ptr<GxTMXLayer> parseLayer(const std::shared_ptr<GxTMXLayerInfo>& layer, const GxTMXMapInfo& map);
    std::shared_ptr<GxTMXTilesetInfo> tilesetForLayer(const GxTMXLayerInfo& layer, const GxTMXMapInfo& map) const;

    Size mapSize_, tileSize_;
    int mapOrientation_ = 0;
    std::vector<std::shared_ptr<GxTMXObjectGroup>> objectGroups_;
    GxTMXProperties properties_;
    std::map<int32_t, GxTMXProperties> tileProperties_;
};

}  // namespace engine2d
