// The still-picture reader and the picture picker under it: pictures from
// the library folder and stills from a file-feed camera, scanned by the real
// decoder.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "lib/reader/ScanReaderController.h"
#include "platform/media/ImagePicker.h"
#include "platform/shell/Driver.h"
#include "platform/ui/AlertView.h"
#include "tests/support/TestSupport.h"
#include "tests/support/reader/QrPicture.h"

using readertest::Canvas;
using readertest::greyPicture;
using readertest::Lines;
using readertest::qrPicture;

namespace {

struct Client : ScanReaderDelegate {
    std::vector<std::vector<std::string>> reads;
    std::vector<ui::Size> sizes;
    std::vector<bool> failures;
    int cancels = 0;
    void imagePickerControllerDidFinishPickingMediaWithInfo(ui::ViewController&, const ScanPickerInfo& info) override {
        std::vector<std::string> data;
        for (const auto& s : info.results) data.push_back(s->data().value_or(""));
        reads.push_back(data);
        EXPECT_NE(info.originalImage, nullptr);
        if (info.originalImage) sizes.push_back(info.originalImage->size());
    }
    bool respondsToImagePickerControllerDidCancel() const override { return true; }
    void imagePickerControllerDidCancel(ui::ViewController&) override { ++cancels; }
    bool respondsToReaderControllerDidFailToRead() const override { return true; }
    void readerControllerDidFailToRead(ui::ViewController&, bool retry) override { failures.push_back(retry); }
};

class PictureReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver = std::make_unique<shell::Driver>();
        host = std::make_shared<ui::ViewController>();
        host->view()->setFrame({0, 0, 320, 480});
        driver->window().addSubview(host->viewRef());
        pictures = testsupport::tempDir("pictures");
        setenv("QUENTA_PICTURES", pictures.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("QUENTA_PICTURES");
        host->viewRef()->removeFromSuperview();
        reader.reset();
        host.reset();
        driver.reset();
    }
    std::string save(const ui::ImageRef& picture, const std::string& name) {
        std::string path = pictures + "/" + name;
        EXPECT_TRUE(picture->writePNG(path));
        return path;
    }
    void presentLibraryReader() {
        reader = std::make_shared<ScanReaderController>();
        reader->setSourceType(media::ImagePickerSourceType::PhotoLibrary);
        reader->setReaderDelegate(&client);
        host->presentModalViewController(reader, false);
        driver->settle();
    }
    // Picked pictures are decoded and scanned on the pool: the main loop
    // turns until the client has heard back (or ten seconds have passed).
    bool waitFor(const std::function<bool()>& done) {
        for (int i = 0; i < 5000 && !done(); ++i) {
            driver->settle();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return done();
    }
    std::unique_ptr<shell::Driver> driver;
    std::shared_ptr<ui::ViewController> host;
    std::shared_ptr<ScanReaderController> reader;
    std::string pictures;
    Client client;
};

}  // namespace

TEST_F(PictureReaderTest, ScanSizesFollowThePictureAndTheLimit) {
    ScanReaderController r;
    Lines log;
    // Nothing in a 640x480 picture: one scan only.
    EXPECT_TRUE(r.scanImage(*greyPicture(640, 480, 200)).empty());
    EXPECT_EQ(r.lastScanSize(), (ui::Size{640, 480}));
    EXPECT_EQ(log.matching("read 0 filtered symbols").size(), 1u);
    // 1600x1200: at 640x480 (density 1), then at half that.
    EXPECT_TRUE(r.scanImage(*greyPicture(1600, 1200, 200)).empty());
    EXPECT_EQ(r.lastScanSize(), (ui::Size{320, 240}));
    EXPECT_EQ(r.lastScanDensity(), (std::pair<int, int>{1, 1}));
    // A 2000x1000 crop under a limit of 1600: 1600x800, densities 3 and 2.
    r.setMaxScanDimension(1600);
    r.scanImage(*greyPicture(2000, 1000, 200), 0);
    EXPECT_EQ(r.lastScanSize(), (ui::Size{1600, 800}));
    EXPECT_EQ(r.lastScanDensity(), (std::pair<int, int>{3, 2}));
    // A portrait picture swaps the crop's axes.
    r.setScanCrop({0.1, 0.2, 0.5, 0.6});
    r.scanImage(*greyPicture(480, 640, 200), 0);
    EXPECT_EQ(r.lastScanCrop(), (ui::Rect{0.2 * 480, 0.1 * 640, 0.6 * 480, 0.5 * 640}));
}

TEST_F(PictureReaderTest, AQrCodeOutranksALinearCode) {
    ScanReaderController r;
    Canvas both(1200, 600);
    both.qr("Q3T7K9", 40, 150, 8);
    both.ean13("5901234123457", 520, 200, 200, 6);
    auto best = r.scanImage(*both.image());
    ASSERT_EQ(best.size(), 1u);
    EXPECT_EQ(best[0]->data(), std::optional<std::string>("Q3T7K9"));

    Canvas linear(1200, 600);
    linear.ean13("5901234123457", 300, 200, 200, 6);
    best = r.scanImage(*linear.image());
    ASSERT_EQ(best.size(), 1u);
    EXPECT_EQ(best[0]->data(), std::optional<std::string>("5901234123457"));
}

TEST_F(PictureReaderTest, TheLiveModeIsRefused) {
    ScanReaderController r;
    r.setCameraMode(kScanCameraModeSequence);
    try {
        r.setCameraMode(kScanCameraModeLive);
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "ScanReaderController cannot set cameraMode=Sampling when USE_PRIVATE_APIS=0");
    }
    EXPECT_EQ(r.cameraMode(), kScanCameraModeSequence);
}

TEST_F(PictureReaderTest, LibraryPicturesAreReadOrAnsweredWithHelpAndARetry) {
    save(qrPicture("Q3T7K9").image, "a-code.png");
    save(greyPicture(640, 480, 220), "b-blank.png");
    EXPECT_EQ(media::ImagePickerController::libraryPictures().size(), 2u);
    presentLibraryReader();
    // The list shows the pictures by name; a tap on one picks it.
    ASSERT_NE(driver->tapText("a-code.png"), nullptr);
    ASSERT_TRUE(waitFor([&] { return !client.reads.empty(); }));
    driver->advance(0.3);
    ASSERT_EQ(client.reads.size(), 1u);
    EXPECT_EQ(client.reads[0], std::vector<std::string>{"Q3T7K9"});

    ASSERT_NE(driver->tapText("b-blank.png"), nullptr);
    ASSERT_TRUE(waitFor([&] { return !client.failures.empty(); }));
    driver->advance(0.5);
    EXPECT_EQ(client.failures, std::vector<bool>{true});
    ASSERT_NE(reader->helpController(), nullptr);
    EXPECT_EQ(reader->helpController()->reason(), "FAIL");
    EXPECT_EQ(reader->modalViewController(), reader->helpController());

    // A picture that cannot be opened is no pick at all.
    EXPECT_FALSE(reader->choosePicture(pictures + "/missing.png"));
}

TEST_F(PictureReaderTest, LargeDamagedOrHugePicturesAreHandledOffTheMainThread) {
    // A 2600x2000 photo: decoded at half its size (1300x1000 still covers the
    // 640-pixel scan) and read.
    auto big = qrPicture("Q3T7K9", 2600, 2000, 20).image->encodeJPEG(0.9);
    ASSERT_FALSE(big.empty());
    auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(pictures + "/" + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    write("big.jpg", big);
    // The same photo cut short, and a picture claiming 20000 x 20000 pixels.
    write("cut.jpg", std::vector<uint8_t>(big.begin(), big.begin() + long(big.size() / 2)));
    auto png = greyPicture(64, 64, 200)->encodePNG();
    for (int i = 0; i < 4; ++i) png[16 + i] = png[20 + i] = uint8_t(20000 >> (24 - 8 * i));
    write("huge.png", png);
    presentLibraryReader();
    EXPECT_EQ(reader->pictureMinimumSide(), 640);

    ASSERT_TRUE(reader->choosePicture(pictures + "/big.jpg"));
    EXPECT_TRUE(client.reads.empty()) << "the picture is decoded and scanned on the pool";
    ASSERT_TRUE(waitFor([&] { return !client.reads.empty(); }));
    EXPECT_EQ(client.reads[0], std::vector<std::string>{"Q3T7K9"});
    EXPECT_EQ(client.sizes[0], (ui::Size{1300, 1000}));

    struct {
        const char* file;
        const char* message;
    } table[] = {{"cut.jpg", "图片已损坏或不是图片文件，无法读取。"}, {"huge.png", "图片太大，无法读取。"}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.file);
        Lines lines;
        ASSERT_TRUE(reader->choosePicture(pictures + "/" + row.file));
        ASSERT_TRUE(waitFor([] { return ui::AlertView::frontmost() != nullptr; }));
        EXPECT_EQ(ui::AlertView::frontmost()->title(), "无法打开图片");
        EXPECT_EQ(ui::AlertView::frontmost()->message(), row.message);
        EXPECT_EQ(lines.matching("cannot open the picture").size(), 1u);
        ui::AlertView::frontmost()->clickButtonAtIndex(0);
        driver->advance(1.0);
    }
    // Neither reached the reader: no result, no failure, no help page.
    EXPECT_EQ(client.reads.size(), 1u);
    EXPECT_TRUE(client.failures.empty());
    EXPECT_EQ(reader->helpController(), nullptr);
}

TEST_F(PictureReaderTest, CameraStillsAreUprightAndScanned) {
    media::FileFeedDevice::Options options;
    options.framesPerSecond = 0;
    auto feed = media::FileFeedDevice::open({save(qrPicture("Q3T7K9").image, "qr.png")}, options);
    ASSERT_TRUE(feed);

    // The picker alone: a still from the camera, turned upright.
    struct Picked : media::ImagePickerControllerDelegate {
        ui::ImageRef picture;
        void imagePickerControllerDidFinishPickingMediaWithInfo(media::ImagePickerController&,
                                                                const media::ImagePickerInfo& info) override {
            picture = info.originalImage;
        }
        void imagePickerControllerDidCancel(media::ImagePickerController&) override {}
    } picked;
    auto picker = std::make_shared<media::ImagePickerController>();
    picker->setSourceType(media::ImagePickerSourceType::Camera);
    picker->setCameraDevice(feed);
    picker->setPickerDelegate(&picked);
    picker->takePicture();
    driver->settle();
    ASSERT_NE(picked.picture, nullptr);
    EXPECT_EQ(picked.picture->size(), (ui::Size{480, 640}));

    // The reader with its own bar on the camera screen: "Scan!" after half a second.
    reader = std::make_shared<ScanReaderController>();
    reader->setSourceType(media::ImagePickerSourceType::Camera);
    reader->setCameraDevice(feed);
    reader->setReaderDelegate(&client);
    host->presentModalViewController(reader, false);
    driver->settle();
    ASSERT_NE(reader->scanButton(), nullptr);
    EXPECT_FALSE(reader->scanButton()->isEnabled());
    EXPECT_FALSE(reader->showsCameraControls());
    driver->advance(0.6);
    EXPECT_TRUE(reader->scanButton()->isEnabled());
    reader->scan();
    ASSERT_TRUE(waitFor([&] { return !client.reads.empty(); }));
    driver->advance(0.3);
    ASSERT_EQ(client.reads.size(), 1u);
    EXPECT_EQ(client.reads[0], std::vector<std::string>{"Q3T7K9"});
    EXPECT_TRUE(reader->scanButton()->isEnabled()) << "enabled again after the result";

    reader->cancel();
    driver->advance(0.2);
    EXPECT_EQ(client.cancels, 1);
}
