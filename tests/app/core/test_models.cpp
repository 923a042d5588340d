// Models' helpers: the photo cache in the user defaults and the network check.
#include <gtest/gtest.h>
#include <net/if.h>

#include <string>
#include <vector>

#include "app/core/PhotoUtil.h"
#include "app/core/connectNetCheck.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

namespace {

struct LogRecorder {
    std::vector<std::string> lines;
    foundation::LogSink old;
    LogRecorder() {
        old = foundation::setLogSink([this](const std::string& line) { lines.push_back(line); });
    }
    ~LogRecorder() { foundation::setLogSink(old); }
};

// A 3x2 picture with distinct pixels.
std::shared_ptr<ui::Image> samplePicture() {
    std::vector<uint8_t> rgba(6 * 4);
    for (int i = 0; i < 6; ++i) {
        uint8_t* pixel = &rgba[size_t(i) * 4];
        pixel[0] = uint8_t(40 * i);
        pixel[1] = uint8_t(255 - 30 * i);
        pixel[2] = uint8_t(7 * i);
        pixel[3] = 255;
    }
    return ui::Image::fromRgba(3, 2, rgba.data());
}

TEST(PhotoUtil, StoresAndReadsBackThroughTheDefaultsFile) {
    std::shared_ptr<ui::Image> picture = samplePicture();
    EXPECT_FALSE(PhotoUtil::LocalHaveImage("quentaCenter_photo"));
    ASSERT_TRUE(PhotoUtil::SaveImageToLocal(picture, "quentaCenter_photo"));
    EXPECT_TRUE(PhotoUtil::LocalHaveImage("quentaCenter_photo"));
    // A fresh load from disk still has it, pixel for pixel.
    foundation::UserDefaults::resetStandard();
    std::shared_ptr<ui::Image> back = PhotoUtil::GetImageFromLocal("quentaCenter_photo");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixelWidth(), 3);
    EXPECT_EQ(back->pixelHeight(), 2);
    EXPECT_EQ(back->rgbaPixels(), picture->rgbaPixels());
    EXPECT_FALSE(PhotoUtil::LocalHaveImage("other"));
}

TEST(PhotoUtil, MissingImageLogsAndGivesNil) {
    LogRecorder log;
    EXPECT_EQ(PhotoUtil::GetImageFromLocal("quentaCenter_photo"), nullptr);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "未从本地获得图片");
}

TEST(PhotoUtil, WhatIsNotAPictureGivesNil) {
    EXPECT_FALSE(PhotoUtil::SaveImageToLocal(nullptr, "p"));
    EXPECT_FALSE(PhotoUtil::LocalHaveImage("p"));
    // Something else stored under the key: present, but no picture.
    foundation::Bytes png = samplePicture()->encodePNG();
    ASSERT_GT(png.size(), 16u);
    struct Case {
        const char* key;
        foundation::Value value;
    } cases[] = {
        {"text", foundation::Value("text")},
        {"gif", foundation::Value(foundation::Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0})},
        {"half a png", foundation::Value(foundation::Bytes(png.begin(), png.begin() + long(png.size() / 2)))},
    };
    for (const Case& c : cases) {
        foundation::UserDefaults::standard().setObject(c.key, c.value);
        EXPECT_TRUE(PhotoUtil::LocalHaveImage(c.key)) << c.key;
        EXPECT_EQ(PhotoUtil::GetImageFromLocal(c.key), nullptr) << c.key;
    }
}

struct ProbeScope {
    explicit ProbeScope(connectNetCheck::FlagsProbe p) { connectNetCheck::setFlagsProbe(std::move(p)); }
    ~ProbeScope() { connectNetCheck::setFlagsProbe(nullptr); }
};

TEST(ConnectNetCheck, FlagsDecide) {
    struct Case {
        std::optional<uint32_t> flags;
        bool usable;
    } cases[] = {
        {std::nullopt, false},  // flags cannot be read
        {0, false},
        {connectNetCheck::kReachable, true},
        {connectNetCheck::kReachable | connectNetCheck::kConnectionRequired, false},  // on demand only
        {connectNetCheck::kConnectionRequired, false},
        {connectNetCheck::kReachable | 0x10000, true},
    };
    for (const Case& c : cases) {
        ProbeScope scope([&] { return c.flags; });
        EXPECT_EQ(connectNetCheck().connectToNetwork(), c.usable) << (c.flags ? int(*c.flags) : -1);
    }
}

TEST(ConnectNetCheck, InterfacesAndRoutes) {
    const unsigned live = IFF_UP | IFF_RUNNING;
    const std::string v4Header = "Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\tMTU\tWindow\tIRTT\n";
    const std::string v4Default = v4Header + "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
    const std::string v4Local = v4Header + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n";
    const std::string v6Default =
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "fe800000000000000000000000000001 00000400 00000001 00000000 00450003     eth0\n";
    const std::string v6Unreachable =
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n";
    using I = connectNetCheck::Interface;
    struct Case {
        const char* what;
        std::vector<I> interfaces;
        std::string v4, v6;
        uint32_t flags;
    } cases[] = {
        {"nothing", {}, "", "", 0},
        {"loopback only", {{"lo", live | IFF_LOOPBACK, true}}, "", "", 0},
        {"interface up with an address", {{"eth0", live, true}}, "", "", connectNetCheck::kReachable},
        {"interface up without an address", {{"eth0", live, false}}, "", "", 0},
        {"interface down", {{"eth0", IFF_UP, true}}, "", "", 0},
        {"IPv4 default route", {}, v4Default, "", connectNetCheck::kReachable},
        {"IPv4 local route only", {}, v4Local, "", 0},
        {"IPv6 default route", {}, "", v6Default, connectNetCheck::kReachable},
        {"IPv6 unreachable default on lo", {}, "", v6Unreachable, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(connectNetCheck::flagsFrom(c.interfaces, c.v4, c.v6), c.flags) << c.what;
    }
}

TEST(ConnectNetCheck, HostFlagsCanBeRead) {
    // Every Linux host lists at least its loopback interface.
    std::optional<uint32_t> flags = connectNetCheck::hostFlags();
    ASSERT_TRUE(flags.has_value());
    EXPECT_EQ(*flags & connectNetCheck::kConnectionRequired, 0u);
}

}  // namespace
