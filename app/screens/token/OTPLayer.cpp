#include "app/screens/token/OTPLayer.h"

#include <cstdlib>

#include "lib/engine2d/actions/GxActionCamera.h"
#include "lib/engine2d/actions/GxActionInstant.h"
#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/textures/GxTextureCache.h"

using namespace engine2d;

OTPLayer::Pair OTPLayer::initParam() {
    Pair pair{GxScene::node(), OTPLayer::node()};
    pair.scene->addChild(pair.layer);
    return pair;
}

std::string OTPLayer::imageName(char digit) { return std::string("otp_") + digit + ".png"; }

void OTPLayer::changeNum(const std::vector<std::string>& digits) {
    if (digits.empty()) return;
    if (array_.empty()) {
        for (int i = 0; i < kDigits; ++i) {
            const char digit = i < int(digits.size()) && !digits[i].empty() ? digits[i][0] : '0';
            auto sprite = GxSprite::spriteWithFile(imageName(digit));
            if (!sprite) sprite = GxSprite::spriteWithFile(imageName('0'));
            if (!sprite) {
                // No pictures in the bundle: nothing can be shown.
                array_.clear();
                return;
            }
            const Size size = sprite->contentSize();
            if (size.width > 0 && size.height > 0) {
                sprite->setScaleX(kWidth / size.width);
                sprite->setScaleY(kHeight / size.height);
            }
            sprite->setPosition({kCentreX[i], kCentreY});
            array_.push_back(sprite);
        }
        for (auto& sprite : array_) addChild(sprite);
        return;
    }
    auto self = shared_from_this();
    for (size_t i = 0; i < digits.size() && i < array_.size(); ++i) {
        if (digits[i].empty()) continue;
        // The data text lives as long as the call that reads it.
        auto data = std::make_shared<std::string>(std::to_string(i) + digits[i][0]);
        const float t = float(double(::random()) / 2147483648.0);
        auto turnOut = GxOrbitCamera::actionWithDuration(t, 1, 0, 0, 90, 90, 0);
        auto swap = GxCallFuncND::actionWithTarget(
            self, "onCallFunc:data:", [this, data](GxNode* node, void* d) { onCallFunc(node, d); }, data.get());
        auto turnIn = GxOrbitCamera::actionWithDuration(t, 1, 0, -90, 90, 90, 0);
        auto flip = GxSequence::actions({turnOut, swap, turnIn});
        flip->setTag(kFlipTag);
        array_[i]->runAction(flip);
    }
}

void OTPLayer::onCallFunc(GxNode* /*node*/, void* data) {
    const std::string* text = static_cast<const std::string*>(data);
    if (!text || text->size() < 2) return;
    const int index = (*text)[0] - '0';
    if (index < 0 || index >= int(array_.size())) return;
    auto texture = GxTextureCache::sharedTextureCache().addImage(imageName((*text)[1]));
    if (texture) array_[index]->setTexture(texture);  // an unknown character keeps the old picture
}
