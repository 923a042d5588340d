#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/foundation/App.h"
#include "platform/foundation/Device.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Uuid.h"
#include "tests/support/TestSupport.h"

using namespace foundation;

namespace {

TEST(NotificationCenter, DeliversByNameAndSenderAndStopsAfterRemoval) {
    NotificationCenter& nc = NotificationCenter::defaultCenter();
    int owner = 0, sender = 0, other = 0;
    std::vector<std::string> seen;
    nc.addObserver(&owner, "NetworkReachabilityChangedNotification",
                   [&](const Notification& n) { seen.push_back(n.name + ":" + n.userInfo.description()); });
    nc.addObserver(
        &owner, "fromSender", [&](const Notification&) { seen.push_back("sender"); }, &sender);
    nc.post("NetworkReachabilityChangedNotification", nullptr, Value(2));
    nc.post("fromSender", &other);
    nc.post("fromSender", &sender);
    nc.post("unrelated");
    std::thread([&] { nc.post("NetworkReachabilityChangedNotification", nullptr, Value(3)); }).join();
    nc.removeObserver(&owner);
    nc.post("NetworkReachabilityChangedNotification");
    EXPECT_EQ(seen, (std::vector<std::string>{"NetworkReachabilityChangedNotification:2", "sender",
                                              "NetworkReachabilityChangedNotification:3"}));
}

TEST(Paths, HomeFoldersAndBundle) {
    const std::string home = testsupport::home();
    EXPECT_EQ(homeDir(), home);
    EXPECT_EQ(documentsDir(), home + "/Documents");
    EXPECT_TRUE(isDirectory(cachesDir()));
    EXPECT_TRUE(isDirectory(preferencesDir()));
    const std::string file = joinPath(documentsDir(), "f");
    EXPECT_TRUE(writeFileAtomically(file, "x", 0600));
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(readFile(file), std::optional<std::string>("x"));
    EXPECT_TRUE(removeItem(documentsDir()));
    EXPECT_FALSE(fileExists(file));
    EXPECT_EQ(bundlePath("no-such-resource", "png"), std::nullopt);
}

TEST(Paths, BundleResourcesAreFoundByNameInTheirFolders) {
    const std::string bundle = testsupport::tempDir("bundle");
    ASSERT_TRUE(createDirectories(bundle + "/images"));
    ASSERT_TRUE(createDirectories(bundle + "/sounds"));
    ASSERT_TRUE(writeFileAtomically(bundle + "/top.png", "t"));
    ASSERT_TRUE(writeFileAtomically(bundle + "/images/top.png", "i"));
    ASSERT_TRUE(writeFileAtomically(bundle + "/images/Default.png", "d"));
    ASSERT_TRUE(writeFileAtomically(bundle + "/sounds/music0.mp3", "m"));
    const char* old = std::getenv("QUENTA_BUNDLE");
    const std::string saved = old ? old : "";
    setenv("QUENTA_BUNDLE", bundle.c_str(), 1);
    EXPECT_EQ(bundlePath("top", "png"), bundle + "/top.png");  // the top wins
    EXPECT_EQ(bundlePath("Default.png"), bundle + "/images/Default.png");
    EXPECT_EQ(bundlePath("music0", "mp3"), bundle + "/sounds/music0.mp3");
    EXPECT_EQ(bundlePath("music1", "mp3"), std::nullopt);
    if (old)
        setenv("QUENTA_BUNDLE", saved.c_str(), 1);
    else
        unsetenv("QUENTA_BUNDLE");
}

TEST(Services, ExitHookUuidDeviceAndLog) {
    int exitCode = -1;
    setExitHandler([&](int code) { exitCode = code; });
    exitApp(3);
    EXPECT_EQ(exitCode, 3);

    std::string a = createUUID(), b = createUUID();
    EXPECT_NE(a, b);
    ASSERT_EQ(a.size(), 36u);
    EXPECT_EQ(a[14], '4');
    EXPECT_EQ(a.find_first_of("abcdef"), std::string::npos);

    DeviceInfo tall = tallScreenDevice();
    EXPECT_TRUE(tall.isTallScreen());
    EXPECT_FALSE(DeviceInfo{}.isTallScreen());
    setDevice(tall);
    EXPECT_EQ(device().screenHeight, 568);
    setInterfaceMacAddresses(std::vector<InterfaceAddress>{{"eth0", {0, 0x11, 0x22, 0x33, 0x44, 0x55}}});
    ASSERT_EQ(interfaceMacAddresses().size(), 1u);
    EXPECT_EQ(interfaceMacAddresses()[0].mac[5], 0x55);

    std::vector<std::string> lines;
    auto old = setLogSink([&](const std::string& l) { lines.push_back(l); });
    log("value ", 42, " ok");
    setLogSink(old);
    EXPECT_EQ(lines, (std::vector<std::string>{"value 42 ok"}));
}

// What a line of the debug log (or, with `warning`, a warning) puts on stderr
// in a process whose QUENTA_LOG is `flag` (nullptr: unset) and which does not
// run under the tests.
std::string stderrOfALogLine(const char* flag, bool warning = false) {
    int fds[2];
    if (pipe(fds) != 0) return "<no pipe>";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        dup2(fds[1], 2);
        unsetenv("QUENTA_TEST");
        if (flag)
            setenv("QUENTA_LOG", flag, 1);
        else
            unsetenv("QUENTA_LOG");
        setLogSink(nullptr);
        if (warning)
            foundation::warn("engine2d: %d 张图片无法读取", 3);
        else
            log("数据插入成功！");
        _exit(0);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return out;
}

TEST(Services, DebugLinesReachStderrOnlyWhenAskedFor) {
    EXPECT_EQ(stderrOfALogLine(nullptr), "");
    EXPECT_EQ(stderrOfALogLine("0"), "");
    EXPECT_EQ(stderrOfALogLine("1"), "quenta: 数据插入成功！\n");
}

TEST(Services, WarningsReachStderrAlwaysAndTheSinkWhenOneIsSet) {
    for (const char* flag : {static_cast<const char*>(nullptr), "0", "1"})
        EXPECT_EQ(stderrOfALogLine(flag, true), "engine2d: 3 张图片无法读取\n") << (flag ? flag : "unset");

    std::vector<std::string> lines;
    auto old = setLogSink([&](const std::string& l) { lines.push_back(l); });
    const std::string name(300, 'x');  // longer than any first guess at the line's size
    foundation::warn("engine2d: %s: %u x %u pixels", name.c_str(), 4096u, 2048u);
    setLogSink(old);
    EXPECT_EQ(lines, (std::vector<std::string>{"engine2d: " + name + ": 4096 x 2048 pixels"}));
}

}  // namespace
