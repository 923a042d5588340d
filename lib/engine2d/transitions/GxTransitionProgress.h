#pragma once
// Progress transitions: a picture of one scene, taken into a render texture
// on opaque black, is wiped away (or, for in-out, wiped in) by a progress
// timer over the duration: radially either way round, horizontally,
// vertically, from the centre outwards or from the edges inwards. The timer
// is the transition's child (tag kGxSceneProgressTag, z 2) until it exits.

#include "lib/engine2d/transitions/GxTransition.h"

namespace engine2d {

class GxTransitionProgress : public GxTransitionScene {
public:
    GX_TRANSITION_MAKER(GxTransitionProgress)
    void onEnter() override;
    void onExit() override;
    void sceneOrder() override { inSceneOnTop_ = false; }
    // Chooses the pictured scene and the percentages: the outgoing scene,
    // 100 to 0, here.
    virtual void setupTransition();
    // The timer showing the picture; none in this class, which therefore
    // finishes at once when run by itself.
    virtual std::shared_ptr<GxProgressTimer> progressTimerNodeWithRenderTexture(
        const std::shared_ptr<GxRenderTexture>& texture);

    float from() const { return from_; }
    float to() const { return to_; }
    GxScene* sceneToBeModified() const { return sceneToBeModified_; }

protected:
    // A timer over the texture's sprite, flipped upright and centred on the
    // window, of the type and start percentage given.
    std::shared_ptr<GxProgressTimer> makeTimer(const std::shared_ptr<GxRenderTexture>& texture, int type,
                                               float percentage);

    float to_ = 0;
    float from_ = 0;
    GxScene* sceneToBeModified_ = nullptr;  // one of the two scenes, held by them
};

class GxTransitionProgressRadialCCW : public GxTransitionProgress {
public:
    GX_TRANSITION_MAKER(GxTransitionProgressRadialCCW)
    std::shared_ptr<GxProgressTimer> progressTimerNodeWithRenderTexture(
        const std::shared_ptr<GxRenderTexture>& texture) override;
};

class GxTransitionProgressRadialCW : public GxTransitionProgress {
public:
    GX_TRANSITION_MAKER(GxTransitionProgressRadialCW)
    std::shared_ptr<GxProgressTimer> progressTimerNodeWithRenderTexture(
        const std::shared_ptr<GxRenderTexture>& texture) override;
};

class GxTransitionProgressHorizontal : public GxTransitionProgress {
public:
    GX_TRANSITION_MAKER(GxTransitionProgressHorizontal)
    std::shared_ptr<GxProgressTimer> progressTimerNodeWithRenderTexture(
        const std::shared_ptr<GxRenderTexture>& texture) override;
};

class GxTransitionProgressVertical : public GxTransitionProgress {
public:
    GX_TRANSITION_MAKER(GxTransitionProgressVertical)
    std::shared_ptr<GxProgressTimer> progressTimerNodeWithRenderTexture(
        const std::shared_ptr<GxRenderTexture>& texture) override;
};

// The incoming scene's picture grows from the centre over the outgoing scene.
class GxTransitionProgressInOut : public GxTransitionProgress {
public:
    GX_TRANSITION_MAKER(GxTransitionProgressInOut)
    void sceneOrder() override { inSceneOnTop_ = false; }
    void setupTransition() override;
    std::shared_ptr<GxProgressTimer> progressTimerNodeWithRenderTexture(
        const std::shared_ptr<GxRenderTexture>& texture) override;
};

// The outgoing scene's picture shrinks towards the centre.
class GxTransitionProgressOutIn : public GxTransitionProgress {
public:
    GX_TRANSITION_MAKER(GxTransitionProgressOutIn)
    std::shared_ptr<GxProgressTimer> progressTimerNodeWithRenderTexture(
        const std::shared_ptr<GxRenderTexture>& texture) override;
};

}  // namespace engine2d
