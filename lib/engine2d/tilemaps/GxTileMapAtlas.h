#pragma once
// A tile map whose layout is a 24-bit TGA picture: each pixel is one map
// position, its first colour byte the tile drawn there from a tile sheet cut
// in equal cells (0: no tile). One quad per non-empty position, written at
// load; a change rewrites one quad in place.

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "lib/engine2d/files/GxContainers.h"
#include "lib/engine2d/labels/GxAtlasNode.h"

namespace engine2d {

class GxTileMapAtlas : public GxAtlasNode {
public:
    // nullptr (with a log line) when the map is not a readable 24-bit TGA,
    // or the tile sheet does not load or holds no whole cell.
    static std::shared_ptr<GxTileMapAtlas> tileMapAtlasWithTileFile(const std::string& tileFile,
                                                                    const std::string& mapFile, int tileWidth,
                                                                    int tileHeight);
    using GxAtlasNode::init;
    bool init(const std::string& tileFile, const std::string& mapFile, int tileWidth, int tileHeight);
    const char* className() const override { return "GxTileMapAtlas"; }

    // The value at a map position; {0, 0, 0} outside the map or after releaseMap().
    gxColor3B tileAt(Point pos) const;
    // Only positions that had a tile at load time can change.
    void setTile(gxColor3B tile, Point pos);
    void updateAtlasValues() override;
    void releaseMap();

    const GxImageTGA* tgaInfo() const { return tga_.get(); }
    int itemsToRender() const { return itemsToRender_; }
    // The quad index of a position, -1 when it has none.
    int atlasIndexAt(int x, int y) const;

private:
    bool loadTGAfile(const std::string& file);
    void calculateItemsToRender();
    void updateAtlasValueAt(int x, int y, gxColor3B value, unsigned index);
    const uint8_t* valueAt(int x, int y) const;

    int itemsToRender_ = 0;
    std::map<std::pair<int, int>, unsigned> posToAtlasIndex_;
    std::unique_ptr<GxImageTGA> tga_;
};

}  // namespace engine2d
