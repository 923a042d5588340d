#include "platform/shell/Shell.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/foundation/App.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/shell/ViewList.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"

namespace shell {

ShellOptions ShellOptions::fromArgs(int argc, char** argv) {
    ShellOptions o;
    if (const char* list = std::getenv("QUENTA_VIEW_LIST"); list && *list) o.viewListPath = list;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i] ? argv[i] : "";
        if (a == "--tall") o.tallScreen = true;
        if (a.rfind("--scale=", 0) == 0) {
            double s = std::atof(a.c_str() + 8);
            if (s == 1 || s == 2) o.scale = s;
        }
    }
    return o;
}

bool Shell::hasDisplay() {
    for (const char* var : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(var);
        if (v && *v) return true;
    }
    return false;
}

Shell::Shell(ShellOptions options) : options_(std::move(options)) {}

Shell::~Shell() {
    ui::setDisplayPassObserver(nullptr);
    closeAccelerometer();
    if (ticker_) ticker_->invalidate();
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (sdlWindow_) SDL_DestroyWindow(sdlWindow_);
    // SDL's video layer stays up for the life of the process: it loads the
    // display libraries once, and a later shell reuses them.
}

bool Shell::start() {
    ui::Size size = options_.screenSize();
    double scale = options_.screenScale();
    ui::Screen::main().setSize(size);
    ui::Screen::main().setScale(scale);
    if (!window_) {
        window_ = ui::Window::create({0, 0, size.width, size.height});
        window_->setBackgroundColor(ui::Color::blackColor());
        window_->makeKeyAndVisible();
    }
    ui::setDisplayPassObserver([this] { dirty_ = true; });

    if (!hasDisplay()) {
        foundation::warn("quenta: no display (DISPLAY and SDL_VIDEODRIVER are unset): running headless");
        return false;
    }
    // The window's pixels go up through SDL's plain framebuffer. Left to
    // itself SDL backs the window surface with a GLX context made current on
    // this thread, and the GL dispatcher then refuses every EGL context the
    // engine views make current here: the code screen's digits never drew.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        foundation::warn("quenta: cannot open the display (%s): running headless", SDL_GetError());
        return false;
    }
    sdlStarted_ = true;
    int pw = int(size.width * scale), ph = int(size.height * scale);
    sdlWindow_ = SDL_CreateWindow(options_.title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, pw, ph,
                                  SDL_WINDOW_SHOWN);
    if (sdlWindow_) renderer_ = SDL_CreateRenderer(sdlWindow_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_)
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, pw, ph);
    if (!texture_) {
        foundation::warn("quenta: cannot make the window (%s): running headless", SDL_GetError());
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (sdlWindow_) SDL_DestroyWindow(sdlWindow_);
        renderer_ = nullptr;
        sdlWindow_ = nullptr;
        return false;
    }
    SDL_StartTextInput();
    openAccelerometer();
    dirty_ = true;
    present();
    return true;
}

void Shell::openAccelerometer() {
    if (SDL_InitSubSystem(SDL_INIT_SENSOR | SDL_INIT_GAMECONTROLLER) != 0) return;
    // SDL reports the force holding the device up in m/s2; the phone's
    // convention is acceleration in g, at rest -1 along the axis pointing up.
    auto toReading = [](const float v[3]) {
        return ui::AccelerationReading{-v[0] / SDL_STANDARD_GRAVITY, -v[1] / SDL_STANDARD_GRAVITY,
                                       -v[2] / SDL_STANDARD_GRAVITY};
    };
    for (int i = 0; i < SDL_NumSensors() && !sensor_; ++i)
        if (SDL_SensorGetDeviceType(i) == SDL_SENSOR_ACCEL) sensor_ = SDL_SensorOpen(i);
    if (sensor_) {
        SDL_Sensor* sensor = sensor_;
        ui::Accelerometer::shared().setSource([sensor, toReading]() -> std::optional<ui::AccelerationReading> {
            float v[3];
            if (SDL_SensorGetData(sensor, v, 3) != 0) return std::nullopt;
            return toReading(v);
        });
        return;
    }
    for (int i = 0; i < SDL_NumJoysticks() && !controller_; ++i) {
        if (!SDL_IsGameController(i)) continue;
        SDL_GameController* c = SDL_GameControllerOpen(i);
        if (!c) continue;
        if (SDL_GameControllerHasSensor(c, SDL_SENSOR_ACCEL) &&
            SDL_GameControllerSetSensorEnabled(c, SDL_SENSOR_ACCEL, SDL_TRUE) == 0)
            controller_ = c;
        else
            SDL_GameControllerClose(c);
    }
    if (controller_) {
        SDL_GameController* c = controller_;
        ui::Accelerometer::shared().setSource([c, toReading]() -> std::optional<ui::AccelerationReading> {
            float v[3];
            if (SDL_GameControllerGetSensorData(c, SDL_SENSOR_ACCEL, v, 3) != 0) return std::nullopt;
            return toReading(v);
        });
    }
}

void Shell::closeAccelerometer() {
    if (!sensor_ && !controller_) return;
    ui::Accelerometer::shared().setSource(nullptr);
    if (sensor_) SDL_SensorClose(sensor_);
    if (controller_) SDL_GameControllerClose(controller_);
    sensor_ = nullptr;
    controller_ = nullptr;
}

void Shell::run() {
    running_ = true;
    auto& loop = foundation::RunLoop::main();
    auto timer = loop.addTimer(
        1.0 / 60, 1.0 / 60, [this](foundation::Timer&) { refresh(); }, foundation::kCommonModes);
    ticker_ = timer;
    bool external = !isHeadless();
    if (external) frameClock().setExternallyDriven(true);
    loop.run();
    if (external) frameClock().setExternallyDriven(false);
    timer->invalidate();
    running_ = false;
}

void Shell::stop() {
    running_ = false;
    foundation::RunLoop::main().stop();
}

void Shell::refresh() {
    // Before the events: whatever the driver sent before it asked is in
    // the queue by now and handled below.
    readAsked();
    pumpEvents();
    // One refresh of the window: display links draw before the picture is shown.
    if (frameClock().isExternallyDriven()) frameClock().tick(foundation::clock().monotonic());
    if (dirty_ || ui::activeAnimationCount() > 0 || ui::takeLayerTreeChanged())
        present();
    else
        writeViewList();  // a screen move can end after the last picture it changed
}

ui::Point Shell::toPoints(int x, int y) const {
    double s = options_.screenScale();
    return {x / s, y / s};
}

int Shell::pumpEvents() {
    if (!sdlStarted_) return 0;
    int n = 0;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        handleEvent(e);
        ++n;
    }
    return n;
}

void Shell::handleEvent(const SDL_Event& e) {
    double now = foundation::clock().monotonic();
    switch (e.type) {
        case SDL_QUIT:
            foundation::exitApp(0);
            stop();
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                foundation::exitApp(0);
                stop();
            } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
                dirty_ = true;
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button == SDL_BUTTON_LEFT) {
                mouseDown_ = true;
                window_->sendTouch(ui::TouchPhase::Began, toPoints(e.button.x, e.button.y), now);
            }
            break;
        case SDL_MOUSEMOTION:
            if (mouseDown_) window_->sendTouch(ui::TouchPhase::Moved, toPoints(e.motion.x, e.motion.y), now);
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button == SDL_BUTTON_LEFT && mouseDown_) {
                mouseDown_ = false;
                window_->sendTouch(ui::TouchPhase::Ended, toPoints(e.button.x, e.button.y), now);
            }
            break;
        case SDL_TEXTINPUT:
            window_->sendText(e.text.text);
            break;
        case SDL_KEYDOWN:
            if (e.key.keysym.sym == SDLK_BACKSPACE) window_->sendBackspace();
            if (e.key.keysym.sym == SDLK_RETURN) window_->sendText("\n");
            break;
        default:
            break;
    }
    // Work the events started (taps, text) is shown on the next tick.
    foundation::RunLoop::main().drain();
}

void Shell::present() {
    dirty_ = false;
    if (!texture_) return;
    auto img = window_->render(options_.screenScale());
    if (!img) return;
    cairo_surface_t* s = img->surface();
    cairo_surface_flush(s);
    SDL_UpdateTexture(texture_, nullptr, cairo_image_surface_get_data(s), cairo_image_surface_get_stride(s));
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    ++frames_;
    writeViewList();
}

void Shell::readAsked() {
    if (options_.viewListPath.empty()) return;
    if (auto asked = foundation::readFile(options_.viewListPath + kViewListAskSuffix)) {
        // One word on one line, as the driver writes it.
        std::string word = asked->substr(0, asked->find_first_of(" \t\r\n"));
        if (!word.empty()) asked_ = std::move(word);
    }
}

void Shell::writeViewList() {
    if (options_.viewListPath.empty()) return;
    std::string list;
    if (const std::string motion = ui::screenMotion(); !motion.empty())
        list += std::string(kViewListMovingLine) + " " + motion + "\n";
    if (!asked_.empty()) list += std::string(kViewListSeenLine) + " " + asked_ + "\n";
    list += describeVisibleTexts(*window_);
    if (lastViewList_ && list == *lastViewList_) return;
    // Written whole and then renamed, so a reader never sees half a list.
    if (foundation::writeFileAtomically(options_.viewListPath, list)) lastViewList_ = std::move(list);
}

}  // namespace shell
