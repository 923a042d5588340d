#include "platform/foundation/DataFolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/foundation/Paths.h"

namespace foundation {

std::unique_ptr<DataFolderLock> DataFolderLock::acquire(const std::string& folder, std::string* why) {
    auto fail = [why](std::string text) -> std::unique_ptr<DataFolderLock> {
        if (why) *why = std::move(text);
        return nullptr;
    };
    if (!createDirectories(folder)) return fail("无法创建数据文件夹 " + folder + "：" + std::strerror(errno));
    const std::string path = joinPath(folder, kFileName);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return fail("无法打开 " + path + "：" + std::strerror(errno));
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        // The holder wrote its process number into the file.
        char buffer[32] = {};
        const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
        ::close(fd);
        if (error != EWOULDBLOCK) return fail("无法锁定 " + path + "：" + std::strerror(error));
        std::string holder = n > 0 ? std::string(buffer, size_t(n)) : std::string();
        while (!holder.empty() && (holder.back() == '\n' || holder.back() == ' ')) holder.pop_back();
        return fail("禾盾已在运行：数据文件夹 " + folder + " 正由另一个禾盾窗口使用" +
                    (holder.empty() ? std::string() : "（进程 " + holder + "）") + "。请先关闭那个窗口，再重新打开。");
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // The number is only for the message; the lock is what counts.
    }
    return std::unique_ptr<DataFolderLock>(new DataFolderLock(fd));
}

DataFolderLock::~DataFolderLock() { ::close(fd_); }

}  // namespace foundation
