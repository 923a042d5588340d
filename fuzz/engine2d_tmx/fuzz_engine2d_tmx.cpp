// TMX documents on arbitrary bytes: the parser's records, then the tiled map
// with its layers on a real GL context (tilesets named "a.png" find a small
// tile sheet; others no file), drawn once.
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/support/FuzzGL.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "lib/engine2d/tilemaps/GxTMXLayer.h"
#include "lib/engine2d/tilemaps/GxTMXXMLParser.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::startGL();
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 64, 32);
    cairo_surface_write_to_png(s, (fuzzsupport::folder() + "/a.png").c_str());
    cairo_surface_destroy(s);
    engine2d::GxFileUtils::sharedFileUtils().setBundleDir(fuzzsupport::folder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view xml(reinterpret_cast<const char*>(data), size);
    auto info = engine2d::GxTMXMapInfo::formatWithXML(xml, fuzzsupport::folder());
    for (const auto& layer : info->layers) {
        // A layer holds its whole grid or nothing.
        if (!layer->tiles.empty() &&
            layer->tiles.size() != size_t(double(layer->layerSize.width) * double(layer->layerSize.height)))
            __builtin_trap();
    }
    for (const auto& t : info->tilesets) {
        engine2d::GxTMXTilesetInfo probe = *t;
        probe.imageSize = engine2d::Size{256, 256};
        (void)probe.rectForGID(t->firstGid + 7);
    }
    if (!fuzzsupport::haveGL()) return 0;
    auto map = engine2d::GxTMXTiledMap::tiledMapWithXML(xml, fuzzsupport::folder());
    if (map && map->children()) {
        for (auto& c : map->children()->slots()) {
            auto* layer = static_cast<engine2d::GxTMXLayer*>(c.get());
            if (layer->textureAtlas()->totalQuads() > engine2d::GxTextureAtlas::kMaxCapacity) __builtin_trap();
            // A few edits where the layer has cells.
            engine2d::Size ls = layer->layerSize();
            if (ls.width >= 1 && ls.height >= 1) {
                engine2d::Point p{float(size % unsigned(std::min(ls.width, 64.0f))), 0};
                layer->setTileGID(layer->tileGIDAt(p) + 1, p);
                (void)layer->tileAt(p);
                layer->removeTileAt(p);
            }
        }
        map->visit();
    }
    engine2d::GxTextureCache::sharedTextureCache().removeAllTextures();
    return 0;
}
