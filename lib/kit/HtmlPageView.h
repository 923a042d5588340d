#pragma once
// Shows a fragment of HTML (a body, not a whole page) in a web view. The
// fragment is cleaned on a background queue (image ids and click scripts,
// local pictures, table widths, white space, old video embeds, refused
// frames, hidden and removed tags), wrapped into a page with a fixed viewport
// and a style sheet, and loaded with the bundle as base. The collected script
// runs 0.1 s after the load, then the completion is called. Navigation is
// filtered: only local files, the blank page and two video hosts load; image
// taps reach imageClick and link taps reach urlClick.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/WebView.h"

class HtmlPageView : public ui::View, public ui::WebViewDelegate {
public:
    // Called with no error on success, with the error's text otherwise.
    using CompletionBlock = std::function<void(const std::optional<std::string>& error)>;
    // Hands a picture's local path over later (any thread); "" for none.
    using ImageLoadingCompletion = std::function<void(const std::string& path)>;
    // Returns the local path of the picture at the address now, or "" and
    // calls the completion when it has one.
    using ImageLoadingBlock = std::function<std::string(const std::string& address, ImageLoadingCompletion completion)>;
    using ClickBlock = std::function<void(const std::string& address)>;

    // The two video hosts whose players may load in the page.
    static constexpr const char* kVideoHost1 = "embed.videohost.test";
    static constexpr const char* kVideoHost2 = "player.videohost2.test";

    explicit HtmlPageView(const ui::Rect& frame = {});
    ~HtmlPageView() override;
    static std::shared_ptr<HtmlPageView> create(const ui::Rect& frame = {});
    const char* className() const override { return "HtmlPageView"; }

    const std::shared_ptr<ui::WebView>& webView() const { return webView_; }
    ui::ScrollView* scrollView() const;

    // Prepares and loads the fragment. A missing fragment (std::nullopt, as
    // for a bundle file that is not there) leaves a blank page and ends in
    // the completion with an error.
    void loadHtmlBody(const std::optional<std::string>& fragment, CompletionBlock competition);
    void clean();
    std::string stringByEvaluatingJavaScriptFromString(const std::string& script);

    bool loaded() const;
    std::string jsCode() const;
    std::map<std::string, std::string> imgURLforHash() const;
    std::vector<std::string> images() const;  // the image addresses in document order

    // Settings (read when a load starts).
    double maxWidthPortrait = 320;
    double maxWidthLandscape = 480;
    std::vector<std::string> blockTags;
    std::vector<std::string> removeTags;
    std::string fontFamily;
    double fontSize = 14;
    double lineHeight = 1.4;
    std::optional<std::string> defaultImagePath;
    bool disableAHrefForImages = true;

    void setImageLoading(ImageLoadingBlock b);
    void setImageClick(ClickBlock b);
    void setUrlClick(ClickBlock b);
    void setCompetitionBlock(CompletionBlock b);

    // The steps of the page builder, each on the text; they record ids,
    // addresses and script into the current load.
    std::string removeTag(const std::string& tag, const std::string& html) const;
    std::string prepareImagesInHtml(const std::string& html);
    std::string loadImagesBasedOnHtml(const std::string& html);
    std::string simplifyTablesInHtml(const std::string& html) const;
    std::string removeExtraLineBreaksInHtml(const std::string& html) const;
    std::string extendYouTubeSupportInHtml(const std::string& html) const;
    std::string disableIFrameForNonSupportedSrcInHtml(const std::string& html);
    // All steps and the page around the fragment, as the load does it.
    std::string buildPage(const std::string& fragment);

    static std::string getSystemFont();
    static void removeBackgroundFromWebView(ui::WebView& webView);
    static std::string md5OfString(const std::string& text);
    // Text safe inside a script string literal in single or double quotes.
    static std::string escapeForScript(const std::string& text);

    // The web view's delegate: the navigation filter and load events.
    bool webViewShouldStartLoad(ui::WebView* webView, const std::string& url, ui::WebNavigationType type) override;
    void webViewDidStartLoad(ui::WebView* webView) override;
    void webViewDidFinishLoad(ui::WebView* webView) override;
    void webViewDidFailLoad(ui::WebView* webView, const std::string& error) override;

private:
    // What one load collects; replaced by every load and by clean, so work
    // that belongs to an older load can tell and drop itself.
    struct LoadState {
        unsigned generation = 0;
        mutable std::mutex mutex;
        std::string jsCode;
        std::map<std::string, std::string> imgURLforHash;
        std::vector<std::string> imgURLs;
        std::atomic<bool> loaded{false};
    };
    std::shared_ptr<LoadState> state() const;
    std::shared_ptr<LoadState> resetState();
    void appendScript(const std::shared_ptr<LoadState>& s, const std::string& script);
    std::string hideScript(const std::string& id) const;
    struct Settings {
        double maxWidthPortrait, maxWidthLandscape, fontSize, lineHeight;
        std::vector<std::string> blockTags, removeTags;
        std::string fontFamily;
        std::optional<std::string> defaultImagePath;
        bool disableAHrefForImages;
        ImageLoadingBlock imageLoading;
    };
    Settings settings() const;
    std::string prepareImages(const std::string& html, const std::shared_ptr<LoadState>& s);
    std::string loadImages(const std::string& html, const std::shared_ptr<LoadState>& s, const Settings& settings);
    std::string disableIFrames(const std::string& html, const std::shared_ptr<LoadState>& s);
    std::string build(const std::string& fragment, const std::shared_ptr<LoadState>& s, const Settings& settings);
    bool filter(const std::string& url, ui::WebNavigationType type, const std::shared_ptr<LoadState>& s);

    std::shared_ptr<ui::WebView> webView_;
    mutable std::mutex mutex_;  // guards state_ and the blocks
    std::shared_ptr<LoadState> state_;
    std::atomic<unsigned> generation_{0};
    ImageLoadingBlock imageLoading_;
    ClickBlock imageClick_;
    ClickBlock urlClick_;
    CompletionBlock competitionBlock_;
};
