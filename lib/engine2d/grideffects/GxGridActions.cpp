#include "lib/engine2d/grideffects/GxGridActions.h"

#include <cmath>
#include <cstdint>

namespace engine2d {

// ---- the random sequence ----

namespace {

uint64_t randomState = 0x853c49e6748fea9bULL;

uint64_t splitmix(uint64_t& s) {
    uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

}  // namespace

int gxRand() { return int(splitmix(randomState) >> 33); }

void gxSrand(unsigned seed) { randomState = uint64_t(seed) * 0x2545f4914f6cdd1dULL + 1; }

// ---- GxGridAction ----

void GxGridAction::startWithTarget(GxNode* target) {
    auto targetGrid = target ? std::dynamic_pointer_cast<GxGridBase>(target->grid()) : nullptr;
    if (targetGrid && targetGrid->reuseGrid() > 0) {
        const gxGridSize s = targetGrid->gridSize();
        if (!targetGrid->active() || s.x != gridSize_.x || s.y != gridSize_.y || !isOwnKind(*targetGrid))
            throw GxEngineException("GridBase", "Cannot reuse grid");
        GxActionInterval::startWithTarget(target);
        targetGrid->reuse();
        return;
    }
    // Built before anything changes: a grid that cannot be made leaves the
    // node as it was.
    auto newGrid = grid();
    GxActionInterval::startWithTarget(target);
    if (!target || !newGrid) return;
    if (targetGrid && targetGrid->active()) targetGrid->setActive(false);
    target->setGrid(newGrid);
    newGrid->setActive(true);
}

std::shared_ptr<GxGridBase> GxGridAction::grid() const {
    throw GxEngineException("GridBase", "Abstract class needs implementation");
}

bool GxGridAction::isOwnKind(const GxGridBase&) const {
    grid();
    return false;
}

GxFiniteTimeActionRef GxGridAction::reverse() const {
    return GxReverseTime::actionWithAction(std::dynamic_pointer_cast<GxFiniteTimeAction>(copy()));
}

// ---- GxGrid3DAction, GxTiledGrid3DAction ----

GxGrid3D* GxGrid3DAction::targetGrid() const {
    return target_ ? dynamic_cast<GxGrid3D*>(target_->grid().get()) : nullptr;
}

gxVertex3F GxGrid3DAction::vertex(gxGridSize pos) const {
    auto* g = targetGrid();
    return g ? g->vertex(pos) : gxVertex3F{};
}

gxVertex3F GxGrid3DAction::originalVertex(gxGridSize pos) const {
    auto* g = targetGrid();
    return g ? g->originalVertex(pos) : gxVertex3F{};
}

void GxGrid3DAction::setVertex(gxGridSize pos, gxVertex3F v) {
    if (auto* g = targetGrid()) g->setVertex(pos, v);
}

GxTiledGrid3D* GxTiledGrid3DAction::targetGrid() const {
    return target_ ? dynamic_cast<GxTiledGrid3D*>(target_->grid().get()) : nullptr;
}

gxQuad3 GxTiledGrid3DAction::tile(gxGridSize pos) const {
    auto* g = targetGrid();
    return g ? g->tile(pos) : gxQuad3{};
}

gxQuad3 GxTiledGrid3DAction::originalTile(gxGridSize pos) const {
    auto* g = targetGrid();
    return g ? g->originalTile(pos) : gxQuad3{};
}

void GxTiledGrid3DAction::setTile(gxGridSize pos, const gxQuad3& coords) {
    if (auto* g = targetGrid()) g->setTile(pos, coords);
}

// ---- amplitude ----

namespace {

[[noreturn]] void noAmplitude() {
    throw GxEngineException("IntervalAction (Amplitude)", "Abstract class needs implementation");
}

}  // namespace

void gxSetAmplitudeRate(GxActionInterval& action, float rate) {
    auto* a = dynamic_cast<GxAmplitudeProtocol*>(&action);
    if (!a) noAmplitude();
    a->setAmplitudeRate(rate);
}

float gxGetAmplitudeRate(const GxActionInterval& action) {
    auto* a = dynamic_cast<const GxAmplitudeProtocol*>(&action);
    if (!a) noAmplitude();
    return a->getAmplitudeRate();
}

void GxAmplitudeAction::startWithTarget(GxNode* target) {
    GxActionInterval::startWithTarget(target);
    if (other_) other_->startWithTarget(target);
}

void GxAmplitudeAction::update(float t) {
    if (!other_) return;
    gxSetAmplitudeRate(*other_, rateAt(t));
    other_->update(t);
}

float GxAccelDeccelAmplitude::rateAt(float t) const {
    float f = t * 2;
    if (f > 1) f = 2 - f;
    return std::pow(f, rate_);
}

float GxAccelAmplitude::rateAt(float t) const { return std::pow(t, rate_); }

float GxDeccelAmplitude::rateAt(float t) const { return std::pow(1 - t, rate_); }

// ---- GxStopGrid, GxReuseGrid ----

void GxStopGrid::startWithTarget(GxNode* target) {
    GxActionInstant::startWithTarget(target);
    auto g = target ? std::dynamic_pointer_cast<GxGridBase>(target->grid()) : nullptr;
    if (g && g->active()) g->setActive(false);
}

void GxReuseGrid::startWithTarget(GxNode* target) {
    GxActionInstant::startWithTarget(target);
    auto g = target ? std::dynamic_pointer_cast<GxGridBase>(target->grid()) : nullptr;
    if (g && g->active()) g->setReuseGrid(g->reuseGrid() + t_);
}

}  // namespace engine2d
