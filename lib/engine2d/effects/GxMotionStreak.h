#pragma once
// A fading ribbon behind a moving point. The program moves the streak's
// head with setPosition (the node itself stays at the origin); every frame
// the streak appends the head to its polyline when it has moved far enough,
// ages the points, drops those whose life ran out and draws the polyline as
// a textured triangle strip of fixed width whose alpha falls with each
// point's remaining life. All storage is allocated once: a fade time of f
// seconds holds at most 60 f + 2 points.

#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/nodes/GxNode.h"

namespace engine2d {

class GxTexture2D;

class GxMotionStreak : public GxNode {
public:
    // nullptr for a fade time that is not positive (the points could not
    // age) or a texture that cannot be had.
    static std::shared_ptr<GxMotionStreak> streakWithFade(float fade, float minSeg, float width, gxColor3B color,
                                                          const std::string& textureFilename);
    static std::shared_ptr<GxMotionStreak> streakWithFade(float fade, float minSeg, float width, gxColor3B color,
                                                          std::shared_ptr<GxTexture2D> texture);
    bool initWithFade(float fade, float minSeg, float width, gxColor3B color, const std::string& textureFilename);
    bool initWithFade(float fade, float minSeg, float width, gxColor3B color, std::shared_ptr<GxTexture2D> texture);
    const char* className() const override { return "GxMotionStreak"; }

    // The head; the node does not move.
    void setPosition(Point p) override;
    void tintWithColor(gxColor3B color);
    gxColor3B color() const { return color_; }
    void setColor(gxColor3B c) { color_ = c; }
    void setOpacity(uint8_t) {}
    uint8_t opacity() const { return 0; }
    void reset() { nuPoints_ = 0; }

    void update(float dt) override;
    void draw() override;

    const std::shared_ptr<GxTexture2D>& texture() const { return texture_; }
    void setTexture(std::shared_ptr<GxTexture2D> t) { texture_ = std::move(t); }
    gxBlendFunc blendFunc() const { return blendFunc_; }
    void setBlendFunc(gxBlendFunc f) { blendFunc_ = f; }
    bool isFastMode() const { return fastMode_; }
    void setFastMode(bool b) { fastMode_ = b; }

    // What the strip is made of, for inspection.
    float stroke() const { return stroke_; }
    float fadeDelta() const { return fadeDelta_; }
    float minSeg() const { return minSeg_; }
    unsigned maxPoints() const { return maxPoints_; }
    unsigned nuPoints() const { return nuPoints_; }
    Point head() const { return positionR_; }
    const Point* points() const { return pointVertexes_.data(); }
    const float* pointStates() const { return pointState_.data(); }
    const gxVertex2F* vertices() const { return vertices_.data(); }
    const uint8_t* colors() const { return colorPointer_.data(); }
    const gxTex2F* texCoords() const { return texCoords_.data(); }

private:
    std::shared_ptr<GxTexture2D> texture_;
    Point positionR_;
    gxColor3B color_;
    gxBlendFunc blendFunc_{0x0302, 0x0303};
    float stroke_ = 0, fadeDelta_ = 0, minSeg_ = 0;
    unsigned maxPoints_ = 0, nuPoints_ = 0, previousNuPoints_ = 0;
    std::vector<Point> pointVertexes_;
    std::vector<float> pointState_;
    std::vector<gxVertex2F> vertices_;
    std::vector<uint8_t> colorPointer_;
    std::vector<gxTex2F> texCoords_;
    bool fastMode_ = true, startingPositionInitialized_ = false;
};

}  // namespace engine2d
