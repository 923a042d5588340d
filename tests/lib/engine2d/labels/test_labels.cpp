#include <gtest/gtest.h>

#include <cairo.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxGLView.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/labels/GxAtlasNode.h"
#include "lib/engine2d/labels/GxLabelBMFont.h"
#include "lib/engine2d/labels/GxLabelTTF.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/sprites/GxAnimation.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/sprites/GxSpriteFrame.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureAtlas.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/RunLoop.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Application.h"
#include "platform/ui/MemoryWarnings.h"
#include "tests/support/engine2d/GLFixture.h"

using namespace engine2d;
using engine2d::testing_gl::Px;

namespace {

// Ten 16 x 32 cells side by side, cell k filled with colours[k] inside a
// one-pixel transparent border.
const Px kCellColours[10] = {{255, 0, 0, 255},   {0, 255, 0, 255},    {0, 0, 255, 255}, {255, 255, 0, 255},
                             {0, 255, 255, 255}, {255, 0, 255, 255},  {128, 0, 0, 255}, {0, 128, 0, 255},
                             {0, 0, 128, 255},   {128, 128, 128, 255}};

void writeCharMap(const std::string& path, int cellW = 16, int cellH = 32) {
    cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cellW * 10, cellH);
    cairo_t* cr = cairo_create(surf);
    for (int k = 0; k < 10; ++k) {
        cairo_set_source_rgb(cr, kCellColours[k][0] / 255.0, kCellColours[k][1] / 255.0, kCellColours[k][2] / 255.0);
        cairo_rectangle(cr, k * cellW + 1, 1, cellW - 2, cellH - 2);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    cairo_surface_write_to_png(surf, path.c_str());
    cairo_surface_destroy(surf);
}

void writeText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

class Labels : public engine2d::testing_gl::GLTest {};

TEST_F(Labels, CharacterMapPlacesCellsAndSendsTheColourAsAUniform) {
    REQUIRE_GL();
    writeCharMap(dir_ + "/digits.png");
    auto label = GxLabelAtlas::labelWithString("42", "digits.png", 16, 32, '0');
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->itemsPerRow(), 10u);
    EXPECT_EQ(label->itemsPerColumn(), 1u);
    EXPECT_EQ(label->contentSize().width, 32);
    EXPECT_EQ(label->contentSize().height, 32);
    auto& atlas = *label->textureAtlas();
    ASSERT_EQ(atlas.totalQuads(), 2u);
    const float W = float(label->texture()->pixelsWide());
    EXPECT_FLOAT_EQ(atlas.quadAt(0).bl.texCoords.u, 64 / W);  // cell 4
    EXPECT_FLOAT_EQ(atlas.quadAt(1).bl.texCoords.u, 32 / W);  // cell 2
    EXPECT_FLOAT_EQ(atlas.quadAt(1).bl.vertices.x, 16);
    EXPECT_FLOAT_EQ(atlas.quadAt(1).tr.vertices.y, 32);

    target(64, 40);
    label->visit();
    EXPECT_EQ(at(8, 16), kCellColours[4]);
    EXPECT_EQ(at(24, 16), kCellColours[2]);
    EXPECT_EQ(at(40, 16), (Px{0, 0, 0, 255}));

    // Premultiplied picture: opacity goes into the colour sent to the shader.
    ASSERT_TRUE(label->texture()->hasPremultipliedAlpha());
    label->setColor(gxColor3B{255, 0, 0});
    label->setOpacity(128);
    EXPECT_EQ(label->color(), (gxColor3B{255, 0, 0}));
    label->visit();
    float u[4] = {};
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetUniformfv(GLuint(program), glGetUniformLocation(GLuint(program), "u_color"), u);
    EXPECT_NEAR(u[0], 128 / 255.0, 1e-6);
    EXPECT_EQ(u[1], 0);
    EXPECT_EQ(u[2], 0);
    EXPECT_NEAR(u[3], 128 / 255.0, 1e-6);

    // Longer text grows the atlas; a character below the start wraps round
    // to a cell beyond the picture instead of failing.
    label->setString("0123456789/");
    EXPECT_GE(atlas.capacity(), 11u);
    EXPECT_EQ(label->quadsToDraw(), 11u);
    EXPECT_GT(atlas.quadAt(10).tr.texCoords.v, 1.0f);
}

TEST_F(Labels, CharacterMapCellsMustFitThePicture) {
    REQUIRE_GL();
    writeCharMap(dir_ + "/digits.png");
    // An empty cell or one larger than the picture would divide by zero later.
    EXPECT_EQ(GxLabelAtlas::labelWithString("1", "digits.png", 0, 32, '0'), nullptr);
    EXPECT_EQ(GxLabelAtlas::labelWithString("1", "digits.png", 16, 0, '0'), nullptr);
    EXPECT_EQ(GxLabelAtlas::labelWithString("1", "digits.png", 16, 33, '0'), nullptr);
    EXPECT_EQ(GxLabelAtlas::labelWithString("1", "missing.png", 16, 32, '0'), nullptr);
}

TEST_F(Labels, CharacterMapPropertyListGivesCellsInPixels) {
    REQUIRE_GL();
    writeCharMap(dir_ + "/digits.png", 32, 64);
    writeText(dir_ + "/digits.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
              "<key>textureFilename</key><string>digits.png</string>"
              "<key>itemWidth</key><integer>32</integer><key>itemHeight</key><string>64</string>"
              "<key>firstChar</key><integer>48</integer></dict></plist>");
    GxEnvironment::shared().contentScaleFactor = 2;
    auto label = GxLabelAtlas::labelWithString("7", "digits.plist");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->itemWidth(), 16u);
    EXPECT_EQ(label->itemHeight(), 32u);
    EXPECT_EQ(label->itemsPerRow(), 10u);
    EXPECT_FLOAT_EQ(label->textureAtlas()->quadAt(0).bl.texCoords.u, 7 * 32 / float(label->texture()->pixelsWide()));
    EXPECT_EQ(GxLabelAtlas::labelWithString("7", "none.plist"), nullptr);
}

// A font of 16 x 32 glyphs in a 128 x 32 picture. Line height 32.
const char* kFont =
    "info face=\"Test\" size=32 bold=0 italic=0 charset=\"\" unicode=0 stretchH=100 smooth=1 aa=1 "
    "padding=1,2,3,4 spacing=0,0\n"
    "common lineHeight=32 base=26 scaleW=128 scaleH=32 pages=1 packed=0\n"
    "page id=0 file=\"font.png\"\n"
    "chars count=4\n"
    "char id=65   x=0     y=0     width=20    height=28    xoffset=1     yoffset=2     xadvance=22    page=0  chnl=0\n"
    "char id=66   x=20    y=0     width=20    height=28    xoffset=0     yoffset=2     xadvance=20    page=0  chnl=0\n"
    "char id=97\tx=40    y=0     width=10    height=10    xoffset=0     yoffset=0     xadvance=10    page=0  chnl=0\n"
    "char id=98   x=50    y=0     width=10    height=10    xoffset=0     yoffset=0     xadvance=10    page=0  chnl=0\n"
    "char id=32   x=60    y=0     width=10    height=10    xoffset=0     yoffset=0     xadvance=10    page=0  chnl=0\n"
    "char id=66   x=20    y=0     width=20    height=28    xoffset=0     yoffset=2     xadvance=20    page=0  chnl=0\n"
    "kernings count=2\n"
    "kerning first=65  second=66  amount=-5\n"
    "kerning first=65  second=66  amount=-2\n";

void writeFont(const std::string& dir) {
    writeText(dir + "/fonts/test.fnt", kFont);
    cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 128, 32);
    cairo_t* cr = cairo_create(surf);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, 0, 0, 70, 32);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(surf, (dir + "/fonts/font.png").c_str());
    cairo_surface_destroy(surf);
}

Point glyphAt(GxLabelBMFont& l, int tag) { return l.getChildByTag(tag)->position(); }

TEST_F(Labels, FontDescriptionsParseInOrderAndTheLastDefinitionWins) {
    auto c = GxBMFontConfiguration::configurationWithText(kFont, "fonts/test.fnt");
    EXPECT_EQ(c->atlasName(), "fonts/font.png");
    EXPECT_EQ(c->commonHeight(), 32);
    EXPECT_EQ(c->glyphCount(), 5u);
    EXPECT_EQ(c->kerningCount(), 1u);
    EXPECT_EQ(c->kerningAmount('A', 'B'), -2);
    EXPECT_EQ(c->kerningAmount('B', 'A'), 0);
    const GxBMFontDef* a = c->fontDef('a');  // id followed by a tab
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->rect.origin.x, 40);
    EXPECT_EQ(a->xAdvance, 10);
    EXPECT_EQ(c->fontDef('Z'), nullptr);
    c->parseInfoArguments(
        "info face=\"Test\" size=32 bold=0 italic=0 charset=\"\" unicode=0 stretchH=100 smooth=1 aa=1 "
        "padding=1,2,3,4 spacing=0,0");
    EXPECT_EQ(c->padding().top, 1);
    EXPECT_EQ(c->padding().right, 2);
    EXPECT_EQ(c->padding().bottom, 3);
    EXPECT_EQ(c->padding().left, 4);
    // Unquoted names, junk and truncated lines read what they can.
    auto d = GxBMFontConfiguration::configurationWithText(
        "page id=0 file=plain.png\nchar id=\ncommon lineHeight=x\nkerning first=1\nchar", "f.fnt");
    EXPECT_EQ(d->atlasName(), "plain.png");
    EXPECT_EQ(d->commonHeight(), 0);
    EXPECT_EQ(GxBMFontConfiguration::configurationWithFNTFile("missing.fnt"), nullptr);
}

TEST_F(Labels, BitmapFontLayoutKernsWrapsAndSkipsMissingGlyphs) {
    REQUIRE_GL();
    std::filesystem::create_directories(dir_ + "/fonts");
    writeFont(dir_);
    auto label = GxLabelBMFont::labelWithString("AB", "fonts/test.fnt");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(glyphAt(*label, 0).x, 11);
    EXPECT_EQ(glyphAt(*label, 0).y, 16);
    EXPECT_EQ(glyphAt(*label, 1).x, (22 + 0 + 10 - 2));
    EXPECT_EQ(label->contentSize().width, 40);
    EXPECT_EQ(label->contentSize().height, 32);

    // Two lines; a trailing line feed adds none; kerning carries over a line feed.
    label->setString("A\nB");
    EXPECT_EQ(label->contentSize().height, 64);
    EXPECT_EQ(glyphAt(*label, 0).y, 48);
    EXPECT_EQ(glyphAt(*label, 2).x, 10 - 2);
    EXPECT_EQ(glyphAt(*label, 2).y, 16);
    EXPECT_FALSE(label->getChildByTag(1)->visible());
    label->setString("A\n");
    EXPECT_EQ(label->contentSize().height, 32);

    // A character the font lacks gets no sprite and no room.
    label->setString("A?B");
    ASSERT_NE(label->getChildByTag(1), nullptr);  // the line feed's old sprite, now hidden
    EXPECT_FALSE(label->getChildByTag(1)->visible());
    EXPECT_EQ(glyphAt(*label, 2).x, 30);
    EXPECT_EQ(label->contentSize().width, 40);

    // Wrapping: the blank before the break is dropped, the word moves whole.
    label->setString("aa bb");
    label->setWidth(35);
    EXPECT_EQ(label->string(), "aa\nbb");
    EXPECT_EQ(glyphAt(*label, 3).x, 5);
    EXPECT_EQ(glyphAt(*label, 3).y, glyphAt(*label, 0).y - 32);
    label->setWidth(-1);
    EXPECT_EQ(label->string(), "aa bb");

    // The glyphs reach the screen in one batch.
    label->setString("AB");
    label->setAnchorPoint(Point{0, 0});
    target(64, 40);
    label->visit();
    EXPECT_EQ(at(10, 16), (Px{255, 255, 255, 255}));
    EXPECT_EQ(at(50, 16), (Px{0, 0, 0, 255}));
}

TEST_F(Labels, BitmapFontAlignmentShiftsEachLineByItsOwnWidth) {
    REQUIRE_GL();
    std::filesystem::create_directories(dir_ + "/fonts");
    writeFont(dir_);
    // Line one is ten "a" (100 wide), line two six (60 wide).
    auto label = GxLabelBMFont::labelWithString("aaaaaaaaaa\naaaaaa", "fonts/test.fnt", -1, 1);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->contentSize().width, 100);
    EXPECT_EQ(glyphAt(*label, 0).x, 5);
    EXPECT_EQ(glyphAt(*label, 11).x, 5 + 20);
    label->setAlignment(2);
    EXPECT_EQ(glyphAt(*label, 11).x, 5 + 40);
    // A leading empty line is skipped; the next aligns by its own glyphs.
    label->setString("\naaaaaa");
    EXPECT_EQ(label->contentSize().width, 60);
    EXPECT_EQ(glyphAt(*label, 1).x, 5);
    EXPECT_EQ(GxLabelBMFont::labelWithString("A", "fonts/none.fnt"), nullptr);
}

// Values the layout cannot add up safely are refused when the description
// loads, with the value named; the largest accepted ones lay out without
// overflow.
TEST_F(Labels, FontValuesOutOfRangeAreRefusedAtLoad) {
    struct Case {
        const char* line;
        const char* named;
    };
    const Case refused[] = {
        {"kerning first=65  second=66  amount=-2147483648", "kerning amount -2147483647 is outside"},
        {"common lineHeight=2147483647 base=26", "lineHeight 2147483647 is outside 0..32767"},
        {"common lineHeight=-1 base=26", "lineHeight -1"},
        {"char id=67 x=0 y=0 width=1 height=1 xoffset=0 yoffset=0 xadvance=32768", "xadvance 32768"},
        {"char id=67 x=0 y=0 width=1 height=1 xoffset=-32769 yoffset=0 xadvance=1", "xoffset -32769"},
        {"char id=67 x=0 y=0 width=1 height=1 xoffset=0 yoffset=99999 xadvance=1", "yoffset 99999"},
    };
    for (const Case& c : refused) {
        foundation::ErrorRef error;
        std::string text = std::string(kFont) + c.line + "\n";
        EXPECT_EQ(GxBMFontConfiguration::configurationWithText(text, "f.fnt", &error), nullptr) << c.line;
        ASSERT_TRUE(error) << c.line;
        EXPECT_TRUE(error->is(kGxBMFontErrorDomain, kGxBMFontValueOutOfRange)) << error->description();
        EXPECT_NE(error->message.find(c.named), std::string::npos) << error->message;
        const std::string where = "line " + std::to_string(std::count(kFont, kFont + strlen(kFont), '\n') + 1) + ":";
        EXPECT_EQ(error->message.rfind(where, 0), 0u) << error->message;
    }
    // Characters beyond U+FFFF are skipped, not folded onto others.
    auto wide = GxBMFontConfiguration::configurationWithText(
        std::string(kFont) + "char id=65603 x=0 y=0 width=1 height=1 xoffset=0 yoffset=0 xadvance=1\n" +
            "kerning first=65603 second=66 amount=3\n",
        "f.fnt");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->glyphCount(), 5u);
    EXPECT_EQ(wide->fontDef(65603 & 0xFFFF), nullptr);
    EXPECT_EQ(wide->kerningAmount(65603 & 0xFFFF, 66), 0);

    REQUIRE_GL();
    std::filesystem::create_directories(dir_ + "/fonts");
    writeFont(dir_);
    std::string big = kFont;
    big.replace(big.find("lineHeight=32"), 13, "lineHeight=32767");
    big += "kerning first=97  second=97  amount=-32768\n";
    writeText(dir_ + "/fonts/big.fnt", big);
    auto label = GxLabelBMFont::labelWithString("aaa\na\na", "fonts/big.fnt", -1, 1);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->contentSize().height, 3 * 32767);
    EXPECT_EQ(glyphAt(*label, 0).y, 2 * 32767 + 32767 - 5);
}

// Moving the anchor lays the text out again as a whole: wrapped lines stay
// wrapped and aligned lines stay aligned.
TEST_F(Labels, BitmapFontAnchorChangeKeepsAlignment) {
    REQUIRE_GL();
    std::filesystem::create_directories(dir_ + "/fonts");
    writeFont(dir_);
    // Line one is one "a" (10 wide), line two three (30 wide).
    for (int alignment : {1, 2}) {
        auto label = GxLabelBMFont::labelWithString("a\naaa", "fonts/test.fnt", -1, alignment);
        ASSERT_NE(label, nullptr);
        const float first = alignment == 1 ? 5 + 10 : 5 + 20;
        EXPECT_EQ(glyphAt(*label, 0).x, first);
        label->setAnchorPoint(Point{0, 0});
        EXPECT_EQ(glyphAt(*label, 0).x, first) << "alignment " << alignment;
        EXPECT_EQ(glyphAt(*label, 2).x, 5);
        label->setAnchorPoint(Point{1, 1});
        EXPECT_EQ(glyphAt(*label, 0).x, first) << "alignment " << alignment;
    }
    auto wrapped = GxLabelBMFont::labelWithString("aa bb", "fonts/test.fnt", 35, 0);
    ASSERT_NE(wrapped, nullptr);
    wrapped->setAnchorPoint(Point{0, 0});
    EXPECT_EQ(wrapped->string(), "aa\nbb");
    EXPECT_EQ(glyphAt(*wrapped, 3).x, 5);
}

// A memory warning drops what can be loaded again and keeps what is in use:
// the font descriptions, the textures only the cache holds, the file look-ups.
TEST_F(Labels, MemoryWarningPurgesUnusedTexturesFontsAndFileLookups) {
    REQUIRE_GL();
    std::filesystem::create_directories(dir_ + "/fonts");
    writeFont(dir_);
    writeCharMap(dir_ + "/unused.png");
    auto label = GxLabelBMFont::labelWithString("AB", "fonts/test.fnt");
    ASSERT_NE(label, nullptr);
    auto& cache = GxTextureCache::sharedTextureCache();
    ASSERT_NE(cache.addImage("unused.png"), nullptr);
    EXPECT_EQ(cache.count(), 2u);
    auto font = FNTConfigurationForFile("fonts/test.fnt");
    auto& director = GxDirector::sharedDirector();  // made before the scale is set: it starts at 1
    GxEnvironment::shared().contentScaleFactor = 2;
    auto& files = GxFileUtils::sharedFileUtils();
    EXPECT_EQ(files.fullPathFromRelativePath("unused.png"), dir_ + "/unused.png");
    writeCharMap(dir_ + "/unused-hd.png");
    EXPECT_EQ(files.fullPathFromRelativePath("unused.png"), dir_ + "/unused.png");  // answered from the cache

    director.didReceiveMemoryWarning();
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.textureForKey("unused.png"), nullptr);
    EXPECT_EQ(cache.textureForKey("fonts/font.png"), label->texture());
    EXPECT_NE(label->texture()->name(), 0u);
    EXPECT_NE(FNTConfigurationForFile("fonts/test.fnt"), font);  // read anew
    EXPECT_EQ(files.fullPathFromRelativePath("unused.png"), dir_ + "/unused-hd.png");
    GxEnvironment::shared().contentScaleFactor = 1;
    // The label still draws with its texture.
    label->setAnchorPoint(Point{0, 0});
    target(64, 40);
    label->visit();
    EXPECT_EQ(at(10, 16), (Px{255, 255, 255, 255}));
}

// Ending the director empties every cache, what is in use included: the
// font descriptions, the animations, the sprite frames, every texture, the
// shader programs and the file look-ups; and the GL state cache forgets
// what it knew.
TEST_F(Labels, EndingTheDirectorEmptiesEveryCache) {
    REQUIRE_GL();
    std::filesystem::create_directories(dir_ + "/fonts");
    writeFont(dir_);
    writeCharMap(dir_ + "/used.png");
    auto view = GxGLView::viewWithFrame({0, 0, 16, 16}, kGxColorFormatRGBA8, 0, false, ctx_, false, 0);
    ASSERT_NE(view, nullptr);
    auto& director = GxDirector::sharedDirector();
    director.setView(view);

    auto font = FNTConfigurationForFile("fonts/test.fnt");
    ASSERT_NE(font, nullptr);
    auto texture = GxTextureCache::sharedTextureCache().addImage("used.png");
    ASSERT_NE(texture, nullptr);
    GxSpriteFrameCache::sharedSpriteFrameCache().addSpriteFrame(GxSpriteFrame::frameWithTexture(texture, {0, 0, 8, 8}),
                                                                "frame");
    GxAnimationCache::sharedAnimationCache().addAnimation(GxAnimation::animation(), "walk");
    auto program = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    ASSERT_NE(program, nullptr);
    GxEnvironment::shared().contentScaleFactor = 2;
    auto& files = GxFileUtils::sharedFileUtils();
    EXPECT_EQ(files.fullPathFromRelativePath("used.png"), dir_ + "/used.png");
    writeCharMap(dir_ + "/used-hd.png");  // seen only once the look-ups are gone
    gxGLCacheBlendFunc(GL_ONE, GL_ZERO);
    const uint64_t blends = gl::callCount(gl::Call::BlendFuncSeparate);
    gxGLCacheBlendFunc(GL_ONE, GL_ZERO);
    ASSERT_EQ(gl::callCount(gl::Call::BlendFuncSeparate), blends) << "the state cache skips a repeated blend";

    director.end();
    EXPECT_NE(FNTConfigurationForFile("fonts/test.fnt"), font) << "the font description is read anew";
    EXPECT_EQ(GxAnimationCache::sharedAnimationCache().animationByName("walk"), nullptr);
    EXPECT_EQ(GxSpriteFrameCache::sharedSpriteFrameCache().spriteFrameByName("frame"), nullptr);
    EXPECT_EQ(GxTextureCache::sharedTextureCache().textureForKey("used.png"), nullptr)
        << "in use, and gone all the same";
    EXPECT_EQ(files.fullPathFromRelativePath("used.png"), dir_ + "/used-hd.png");
    ASSERT_TRUE(view->context()->makeCurrent());
    EXPECT_NE(GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor), program)
        << "the programs are made anew";
    gxGLCacheBlendFunc(GL_ONE, GL_ZERO);
    EXPECT_EQ(gl::callCount(gl::Call::BlendFuncSeparate), blends + 1) << "the state cache starts from nothing";
}

// The road of a memory warning: the kernel's notification (a pipe stands in
// for the pressure descriptor; the byte is written on another thread, as the
// kernel tells at any time) is read on the main thread, and the warning goes
// to the application's delegate, to a screen's handler and to the director,
// which drops the textures only its cache holds. The headless driver sends
// one the same way.
TEST_F(Labels, AMemoryWarningFromTheSystemReachesTheScreensAndTheDirector) {
    REQUIRE_GL();
    writeCharMap(dir_ + "/used.png");
    writeCharMap(dir_ + "/unused.png");
    auto& director = GxDirector::sharedDirector();
    auto& cache = GxTextureCache::sharedTextureCache();
    auto used = cache.addImage("used.png");
    ASSERT_NE(used, nullptr);
    ASSERT_NE(cache.addImage("unused.png"), nullptr);

    struct Screen : ui::ViewController {
        std::vector<std::thread::id> warnings;
        void didReceiveMemoryWarning() override {
            warnings.push_back(std::this_thread::get_id());
            ui::ViewController::didReceiveMemoryWarning();
        }
    };
    auto screen = std::make_shared<Screen>();
    screen->view();  // loaded, in no window
    struct Delegate : ui::ApplicationDelegate {
        int warnings = 0;
        void applicationDidReceiveMemoryWarning(ui::Application*) override { ++warnings; }
    };
    auto delegate = std::make_shared<Delegate>();
    ui::Application::shared().setDelegate(delegate);

    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_NONBLOCK | O_CLOEXEC), 0);
    ASSERT_TRUE(ui::MemoryWarnings::shared().start(std::make_unique<ui::MemoryPressureSource>(
        pipe[0], POLLIN,
        [](int fd, short) {
            char b[16];
            bool told = false;
            while (::read(fd, b, sizeof b) > 0) told = true;
            return told;
        },
        "test")));
    EXPECT_EQ(ui::MemoryWarnings::shared().sourceName(), "test");
    std::thread kernel([fd = pipe[1]] { EXPECT_EQ(::write(fd, "!", 1), 1); });
    kernel.join();
    EXPECT_TRUE(screen->warnings.empty()) << "nothing happens off the main thread";
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return !screen->warnings.empty(); }, 30));
    EXPECT_EQ(screen->warnings, std::vector<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(delegate->warnings, 1);
    EXPECT_FALSE(screen->isViewLoaded()) << "off screen, its view is let go";
    EXPECT_EQ(cache.textureForKey("unused.png"), nullptr) << "the director purged the cache";
    EXPECT_EQ(cache.textureForKey("used.png"), used);
    ui::MemoryWarnings::shared().stop();
    ::close(pipe[1]);

    cache.addImage("unused.png");
    {
        shell::Driver driver;
        driver.sendMemoryWarning();
    }
    EXPECT_EQ(delegate->warnings, 2);
    EXPECT_EQ(screen->warnings.size(), 2u);
    EXPECT_EQ(cache.textureForKey("unused.png"), nullptr);
    ui::Application::shared().setDelegate(nullptr);
    (void)director;
}

TEST_F(Labels, SystemFontTextBecomesAWhiteAlphaTexture) {
    REQUIRE_GL();
    auto tex = GxTexture2D::textureWithString("Hi", "Helvetica", 20);
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(tex->pixelFormat(), kGxTexture2DPixelFormat_AI88);
    EXPECT_GT(tex->contentSizeInPixels().width, 10);
    EXPECT_EQ(tex->pixelsWide() & (tex->pixelsWide() - 1), 0u);
    EXPECT_EQ(GxTexture2D::textureWithString("Hi", "No Such Font Anywhere", 20), nullptr);
    EXPECT_EQ(GxTexture2D::textureWithString("", "Helvetica", 20), nullptr);

    // Drawn: white where the glyphs are, in the box's top rows.
    auto label = GxLabelTTF::labelWithString("\u2588\u2588", Size{64, 32}, kGxTextAlignmentLeft,
                                             kGxVerticalTextAlignmentTop, 0, "Helvetica", 24);
    ASSERT_NE(label, nullptr);
    ASSERT_NE(label->texture(), nullptr);
    EXPECT_EQ(label->texture()->resolutionType(), kGxResolutionPhone);
    label->setAnchorPoint(Point{0, 0});
    target(64, 32);
    label->visit();
    int white = 0, black = 0;
    for (int x = 0; x < 64; x += 2)
        for (int y = 0; y < 32; y += 2) {
            Px p = at(x, y);
            if (p[0] > 200 && p[0] == p[1] && p[1] == p[2]) ++white;
            if (p[0] == 0) ++black;
        }
    EXPECT_GT(white, 20);
    EXPECT_GT(black, 20);
}

TEST_F(Labels, SystemFontLabelRendersAtTheContentScaleAndOnlyOnChange) {
    REQUIRE_GL();
    auto def = gxMake<GxLabelTTF>();
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->string(), "");
    EXPECT_EQ(def->fontName(), "Helvetica");
    EXPECT_EQ(def->fontSize(), 12);
    EXPECT_EQ(def->texture(), nullptr);  // nothing to draw
    EXPECT_EQ(def->textureRect().size.width, 0);

    auto one = GxLabelTTF::labelWithString("Wm", "Helvetica", 12);
    GxEnvironment::shared().contentScaleFactor = 2;
    auto two = GxLabelTTF::labelWithString("Wm", "Helvetica", 12);
    ASSERT_TRUE(one && two && one->texture() && two->texture());
    EXPECT_EQ(two->texture()->resolutionType(), kGxResolutionPhoneRetina);
    EXPECT_NEAR(two->texture()->contentSizeInPixels().width, 2 * one->texture()->contentSizeInPixels().width, 2);
    EXPECT_NEAR(two->contentSize().width, one->contentSize().width, 1);
    // (100, 0) renders on the natural size too.
    auto natural = GxLabelTTF::labelWithString("Wm", Size{100, 0}, 0, 0, 0, "Helvetica", 12);
    EXPECT_EQ(natural->texture()->contentSizeInPixels().width, two->texture()->contentSizeInPixels().width);

    auto before = two->texture();
    two->setFontSize(12);
    EXPECT_EQ(two->texture(), before);
    two->setFontSize(14);
    EXPECT_NE(two->texture(), before);
    before = two->texture();
    two->setString("Wm");
    EXPECT_NE(two->texture(), before);
}

}  // namespace
