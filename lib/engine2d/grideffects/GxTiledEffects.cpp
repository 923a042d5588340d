#include "lib/engine2d/grideffects/GxTiledEffects.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "lib/engine2d/director/GxDirector.h"

namespace engine2d {

namespace {

constexpr float kPi = 3.1415927f;

float shake(int range) {
    if (range < 1) return 0;
    return float(int64_t(gxRand()) % (int64_t(range) * 2) - range);
}

// Offsets the four corners' x, then their y, then (when asked) their z, in
// that order of draws from the shared sequence.
gxQuad3 shakeQuad(gxQuad3 q, int range, bool z) {
    gxVertex3F* c[4] = {&q.bl, &q.br, &q.tl, &q.tr};
    for (auto* v : c) v->x += shake(range);
    for (auto* v : c) v->y += shake(range);
    if (z)
        for (auto* v : c) v->z += shake(range);
    return q;
}

// Fisher-Yates from the end, with the shared sequence.
void shuffleOrder(std::vector<int>& a) {
    for (size_t k = a.size(); k-- > 0;) {
        size_t r = size_t(gxRand()) % (k + 1);
        std::swap(a[k], a[r]);
    }
}

std::vector<int> shuffledCells(int seed, gxGridSize grid) {
    if (seed != -1) gxSrand(unsigned(seed));
    std::vector<int> order(size_t(std::max(0, grid.x)) * size_t(std::max(0, grid.y)));
    for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
    shuffleOrder(order);
    return order;
}

}  // namespace

// ---- shaking ----

void GxShakyTiles3D::update(float) {
    for (int i = 0; i < gridSize_.x; ++i)
        for (int j = 0; j < gridSize_.y; ++j) setTile({i, j}, shakeQuad(originalTile({i, j}), randrange_, shakeZ_));
}

void GxShatteredTiles3D::startWithTarget(GxNode* target) {
    GxTiledGrid3DAction::startWithTarget(target);
    // Each run shatters the grid it starts on.
    once_ = false;
}

void GxShatteredTiles3D::update(float) {
    if (once_) return;
    for (int i = 0; i < gridSize_.x; ++i)
        for (int j = 0; j < gridSize_.y; ++j) setTile({i, j}, shakeQuad(originalTile({i, j}), randrange_, shatterZ_));
    once_ = true;
}

// ---- shuffle ----

void GxShuffleTiles::shuffle(std::vector<int>& array) { shuffleOrder(array); }

void GxShuffleTiles::startWithTarget(GxNode* target) {
    GxTiledGrid3DAction::startWithTarget(target);
    tilesOrder_ = shuffledCells(seed_, gridSize_);
    tilesCount_ = unsigned(tilesOrder_.size());
    tiles_.clear();
    tiles_.reserve(tilesCount_);
    for (int i = 0; i < gridSize_.x; ++i)
        for (int j = 0; j < gridSize_.y; ++j) {
            Point cell{float(i), float(j)};
            tiles_.push_back(ShuffledTile{cell, cell, getDelta({i, j})});
        }
}

gxGridSize GxShuffleTiles::getDelta(gxGridSize pos) const {
    const int rows = gridSize_.y;
    const size_t k = size_t(pos.x) * size_t(rows) + size_t(pos.y);
    if (rows <= 0 || k >= tilesOrder_.size()) return {};
    const int d = tilesOrder_[k];
    return {d / rows - pos.x, d % rows - pos.y};
}

void GxShuffleTiles::placeTile(gxGridSize pos, const ShuffledTile& t) {
    gxQuad3 coords = originalTile(pos);
    auto* g = targetGrid();
    if (!g) return;
    const Point step = g->step();
    float ox = t.position.x * step.x, oy = t.position.y * step.y;
    const bool arrived = t.position.x == float(t.delta.x) && t.position.y == float(t.delta.y);
    if (!arrived) {
        ox = std::trunc(ox);
        oy = std::trunc(oy);
    }
    for (gxVertex3F* v : {&coords.bl, &coords.br, &coords.tl, &coords.tr}) {
        v->x += ox;
        v->y += oy;
    }
    setTile(pos, coords);
}

void GxShuffleTiles::update(float t) {
    size_t k = 0;
    for (int i = 0; i < gridSize_.x; ++i)
        for (int j = 0; j < gridSize_.y; ++j, ++k) {
            if (k >= tiles_.size()) return;
            ShuffledTile& tile = tiles_[k];
            tile.position = Point{float(tile.delta.x) * t, float(tile.delta.y) * t};
            placeTile({i, j}, tile);
        }
}

// ---- fading ----

void GxFadeOutTRTiles::turnOnTile(gxGridSize pos) { setTile(pos, originalTile(pos)); }

void GxFadeOutTRTiles::turnOffTile(gxGridSize pos) { setTile(pos, gxQuad3{}); }

float GxFadeOutTRTiles::testFunc(gxGridSize pos, float t) const {
    const float nx = float(gridSize_.x) * t, ny = float(gridSize_.y) * t;
    if (nx + ny == 0) return 1;
    return powf(float(pos.x + pos.y) / (nx + ny), 6);
}

void GxFadeOutTRTiles::transformTile(gxGridSize pos, float distance) {
    gxQuad3 coords = originalTile(pos);
    auto* g = targetGrid();
    if (!g) return;
    const Point step = g->step();
    const float dx = step.x / 2 * (1 - distance), dy = step.y / 2 * (1 - distance);
    coords.bl.x += dx, coords.bl.y += dy;
    coords.br.x -= dx, coords.br.y += dy;
    coords.tl.x += dx, coords.tl.y -= dy;
    coords.tr.x -= dx, coords.tr.y -= dy;
    setTile(pos, coords);
}

void GxFadeOutTRTiles::update(float t) {
    for (int i = 0; i < gridSize_.x; ++i)
        for (int j = 0; j < gridSize_.y; ++j) {
            const float distance = testFunc({i, j}, t);
            if (distance == 0)
                turnOffTile({i, j});
            else if (distance < 1)
                transformTile({i, j}, distance);
            else
                turnOnTile({i, j});
        }
}

float GxFadeOutBLTiles::testFunc(gxGridSize pos, float t) const {
    const float nx = float(gridSize_.x) * (1 - t), ny = float(gridSize_.y) * (1 - t);
    if (pos.x + pos.y == 0) return 1;
    return powf((nx + ny) / float(pos.x + pos.y), 6);
}

float GxFadeOutUpTiles::testFunc(gxGridSize pos, float t) const {
    const float ny = float(gridSize_.y) * t;
    if (ny == 0) return 1;
    return powf(float(pos.y) / ny, 6);
}

void GxFadeOutUpTiles::transformTile(gxGridSize pos, float distance) {
    gxQuad3 coords = originalTile(pos);
    auto* g = targetGrid();
    if (!g) return;
    const float dy = g->step().y / 2 * (1 - distance);
    coords.bl.y += dy, coords.br.y += dy;
    coords.tl.y -= dy, coords.tr.y -= dy;
    setTile(pos, coords);
}

float GxFadeOutDownTiles::testFunc(gxGridSize pos, float t) const {
    const float ny = float(gridSize_.y) * (1 - t);
    if (pos.y == 0) return 1;
    return powf(ny / float(pos.y), 6);
}

// ---- turning off ----

void GxTurnOffTiles::shuffle(std::vector<int>& array) { shuffleOrder(array); }

void GxTurnOffTiles::turnOnTile(gxGridSize pos) { setTile(pos, originalTile(pos)); }

void GxTurnOffTiles::turnOffTile(gxGridSize pos) { setTile(pos, gxQuad3{}); }

void GxTurnOffTiles::startWithTarget(GxNode* target) {
    GxTiledGrid3DAction::startWithTarget(target);
    tilesOrder_ = shuffledCells(seed_, gridSize_);
    tilesCount_ = unsigned(tilesOrder_.size());
}

void GxTurnOffTiles::update(float t) {
    if (tilesCount_ == 0 || gridSize_.y <= 0) return;
    const unsigned l = unsigned(t * float(tilesCount_));
    for (unsigned k = 0; k < tilesCount_; ++k) {
        const int d = tilesOrder_[k];
        const gxGridSize pos{d / gridSize_.y, d % gridSize_.y};
        if (k < l)
            turnOffTile(pos);
        else
            turnOnTile(pos);
    }
}

// ---- waves and jumps ----

void GxWavesTiles3D::update(float t) {
    const float a = amplitude_ * amplitudeRate_;
    for (int i = 0; i < gridSize_.x; ++i)
        for (int j = 0; j < gridSize_.y; ++j) {
            gxQuad3 coords = originalTile({i, j});
            const float z = sinf(t * kPi * float(waves_) * 2 + (coords.bl.x + coords.bl.y) * 0.01f) * a;
            coords.bl.z = coords.br.z = coords.tl.z = coords.tr.z = z;
            setTile({i, j}, coords);
        }
}

void GxJumpTiles3D::update(float t) {
    const float a = amplitude_ * amplitudeRate_;
    const float s1 = sinf(kPi * t * float(jumps_) * 2) * a;
    const float s2 = sinf(kPi * (t * float(jumps_) * 2 + 1)) * a;
    for (int i = 0; i < gridSize_.x; ++i)
        for (int j = 0; j < gridSize_.y; ++j) {
            gxQuad3 coords = originalTile({i, j});
            const float s = (i + j) % 2 == 0 ? s1 : s2;
            coords.bl.z += s, coords.br.z += s, coords.tl.z += s, coords.tr.z += s;
            setTile({i, j}, coords);
        }
}

// ---- splitting ----

void GxSplitRows::startWithTarget(GxNode* target) {
    GxTiledGrid3DAction::startWithTarget(target);
    winSize_ = GxDirector::sharedDirector().winSizeInPixels();
}

void GxSplitRows::update(float t) {
    for (int j = 0; j < gridSize_.y; ++j) {
        gxQuad3 coords = originalTile({0, j});
        const float direction = j % 2 == 1 ? 1.0f : -1.0f;
        const float dx = direction * winSize_.width * t;
        coords.bl.x += dx, coords.br.x += dx, coords.tl.x += dx, coords.tr.x += dx;
        setTile({0, j}, coords);
    }
}

void GxSplitCols::startWithTarget(GxNode* target) {
    GxTiledGrid3DAction::startWithTarget(target);
    winSize_ = GxDirector::sharedDirector().winSizeInPixels();
}

void GxSplitCols::update(float t) {
    for (int i = 0; i < gridSize_.x; ++i) {
        gxQuad3 coords = originalTile({i, 0});
        const float direction = i % 2 == 1 ? 1.0f : -1.0f;
        const float dy = direction * winSize_.height * t;
        coords.bl.y += dy, coords.br.y += dy, coords.tl.y += dy, coords.tr.y += dy;
        setTile({i, 0}, coords);
    }
}

}  // namespace engine2d
