#include "tests/support/TestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/foundation/Paths.h"

namespace testsupport {

std::string home() {
    const char* h = std::getenv("QUENTA_HOME");
    if (!h) throw std::runtime_error("QUENTA_HOME is not set");
    return h;
}

std::string tempDir(const std::string& name) {
    std::string dir = foundation::joinPath(home(), "tmp-" + name);
    foundation::removeItem(dir);
    foundation::createDirectories(dir);
    return dir;
}

std::string sourcePath(const std::string& relative) { return std::string(QUENTA_SOURCE_DIR) + "/" + relative; }

int freePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        throw std::runtime_error("bind failed");
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

}  // namespace testsupport

namespace testsupport {

double timeScale() {
    if (const char* set = std::getenv("QUENTA_TEST_TIME_SCALE"); set && *set) {
        const double scale = std::atof(set);
        if (scale > 0) return scale;
    }
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return 3;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return 3;
#else
    return 1;
#endif
#else
    return 1;
#endif
}

double patience(double seconds) { return seconds * timeScale(); }

}  // namespace testsupport
