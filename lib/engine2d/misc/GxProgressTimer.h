#pragma once
// A node that shows part of a sprite's picture by a percentage: a radial
// sweep around a midpoint (clockwise from twelve o'clock, a "clock" wipe)
// or a bar growing from a midpoint along one or both axes. It reads the
// sprite's quad for positions, texture coordinates and colour, builds its
// own vertices and draws them with the sprite's texture and blending; the
// sprite itself is not drawn.
//
// The vertex list is rebuilt by percentage changes only, and thrown away
// whenever its layout may change (sprite, type or direction): a list of
// one layout is never written as another.

#include <cstdint>
#include <memory>
#include <vector>

#include "lib/engine2d/mathlib/Geometry.h"
#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/nodes/GxNode.h"
#include "lib/engine2d/nodes/GxProtocols.h"

namespace engine2d {

class GxSprite;

enum GxProgressTimerType { kGxProgressTimerTypeRadial = 0, kGxProgressTimerTypeBar = 1 };

class GxProgressTimer : public GxNode, public GxRGBAProtocol {
public:
    static std::shared_ptr<GxProgressTimer> progressWithSprite(std::shared_ptr<GxSprite> sprite) {
        return gxMake<GxProgressTimer>(std::move(sprite));
    }
    bool init() override { return init(nullptr); }
    bool init(std::shared_ptr<GxSprite> sprite);
    const char* className() const override { return "GxProgressTimer"; }

    int type() const { return type_; }
    void setType(int type);
    float percentage() const { return percentage_; }
    // Clamped to [0, 100]; an unchanged value rebuilds nothing.
    void setPercentage(float percent);
    const std::shared_ptr<GxSprite>& sprite() const { return sprite_; }
    void setSprite(std::shared_ptr<GxSprite> sprite);
    // Radial: counter-clockwise. Bar: the parts outside the growing region.
    bool reverseDirection() const { return reverseDirection_; }
    void setReverseDirection(bool reverse);
    void setReverseProgress(bool reverse);
    // In the sprite's unit square; clamped into it.
    Point midpoint() const { return midpoint_; }
    void setMidpoint(Point p);
    // Per axis, how much the bar follows the percentage (1) or stays full (0).
    Point barChangeRate() const { return barChangeRate_; }
    void setBarChangeRate(Point r) { barChangeRate_ = r; }

    // nullptr until the first update after the layout was thrown away.
    const gxV2F_C4B_T2F* vertexData() const { return vertexData_.empty() ? nullptr : vertexData_.data(); }
    int vertexDataCount() const { return int(vertexData_.size()); }

    // The sprite's colour and opacity (black and 0 without a sprite).
    gxColor3B color() const override;
    void setColor(gxColor3B c) override;
    uint8_t opacity() const override;
    void setOpacity(uint8_t o) override;

    // The unit-square corners in sweep order (index 0 to 3; others (0, 0)).
    Point boundaryTexCoord(unsigned index) const;
    Point vertexFromAlphaPoint(Point alpha) const;
    Point textureCoordFromAlphaPoint(Point alpha) const;
    void updateProgress();
    void updateColor();
    void draw() override;

private:
    void updateRadial();
    void updateBar();
    void discardVertexData() { vertexData_.clear(); }
    void setVertex(size_t i, Point alpha);

    int type_ = kGxProgressTimerTypeRadial;
    float percentage_ = 0;
    std::shared_ptr<GxSprite> sprite_;
    std::vector<gxV2F_C4B_T2F> vertexData_;
    Point midpoint_{0.5f, 0.5f};
    Point barChangeRate_{1, 1};
    bool reverseDirection_ = false;
};

static_assert(sizeof(gxV2F_C4B_T2F) == 20);

}  // namespace engine2d
