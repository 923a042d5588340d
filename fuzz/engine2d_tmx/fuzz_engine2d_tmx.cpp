// TMX documents on arbitrary bytes. Relative names resolve into a folder that
// does not exist, so no file is read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lib/engine2d/tilemaps/GxTMXXMLParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view xml(reinterpret_cast<const char*>(data), size);
    auto info = engine2d::GxTMXMapInfo::formatWithXML(xml, "/nonexistent-quenta-fuzz");
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
    return 0;
}
