#include "tools/screenshots/ScreenShots.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/shell/Driver.h"
#include "platform/ui/Navigation.h"
#include "platform/ui/Window.h"

namespace screenshots {

namespace {

// A fresh $QUENTA_HOME for one picture, put back afterwards.
class ScratchHome {
public:
    ScratchHome() {
        if (const char* old = getenv("QUENTA_HOME")) old_ = old;
        char pattern[] = "/tmp/quenta-screenshot-XXXXXX";
        if (const char* dir = mkdtemp(pattern)) dir_ = dir;
        if (!dir_.empty()) setenv("QUENTA_HOME", dir_.c_str(), 1);
        foundation::UserDefaults::resetStandard();
    }
    ~ScratchHome() {
        foundation::UserDefaults::resetStandard();
        if (old_)
            setenv("QUENTA_HOME", old_->c_str(), 1);
        else
            unsetenv("QUENTA_HOME");
        if (!dir_.empty()) foundation::removeItem(dir_);
    }
    bool ok() const { return !dir_.empty(); }

private:
    std::string dir_;
    std::optional<std::string> old_;
};

bool fail(foundation::ErrorRef* error, ScreenShotErrorCode code, const std::string& why) {
    if (error) *error = foundation::Error::make(kScreenShotErrorDomain, code, why);
    return false;
}

}  // namespace

bool renderScreenShot(const std::function<std::unique_ptr<ui::ScreenMap>()>& makeMap, const ScreenShot& shot,
                      const std::string& path, foundation::ErrorRef* error) {
    ScratchHome home;
    if (!home.ok()) return fail(error, kScreenShotNoHome, "no temporary home folder");
    foundation::resetProcessWideObjects();
    foundation::ManualClockScope clock;
    bool written = false;
    {
        shell::Driver driver(shot.size, shot.scale);
        if (shot.prepare) shot.prepare();
        std::unique_ptr<ui::ScreenMap> map = makeMap();
        std::shared_ptr<ui::ViewController> screen =
            map ? map->instantiateViewControllerWithIdentifier(shot.screen) : nullptr;
        if (!screen) {
            foundation::resetProcessWideObjects();
            return fail(error, kScreenShotNoSuchScreen, "the screen map has no screen \"" + shot.screen + "\"");
        }
        std::shared_ptr<ui::ViewController> shown = screen;
        if (shot.inNavigation) shown = std::make_shared<ui::NavigationController>(screen);
        shown->view()->setFrame(driver.window().bounds());
        shown->beginAppearanceTransition(true, false);
        driver.window().addSubview(shown->viewRef());
        shown->endAppearanceTransition();
        driver.settle();
        if (shot.act) shot.act(*screen);
        if (shot.drive) shot.drive(*screen, driver);
        driver.settle();
        written = driver.saveSnapshot(path);
        shown->beginAppearanceTransition(false, false);
        shown->viewRef()->removeFromSuperview();
        shown->endAppearanceTransition();
        foundation::resetProcessWideObjects();
        driver.settle();
    }
    foundation::RunLoop::main().drain();
    if (!written) return fail(error, kScreenShotNotWritten, "cannot write " + path);
    return true;
}

int screenshotsMain(int argc, char** argv, const std::function<std::unique_ptr<ui::ScreenMap>()>& makeMap,
                    const std::vector<ScreenShot>& entries) {
    foundation::RunLoop::setMainThread();
    std::string out = foundation::joinPath(QUENTA_SOURCE_DIR, "docs/screens");
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else if (a == "--list") {
            for (const ScreenShot& e : entries) std::printf("%s\t%s\n", e.name.c_str(), e.screen.c_str());
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "usage: %s [--out DIR] [--list] [NAME...]\n", argv[0]);
            return 2;
        } else {
            names.push_back(a);
        }
    }
    if (!foundation::createDirectories(out)) {
        std::fprintf(stderr, "cannot make %s\n", out.c_str());
        return 1;
    }
    int failures = 0;
    for (const std::string& n : names) {
        bool known = false;
        for (const ScreenShot& e : entries) known = known || e.name == n;
        if (!known) {
            std::fprintf(stderr, "no screenshot named %s\n", n.c_str());
            ++failures;
        }
    }
    for (const ScreenShot& e : entries) {
        if (!names.empty() && std::find(names.begin(), names.end(), e.name) == names.end()) continue;
        const std::string path = foundation::joinPath(out, e.name + ".png");
        foundation::ErrorRef error;
        if (renderScreenShot(makeMap, e, path, &error)) {
            std::printf("%s\n", path.c_str());
        } else {
            std::fprintf(stderr, "%s: %s\n", e.name.c_str(), error->message.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace screenshots
