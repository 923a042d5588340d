#pragma once
// Grid actions: timed actions whose node is drawn through a grid. Started,
// one installs a fresh grid of its kind and size on the node, or, when the
// node's grid has been marked for reuse, keeps that grid and takes its
// current shape as the starting shape. Every update reads the original
// vertices (or tiles) and writes moved ones.
//
// The amplitude actions drive the amplitude rate of an effect over time;
// GxStopGrid switches a node's grid off and GxReuseGrid lets the next effects
// start from the shape the grid has.

#include <memory>

#include "lib/engine2d/actions/GxActionInstant.h"
#include "lib/engine2d/actions/GxActionInterval.h"
#include "lib/engine2d/grid/GxGrid.h"

namespace engine2d {

// The effects' one process-wide random sequence: a given seed replays the
// same choices (tile shuffles, shaking, tiles turned off) on every platform.
constexpr int kGxRandMax = 0x7fffffff;
int gxRand();  // 0..kGxRandMax
void gxSrand(unsigned seed);

class GxGridAction : public GxActionInterval {
public:
    static std::shared_ptr<GxGridAction> actionWithSize(gxGridSize size, float duration) {
        return std::make_shared<GxGridAction>(size, duration);
    }
    GxGridAction(gxGridSize size, float duration) : GxActionInterval(duration), gridSize_(size) {}
    const char* className() const override { return "GxGridAction"; }
    GxActionRef copy() const override { return std::make_shared<GxGridAction>(gridSize_, duration_); }
    // Installs a fresh grid, or reuses the node's grid while its reuse count
    // is positive; a grid marked for reuse that is stopped, of another size
    // or of another kind raises "GridBase" / "Cannot reuse grid" and is left
    // as it was, drawing on.
    void startWithTarget(GxNode* target) override;
    // A new grid of the action's kind and size; raises "GridBase" here.
    virtual std::shared_ptr<GxGridBase> grid() const;
    // The same effect played backwards in time.
    GxFiniteTimeActionRef reverse() const override;
    gxGridSize gridSize() const { return gridSize_; }
    void setGridSize(gxGridSize s) { gridSize_ = s; }

protected:
    // Whether an existing grid is of the kind this action works on.
    virtual bool isOwnKind(const GxGridBase& g) const;
    gxGridSize gridSize_;
};

class GxGrid3DAction : public GxGridAction {
public:
    static std::shared_ptr<GxGrid3DAction> actionWithSize(gxGridSize size, float duration) {
        return std::make_shared<GxGrid3DAction>(size, duration);
    }
    using GxGridAction::GxGridAction;
    const char* className() const override { return "GxGrid3DAction"; }
    GxActionRef copy() const override { return std::make_shared<GxGrid3DAction>(gridSize_, duration_); }
    std::shared_ptr<GxGridBase> grid() const override { return GxGrid3D::gridWithSize(gridSize_); }
    // The target's sheet; (0, 0, 0) and nothing written without one.
    gxVertex3F vertex(gxGridSize pos) const;
    gxVertex3F originalVertex(gxGridSize pos) const;
    void setVertex(gxGridSize pos, gxVertex3F v);

protected:
    bool isOwnKind(const GxGridBase& g) const override { return dynamic_cast<const GxGrid3D*>(&g) != nullptr; }
    GxGrid3D* targetGrid() const;
};

class GxTiledGrid3DAction : public GxGridAction {
public:
    static std::shared_ptr<GxTiledGrid3DAction> actionWithSize(gxGridSize size, float duration) {
        return std::make_shared<GxTiledGrid3DAction>(size, duration);
    }
    using GxGridAction::GxGridAction;
    const char* className() const override { return "GxTiledGrid3DAction"; }
    GxActionRef copy() const override { return std::make_shared<GxTiledGrid3DAction>(gridSize_, duration_); }
    std::shared_ptr<GxGridBase> grid() const override { return GxTiledGrid3D::gridWithSize(gridSize_); }
    // The target's tiles; twelve zeros and nothing written without a grid.
    gxQuad3 tile(gxGridSize pos) const;
    gxQuad3 originalTile(gxGridSize pos) const;
    void setTile(gxGridSize pos, const gxQuad3& coords);

protected:
    bool isOwnKind(const GxGridBase& g) const override { return dynamic_cast<const GxTiledGrid3D*>(&g) != nullptr; }
    GxTiledGrid3D* targetGrid() const;
};

// What effects with an amplitude implement; the amplitude actions drive it.
class GxAmplitudeProtocol {
public:
    virtual ~GxAmplitudeProtocol() = default;
    virtual void setAmplitudeRate(float rate) = 0;
    virtual float getAmplitudeRate() const = 0;
};

// The amplitude rate of any interval action; one without an amplitude
// raises "IntervalAction (Amplitude)" / "Abstract class needs implementation".
void gxSetAmplitudeRate(GxActionInterval& action, float rate);
float gxGetAmplitudeRate(const GxActionInterval& action);

// Wraps an effect and sets its amplitude rate from the time before each of
// its updates. The wrapped effect is never sent stop by the wrapper.
class GxAmplitudeAction : public GxActionInterval {
public:
    GxAmplitudeAction(GxActionIntervalRef other, float duration)
        : GxActionInterval(duration), other_(std::move(other)) {}
    void startWithTarget(GxNode* target) override;
    void update(float t) override;
    float rate() const { return rate_; }
    void setRate(float r) { rate_ = r; }
    const GxActionIntervalRef& other() const { return other_; }

protected:
    virtual float rateAt(float t) const = 0;
    // A copy of this class around a copy of the wrapped effect, with the rate.
    template <class T>
    GxActionRef copyAs() const {
        auto inner = std::dynamic_pointer_cast<GxActionInterval>(other_ ? other_->copy() : nullptr);
        auto a = std::make_shared<T>(std::move(inner), duration_);
        a->setRate(rate_);
        a->setTag(tag_);
        return a;
    }
    template <class T>
    GxFiniteTimeActionRef reverseAs() const {
        auto inner = std::dynamic_pointer_cast<GxActionInterval>(other_ ? other_->reverse() : nullptr);
        if (!inner) return nullptr;
        return std::make_shared<T>(std::move(inner), duration_);
    }
    float rate_ = 1;
    GxActionIntervalRef other_;
};

// Rises to full amplitude at half time and falls back to 0 at the end.
class GxAccelDeccelAmplitude : public GxAmplitudeAction {
public:
    static std::shared_ptr<GxAccelDeccelAmplitude> actionWithAction(GxActionIntervalRef action, float duration) {
        return action ? std::make_shared<GxAccelDeccelAmplitude>(std::move(action), duration) : nullptr;
    }
    using GxAmplitudeAction::GxAmplitudeAction;
    const char* className() const override { return "GxAccelDeccelAmplitude"; }
    GxActionRef copy() const override { return copyAs<GxAccelDeccelAmplitude>(); }
    GxFiniteTimeActionRef reverse() const override { return reverseAs<GxAccelDeccelAmplitude>(); }

protected:
    float rateAt(float t) const override;
};

class GxAccelAmplitude : public GxAmplitudeAction {
public:
    static std::shared_ptr<GxAccelAmplitude> actionWithAction(GxActionIntervalRef action, float duration) {
        return action ? std::make_shared<GxAccelAmplitude>(std::move(action), duration) : nullptr;
    }
    using GxAmplitudeAction::GxAmplitudeAction;
    const char* className() const override { return "GxAccelAmplitude"; }
    GxActionRef copy() const override { return copyAs<GxAccelAmplitude>(); }
    GxFiniteTimeActionRef reverse() const override { return reverseAs<GxAccelAmplitude>(); }

protected:
    float rateAt(float t) const override;
};

class GxDeccelAmplitude : public GxAmplitudeAction {
public:
    static std::shared_ptr<GxDeccelAmplitude> actionWithAction(GxActionIntervalRef action, float duration) {
        return action ? std::make_shared<GxDeccelAmplitude>(std::move(action), duration) : nullptr;
    }
    using GxAmplitudeAction::GxAmplitudeAction;
    const char* className() const override { return "GxDeccelAmplitude"; }
    GxActionRef copy() const override { return copyAs<GxDeccelAmplitude>(); }
    GxFiniteTimeActionRef reverse() const override { return reverseAs<GxDeccelAmplitude>(); }

protected:
    float rateAt(float t) const override;
};

// Switches the target's active grid off (it stays attached).
class GxStopGrid : public GxActionInstant {
public:
    static std::shared_ptr<GxStopGrid> action() { return std::make_shared<GxStopGrid>(); }
    const char* className() const override { return "GxStopGrid"; }
    GxActionRef copy() const override { return std::make_shared<GxStopGrid>(); }
    void startWithTarget(GxNode* target) override;
};

// Lets the next `times` grid actions of the same kind and size continue from
// the shape of the target's active grid.
class GxReuseGrid : public GxActionInstant {
public:
    static std::shared_ptr<GxReuseGrid> actionWithTimes(int times) { return std::make_shared<GxReuseGrid>(times); }
    explicit GxReuseGrid(int times) : t_(times) {}
    const char* className() const override { return "GxReuseGrid"; }
    GxActionRef copy() const override { return std::make_shared<GxReuseGrid>(t_); }
    void startWithTarget(GxNode* target) override;
    int times() const { return t_; }

private:
    int t_ = 0;
};

}  // namespace engine2d
