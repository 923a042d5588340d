#pragma once
// The app on the desktop: the window tree shown in an SDL window of the
// phone's size, the picture refreshed after each display pass and while
// animations run, the mouse turned into touches and the keyboard into text
// for the focused field. Closing the window ends the app through the
// foundation's exit hook. Without a display the shell says so and runs
// headless (the run loop without a window).

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "platform/shell/Backend.h"
#include "platform/ui/Window.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
struct _SDL_Sensor;
typedef struct _SDL_Sensor SDL_Sensor;
struct _SDL_GameController;
typedef struct _SDL_GameController SDL_GameController;
union SDL_Event;

namespace shell {

struct ShellOptions {
    // The tall screen: 320x568 points at scale 2 (640x1136 pixels);
    // otherwise 320x480 points at `scale`.
    bool tallScreen = false;
    double scale = 1;
    std::string title = "Quenta";
    // Where the list of visible texts and their frames is written after each
    // picture shown (ViewList.h); empty: nowhere. From QUENTA_VIEW_LIST, for
    // tests that drive the real program.
    std::string viewListPath;

    // "--tall" selects the tall screen, "--scale=2" the scale.
    static ShellOptions fromArgs(int argc, char** argv);
    ui::Size screenSize() const { return tallScreen ? ui::Size{320, 568} : ui::Size{320, 480}; }
    double screenScale() const { return tallScreen ? 2 : (scale > 0 ? scale : 1); }
};

class Shell : public Backend {
public:
    explicit Shell(ShellOptions options = {});
    ~Shell() override;
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // A display is there when SDL_VIDEODRIVER or DISPLAY (or WAYLAND_DISPLAY) is set.
    static bool hasDisplay();

    // Sets the main screen, makes the window tree and, with a display, opens
    // the SDL window. Returns false when it runs headless.
    bool start();
    bool isHeadless() const override { return sdlWindow_ == nullptr; }
    ui::Window& window() override { return *window_; }
    double scale() const override { return options_.screenScale(); }
    ui::ImageRef snapshot() override { return window_->render(options_.screenScale()); }
    const std::shared_ptr<ui::Window>& windowRef() const { return window_; }
    const ShellOptions& options() const { return options_; }

    // Runs the main run loop until stop() or the window is closed. With a
    // window, its refreshes drive the frame clock.
    void run();
    void stop();

    // Handles the pending window events; returns how many it handled.
    int pumpEvents();
    // Handles one event (mouse, keys, text, closing).
    void handleEvent(const SDL_Event& event);
    // Draws the tree into the window now.
    void present() override;
    int framesPresented() const { return frames_; }
    SDL_Window* sdlWindow() const { return sdlWindow_; }

    // One refresh of the window, as the run loop does sixty times a second:
    // reads what a driver asked (ViewList.h), handles the pending events,
    // moves the frame clock, shows the picture when it changed and writes
    // the list of visible texts.
    void refresh();

private:
    void writeViewList();
    // Reads what the driver asked (<list>.ask, see ViewList.h).
    void readAsked();
    // Feeds the shared accelerometer from SDL's sensor, or failing that from
    // a game controller's, when one is there.
    void openAccelerometer();
    void closeAccelerometer();
    ui::Point toPoints(int x, int y) const;

    ShellOptions options_;
    std::shared_ptr<ui::Window> window_;
    SDL_Window* sdlWindow_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    bool sdlStarted_ = false;
    bool mouseDown_ = false;
    std::optional<std::string> lastViewList_;
    std::string asked_;
    bool dirty_ = true;
    bool running_ = false;
    int frames_ = 0;
    foundation::TimerRef ticker_;
    SDL_Sensor* sensor_ = nullptr;
    SDL_GameController* controller_ = nullptr;
};

}  // namespace shell
