#include <gtest/gtest.h>
#include <zlib.h>

#include <cairo.h>

#include <climits>
#include <fstream>

#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "lib/engine2d/tilemaps/GxTMXLayer.h"
#include "lib/engine2d/tilemaps/GxTMXXMLParser.h"
#include "lib/engine2d/tilemaps/GxTileMapAtlas.h"
#include "platform/foundation/Encoding.h"
#include "platform/foundation/Log.h"
#include "tests/support/TestSupport.h"
#include "tests/support/engine2d/GLFixture.h"

using namespace engine2d;

namespace {

std::vector<uint8_t> gidBytes(const std::vector<uint32_t>& gids) {
    std::vector<uint8_t> out;
    for (uint32_t g : gids)
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(g >> (8 * i)));
    return out;
}

std::vector<uint8_t> deflateWith(const std::vector<uint8_t>& in, int windowBits) {
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&s, uLong(in.size())) + 32);
    s.next_in = const_cast<Bytef*>(in.data());
    s.avail_in = uInt(in.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

// A <data> element for the GIDs: "plain", "gzip", "zlib" or another compression name.
std::string dataElement(const std::vector<uint32_t>& gids, const std::string& how) {
    std::vector<uint8_t> bytes = gidBytes(gids);
    std::string attrs = "encoding=\"base64\"";
    if (how == "gzip")
        bytes = deflateWith(bytes, 31);
    else if (how == "zlib")
        bytes = deflateWith(bytes, 15);
    if (how != "plain") attrs += " compression=\"" + how + "\"";
    return "<data " + attrs + ">\n   " + foundation::base64Encode(bytes) + "\n  </data>";
}

const std::vector<uint32_t> kGids = {1, 2, 0, 3 | kGxTMXTileHorizontalFlag, 0, 4};

std::string mapWithLayer(const std::string& layer, const std::string& extra = "") {
    return "<?xml version=\"1.0\"?>\n<map version=\"1.0\" orientation=\"orthogonal\" width=\"3\" height=\"2\" "
           "tilewidth=\"32\" tileheight=\"32\">\n"
           "<tileset firstgid=\"1\" name=\"t\" tilewidth=\"32\" tileheight=\"32\"><image source=\"tiles.png\"/>"
           "</tileset>\n" +
           layer + extra + "</map>";
}

TEST(TMXParser, ThreeEncodingsGiveOneTileArray) {
    for (const char* how : {"plain", "gzip", "zlib"}) {
        auto info = GxTMXMapInfo::formatWithXML(
            mapWithLayer("<layer name=\"a\" width=\"3\" height=\"2\">" + dataElement(kGids, how) + "</layer>"), "res");
        ASSERT_EQ(info->layers.size(), 1u) << how;
        EXPECT_EQ(info->layers[0]->tiles, kGids) << how;
        EXPECT_EQ(info->tilesets[0]->sourceImage, "res/tiles.png");
    }
    // Mixed encodings in one map each read on their own terms.
    auto mixed = GxTMXMapInfo::formatWithXML(
        mapWithLayer("<layer name=\"a\" width=\"3\" height=\"2\">" + dataElement(kGids, "gzip") + "</layer>" +
                     "<layer name=\"b\" width=\"3\" height=\"2\">" + dataElement(kGids, "plain") + "</layer>"),
        "");
    ASSERT_EQ(mixed->layers.size(), 2u);
    EXPECT_EQ(mixed->layers[1]->tiles, kGids);
}

TEST(TMXParser, BadLayersHaveNoTilesAndTheRestLoads) {
    std::vector<uint32_t> shortData(kGids.begin(), kGids.begin() + 5);
    auto info = GxTMXMapInfo::formatWithXML(
        mapWithLayer("<layer name=\"short\" width=\"3\" height=\"2\">" + dataElement(shortData, "zlib") + "</layer>" +
                     "<layer name=\"zstd\" width=\"3\" height=\"2\">" + dataElement(kGids, "zstd") + "</layer>" +
                     "<layer name=\"junk\" width=\"3\" height=\"2\"><data encoding=\"base64\" "
                     "compression=\"gzip\">QUJDRA==</data></layer>" +
                     "<layer name=\"csv\" width=\"3\" height=\"2\"><data encoding=\"csv\">1,2,0,3,0,4</data></layer>" +
                     "<layer name=\"huge\" width=\"2000000000\" height=\"2000000000\">" + dataElement(kGids, "plain") +
                     "</layer>" + "<layer name=\"ok\" width=\"3\" height=\"2\">" + dataElement(kGids, "plain") +
                     "</layer>"),
        "");
    ASSERT_EQ(info->layers.size(), 6u);
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(info->layers[size_t(i)]->tiles.empty()) << info->layers[size_t(i)]->name;
    EXPECT_EQ(info->layers[5]->tiles, kGids);
    // A broken document keeps what came before the error.
    auto cut = GxTMXMapInfo::formatWithXML(mapWithLayer("<layer name=\"x\" width=\"3\"><data"), "");
    EXPECT_EQ(cut->tilesets.size(), 1u);
    EXPECT_EQ(cut->layers.size(), 1u);
}

TEST(TMXParser, AttributesObjectsAndPropertiesLandWhereTheyBelong) {
    std::string xml =
        "<map orientation=\"isometric\" width=\"10\" height=\"10\" tilewidth=\"32\" tileheight=\"32\">"
        "<properties><property name=\"m1\" value=\"map\"/></properties>"
        "<tileset firstgid=\"5\" tilewidth=\"32\" tileheight=\"32\">"
        "<properties><property name=\"m2\" value=\"still the map\"/></properties>"
        "<image source=\"t.png\"/>"
        "<tile id=\"2\"><properties><property name=\"p\" value=\"tile7\"/></properties></tile>"
        "<property name=\"after\" value=\"tile7 too\"/>"
        "</tileset>"
        "<layer name=\"plain\" width=\"1\" height=\"1\"/>"
        "<layer name=\"half\" width=\"1\" height=\"1\" opacity=\"0.5\" visible=\"false\" x=\"2\" y=\"3\">"
        "<properties><property name=\"lp\" value=\"layer\"/></properties></layer>"
        "<layer name=\"hidden\" width=\"1\" height=\"1\" visible=\"0\"/>"
        "<objectgroup name=\"g\">"
        "<object name=\"door\" type=\"exit\" x=\"40\" y=\"32\" width=\"16\" height=\"16\">"
        "<properties><property name=\"op\" value=\"obj\"/></properties></object>"
        "<object name=\"path\" x=\"0\" y=\"0\"><polyline points=\"0,0 5,5\"/></object>"
        "</objectgroup>"
        "<objectgroup name=\"shifted\" x=\"1\" y=\"2\"><object x=\"0\" y=\"0\"/></objectgroup>"
        "</map>";
    auto info = GxTMXMapInfo::formatWithXML(xml, "");
    EXPECT_EQ(info->orientation, kGxTMXOrientationIso);
    EXPECT_EQ(info->properties.at("m1"), "map");
    EXPECT_EQ(info->properties.at("m2"), "still the map");
    EXPECT_EQ(info->tileProperties.at(7).at("p"), "tile7");
    EXPECT_EQ(info->tileProperties.at(7).at("after"), "tile7 too");
    ASSERT_EQ(info->layers.size(), 3u);
    EXPECT_EQ(info->layers[0]->opacity, 255);
    EXPECT_TRUE(info->layers[0]->visible);
    EXPECT_EQ(info->layers[1]->opacity, 127);
    EXPECT_TRUE(info->layers[1]->visible);
    EXPECT_EQ(info->layers[1]->offset.x, 2);
    EXPECT_EQ(info->layers[1]->properties.at("lp"), "layer");
    EXPECT_FALSE(info->layers[2]->visible);
    ASSERT_EQ(info->objectGroups.size(), 2u);
    const auto* door = info->objectGroups[0]->objectNamed("door");
    ASSERT_NE(door, nullptr);
    EXPECT_EQ(door->find("y")->intValue(), 320 - 32 - 16);
    EXPECT_EQ(door->find("x")->intValue(), 40);
    EXPECT_EQ(*door->find("width")->asString(), "16");
    EXPECT_EQ(*door->find("op")->asString(), "obj");
    EXPECT_EQ(*info->objectGroups[0]->objectNamed("path")->find("polylinePoints")->asString(), "0,0 5,5");
    EXPECT_EQ(info->objectGroups[1]->positionOffset.x, 32);
    EXPECT_EQ(info->objectGroups[1]->objects[0].find("x")->intValue(), 32);
    EXPECT_EQ(info->objectGroups[1]->objects[0].find("y")->intValue(), 320 - 64);
}

TEST(TMXParser, TilesetRectanglesWithMarginAndSpacing) {
    GxTMXTilesetInfo t;
    t.firstGid = 1;
    t.tileSize = Size{32, 32};
    t.margin = 1;
    t.spacing = 2;
    t.imageSize = Size{134, 134};
    EXPECT_EQ(t.columns(), 3u);
    Rect r = t.rectForGID(5);
    EXPECT_EQ(r.origin.x, 35);
    EXPECT_EQ(r.origin.y, 35);
    EXPECT_EQ(r.size.width, 32);
    Rect flipped = t.rectForGID(5 | kGxFlipedAll);
    EXPECT_EQ(flipped.origin.x, r.origin.x);
    EXPECT_EQ(flipped.origin.y, r.origin.y);
    // Narrower than one tile: no tiles at all, never a division by zero.
    t.imageSize = Size{20, 134};
    EXPECT_EQ(t.columns(), 0u);
    EXPECT_EQ(t.rectForGID(5).size.width, 0);
}

TEST(TMXParser, ExternalTilesetsTakeTheReferencingFirstGidAndCannotLoop) {
    std::string dir = testsupport::tempDir("engine2d_tmx_ext");
    std::ofstream(dir + "/ext.tsx") << "<tileset name=\"ext\" tilewidth=\"16\" tileheight=\"16\" spacing=\"1\">"
                                       "<image source=\"ext.png\"/></tileset>";
    std::ofstream(dir + "/loop.tsx") << "<tileset source=\"loop.tsx\"/>";
    std::ofstream(dir + "/m.tmx") << "<map width=\"1\" height=\"1\" tilewidth=\"16\" tileheight=\"16\">"
                                     "<tileset firstgid=\"9\" source=\"ext.tsx\"/><tileset source=\"loop.tsx\"/></map>";
    auto info = GxTMXMapInfo::formatWithTMXFile(dir + "/m.tmx");
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->tilesets.size(), 1u);
    EXPECT_EQ(info->tilesets[0]->name, "ext");
    EXPECT_EQ(info->tilesets[0]->firstGid, 9u);
    EXPECT_EQ(info->tilesets[0]->spacing, 1u);
    EXPECT_EQ(info->tilesets[0]->sourceImage, dir + "/ext.png");
    EXPECT_EQ(GxTMXMapInfo::formatWithTMXFile(dir + "/none.tmx"), nullptr);
}

// --- layers and the map node, drawn

void writeTileSheet(const std::string& path, int w, int h) {
    cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(surf);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(surf, path.c_str());
    cairo_surface_destroy(surf);
}

class TileMaps : public engine2d::testing_gl::GLTest {};

std::string orthoMap(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, const std::string& props = "") {
    auto layer = [](const std::string& name, const std::vector<uint32_t>& g, const std::string& extra) {
        return "<layer name=\"" + name + "\" width=\"10\" height=\"10\"" + extra + ">" + dataElement(g, "zlib") +
               "</layer>";
    };
    return "<map orientation=\"orthogonal\" width=\"10\" height=\"10\" tilewidth=\"32\" tileheight=\"32\">"
           "<tileset firstgid=\"1\" tilewidth=\"32\" tileheight=\"32\"><image source=\"a.png\"/></tileset>"
           "<tileset firstgid=\"101\" tilewidth=\"32\" tileheight=\"32\"><image source=\"b.png\"/></tileset>" +
           layer("low", a, "><properties>" + props + "</properties") + layer("gone", a, " visible=\"0\"") +
           layer("high", b, "") + "</map>";
}

TEST_F(TileMaps, LayersPlaceTilesPickTheirTilesetAndSkipHiddenOnes) {
    REQUIRE_GL();
    writeTileSheet(dir_ + "/a.png", 128, 128);
    writeTileSheet(dir_ + "/b.png", 64, 64);
    std::vector<uint32_t> a(100, 0), b(100, 0);
    a[0] = 3;
    a[99] = 2;
    b[5] = 3;
    b[6] = 105;
    auto map = GxTMXTiledMap::tiledMapWithXML(orthoMap(a, b, "<property name=\"gx_vertexz\" value=\"-5\"/>"), dir_);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->childrenCount(), 2u);
    EXPECT_EQ(map->layerNamed("gone"), nullptr);
    auto low = map->layerNamed("low");
    auto high = map->layerNamed("high");
    ASSERT_TRUE(low && high);
    EXPECT_EQ(low->tag(), 0);
    EXPECT_EQ(high->tag(), 1);
    EXPECT_EQ(high->zOrder(), 1);
    EXPECT_EQ(low->tileset()->firstGid, 1u);
    EXPECT_EQ(high->tileset()->firstGid, 101u);
    EXPECT_EQ(low->contentSize().width, 320);
    EXPECT_EQ(map->contentSize().height, 320);
    EXPECT_EQ(low->positionAt(Point{0, 0}).y, 288);
    EXPECT_EQ(low->positionAt(Point{9, 9}).x, 288);
    EXPECT_EQ(low->positionAt(Point{9, 9}).y, 0);
    EXPECT_EQ(low->minGID(), 2u);
    EXPECT_EQ(low->maxGID(), 3u);
    // Quads in cell order, with the fixed vertex z.
    auto& atlas = *low->textureAtlas();
    ASSERT_EQ(atlas.totalQuads(), 2u);
    EXPECT_EQ(atlas.quadAt(0).bl.vertices.y, 288);
    EXPECT_EQ(atlas.quadAt(1).bl.vertices.x, 288);
    EXPECT_EQ(atlas.quadAt(0).bl.vertices.z, -5);
    // Tile 3 of a 4-column sheet is column 2: u from 64/128.
    EXPECT_FLOAT_EQ(atlas.quadAt(0).bl.texCoords.u, 0.5f);

    // Out-of-range coordinates are refused.
    EXPECT_EQ(low->tileGIDAt(Point{10, 0}), 0u);
    EXPECT_EQ(low->tileAt(Point{-1, 0}), nullptr);
    low->setTileGID(1, Point{0, 10});
    EXPECT_EQ(atlas.totalQuads(), 2u);

    target(320, 320);
    map->visit();
    EXPECT_EQ(at(16, 320 - 16), (engine2d::testing_gl::Px{255, 255, 255, 255}));
    EXPECT_EQ(at(48, 320 - 16), (engine2d::testing_gl::Px{0, 0, 0, 255}));
}

TEST_F(TileMaps, EditsShiftAtlasIndicesAndFlipsRotate) {
    REQUIRE_GL();
    writeTileSheet(dir_ + "/a.png", 128, 128);
    writeTileSheet(dir_ + "/b.png", 64, 64);
    std::vector<uint32_t> a(100, 0), b(100, 0);
    a[1] = 1;
    a[5] = 2;
    a[9] = 3;
    b[0] = 101;
    auto map = GxTMXTiledMap::tiledMapWithXML(orthoMap(a, b), dir_);
    ASSERT_NE(map, nullptr);
    auto low = map->layerNamed("low");
    auto& atlas = *low->textureAtlas();
    auto nine = low->tileAt(Point{9, 0});
    ASSERT_NE(nine, nullptr);
    EXPECT_EQ(nine->atlasIndex(), 2u);
    EXPECT_EQ(low->tileAt(Point{9, 0}), nine);  // made once
    EXPECT_EQ(low->tileAt(Point{2, 0}), nullptr);

    // A tile in an empty cell before it moves its quad and index up.
    low->setTileGID(4, Point{3, 0});
    EXPECT_EQ(atlas.totalQuads(), 4u);
    EXPECT_EQ(nine->atlasIndex(), 3u);
    EXPECT_EQ(low->atlasIndexArray(), (std::vector<uint32_t>{1, 3, 5, 9}));
    EXPECT_EQ(atlas.quadAt(1).bl.vertices.x, 96);
    EXPECT_EQ(low->tileGIDAt(Point{3, 0}), 4u);
    // The same value again changes nothing; GID 0 removes; indices move back.
    low->setTileGID(4, Point{3, 0});
    EXPECT_EQ(atlas.totalQuads(), 4u);
    low->setTileGID(0, Point{3, 0});
    EXPECT_EQ(atlas.totalQuads(), 3u);
    EXPECT_EQ(nine->atlasIndex(), 2u);
    EXPECT_EQ(atlas.quadAt(1).bl.vertices.x, 160);

    // Diagonal + horizontal: rotated 90 degrees about the tile's centre.
    low->setTileGID(2, Point{1, 0}, kGxTMXTileDiagonalFlag | kGxTMXTileHorizontalFlag);
    uint32_t flags = 0;
    EXPECT_EQ(low->tileGIDAt(Point{1, 0}, &flags), 2u);
    EXPECT_EQ(flags, kGxTMXTileDiagonalFlag | kGxTMXTileHorizontalFlag);
    const auto& q = atlas.quadAt(0);
    // Turned a quarter clockwise about the cell's centre: the bottom left
    // corner goes to the cell's top left, the top right to its bottom right.
    EXPECT_NEAR(q.bl.vertices.x, 32, 1e-3);
    EXPECT_NEAR(q.bl.vertices.y, 320, 1e-3);
    EXPECT_NEAR(q.tr.vertices.x, 64, 1e-3);
    EXPECT_NEAR(q.tr.vertices.y, 288, 1e-3);

    // Removing the sprite child empties its cell.
    low->removeChild(nine.get(), true);
    EXPECT_EQ(low->tileGIDAt(Point{9, 0}), 0u);
    EXPECT_EQ(atlas.totalQuads(), 2u);
    low->releaseMap();
    EXPECT_EQ(low->tileGIDAt(Point{1, 0}), 0u);
}

TEST_F(TileMaps, AutomaticVertexZAndIsometricPositions) {
    REQUIRE_GL();
    writeTileSheet(dir_ + "/a.png", 128, 128);
    writeTileSheet(dir_ + "/b.png", 64, 64);
    std::vector<uint32_t> a(100, 0), b(100, 0);
    a[0] = 1;
    a[90] = 1;
    auto map = GxTMXTiledMap::tiledMapWithXML(orthoMap(a, b,
                                                       "<property name=\"gx_vertexz\" value=\"automatic\"/>"
                                                       "<property name=\"gx_alpha_func\" value=\"0.5\"/>"),
                                              dir_);
    auto low = map->layerNamed("low");
    ASSERT_TRUE(low && low->useAutomaticVertexZ());
    EXPECT_EQ(low->textureAtlas()->quadAt(0).bl.vertices.z, -10);
    EXPECT_EQ(low->textureAtlas()->quadAt(1).bl.vertices.z, -1);
    // The empty layer "high" has no tileset and no quads, but exists.
    EXPECT_EQ(map->layerNamed("high")->textureAtlas()->totalQuads(), 0u);

    GxTMXMapInfo iso;
    iso.orientation = kGxTMXOrientationIso;
    iso.tileSize = Size{64, 32};
    auto info = std::make_shared<GxTMXLayerInfo>();
    info->layerSize = Size{10, 10};
    auto layer = GxTMXLayer::layerWithTilesetInfo(nullptr, info, iso);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->positionAt(Point{0, 0}).x, 288);
    EXPECT_EQ(layer->positionAt(Point{0, 0}).y, 288);
}

void writeTGA(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> f(18, 0);
    f[2] = 2;
    f[12] = uint8_t(w);
    f[14] = uint8_t(h);
    f[16] = 24;
    for (size_t i = 0; i < rgb.size(); i += 3) {  // stored as BGR
        f.push_back(rgb[i + 2]);
        f.push_back(rgb[i + 1]);
        f.push_back(rgb[i]);
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
}

TEST_F(TileMaps, TGAAtlasWritesOneQuadPerTileColumnByColumn) {
    REQUIRE_GL();
    writeTileSheet(dir_ + "/sheet.png", 256, 64);  // 16 cells a row, 4 rows
    // (0,0) r 3, (1,0) r 0, (0,1) r 7, (1,1) r 17.
    writeTGA(dir_ + "/map.tga", 2, 2, {3, 1, 2, 0, 0, 0, 7, 0, 0, 17, 5, 6});
    auto atlas = GxTileMapAtlas::tileMapAtlasWithTileFile("sheet.png", "map.tga", 16, 16);
    ASSERT_NE(atlas, nullptr);
    EXPECT_EQ(atlas->itemsToRender(), 3);
    EXPECT_EQ(atlas->textureAtlas()->totalQuads(), 3u);
    EXPECT_EQ(atlas->atlasIndexAt(0, 0), 0);
    EXPECT_EQ(atlas->atlasIndexAt(0, 1), 1);
    EXPECT_EQ(atlas->atlasIndexAt(1, 1), 2);
    EXPECT_EQ(atlas->atlasIndexAt(1, 0), -1);
    EXPECT_EQ(atlas->contentSize().width, 32);
    const auto& q = atlas->textureAtlas()->quadAt(2);  // tile 17: column 1, row 1
    EXPECT_FLOAT_EQ(q.tl.texCoords.u, 16 / 256.0f);
    EXPECT_FLOAT_EQ(q.tl.texCoords.v, 16 / 64.0f);
    EXPECT_EQ(q.bl.vertices.x, 16);
    EXPECT_EQ(q.tr.vertices.y, 32);
    EXPECT_EQ(atlas->tileAt(Point{1, 1}).g, 5);

    atlas->setTile(gxColor3B{9, 9, 9}, Point{1, 0});  // no tile there at load
    EXPECT_EQ(atlas->tileAt(Point{1, 0}).r, 0);
    atlas->setTile(gxColor3B{2, 0, 0}, Point{0, 0});
    EXPECT_FLOAT_EQ(atlas->textureAtlas()->quadAt(0).tl.texCoords.u, 32 / 256.0f);
    EXPECT_EQ(atlas->tileAt(Point{5, 5}).r, 0);  // outside: nothing

    EXPECT_EQ(GxTileMapAtlas::tileMapAtlasWithTileFile("sheet.png", "none.tga", 16, 16), nullptr);
    EXPECT_EQ(GxTileMapAtlas::tileMapAtlasWithTileFile("sheet.png", "map.tga", 0, 16), nullptr);
}

}  // namespace

namespace {

// A square orthogonal map of `side` x `side` tiles of 2 x 2 pixels, every
// cell holding GID 1 (a white tile).
std::string fullMap(unsigned side) {
    const std::string n = std::to_string(side);
    return "<map orientation=\"orthogonal\" width=\"" + n + "\" height=\"" + n +
           "\" tilewidth=\"2\" tileheight=\"2\">"
           "<tileset firstgid=\"1\" tilewidth=\"2\" tileheight=\"2\"><image source=\"a.png\"/></tileset>"
           "<layer name=\"full\" width=\"" +
           n + "\" height=\"" + n + "\">" + dataElement(std::vector<uint32_t>(size_t(side) * side, 1), "zlib") +
           "</layer></map>";
}

TEST_F(TileMaps, ALayerOfMoreTilesThanOneDrawCallDrawsEveryTile) {
    REQUIRE_GL();
    writeTileSheet(dir_ + "/a.png", 2, 2);
    testing::internal::CaptureStderr();
    auto map = GxTMXTiledMap::tiledMapWithXML(fullMap(200), dir_);
    std::string log = testing::internal::GetCapturedStderr();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(log, "");
    auto layer = map->layerNamed("full");
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->textureAtlas()->totalQuads(), 40000u);
    target(400, 400);
    const uint64_t draws = gl::callCount(gl::Call::DrawElements);
    map->visit();
    EXPECT_EQ(gl::callCount(gl::Call::DrawElements) - draws, 3u) << "runs of 16384 quads";
    std::vector<engine2d::testing_gl::Px> px(400 * 400);
    glReadPixels(0, 0, 400, 400, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    size_t white = size_t(std::count(px.begin(), px.end(), engine2d::testing_gl::Px{255, 255, 255, 255}));
    EXPECT_EQ(white, px.size()) << "the top row, the bottom row and all between";
    // Tiles set later still find room and show.
    layer->removeTileAt(Point{0, 199});
    layer->setTileGID(1, Point{0, 199});
    EXPECT_EQ(layer->textureAtlas()->totalQuads(), 40000u);
}

TEST_F(TileMaps, ALayerBeyondWhatAnAtlasHoldsSaysSoOnce) {
    REQUIRE_GL();
    writeTileSheet(dir_ + "/a.png", 2, 2);
    testing::internal::CaptureStderr();
    auto map = GxTMXTiledMap::tiledMapWithXML(fullMap(520), dir_);
    std::string log = testing::internal::GetCapturedStderr();
    ASSERT_NE(map, nullptr);
    ASSERT_NE(map->layerNamed("full"), nullptr);
    EXPECT_EQ(map->layerNamed("full")->textureAtlas()->totalQuads(), GxTextureAtlas::kMaxCapacity);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_NE(log.find("270400 tiles are more than the 262144"), std::string::npos) << log;
}

}  // namespace

namespace {

TEST(TMXParser, FormsThatAreNotReadRefuseTheMapAndNameTheForm) {
    const struct {
        std::string data, form;
    } forms[] = {
        {"<data encoding=\"csv\">1,2,0,3,0,4</data>", "encoding \"csv\""},
        {"<data><tile gid=\"1\"/><tile gid=\"2\"/><tile/><tile gid=\"3\"/><tile/><tile gid=\"4\"/></data>",
         "tiles as XML elements"},
        {dataElement(kGids, "zstd"), "compression \"zstd\""},
    };
    for (const auto& f : forms) {
        testing::internal::CaptureStderr();
        auto map = GxTMXTiledMap::tiledMapWithXML(
            mapWithLayer("<layer name=\"ok\" width=\"3\" height=\"2\">" + dataElement(kGids, "plain") + "</layer>" +
                         "<layer name=\"ground\" width=\"3\" height=\"2\">" + f.data + "</layer>"),
            "");
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(map, nullptr) << f.form;
        EXPECT_NE(log.find("layer \"ground\": " + f.form), std::string::npos) << log;
        EXPECT_NE(log.find("base64"), std::string::npos) << "what is read is named too: " << log;
    }
    // A broken document says where it broke.
    testing::internal::CaptureStderr();
    auto cut = GxTMXMapInfo::formatWithXML(mapWithLayer("<layer name=\"x\" width=\"3\">\n<data"), "");
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(cut->layers.size(), 1u);
    EXPECT_NE(log.find("line 5"), std::string::npos) << log;
}

TEST(TMXParser, TheEnginesWarningsGoThroughTheLogSink) {
    std::vector<std::string> lines;
    auto old = foundation::setLogSink([&](const std::string& line) { lines.push_back(line); });
    testing::internal::CaptureStderr();
    auto cut = GxTMXMapInfo::formatWithXML(mapWithLayer("<layer name=\"x\" width=\"3\">\n<data"), "");
    const std::string stderrText = testing::internal::GetCapturedStderr();
    foundation::setLogSink(old);
    ASSERT_NE(cut, nullptr);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("engine2d: TMX", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("line 5"), std::string::npos) << lines[0];
    EXPECT_EQ(stderrText, "") << "a sink takes the line instead of stderr";
}

TEST(TMXParser, ObjectNumbersOutOfEveryRangeStayInTheIntRange) {
    const std::string big = "9223372036854775807", small = "-9223372036854775808";
    auto info = GxTMXMapInfo::formatWithXML(
        "<map width=\"" + big + "\" height=\"" + big + "\" tilewidth=\"" + big + "\" tileheight=\"" + big +
            "\"><objectgroup name=\"g\" x=\"" + big + "\" y=\"" + small +
            "\">"
            "<object name=\"a\" x=\"" +
            big + "\" y=\"" + small + "\" height=\"" + big + "\"/><object name=\"b\" x=\"" + small + "\" y=\"" + big +
            "\" height=\"" + small + "\"/><object name=\"c\" x=\"3\" y=\"32\" height=\"16\"/></objectgroup></map>",
        "");
    ASSERT_EQ(info->objectGroups.size(), 1u);
    const auto& objects = info->objectGroups[0]->objects;
    ASSERT_EQ(objects.size(), 3u);
    for (const auto& o : objects) {
        ASSERT_NE(o.find("x"), nullptr);
        ASSERT_NE(o.find("y"), nullptr);
    }
    EXPECT_EQ(objects[0].find("x")->intValue(), INT_MAX);
    EXPECT_EQ(objects[1].find("x")->intValue(), INT_MAX) << "the group's offset (x times the tile width) outweighs";
    EXPECT_EQ(objects[1].find("y")->intValue(), INT_MAX);
    // Ordinary numbers as before: the map's height in pixels - y - height.
    auto plain = GxTMXMapInfo::formatWithXML(
        "<map width=\"10\" height=\"10\" tilewidth=\"32\" tileheight=\"32\"><objectgroup name=\"g\">"
        "<object x=\"3\" y=\"32\" height=\"16\"/></objectgroup></map>",
        "");
    EXPECT_EQ(plain->objectGroups[0]->objects[0].find("y")->intValue(), 272);
    EXPECT_EQ(plain->objectGroups[0]->objects[0].find("x")->intValue(), 3);
}

}  // namespace
