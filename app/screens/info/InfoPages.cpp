#include "app/screens/info/InfoPages.h"

#include "app/cycle/Constants.h"
#include "app/cycle/ScreenAnalytics.h"
#include "app/screens/shared/ScreenChrome.h"
#include "lib/kit/DnNotificationManager.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/ScreenMap.h"

// ---------------------------------------------------------------- article pages

void ArticlePageViewController::viewDidLoad() {
    ScreenChrome::installBackButton(*this);
    view()->setBackgroundColor(ui::Color::whiteColor());
    htmlView_ = HtmlPageView::create(view()->bounds());
    htmlView_->setBackgroundColor(ui::Color::whiteColor());
    htmlView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    htmlView_->setAlpha(0);
    auto path = foundation::bundlePath(contentFileName_, "html");
    std::optional<std::string> body = path ? foundation::readFile(*path) : std::nullopt;
    std::weak_ptr<ui::ViewController> weak = weak_from_this();
    htmlView_->loadHtmlBody(body, [this, weak](const std::optional<std::string>& error) {
        if (!weak.lock()) return;
        loadResult_ = error.value_or("");
        if (error) {
            foundation::log("article ", contentFileName_, ": ", *error);
            return;
        }
        auto html = htmlView_;
        ui::View::animate(0.2, [html] { html->setAlpha(1); });
    });
    view()->addSubview(htmlView_);
    ScreenAnalytics::trackPageview(pageWord_ + "/" + contentFileName_);
}

// ---------------------------------------------------------------- classroom

KAVOSafeClassBannerCell::KAVOSafeClassBannerCell(const std::string& reuseIdentifier)
    : ui::TableViewCell(ui::TableViewCellStyle::Value1, reuseIdentifier) {
    setFrame({0, 0, 320, 170});
    setSelectionStyle(ui::TableViewCellSelectionStyle::None);
}

void KAVOSafeClassBannerCell::prepareForBannerShow(std::vector<ui::ImageRef> images) {
    bannerImageArray_ = std::move(images);
    if (pagePhotoView_) return;
    pagePhotoView_ = std::make_shared<PagePhotosView>(ui::Rect{0, 0, bounds().width(), 170}, this);
    contentView()->addSubview(pagePhotoView_);
}

ui::ImageRef KAVOSafeClassBannerCell::imageAtIndex(int index) {
    return index >= 0 && index < numberOfPages() ? bannerImageArray_[size_t(index)] : nullptr;
}

void KAVOSafeClassBannerCell::tapImageAtIndex(int index) {
    if (delegate_) delegate_->customCellButtonPressed(nullptr, 0, index);
}

const std::vector<KAVOSafeClassViewController::Row>& KAVOSafeClassViewController::rows() {
    static const std::vector<Row> kRows = {
        {170, "", "", "", ""},
        {70, "虚拟充值骗术揭秘", "冲个话费也被骗", "smallTitle1.jpg", "text3"},
        {70, "网络兼职被骗惨", "请勿相信刷钻返利广告", "smallTitle2.jpg", "text4"},
        {70, "一招击毙钓鱼网站", "认准这个，轻松识别钓鱼网站", "smallTitle3.jpg", "text5"},
        {70, "我怎么就被盗号了？", "密码非一致性很重要!", "smallTitle4.jpg", "text6"},
        {70, "收到货物再确认", "轻信卖家忽悠，女王也被骗", "smallTitle5.png", "text7"},
    };
    return kRows;
}

std::string KAVOSafeClassViewController::bannerPage(int pictureIndex) {
    return pictureIndex == 0 ? "important" : "text" + std::to_string(pictureIndex);
}

void KAVOSafeClassViewController::viewDidLoad() {
    setTitle("安全课堂");
    ScreenChrome::installBackButton(*this);
    table_ = std::make_shared<ui::TableView>(view()->bounds());
    table_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    table_->setBackgroundView(std::make_shared<ui::ImageView>(ui::Image::named("bg4.jpg")));
    table_->setSeparatorColor(ui::Color::white(1, 0.15));
    table_->setDataSource(this);
    table_->setTableDelegate(this);
    table_->registerCellFactory("normal", [](const std::string& id) {
        auto cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Subtitle, id);
        cell->setFrame({0, 0, 320, 70});
        cell->setBackgroundColor(ui::Color::clearColor());
        cell->textLabel()->setTextColor(ui::Color::whiteColor());
        cell->textLabel()->setFont(ui::Font::boldSystemFont(16));
        cell->detailTextLabel()->setTextColor(ui::Color::white(0.7));
        cell->detailTextLabel()->setFont(ui::Font::systemFont(13));
        cell->setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
        return cell;
    });
    view()->addSubview(table_);
    ScreenChrome::addPullDecoration(*table_, 7);
    ScreenAnalytics::trackPageview("safeClass");
}

std::optional<double> KAVOSafeClassViewController::heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& ip) {
    return ip.row >= 0 && ip.row < int(rows().size()) ? std::optional<double>(rows()[size_t(ip.row)].height)
                                                      : std::nullopt;
}

std::shared_ptr<ui::TableViewCell> KAVOSafeClassViewController::cellForRowAtIndexPath(ui::TableView* tableView,
                                                                                      const ui::IndexPath& ip) {
    if (ip.row == 0) {
        auto cell = tableView->dequeueReusableCellWithIdentifier("banner");
        if (!cell) {
            auto banner = std::make_shared<KAVOSafeClassBannerCell>("banner");
            banner->setDelegate(this);
            banner->prepareForBannerShow(
                {ui::Image::named("banner1.jpg"), ui::Image::named("banner2.jpg"), ui::Image::named("banner3.jpg")});
            cell = banner;
        }
        return cell;
    }
    const Row& row = rows()[size_t(ip.row)];
    auto cell = tableView->dequeueReusableCellWithIdentifier("normal");
    cell->textLabel()->setText(row.title);
    cell->detailTextLabel()->setText(row.subtitle);
    cell->imageView()->setImage(ui::Image::named(row.imageName));
    cell->imageView()->layer().setBorderColor(ui::Color::lightGrayColor());
    cell->imageView()->layer().setBorderWidth(2);
    return cell;
}

void KAVOSafeClassViewController::didSelectRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& ip) {
    tableView->deselectRowAtIndexPath(ip, true);
    if (ip.row < 1 || ip.row >= int(rows().size())) return;
    openArticle("text" + std::to_string(ip.row + 2));
}

void KAVOSafeClassViewController::customCellButtonPressed(KAVOAccountProtectLabelCell*, int, int switchIndex) {
    bannerTapped(switchIndex);
}

void KAVOSafeClassViewController::bannerTapped(int pictureIndex) { openArticle(bannerPage(pictureIndex)); }

void KAVOSafeClassViewController::openArticle(const std::string& file) {
    auto next =
        storyboard()
            ? storyboard()->instantiateViewControllerWithIdentifier(KAVOSafeClassDetailViewController::kIdentifier)
            : nullptr;
    auto* article = dynamic_cast<ArticlePageViewController*>(next.get());
    if (!article || !navigationController()) return;
    article->setContentFileName(file);
    navigationController()->pushViewController(next, true);
}

// ---------------------------------------------------------------- about

std::shared_ptr<ui::Button> KAVOAboutUsViewController::makeButton(const std::string& title, double y,
                                                                  std::function<void()> action) {
    auto b = ui::Button::buttonWithType(ui::ButtonType::Custom);
    b->setFrame({30, y, 260, 40});
    b->setTitle(title);
    b->setTitleColor(ui::Color::whiteColor());
    b->setBackgroundColor(ui::Color::white(1, 0.12));
    b->layer().setCornerRadius(6);
    b->addTarget(
        this, [action](ui::Control*, const ui::Event*) { action(); }, ui::kControlEventTouchUpInside);
    view()->addSubview(b);
    return b;
}

void KAVOAboutUsViewController::viewDidLoad() {
    setTitle("关于禾盾");
    ScreenChrome::installBackButton(*this);
    auto background = std::make_shared<ui::ImageView>(ui::Image::named("bg4.jpg"));
    background->setFrame(view()->bounds());
    view()->addSubview(background);
    auto name = std::make_shared<ui::Label>(ui::Rect{0, 30, 320, 34});
    name->setText("禾盾");
    name->setFont(ui::Font::boldSystemFont(28));
    name->setTextColor(ui::Color::whiteColor());
    name->setTextAlignment(ui::TextAlignment::Center);
    name->setBackgroundColor(ui::Color::clearColor());
    view()->addSubview(name);
    auto version = std::make_shared<ui::Label>(ui::Rect{0, 68, 320, 20});
    version->setText("禾川账号安全中心  版本 " + foundation::device().appVersion);
    version->setFont(ui::Font::systemFont(13));
    version->setTextColor(ui::Color::white(0.75));
    version->setTextAlignment(ui::TextAlignment::Center);
    version->setBackgroundColor(ui::Color::clearColor());
    view()->addSubview(version);
    makeButton("给禾盾评分", 120, [this] { voteOurApp(); });
    makeButton("版权信息", 172, [this] { presentDetailViewWithTitle("版权信息", "liscene"); });
    makeButton("许可协议", 224, [this] { presentDetailViewWithTitle("许可协议", "permission"); });
    makeButton("关于我们", 276, [this] { presentDetailViewWithTitle("关于我们", "aboutcrew"); });
    ScreenAnalytics::trackPageview("aboutUs");
    Constants::portUIForiPhone5(35, this);
}

void KAVOAboutUsViewController::viewWillDisappear(bool animated) {
    ui::ViewController::viewWillDisappear(animated);
    DnNotificationManager::sharedManager().cleanUpNotificationQueueForAlert();
}

void KAVOAboutUsViewController::voteOurApp() {
    ui::Application::shared().openURL(Constants::rateAppURL());
    ScreenAnalytics::trackEvent("aboutUs", "RateAppFromAboutUs", std::nullopt);
}

void KAVOAboutUsViewController::presentDetailViewWithTitle(const std::string& title, const std::string& contentName) {
    auto next = storyboard()
                    ? storyboard()->instantiateViewControllerWithIdentifier(KAVOAboutDetailViewController::kIdentifier)
                    : nullptr;
    auto* article = dynamic_cast<ArticlePageViewController*>(next.get());
    if (!article || !navigationController()) return;
    article->setContentFileName(contentName);
    article->setTitle(title);
    navigationController()->pushViewController(next, true);
}
