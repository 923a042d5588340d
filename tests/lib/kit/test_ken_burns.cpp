// The slideshow background on the manual clock: the rhythm and the delegate's
// events, looping, restarts and destruction that leave no rhythm behind, the
// ratio and movement tables, the first movement, pictures read from files,
// and the shown picture covering the view.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "lib/kit/KenBurnsView.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/shell/Driver.h"
#include "tests/support/TestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

namespace {

class Recorder : public KenBurnsViewDelegate {
public:
    void didShowImageAtIndex(unsigned index) override {
        events.push_back({"show " + std::to_string(index), foundation::clock().monotonic() - origin});
    }
    void didFinishAllAnimations() override { events.push_back({"finish", foundation::clock().monotonic() - origin}); }
    struct Event {
        std::string what;
        double at;
        bool operator==(const Event&) const = default;
    };
    std::vector<Event> events;
    double origin = 0;
};

std::ostream& operator<<(std::ostream& os, const Recorder::Event& e) { return os << e.what << " @" << e.at; }

ui::ImageRef solid(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = r;
        px[i + 1] = g;
        px[i + 2] = b;
        px[i + 3] = 255;
    }
    return ui::Image::fromRgba(w, h, px.data());
}

class KenBurnsTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver = std::make_unique<shell::Driver>();
        view = KenBurnsView::create({0, 0, 320, 480});
        view->setDelegate(&recorder);
        driver->window().addSubview(view);
        recorder.origin = foundation::clock().monotonic();
        images = {solid(400, 300, 255, 0, 0), solid(400, 300, 0, 255, 0), solid(400, 300, 0, 0, 255)};
    }
    void TearDown() override {
        if (view) view->removeFromSuperview();
        view.reset();
        driver.reset();
    }
    // The picture's view now on screen.
    ui::View* shown() const { return view->subviews().empty() ? nullptr : view->subviews().back().get(); }

    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<KenBurnsView> view;
    Recorder recorder;
    std::vector<ui::ImageRef> images;
};

TEST_F(KenBurnsTest, ThreeImagesWithoutLoopingFollowTheRhythmAndFinishOnce) {
    struct Case {
        float transition;
        std::vector<Recorder::Event> events;
    };
    const Case cases[] = {
        {15, {{"show 0", 15}, {"show 1", 30}, {"show 2", 45}, {"finish", 45}}},
        // The rhythm counts whole seconds; the events come after the full time.
        {2.5, {{"show 0", 2.5}, {"show 1", 4.5}, {"show 2", 6.5}, {"finish", 6.5}}},
    };
    for (const Case& c : cases) {
        recorder.events.clear();
        recorder.origin = foundation::clock().monotonic();
        view->animateWithImages(images, c.transition, false, true);
        driver->settle();
        ASSERT_NE(shown(), nullptr);
        EXPECT_EQ(view->currentImage(), 0);
        // The zoom and pan outlast the image's turn by two seconds.
        auto zoom = shown()->layer().animationForKey("transform");
        ASSERT_NE(zoom, nullptr);
        EXPECT_DOUBLE_EQ(zoom->duration, c.transition + 2);
        EXPECT_NE(view->layer().animationForKey("transition"), nullptr) << "the picture fades in";

        const double step = std::floor(c.transition);
        driver->advance(step);
        EXPECT_EQ(view->currentImage(), 1);
        driver->advance(step);
        EXPECT_EQ(view->currentImage(), 2);
        driver->advance(100);
        EXPECT_EQ(recorder.events, c.events) << c.transition;
        EXPECT_FALSE(view->isRunning());
        EXPECT_EQ(view->subviews().size(), 1u) << "each picture replaces the one before";
    }
}

TEST_F(KenBurnsTest, ALoopStartsOverAndNeverFinishes) {
    view->animateWithImages(images, 1, true, true);
    driver->settle();
    driver->advance(7.5);
    std::vector<std::string> seen;
    for (auto& e : recorder.events) seen.push_back(e.what);
    EXPECT_EQ(seen, (std::vector<std::string>{"show 0", "show 1", "show 2", "show 0", "show 1", "show 2", "show 0"}));
    EXPECT_TRUE(view->isRunning());
}

TEST_F(KenBurnsTest, ASecondStartOrTheViewsEndLeavesNoRhythmBehind) {
    view->animateWithImages(images, 10, false, true);
    driver->settle();
    driver->advance(5);
    recorder.origin = foundation::clock().monotonic();
    view->animateWithImages({images[0], images[1]}, 3, false, true);
    driver->settle();
    driver->advance(60);
    EXPECT_EQ(recorder.events, (std::vector<Recorder::Event>{{"show 0", 3}, {"show 1", 6}, {"finish", 6}}));

    recorder.events.clear();
    view->animateWithImages(images, 1, true, true);
    driver->settle();
    driver->advance(2.5);
    ASSERT_FALSE(recorder.events.empty());
    const size_t before = recorder.events.size();
    view->removeFromSuperview();
    view.reset();
    driver->advance(30);
    EXPECT_EQ(recorder.events.size(), before) << "a destroyed view sends nothing";

    // An empty list starts nothing.
    view = KenBurnsView::create({0, 0, 320, 480});
    view->setDelegate(&recorder);
    view->animateWithImages({}, 1, true, true);
    driver->advance(5);
    EXPECT_FALSE(view->isRunning());
    EXPECT_TRUE(view->subviews().empty());
    EXPECT_EQ(recorder.events.size(), before);
}

TEST_F(KenBurnsTest, TheRatioAlwaysCoversAndTheMovementsGoCornerToCorner) {
    struct RatioCase {
        ui::Size image;
        double ratio;
    };
    // Filling 480 x 320 (a landscape frame), bounds 320 high.
    const RatioCase ratios[] = {
        {{1000, 500}, 0.64},                        // wider excess: fit the height
        {{500, 1000}, 0.96},                        // taller excess: fit the width
        {{600, 200}, 1.6},                          // wide and short: the bounds' height
        {{400, 300}, 1.2},                          // both smaller: the wider deficit
        {{100, 100}, 4.8},   {{2000, 1500}, 0.24},  // the table's 320/1500 would leave the sides bare
        {{200, 500}, 2.4},                          // the table's 500/320 would leave the sides bare
    };
    for (const RatioCase& c : ratios) {
        double r = KenBurnsView::resizeRatio(c.image, {480, 320}, 320);
        EXPECT_NEAR(r, c.ratio, 1e-9) << c.image.width << "x" << c.image.height;
        EXPECT_GE(c.image.width * r + 1e-9, 480);
        EXPECT_GE(c.image.height * r + 1e-9, 320);
    }

    struct MoveCase {
        int m;
        KenBurnsMovement movement;
    };
    // A 600 x 400 picture over 480 x 320: 120 by 80 points of room.
    const MoveCase moves[] = {
        {0, {0, 0, 1.25, -120, -80}},
        {1, {0, -80, 1.1, -120, 80}},
        {2, {-120, 0, 1.3, 120, -80}},
        {3, {-120, -80, 1.2, 120, 80}},
    };
    for (const MoveCase& c : moves) EXPECT_EQ(KenBurnsView::movement(c.m, {480, 320}, {600, 400}), c.movement) << c.m;

    EXPECT_EQ(KenBurnsView::rhythmInterval(15), 15);
    EXPECT_EQ(KenBurnsView::rhythmInterval(2.5), 2);
    EXPECT_EQ(KenBurnsView::rhythmInterval(0.5), 1) << "a looping show never spins";

    // Which frame side counts as the width.
    view->animateWithImages(images, 15, true, false);
    EXPECT_EQ(view->fillSize(), ui::Size(480, 320));
    view->animateWithImages(images, 15, true, true);
    EXPECT_EQ(view->fillSize(), ui::Size(320, 480));
}

TEST_F(KenBurnsTest, TheFirstImageTakesTheResumedMovementOrADrawnOne) {
    const double zooms[] = {1.25, 1.1, 1.3, 1.2};
    // Without resumeAnimation before it, the first image still gets a real movement.
    for (int round = 0; round < 8; ++round) {
        view->animateWithImages(images, 15, true, true);
        driver->settle();
        double a = shown()->transform().a;
        EXPECT_TRUE(a == zooms[0] || a == zooms[1] || a == zooms[2] || a == zooms[3]) << a;
    }
    // A resume between the start and the first image: the first image repeats its movement.
    view->animateWithImages(images, 15, true, true);
    view->resumeAnimation();
    const int m = view->firstRandomNum();
    ASSERT_GE(m, 0);
    ASSERT_LE(m, 3);
    driver->settle();
    EXPECT_DOUBLE_EQ(shown()->transform().a, zooms[m]);
}

TEST_F(KenBurnsTest, ThePictureCoversTheWholeView) {
    view->animateWithImages({solid(100, 100, 255, 0, 0)}, 15, true, true);
    driver->settle();
    driver->advance(1.2);
    auto shot = driver->snapshot();
    for (ui::Point p :
         {ui::Point{1, 1}, ui::Point{318, 1}, ui::Point{1, 478}, ui::Point{318, 478}, ui::Point{160, 240}}) {
        ui::Rgba px = shot->pixel(int(p.x), int(p.y));
        EXPECT_EQ(px.r, 255) << p.x << "," << p.y;
        EXPECT_EQ(px.g, 0) << p.x << "," << p.y;
    }
}

TEST_F(KenBurnsTest, PicturesFromFilesAreReadThreeAhead) {
    std::string dir = testsupport::tempDir("kenburns");
    std::vector<std::string> urls;
    for (int i = 0; i < 5; ++i) {
        std::string path = dir + "/p" + std::to_string(i) + ".png";
        ASSERT_TRUE(solid(10 * (i + 1), 10, 0, 0, 0)->writePNG(path));
        urls.push_back(i % 2 ? "file://" + path : path);
    }
    urls.insert(urls.begin() + 4, dir + "/missing.png");  // left out
    auto widthShown = [&]() { return shown()->layer().sublayers().front()->contents()->pixelWidth(); };

    view->animateWithURLs(urls, 1, false, true);
    EXPECT_EQ(view->imagesArray().size(), 3u) << "the first three are read at the start";
    driver->settle();
    EXPECT_EQ(widthShown(), 10);
    EXPECT_EQ(view->imagesArray().size(), 3u);
    driver->advance(1);
    EXPECT_EQ(widthShown(), 20);
    EXPECT_EQ(view->imagesArray().size(), 2u) << "the missing picture was left out";
    driver->advance(1);
    EXPECT_EQ(widthShown(), 30);
    driver->advance(10);
    EXPECT_FALSE(view->isRunning());

    // A short list is read at once and shown like a list of pictures.
    recorder.events.clear();
    recorder.origin = foundation::clock().monotonic();
    view->animateWithURLs({urls[0], urls[1]}, 2, false, true);
    driver->settle();
    driver->advance(10);
    EXPECT_EQ(recorder.events, (std::vector<Recorder::Event>{{"show 0", 2}, {"show 1", 4}, {"finish", 4}}));
    EXPECT_EQ(KenBurnsView::downloadImageFrom("http://127.0.0.1:1/x.png"), nullptr);
}

// Pictures from a web server: downloaded on a background task through the
// HTTP client, handed to the main thread. The window of three shows its
// oldest picture and takes the next address in its place; a picture the
// server does not have is left out (the window shrinks by one), files mix
// in. Without looping the show ends with the list of addresses, so the last
// pictures of the window are never shown; with looping the addresses start
// over at the first, until the window has run empty.
TEST_F(KenBurnsTest, PicturesFromTheNetworkAreDownloadedOffTheMainThread) {
    testnet::LoopbackHttpServer server;
    std::vector<std::string> urls;
    const std::string dir = testsupport::tempDir("kenburns-net");
    for (int i = 0; i < 4; ++i) {
        const std::string local = dir + "/p" + std::to_string(i) + ".png";
        ASSERT_TRUE(solid(10 * (i + 1), 10, 0, 0, 0)->writePNG(local));
        std::string png = foundation::readFile(local).value_or("");
        std::string path = "/p" + std::to_string(i) + ".png";
        server.on(path, [png](const testnet::ServerRequest&) {
            return std::vector<testnet::Action>{
                testnet::send(testnet::response(200, {{"Content-Type", "image/png"}}, png))};
        });
        urls.push_back(server.url(path));
    }
    server.on("/gone.png", [](const testnet::ServerRequest&) {
        return std::vector<testnet::Action>{testnet::send(testnet::response(404, {}, "no"))};
    });
    urls.insert(urls.begin() + 3, server.url("/gone.png"));  // left out
    std::string file = dir + "/f.png";
    ASSERT_TRUE(solid(60, 10, 0, 0, 0)->writePNG(file));
    urls.push_back(file);
    // p0 p1 p2 gone p3 f: the pictures are 10, 20, 30, 40 and 60 wide.

    struct Case {
        bool loop;
        std::vector<int> shown;          // widths, one per picture shown
        std::vector<std::string> asked;  // what the server was asked, in order
    };
    const Case cases[] = {
        {false, {10, 20, 30}, {"/p0.png", "/p1.png", "/p2.png", "/gone.png", "/p3.png"}},
        {true,
         {10, 20, 30, 40, 60, 10, 20, 30, 40, 60, 10, 20, 30},
         {"/p0.png", "/p1.png", "/p2.png", "/gone.png", "/p3.png", "/p0.png", "/p1.png", "/p2.png", "/gone.png",
          "/p3.png", "/p0.png", "/p1.png", "/p2.png", "/gone.png"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.loop ? "looping" : "once");
        const size_t asked = server.requests().size();
        view->animateWithURLs(urls, 1, c.loop, true);
        EXPECT_TRUE(view->imagesArray().empty()) << "nothing is downloaded on the main thread";
        EXPECT_EQ(shown(), nullptr);
        std::vector<int> widths;
        ui::View* last = nullptr;
        // Each beat: the picture it shows, once what it asked for is there.
        for (int beat = 0; beat < 40 && (beat == 0 || view->isRunning()); ++beat) {
            if (beat > 0) driver->advance(1);
            ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return !view->isDownloading(); }, 10));
            driver->settle();
            if (shown() && shown() != last) {
                last = shown();
                widths.push_back(last->layer().sublayers().front()->contents()->pixelWidth());
            }
        }
        EXPECT_FALSE(view->isRunning());
        EXPECT_EQ(widths, c.shown);
        std::vector<std::string> paths;
        for (const auto& r : server.requests()) paths.push_back(r.path);
        paths.erase(paths.begin(), paths.begin() + long(asked));
        EXPECT_EQ(paths, c.asked);
        // The show is over: time brings nothing more.
        driver->advance(10);
        EXPECT_EQ(shown(), last);
        EXPECT_EQ(server.requests().size(), asked + c.asked.size());
        view->removeFromSuperview();
        view = KenBurnsView::create({0, 0, 320, 480});
        driver->window().addSubview(view);
    }
}

}  // namespace
