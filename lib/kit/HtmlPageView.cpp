#include "lib/kit/HtmlPageView.h"

#include <glib.h>

#include <cstdio>

#include "platform/crypto/Digest.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Label.h"

namespace {

// A compiled pattern, made once and shared by every thread (matching does not
// change it). Bytes are matched as they are, so text that is not valid UTF-8
// cannot make a step fail.
class Pattern {
public:
    Pattern(const std::string& pattern, bool caseless) {
        GError* err = nullptr;
        int flags = G_REGEX_RAW | G_REGEX_OPTIMIZE | (caseless ? G_REGEX_CASELESS : 0);
        regex_ = g_regex_new(pattern.c_str(), GRegexCompileFlags(flags), GRegexMatchFlags(0), &err);
        if (err) {
            foundation::log("HtmlPageView: bad pattern ", pattern, ": ", err->message);
            g_error_free(err);
        }
    }
    ~Pattern() {
        if (regex_) g_regex_unref(regex_);
    }
    struct Match {
        size_t start, end;          // the whole match
        long groupStart, groupEnd;  // group 1, -1 when it did not take part
    };
    std::vector<Match> matches(const std::string& text) const {
        std::vector<Match> out;
        if (!regex_) return out;
        GMatchInfo* info = nullptr;
        g_regex_match_full(regex_, text.data(), gssize(text.size()), 0, GRegexMatchFlags(0), &info, nullptr);
        while (info && g_match_info_matches(info)) {
            int s = 0, e = 0, gs = -1, ge = -1;
            g_match_info_fetch_pos(info, 0, &s, &e);
            if (g_match_info_get_match_count(info) > 1) g_match_info_fetch_pos(info, 1, &gs, &ge);
            out.push_back({size_t(s), size_t(e), gs, ge});
            if (!g_match_info_next(info, nullptr)) break;
        }
        if (info) g_match_info_free(info);
        return out;
    }

private:
    GRegex* regex_ = nullptr;
};

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    std::string out;
    size_t i = 0;
    for (size_t at; (at = text.find(from, i)) != std::string::npos; i = at + from.size()) {
        out.append(text, i, at - i);
        out += to;
    }
    out.append(text, i, std::string::npos);
    return out;
}

std::string format(const char* fmt, double a, double b = 0) {
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

std::string regexEscape(const std::string& s) {
    gchar* e = g_regex_escape_string(s.c_str(), int(s.size()));
    std::string out(e);
    g_free(e);
    return out;
}

const char* kImageClickScheme = "native";

}  // namespace

HtmlPageView::HtmlPageView(const ui::Rect& frame) : ui::View(frame) {
    webView_ = ui::WebView::create({0, 0, frame.size.width, frame.size.height});
    webView_->setBackgroundColor(ui::Color::clearColor());
    webView_->setOpaque(false);
    webView_->setDelegate(this);
    webView_->setAutoresizingMask(ui::kAutoresizingFlexibleWidth | ui::kAutoresizingFlexibleHeight);
    webView_->setScalesPageToFit(false);
    webView_->setAllowsInlineMediaPlayback(true);
    webView_->setMediaPlaybackRequiresUserAction(false);
    removeBackgroundFromWebView(*webView_);
    addSubview(webView_);
    state_ = std::make_shared<LoadState>();
    fontFamily = getSystemFont();
}

HtmlPageView::~HtmlPageView() { webView_->setDelegate(nullptr); }

std::shared_ptr<HtmlPageView> HtmlPageView::create(const ui::Rect& frame) {
    return std::make_shared<HtmlPageView>(frame);
}

ui::ScrollView* HtmlPageView::scrollView() const { return webView_->scrollView(); }

std::shared_ptr<HtmlPageView::LoadState> HtmlPageView::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

std::shared_ptr<HtmlPageView::LoadState> HtmlPageView::resetState() {
    auto s = std::make_shared<LoadState>();
    s->generation = ++generation_;
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = s;
    return s;
}

bool HtmlPageView::loaded() const { return state()->loaded.load(); }

std::string HtmlPageView::jsCode() const {
    auto s = state();
    std::lock_guard<std::mutex> lock(s->mutex);
    return s->jsCode;
}

std::map<std::string, std::string> HtmlPageView::imgURLforHash() const {
    auto s = state();
    std::lock_guard<std::mutex> lock(s->mutex);
    return s->imgURLforHash;
}

std::vector<std::string> HtmlPageView::images() const {
    auto s = state();
    std::lock_guard<std::mutex> lock(s->mutex);
    return s->imgURLs;
}

void HtmlPageView::setImageLoading(ImageLoadingBlock b) {
    std::lock_guard<std::mutex> lock(mutex_);
    imageLoading_ = std::move(b);
}
void HtmlPageView::setImageClick(ClickBlock b) {
    std::lock_guard<std::mutex> lock(mutex_);
    imageClick_ = std::move(b);
}
void HtmlPageView::setUrlClick(ClickBlock b) {
    std::lock_guard<std::mutex> lock(mutex_);
    urlClick_ = std::move(b);
}
void HtmlPageView::setCompetitionBlock(CompletionBlock b) {
    std::lock_guard<std::mutex> lock(mutex_);
    competitionBlock_ = std::move(b);
}

HtmlPageView::Settings HtmlPageView::settings() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {maxWidthPortrait, maxWidthLandscape,     fontSize,     lineHeight, blockTags, removeTags, fontFamily,
            defaultImagePath, disableAHrefForImages, imageLoading_};
}

void HtmlPageView::appendScript(const std::shared_ptr<LoadState>& s, const std::string& script) {
    std::lock_guard<std::mutex> lock(s->mutex);
    s->jsCode += script;
}

std::string HtmlPageView::escapeForScript(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\'':
                out += "\\'";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '<':
                out += "\\x3c";
                break;
            default:
                // U+2028 and U+2029 end a line inside a script literal too.
                if (c == '\xE2' && i + 2 < text.size() && text[i + 1] == '\x80' &&
                    (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
                    out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
                    i += 2;
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string HtmlPageView::hideScript(const std::string& id) const {
    return "var obj = document.getElementById('" + escapeForScript(id) + "'); obj.style.display='none';";
}

// --- class operations ---------------------------------------------------------

std::string HtmlPageView::getSystemFont() {
    static const std::string family = "'HelveticaNeue-Light', 'HelveticaNeue'";
    return family;
}

void HtmlPageView::removeBackgroundFromWebView(ui::WebView& webView) {
    for (const auto& sub : webView.subviews()) {
        if (!dynamic_cast<ui::ScrollView*>(sub.get())) continue;
        for (const auto& inner : sub->subviews())
            if (dynamic_cast<ui::ImageView*>(inner.get())) inner->setHidden(true);
    }
}

std::string HtmlPageView::md5OfString(const std::string& text) { return crypto::hex(crypto::md5(text)); }

// --- the page builder -----------------------------------------------------------

std::string HtmlPageView::removeTag(const std::string& tag, const std::string& html) const {
    Pattern p("</?\\s*" + regexEscape(tag) + "[^>]*>", true);
    std::string out;
    size_t i = 0;
    for (const auto& m : p.matches(html)) {
        out.append(html, i, m.start - i);
        i = m.end;
    }
    out.append(html, i, std::string::npos);
    return out;
}

std::string HtmlPageView::prepareImagesInHtml(const std::string& html) { return prepareImages(html, state()); }

std::string HtmlPageView::prepareImages(const std::string& html, const std::shared_ptr<LoadState>& s) {
    static const Pattern p("<img[^>]*src=[\"|'](.*?)[\"|'][^>]*/*>", true);
    std::string out;
    size_t i = 0;
    std::map<std::string, int> seen;
    for (const auto& m : p.matches(html)) {
        std::string address = html.substr(size_t(m.groupStart), size_t(m.groupEnd - m.groupStart));
        std::string id = md5OfString(address);
        out.append(html, i, m.start - i);
        out += "<img id=\"" + id + "\" src=\"" + address + "\"/>";
        i = m.end;
        std::string eid = escapeForScript(id);
        std::string listener = ".addEventListener('click', function(event) {window.location='" +
                               std::string(kImageClickScheme) + "://imageclick?" + eid + "';}, false);";
        int occurrence = seen[id]++;
        std::string script;
        if (occurrence == 0) {
            script = "document.getElementById('" + eid + "')" + listener;
        } else {
            // A later picture with the same address shares the id; it is found
            // by its place among the pictures with that id, so it is clickable
            // too and the first one does not get a second listener.
            script =
                "(function(){var a=document.getElementsByTagName('img'),n=0;for(var k=0;k<a.length;k++)"
                "{if(a[k].id=='" +
                eid + "'&&n++==" + std::to_string(occurrence) + "){a[k]" + listener + "}}})();";
        }
        std::lock_guard<std::mutex> lock(s->mutex);
        s->imgURLforHash[id] = address;
        s->imgURLs.push_back(address);
        s->jsCode += script;
    }
    out.append(html, i, std::string::npos);
    return out;
}

std::string HtmlPageView::loadImagesBasedOnHtml(const std::string& html) {
    return loadImages(html, state(), settings());
}

std::string HtmlPageView::loadImages(const std::string& html, const std::shared_ptr<LoadState>& s,
                                     const Settings& set) {
    if (!set.imageLoading) return html;
    std::map<std::string, std::string> ids;
    {
        std::lock_guard<std::mutex> lock(s->mutex);
        ids = s->imgURLforHash;
    }
    std::string text = html;
    std::weak_ptr<View> weakSelf = weak_from_this();
    std::weak_ptr<LoadState> weakState = s;
    for (const auto& entry : ids) {
        // Plain names: clang 14 cannot capture a structured binding in a lambda.
        const std::string& id = entry.first;
        const std::string& address = entry.second;
        HtmlPageView* self = this;
        auto completion = [weakSelf, weakState, self, id](const std::string& path) {
            auto st = weakState.lock();
            if (!st || weakSelf.expired() || st->generation != self->generation_.load()) return;  // an older page
            std::string script = path.empty() ? self->hideScript(id)
                                              : "var obj = document.getElementById('" + escapeForScript(id) +
                                                    "'); obj.src ='" + escapeForScript(path) + "';";
            if (st->loaded.load()) {
                foundation::performOnMainThread([weakSelf, weakState, self, script] {
                    auto st2 = weakState.lock();
                    if (!st2 || weakSelf.expired() || st2->generation != self->generation_.load()) return;
                    self->webView_->stringByEvaluatingJavaScriptFromString(script);
                });
            } else {
                self->appendScript(st, script);
            }
        };
        std::string path = set.imageLoading(address, completion);
        if (!path.empty())
            text = replaceAll(text, address, path);
        else if (set.defaultImagePath)
            text = replaceAll(text, address, *set.defaultImagePath);
        else
            appendScript(s, hideScript(id));
    }
    return text;
}

std::string HtmlPageView::simplifyTablesInHtml(const std::string& html) const {
    static const Pattern p("<table.*width(.?)['|\"].*>", true);
    std::string out;
    size_t i = 0;
    for (const auto& m : p.matches(html)) {
        long len = m.groupEnd - m.groupStart;
        if (m.groupStart < 5 || len <= 0) continue;
        size_t cut = size_t(m.groupStart - 5);
        if (cut < i) continue;
        out.append(html, i, cut - i);
        i = cut + size_t(len);
    }
    out.append(html, i, std::string::npos);
    return out;
}

std::string HtmlPageView::removeExtraLineBreaksInHtml(const std::string& html) const {
    std::string t = replaceAll(html, "\n", " ");
    t = replaceAll(t, "\t", " ");
    t = replaceAll(t, "> <", "><");
    t = replaceAll(t, "  ", " ");
    static const Pattern p("<br[^>]*>\\s*<br[^>]*>", true);
    std::string out;
    size_t i = 0;
    for (const auto& m : p.matches(t)) {
        out.append(t, i, m.start - i);
        out += "<br>";
        i = m.end;
    }
    out.append(t, i, std::string::npos);
    return out;
}

std::string HtmlPageView::extendYouTubeSupportInHtml(const std::string& html) const {
    static const Pattern p("<object.*src.*/v/(.*?)['|\"].*object\\s*>", true);
    std::string out;
    size_t i = 0;
    for (const auto& m : p.matches(html)) {
        std::string video = html.substr(size_t(m.groupStart), size_t(m.groupEnd - m.groupStart));
        out.append(html, i, m.start - i);
        out += "<iframe src=\"http://" + std::string(kVideoHost1) + "/embed/" + video +
               "\" frameborder=\"0\" allowfullscreen></iframe>";
        i = m.end;
    }
    out.append(html, i, std::string::npos);
    return out;
}

std::string HtmlPageView::disableIFrameForNonSupportedSrcInHtml(const std::string& html) {
    return disableIFrames(html, state());
}

std::string HtmlPageView::disableIFrames(const std::string& html, const std::shared_ptr<LoadState>& s) {
    static const Pattern p("<iframe[^>]*src=[\"|'](.*?)[\"|'].*/\\s*iframe\\s*>", false);
    std::string out;
    size_t i = 0;
    for (const auto& m : p.matches(html)) {
        std::string address = html.substr(size_t(m.groupStart), size_t(m.groupEnd - m.groupStart));
        if (filter(address, ui::WebNavigationType::Other, s)) continue;
        out.append(html, i, m.start - i);
        i = m.end;
    }
    out.append(html, i, std::string::npos);
    return out;
}

std::string HtmlPageView::buildPage(const std::string& fragment) { return build(fragment, state(), settings()); }

std::string HtmlPageView::build(const std::string& fragment, const std::shared_ptr<LoadState>& s, const Settings& set) {
    std::string html = prepareImages(fragment, s);
    html = loadImages(html, s, set);
    html = simplifyTablesInHtml(html);
    html = removeExtraLineBreaksInHtml(html);
    html = extendYouTubeSupportInHtml(html);
    html = disableIFrames(html, s);
    std::string hidden;
    for (const auto& tag : set.blockTags) hidden += tag + " {display:none;}";
    for (const auto& tag : set.removeTags) html = removeTag(tag, html);
    if (set.disableAHrefForImages)
        appendScript(s,
                     " var link, img, arr;arr = document.getElementsByTagName('img');for (i in arr) {img = "
                     "arr[i];link = img.parentNode;if (link && link.tagName.toLowerCase() == 'a') "
                     "{link.removeAttribute('href');}}");
    std::string viewport =
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1.0; user-scalable=0; "
        "minimum-scale=1.0; maximum-scale=1.0\"/>";
    std::string htmlStyle =
        "html {-webkit-tap-highlight-color:rgba(0,0,0,0); -webkit-text-size-adjust:none; word-wrap:break-word;}";
    std::string bodyStyle = "body {margin:0; padding:10px 9px; font-family:" + set.fontFamily +
                            "; font-size:" + format("%.0f", set.fontSize) +
                            "; line-height:" + format("%.1f", set.lineHeight) +
                            ";} a:link {color: #3A75C4; text-decoration: underline;} img,video,iframe {display:block; "
                            "padding:0 0 5px; margin:0 auto;} table {font-size:10px;}";
    std::string media = format(
        "@media (orientation:portrait) { img,video,iframe {max-width:%.0fpx; height:auto;}} @media "
        "(orientation:landscape) { img,video,iframe {max-width:%.0fpx; height:auto;}}",
        set.maxWidthPortrait - 18, set.maxWidthLandscape - 18);
    return "<html><head>" + viewport + "<style type=\"text/css\">" + htmlStyle + " " + bodyStyle + " " + media + " " +
           hidden + "</style></head><body>" + html + "</body></html>";
}

// --- loading --------------------------------------------------------------------

void HtmlPageView::loadHtmlBody(const std::optional<std::string>& fragment, CompletionBlock competition) {
    setCompetitionBlock(competition);
    clean();
    auto s = state();
    std::weak_ptr<View> weakSelf = weak_from_this();
    HtmlPageView* self = this;
    if (!fragment) {
        foundation::postToMain([weakSelf, self, s, competition] {
            if (weakSelf.expired() || s->generation != self->generation_.load()) return;
            if (competition) competition(std::string("the page has no content"));
        });
        return;
    }
    Settings set = settings();
    std::string base = "file://" + foundation::bundleDir();
    if (base.back() != '/') base += '/';
    foundation::dispatchGlobal([weakSelf, self, s, set, base, text = *fragment] {
        if (weakSelf.expired()) return;
        std::string page = self->build(text, s, set);
        foundation::performOnMainThread([weakSelf, self, s, page, base] {
            // A newer load (or clean) replaced this one while it was prepared.
            if (weakSelf.expired()) return;
            if (s->generation != self->generation_.load()) {
                foundation::log("HtmlPageView: dropped the page of an older load");
                return;
            }
            self->webView_->loadHTMLString(page, base);
        });
    });
}

void HtmlPageView::clean() {
    resetState();
    webView_->stringByEvaluatingJavaScriptFromString("document.body.innerHTML = \"\";");
}

std::string HtmlPageView::stringByEvaluatingJavaScriptFromString(const std::string& script) {
    return webView_->stringByEvaluatingJavaScriptFromString(script);
}

// --- the web view's delegate ----------------------------------------------------

bool HtmlPageView::webViewShouldStartLoad(ui::WebView*, const std::string& url, ui::WebNavigationType type) {
    return filter(url, type, state());
}

bool HtmlPageView::filter(const std::string& url, ui::WebNavigationType type, const std::shared_ptr<LoadState>& s) {
    std::string scheme, host, query;
    size_t colon = url.find(':');
    if (colon != std::string::npos) {
        scheme = url.substr(0, colon);
        for (auto& c : scheme) c = char(std::tolower(static_cast<unsigned char>(c)));
        size_t rest = colon + 1;
        if (url.compare(rest, 2, "//") == 0) {
            size_t end = url.find_first_of("/?#", rest + 2);
            host = url.substr(rest + 2, end == std::string::npos ? std::string::npos : end - rest - 2);
            size_t at = host.rfind('@');
            if (at != std::string::npos) host = host.substr(at + 1);
            size_t port = host.find(':');
            if (port != std::string::npos) host.resize(port);
            for (auto& c : host) c = char(std::tolower(static_cast<unsigned char>(c)));
        }
        size_t q = url.find('?');
        if (q != std::string::npos) {
            size_t hash = url.find('#', q);
            query = url.substr(q + 1, hash == std::string::npos ? std::string::npos : hash - q - 1);
        }
    }
    if (scheme == kImageClickScheme) {
        ClickBlock click;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            click = imageClick_;
        }
        if (host == "imageclick" && click) {
            std::string address;
            {
                std::lock_guard<std::mutex> lock(s->mutex);
                auto it = s->imgURLforHash.find(query);
                if (it != s->imgURLforHash.end()) address = it->second;
            }
            click(address);
        }
        return false;
    }
    if (url == "about:blank" || scheme == "file") return true;
    if (!host.empty() && (host == kVideoHost1 || host == kVideoHost2)) return true;
    if (url.find(std::string("src=http://") + kVideoHost1) != std::string::npos) return false;
    if (type == ui::WebNavigationType::Other) {
        foundation::log("Deny load url from UIWebView - ", url);
    } else if (type == ui::WebNavigationType::LinkClicked) {
        ClickBlock click;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            click = urlClick_;
        }
        if (click) click(url);
    }
    return false;
}

void HtmlPageView::webViewDidStartLoad(ui::WebView*) {}

void HtmlPageView::webViewDidFinishLoad(ui::WebView*) {
    auto s = state();
    s->loaded = true;
    std::weak_ptr<View> weakSelf = weak_from_this();
    HtmlPageView* self = this;
    foundation::RunLoop::main().performAfter(0.1, [weakSelf, self, s] {
        if (weakSelf.expired() || s->generation != self->generation_.load()) return;
        std::string code;
        {
            std::lock_guard<std::mutex> lock(s->mutex);
            code = s->jsCode;
        }
        self->webView_->stringByEvaluatingJavaScriptFromString(code);
        CompletionBlock done;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            done = self->competitionBlock_;
        }
        if (done) done(std::nullopt);
    });
}

void HtmlPageView::webViewDidFailLoad(ui::WebView*, const std::string& error) {
    CompletionBlock done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done = competitionBlock_;
    }
    if (done) done(error);
}
