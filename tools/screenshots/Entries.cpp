// One entry per screen picture: docs/screens/<name>.png. The launch, guide
// and bind screens are here; the other areas' entries are in their own files
// (Entries.h), each entry a name, a screen identifier, what to seed and what
// to do.
#include "tools/screenshots/Entries.h"

#include <qrencode.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/screens/bind/BindViewController.h"
#include "app/start/KAVOStoryboard.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Paths.h"
#include "platform/media/Capture.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Navigation.h"
#include "tools/screenshots/PinEntries.h"

namespace screenshots {

namespace {

// The bind screen inside the navigation controller its map entry makes.
BindViewController* bindScreen(ui::ViewController& shown) {
    auto* nav = dynamic_cast<ui::NavigationController*>(&shown);
    return nav ? dynamic_cast<BindViewController*>(nav->topViewController()) : nullptr;
}

// A light card with `text` as a QR code in its middle, as the camera sees it.
ui::ImageRef qrCard(const std::string& text, int width, int height) {
    std::vector<uint8_t> rgba(size_t(width) * height * 4, 255);
    for (size_t k = 0; k < size_t(width) * height; ++k) {
        rgba[k * 4] = 236;
        rgba[k * 4 + 1] = 232;
        rgba[k * 4 + 2] = 222;
    }
    QRcode* qr = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!qr) return ui::Image::fromRgba(width, height, rgba.data());
    const int module = 8, side = (qr->width + 4) * module;
    const int left = (width - side) / 2, top = (height - side) / 2;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            int mx = x / module - 2, my = y / module - 2;
            bool dark = mx >= 0 && my >= 0 && mx < qr->width && my < qr->width && (qr->data[my * qr->width + mx] & 1);
            uint8_t* p = rgba.data() + (size_t(top + y) * width + left + x) * 4;
            p[0] = p[1] = p[2] = dark ? 20 : 255;
        }
    QRcode_free(qr);
    return ui::Image::fromRgba(width, height, rgba.data());
}

void advanceClock(double seconds) {
    if (auto* manual = dynamic_cast<foundation::ManualClock*>(&foundation::clock())) manual->advance(seconds);
}

}  // namespace

std::vector<ScreenShot> appScreenShots() {
    std::vector<ScreenShot> entries;

    // The launch router on a first start: the launch image (no store, so it
    // asks for the guide, which it shows over itself once that screen exists).
    ScreenShot launch;
    launch.name = "launch";
    launch.screen = KAVOStoryboard::kLaunchScreen;
    launch.inNavigation = false;
    entries.push_back(launch);

    // The first-start guide on its first page; the map's entry holds it in a
    // navigation controller with the bar hidden.
    ScreenShot guide;
    guide.name = "guide";
    guide.screen = KAVOStoryboard::kGuideScreen;
    guide.inNavigation = false;
    entries.push_back(guide);

    // The bind screen as a new user finds it, then with its help panel open,
    // then asking for the account name of the SMS road on a phone with a SIM.
    ScreenShot bind;
    bind.name = "bind";
    bind.screen = KAVOStoryboard::kBindScreen;
    bind.inNavigation = false;
    entries.push_back(bind);

    ScreenShot bindHelp = bind;
    bindHelp.name = "bind-help";
    bindHelp.act = [](ui::ViewController& shown) {
        if (auto* screen = bindScreen(shown)) screen->bindHelp();
        advanceClock(1.0);
    };
    entries.push_back(bindHelp);

    ScreenShot bindSms = bind;
    bindSms.name = "bind-sms";
    bindSms.act = [](ui::ViewController& shown) {
        foundation::DeviceInfo phone = foundation::device();
        phone.model = "iPhone";
        phone.carrierName = "中国移动";
        foundation::setDevice(phone);
        if (auto* screen = bindScreen(shown)) screen->textMsgBinding();
        foundation::setDevice(std::nullopt);
        advanceClock(1.0);
    };
    entries.push_back(bindSms);

    // The QR road: the scanning screen with the camera on a card that shows
    // the demo serial's code, the moment before the reader takes it (its
    // reading is held for the picture).
    ScreenShot bindQr = bind;
    bindQr.name = "bind-qr";
    // The card is the phone's camera before the button is tapped.
    bindQr.act = [](ui::ViewController& shown) {
        auto* screen = bindScreen(shown);
        if (!screen) return;
        const std::string path = foundation::cachesDir() + "/bind-qr-card.png";
        if (!qrCard("Q3T7K9", 480, 640)->writePNG(path)) return;
        media::FileFeedDevice::Options options;
        options.framesPerSecond = 0;
        media::CaptureDevice::setDefaultDevice(media::FileFeedDevice::open({path}, options));
        screen->qrBind();
    };
    bindQr.drive = [](ui::ViewController& shown, shell::Driver& driver) {
        auto* screen = bindScreen(shown);
        ScanReaderViewController* reader = screen ? screen->qrReader() : nullptr;
        if (!reader) return;
        auto feed = std::dynamic_pointer_cast<media::FileFeedDevice>(reader->readerView()->device());
        if (!feed) return;
        driver.advance(0.3);  // the camera started on the turn after the appearance; the shutter opens
        reader->readerView()->captureReader()->setEnableReader(false);
        feed->pushFrame();
        reader->readerView()->captureReader()->captureOutput()->waitUntilIdle();
        driver.settle();
        reader->readerView()->setDevice(nullptr);
    };
    entries.push_back(bindQr);
    addPinScreenShots(entries);
    addHubScreenShots(entries);
    addSettingsScreenShots(entries);
    addTokenScreenShots(entries);
    return entries;
}

}  // namespace screenshots
