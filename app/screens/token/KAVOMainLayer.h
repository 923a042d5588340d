#pragma once
// The layer behind the nine-star grid: given the star path it moves a
// glowing emitter ("point.plist") from the first star through the others,
// 0.4 seconds a leg and a 0.3-second pause at each star, sets off a burst
// ("start2.plist") at each star reached and stops emitting at the end.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/nodes/GxScene.h"
#include "lib/engine2d/particles/GxParticleSystem.h"

class KAVOMainLayer : public engine2d::GxLayer {
public:
    static std::shared_ptr<KAVOMainLayer> node() { return engine2d::gxMake<KAVOMainLayer>(); }
    struct Pair {
        std::shared_ptr<engine2d::GxScene> scene;
        std::shared_ptr<KAVOMainLayer> layer;
    };
    static Pair initParam();
    bool init() override;
    const char* className() const override { return "KAVOMainLayer"; }

    // Clears the last drawing and traces the path (star digits 0 to 8). A
    // character that is no star ends the path there.
    void changeMoving(const std::string& path);
    // A star reached: data is the star left and the star reached.
    void onCallFunc(engine2d::GxNode* node, void* data);
    // The end of the path.
    void onCallFuncall(engine2d::GxNode* node);

    const std::vector<std::shared_ptr<engine2d::GxNode>>& set() const { return set_; }
    const std::shared_ptr<engine2d::GxParticleSystem>& system() const { return system_; }

    static constexpr float kLeg = 0.4f, kPause = 0.3f;
    static constexpr int kEmitterTag = 1, kEmitterZ = 99, kBurstZ = 0;
    static constexpr std::array<float, 9> kStarX{65, 161, 256, 65, 161, 256, 65, 161, 256};
    static constexpr std::array<float, 9> kStarY{227, 227, 227, 131, 131, 131, 35, 35, 35};

private:
    std::vector<std::shared_ptr<engine2d::GxNode>> set_;
    std::shared_ptr<engine2d::GxParticleSystem> system_;
};
