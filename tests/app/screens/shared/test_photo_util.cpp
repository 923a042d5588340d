// The photo cache in the user defaults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/screens/shared/PhotoUtil.h"
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

}  // namespace
