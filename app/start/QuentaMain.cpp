#include "app/start/QuentaMain.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/start/KAVOStoryboard.h"
#include "lib/httpauth/HttpRequestAuthentication.h"
#include "platform/foundation/App.h"
#include "platform/foundation/DataFolderLock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/shell/Shell.h"
#include "platform/ui/Application.h"
#include "platform/ui/MemoryWarnings.h"

LaunchedApp launchApp(const std::shared_ptr<ui::Window>& window, std::unique_ptr<ui::ScreenMap> storyboard,
                      const foundation::Dictionary& launchOptions) {
    LaunchedApp app;
    app.delegate = std::make_shared<KAVOAppDelegate>();
    app.delegate->setWindow(window);
    app.storyboard = std::move(storyboard);
    app.rootViewController = app.storyboard->instantiateInitialViewController();
    if (app.rootViewController) {
        app.rootViewController->view()->setFrame(window->bounds());
        window->addSubview(app.rootViewController->viewRef());
    }
    ui::Application::shared().launch(app.delegate, launchOptions);
    window->makeKeyAndVisible();
    if (app.rootViewController) {
        app.rootViewController->beginAppearanceTransition(true, false);
        app.rootViewController->endAppearanceTransition();
    }
    return app;
}

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

int quentaMain(int argc, char** argv) {
    ignoreFileSizeSignal();
    foundation::RunLoop::setMainThread();
    std::string openURL, sourceApp;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--open-url" && i + 1 < argc)
            openURL = argv[++i];
        else if (a == "--source-app" && i + 1 < argc)
            sourceApp = argv[++i];
    }

    // One program per data folder: a second one is refused before it opens
    // a window or touches the store.
    std::string refused;
    auto folderLock = foundation::DataFolderLock::acquire(foundation::homeDir(), &refused);
    if (!folderLock) {
        std::fprintf(stderr, "%s\n", refused.c_str());
        return 1;
    }

    shell::Shell shell(shell::ShellOptions::fromArgs(argc, argv));
    shell.start();
    // Leaving the app (closing the window, or the exit after a remote
    // log-out) is the end of the process: the delegate hears it first.
    foundation::setExitHandler([](int code) {
        ui::Application::shared().terminate();
        std::fflush(nullptr);
        std::_Exit(code);
    });

    // Other apps this desktop stands in for (the payment client's "nimbra",
    // say): their schemes count as installed.
    if (const char* schemes = std::getenv("QUENTA_URL_SCHEMES")) {
        std::string list = schemes;
        for (size_t start = 0; start <= list.size();) {
            const size_t comma = std::min(list.find(',', start), list.size());
            if (comma > start) ui::Application::shared().registerURLScheme(list.substr(start, comma - start));
            start = comma + 1;
        }
    }

    foundation::Dictionary options;
    if (!openURL.empty()) options.set("url", openURL);
    // Challenges no screen answers show the HTTP login sheet.
    http::installAuthenticationDialog();
    LaunchedApp app = launchApp(shell.windowRef(), KAVOStoryboard::make(), options);
    // The kernel's memory-pressure notification, where there is one, reaches
    // the app as memory warnings.
    if (ui::MemoryWarnings::shared().start(ui::MemoryPressureSource::system()))
        foundation::log("memory warnings from ", ui::MemoryWarnings::shared().sourceName());
    if (!openURL.empty()) {
        foundation::postToMain(
            [openURL, sourceApp] { ui::Application::shared().deliverIncomingURL(openURL, sourceApp); });
    }
    shell.run();
    ui::MemoryWarnings::shared().stop();
    ui::Application::shared().terminate();
    // The delegate goes before the process's shared objects (the tracker it
    // stops on the way out).
    ui::Application::shared().setDelegate(nullptr);
    return 0;
}
