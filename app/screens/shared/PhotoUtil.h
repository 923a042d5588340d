#pragma once
// A small picture cache in the user defaults: one picture per key, kept as
// PNG data (the screens use the key "quentaCenter_photo").

#include <memory>
#include <string>

#include "platform/ui/Image.h"

class PhotoUtil {
public:
    // Stores the picture's PNG encoding under the key and synchronises.
    // False for no picture or when the defaults cannot be written.
    static bool SaveImageToLocal(const std::shared_ptr<ui::Image>& image, const std::string& key);
    // YES when the user defaults hold any object under the key.
    static bool LocalHaveImage(const std::string& key);
    // The picture decoded from the data stored under the key; nullptr, after
    // logging "未从本地获得图片", when nothing is stored, and nullptr when what
    // is stored is not a picture.
    static std::shared_ptr<ui::Image> GetImageFromLocal(const std::string& key);
};
