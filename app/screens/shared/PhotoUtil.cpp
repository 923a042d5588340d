#include "app/screens/shared/PhotoUtil.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

bool PhotoUtil::SaveImageToLocal(const std::shared_ptr<ui::Image>& image, const std::string& key) {
    if (!image) return false;
    foundation::Bytes png = image->encodePNG();
    if (png.empty()) return false;
    auto& defaults = foundation::UserDefaults::standard();
    return defaults.setObject(key, foundation::Value(std::move(png))) && defaults.synchronize();
}

bool PhotoUtil::LocalHaveImage(const std::string& key) {
    return foundation::UserDefaults::standard().objectForKey(key).has_value();
}

std::shared_ptr<ui::Image> PhotoUtil::GetImageFromLocal(const std::string& key) {
    std::optional<foundation::Value> stored = foundation::UserDefaults::standard().objectForKey(key);
    if (!stored) {
        foundation::log("未从本地获得图片");
        return nullptr;
    }
    const foundation::Bytes* data = stored->asBytes();
    return data ? ui::Image::fromData(*data) : nullptr;
}
