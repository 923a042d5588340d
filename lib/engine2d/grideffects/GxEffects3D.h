#pragma once
// Effects over a continuous sheet (GxGrid3D). Each update reads every
// vertex's original position and writes a moved one; x and y are in points
// from the grid's lower-left corner, z points at the viewer. Effects with
// an amplitude take an amplitude rate (1 unless an amplitude action drives
// it); a copy starts from the parameters it was made with, its rate back at 1.

#include "lib/engine2d/grideffects/GxGridActions.h"

namespace engine2d {

// The amplitude and its rate, as the amplitude actions drive them.
class GxAmplitudeFields : public GxAmplitudeProtocol {
public:
    float amplitude() const { return amplitude_; }
    void setAmplitude(float a) { amplitude_ = a; }
    float amplitudeRate() const { return amplitudeRate_; }
    void setAmplitudeRate(float r) override { amplitudeRate_ = r; }
    float getAmplitudeRate() const override { return amplitudeRate_; }

protected:
    explicit GxAmplitudeFields(float amplitude) : amplitude_(amplitude) {}
    float amplitude_ = 0, amplitudeRate_ = 1;
};

// Waves running diagonally across the sheet, towards the viewer.
class GxWaves3D : public GxGrid3DAction, public GxAmplitudeFields {
public:
    static std::shared_ptr<GxWaves3D> actionWithWaves(int waves, float amplitude, gxGridSize grid, float duration) {
        return std::make_shared<GxWaves3D>(waves, amplitude, grid, duration);
    }
    GxWaves3D(int waves, float amplitude, gxGridSize grid, float duration)
        : GxGrid3DAction(grid, duration), GxAmplitudeFields(amplitude), waves_(waves) {}
    const char* className() const override { return "GxWaves3D"; }
    GxActionRef copy() const override { return actionWithWaves(waves_, amplitude_, gridSize_, duration_); }
    void update(float t) override;

private:
    int waves_;
};

// Turns the picture over about its vertical axis. A 1 x 1 grid only.
class GxFlipX3D : public GxGrid3DAction {
public:
    static std::shared_ptr<GxFlipX3D> actionWithDuration(float duration) {
        return std::make_shared<GxFlipX3D>(gxGridSize{1, 1}, duration);
    }
    // Any other size than 1 x 1 raises "FlipX3D" / "Grid size must be (1,1)".
    GxFlipX3D(gxGridSize grid, float duration);
    const char* className() const override { return "GxFlipX3D"; }
    GxActionRef copy() const override { return std::make_shared<GxFlipX3D>(gridSize_, duration_); }
    void update(float t) override;
};

// Turns the picture over about its horizontal axis.
class GxFlipY3D : public GxFlipX3D {
public:
    static std::shared_ptr<GxFlipY3D> actionWithDuration(float duration) {
        return std::make_shared<GxFlipY3D>(gxGridSize{1, 1}, duration);
    }
    using GxFlipX3D::GxFlipX3D;
    const char* className() const override { return "GxFlipY3D"; }
    GxActionRef copy() const override { return std::make_shared<GxFlipY3D>(gridSize_, duration_); }
    void update(float t) override;
};

// A lens bulging towards the viewer around a point. The lens is worked out
// at the start and again after its position changes, not every frame.
class GxLens3D : public GxGrid3DAction {
public:
    static std::shared_ptr<GxLens3D> actionWithPosition(Point pos, float radius, gxGridSize grid, float duration) {
        return std::make_shared<GxLens3D>(pos, radius, grid, duration);
    }
    GxLens3D(Point pos, float radius, gxGridSize grid, float duration);
    const char* className() const override { return "GxLens3D"; }
    GxActionRef copy() const override { return actionWithPosition(position_, radius_, gridSize_, duration_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;
    Point position() const { return position_; }
    void setPosition(Point p);
    float lensEffect() const { return lensEffect_; }
    void setLensEffect(float e) { lensEffect_ = e; }
    bool dirty() const { return dirty_; }

private:
    Point position_;
    float radius_, lensEffect_ = 0.7f;
    bool dirty_ = true;
};

// Rings spreading from a point, fading towards the radius.
class GxRipple3D : public GxGrid3DAction, public GxAmplitudeFields {
public:
    static std::shared_ptr<GxRipple3D> actionWithPosition(Point pos, float radius, int waves, float amplitude,
                                                          gxGridSize grid, float duration) {
        return std::make_shared<GxRipple3D>(pos, radius, waves, amplitude, grid, duration);
    }
    GxRipple3D(Point pos, float radius, int waves, float amplitude, gxGridSize grid, float duration)
        : GxGrid3DAction(grid, duration),
          GxAmplitudeFields(amplitude),
          position_(pos),
          radius_(radius),
          waves_(waves) {}
    const char* className() const override { return "GxRipple3D"; }
    GxActionRef copy() const override {
        return actionWithPosition(position_, radius_, waves_, amplitude_, gridSize_, duration_);
    }
    void update(float t) override;
    Point position() const { return position_; }
    void setPosition(Point p) { position_ = p; }

private:
    Point position_;
    float radius_;
    int waves_;
};

// Every vertex jumps by up to `range` points each frame (0 or less: still).
class GxShaky3D : public GxGrid3DAction {
public:
    static std::shared_ptr<GxShaky3D> actionWithRange(int range, bool shakeZ, gxGridSize grid, float duration) {
        return std::make_shared<GxShaky3D>(range, shakeZ, grid, duration);
    }
    GxShaky3D(int range, bool shakeZ, gxGridSize grid, float duration)
        : GxGrid3DAction(grid, duration), randrange_(range), shakeZ_(shakeZ) {}
    const char* className() const override { return "GxShaky3D"; }
    GxActionRef copy() const override { return actionWithRange(randrange_, shakeZ_, gridSize_, duration_); }
    void update(float t) override;

private:
    int randrange_;
    bool shakeZ_;
};

// The inner vertices sway like a liquid surface; the border stays put.
class GxLiquid : public GxGrid3DAction, public GxAmplitudeFields {
public:
    static std::shared_ptr<GxLiquid> actionWithWaves(int waves, float amplitude, gxGridSize grid, float duration) {
        return std::make_shared<GxLiquid>(waves, amplitude, grid, duration);
    }
    GxLiquid(int waves, float amplitude, gxGridSize grid, float duration)
        : GxGrid3DAction(grid, duration), GxAmplitudeFields(amplitude), waves_(waves) {}
    const char* className() const override { return "GxLiquid"; }
    GxActionRef copy() const override { return actionWithWaves(waves_, amplitude_, gridSize_, duration_); }
    void update(float t) override;

private:
    int waves_;
};

// Waves in the picture's plane: sideways (vertical waves), then up and down
// (horizontal waves).
class GxWaves : public GxGrid3DAction, public GxAmplitudeFields {
public:
    static std::shared_ptr<GxWaves> actionWithWaves(int waves, float amplitude, bool horizontal, bool vertical,
                                                    gxGridSize grid, float duration) {
        return std::make_shared<GxWaves>(waves, amplitude, horizontal, vertical, grid, duration);
    }
    GxWaves(int waves, float amplitude, bool horizontal, bool vertical, gxGridSize grid, float duration)
        : GxGrid3DAction(grid, duration),
          GxAmplitudeFields(amplitude),
          waves_(waves),
          vertical_(vertical),
          horizontal_(horizontal) {}
    const char* className() const override { return "GxWaves"; }
    GxActionRef copy() const override {
        return actionWithWaves(waves_, amplitude_, horizontal_, vertical_, gridSize_, duration_);
    }
    void update(float t) override;

private:
    int waves_;
    bool vertical_, horizontal_;
};

// The picture turns around a point, more the further a vertex lies from the
// grid's middle.
class GxTwirl : public GxGrid3DAction, public GxAmplitudeFields {
public:
    static std::shared_ptr<GxTwirl> actionWithPosition(Point pos, int twirls, float amplitude, gxGridSize grid,
                                                       float duration) {
        return std::make_shared<GxTwirl>(pos, twirls, amplitude, grid, duration);
    }
    GxTwirl(Point pos, int twirls, float amplitude, gxGridSize grid, float duration)
        : GxGrid3DAction(grid, duration), GxAmplitudeFields(amplitude), position_(pos), twirls_(twirls) {}
    const char* className() const override { return "GxTwirl"; }
    GxActionRef copy() const override {
        return actionWithPosition(position_, twirls_, amplitude_, gridSize_, duration_);
    }
    void update(float t) override;
    Point position() const { return position_; }
    void setPosition(Point p) { position_ = p; }

private:
    Point position_;
    int twirls_;
};

// A page curling away from the bottom-right corner. At the very end the
// page has folded to a line of no width (nothing is drawn).
class GxPageTurn3D : public GxGrid3DAction {
public:
    static std::shared_ptr<GxPageTurn3D> actionWithSize(gxGridSize grid, float duration) {
        return std::make_shared<GxPageTurn3D>(grid, duration);
    }
    using GxGrid3DAction::GxGrid3DAction;
    const char* className() const override { return "GxPageTurn3D"; }
    GxActionRef copy() const override { return actionWithSize(gridSize_, duration_); }
    void update(float t) override;
};

}  // namespace engine2d
