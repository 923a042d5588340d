#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>

#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/TestSupport.h"

using namespace foundation;

namespace {

TEST(UserDefaults, EveryTypeSurvivesAReloadFromDisk) {
    {
        UserDefaults& d = UserDefaults::standard();
        EXPECT_TRUE(d.setString("text", "禾盾"));
        EXPECT_TRUE(d.setInteger("int", -9007199254740993LL));
        EXPECT_TRUE(d.setDouble("double", 0.1));
        EXPECT_TRUE(d.setBool("bool", true));
        EXPECT_TRUE(d.setObject("date", Value(Date{1355011200.5})));
        EXPECT_TRUE(d.setObject("data", Value(Bytes{0, 1, 255})));
        EXPECT_TRUE(d.setObject("array", Value(Array{Value("a"), Value(2), Value(Array{})})));
        EXPECT_TRUE(d.setObject("dict", Value(Dictionary{{"x", Value(1)}, {"y", Value(Dictionary{})}})));
    }
    UserDefaults::resetStandard();
    UserDefaults& d = UserDefaults::standard();
    EXPECT_EQ(d.stringForKey("text"), std::optional<std::string>("禾盾"));
    EXPECT_EQ(d.integerForKey("int"), -9007199254740993LL);
    EXPECT_EQ(d.doubleForKey("double"), 0.1);
    EXPECT_TRUE(d.boolForKey("bool"));
    EXPECT_EQ(d.dateForKey("date")->seconds, 1355011200.5);
    EXPECT_EQ(*d.dataForKey("data"), (Bytes{0, 1, 255}));
    EXPECT_EQ(d.arrayForKey("array")->size(), 3u);
    EXPECT_EQ(d.dictionaryForKey("dict")->find("x")->intValue(), 1);
    // Absent keys read as the platform's zero values.
    EXPECT_EQ(d.stringForKey("missing"), std::nullopt);
    EXPECT_EQ(d.integerForKey("missing"), 0);
    EXPECT_FALSE(d.boolForKey("missing"));
    // Numbers read as texts; a removed key is gone after a reload too.
    EXPECT_EQ(d.stringForKey("int"), std::optional<std::string>("-9007199254740993"));
    EXPECT_TRUE(d.removeObjectForKey("text"));
    UserDefaults::resetStandard();
    EXPECT_EQ(UserDefaults::standard().stringForKey("text"), std::nullopt);
}

TEST(UserDefaults, RemovingTheDomainEmptiesItAndItsFile) {
    UserDefaults& d = UserDefaults::standard();
    d.setInteger("korvxboundstate", 2);
    ASSERT_TRUE(fileExists(d.path()));
    EXPECT_TRUE(d.removePersistentDomain());
    EXPECT_FALSE(fileExists(d.path()));
    EXPECT_EQ(d.integerForKey("korvxboundstate"), 0);
    UserDefaults::resetStandard();
    EXPECT_TRUE(UserDefaults::standard().dictionaryRepresentation().empty());
}

TEST(UserDefaults, DamagedFilesLoadAsEmpty) {
    const std::string path = joinPath(testsupport::tempDir("defaults"), "d.defaults");
    std::string good;
    {
        UserDefaults d(path);
        d.setString("a", "1");
        d.setObject("b", Value(Array{Value("x"), Value("y")}));
        good = *readFile(path);
    }
    // Every truncation of a good file, and some garbage, loads as empty.
    for (size_t len = 0; len < good.size(); ++len) {
        ASSERT_TRUE(writeFileAtomically(path, good.substr(0, len)));
        UserDefaults d(path);
        EXPECT_TRUE(d.dictionaryRepresentation().empty()) << "length " << len;
    }
    std::string huge = good;
    huge[6] = '\xff';  // an entry count far past the file's end
    ASSERT_TRUE(writeFileAtomically(path, huge));
    EXPECT_TRUE(UserDefaults(path).dictionaryRepresentation().empty());
    // And the store is usable afterwards.
    UserDefaults d(path);
    EXPECT_TRUE(d.setString("c", "3"));
    EXPECT_EQ(UserDefaults(path).stringForKey("c"), std::optional<std::string>("3"));
}

TEST(UserDefaults, AFailedWriteKeepsTheOldFileWhole) {
    const std::string dir = testsupport::tempDir("readonly");
    const std::string path = joinPath(dir, "d.defaults");
    {
        UserDefaults d(path);
        ASSERT_TRUE(d.setString("key", "old"));
    }
    const std::string before = *readFile(path);
    chmod(testsupport::home().c_str(), 0755);
    chmod(dir.c_str(), 0555);
    chmod(path.c_str(), 0644);
    // Root ignores folder permissions, so the attempt runs as an unprivileged user.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
        UserDefaults d(path);
        if (d.stringForKey("key") != std::optional<std::string>("old")) _exit(4);
        if (d.setString("key", "new")) _exit(5);  // must report the failure
        if (d.synchronize()) _exit(6);
        if (d.stringForKey("key") != std::optional<std::string>("new")) _exit(7);  // kept in memory
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    chmod(dir.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(*readFile(path), before);
    EXPECT_EQ(UserDefaults(path).stringForKey("key"), std::optional<std::string>("old"));
}

}  // namespace
