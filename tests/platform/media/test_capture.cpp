// The camera layer: frame conversion, the file feed, the video data output
// and the session's notifications.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/Capture.h"
#include "platform/media/CapturePreviewLayer.h"
#include "platform/media/PixelBuffer.h"
#include "platform/ui/Image.h"
#include "tests/support/TestSupport.h"

using namespace media;

namespace {

std::vector<uint8_t> solid(size_t w, size_t h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgba(w * h * 4);
    for (size_t k = 0; k < w * h; ++k) rgba[k * 4] = r, rgba[k * 4 + 1] = g, rgba[k * 4 + 2] = b, rgba[k * 4 + 3] = 255;
    return rgba;
}

struct Counter : CaptureVideoDataOutputDelegate {
    std::atomic<int> frames{0};
    std::function<void()> during;
    void captureOutput(CaptureVideoDataOutput&, const SampleBuffer&) override {
        if (during) during();
        ++frames;
    }
};

}  // namespace

TEST(MediaFrames, RgbBecomesVideoRangeNV12) {
    struct {
        uint8_t r, g, b, y, cb, cr;
    } table[] = {
        {0, 0, 0, 16, 128, 128},
        {255, 255, 255, 235, 128, 128},
        {255, 0, 0, 82, 90, 240},
        {0, 0, 255, 41, 240, 110},
    };
    for (auto& row : table) {
        auto rgba = solid(4, 2, row.r, row.g, row.b);
        auto frame = nv12FromRgba(rgba.data(), 4, 2);
        EXPECT_EQ(frame->pixelFormatType(), kPixelFormatNV12VideoRange);
        ASSERT_EQ(frame->planeCount(), 2u);
        EXPECT_EQ(frame->bytesPerRowOfPlane(0), 4u);
        EXPECT_EQ(frame->heightOfPlane(1), 1u);
        EXPECT_NEAR(frame->baseAddressOfPlane(0)[7], row.y, 1);
        EXPECT_NEAR(frame->baseAddressOfPlane(1)[2], row.cb, 1);
        EXPECT_NEAR(frame->baseAddressOfPlane(1)[3], row.cr, 1);
    }
    auto bgra = bgraFromRgba(solid(1, 1, 10, 20, 30).data(), 1, 1);
    EXPECT_EQ(bgra->pixelFormatType(), kPixelFormatBGRA);
    EXPECT_EQ(bgra->baseAddressOfPlane(0)[0], 30);
    EXPECT_EQ(bgra->baseAddressOfPlane(0)[2], 10);
}

TEST(MediaFileFeed, PicturesBecomeLandscapeFramesAndPortraitOnesTurn) {
    std::string dir = testsupport::tempDir("feed");
    // A portrait picture: top half white, bottom half black.
    std::vector<uint8_t> rgba(200 * 400 * 4, 255);
    for (size_t k = 200 * 200; k < 200 * 400; ++k) rgba[k * 4] = rgba[k * 4 + 1] = rgba[k * 4 + 2] = 0;
    ASSERT_TRUE(ui::Image::fromRgba(200, 400, rgba.data())->writePNG(dir + "/portrait.png"));
    ASSERT_TRUE(ui::Image::fromRgba(640, 480, solid(640, 480, 255, 255, 255).data())->writePNG(dir + "/white.png"));

    FileFeedDevice::Options options;
    options.framesPerSecond = 0;
    auto feed = FileFeedDevice::open({dir + "/portrait.png", dir + "/white.png"}, options);
    ASSERT_TRUE(feed);
    ASSERT_EQ(feed->frameCount(), 2u);
    auto& frame = feed->frame(0);
    EXPECT_EQ(frame->width(), 640u);
    EXPECT_EQ(frame->height(), 480u);
    // Turned counter-clockwise and scaled by 1.6 to 640x320: the picture's
    // top (white) is on the left, its bottom (black) on the right, with black
    // bars above and below.
    const uint8_t* y = frame->baseAddressOfPlane(0);
    EXPECT_EQ(y[40 * 640 + 10], 16);     // bar
    EXPECT_EQ(y[240 * 640 + 10], 235);   // picture top: white
    EXPECT_EQ(y[240 * 640 + 630], 16);   // picture bottom: black
    EXPECT_EQ(y[100 * 640 + 300], 235);  // inside, left half
    EXPECT_EQ(feed->frame(1)->baseAddressOfPlane(0)[0], 235);

    foundation::ErrorRef error;
    EXPECT_EQ(FileFeedDevice::open({dir + "/missing.png"}, options, &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(kCaptureErrorDomain, kCaptureFeedUnreadable));
    EXPECT_NE(error->message.find("missing.png"), std::string::npos);
    EXPECT_EQ(FileFeedDevice::open({}, options, &error), nullptr);
    EXPECT_EQ(CaptureDevice::fromConfiguration("none"), nullptr);
    EXPECT_EQ(CaptureDevice::fromConfiguration("v4l2:" + dir + "/no-camera"), nullptr);
    auto configured = CaptureDevice::fromConfiguration("file:" + dir + "/white.png:" + dir + "/portrait.png");
    ASSERT_TRUE(configured);
    EXPECT_EQ(configured->uniqueID(), "file:" + dir + "/white.png:" + dir + "/portrait.png");
}

TEST(MediaFileFeed, VideoFilesGiveTheirFrames) {
    std::string path = testsupport::tempDir("y4m") + "/clip.y4m";
    {
        std::ofstream out(path, std::ios::binary);
        out << "YUV4MPEG2 W4 H2 F30:1 Ip A1:1 C420jpeg\n";
        for (int f = 0; f < 3; ++f) {
            out << "FRAME\n";
            std::string y(8, char(16 + f * 50)), u(2, char(100)), v(2, char(200));
            out << y << u << v;
        }
    }
    FileFeedDevice::Options options;
    options.framesPerSecond = 0;
    auto feed = FileFeedDevice::open({path}, options);
    ASSERT_TRUE(feed);
    ASSERT_EQ(feed->frameCount(), 3u);
    EXPECT_EQ(feed->frame(2)->width(), 4u);
    EXPECT_EQ(feed->frame(2)->baseAddressOfPlane(0)[5], 116);
    const uint8_t* c = feed->frame(1)->baseAddressOfPlane(1);
    EXPECT_EQ(c[0], 100);
    EXPECT_EQ(c[1], 200);
    EXPECT_EQ(c[3], 200);

    // Headers that do not describe the data are refused with what is wrong:
    // frames of 4x2 pixels, 4:2:0, two of them (12 bytes each).
    const std::string frames = "FRAME\n" + std::string(12, 'x') + "FRAME\n" + std::string(12, 'y');
    struct {
        std::string header, message;
    } table[] = {
        {"YUV4MPEG2 W4 H2 C444\n", "colour space C444"},
        {"YUV4MPEG2 W4 H2 C420p10\n", "colour space C420p10"},             // 16-bit samples
        {"YUV4MPEG2 W2 H2 C420jpeg\n", "2x2 C420jpeg frames of 6 bytes"},  // smaller than the data
        {"YUV4MPEG2 W4 H2 Cmono\n", "4x2 Cmono frames of 8 bytes"},        // grey over 4:2:0 data
        {"YUV4MPEG2 W0 H2\n", "frame size 0x2"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.header);
        std::ofstream(path, std::ios::binary) << row.header << frames;
        foundation::ErrorRef error;
        EXPECT_EQ(FileFeedDevice::open({path}, options, &error), nullptr);
        ASSERT_TRUE(error);
        EXPECT_NE(error->message.find(row.message), std::string::npos) << error->message;
    }
    // A file whose last frame is cut short is damaged too, however short.
    for (size_t kept : {0u, 3u, 11u}) {
        SCOPED_TRACE(kept);
        std::ofstream(path, std::ios::binary) << "YUV4MPEG2 W4 H2 C420jpeg\n"
                                              << frames << "FRAME\n"
                                              << std::string(kept, 'z');
        foundation::ErrorRef error;
        EXPECT_EQ(FileFeedDevice::open({path}, options, &error), nullptr);
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->is(kCaptureErrorDomain, kCaptureFeedUnreadable));
        EXPECT_NE(
            error->message.find("frame 3 of " + path + " is cut short: " + std::to_string(kept) + " of its 12 bytes"),
            std::string::npos)
            << error->message;
    }
    // The right header reads both frames, at the video's own size.
    std::ofstream(path, std::ios::binary) << "YUV4MPEG2 W4 H2 C420jpeg\n" << frames;
    feed = FileFeedDevice::open({path}, options);
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->frameCount(), 2u);
    EXPECT_EQ(feed->frame(1)->width(), 4u);
    EXPECT_EQ(feed->frame(1)->height(), 2u);
}

TEST(MediaOutput, LateFramesAreDroppedAndAClearedDelegateGetsNone) {
    std::string dir = testsupport::tempDir("out");
    ASSERT_TRUE(ui::Image::fromRgba(64, 48, solid(64, 48, 0, 0, 0).data())->writePNG(dir + "/a.png"));
    FileFeedDevice::Options options;
    options.framesPerSecond = 0;
    auto feed = FileFeedDevice::open({dir + "/a.png"}, options);
    ASSERT_TRUE(feed);

    foundation::SerialQueue queue("test.capture");
    auto output = CaptureVideoDataOutput::create();
    Counter counter;
    foundation::Semaphore entered, release;
    counter.during = [&] {
        entered.signal();
        release.wait();
    };
    output->setSampleBufferDelegate(&counter, &queue);
    CaptureSession session;
    session.addInput(feed);
    session.addOutput(output);
    session.startRunning();

    EXPECT_TRUE(feed->pushFrame());
    entered.wait();  // the first frame is with the delegate
    EXPECT_TRUE(feed->pushFrame());
    EXPECT_TRUE(feed->pushFrame());
    EXPECT_EQ(output->framesDropped(), 2u);
    release.signal();
    output->waitUntilIdle();
    EXPECT_EQ(counter.frames.load(), 1);

    counter.during = nullptr;
    output->setAlwaysDiscardsLateVideoFrames(false);
    feed->pushFrame();
    output->waitUntilIdle();
    EXPECT_EQ(counter.frames.load(), 2);
    output->setSampleBufferDelegate(nullptr, nullptr);
    feed->pushFrame();
    output->waitUntilIdle();
    EXPECT_EQ(counter.frames.load(), 2);
    session.stopRunning();
    EXPECT_FALSE(feed->pushFrame());  // a stopped device sends nothing
}

TEST(MediaSession, NotificationsOnTheMainThread) {
    std::vector<std::string> seen;
    std::string error;
    auto& center = foundation::NotificationCenter::defaultCenter();
    int owner = 0;
    for (const auto& name :
         {kCaptureSessionDidStartRunning, kCaptureSessionDidStopRunning, kCaptureSessionWasInterrupted,
          kCaptureSessionInterruptionEnded, kCaptureSessionRuntimeError})
        center.addObserver(&owner, name, [&](const foundation::Notification& n) {
            EXPECT_TRUE(foundation::RunLoop::isMainThread());
            seen.push_back(n.name);
            if (n.name == kCaptureSessionRuntimeError) error = n.userInfo.get(kCaptureSessionErrorKey)->description();
        });

    CaptureSession empty;
    empty.startRunning();  // no camera
    EXPECT_FALSE(empty.isRunning());
    foundation::RunLoop::main().drain();
    EXPECT_EQ(seen, std::vector<std::string>{kCaptureSessionRuntimeError});
    EXPECT_EQ(error, "the session has no camera");

    std::string dir = testsupport::tempDir("session");
    ASSERT_TRUE(ui::Image::fromRgba(64, 48, solid(64, 48, 0, 0, 0).data())->writePNG(dir + "/a.png"));
    FileFeedDevice::Options options;
    options.framesPerSecond = 0;
    auto feed = FileFeedDevice::open({dir + "/a.png"}, options);
    foundation::SerialQueue queue("test.session");
    auto output = CaptureVideoDataOutput::create();
    Counter counter;
    output->setSampleBufferDelegate(&counter, &queue);
    {
        CaptureSession session;
        session.addInput(feed);
        session.addOutput(output);
        seen.clear();
        session.startRunning();
        session.interrupt();
        feed->pushFrame();  // interrupted: no frame goes out
        output->waitUntilIdle();
        EXPECT_EQ(counter.frames.load(), 0);
        session.endInterruption();
        feed->pushFrame();
        output->waitUntilIdle();
        EXPECT_EQ(counter.frames.load(), 1);
        session.reportRuntimeError("lost");
        session.stopRunning();
        foundation::RunLoop::main().drain();
        EXPECT_EQ(seen, (std::vector<std::string>{kCaptureSessionDidStartRunning, kCaptureSessionWasInterrupted,
                                                  kCaptureSessionInterruptionEnded, kCaptureSessionRuntimeError,
                                                  kCaptureSessionDidStopRunning}));
        EXPECT_EQ(error, "lost");
        session.startRunning();
    }
    // A session that is gone posts nothing more.
    seen.clear();
    foundation::RunLoop::main().drain();
    EXPECT_TRUE(seen.empty());
    center.removeObserver(&owner);
}

TEST(MediaDevice, TorchAndFocusChangeOnlyUnderTheLockAndWhenSupported) {
    std::string dir = testsupport::tempDir("lock");
    ASSERT_TRUE(ui::Image::fromRgba(64, 48, solid(64, 48, 0, 0, 0).data())->writePNG(dir + "/a.png"));
    auto feed = FileFeedDevice::open({dir + "/a.png"});
    ASSERT_TRUE(feed);
    EXPECT_FALSE(feed->setTorchMode(CaptureTorchMode::Off)) << "not locked";
    ASSERT_TRUE(feed->lockForConfiguration());
    foundation::ErrorRef why;
    EXPECT_FALSE(feed->lockForConfiguration(&why)) << "one holder at a time";
    ASSERT_TRUE(why);
    EXPECT_TRUE(why->is(kCaptureErrorDomain, kCaptureConfigurationRefused));
    EXPECT_FALSE(feed->setTorchMode(CaptureTorchMode::On)) << "no torch";
    EXPECT_FALSE(feed->setFocusMode(CaptureFocusMode::ContinuousAutoFocus));
    feed->setTraits({CapturePosition::Front, true, true, false});
    EXPECT_TRUE(feed->setTorchMode(CaptureTorchMode::On));
    EXPECT_TRUE(feed->setFocusMode(CaptureFocusMode::ContinuousAutoFocus));
    EXPECT_EQ(feed->torchMode(), CaptureTorchMode::On);
    EXPECT_EQ(feed->position(), CapturePosition::Front);
    feed->unlockForConfiguration();
    feed->setTraits({CapturePosition::Back, true, true, true});
    EXPECT_FALSE(feed->lockForConfiguration(&why));
    ASSERT_TRUE(why);
    EXPECT_EQ(why->message, "the device refuses configuration");
}

// A stand-in device is what every reader finds, and it does not outlive the
// case that put it in place.
TEST(MediaDevice, AStandInIsTheDefaultDeviceUntilTheReset) {
    std::string dir = testsupport::tempDir("stand-in");
    ASSERT_TRUE(ui::Image::fromRgba(64, 48, solid(64, 48, 0, 0, 0).data())->writePNG(dir + "/a.png"));
    std::shared_ptr<CaptureDevice> feed = FileFeedDevice::open({dir + "/a.png"});
    ASSERT_TRUE(feed);
    CaptureDevice::setDefaultDevice(feed);
    EXPECT_EQ(CaptureDevice::defaultDevice(), feed);
    EXPECT_EQ(CaptureDevice::devices(), std::vector<std::shared_ptr<CaptureDevice>>{feed});
    foundation::resetProcessWideObjects();
    EXPECT_NE(CaptureDevice::defaultDevice(), feed);
}

TEST(MediaSession, PresetsConfigurationAndThePreviewPicture) {
    std::string dir = testsupport::tempDir("preview");
    // A landscape frame whose left half is red: upright, the red is on top.
    std::vector<uint8_t> rgba = solid(640, 480, 0, 0, 255);
    for (size_t y = 0; y < 480; ++y)
        for (size_t x = 0; x < 320; ++x) rgba[(y * 640 + x) * 4] = 255, rgba[(y * 640 + x) * 4 + 2] = 0;
    ASSERT_TRUE(ui::Image::fromRgba(640, 480, rgba.data())->writePNG(dir + "/frame.png"));
    FileFeedDevice::Options options;
    options.framesPerSecond = 0;
    auto feed = FileFeedDevice::open({dir + "/frame.png"}, options);
    ASSERT_TRUE(feed);

    CaptureSession session;
    EXPECT_EQ(session.sessionPreset(), kCaptureSessionPresetHigh);
    EXPECT_TRUE(session.setSessionPreset(kCaptureSessionPreset640x480));
    EXPECT_FALSE(session.setSessionPreset("iFrame960x540"));
    EXPECT_EQ(session.sessionPreset(), kCaptureSessionPreset640x480);
    session.beginConfiguration();
    session.addInput(feed);
    session.beginConfiguration();  // nested: still one change
    session.commitConfiguration();
    session.commitConfiguration();
    EXPECT_EQ(session.configurationCommits(), 1);

    auto preview = CaptureVideoPreviewLayer::layerWithSession(&session);
    session.startRunning();
    ASSERT_TRUE(feed->pushFrame());
    foundation::RunLoop::main().drain();
    EXPECT_EQ(preview->framesShown(), 1);
    ASSERT_NE(preview->contents(), nullptr);
    EXPECT_EQ(preview->contents()->size(), (ui::Size{480, 640}));
    ui::Rgba top = preview->contents()->pixel(240, 100), bottom = preview->contents()->pixel(240, 540);
    EXPECT_GT(top.r, 200);
    EXPECT_LT(top.b, 60);
    EXPECT_GT(bottom.b, 200);
    // Detached, it shows no more frames.
    preview->detach();
    ASSERT_TRUE(feed->pushFrame());
    foundation::RunLoop::main().drain();
    EXPECT_EQ(preview->framesShown(), 1);
    session.stopRunning();
}
