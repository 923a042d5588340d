// The capture reader on the file feed: real frames, the real decoder, results
// on the main thread's run loop.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lib/reader/ScanCaptureReader.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/Capture.h"
#include "tests/support/TestSupport.h"
#include "tests/support/reader/QrPicture.h"

using readertest::greyPicture;
using readertest::Lines;
using readertest::qrPicture;

namespace {

struct Delegate : ScanCaptureReaderDelegate {
    struct Result {
        bool onMain;
        std::vector<std::string> data;
        ui::Size size;
        std::shared_ptr<ScanCVImage> image;
    };
    std::vector<Result> results;
    std::vector<int> tracked;  // symbols seen, per tracking call
    bool track = false;
    std::function<void()> during;

    void captureReader(ScanCaptureReader&, const std::shared_ptr<ScanCVImage>& image) override {
        Result r{foundation::RunLoop::isMainThread(), {}, image->size(), image};
        if (auto set = image->symbols())
            for (const auto& s : *set) r.data.push_back(s->data().value_or("<not UTF-8>"));
        results.push_back(std::move(r));
        if (during) during();
    }
    void captureReader(ScanCaptureReader&, const std::shared_ptr<ScanSymbolSet>& set) override {
        EXPECT_TRUE(foundation::RunLoop::isMainThread());
        tracked.push_back(set->count());
    }
    bool respondsToDidTrackSymbols() const override { return track; }
};

// A reader with its session on a file feed that sends frames only when pushed.
class Reader : public ::testing::Test {
protected:
    void open(std::vector<ui::ImageRef> pictures, uint32_t format = media::kPixelFormatNV12VideoRange) {
        std::string dir = testsupport::tempDir("feed");
        std::vector<std::string> paths;
        for (size_t i = 0; i < pictures.size(); ++i) {
            paths.push_back(dir + "/" + std::to_string(i) + ".png");
            ASSERT_TRUE(pictures[i]->writePNG(paths.back()));
        }
        media::FileFeedDevice::Options options;
        options.framesPerSecond = 0;
        options.pixelFormat = format;
        feed = media::FileFeedDevice::open(paths, options);
        ASSERT_TRUE(feed);
        reader = ScanCaptureReader::create();
        reader->setCaptureDelegate(&delegate);
        session = std::make_unique<media::CaptureSession>();
        session->addInput(feed);
        session->addOutput(reader->captureOutput());
        session->startRunning();
        reader->setEnableReader(true);
    }
    void TearDown() override {
        if (session) session->stopRunning();
        reader.reset();
        foundation::RunLoop::main().drain();
    }
    // Sends one frame and waits until the capture queue is done with it.
    void push() {
        ASSERT_TRUE(feed->pushFrame());
        reader->captureOutput()->waitUntilIdle();
    }
    void drainMain() { foundation::RunLoop::main().drain(); }

    Delegate delegate;
    std::shared_ptr<media::FileFeedDevice> feed;
    std::shared_ptr<ScanCaptureReader> reader;
    std::unique_ptr<media::CaptureSession> session;
};

}  // namespace

TEST_F(Reader, QrFrameGivesOneResultOnTheMainThreadAndDropsFramesMeanwhile) {
    Lines log;
    auto qr = qrPicture("Q3T7K9");
    open({qr.image});
    std::vector<ui::Size> sizes;
    reader->setSizeObserver([&](ui::Size s) { sizes.push_back(s); });
    delegate.track = true;

    // While the delegate holds the result, frames are dropped before any work.
    int framesBefore = -1;
    delegate.during = [&] {
        delegate.during = nullptr;
        framesBefore = reader->frameCount();
        EXPECT_TRUE(reader->state() & ScanCaptureReader::kPaused);
        for (int i = 0; i < 3; ++i) push();
        EXPECT_EQ(reader->frameCount(), framesBefore);
    };
    push();
    EXPECT_EQ(reader->frameCount(), 1);
    drainMain();

    ASSERT_EQ(delegate.results.size(), 1u);
    const auto& result = delegate.results[0];
    EXPECT_TRUE(result.onMain);
    EXPECT_EQ(result.data, std::vector<std::string>{"Q3T7K9"});
    EXPECT_EQ(result.size, (ui::Size{640, 480}));
    EXPECT_EQ(framesBefore, 1);
    EXPECT_EQ(reader->frameCount(), 1);
    EXPECT_EQ(delegate.tracked, std::vector<int>{1});
    EXPECT_EQ(sizes, std::vector<ui::Size>{(ui::Size{640, 480})});  // reported once
    EXPECT_EQ(reader->size(), (ui::Size{640, 480}));
    EXPECT_FALSE(reader->state() & ScanCaptureReader::kPaused);
    EXPECT_EQ(log.matching("ScanCaptureReader: latency: delegate=").size(), 1u);

    // The frame comes back as a colour picture.
    auto picture = result.image->UIImage();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixelWidth(), 640);
    EXPECT_EQ(picture->pixel(5, 5), (ui::Rgba{255, 255, 255, 255}));
    EXPECT_LT(picture->pixel(int(qr.code.x()) + 2, int(qr.code.y()) + 2).r, 40);  // finder pattern

    // Still in view: the cache holds it back, tracking goes on.
    push();
    drainMain();
    EXPECT_EQ(delegate.results.size(), 1u);
    EXPECT_EQ(delegate.tracked, (std::vector<int>{1, 1}));
    EXPECT_EQ(sizes.size(), 1u);

    // Stopping and starting again empties the cache: reported anew.
    reader->setEnableReader(false);
    push();  // stopped: dropped
    EXPECT_EQ(reader->frameCount(), 2);
    reader->setEnableReader(true);
    push();
    drainMain();
    ASSERT_EQ(delegate.results.size(), 2u);
    EXPECT_EQ(delegate.results[1].data, std::vector<std::string>{"Q3T7K9"});
}

TEST_F(Reader, AResultPostedBeforeTheDelegateLeftReachesNobody) {
    open({qrPicture("Q3T7K9").image});
    push();                               // a result waits on the main loop
    reader->setCaptureDelegate(nullptr);  // the owner lets go of the reader
    drainMain();
    EXPECT_TRUE(delegate.results.empty());
    EXPECT_FALSE(reader->state() & ScanCaptureReader::kPaused);  // frames flow again

    reader->setCaptureDelegate(&delegate);
    reader->flushCache();
    push();
    drainMain();
    ASSERT_EQ(delegate.results.size(), 1u);
    EXPECT_EQ(delegate.results[0].data, std::vector<std::string>{"Q3T7K9"});
}

TEST_F(Reader, FramesPerSecondOnTheInjectedClock) {
    foundation::ManualClockScope clock;
    open({greyPicture(640, 480, 200)});
    std::vector<float> reports;
    reader->setFramesPerSecondObserver([&](float fps) { reports.push_back(fps); });

    // Frames every 0.1 s: after a second the rate is reported, then a second later again.
    for (int i = 0; i < 21; ++i) {
        clock->advance(0.1);
        push();
    }
    drainMain();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NEAR(reports[0], 10, 0.01);
    EXPECT_NEAR(reader->framesPerSecond(), 10, 0.01);

    // A pause over two seconds restarts the report's second (and the average
    // starts from half the pause).
    clock->advance(5);
    push();
    for (int i = 0; i < 3; ++i) {
        clock->advance(0.25);
        push();
    }
    drainMain();
    EXPECT_EQ(reports.size(), 2u);  // 0.75 s since the restart
    clock->advance(0.25);
    push();
    drainMain();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_NEAR(reports[2], 1 / 0.390625, 0.001);  // 2.5, 1.375, 0.8125, 0.53125, 0.390625
    EXPECT_EQ(delegate.results.size(), 0u);        // nothing in view
}

TEST_F(Reader, CaptureFrameDeliversAnEmptySceneOnceWithTheCrop) {
    Lines log;
    open({greyPicture(640, 480, 255)});
    reader->setScanCrop(ui::Rect(0.25, 0.25, 0.5, 0.5));
    push();
    drainMain();
    EXPECT_TRUE(delegate.results.empty());

    reader->captureFrame();
    push();
    drainMain();
    ASSERT_EQ(delegate.results.size(), 1u);
    EXPECT_TRUE(delegate.results[0].data.empty());
    EXPECT_EQ(delegate.results[0].image->symbols()->count(), 0);
    EXPECT_FALSE(reader->state() & ScanCaptureReader::kCaptureRequested);
    auto scans =
        log.matching("ScanCaptureReader: scan image: 640x480 crop={{160, 120}, {320, 240}} ngood=0 nraw=0 st=5");
    EXPECT_EQ(scans.size(), 1u);

    push();  // the request is done: nothing more
    drainMain();
    EXPECT_EQ(delegate.results.size(), 1u);

    // Disabling forgets a pending request.
    reader->captureFrame();
    reader->setEnableReader(false);
    reader->setEnableReader(true);
    push();
    drainMain();
    EXPECT_EQ(delegate.results.size(), 1u);
}

TEST_F(Reader, FramesOfAnotherFormatAreRefusedWithTheLogLine) {
    Lines log;
    open({qrPicture("Q3T7K9").image}, media::kPixelFormatBGRA);
    reader->captureFrame();
    push();
    drainMain();
    EXPECT_EQ(log.matching("ScanCaptureReader: ERROR: invalid buffer format").size(), 1u);
    EXPECT_TRUE(delegate.results.empty());
    EXPECT_EQ(reader->size(), (ui::Size{0, 0}));
    EXPECT_EQ(log.matching("scan image").size(), 0u);
}

TEST(ReaderFrames, DamagedSamplesAreSkippedWithTheirLogLines) {
    using Plane = media::PixelBuffer::Plane;
    struct Case {
        const char* line;
        media::SampleBuffer sample;
    };
    auto good = media::PixelBuffer::createNV12(64, 48);
    std::vector<Case> cases = {
        {"ScanCaptureReader: ERROR: invalid sample", {nullptr}},
        {"ScanCaptureReader: ERROR: invalid sample", {good, 2}},
        {"ScanCaptureReader: ERROR: invalid sample", {good, 1, false}},
        {"ScanCaptureReader: ERROR: invalid sample", {good, 1, true, false}},
        {"ScanCaptureReader: ERROR: invalid buffer format",
         {media::PixelBuffer::createWithPlanes(media::kPixelFormatNV12VideoRange, 64, 48, {})}},
        {"ScanCaptureReader: ERROR: invalid buffer data",
         {media::PixelBuffer::createWithPlanes(media::kPixelFormatNV12VideoRange, 64, 48, {Plane{64, 0, 64, {}}})}},
        {"ScanCaptureReader: ERROR: invalid data",
         {media::PixelBuffer::createWithPlanes(media::kPixelFormatNV12VideoRange, 64, 48, {Plane{64, 48, 64, {}}})}},
        // Rows claimed beyond the bytes that are there.
        {"ScanCaptureReader: ERROR: invalid data",
         {media::PixelBuffer::createWithPlanes(media::kPixelFormatNV12VideoRange, 64, 48,
                                               {Plane{64, 48, 64, std::vector<uint8_t>(64 * 47, 16)}})}},
    };
    Delegate delegate;
    auto reader = ScanCaptureReader::create();
    reader->setCaptureDelegate(&delegate);
    foundation::SerialQueue source("test.source");
    reader->setEnableReader(true);
    for (auto& c : cases) {
        Lines log;
        reader->captureFrame();
        reader->captureOutput()->deliver(c.sample);
        reader->captureOutput()->waitUntilIdle();
        foundation::RunLoop::main().drain();
        EXPECT_EQ(log.matching("ScanCaptureReader: ERROR:"), std::vector<std::string>{c.line}) << c.line;
        EXPECT_TRUE(delegate.results.empty()) << c.line;
        if (c.sample.imageBuffer) {
            EXPECT_EQ(c.sample.imageBuffer->lockCount(), 0) << c.line;
        }
    }
    // And a good frame after them all is scanned.
    reader->captureFrame();
    reader->captureOutput()->deliver({good});
    reader->captureOutput()->waitUntilIdle();
    foundation::RunLoop::main().drain();
    EXPECT_EQ(delegate.results.size(), 1u);
}

TEST(ReaderLifetime, DestroyingTheReaderWhileFramesFlowIsSafe) {
    std::string dir = testsupport::tempDir("flow");
    ASSERT_TRUE(qrPicture("Q3T7K9").image->writePNG(dir + "/qr.png"));
    ASSERT_TRUE(greyPicture(640, 480, 255)->writePNG(dir + "/blank.png"));
    media::FileFeedDevice::Options options;
    options.framesPerSecond = 500;  // as fast as the feed's thread goes
    auto feed = media::FileFeedDevice::open({dir + "/qr.png", dir + "/blank.png"}, options);
    ASSERT_TRUE(feed);
    media::CaptureSession session;
    session.addInput(feed);
    session.startRunning();

    for (int round = 0; round < 5; ++round) {
        Delegate delegate;
        delegate.track = true;
        auto reader = ScanCaptureReader::create();
        reader->setCaptureDelegate(&delegate);
        reader->setEnableCache(false);
        reader->setEnableReader(true);
        session.addOutput(reader->captureOutput());
        // Frames flow on the capture queue while the main loop is not run: a
        // result is posted and waits there when the reader goes.
        auto output = reader->captureOutput();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (output->framesHandled() < 4 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GE(output->framesHandled(), 4u);
        EXPECT_GE(reader->frameCount(), 1);
        reader.reset();  // the owner does not take the output off the session first
        uint64_t handled = output->framesHandled();
        foundation::RunLoop::main().drain();  // posted results find no reader
        EXPECT_TRUE(delegate.results.empty());
        EXPECT_TRUE(delegate.tracked.empty());
        session.removeOutput(output);
        EXPECT_GE(output->framesHandled(), handled);
    }
    session.stopRunning();
}

TEST(ReaderFileFeed, UprightJpegFromTheScriptIsReadThroughTheConfiguredCamera) {
    // The picture the way a user would make one for the file feed: qrencode
    // and ImageMagick, upright (480x640), JPEG.
    std::string path = testsupport::tempDir("script") + "/bind.jpg";
    const std::string script = testsupport::sourcePath("scripts/qr-picture");
    std::string command = "'" + script + "' Q3T7K9 '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    auto camera = media::CaptureDevice::fromConfiguration("file:" + path);  // 30 frames a second
    ASSERT_TRUE(camera);
    Delegate delegate;
    auto reader = ScanCaptureReader::create();
    reader->setCaptureDelegate(&delegate);
    media::CaptureSession session;
    session.addInput(camera);
    session.addOutput(reader->captureOutput());
    reader->setEnableReader(true);
    session.startRunning();
    EXPECT_TRUE(foundation::RunLoop::main().runUntil([&] { return !delegate.results.empty(); }, 30));
    session.stopRunning();
    ASSERT_FALSE(delegate.results.empty());
    EXPECT_EQ(delegate.results[0].data, std::vector<std::string>{"Q3T7K9"});
    EXPECT_EQ(delegate.results[0].size, (ui::Size{640, 480}));  // turned to the sensor's landscape
}
