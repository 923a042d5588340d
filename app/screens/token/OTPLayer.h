#pragma once
// The layer that shows the six digits of the code as picture sprites
// ("otp_<digit>.png", 49x68 points each) and turns every digit over when a
// new code comes: the camera orbits the sprite until it is seen edge-on,
// the picture is swapped, and it turns back in from the other side. Each
// digit takes a random time of its own (under a second a half).

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/nodes/GxScene.h"
#include "lib/engine2d/sprites/GxSprite.h"

class OTPLayer : public engine2d::GxLayer {
public:
    static std::shared_ptr<OTPLayer> node() { return engine2d::gxMake<OTPLayer>(); }
    // [scene, layer]: a new scene holding a new layer.
    struct Pair {
        std::shared_ptr<engine2d::GxScene> scene;
        std::shared_ptr<OTPLayer> layer;
    };
    static Pair initParam();
    const char* className() const override { return "OTPLayer"; }

    // The code's digits, one character each. The first call places the six
    // sprites without animation; every later call flips all six. An empty
    // array does nothing; digits past the sixth are not shown.
    void changeNum(const std::vector<std::string>& digits);
    // The mid-flip call: data is the sprite index followed by the digit.
    void onCallFunc(engine2d::GxNode* node, void* data);

    // The six sprites (nullptr before the first code).
    const std::vector<std::shared_ptr<engine2d::GxSprite>>& array() const { return array_; }
    static std::string imageName(char digit);

    static constexpr int kDigits = 6;
    // The tag of a digit's flip.
    static constexpr int kFlipTag = 113;
    static constexpr float kCentreY = 200;
    static constexpr std::array<float, 6> kCentreX{40, 87, 134, 181, 229, 277};
    static constexpr float kWidth = 49, kHeight = 68;

private:
    std::vector<std::shared_ptr<engine2d::GxSprite>> array_;
};
