#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/deprecated/EAGLView.h"
#include "lib/engine2d/deprecated/GxDeprecated.h"
#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/labels/GxLabelProtocol.h"
#include "lib/engine2d/rendertexture/GxRenderTexture.h"
#include "lib/engine2d/sprites/GxAnimation.h"
#include "lib/engine2d/sprites/GxSprite.h"
#include "lib/engine2d/sprites/GxSpriteBatchNode.h"
#include "lib/engine2d/sprites/GxSpriteFrame.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/Image.h"
#include "tests/support/engine2d/GLFixture.h"

using namespace engine2d;

namespace {

// Old call -> what the current interface shows afterwards. Each row runs
// its old call and checks the effect.
struct Row {
    const char* old;
    std::function<void()> check;
};

void runRows(const std::vector<Row>& rows) {
    for (const Row& r : rows) {
        SCOPED_TRACE(r.old);
        r.check();
    }
}

class Deprecated : public engine2d::testing_gl::GLTest {
protected:
    void TearDown() override {
        GxDirector::sharedDirector().end();
        GLTest::TearDown();
    }
    // A PNG of one colour in the bundle folder.
    void writeImage(const std::string& name, int w, int h) {
        std::vector<uint8_t> px(size_t(w) * h * 4, 200);
        auto img = ui::Image::fromRgba(w, h, px.data());
        ASSERT_TRUE(img && img->writePNG(dir_ + "/" + name));
    }
    std::shared_ptr<GxTexture2D> texture(unsigned w, unsigned h) {
        std::vector<uint8_t> px(size_t(w) * h * 4, 255);
        return GxTexture2D::textureWithData(px.data(), kGxTexture2DPixelFormat_RGBA8888, w, h,
                                            Size{float(w), float(h)});
    }
};

TEST_F(Deprecated, SharedObjectsDirectorAndNodeForwarders) {
    REQUIRE_GL();
    auto& d = GxDirector::sharedDirector();
    auto view = EAGLView::viewWithFrame({0, 0, 40, 30}, kGxColorFormatRGBA8);
    ASSERT_NE(view, nullptr);
    std::shared_ptr<GxGLView> asGLView = view;  // an EAGLView is a GL view
    auto node = GxNode::node();
    runRows({
        {"+[GxScheduler sharedScheduler]", [&] { EXPECT_EQ(GxSchedulerDeprecated::sharedScheduler(), d.scheduler()); }},
        {"+[GxActionManager sharedManager]",
         [&] { EXPECT_EQ(GxActionManagerDeprecated::sharedManager(), d.actionManager()); }},
        {"+[GxTouchDispatcher sharedDispatcher]",
         [&] { EXPECT_EQ(GxTouchDispatcherDeprecated::sharedDispatcher(), d.touchDispatcher()); }},
        {"setOpenGLView: / openGLView",
         [&] {
             GxDirectorDeprecated::setOpenGLView(d, asGLView);
             EXPECT_EQ(d.openGLView(), asGLView);
             EXPECT_EQ(GxDirectorDeprecated::openGLView(d), asGLView);
             EXPECT_EQ(d.winSize(), (Size{40, 30})) << "the view is really attached";
         }},
        {"setDisplayFPS:",
         [&] {
             GxDirectorDeprecated::setDisplayFPS(d, true);
             EXPECT_TRUE(d.displayStats());
             GxDirectorDeprecated::setDisplayFPS(d, false);
             EXPECT_FALSE(d.displayStats());
         }},
        {"setIsRelativeAnchorPoint: / isRelativeAnchorPoint",
         [&] {
             GxNodeDeprecated::setIsRelativeAnchorPoint(*node, false);
             EXPECT_TRUE(node->ignoreAnchorPointForPosition());
             EXPECT_FALSE(GxNodeDeprecated::isRelativeAnchorPoint(*node));
             GxNodeDeprecated::setIsRelativeAnchorPoint(*node, true);
             EXPECT_FALSE(node->ignoreAnchorPointForPosition());
             EXPECT_TRUE(GxNodeDeprecated::isRelativeAnchorPoint(*node));
         }},
    });
}

TEST_F(Deprecated, SpriteAnimationAndRenderTextureForwarders) {
    REQUIRE_GL();
    auto tex = texture(64, 32);
    auto batch = GxSpriteBatchNode::batchNodeWithTexture(tex, 4);
    ASSERT_NE(batch, nullptr);
    const Rect rect{{8, 4}, {16, 12}};
    auto f1 = GxSpriteFrame::frameWithTexture(tex, Rect{{0, 0}, {8, 8}});
    auto f2 = GxSpriteFrame::frameWithTexture(tex, Rect{{8, 0}, {8, 8}});
    runRows({
        {"+spriteWithBatchNode:rect:",
         [&] {
             auto s = GxSpriteDeprecated::spriteWithBatchNode(batch, rect);
             ASSERT_NE(s, nullptr);
             EXPECT_EQ(s->texture(), tex);
             EXPECT_EQ(s->textureRect(), rect);
             EXPECT_EQ(s->batchNode(), batch.get());
             EXPECT_EQ(GxSpriteDeprecated::spriteWithBatchNode(nullptr, rect), nullptr);
         }},
        {"initWithBatchNode:rect:",
         [&] {
             auto s = std::make_shared<GxSprite>();
             ASSERT_TRUE(GxSpriteDeprecated::initWithBatchNode(*s, batch, rect));
             EXPECT_EQ(s->texture(), tex);
             EXPECT_EQ(s->textureRect(), rect);
             EXPECT_EQ(s->batchNode(), batch.get());
         }},
        {"displayedFrame",
         [&] {
             auto s = GxSprite::spriteWithSpriteFrame(f2);
             auto shown = GxSpriteDeprecated::displayedFrame(*s);
             ASSERT_NE(shown, nullptr);
             EXPECT_EQ(shown->rect(), s->displayFrame()->rect());
             EXPECT_EQ(shown->texture(), tex);
         }},
        {"+animationWithFrames:delay: / addFrame: / initWithFrames:",
         [&] {
             auto a = GxAnimationDeprecated::animationWithFrames({f1, f2}, 0.25f);
             EXPECT_EQ(a->frames().size(), 2u);
             EXPECT_EQ(a->delayPerUnit(), 0.25f);
             EXPECT_EQ(GxAnimationDeprecated::animationWithFrames({f1})->delayPerUnit(), 0.0f);
             GxAnimationDeprecated::addFrame(*a, f1);
             GxAnimationDeprecated::addFrameWithTexture(*a, tex, Rect{{0, 8}, {8, 8}});
             EXPECT_EQ(a->frames().size(), 4u);
             EXPECT_EQ(a->totalDelayUnits(), 4.0f);
             EXPECT_EQ(a->frames()[3]->spriteFrame()->rect(), (Rect{{0, 8}, {8, 8}}));
             GxAnimationDeprecated::initWithFrames(*a, {f2}, 0.5f);
             EXPECT_EQ(a->frames().size(), 1u);
             EXPECT_EQ(a->delayPerUnit(), 0.5f);
         }},
        {"+[GxAnimate actionWithAnimation:restoreOriginalFrame:]",
         [&] {
             auto a = GxAnimation::animationWithSpriteFrames({f1, f2}, 0.1f);
             auto act = GxAnimateDeprecated::actionWithAnimation(a, true);
             ASSERT_NE(act, nullptr);
             EXPECT_NE(act->animation(), a) << "a copy";
             EXPECT_TRUE(act->animation()->restoreOriginalFrame());
             EXPECT_FALSE(a->restoreOriginalFrame()) << "the animation passed in is left alone";
             EXPECT_FLOAT_EQ(act->duration(), 0.2f);
         }},
        {"+[GxAnimate actionWithDuration:animation:restoreOriginalFrame:]",
         [&] {
             auto a = GxAnimation::animationWithSpriteFrames({f1, f2, f1, f2}, 0.1f);
             auto act = GxAnimateDeprecated::actionWithDuration(2, a, false);
             ASSERT_NE(act, nullptr);
             EXPECT_FLOAT_EQ(act->animation()->delayPerUnit(), 0.5f);
             EXPECT_FLOAT_EQ(act->duration(), 2.0f);
             EXPECT_FLOAT_EQ(a->delayPerUnit(), 0.1f);
             // No frames to share the duration: the delay stays, nothing becomes infinite.
             auto empty = GxAnimation::animationWithSpriteFrames({}, 0.1f);
             auto none = GxAnimateDeprecated::actionWithDuration(2, empty, false);
             ASSERT_NE(none, nullptr);
             EXPECT_EQ(none->animation()->delayPerUnit(), 0.1f);
             EXPECT_TRUE(std::isfinite(none->duration()));
         }},
    });

    target(32, 32);
    auto rt = GxRenderTexture::renderTextureWithWidth(32, 32);
    ASSERT_NE(rt, nullptr);
    rt->beginWithClear(1, 0, 0, 1);
    rt->end();
    const std::string docs = foundation::documentsDir();
    runRows({
        {"saveBuffer:",
         [&] {
             ASSERT_TRUE(GxRenderTextureDeprecated::saveBuffer(*rt, "old.jpg"));
             auto img = ui::Image::fromFile(docs + "/old.jpg");
             ASSERT_NE(img, nullptr);
             EXPECT_GT(img->pixel(3, 3).r, 230);
         }},
        {"saveBuffer:format:",
         [&] {
             ASSERT_TRUE(GxRenderTextureDeprecated::saveBuffer(*rt, "old.png", kGxImageFormatPNG));
             auto img = ui::Image::fromFile(docs + "/old.png");
             ASSERT_NE(img, nullptr);
             EXPECT_EQ(img->pixel(3, 3), (ui::Rgba{255, 0, 0, 255}));
             EXPECT_FALSE(GxRenderTextureDeprecated::saveBuffer(*rt, "old.bmp", 7));
         }},
        {"getUIImageFromBuffer",
         [&] {
             auto img = GxRenderTextureDeprecated::getUIImageFromBuffer(*rt);
             ASSERT_NE(img, nullptr);
             EXPECT_EQ(img->pixelWidth(), 32);
             EXPECT_EQ(img->pixel(0, 0), (ui::Rgba{255, 0, 0, 255}));
         }},
        {"getUIImageAsDataFromBuffer:",
         [&] { EXPECT_EQ(GxRenderTextureDeprecated::getUIImageAsDataFromBuffer(*rt, kGxImageFormatPNG), nullptr); }},
    });
}

TEST_F(Deprecated, MenuItemForwardersMakeTheSameItemsAndCallBack) {
    REQUIRE_GL();
    writeImage("normal.png", 20, 10);
    writeImage("selected.png", 20, 10);
    writeImage("disabled.png", 20, 10);
    writeImage("digits.png", 80, 8);  // ten 8 x 8 glyphs from '0'

    // Every old form calls back with the item; the target forms keep their
    // callee alive as long as the item.
    std::vector<GxMenuItem*> calls;
    auto block = [&](GxMenuItem* sender) { calls.push_back(sender); };
    std::weak_ptr<void> weakTarget;
    auto targetSelector = [&] {
        auto target = std::make_shared<int>(7);
        weakTarget = target;
        return GxTargetSelector{target, "menuCallback:", block};
    };
    auto activates = [&](const std::shared_ptr<GxMenuItem>& item) {
        ASSERT_NE(item, nullptr);
        calls.clear();
        item->activate();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0], item.get());
    };
    auto labelText = [](const std::shared_ptr<GxMenuItemLabel>& item) {
        auto* text = dynamic_cast<GxLabelProtocol*>(item->label().get());
        return text ? text->string() : std::string("(no label)");
    };
    auto normal = [] { return GxNode::node(); };

    runRows({
        {"GxMenuItemAtlasFont +itemFromString:charMapFile:itemWidth:itemHeight:startCharMap:",
         [&] {
             auto item = GxMenuItemAtlasFontDeprecated::itemFromString("42", "digits.png", 8, 8, '0');
             ASSERT_NE(item, nullptr);
             EXPECT_EQ(labelText(item), "42");
         }},
        {"GxMenuItemAtlasFont ...target:selector: and ...block:",
         [&] {
             auto item = GxMenuItemAtlasFontDeprecated::itemFromString("7", "digits.png", 8, 8, '0', targetSelector());
             EXPECT_FALSE(weakTarget.expired());
             activates(item);
             item.reset();
             EXPECT_TRUE(weakTarget.expired());
             activates(GxMenuItemAtlasFontDeprecated::itemFromString("7", "digits.png", 8, 8, '0', block));
         }},
        {"GxMenuItemAtlasFont initFromString:...",
         [&] {
             auto item = std::make_shared<GxMenuItemAtlasFont>();
             ASSERT_TRUE(GxMenuItemAtlasFontDeprecated::initFromString(*item, "9", "digits.png", 8, 8, '0', block));
             EXPECT_EQ(labelText(item), "9");
             activates(item);
             auto other = std::make_shared<GxMenuItemAtlasFont>();
             ASSERT_TRUE(
                 GxMenuItemAtlasFontDeprecated::initFromString(*other, "1", "digits.png", 8, 8, '0', targetSelector()));
             activates(other);
         }},
        {"GxMenuItemFont +itemFromString: (and its target and block forms, and initialisers)",
         [&] {
             auto item = GxMenuItemFontDeprecated::itemFromString("开始");
             ASSERT_NE(item, nullptr);
             EXPECT_EQ(labelText(item), "开始");
             activates(GxMenuItemFontDeprecated::itemFromString("设置", targetSelector()));
             activates(GxMenuItemFontDeprecated::itemFromString("设置", block));
             auto made = std::make_shared<GxMenuItemFont>();
             ASSERT_TRUE(GxMenuItemFontDeprecated::initFromString(*made, "返回", block));
             EXPECT_EQ(labelText(made), "返回");
             activates(made);
             auto made2 = std::make_shared<GxMenuItemFont>();
             ASSERT_TRUE(GxMenuItemFontDeprecated::initFromString(*made2, "返回", targetSelector()));
             activates(made2);
         }},
        {"GxMenuItemSprite +itemFromNormalSprite:selectedSprite:...",
         [&] {
             auto n = normal(), s = normal(), dis = normal();
             auto item = GxMenuItemSpriteDeprecated::itemFromNormalSprite(n, s);
             ASSERT_NE(item, nullptr);
             EXPECT_EQ(item->normalImage(), n);
             EXPECT_EQ(item->selectedImage(), s);
             EXPECT_EQ(item->disabledImage(), nullptr);
             activates(GxMenuItemSpriteDeprecated::itemFromNormalSprite(normal(), normal(), targetSelector()));
             auto withDisabled =
                 GxMenuItemSpriteDeprecated::itemFromNormalSprite(normal(), normal(), dis, targetSelector());
             EXPECT_EQ(withDisabled->disabledImage(), dis);
             activates(withDisabled);
             activates(GxMenuItemSpriteDeprecated::itemFromNormalSprite(normal(), normal(), block));
             activates(GxMenuItemSpriteDeprecated::itemFromNormalSprite(normal(), normal(), normal(), block));
             auto made = std::make_shared<GxMenuItemSprite>();
             auto n2 = normal();
             ASSERT_TRUE(GxMenuItemSpriteDeprecated::initFromNormalSprite(*made, n2, nullptr, nullptr, block));
             EXPECT_EQ(made->normalImage(), n2);
             activates(made);
             auto made2 = std::make_shared<GxMenuItemSprite>();
             ASSERT_TRUE(GxMenuItemSpriteDeprecated::initFromNormalSprite(*made2, normal(), nullptr, nullptr,
                                                                          targetSelector()));
             activates(made2);
         }},
        {"GxMenuItemImage +itemFromNormalImage:selectedImage:...",
         [&] {
             auto item = GxMenuItemImageDeprecated::itemFromNormalImage("normal.png", "selected.png");
             ASSERT_NE(item, nullptr);
             EXPECT_EQ(item->contentSize(), (Size{20, 10}));
             EXPECT_NE(item->selectedImage(), nullptr);
             EXPECT_EQ(item->disabledImage(), nullptr);
             EXPECT_EQ(GxMenuItemImageDeprecated::itemFromNormalImage("missing.png", ""), nullptr);
             activates(GxMenuItemImageDeprecated::itemFromNormalImage("normal.png", "selected.png", targetSelector()));
             auto withDisabled = GxMenuItemImageDeprecated::itemFromNormalImage("normal.png", "selected.png",
                                                                                "disabled.png", targetSelector());
             EXPECT_NE(withDisabled->disabledImage(), nullptr);
             activates(withDisabled);
             activates(GxMenuItemImageDeprecated::itemFromNormalImage("normal.png", "", block));
             activates(GxMenuItemImageDeprecated::itemFromNormalImage("normal.png", "", "disabled.png", block));
             auto made = std::make_shared<GxMenuItemImage>();
             ASSERT_TRUE(GxMenuItemImageDeprecated::initFromNormalImage(*made, "normal.png", "", "", block));
             activates(made);
             auto made2 = std::make_shared<GxMenuItemImage>();
             ASSERT_TRUE(GxMenuItemImageDeprecated::initFromNormalImage(*made2, "normal.png", "selected.png",
                                                                        "disabled.png", targetSelector()));
             activates(made2);
         }},
    });
}

}  // namespace
