#pragma once
// The about page, the safety classroom with its banner carousel, and the
// article pages that show one HTML file of the bundle each.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/screens/info/PagePhotosView.h"
#include "lib/kit/HtmlPageView.h"
#include "lib/kit/KAVOCustomCells.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

// An article page: the bundle's "<contentFileName>.html" in an HTML view
// that fades in when the page has loaded. A page that cannot be loaded stays
// blank.
class ArticlePageViewController : public ui::ViewController {
public:
    // pageWord: the page view's prefix, "safeClass/detail" or "aboutUs/detail".
    explicit ArticlePageViewController(std::string pageWord) : pageWord_(std::move(pageWord)) {}
    const char* className() const override { return "ArticlePageViewController"; }

    const std::string& contentFileName() const { return contentFileName_; }
    void setContentFileName(const std::string& name) { contentFileName_ = name; }
    HtmlPageView* htmlView() const { return htmlView_.get(); }
    // The load's outcome: nullopt while loading, then "" or the error.
    const std::optional<std::string>& loadResult() const { return loadResult_; }

    void viewDidLoad() override;

private:
    std::string pageWord_, contentFileName_;
    std::shared_ptr<HtmlPageView> htmlView_;
    std::optional<std::string> loadResult_;
};

class KAVOSafeClassDetailViewController : public ArticlePageViewController {
public:
    static constexpr const char* kIdentifier = "SafeClassDetail";
    KAVOSafeClassDetailViewController() : ArticlePageViewController("safeClass/detail") {}
    const char* className() const override { return "KAVOSafeClassDetailViewController"; }
};

class KAVOAboutDetailViewController : public ArticlePageViewController {
public:
    static constexpr const char* kIdentifier = "AboutDetail";
    KAVOAboutDetailViewController() : ArticlePageViewController("aboutUs/detail") {}
    const char* className() const override { return "KAVOAboutDetailViewController"; }
};

class KAVOSafeClassBannerCell : public ui::TableViewCell, public PagePhotosDataSource {
public:
    explicit KAVOSafeClassBannerCell(const std::string& reuseIdentifier);
    const char* className() const override { return "KAVOSafeClassBannerCell"; }

    void prepareForBannerShow(std::vector<ui::ImageRef> images);
    PagePhotosView* pagePhotoView() const { return pagePhotoView_.get(); }
    KAVOCustomCellButtonPress* delegate() const { return delegate_; }
    void setDelegate(KAVOCustomCellButtonPress* d) { delegate_ = d; }

    int numberOfPages() override { return int(bannerImageArray_.size()); }
    ui::ImageRef imageAtIndex(int index) override;
    void tapImageAtIndex(int index) override;

private:
    std::vector<ui::ImageRef> bannerImageArray_;
    std::shared_ptr<PagePhotosView> pagePhotoView_;
    KAVOCustomCellButtonPress* delegate_ = nullptr;
};

class KAVOSafeClassViewController : public ui::ViewController,
                                    public ui::TableViewDataSource,
                                    public ui::TableViewDelegate,
                                    public KAVOCustomCellButtonPress {
public:
    static constexpr const char* kIdentifier = "KAVOSafeClassViewController";
    struct Row {
        double height;
        std::string title, subtitle, imageName, contentTitle;
    };
    // The banner row, then the five articles.
    static const std::vector<Row>& rows();
    // The page a banner picture opens: "important", then "text1", "text2".
    static std::string bannerPage(int pictureIndex);

    const char* className() const override { return "KAVOSafeClassViewController"; }
    void viewDidLoad() override;
    ui::TableView* tableView() const { return table_.get(); }

    int numberOfRowsInSection(ui::TableView*, int) override { return int(rows().size()); }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView* tableView,
                                                             const ui::IndexPath& indexPath) override;
    bool canEditRowAtIndexPath(ui::TableView*, const ui::IndexPath&) override { return false; }
    std::optional<double> heightForRowAtIndexPath(ui::TableView*, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView* tableView, const ui::IndexPath& indexPath) override;
    void customCellButtonPressed(KAVOAccountProtectLabelCell* cell, int cellIndex, int switchIndex) override;
    // What a banner tap does (the banner cell is not a setting cell).
    void bannerTapped(int pictureIndex);

private:
    void openArticle(const std::string& file);
    std::shared_ptr<ui::TableView> table_;
};

class KAVOAboutUsViewController : public ui::ViewController {
public:
    static constexpr const char* kIdentifier = "KAVOAboutUsViewController";
    const char* className() const override { return "KAVOAboutUsViewController"; }
    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    void voteOurApp();
    void presentDetailViewWithTitle(const std::string& title, const std::string& contentName);

private:
    std::shared_ptr<ui::Button> makeButton(const std::string& title, double y, std::function<void()> action);
};
