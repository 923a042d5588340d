#include "app/core/PhotoUtil.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"

namespace {

bool looksLikePng(const foundation::Bytes& data) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return data.size() > sizeof signature && std::equal(signature, signature + 8, data.begin());
}

}  // namespace

bool PhotoUtil::SaveImageToLocal(const foundation::Bytes& pngData, const std::string& key) {
    if (!looksLikePng(pngData)) return false;
    auto& defaults = foundation::UserDefaults::standard();
    return defaults.setObject(key, foundation::Value(pngData)) && defaults.synchronize();
}

bool PhotoUtil::LocalHaveImage(const std::string& key) {
    return foundation::UserDefaults::standard().objectForKey(key).has_value();
}

std::optional<foundation::Bytes> PhotoUtil::GetImageFromLocal(const std::string& key) {
    std::optional<foundation::Value> stored = foundation::UserDefaults::standard().objectForKey(key);
    if (!stored) {
        foundation::log("未从本地获得图片");
        return std::nullopt;
    }
    const foundation::Bytes* data = stored->asBytes();
    if (!data || !looksLikePng(*data)) return std::nullopt;
    return *data;
}
