#include "app/screens/bind/QrRoad.h"

#include "app/cycle/Constants.h"
#include "app/screens/bind/BindViewController.h"
#include "app/screens/bind/SerialRoad.h"
#include "platform/ui/Font.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Screen.h"

using namespace BindModel;

QrRoad::QrRoad(BindViewController& screen, SerialRoad& serial) : screen_(screen), serial_(serial) {}

void QrRoad::open() {
    reader_ = std::make_shared<ScanReaderViewController>();
    const double H = ui::Screen::main().bounds().size.height;
    reader_->setScanCrop({0.5 - 112 / (H - 53), 0.15, 224 / (H - 53), 0.7});

    // The reader's own buttons give way to this screen's bar.
    ui::View* readerRoot = reader_->view();
    for (const auto& child : std::vector<std::shared_ptr<ui::View>>(readerRoot->subviews()))
        for (const auto& grandchild : std::vector<std::shared_ptr<ui::View>>(child->subviews()))
            if (dynamic_cast<ui::Button*>(grandchild.get())) grandchild->removeFromSuperview();
    auto bar = std::make_shared<ui::ImageView>(ui::Image::named("qrcode_bg.png"));
    bar->setFrame({0, H - 53, 320, 53});
    readerRoot->addSubview(bar);
    auto cancel = std::make_shared<ui::Button>(ui::Rect{10, H - 42, 60, 36}, ui::ButtonType::Custom);
    cancel->setTitle("取 消");
    cancel->setTitleColor(ui::Color::whiteColor());
    cancel->titleLabel()->setFont(ui::Font::systemFont(12));
    cancel->setBackgroundImage(ui::Image::named("qr_button.png"));
    std::weak_ptr<ui::ViewController> readerRef = reader_;
    cancel->addTarget(
        &screen_,
        [this, readerRef](ui::Control*, const ui::Event*) {
            if (auto reader = readerRef.lock()) screen_.imagePickerControllerDidCancel(*reader);
        },
        ui::kControlEventTouchUpInside);
    readerRoot->addSubview(cancel);

    reader_->setReaderDelegate(&screen_);
    // The serial comes as a QR code and nothing else: every other symbology
    // (Interleaved 2 of 5 among them) is off. A poor read of bars beside the
    // code would otherwise make the decoder's cache hold the code back.
    reader_->scanner()->setSymbology(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    reader_->scanner()->setSymbology(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    reader_->setTracksSymbols(true);
    reader_->setShowsScanControls(false);
    screen_.presentModalViewController(reader_, false);
    BindOutcome::track(Road::Serial, std::string("codeQrButtonPush"));
}

void QrRoad::picked(ui::ViewController& reader, const ScanPickerInfo& info) {
    if (&reader != reader_.get()) return;
    reader_->setReaderDelegate(nullptr);  // one result is all this screen takes
    std::string text;
    if (!info.results.empty()) text = info.results.front()->data().value_or("");
    // A scanned serial is checked as a typed one before anything is sent.
    if (isSerial(text)) {
        serial_.submit(text);
    } else {
        Constants::simpleAlertViewWithTitle("提示", "扫描结果格式不对！请重新扫描");
    }
    screen_.dismissModalViewControllerAnimated(true);
    BindOutcome::track(Road::Serial, std::string("codeQrStartBind"));
}

void QrRoad::cancelled(ui::ViewController& reader) {
    if (&reader != reader_.get()) return;
    reader_->setReaderDelegate(nullptr);
    screen_.dismissModalViewControllerAnimated(true);
    if (auto* nav = screen_.navigationController()) nav->popToRootViewControllerAnimated(false);
}
