#include "platform/ui/MemoryWarnings.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/foundation/Log.h"
#include "platform/foundation/Resetters.h"
#include "platform/ui/Application.h"

namespace ui {

namespace {

std::string readAll(int fd) {
    std::string text;
    if (::lseek(fd, 0, SEEK_SET) < 0) return text;
    char buf[512];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, size_t(n));
    }
    return text;
}

}  // namespace

MemoryPressureSource::MemoryPressureSource(int fd, short events, Check check, std::string name)
    : fd_(fd), events_(events), check_(std::move(check)), name_(std::move(name)) {}

MemoryPressureSource::~MemoryPressureSource() {
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<MemoryPressureSource> MemoryPressureSource::pressureStall(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    char trigger[64];
    int n = std::snprintf(trigger, sizeof trigger, "full %u %u", kStallMicroseconds, kWindowMicroseconds);
    // The trigger is the text with its terminating zero.
    if (::write(fd, trigger, size_t(n) + 1) < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<MemoryPressureSource>(
        fd, POLLPRI, [](int, short revents) { return (revents & POLLPRI) != 0; }, "pressure-stall");
}

unsigned long long MemoryPressureSource::pressureEventCount(const std::string& text) {
    unsigned long long sum = 0;
    std::istringstream in(text);
    std::string key;
    unsigned long long value = 0;
    while (in >> key >> value)
        if (key == "high" || key == "max" || key == "oom") sum += value;
    return sum;
}

std::string MemoryPressureSource::cgroupEventsPath() {
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line)) {
        // The unified hierarchy's line is "0::<path>".
        if (line.rfind("0::", 0) != 0) continue;
        std::string path = "/sys/fs/cgroup" + line.substr(3);
        if (!path.empty() && path.back() == '/') path.pop_back();
        path += "/memory.events";
        return ::access(path.c_str(), R_OK) == 0 ? path : std::string();
    }
    return {};
}

std::unique_ptr<MemoryPressureSource> MemoryPressureSource::cgroupEvents(const std::string& path) {
    if (path.empty()) return nullptr;
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    auto seen = std::make_shared<unsigned long long>(pressureEventCount(readAll(fd)));
    return std::make_unique<MemoryPressureSource>(
        fd, POLLPRI,
        [seen](int fd, short) {
            // The file changed: pressure when a count of pressure went up.
            unsigned long long now = pressureEventCount(readAll(fd));
            bool rose = now > *seen;
            *seen = now;
            return rose;
        },
        "cgroup-events");
}

std::unique_ptr<MemoryPressureSource> MemoryPressureSource::system() {
    if (auto s = pressureStall()) return s;
    return cgroupEvents(cgroupEventsPath());
}

MemoryWarnings& MemoryWarnings::shared() {
    static MemoryWarnings warnings;
    static const bool registered =
        (foundation::registerResetter("ui.memoryWarnings", foundation::ResetPhase::SharedObject,
                                      [] { warnings.stop(); }),
         true);
    (void)registered;
    return warnings;
}

bool MemoryWarnings::start(std::unique_ptr<MemoryPressureSource> source) {
    stop();
    if (!source) return false;
    source_ = std::move(source);
    MemoryPressureSource* s = source_.get();
    watch_ = foundation::RunLoop::main().watchFd(
        s->fd(), s->events(),
        [this, s](int, short revents) {
            if (s != source_.get()) return;
            if (s->isPressure(revents)) Application::shared().receiveMemoryWarning();
            // A source that broke (the trigger or the file went away) is let go.
            if ((revents & (POLLERR | POLLNVAL | POLLHUP)) && !(revents & (POLLPRI | POLLIN))) {
                foundation::log("memory warnings: ", s->name(), " stopped telling");
                stop();
            }
        },
        foundation::kCommonModes);
    return true;
}

void MemoryWarnings::stop() {
    if (watch_) watch_->cancel();
    watch_.reset();
    source_.reset();
}

}  // namespace ui
