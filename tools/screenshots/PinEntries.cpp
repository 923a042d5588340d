// Pictures of the lock area: the start-PIN entry, the freeze, setting the
// PIN, the safe phone and the forgotten-PIN screen.
#include "tools/screenshots/PinEntries.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/screens/pin/PinScreens.h"
#include "app/screens/pin/StartPasswordViewController.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"

namespace screenshots {

namespace {

// A bound account's store with the lock keys given.
void seedStore(std::initializer_list<std::pair<const char*, std::string>> lock) {
    DBController db;
    db.initDatabase();
    namespace K = StoreKeys;
    for (const char* key : {K::uuid, K::mac, K::bid, K::diffTime, K::read_index, K::passward, K::safe_password,
                            K::safe_time, K::faild_count, K::safePhone})
        db.InsertTable(key, "null");
    db.UpdataTable("3.0.0", K::read_index);
    for (const auto& [key, value] : lock) db.UpdataTable(value, key);
}

// Points the app at a local socket that takes connections and never answers,
// so a request stays under way while the picture is drawn (nothing leaves
// the machine). The socket lives as long as the program.
void serverThatNeverAnswers() {
    static int fd = -1;
    if (fd < 0) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 8) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
        setenv("QUENTA_SERVER_URL", url.c_str(), 1);
    }
}

ScreenShot shot(const char* name, const char* screen, std::function<void()> prepare,
                std::function<void(ui::ViewController&)> act = {}) {
    ScreenShot s;
    s.name = name;
    s.screen = screen;
    s.prepare = std::move(prepare);
    s.act = std::move(act);
    return s;
}

}  // namespace

void addPinScreenShots(std::vector<ScreenShot>& entries) {
    namespace K = StoreKeys;
    // Two digits typed, two wrong PINs counted under the protection.
    entries.push_back(shot(
        "pin-entry", pinscreens::kStartPasswordScreen,
        [] {
            seedStore({{K::passward, "2468"}, {K::safe_password, "1"}, {K::faild_count, "2"}});
        },
        [](ui::ViewController& screen) {
            auto& pinScreen = static_cast<StartPasswordViewController&>(screen);
            pinScreen.passwordTxt()->insertText("1");
            pinScreen.passwordTxt()->insertText("3");
        }));
    // Frozen for another 25 minutes: the end on the server's clock, the
    // entry closed and the open button shown (the check's overlay let go).
    entries.push_back(shot(
        "pin-freeze", pinscreens::kStartPasswordScreen,
        [] {
            serverThatNeverAnswers();
            const long long end = (long long)foundation::clock().now() + 1500;
            seedStore({{K::passward, "2468"},
                       {K::safe_password, "1"},
                       {K::faild_count, "0"},
                       {K::safe_time, std::to_string(end)}});
        },
        [](ui::ViewController& screen) {
            auto& pinScreen = static_cast<StartPasswordViewController&>(screen);
            pinScreen.notifyProgressHUDToDisappear(StartPasswordViewController::kTagDecide);
            foundation::RunLoop::main().runUntil(
                [&] {
                    auto hud = pinScreen.hud(StartPasswordViewController::kTagDecide);
                    return !hud || !hud->taskInProgress();
                },
                5);
            static_cast<foundation::ManualClock&>(foundation::clock()).advance(1);
        }));
    entries.push_back(shot("pin-set", pinscreens::kSetPinScreen, [] { seedStore({}); }));
    entries.push_back(shot("pin-safe-phone", pinscreens::kRemoteDeleteScreen, [] { seedStore({}); }));
    entries.push_back(shot("pin-forgotten", pinscreens::kForgetPinScreen, [] {
        seedStore({{K::passward, "2468"}, {K::safePhone, "138******78"}});
    }));
}

}  // namespace screenshots
