#pragma once
// Effects over a tiled grid (GxTiledGrid3D), where every cell is a quad of
// its own: tiles jitter, shrink, vanish, swap places or slide away. Tile
// (i, j) is column i and row j. Random choices come from the effects' shared
// sequence (gxRand), so a seed replays them.

#include <vector>

#include "lib/engine2d/grideffects/GxEffects3D.h"

namespace engine2d {

// Every tile jumps by up to `range` points each frame (0 or less: still).
class GxShakyTiles3D : public GxTiledGrid3DAction {
public:
    static std::shared_ptr<GxShakyTiles3D> actionWithRange(int range, bool shakeZ, gxGridSize grid, float duration) {
        return std::make_shared<GxShakyTiles3D>(range, shakeZ, grid, duration);
    }
    GxShakyTiles3D(int range, bool shakeZ, gxGridSize grid, float duration)
        : GxTiledGrid3DAction(grid, duration), randrange_(range), shakeZ_(shakeZ) {}
    const char* className() const override { return "GxShakyTiles3D"; }
    GxActionRef copy() const override { return actionWithRange(randrange_, shakeZ_, gridSize_, duration_); }
    void update(float t) override;

private:
    int randrange_;
    bool shakeZ_;
};

// Tiles scattered once, on the first update of each run, and left there.
class GxShatteredTiles3D : public GxTiledGrid3DAction {
public:
    static std::shared_ptr<GxShatteredTiles3D> actionWithRange(int range, bool shatterZ, gxGridSize grid,
                                                               float duration) {
        return std::make_shared<GxShatteredTiles3D>(range, shatterZ, grid, duration);
    }
    GxShatteredTiles3D(int range, bool shatterZ, gxGridSize grid, float duration)
        : GxTiledGrid3DAction(grid, duration), randrange_(range), shatterZ_(shatterZ) {}
    const char* className() const override { return "GxShatteredTiles3D"; }
    GxActionRef copy() const override { return actionWithRange(randrange_, shatterZ_, gridSize_, duration_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;

private:
    int randrange_;
    bool once_ = false, shatterZ_;
};

// A tile's way from its own cell to the cell it is shuffled to.
struct ShuffledTile {
    Point position;       // the current offset, in cells
    Point startPosition;  // its own cell
    gxGridSize delta;     // from its own cell to its destination, in cells
};

// Every tile slides to another cell; the cells are a shuffle of the grid,
// reseeded with `seed` at the start unless it is -1.
class GxShuffleTiles : public GxTiledGrid3DAction {
public:
    static std::shared_ptr<GxShuffleTiles> actionWithSeed(int seed, gxGridSize grid, float duration) {
        return std::make_shared<GxShuffleTiles>(seed, grid, duration);
    }
    GxShuffleTiles(int seed, gxGridSize grid, float duration) : GxTiledGrid3DAction(grid, duration), seed_(seed) {}
    const char* className() const override { return "GxShuffleTiles"; }
    GxActionRef copy() const override { return actionWithSeed(seed_, gridSize_, duration_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;
    void shuffle(std::vector<int>& array);
    gxGridSize getDelta(gxGridSize pos) const;
    // Moves tile `pos` by its record's offset, in whole points while it
    // travels and exactly onto its destination at the end.
    void placeTile(gxGridSize pos, const ShuffledTile& t);
    const std::vector<int>& tilesOrder() const { return tilesOrder_; }
    const std::vector<ShuffledTile>& tiles() const { return tiles_; }

private:
    int seed_;
    unsigned tilesCount_ = 0;
    std::vector<int> tilesOrder_;
    std::vector<ShuffledTile> tiles_;
};

// Tiles shrink and vanish starting from the bottom left, the top-right tile
// last. The rest of the family differ in their test of a tile's distance
// from the front (1 or more: whole; 0: gone; between: shrunk).
class GxFadeOutTRTiles : public GxTiledGrid3DAction {
public:
    static std::shared_ptr<GxFadeOutTRTiles> actionWithSize(gxGridSize grid, float duration) {
        return std::make_shared<GxFadeOutTRTiles>(grid, duration);
    }
    using GxTiledGrid3DAction::GxTiledGrid3DAction;
    const char* className() const override { return "GxFadeOutTRTiles"; }
    GxActionRef copy() const override { return std::make_shared<GxFadeOutTRTiles>(gridSize_, duration_); }
    void update(float t) override;
    virtual float testFunc(gxGridSize pos, float t) const;
    virtual void transformTile(gxGridSize pos, float distance);
    void turnOnTile(gxGridSize pos);
    void turnOffTile(gxGridSize pos);
};

// From the top right, the bottom-left tile last.
class GxFadeOutBLTiles : public GxFadeOutTRTiles {
public:
    static std::shared_ptr<GxFadeOutBLTiles> actionWithSize(gxGridSize grid, float duration) {
        return std::make_shared<GxFadeOutBLTiles>(grid, duration);
    }
    using GxFadeOutTRTiles::GxFadeOutTRTiles;
    const char* className() const override { return "GxFadeOutBLTiles"; }
    GxActionRef copy() const override { return std::make_shared<GxFadeOutBLTiles>(gridSize_, duration_); }
    float testFunc(gxGridSize pos, float t) const override;
};

// Row by row from the bottom; tiles shrink vertically only.
class GxFadeOutUpTiles : public GxFadeOutTRTiles {
public:
    static std::shared_ptr<GxFadeOutUpTiles> actionWithSize(gxGridSize grid, float duration) {
        return std::make_shared<GxFadeOutUpTiles>(grid, duration);
    }
    using GxFadeOutTRTiles::GxFadeOutTRTiles;
    const char* className() const override { return "GxFadeOutUpTiles"; }
    GxActionRef copy() const override { return std::make_shared<GxFadeOutUpTiles>(gridSize_, duration_); }
    float testFunc(gxGridSize pos, float t) const override;
    void transformTile(gxGridSize pos, float distance) override;
};

// Row by row from the top.
class GxFadeOutDownTiles : public GxFadeOutUpTiles {
public:
    static std::shared_ptr<GxFadeOutDownTiles> actionWithSize(gxGridSize grid, float duration) {
        return std::make_shared<GxFadeOutDownTiles>(grid, duration);
    }
    using GxFadeOutUpTiles::GxFadeOutUpTiles;
    const char* className() const override { return "GxFadeOutDownTiles"; }
    GxActionRef copy() const override { return std::make_shared<GxFadeOutDownTiles>(gridSize_, duration_); }
    float testFunc(gxGridSize pos, float t) const override;
};

// Tiles go out one by one in a shuffled order, reseeded with `seed` at the
// start unless it is -1 (made by size alone, the seed is 0).
class GxTurnOffTiles : public GxTiledGrid3DAction {
public:
    static std::shared_ptr<GxTurnOffTiles> actionWithSeed(int seed, gxGridSize grid, float duration) {
        return std::make_shared<GxTurnOffTiles>(seed, grid, duration);
    }
    static std::shared_ptr<GxTurnOffTiles> actionWithSize(gxGridSize grid, float duration) {
        return std::make_shared<GxTurnOffTiles>(0, grid, duration);
    }
    GxTurnOffTiles(int seed, gxGridSize grid, float duration) : GxTiledGrid3DAction(grid, duration), seed_(seed) {}
    const char* className() const override { return "GxTurnOffTiles"; }
    GxActionRef copy() const override { return actionWithSeed(seed_, gridSize_, duration_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;
    void shuffle(std::vector<int>& array);
    void turnOnTile(gxGridSize pos);
    void turnOffTile(gxGridSize pos);
    const std::vector<int>& tilesOrder() const { return tilesOrder_; }

private:
    int seed_;
    unsigned tilesCount_ = 0;
    std::vector<int> tilesOrder_;
};

// Tiles rise and fall towards the viewer in waves, each tile flat.
class GxWavesTiles3D : public GxTiledGrid3DAction, public GxAmplitudeFields {
public:
    static std::shared_ptr<GxWavesTiles3D> actionWithWaves(int waves, float amplitude, gxGridSize grid,
                                                           float duration) {
        return std::make_shared<GxWavesTiles3D>(waves, amplitude, grid, duration);
    }
    GxWavesTiles3D(int waves, float amplitude, gxGridSize grid, float duration)
        : GxTiledGrid3DAction(grid, duration), GxAmplitudeFields(amplitude), waves_(waves) {}
    const char* className() const override { return "GxWavesTiles3D"; }
    GxActionRef copy() const override { return actionWithWaves(waves_, amplitude_, gridSize_, duration_); }
    void update(float t) override;

private:
    int waves_;
};

// Tiles jump towards the viewer, neighbours out of step like a chessboard.
class GxJumpTiles3D : public GxTiledGrid3DAction, public GxAmplitudeFields {
public:
    static std::shared_ptr<GxJumpTiles3D> actionWithJumps(int jumps, float amplitude, gxGridSize grid, float duration) {
        return std::make_shared<GxJumpTiles3D>(jumps, amplitude, grid, duration);
    }
    GxJumpTiles3D(int jumps, float amplitude, gxGridSize grid, float duration)
        : GxTiledGrid3DAction(grid, duration), GxAmplitudeFields(amplitude), jumps_(jumps) {}
    const char* className() const override { return "GxJumpTiles3D"; }
    GxActionRef copy() const override { return actionWithJumps(jumps_, amplitude_, gridSize_, duration_); }
    void update(float t) override;

private:
    int jumps_;
};

// Rows slide out of the window, even rows to the left and odd ones right.
class GxSplitRows : public GxTiledGrid3DAction {
public:
    static std::shared_ptr<GxSplitRows> actionWithRows(int rows, float duration) {
        return std::make_shared<GxSplitRows>(rows, duration);
    }
    GxSplitRows(int rows, float duration) : GxTiledGrid3DAction(gxGridSize{1, rows}, duration), rows_(rows) {}
    const char* className() const override { return "GxSplitRows"; }
    GxActionRef copy() const override { return actionWithRows(rows_, duration_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;

private:
    int rows_;
    Size winSize_;
};

// Columns slide out of the window, even columns down and odd ones up.
class GxSplitCols : public GxTiledGrid3DAction {
public:
    static std::shared_ptr<GxSplitCols> actionWithCols(int cols, float duration) {
        return std::make_shared<GxSplitCols>(cols, duration);
    }
    GxSplitCols(int cols, float duration) : GxTiledGrid3DAction(gxGridSize{cols, 1}, duration), cols_(cols) {}
    const char* className() const override { return "GxSplitCols"; }
    GxActionRef copy() const override { return actionWithCols(cols_, duration_); }
    void startWithTarget(GxNode* target) override;
    void update(float t) override;

private:
    int cols_;
    Size winSize_;
};

}  // namespace engine2d
