#include "lib/engine2d/effects/GxMotionStreak.h"

#include <cmath>
#include <cstdio>

#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "platform/foundation/Log.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

namespace {
float squaredDistance(Point a, Point b) {
    Point d = a - b;
    return d.x * d.x + d.y * d.y;
}
}  // namespace

std::shared_ptr<GxMotionStreak> GxMotionStreak::streakWithFade(float fade, float minSeg, float width, gxColor3B color,
                                                               const std::string& textureFilename) {
    auto s = std::make_shared<GxMotionStreak>();
    if (!s->initWithFade(fade, minSeg, width, color, textureFilename)) return nullptr;
    return s;
}

std::shared_ptr<GxMotionStreak> GxMotionStreak::streakWithFade(float fade, float minSeg, float width, gxColor3B color,
                                                               std::shared_ptr<GxTexture2D> texture) {
    auto s = std::make_shared<GxMotionStreak>();
    if (!s->initWithFade(fade, minSeg, width, color, std::move(texture))) return nullptr;
    return s;
}

bool GxMotionStreak::initWithFade(float fade, float minSeg, float width, gxColor3B color,
                                  const std::string& textureFilename) {
    auto t = GxTextureCache::sharedTextureCache().addImage(textureFilename);
    if (!t) return false;
    return initWithFade(fade, minSeg, width, color, std::move(t));
}

bool GxMotionStreak::initWithFade(float fade, float minSeg, float width, gxColor3B color,
                                  std::shared_ptr<GxTexture2D> texture) {
    // A fade that is not a positive time would divide by zero and leave no
    // room to age the points in.
    if (!(fade > 0) || !std::isfinite(fade) || fade * 60 > 1e6f) {
        foundation::warn("engine2d: GxMotionStreak: fade time %g refused", double(fade));
        return false;
    }
    if (!GxNode::init()) return false;
    GxNode::setPosition(Point{0, 0});
    setAnchorPoint(Point{0, 0});
    setIgnoreAnchorPointForPosition(true);
    startingPositionInitialized_ = false;
    positionR_ = Point{0, 0};
    fastMode_ = true;
    if (minSeg == -1) minSeg = width / 5;
    minSeg_ = minSeg * minSeg;
    stroke_ = width;
    fadeDelta_ = 1.0f / fade;
    maxPoints_ = unsigned(fade * 60) + 2;
    nuPoints_ = previousNuPoints_ = 0;
    pointState_.assign(maxPoints_, 0);
    pointVertexes_.assign(maxPoints_, Point{});
    vertices_.assign(size_t(maxPoints_) * 2, gxVertex2F{});
    texCoords_.assign(size_t(maxPoints_) * 2, gxTex2F{});
    colorPointer_.assign(size_t(maxPoints_) * 8, 0);
    blendFunc_ = gxBlendFunc{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
    if (gl::Context::current())
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    setTexture(std::move(texture));
    setColor(color);
    scheduleUpdate();
    return true;
}

void GxMotionStreak::setPosition(Point p) {
    startingPositionInitialized_ = true;
    positionR_ = p;
}

void GxMotionStreak::tintWithColor(gxColor3B c) {
    setColor(c);
    for (unsigned i = 0; i < nuPoints_ * 2; ++i) {
        colorPointer_[i * 4] = c.r;
        colorPointer_[i * 4 + 1] = c.g;
        colorPointer_[i * 4 + 2] = c.b;
    }
}

void GxMotionStreak::update(float dt) {
    if (!startingPositionInitialized_) return;
    dt *= fadeDelta_;

    unsigned mov = 0;
    for (unsigned i = 0; i < nuPoints_; ++i) {
        pointState_[i] -= dt;
        if (pointState_[i] <= 0) {
            ++mov;
            continue;
        }
        const unsigned newIdx = i - mov;
        if (mov > 0) {
            pointState_[newIdx] = pointState_[i];
            pointVertexes_[newIdx] = pointVertexes_[i];
            vertices_[newIdx * 2] = vertices_[i * 2];
            vertices_[newIdx * 2 + 1] = vertices_[i * 2 + 1];
            for (unsigned k : {0u, 1u, 2u, 4u, 5u, 6u}) colorPointer_[newIdx * 8 + k] = colorPointer_[i * 8 + k];
        }
        const uint8_t alpha = uint8_t(int(pointState_[newIdx] * 255));
        colorPointer_[newIdx * 8 + 3] = alpha;
        colorPointer_[newIdx * 8 + 7] = alpha;
    }
    nuPoints_ -= mov;

    bool append = true;
    if (nuPoints_ >= maxPoints_) {
        append = false;
    } else if (nuPoints_ > 0) {
        const bool nearLast = squaredDistance(pointVertexes_[nuPoints_ - 1], positionR_) < minSeg_;
        const bool nearSecondLast =
            nuPoints_ > 1 && squaredDistance(pointVertexes_[nuPoints_ - 2], positionR_) < minSeg_ * 2;
        append = !nearLast && !nearSecondLast;
    }
    if (append) {
        pointVertexes_[nuPoints_] = positionR_;
        pointState_[nuPoints_] = 1;
        const unsigned o = nuPoints_ * 8;
        for (unsigned side : {0u, 4u}) {
            colorPointer_[o + side] = color_.r;
            colorPointer_[o + side + 1] = color_.g;
            colorPointer_[o + side + 2] = color_.b;
            colorPointer_[o + side + 3] = 255;
        }
        if (nuPoints_ > 0 && fastMode_) {
            if (nuPoints_ > 1)
                gxPolylineToStrip(pointVertexes_.data(), stroke_, vertices_.data(), nuPoints_, 1);
            else
                gxPolylineToStrip(pointVertexes_.data(), stroke_, vertices_.data(), 0, 2);
        }
        ++nuPoints_;
    }
    if (!fastMode_) gxPolylineToStrip(pointVertexes_.data(), stroke_, vertices_.data(), 0, nuPoints_);

    if (nuPoints_ && previousNuPoints_ != nuPoints_) {
        const float texDelta = 1.0f / float(nuPoints_);
        for (unsigned i = 0; i < nuPoints_; ++i) {
            texCoords_[i * 2] = gxTex2F{0, texDelta * float(i)};
            texCoords_[i * 2 + 1] = gxTex2F{1, texDelta * float(i)};
        }
        previousNuPoints_ = nuPoints_;
    }
}

void GxMotionStreak::draw() {
    if (nuPoints_ <= 1 || !gl::Context::current()) return;
    if (!shaderProgram_)
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    if (!shaderProgram_) return;
    gxGLCacheEnable(glServerState_);
    shaderProgram_->use();
    shaderProgram_->setUniformForModelViewProjectionMatrix();
    gxGLCacheEnableAttribs(kGxVertexAttribFlagPosition | kGxVertexAttribFlagColor | kGxVertexAttribFlagTexCoords);
    gxGLCacheBlendFunc(blendFunc_.src, blendFunc_.dst);
    gxGLCacheBindTexture(texture_ ? texture_->name() : 0);
    gl::BindBuffer(GL_ARRAY_BUFFER, 0);
    gl::VertexAttribPointer(kGxVertexAttribPosition, 2, GL_FLOAT, GL_FALSE, 0, vertices_.data());
    gl::VertexAttribPointer(kGxVertexAttribTexCoords, 2, GL_FLOAT, GL_FALSE, 0, texCoords_.data());
    gl::VertexAttribPointer(kGxVertexAttribColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, 0, colorPointer_.data());
    gl::DrawArrays(GL_TRIANGLE_STRIP, 0, GLsizei(nuPoints_ * 2));
    ++GxEnvironment::shared().drawCounter;
}

}  // namespace engine2d
