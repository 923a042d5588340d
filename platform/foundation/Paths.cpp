#include "platform/foundation/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace foundation {

namespace fs = std::filesystem;

std::string joinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    if (a.back() == '/') return b.front() == '/' ? a + b.substr(1) : a + b;
    return b.front() == '/' ? a + b : a + "/" + b;
}

bool createDirectories(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

std::string homeDir() {
    std::string home;
    if (const char* q = std::getenv("QUENTA_HOME"); q && *q) {
        home = q;
    } else if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
        home = joinPath(x, "quenta");
    } else if (const char* h = std::getenv("HOME"); h && *h) {
        home = joinPath(h, ".local/share/quenta");
    } else {
        home = "/tmp/quenta";
    }
    createDirectories(home);
    return home;
}

namespace {
std::string sub(const std::string& relative) {
    std::string p = joinPath(homeDir(), relative);
    createDirectories(p);
    return p;
}
}  // namespace

std::string documentsDir() { return sub("Documents"); }
std::string cachesDir() { return sub("Library/Caches"); }
std::string preferencesDir() { return sub("Library/Preferences"); }

std::string bundleDir() {
    if (const char* b = std::getenv("QUENTA_BUNDLE"); b && *b) return b;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path dir = exe.parent_path();
        for (int up = 0; up < 3 && !dir.empty(); ++up) {
            if (fs::is_directory(dir / "resources", ec)) return (dir / "resources").string();
            dir = dir.parent_path();
        }
    }
#ifdef QUENTA_SOURCE_DIR
    return joinPath(QUENTA_SOURCE_DIR, "resources");
#else
    return "resources";
#endif
}

std::optional<std::string> bundlePath(const std::string& name, const std::string& type) {
    std::string file = name;
    if (!type.empty() && !(file.size() > type.size() &&
                           file.compare(file.size() - type.size() - 1, std::string::npos, "." + type) == 0)) {
        file += "." + type;
    }
    const std::string root = bundleDir();
    std::string path = joinPath(root, file);
    if (fileExists(path)) return path;
    // Resources are kept in folders by kind (images/, sounds/, pages/) but
    // found by name alone, as the app names them.
    std::error_code ec;
    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(root, ec)) {
        if (entry.is_directory(ec)) folders.push_back(entry.path().string());
    }
    std::sort(folders.begin(), folders.end());
    for (const auto& folder : folders) {
        path = joinPath(folder, file);
        if (fileExists(path)) return path;
    }
    return std::nullopt;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool removeItem(const std::string& path) {
    std::error_code ec;
    fs::remove_all(path, ec);
    return !fileExists(path);
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return out.str();
}

bool writeFileAtomically(const std::string& path, const std::string& contents, unsigned mode) {
    fs::path target(path);
    std::string dir = target.parent_path().empty() ? "." : target.parent_path().string();
    std::string name = ".";
    name += target.filename().string();
    name += ".XXXXXX";
    std::string tmpl = joinPath(dir, name);
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;
    struct stat st;
    ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode);
    size_t written = 0;
    bool ok = true;
    while (written < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        written += size_t(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmpl.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tmpl.c_str());
        return false;
    }
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace foundation
