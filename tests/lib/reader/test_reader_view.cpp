// The reader view, its capture-session half and the scanning screen in a
// headless window, on a file feed of real QR pictures and the real decoder.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "lib/reader/ScanReaderView.h"
#include "lib/reader/ScanReaderViewController.h"
#include "lib/reader/ScanReaderViewImpl.h"
#include "platform/foundation/Assert.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/Capture.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Application.h"
#include "tests/support/TestSupport.h"
#include "tests/support/reader/QrPicture.h"

using readertest::Lines;
using readertest::qrPicture;

namespace {

// A push-only file feed of the pictures (640x480 frames).
std::shared_ptr<media::FileFeedDevice> feedOf(const std::vector<ui::ImageRef>& pictures,
                                              media::CaptureDevice::Traits traits = {}) {
    std::string dir = testsupport::tempDir("feed");
    std::vector<std::string> paths;
    for (size_t i = 0; i < pictures.size(); ++i) {
        paths.push_back(dir + "/" + std::to_string(i) + ".png");
        if (!pictures[i]->writePNG(paths.back())) return nullptr;
    }
    media::FileFeedDevice::Options options;
    options.framesPerSecond = 0;
    auto feed = media::FileFeedDevice::open(paths, options);
    if (feed) feed->setTraits(traits);
    return feed;
}

struct ViewDelegate : ScanReaderViewDelegate {
    std::vector<std::string> events;
    bool answersStop = true;
    std::vector<std::vector<std::string>> reads;
    ui::ImageRef lastImage;
    void readerViewDidReadSymbols(ScanReaderView&, const std::shared_ptr<ScanSymbolSet>& symbols,
                                  const ui::ImageRef& image) override {
        std::vector<std::string> data;
        for (const auto& s : *symbols) data.push_back(s->data().value_or(""));
        reads.push_back(data);
        lastImage = image;
    }
    bool respondsToReaderViewDidStart() const override { return true; }
    void readerViewDidStart(ScanReaderView&) override { events.push_back("start"); }
    bool respondsToReaderViewDidStop() const override { return answersStop; }
    void readerViewDidStop(ScanReaderView&, const foundation::ErrorRef& error) override {
        if (!error) {
            events.push_back("stop");
            return;
        }
        EXPECT_TRUE(error->is(kScanReaderErrorDomain, kScanCaptureStopped));
        events.push_back("error:" + (error->underlying ? error->underlying->message : std::string()));
    }
};

class ReaderViewTest : public ::testing::Test {
protected:
    void SetUp() override { driver = std::make_unique<shell::Driver>(); }
    void TearDown() override {
        view.reset();
        foundation::RunLoop::main().drain();
        driver.reset();
    }
    // A view in the window with its own frame.
    ScanReaderViewImpl& makeView(ui::Rect frame = {0, 0, 320, 480}) {
        view = ScanReaderView::create();
        view->setFrame(frame);
        driver->window().addSubview(view);
        driver->settle();
        return static_cast<ScanReaderViewImpl&>(*view);
    }
    void pushFrame(media::FileFeedDevice& feed, ScanReaderView* into = nullptr) {
        ASSERT_TRUE(feed.pushFrame());
        (into ? into : view.get())->captureReader()->captureOutput()->waitUntilIdle();
        driver->settle();
    }
    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<ScanReaderView> view;
};

void expectRect(const ui::Rect& r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.origin.x, x, 1e-3);
    EXPECT_NEAR(r.origin.y, y, 1e-3);
    EXPECT_NEAR(r.size.width, w, 1e-3);
    EXPECT_NEAR(r.size.height, h, 1e-3);
}

}  // namespace

TEST_F(ReaderViewTest, LayoutMapsTheCropThroughZoomAndTheVisiblePartOfTheImage) {
    auto& v = makeView();
    EXPECT_EQ(v.zoom(), 1.25);
    v.setImageSize({640, 480});
    driver->settle();
    // 640x480 camera pictures on a 320x480 portrait view at zoom 1.25.
    EXPECT_NEAR(v.imageScale(), 1.0 / 0.9375, 1e-9);
    expectRect(v.previewLayer()->bounds(), 0, 0, 450, 600);
    EXPECT_EQ(v.previewLayer()->position(), (ui::Point{160, 240}));
    expectRect(v.effectiveCrop(), 0.1, 0.1444444, 0.8, 0.7111111);
    expectRect(v.cropLayer()->frame(), 64, 480 * 0.1444444, 512, 480 * 0.7111111);
    // The capture reader scans the effective crop.
    EXPECT_EQ(v.captureReader()->scanCrop(), v.effectiveCrop());

    // A crop wholly off screen: the zoomed crop itself is scanned.
    v.setScanCrop({0, 0, 1, 0.05});
    driver->settle();
    expectRect(v.effectiveCrop(), 0.1, 0.1, 0.8, 0.04);

    // Without an image size the view's own size stands in.
    auto& fresh = makeView();
    expectRect(fresh.effectiveCrop(), 0.1, 0.1, 0.8, 0.8);
    EXPECT_NEAR(fresh.imageScale(), 0.8, 1e-9);
}

TEST_F(ReaderViewTest, ZoomIsClampedAndOnlyChangesLayOutAgain) {
    auto& v = makeView();
    int passes = v.layoutPasses();
    v.setZoom(0.5);
    driver->settle();
    EXPECT_EQ(v.zoom(), 1);
    EXPECT_EQ(v.layoutPasses(), passes + 1);
    v.setZoom(1);
    v.setScanCrop({0, 0, 1, 1});  // the crop it has
    driver->settle();
    EXPECT_EQ(v.layoutPasses(), passes + 1);
    v.setZoom(3);
    driver->settle();
    EXPECT_EQ(v.zoom(), 2);
    v.setMaxZoom(4);  // the zoom is not clamped again
    EXPECT_EQ(v.zoom(), 2);

    // A pinch multiplies the zoom it began with.
    v.setZoom(1.5);
    driver->settle();
    ASSERT_TRUE(ui::sendPinch(driver->window(), ui::GestureRecognizerState::Began, {160, 240}, 1.0));
    ASSERT_TRUE(ui::sendPinch(driver->window(), ui::GestureRecognizerState::Changed, {160, 240}, 2.0));
    EXPECT_EQ(v.zoom(), 3);
    v.setAllowsPinchZoom(false);
    EXPECT_FALSE(ui::sendPinch(driver->window(), ui::GestureRecognizerState::Began, {160, 240}, 0.5));
    EXPECT_EQ(v.zoom(), 3);
}

TEST_F(ReaderViewTest, RotationDurationAnimatesExactlyOneLayout) {
    auto& v = makeView();
    Lines log;
    v.willRotateToInterfaceOrientation(kScanOrientationLandscapeLeft, 0.3);
    v.setNeedsLayout();
    driver->settle();
    EXPECT_EQ(log.matching("ScanReaderView: orient=4 #0.3").size(), 1u);
    // Landscape: the preview turns a quarter the other way round.
    EXPECT_NE(v.previewLayer()->animationForKey("transform"), nullptr);
    v.previewLayer()->removeAllAnimations();
    v.setZoom(1.6);
    driver->settle();
    EXPECT_EQ(v.previewLayer()->animationForKey("bounds"), nullptr) << "the next layout is immediate";
}

TEST_F(ReaderViewTest, TrackingBoxFollowsAQrCodeAndFpsBadgeShowsItsText) {
    auto& v = makeView();
    auto feed = feedOf({qrPicture("Q3T7K9").image});
    ASSERT_TRUE(feed);
    v.setDevice(feed);
    v.setShowsFPS(true);
    EXPECT_FALSE(v.fpsView()->isHidden());
    v.start();
    EXPECT_EQ(v.fpsLabel()->text(), "--- fps ");
    driver->settle();
    pushFrame(*feed);
    // The first frame reports the size; the box moves towards the code.
    EXPECT_EQ(v.imageSize(), (ui::Size{640, 480}));
    pushFrame(*feed);
    EXPECT_NE(v.trackingLayer()->animationForKey("tracking"), nullptr);
    driver->advance(0.3);
    EXPECT_GT(v.trackingLayer()->presentationState().opacity, 0.9);
    driver->advance(1.0);
    EXPECT_EQ(v.trackingLayer()->animationForKey("tracking"), nullptr) << "faded out without frames";
    v.setTracksSymbols(false);
    pushFrame(*feed);
    EXPECT_EQ(v.trackingLayer()->animationForKey("tracking"), nullptr);
    v.setShowsFPS(false);
    EXPECT_TRUE(v.fpsView()->isHidden());
}

TEST_F(ReaderViewTest, StartInterruptionAndErrorReports) {
    auto& v = makeView();
    media::CaptureDevice::Traits traits;
    traits.torch = true;
    traits.focus = true;
    auto feed = feedOf({qrPicture("Q3T7K9").image}, traits);
    ASSERT_TRUE(feed);
    v.setDevice(feed);
    ViewDelegate delegate;
    v.setReaderDelegate(&delegate);
    v.setTorchMode(media::CaptureTorchMode::On);

    v.start();
    driver->settle();
    EXPECT_TRUE(v.isRunning());
    EXPECT_TRUE(feed->isLockedForConfiguration());
    EXPECT_EQ(feed->focusMode(), media::CaptureFocusMode::ContinuousAutoFocus);
    EXPECT_EQ(feed->torchMode(), media::CaptureTorchMode::On);

    // An incoming call: a stop report, then a start report again.
    v.session()->interrupt();
    driver->settle();
    EXPECT_FALSE(v.isRunning());
    EXPECT_FALSE(feed->isLockedForConfiguration());
    v.session()->endInterruption();
    driver->settle();
    EXPECT_TRUE(v.isRunning());
    EXPECT_TRUE(feed->isLockedForConfiguration());
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"start", "stop", "start"}));

    // A failure: the delegate hears it with its reason; start runs again.
    v.session()->reportRuntimeError("the camera was unplugged");
    driver->settle();
    EXPECT_FALSE(v.isStarted());
    EXPECT_EQ(delegate.events.back(), "error:the camera was unplugged");
    // Without the delegate's stop method, the error is logged.
    delegate.answersStop = false;
    Lines log;
    v.session()->reportRuntimeError("again");
    driver->settle();
    EXPECT_EQ(log.matching("ScanReaderView: ERROR during capture: ").size(), 1u);

    // A stop report while not running does nothing.
    size_t events = delegate.events.size();
    v.session()->interrupt();
    driver->settle();
    EXPECT_EQ(delegate.events.size(), events);
    v.session()->endInterruption();
    driver->settle();
}

TEST_F(ReaderViewTest, SymbolsReachTheDelegateWithAnUprightPicture) {
    auto& v = makeView();
    auto feed = feedOf({qrPicture("Q3T7K9").image});
    ASSERT_TRUE(feed);
    v.setDevice(feed);
    ViewDelegate delegate;
    v.setReaderDelegate(&delegate);
    v.start();
    driver->settle();
    pushFrame(*feed);
    pushFrame(*feed);
#if defined(__SANITIZE_THREAD__)
    // The decoder's cache keeps time by the wall clock and takes a code seen
    // again after a long enough pause for a new one; under ThreadSanitizer
    // the two frames come seconds apart, so the code may come through twice.
    ASSERT_GE(delegate.reads.size(), 1u);
#else
    ASSERT_EQ(delegate.reads.size(), 1u) << "the cache lets a code through once";
#endif
    EXPECT_EQ(delegate.reads[0], std::vector<std::string>{"Q3T7K9"});
    // Unknown device orientation in a portrait interface: turned right.
    ASSERT_NE(delegate.lastImage, nullptr);
    EXPECT_EQ(delegate.lastImage->size(), (ui::Size{480, 640}));
}

TEST_F(ReaderViewTest, SwitchingCamerasIsOneConfigurationChange) {
    auto& v = makeView();
    auto first = feedOf({qrPicture("A").image});
    auto second = feedOf({qrPicture("B").image});
    v.setDevice(first);
    int commits = v.session()->configurationCommits();
    v.setDevice(second);
    EXPECT_EQ(v.session()->configurationCommits(), commits + 1);
    EXPECT_EQ(v.session()->input(), second);
    v.setDevice(nullptr);
    EXPECT_EQ(v.session()->input(), nullptr);
    EXPECT_EQ(v.device(), nullptr);
}

// ---- the scanning screen ----

struct ScreenDelegate : ScanReaderDelegate {
    int calls = 0;
    ScanPickerInfo info;
    bool answersCancel = true;
    int cancels = 0;
    void imagePickerControllerDidFinishPickingMediaWithInfo(ui::ViewController&, const ScanPickerInfo& i) override {
        ++calls;
        info = i;
    }
    bool respondsToImagePickerControllerDidCancel() const override { return answersCancel; }
    void imagePickerControllerDidCancel(ui::ViewController&) override { ++cancels; }
};

class ReaderScreenTest : public ReaderViewTest {
protected:
    void present(const std::shared_ptr<ScanReaderViewController>& screen) {
        host = std::make_shared<ui::ViewController>();
        host->view()->setFrame({0, 0, 320, 480});
        driver->window().addSubview(host->viewRef());
        host->presentModalViewController(screen, false);
        driver->settle();
    }
    void TearDown() override {
        if (host) host->viewRef()->removeFromSuperview();
        host.reset();
        ReaderViewTest::TearDown();
    }
    std::shared_ptr<ui::ViewController> host;
};

TEST_F(ReaderScreenTest, ScanningAFeedCallsTheDelegateOnceWithResultsAndPicture) {
    auto screen = std::make_shared<ScanReaderViewController>();
    auto overlay = ui::View::create({0, 0, 320, 480});
    screen->setCameraOverlayView(overlay);
    screen->setScanCrop({0.1, 0.1, 0.8, 0.8});
    ScreenDelegate delegate;
    screen->setReaderDelegate(&delegate);
    ScanReaderView* readerView = screen->readerView();
    ASSERT_NE(readerView, nullptr);
    EXPECT_EQ(readerView->scanCrop(), (ui::Rect{0.1, 0.1, 0.8, 0.8}));
    // Bottom to top: the reader view, the shutter, the overlay, the bar.
    const auto& subviews = screen->view()->subviews();
    ASSERT_EQ(subviews.size(), 4u);
    EXPECT_EQ(subviews[0].get(), readerView);
    EXPECT_EQ(subviews[1].get(), screen->shutter());
    EXPECT_EQ(subviews[2], overlay);
    EXPECT_EQ(subviews[3].get(), screen->controls());
    EXPECT_EQ(readerView->frame().size.height, 480 - 54);

    auto feed = feedOf({qrPicture("Q3T7K9").image});
    ASSERT_TRUE(feed);
    readerView->setDevice(feed);
    screen->setShowsScanControls(false);
    present(screen);
    EXPECT_EQ(screen->controls(), nullptr) << "the bar goes at the next appearance";
    EXPECT_TRUE(ui::Application::shared().isStatusBarHidden());
    driver->advance(0.01);  // the camera starts just after the appearance
    EXPECT_TRUE(readerView->isRunning());
    driver->advance(0.3);
    EXPECT_TRUE(screen->shutter()->isHidden()) << "the shutter opened";

    pushFrame(*feed, readerView);
    pushFrame(*feed, readerView);
    EXPECT_EQ(delegate.calls, 1);
    ASSERT_EQ(delegate.info.results.size(), 1u);
    EXPECT_EQ(delegate.info.results[0]->data(), std::optional<std::string>("Q3T7K9"));
    EXPECT_NE(delegate.info.originalImage, nullptr);

    // Leaving: the reader is off at once, no result follows.
    screen->dismissModalViewControllerAnimated(false);
    driver->settle();
    EXPECT_FALSE(ui::Application::shared().isStatusBarHidden());
    readerView->captureReader()->flushCache();
    EXPECT_FALSE(readerView->captureReader()->enableReader());
    EXPECT_FALSE(readerView->isStarted());
}

TEST_F(ReaderScreenTest, FixedPickerSettingsRefuseOtherValues) {
    std::vector<std::string> failures;
    auto previous =
        foundation::setAssertionHandler([&](const foundation::AssertionFailure& f) { failures.push_back(f.message); });
    ScanReaderViewController screen;
    screen.setCameraMode(kScanCameraModeSampling);
    screen.setCameraMode(0);
    screen.setSourceType(kScanSourcePhotoLibrary);
    screen.setShowsHelpOnFail(true);
    screen.setMaxScanDimension(1024);
    foundation::setAssertionHandler(previous);
    EXPECT_EQ(failures, (std::vector<std::string>{"attempt to set unsupported value (0) for cameraMode property",
                                                  "attempt to set unsupported value (0) for sourceType property"}));
    EXPECT_EQ(screen.cameraMode(), kScanCameraModeSampling);
    EXPECT_EQ(screen.maxScanDimension(), 640);
}

TEST_F(ReaderScreenTest, SettingsMapToTheReaderView) {
    Lines log;
    auto screen = std::make_shared<ScanReaderViewController>();
    screen->setCameraFlashMode(kScanCameraFlashOff);
    screen->setVideoQuality(4);
    ScanReaderView* v = screen->readerView();
    EXPECT_EQ(v->torchMode(), media::CaptureTorchMode::Off);
    EXPECT_EQ(log.matching("ScanReaderViewController: unable to set session preset=(null)").size(), 1u);
    EXPECT_EQ(v->session()->sessionPreset(), media::kCaptureSessionPreset640x480);
    screen->setCameraFlashMode(kScanCameraFlashAuto);
    EXPECT_EQ(v->torchMode(), media::CaptureTorchMode::Auto);
    screen->setVideoQuality(kScanVideoQualityLow);
    EXPECT_EQ(v->session()->sessionPreset(), media::kCaptureSessionPresetLow);
    screen->setTracksSymbols(false);
    EXPECT_FALSE(v->tracksSymbols());
}

TEST_F(ReaderScreenTest, CancelGoesToTheDelegateOrClosesTheScreen) {
    auto screen = std::make_shared<ScanReaderViewController>();
    screen->cancel();  // nobody to tell: nothing happens
    ScreenDelegate delegate;
    screen->setReaderDelegate(&delegate);
    present(screen);
    screen->cancel();
    EXPECT_EQ(delegate.cancels, 1);
    EXPECT_EQ(host->modalViewController(), screen.get());
    delegate.answersCancel = false;
    screen->cancel();
    driver->advance(1);
    EXPECT_EQ(host->modalViewController(), nullptr);
}

TEST_F(ReaderScreenTest, InfoShowsOneHelpPageAndDoneRemovesIt) {
    auto screen = std::make_shared<ScanReaderViewController>();
    present(screen);
    screen->info();
    ScanHelpController* help = screen->helpController();
    ASSERT_NE(help, nullptr);
    screen->showHelpWithReason("FAIL");
    EXPECT_EQ(screen->helpController(), help) << "one help page at a time";
    EXPECT_EQ(help->reason(), "INFO");
    driver->advance(0.5);
    help->dismiss();
    driver->advance(0.5);
    EXPECT_EQ(screen->helpController(), nullptr);
}
