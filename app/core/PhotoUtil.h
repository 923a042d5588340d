#pragma once
// A small image cache in the user defaults: one PNG picture per key (the
// screens use "quentaCenter_photo").

#include <optional>
#include <string>

#include "platform/foundation/Value.h"

class PhotoUtil {
public:
    // Stores the picture's PNG data under the key and synchronises. False
    // when the data is not a PNG picture or the defaults cannot be written.
    static bool SaveImageToLocal(const foundation::Bytes& pngData, const std::string& key);
    // YES when the user defaults hold any object under the key.
    static bool LocalHaveImage(const std::string& key);
    // The PNG data stored under the key; nil, after logging "未从本地获得图片",
    // when nothing is stored, and nil when what is stored is not a PNG picture.
    static std::optional<foundation::Bytes> GetImageFromLocal(const std::string& key);
};
