#include "app/screens/bind/BindViewController.h"

#include "app/core/BindingState.h"
#include "app/cycle/ScreenAnalytics.h"
#include "lib/kit/CustomNavigationBar.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Screen.h"

using namespace BindModel;

namespace {

const std::vector<std::string>& helpQuestions() {
    static const std::vector<std::string> questions = {
        "1.如何绑定禾盾？",           "2.什么是岚付通绑定？",     "3.总是绑定失败怎么办？",
        "4.绑定过程中我该注意什么？", "5.哪些账号可以绑定禾盾？", "6.重新安装后如何再次绑定？",
    };
    return questions;
}

const std::vector<std::string>& helpAnswers() {
    static const std::vector<std::string> answers = {
        "登录禾川网安全中心，进入“禾盾”页面，按提示获取6位序列号，在本页输入后即自动绑定；也可以选择短信绑定或岚付通绑"
        "定。",
        "如果您的禾川账号已关联岚付通账号，并且手机上装有“迅付”应用，可以直接通过岚付通账号完成绑定，同时开通付款验证，"
        "无需输入序列号。",
        "请先确认手机网络通畅、序列号输入无误且未过期；若仍然失败，可改用短信绑定或岚付通绑定，或稍后再试。",
        "序列号在生成15分钟后失效，请尽快输入；短信绑定需要使用能发送短信的设备，并且不要修改绑定短信的内容。",
        "买家账号和卖家账号都可以绑定禾盾；卖家子账号暂不支持绑定。",
        "重新安装后无需先解绑，直接使用短信绑定或岚付通绑定即可重新绑定您的账号。",
    };
    return answers;
}

}  // namespace

BindViewController::BindViewController()
    : outcome_(*this, kAlertSuccess),
      serial_(*this, outcome_),
      qr_(*this, serial_),
      textMsg_(*this, outcome_),
      korvex_(*this, outcome_) {
    serial_.registerCommand();
    textMsg_.registerCommands();
    korvex_.registerCommands();
}

BindViewController::~BindViewController() {
    if (ui::TextField* field = serial_.field()) field->setDelegate(nullptr);
}

// ---------------------------------------------------------------- view

void BindViewController::loadView() {
    const ui::Rect screen = ui::Screen::main().bounds();
    const double width = screen.width();
    auto root = ui::View::create({0, 0, width, screen.height() - ui::NavigationBar::kHeight});
    root->setBackgroundColor(ui::Color::rgba(0.93, 0.95, 0.97));

    // A touch anywhere outside the field puts the keyboard away.
    auto board = std::make_shared<ui::Control>(root->bounds());
    board->setBackgroundColor(ui::Color::clearColor());
    board->setAutoresizingMask(ui::kAutoresizingFlexibleHeight);
    board->addTarget(
        this, [this](ui::Control*, const ui::Event*) { backBroad(); }, ui::kControlEventTouchDown);
    root->addSubview(board);

    auto title = std::make_shared<ui::Label>(ui::Rect{20, 22, width - 40, 26});
    title->setText("序列号绑定");
    title->setFont(ui::Font::boldSystemFont(19));
    title->setTextColor(ui::Color::rgba(0.07, 0.29, 0.50));
    title->setBackgroundColor(ui::Color::clearColor());
    root->addSubview(title);

    auto hint = std::make_shared<ui::Label>(ui::Rect{20, 56, width - 40, 110});
    hint->setNumberOfLines(0);
    hint->setFont(ui::Font::systemFont(14));
    hint->setTextColor(ui::Color::white(0.30));
    hint->setBackgroundColor(ui::Color::clearColor());
    hint->setText(
        "1. 在电脑上登录禾川网安全中心\n2. 进入“禾盾”页面，获取6位序列号\n3. 在下方输入序列号，输满6位即自动绑定");
    root->addSubview(hint);

    root->addSubview(serial_.makeField({40, 178, width - 80, 40}));

    auto other = std::make_shared<ui::Label>(ui::Rect{20, 240, width - 40, 22});
    other->setText("其他绑定方式");
    other->setFont(ui::Font::systemFont(13));
    other->setTextColor(ui::Color::grayColor());
    other->setTextAlignment(ui::TextAlignment::Center);
    other->setBackgroundColor(ui::Color::clearColor());
    root->addSubview(other);

    auto makeButton = [&](const std::string& text, double x, std::function<void()> action) {
        auto button = std::make_shared<ui::Button>(ui::Rect{x, 270, 125, 40}, ui::ButtonType::RoundedRect);
        button->setTitle(text);
        button->addTarget(
            this, [action](ui::Control*, const ui::Event*) { action(); }, ui::kControlEventTouchUpInside);
        root->addSubview(button);
    };
    makeButton("短信绑定", 25, [this] { textMsgBinding(); });
    makeButton("岚付通绑定", width - 150, [this] { korvexBinding(); });
    auto qr = std::make_shared<ui::Button>(ui::Rect{25, 320, width - 50, 40}, ui::ButtonType::RoundedRect);
    qr->setTitle("扫描二维码绑定");
    qr->addTarget(
        this, [this](ui::Control*, const ui::Event*) { qrBind(); }, ui::kControlEventTouchUpInside);
    root->addSubview(qr);

    kavoLabel_ = std::make_shared<ui::Label>(ui::Rect{0, 0, width, 20});
    kavoLabel_->setText("禾川账号安全中心 · 禾盾");
    kavoLabel_->setFont(ui::Font::systemFont(12));
    kavoLabel_->setTextColor(ui::Color::grayColor());
    kavoLabel_->setTextAlignment(ui::TextAlignment::Center);
    kavoLabel_->setBackgroundColor(ui::Color::clearColor());
    root->addSubview(kavoLabel_);
    setView(root);
}

void BindViewController::viewDidLoad() {
    KAVOCommandViewController::viewDidLoad();
    setTitle("绑定禾盾");
    if (auto* nav = navigationController()) {
        if (auto* bar = dynamic_cast<CustomNavigationBar*>(nav->navigationBar()))
            bar->setBackgroundWith(ui::Image::named("title-bar2.png"));
        nav->navigationBar()->setTintColor(ui::Color::darkGrayColor());
    }
    navigationItem()->setRightBarButtonItem(ui::BarButtonItem::withTitle("帮助", ui::BarButtonItemStyle::Bordered,
                                                                         [this](ui::BarButtonItem*) { bindHelp(); }));
    outcome_.reset();
    textMsg_.reset();
    if (binding::stored() != binding::BindingState::BindingHandedOff) ScreenAnalytics::trackPageview("bindingView");
}

void BindViewController::viewWillAppear(bool animated) {
    KAVOCommandViewController::viewWillAppear(animated);
    // The label sits 84 points above the bottom of the screen.
    ui::Rect frame = kavoLabel_->frame();
    kavoLabel_->setFrame({0, ui::Screen::main().bounds().height() - 84, frame.width(), frame.height()});
}

void BindViewController::viewDidAppear(bool animated) {
    KAVOCommandViewController::viewDidAppear(animated);
    korvex_.handBackCheck();
}

void BindViewController::setBarButtonsEnabled(bool on) {
    ui::NavigationItem* item = navigationItem();
    if (auto* right = item->rightBarButtonItem()) right->setEnabled(on);
    if (auto* left = item->leftBarButtonItem()) left->setEnabled(on);
}

// ---------------------------------------------------------------- the roads' buttons and the field

void BindViewController::numOfTextField() { serial_.numOfTextField(); }

void BindViewController::initFinish(const std::string& serial) { serial_.initFinish(serial); }

void BindViewController::backBroad() { serial_.backBroad(); }

void BindViewController::textMsgBinding() {
    backBroad();
    textMsg_.start();
}

void BindViewController::korvexBinding() {
    backBroad();
    korvex_.start();
}

void BindViewController::qrBind() {
    backBroad();
    qr_.open();
}

void BindViewController::textFieldDidBeginEditing(ui::TextField*) { serial_.didBeginEditing(); }

void BindViewController::textFieldDidEndEditing(ui::TextField*) { serial_.didEndEditing(); }

bool BindViewController::textFieldShouldChangeCharacters(ui::TextField*, ui::TextRange range, const std::string&) {
    return serialEditAllowed(range.location);
}

bool BindViewController::textFieldShouldReturn(ui::TextField*) {
    backBroad();
    return true;
}

// ---------------------------------------------------------------- help

void BindViewController::bindHelp() {
    setBarButtonsEnabled(false);
    backBroad();
    helpPanel_ = ExampleModalPanel::create(view()->bounds(), "温馨提示", helpQuestions(), helpAnswers());
    helpPanel_->setOnClosePressed([this](ModalPanel* panel) {
        panel->hideWithOnComplete([this](bool) {
            if (helpPanel_) helpPanel_->removeFromSuperview();
            helpPanel_.reset();
            setBarButtonsEnabled(true);
        });
    });
    view()->addSubview(helpPanel_);
    const ui::Rect bounds = view()->bounds();
    helpPanel_->showFromPoint({bounds.width() - 30, 0});
    ScreenAnalytics::trackPageview("QuickHelp/bangding");
}

// ---------------------------------------------------------------- alerts and delegates

void BindViewController::didDismissWithButtonIndex(ui::AlertView* alert, int buttonIndex) {
    switch (alert->tag()) {
        case kAlertSuccess:
            performSegueWithIdentifier(kSegueBindSuccess);
            break;
        case kAlertSmsName:
        case kAlertKorvexName: {
            if (buttonIndex != 0) break;
            ui::TextField* field = alert->textFieldAtIndex(0);
            const std::string name = field ? foundation::trim(field->text()) : std::string();
            if (name.empty()) {
                outcome_.notice(kEmptyNameNotice);
                break;
            }
            if (alert->tag() == kAlertSmsName)
                textMsg_.nameGiven(name);
            else
                korvex_.nameGiven(name);
            break;
        }
        case kAlertSmsConfirm:
            textMsg_.confirmed(buttonIndex);
            break;
        case kAlertHandOff:
            korvex_.handOffAnswered(buttonIndex);
            break;
        case kAlertInstall:
            korvex_.installAnswered(buttonIndex);
            break;
        default:
            break;
    }
}

void BindViewController::messageComposeDidFinish(ui::MessageComposeViewController* composer,
                                                 ui::MessageComposeResult result) {
    textMsg_.composeFinished(composer, result);
}

void BindViewController::hudWasHidden(ProgressHUD* hud) {
    if (textMsg_.overlayHidden(hud)) return;
    KAVOCommandViewController::hudWasHidden(hud);
}

void BindViewController::imagePickerControllerDidFinishPickingMediaWithInfo(ui::ViewController& reader,
                                                                            const ScanPickerInfo& info) {
    qr_.picked(reader, info);
}

void BindViewController::imagePickerControllerDidCancel(ui::ViewController& reader) { qr_.cancelled(reader); }
