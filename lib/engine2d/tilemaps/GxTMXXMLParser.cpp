#include "lib/engine2d/tilemaps/GxTMXXMLParser.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lib/engine2d/files/GxContainers.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "platform/foundation/Log.h"

namespace engine2d {

namespace {

enum Parent { kNone = 0, kMap = 1, kLayer = 2, kObjectGroup = 3, kObject = 4, kTile = 5 };

// External tilesets may reference further files; a chain this deep (or one
// that comes back to a file being read) is refused.
constexpr int kMaxTilesetDepth = 8;
// A layer larger than this many cells is refused rather than allocated.
constexpr double kMaxCells = 16.0 * 1024 * 1024;

const char* attr(const char** attrs, const char* name) {
    for (int i = 0; attrs && attrs[i]; i += 2)
        if (std::strcmp(attrs[i], name) == 0) return attrs[i + 1];
    return nullptr;
}

// The integer at the start of the text (after blanks), 0 when none.
long intOf(const char* s) {
    if (!s) return 0;
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    return end == s ? 0 : v;
}

double floatOf(const char* s) {
    if (!s) return 0;
    char* end = nullptr;
    double v = std::strtod(s, &end);
    return end == s || !std::isfinite(v) ? 0 : v;
}

// Truncated towards zero into the int range; 0 for what is not a number.
int clampedInt(double v) {
    if (std::isnan(v)) return 0;
    return int(std::clamp(std::trunc(v), double(INT_MIN), double(INT_MAX)));
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

struct GxTMXParserCallbacks {
    static void XMLCALL start(void* user, const XML_Char* name, const XML_Char** attrs) {
        static_cast<GxTMXMapInfo*>(user)->startElement(name, attrs);
    }
    static void XMLCALL end(void* user, const XML_Char* name) { static_cast<GxTMXMapInfo*>(user)->endElement(name); }
    static void XMLCALL characters(void* user, const XML_Char* s, int len) {
        auto* info = static_cast<GxTMXMapInfo*>(user);
        if (info->storingCharacters_ && len > 0) info->currentString_.append(s, size_t(len));
    }
};

// --- records

uint32_t GxTMXTilesetInfo::columns() const {
    double across = imageSize.width - double(2u * margin) + double(spacing);
    double step = double(tileSize.width) + double(spacing);
    if (!(step > 0) || !(across > 0)) return 0;
    double c = std::floor(across / step);
    return c >= 1 && c < 4294967295.0 ? uint32_t(c) : 0;
}

Rect GxTMXTilesetInfo::rectForGID(uint32_t gid) const {
    uint32_t cols = columns();
    if (cols == 0) return Rect{};
    uint32_t n = (gid & kGxFlippedMask) - firstGid;
    float x = float(n % cols) * (tileSize.width + float(spacing)) + float(margin);
    float y = float(n / cols) * (tileSize.height + float(spacing)) + float(margin);
    return Rect{Point{x, y}, tileSize};
}

const foundation::Dictionary* GxTMXObjectGroup::objectNamed(const std::string& name) const {
    for (const auto& o : objects) {
        const foundation::Value* v = o.find("name");
        if (v && v->asString() && *v->asString() == name) return &o;
    }
    return nullptr;
}

std::optional<std::string> GxTMXObjectGroup::propertyNamed(const std::string& name) const {
    auto it = properties.find(name);
    if (it == properties.end()) return std::nullopt;
    return it->second;
}

// --- the map

std::shared_ptr<GxTMXMapInfo> GxTMXMapInfo::formatWithTMXFile(const std::string& file) {
    auto info = std::make_shared<GxTMXMapInfo>();
    info->filename_ = file;
    if (!info->parseXMLFile(file)) return nullptr;
    return info;
}

std::shared_ptr<GxTMXMapInfo> GxTMXMapInfo::formatWithXML(std::string_view xml, const std::string& resources) {
    auto info = std::make_shared<GxTMXMapInfo>();
    info->resources_ = resources;
    info->parseXMLData(xml);
    return info;
}

bool GxTMXMapInfo::parseXMLFile(const std::string& file) {
    std::string path = GxFileUtils::sharedFileUtils().fullPathFromRelativePath(file);
    if (std::find(openFiles_.begin(), openFiles_.end(), path) != openFiles_.end()) return false;
    std::vector<uint8_t> bytes;
    if (gxReadWholeFile(path, bytes) < 0) return false;
    openFiles_.push_back(path);
    parseXMLData(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    openFiles_.pop_back();
    return true;
}

bool GxTMXMapInfo::parseXMLData(std::string_view data) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    if (!parser) return false;
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, GxTMXParserCallbacks::start, GxTMXParserCallbacks::end);
    XML_SetCharacterDataHandler(parser, GxTMXParserCallbacks::characters);
    // No external entities are read (no handler is set for them).
    bool ok = true;
    const size_t kChunk = 1 << 20;
    size_t pos = 0;
    do {
        size_t n = std::min(kChunk, data.size() - pos);
        bool last = pos + n == data.size();
        if (XML_Parse(parser, data.data() + pos, int(n), last) == XML_STATUS_ERROR) {
            foundation::warn(
                "engine2d: TMX \"%s\": line %lu, column %lu: %s; what came before is kept",
                filename_.empty() ? "(text)" : filename_.c_str(), (unsigned long)XML_GetCurrentLineNumber(parser),
                (unsigned long)XML_GetCurrentColumnNumber(parser), XML_ErrorString(XML_GetErrorCode(parser)));
            ok = false;
            break;
        }
        pos += n;
    } while (pos < data.size());
    XML_ParserFree(parser);
    return ok;
}

void GxTMXMapInfo::noteUnreadForm(const std::string& form) {
    const std::string layer = layers.empty() ? std::string("(none)") : layers.back()->name;
    foundation::warn(
        "engine2d: TMX \"%s\": layer \"%s\": %s is not read (tile data must be base64, optionally gzip or "
        "zlib)",
        filename_.empty() ? "(text)" : filename_.c_str(), layer.c_str(), form.c_str());
    if (unreadForm.empty()) unreadForm = "layer \"" + layer + "\": " + form;
}

std::string GxTMXMapInfo::resolve(const std::string& name) const {
    std::string dir = filename_.empty() ? resources_ : directoryOf(filename_);
    if (dir.empty()) return name;
    return dir + "/" + name;
}

void GxTMXMapInfo::startElement(const std::string& name, const char** attrs) {
    if (name == "map") {
        startMap(attrs);
    } else if (name == "tileset") {
        startTileset(attrs);
    } else if (name == "image") {
        const char* source = attr(attrs, "source");
        if (source && !tilesets.empty()) tilesets.back()->sourceImage = resolve(source);
    } else if (name == "tile") {
        startTile(attrs);
    } else if (name == "layer") {
        startLayer(attrs);
    } else if (name == "objectgroup") {
        startObjectGroup(attrs);
    } else if (name == "data") {
        startData(attrs);
    } else if (name == "object") {
        startObject(attrs);
    } else if (name == "property") {
        startProperty(attrs);
    } else if (name == "polygon" || name == "polyline") {
        const char* points = attr(attrs, "points");
        if (points && !objectGroups.empty() && !objectGroups.back()->objects.empty())
            objectGroups.back()->objects.back().set(name == "polygon" ? "polygonPoints" : "polylinePoints",
                                                    foundation::Value(std::string(points)));
    }
}

void GxTMXMapInfo::startMap(const char** attrs) {
    const char* o = attr(attrs, "orientation");
    if (o && std::strcmp(o, "orthogonal") == 0)
        orientation = kGxTMXOrientationOrtho;
    else if (o && std::strcmp(o, "isometric") == 0)
        orientation = kGxTMXOrientationIso;
    else if (o && std::strcmp(o, "hexagonal") == 0)
        orientation = kGxTMXOrientationHex;
    mapSize = Size{float(intOf(attr(attrs, "width"))), float(intOf(attr(attrs, "height")))};
    tileSize = Size{float(intOf(attr(attrs, "tilewidth"))), float(intOf(attr(attrs, "tileheight")))};
    parentElement_ = kMap;
}

void GxTMXMapInfo::startTileset(const char** attrs) {
    if (const char* source = attr(attrs, "source")) {
        if (depth_ >= kMaxTilesetDepth) return;
        size_t before = tilesets.size();
        ++depth_;
        // Read as if its elements stood here, resolved against this map.
        std::string saved = filename_;
        parseXMLFile(resolve(source));
        filename_ = saved;
        --depth_;
        // The referencing element's first GID is the one that counts.
        if (const char* first = attr(attrs, "firstgid"))
            if (tilesets.size() > before) tilesets.back()->firstGid = uint32_t(intOf(first));
        return;
    }
    auto t = std::make_shared<GxTMXTilesetInfo>();
    if (const char* n = attr(attrs, "name")) t->name = n;
    t->firstGid = uint32_t(intOf(attr(attrs, "firstgid")));
    t->spacing = uint32_t(std::max(0L, intOf(attr(attrs, "spacing"))));
    t->margin = uint32_t(std::max(0L, intOf(attr(attrs, "margin"))));
    t->tileSize = Size{float(intOf(attr(attrs, "tilewidth"))), float(intOf(attr(attrs, "tileheight")))};
    tilesets.push_back(std::move(t));
}

void GxTMXMapInfo::startTile(const char** attrs) {
    if (tilesets.empty()) return;
    uint32_t gid = tilesets.back()->firstGid + uint32_t(intOf(attr(attrs, "id")));
    tileProperties[int32_t(gid)] = GxTMXProperties{};
    parentGID_ = gid;
    parentElement_ = kTile;
}

void GxTMXMapInfo::startLayer(const char** attrs) {
    auto l = std::make_shared<GxTMXLayerInfo>();
    if (const char* n = attr(attrs, "name")) l->name = n;
    l->layerSize =
        Size{float(std::max(0L, intOf(attr(attrs, "width")))), float(std::max(0L, intOf(attr(attrs, "height"))))};
    const char* visible = attr(attrs, "visible");
    l->visible = !(visible && std::strcmp(visible, "0") == 0);
    const char* opacity = attr(attrs, "opacity");
    l->opacity = opacity ? uint8_t(int(std::clamp(floatOf(opacity), -1e6, 1e6) * 255)) : 255;
    l->offset = Point{float(intOf(attr(attrs, "x"))), float(intOf(attr(attrs, "y")))};
    layers.push_back(std::move(l));
    parentElement_ = kLayer;
}

void GxTMXMapInfo::startObjectGroup(const char** attrs) {
    auto g = std::make_shared<GxTMXObjectGroup>();
    if (const char* n = attr(attrs, "name")) g->groupName = n;
    g->positionOffset =
        Point{float(intOf(attr(attrs, "x"))) * tileSize.width, float(intOf(attr(attrs, "y"))) * tileSize.height};
    objectGroups.push_back(std::move(g));
    parentElement_ = kObjectGroup;
}

void GxTMXMapInfo::startData(const char** attrs) {
    // Each layer's data is read on its own terms.
    layerAttribs_ = kGxTMXLayerAttribNone;
    unknownCompression_ = false;
    currentString_.clear();
    const char* encoding = attr(attrs, "encoding");
    const char* compression = attr(attrs, "compression");
    if (encoding && std::strcmp(encoding, "base64") == 0) {
        layerAttribs_ |= kGxTMXLayerAttribBase64;
        storingCharacters_ = true;
        if (compression && std::strcmp(compression, "gzip") == 0)
            layerAttribs_ |= kGxTMXLayerAttribGzip;
        else if (compression && std::strcmp(compression, "zlib") == 0)
            layerAttribs_ |= kGxTMXLayerAttribZlib;
        else if (compression) {
            unknownCompression_ = true;  // not to be taken for plain data
            noteUnreadForm("compression \"" + std::string(compression) + "\"");
        }
    } else if (encoding) {
        noteUnreadForm("encoding \"" + std::string(encoding) + "\"");
    } else {
        noteUnreadForm("tiles as XML elements (no encoding)");
    }
}

void GxTMXMapInfo::startObject(const char** attrs) {
    if (objectGroups.empty()) return;
    auto& g = *objectGroups.back();
    foundation::Dictionary o;
    for (const char* key : {"name", "type", "width", "height", "gid"})
        if (const char* v = attr(attrs, key)) o.set(key, foundation::Value(std::string(v)));
    // Worked out in floating point and brought into the int range: the
    // document's numbers may be anything a long holds.
    if (const char* x = attr(attrs, "x"))
        o.set("x", foundation::Value(clampedInt(double(intOf(x)) + double(g.positionOffset.x))));
    if (const char* y = attr(attrs, "y")) {
        double yy = std::trunc(double(intOf(y)) + double(g.positionOffset.y));
        double h = double(intOf(attr(attrs, "height")));
        o.set("y", foundation::Value(clampedInt(double(mapSize.height) * double(tileSize.height) - yy - h)));
    }
    g.objects.push_back(std::move(o));
    parentElement_ = kObject;
}

void GxTMXMapInfo::startProperty(const char** attrs) {
    const char* n = attr(attrs, "name");
    const char* v = attr(attrs, "value");
    if (!n) return;
    std::string value = v ? v : "";
    switch (parentElement_) {
        case kMap:
            properties[n] = value;
            break;
        case kLayer:
            if (!layers.empty()) layers.back()->properties[n] = value;
            break;
        case kObjectGroup:
            if (!objectGroups.empty()) objectGroups.back()->properties[n] = value;
            break;
        case kObject:
            if (!objectGroups.empty() && !objectGroups.back()->objects.empty())
                objectGroups.back()->objects.back().set(n, foundation::Value(value));
            break;
        case kTile:
            tileProperties[int32_t(parentGID_)][n] = value;
            break;
        default:
            break;
    }
}

void GxTMXMapInfo::endElement(const std::string& name) {
    if (name == "data") {
        if (!(layerAttribs_ & kGxTMXLayerAttribBase64)) return;
        storingCharacters_ = false;
        std::string text = std::move(currentString_);
        currentString_.clear();
        if (layers.empty() || unknownCompression_) return;
        GxTMXLayerInfo& layer = *layers.back();
        const double cells = double(layer.layerSize.width) * double(layer.layerSize.height);
        if (cells <= 0 || cells > kMaxCells) return;
        const size_t need = size_t(cells) * 4;
        std::vector<uint8_t> bytes;
        if (Base64Utils(reinterpret_cast<const uint8_t*>(text.data()), text.size(), bytes) == 0) return;
        if (layerAttribs_ & (kGxTMXLayerAttribGzip | kGxTMXLayerAttribZlib)) {
            std::vector<uint8_t> inflated;
            if (gxInflateBufferWithHint(bytes.data(), bytes.size(), inflated, std::max<size_t>(need, 256),
                                        std::max<size_t>(need * 2, 1024)) == 0)
                return;
            bytes = std::move(inflated);
        }
        // Data shorter than the layer leaves it without tiles.
        if (bytes.size() < need) return;
        layer.tiles.resize(size_t(cells));
        for (size_t i = 0; i < layer.tiles.size(); ++i) {
            const uint8_t* p = &bytes[i * 4];
            layer.tiles[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        }
    } else if (name == "map" || name == "layer" || name == "objectgroup" || name == "object") {
        parentElement_ = kNone;
    }
}

}  // namespace engine2d
