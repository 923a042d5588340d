#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/sprites/GxAnimation.h"
#include "lib/engine2d/sprites/GxSpriteFrame.h"
#include "tests/support/TestSupport.h"

using namespace engine2d;

namespace {

class Frames : public testing::Test {
protected:
    void SetUp() override {
        dir_ = testsupport::tempDir("engine2d_frames");
        GxFileUtils::sharedFileUtils().setBundleDir(dir_);
        GxFileUtils::sharedFileUtils().purgeCachedEntries();
    }
    void write(const std::string& name, const std::string& body) {
        std::ofstream(dir_ + "/" + name) << "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">" << body << "</plist>\n";
    }
    std::string dir_;
};

TEST_F(Frames, SheetsOfEveryFormatGiveTheirRectanglesOffsetsAndSizes) {
    write("f0.plist", R"(<dict><key>frames</key><dict><key>zero.png</key><dict>
        <key>x</key><integer>1</integer><key>y</key><string>2</string>
        <key>width</key><real>10.5</real><key>height</key><integer>12</integer>
        <key>offsetX</key><integer>-1</integer><key>offsetY</key><integer>3</integer>
        <key>originalWidth</key><integer>-64</integer><key>originalHeight</key><integer>20</integer>
        </dict></dict></dict>)");
    write("f1.plist", R"(<dict><key>metadata</key><dict><key>format</key><integer>1</integer></dict>
        <key>frames</key><dict><key>one.png</key><dict><key>frame</key><string>{{4,5},{6,7}}</string>
        <key>offset</key><string>{1,-2}</string><key>sourceSize</key><string>{8,9}</string>
        <key>rotated</key><true/></dict></dict></dict>)");
    write("f2.plist", R"(<dict><key>metadata</key><dict><key>format</key><string>2</string></dict>
        <key>frames</key><dict><key>two.png</key><dict><key>frame</key><string>{{0,0},{16,8}}</string>
        <key>offset</key><string>{0,0}</string><key>sourceSize</key><string>{bad}</string>
        <key>rotated</key><true/></dict></dict></dict>)");
    write("f3.plist", R"(<dict><key>metadata</key><dict><key>format</key><integer>3</integer></dict>
        <key>frames</key><dict><key>a.png</key><dict><key>spriteSize</key><string>{10,12}</string>
        <key>spriteOffset</key><string>{1,1}</string><key>spriteSourceSize</key><string>{14,16}</string>
        <key>textureRect</key><string>{{2,4},{99,99}}</string><key>textureRotated</key><false/>
        <key>aliases</key><array><string>b</string></array></dict></dict></dict>)");
    auto& cache = GxSpriteFrameCache::sharedSpriteFrameCache();
    for (const char* f : {"f0.plist", "f1.plist", "f2.plist", "f3.plist"}) cache.addSpriteFramesWithFile(f);
    struct Case {
        const char* name;
        Rect rect;
        bool rotated;
        Point offset;
        Size original;
        const char* texture;
    } cases[] = {
        {"zero.png", {{1, 2}, {10.5f, 12}}, false, {-1, 3}, {64, 20}, "f0.png"},
        {"one.png", {{4, 5}, {6, 7}}, false, {1, -2}, {8, 9}, "f1.png"},  // format 1 is never rotated
        {"two.png", {{0, 0}, {16, 8}}, true, {0, 0}, {0, 0}, "f2.png"},   // a malformed size reads as zeros
        {"a.png", {{2, 4}, {10, 12}}, false, {1, 1}, {14, 16}, "f3.png"},
        {"b", {{2, 4}, {10, 12}}, false, {1, 1}, {14, 16}, "f3.png"},  // the alias
    };
    for (const auto& c : cases) {
        auto f = cache.spriteFrameByName(c.name);
        ASSERT_NE(f, nullptr) << c.name;
        EXPECT_EQ(f->rectInPixels(), c.rect) << c.name;
        EXPECT_EQ(f->rotated(), c.rotated) << c.name;
        EXPECT_EQ(f->offsetInPixels(), c.offset) << c.name;
        EXPECT_EQ(f->originalSizeInPixels(), c.original) << c.name;
        EXPECT_EQ(f->textureFilename(), c.texture) << c.name;
    }
    EXPECT_EQ(cache.count(), 4u);
    // Removing by the alias removes the frame and the alias.
    cache.removeSpriteFrameByName("b");
    EXPECT_EQ(cache.spriteFrameByName("a.png"), nullptr);
    EXPECT_EQ(cache.spriteFrameByName("b"), nullptr);
    EXPECT_EQ(cache.spriteFrameByName("nothing"), nullptr);
}

TEST_F(Frames, UnknownFormatsAndUnreadableSheetsAddNothing) {
    write("f7.plist", R"(<dict><key>metadata</key><dict><key>format</key><integer>7</integer></dict>
        <key>frames</key><dict><key>x.png</key><dict/></dict></dict>)");
    write("broken.plist", R"(<dict><key>frames</key>)");
    auto& cache = GxSpriteFrameCache::sharedSpriteFrameCache();
    cache.addSpriteFramesWithFile("f7.plist");
    cache.addSpriteFramesWithFile("broken.plist");
    cache.addSpriteFramesWithFile("missing.plist");
    EXPECT_EQ(cache.count(), 0u);
}

TEST_F(Frames, TheTextureNameFollowsTheSheetOrItsMetadata) {
    std::filesystem::create_directories(dir_ + "/sheets");
    write("sheets/hero.plist", R"(<dict><key>frames</key><dict><key>h</key><dict/></dict></dict>)");
    write("sheets/hd.plist", R"(<dict><key>metadata</key><dict><key>textureFileName</key><string>hero-hd.png</string>
        </dict><key>frames</key><dict><key>k</key><dict/></dict></dict>)");
    auto& cache = GxSpriteFrameCache::sharedSpriteFrameCache();
    cache.addSpriteFramesWithFile("sheets/hero.plist");
    cache.addSpriteFramesWithFile("sheets/hd.plist");
    EXPECT_EQ(cache.spriteFrameByName("h")->textureFilename(), "sheets/hero.png");
    EXPECT_EQ(cache.spriteFrameByName("k")->textureFilename(), "sheets/hero-hd.png");
    // Points and pixels differ by the content scale; a copy keeps the values.
    GxEnvironment::shared().contentScaleFactor = 2;
    auto f = GxSpriteFrame::frameWithTexture(nullptr, Rect{{0, 0}, {10, 10}});
    EXPECT_EQ(f->rectInPixels(), (Rect{{0, 0}, {20, 20}}));
    auto c = f->copy();
    EXPECT_EQ(c->rect(), f->rect());
    EXPECT_EQ(c->originalSizeInPixels(), f->originalSizeInPixels());
    // A frame some other holder keeps survives the purge of unused frames.
    cache.addSpriteFrame(f, "held");
    cache.removeUnusedSpriteFrames();
    EXPECT_EQ(cache.spriteFrameByName("held"), f);
    EXPECT_EQ(cache.spriteFrameByName("h"), nullptr);
}

TEST_F(Frames, AnimationsCountDelayUnits) {
    auto a = GxSpriteFrame::frameWithTextureFilename("x.png", Rect{{0, 0}, {1, 1}});
    auto b = GxSpriteFrame::frameWithTextureFilename("y.png", Rect{{0, 0}, {1, 1}});
    auto& frames = GxSpriteFrameCache::sharedSpriteFrameCache();
    frames.addSpriteFrame(a, "a");
    frames.addSpriteFrame(b, "b");
    auto three = GxAnimation::animationWithSpriteFrames({a, b, a}, 0.1f);
    EXPECT_FLOAT_EQ(three->totalDelayUnits(), 3);
    EXPECT_FLOAT_EQ(three->duration(), 0.3f);
    EXPECT_EQ(three->loops(), 1u);

    write("anims.plist", R"(<dict><key>properties</key><dict><key>format</key><integer>2</integer></dict>
      <key>animations</key><dict>
        <key>walk</key><dict><key>delayPerUnit</key><string>0.2</string><key>frames</key><array>
          <dict><key>spriteframe</key><string>a</string><key>delayUnits</key><integer>1</integer></dict>
          <dict><key>spriteframe</key><string>b</string><key>delayUnits</key><real>2</real>
            <key>notification</key><dict><key>step</key><integer>1</integer></dict></dict>
          <dict><key>spriteframe</key><string>unknown</string><key>delayUnits</key><real>9</real></dict>
          <dict><key>spriteframe</key><string>a</string><key>delayUnits</key><string>0.5</string></dict>
        </array><key>restoreOriginalFrame</key><true/></dict>
        <key>still</key><dict><key>delayPerUnit</key><real>1</real><key>loops</key><integer>0</integer>
          <key>frames</key><array><dict><key>spriteframe</key><string>gone</string></dict></array></dict>
      </dict></dict>)");
    write("v1.plist", R"(<dict><key>animations</key><dict>
        <key>blink</key><dict><key>delay</key><real>0.5</real><key>frames</key><array><string>a</string>
          <string>nope</string><string>b</string></array></dict>
        <key>lost</key><dict><key>delay</key><real>0.5</real><key>frames</key><array><string>nope</string></array></dict>
      </dict></dict>)");
    write("noformat.plist", R"(<dict><key>properties</key><dict/><key>animations</key><dict>
        <key>x</key><dict><key>delay</key><real>1</real><key>frames</key><array><string>a</string></array></dict>
      </dict></dict>)");
    auto& cache = GxAnimationCache::sharedAnimationCache();
    for (const char* f : {"anims.plist", "v1.plist", "noformat.plist"}) cache.addAnimationsWithFile(f);
    auto walk = cache.animationByName("walk");
    ASSERT_NE(walk, nullptr);
    ASSERT_EQ(walk->frames().size(), 3u);
    EXPECT_FLOAT_EQ(walk->duration(), 0.7f);
    EXPECT_EQ(walk->loops(), 1u);
    EXPECT_TRUE(walk->restoreOriginalFrame());
    EXPECT_EQ(walk->frames()[1]->userInfo()->find("step")->intValue(), 1);
    auto still = cache.animationByName("still");
    ASSERT_NE(still, nullptr);  // format 2 keeps an animation whose frames are all missing
    EXPECT_TRUE(still->frames().empty());
    EXPECT_EQ(still->loops(), 0u);
    auto blink = cache.animationByName("blink");
    ASSERT_NE(blink, nullptr);
    EXPECT_FLOAT_EQ(blink->duration(), 1.0f);
    EXPECT_EQ(cache.animationByName("lost"), nullptr);  // format 1 drops it
    EXPECT_EQ(cache.animationByName("x"), nullptr);     // "properties" without a format adds nothing
    // Copies: an animation shares its entries, an entry copies its frame.
    auto copy = walk->copy();
    EXPECT_EQ(copy->frames()[0], walk->frames()[0]);
    EXPECT_NE(walk->frames()[0]->copy()->spriteFrame(), walk->frames()[0]->spriteFrame());
}

}  // namespace
