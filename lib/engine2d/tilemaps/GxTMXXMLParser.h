#pragma once
// TMX tile map documents read into plain records: tilesets, layers with
// their decoded tile arrays (base64, optionally gzip or zlib), object groups
// and the string properties of the map, layers, groups, objects and tiles.
// A problem in one layer's data leaves that layer without tiles; a parse
// error keeps what was read before it. Both are written to the error stream.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib/engine2d/mathlib/Geometry.h"
#include "platform/foundation/Value.h"

namespace engine2d {

enum GxTMXOrientation { kGxTMXOrientationOrtho = 0, kGxTMXOrientationHex = 1, kGxTMXOrientationIso = 2 };

enum GxTMXTileFlags : uint32_t {
    kGxTMXTileHorizontalFlag = 0x80000000u,
    kGxTMXTileVerticalFlag = 0x40000000u,
    kGxTMXTileDiagonalFlag = 0x20000000u,
    kGxFlipedAll = 0xE0000000u,
    kGxFlippedMask = 0x1FFFFFFFu,
};

enum GxTMXLayerAttrib {
    kGxTMXLayerAttribNone = 1,
    kGxTMXLayerAttribBase64 = 2,
    kGxTMXLayerAttribGzip = 4,
    kGxTMXLayerAttribZlib = 8
};

using GxTMXProperties = std::map<std::string, std::string>;

class GxTMXTilesetInfo {
public:
    std::string name;
    uint32_t firstGid = 0;
    Size tileSize;  // pixels
    uint32_t spacing = 0, margin = 0;
    std::string sourceImage;
    Size imageSize;  // pixels, set from the texture by the layer

    // Tiles across the image; 0 when the image holds no whole tile.
    uint32_t columns() const;
    // The tile's rectangle in the image (pixels from the top left); flip bits
    // are ignored. An empty rectangle when the image holds no whole tile.
    Rect rectForGID(uint32_t gid) const;
};

class GxTMXLayerInfo {
public:
    std::string name;
    Size layerSize;  // tiles
    // width x height GIDs row by row from the top; empty when the layer's
    // data was missing, damaged or too short.
    std::vector<uint32_t> tiles;
    bool visible = true;
    uint8_t opacity = 255;
    uint32_t minGID = 100000, maxGID = 0;
    GxTMXProperties properties;
    Point offset;  // tiles
};

class GxTMXObjectGroup {
public:
    std::string groupName;
    Point positionOffset;  // pixels
    // "name", "type", "width", "height", "gid" (text), "x", "y" (numbers),
    // "polygonPoints", "polylinePoints" and the object's own properties.
    std::vector<foundation::Dictionary> objects;
    GxTMXProperties properties;

    const foundation::Dictionary* objectNamed(const std::string& name) const;
    std::optional<std::string> propertyNamed(const std::string& name) const;
};

class GxTMXMapInfo {
public:
    // nullptr when the file cannot be read.
    static std::shared_ptr<GxTMXMapInfo> formatWithTMXFile(const std::string& file);
    // `resources` is the folder relative names are found in.
    static std::shared_ptr<GxTMXMapInfo> formatWithXML(std::string_view xml, const std::string& resources);

    int orientation = kGxTMXOrientationOrtho;
    Size mapSize;   // tiles
    Size tileSize;  // pixels
    std::vector<std::shared_ptr<GxTMXLayerInfo>> layers;
    std::vector<std::shared_ptr<GxTMXTilesetInfo>> tilesets;
    std::vector<std::shared_ptr<GxTMXObjectGroup>> objectGroups;
    GxTMXProperties properties;
    std::map<int32_t, GxTMXProperties> tileProperties;
    // The first form of tile data this reader does not read ("encoding
    // \"csv\"", tiles as XML elements, an unknown compression), named with
    // its layer; empty when every layer's data was of a form it reads. The
    // tiled map refuses a document with such a layer.
    std::string unreadForm;
    const std::string& filename() const { return filename_; }
    const std::string& resources() const { return resources_; }

    // Parsing (used by the factories and for external tilesets).
    bool parseXMLData(std::string_view data);
    bool parseXMLFile(const std::string& file);

private:
    friend struct GxTMXParserCallbacks;
    std::string resolve(const std::string& name) const;
    void noteUnreadForm(const std::string& form);
    void startElement(const std::string& name, const char** attrs);
    // One step per element that starts something.
    void startMap(const char** attrs);
    void startTileset(const char** attrs);
    void startTile(const char** attrs);
    void startLayer(const char** attrs);
    void startObjectGroup(const char** attrs);
    void startData(const char** attrs);
    void startObject(const char** attrs);
    void startProperty(const char** attrs);
    void endElement(const std::string& name);

    std::string filename_, resources_;
    std::string currentString_;
    bool storingCharacters_ = false;
    int layerAttribs_ = kGxTMXLayerAttribNone;
    bool unknownCompression_ = false;
    int parentElement_ = 0;
    uint32_t parentGID_ = 0;
    int depth_ = 0;  // external tilesets being read
    std::vector<std::string> openFiles_;
};

}  // namespace engine2d
