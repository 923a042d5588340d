// What the program costs while nobody touches it: its CPU share (every
// thread, user and system time, from /proc) over 30 seconds on each of four
// still screens: the first-start guide, the hub, and the code screen's two
// tabs (the digits and the nine stars). The program is the real one under a
// virtual display, reached as a person reaches those screens (the
// end-to-end fixtures start it: QUENTA_E2E_PROGRAM picks the binary, as for
// the walks; measure the release program). Each screen is measured once it
// has settled, after a few seconds more for what its opening started.
//
//   bench_idle [seconds]      (default 30)
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "app/core/CoreConstants.h"
#include "app/core/StoreKeys.h"
#include "app/screens/token/KAVOSafeProductViewController.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/e2e/AppSession.h"
#include "tests/support/e2e/Roads.h"

namespace {

struct Usage {
    double cpuSeconds = 0;
    int threads = 0;
};

// The program: this process's child whose name starts with "quenta".
pid_t programPid() {
    DIR* proc = opendir("/proc");
    pid_t found = 0;
    while (dirent* e = proc ? readdir(proc) : nullptr) {
        const pid_t pid = pid_t(std::atoi(e->d_name));
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid() && line.compare(open + 1, 6, "quenta") == 0) found = pid;
    }
    if (proc) closedir(proc);
    return found;
}

Usage usageOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    // Fields from the state on: state(3) ... utime(14) stime(15) ... num_threads(20).
    std::string field[18];
    for (auto& f : field) rest >> f;
    const double tick = double(sysconf(_SC_CLK_TCK));
    return {(std::atof(field[11].c_str()) + std::atof(field[12].c_str())) / tick, std::atoi(field[17].c_str())};
}

void measure(e2e::AppSession& app, const char* screen, double seconds) {
    app.waitUntilSettled(20);
    // What opening the screen started (a fade, a first path of stars) ends.
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const pid_t pid = programPid();
    if (pid == 0) {
        std::printf("%-22s the program is not running\n", screen);
        return;
    }
    const Usage before = usageOf(pid);
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const Usage after = usageOf(pid);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%-22s %5.1f%% of a core over %.0f s (%d threads)\n", screen,
                100.0 * (after.cpuSeconds - before.cpuSeconds) / wall, wall, after.threads);
    std::fflush(stdout);
}

bool check(bool ok, e2e::AppSession& app, const char* what) {
    if (!ok) std::printf("%s failed: %s\n%s\n", what, e2e::shownLine(app).c_str(), app.error().c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30;
    // This process's own home, as the test programs have one (the fixtures
    // point it at each program's home while they seed it).
    char pattern[] = "/tmp/quenta-idle-XXXXXX";
    if (!std::getenv("QUENTA_HOME")) setenv("QUENTA_HOME", mkdtemp(pattern), 1);
    {
        e2e::AppSession app;
        if (!check(app.ok() && app.waitForText("跳过"), app, "the guide")) return 1;
        measure(app, "guide", seconds);
    }
    {
        // A phone bound before, whose advert and payment notice were seen.
        e2e::AppSession app(e2e::launchedBoundPhone(3, [] {
            CoreConstants::upDateDBSetValue("2", StoreKeys::adversion);
            foundation::UserDefaults::standard().setInteger(KAVOSafeProductViewController::kNoticeKey, 1);
            foundation::UserDefaults::standard().synchronize();
        }));
        if (!check(app.ok() && app.waitForText("禾盾令牌"), app, "the hub")) return 1;
        measure(app, "hub", seconds);
        if (!check(app.tapText("禾盾令牌") && app.waitForLabel("动态口令"), app, "the code tab")) return 1;
        measure(app, "code tab (digits)", seconds);
        if (!check(app.tapLabel("九星连珠") && app.waitForLabel("cell00"), app, "the nine-star tab")) return 1;
        measure(app, "code tab (nine stars)", seconds);
    }
    return 0;
}
