#include "lib/engine2d/grideffects/GxEffects3D.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace engine2d {

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;

// An offset in -range..range - 1 from the shared sequence; none for a range
// below 1 (there is nothing to draw from).
float shake(int range) {
    if (range < 1) return 0;
    return float(int64_t(gxRand()) % (int64_t(range) * 2) - range);
}

}  // namespace

void GxWaves3D::update(float t) {
    const float a = amplitude_ * amplitudeRate_;
    for (int i = 0; i <= gridSize_.x; ++i)
        for (int j = 0; j <= gridSize_.y; ++j) {
            gxVertex3F v = originalVertex({i, j});
            v.z += sinf(t * kPi * float(waves_) * 2 + (v.x + v.y) * 0.01f) * a;
            setVertex({i, j}, v);
        }
}

GxFlipX3D::GxFlipX3D(gxGridSize grid, float duration) : GxGrid3DAction(grid, duration) {
    if (grid.x != 1 || grid.y != 1) throw GxEngineException("FlipX3D", "Grid size must be (1,1)");
}

void GxFlipX3D::update(float t) {
    const float angle = kPi * t;
    const float mz = sinf(angle), mx = cosf(angle / 2);
    const float x0 = originalVertex({1, 1}).x, x1 = originalVertex({0, 0}).x;
    gxGridSize a{0, 0}, b{0, 1}, c{1, 0}, d{1, 1};
    float x = x0;
    if (!(x0 > x1)) {
        c = {0, 0}, d = {0, 1}, a = {1, 0}, b = {1, 1};
        x = x1;
    }
    const float dx = x - x * mx, dz = fabsf(floorf(x * mz * 0.25f));
    for (gxGridSize p : {a, b}) {
        gxVertex3F v = originalVertex(p);
        v.x = dx;
        v.z += dz;
        setVertex(p, v);
    }
    for (gxGridSize p : {c, d}) {
        gxVertex3F v = originalVertex(p);
        v.x -= dx;
        v.z -= dz;
        setVertex(p, v);
    }
}

void GxFlipY3D::update(float t) {
    const float angle = kPi * t;
    const float mz = sinf(angle), mx = cosf(angle / 2);
    const float y0 = originalVertex({1, 1}).y, y1 = originalVertex({0, 0}).y;
    gxGridSize a{0, 0}, b{0, 1}, c{1, 0}, d{1, 1};
    float y = y0;
    if (!(y0 > y1)) {
        b = {0, 0}, a = {0, 1}, d = {1, 0}, c = {1, 1};
        y = y1;
    }
    const float dy = y - y * mx, dz = fabsf(floorf(y * mz * 0.25f));
    gxVertex3F v = originalVertex(a);
    v.y = dy;
    v.z += dz;
    setVertex(a, v);
    v = originalVertex(b);
    v.y -= dy;
    v.z -= dz;
    setVertex(b, v);
    v = originalVertex(c);
    v.y = dy;
    v.z += dz;
    setVertex(c, v);
    v = originalVertex(d);
    v.y -= dy;
    v.z -= dz;
    setVertex(d, v);
}

GxLens3D::GxLens3D(Point pos, float radius, gxGridSize grid, float duration)
    : GxGrid3DAction(grid, duration), position_{-1, -1}, radius_(radius) {
    setPosition(pos);
    lensEffect_ = 0.7f;
    dirty_ = true;
}

void GxLens3D::setPosition(Point p) {
    if (p != position_) {
        position_ = p;
        dirty_ = true;
    }
}

void GxLens3D::startWithTarget(GxNode* target) {
    GxGrid3DAction::startWithTarget(target);
    // A new run may have a new grid (or a new shape to start from): the lens
    // is worked out again.
    dirty_ = true;
}

void GxLens3D::update(float) {
    if (!dirty_) return;
    for (int i = 0; i <= gridSize_.x; ++i)
        for (int j = 0; j <= gridSize_.y; ++j) {
            gxVertex3F v = originalVertex({i, j});
            Point vect{position_.x - v.x, position_.y - v.y};
            const float r = gxPointLength(vect);
            if (r < radius_ && r > 0) {
                float pre = (radius_ - r) / radius_;
                if (pre == 0) pre = 0.001f;
                const float newR = expf(logf(pre) * lensEffect_) * radius_;
                Point n = gxPointNormalize(vect);
                v.z += gxPointLength(Point{n.x * newR, n.y * newR}) * lensEffect_;
            }
            setVertex({i, j}, v);
        }
    dirty_ = false;
}

void GxRipple3D::update(float t) {
    const float a = amplitude_ * amplitudeRate_;
    for (int i = 0; i <= gridSize_.x; ++i)
        for (int j = 0; j <= gridSize_.y; ++j) {
            gxVertex3F v = originalVertex({i, j});
            const float r = gxPointLength(Point{position_.x - v.x, position_.y - v.y});
            if (r < radius_) {
                const float fade = (radius_ - r) / radius_;
                v.z += sinf(t * kPi * float(waves_) * 2 + (radius_ - r) * 0.1f) * a * fade * fade;
            }
            setVertex({i, j}, v);
        }
}

void GxShaky3D::update(float) {
    for (int i = 0; i <= gridSize_.x; ++i)
        for (int j = 0; j <= gridSize_.y; ++j) {
            gxVertex3F v = originalVertex({i, j});
            v.x += shake(randrange_);
            v.y += shake(randrange_);
            if (shakeZ_) v.z += shake(randrange_);
            setVertex({i, j}, v);
        }
}

void GxLiquid::update(float t) {
    const float a = amplitude_ * amplitudeRate_;
    for (int i = 1; i < gridSize_.x; ++i)
        for (int j = 1; j < gridSize_.y; ++j) {
            gxVertex3F v = originalVertex({i, j});
            const float x = v.x, y = v.y;
            v.x = x + sinf(t * kPi * float(waves_) * 2 + x * 0.01f) * a;
            v.y = y + sinf(t * kPi * float(waves_) * 2 + y * 0.01f) * a;
            setVertex({i, j}, v);
        }
}

void GxWaves::update(float t) {
    const float a = amplitude_ * amplitudeRate_;
    for (int i = 0; i <= gridSize_.x; ++i)
        for (int j = 0; j <= gridSize_.y; ++j) {
            gxVertex3F v = originalVertex({i, j});
            if (vertical_) v.x += sinf(t * kPi * float(waves_) * 2 + v.y * 0.01f) * a;
            if (horizontal_) v.y += sinf(t * kPi * float(waves_) * 2 + v.x * 0.01f) * a;
            setVertex({i, j}, v);
        }
}

void GxTwirl::update(float t) {
    const Point c = position_;
    const float amp = 0.1f * amplitude_ * amplitudeRate_;
    for (int i = 0; i <= gridSize_.x; ++i)
        for (int j = 0; j <= gridSize_.y; ++j) {
            gxVertex3F v = originalVertex({i, j});
            const Point avg{float(i) - float(gridSize_.x) * 0.5f, float(j) - float(gridSize_.y) * 0.5f};
            const float r = gxPointLength(avg);
            const float a = r * cosf(kHalfPi + t * kPi * float(twirls_) * 2) * amp;
            const float dx = sinf(a) * (v.y - c.y) + cosf(a) * (v.x - c.x);
            const float dy = cosf(a) * (v.y - c.y) - sinf(a) * (v.x - c.x);
            v.x = c.x + dx;
            v.y = c.y + dy;
            setVertex({i, j}, v);
        }
}

void GxPageTurn3D::update(float t) {
    const float tt = std::max(0.0f, t - 0.25f);
    const float ay = -100 - tt * tt * 500;
    const float theta = kHalfPi - kHalfPi * sqrtf(t);
    const float sinT = sinf(theta), cosT = cosf(theta);
    for (int i = 0; i <= gridSize_.x; ++i)
        for (int j = 0; j <= gridSize_.y; ++j) {
            gxVertex3F v = originalVertex({i, j});
            const float R = sqrtf(v.x * v.x + (v.y - ay) * (v.y - ay));
            if (!(sinT > 0) || R == 0) {
                // Turned all the way (or a vertex on the curl's axis): the
                // page lies folded on the line x = 0 and draws nothing.
                v.x = 0;
                v.y = R + ay;
                v.z = 0.5f;
                setVertex({i, j}, v);
                continue;
            }
            const float r = R * sinT;
            const float alpha = asinf(v.x / R);
            const float beta = alpha / sinT;
            const float cosB = cosf(beta);
            v.x = double(beta) <= M_PI ? r * sinf(beta) : 0;
            v.y = R + ay - r * (1 - cosB) * sinT;
            v.z = r * (1 - cosB) * cosT / 7;
            if (v.z < 0.5f) v.z = 0.5f;
            setVertex({i, j}, v);
        }
}

}  // namespace engine2d
