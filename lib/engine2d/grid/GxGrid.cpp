#include "lib/engine2d/grid/GxGrid.h"

#include <cstdio>
#include <new>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxGLView.h"
#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/Mat4.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "lib/engine2d/nodes/GxCamera.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

// ---- GxGrabber ----

GxGrabber::GxGrabber() { gl::GenFramebuffers(1, &fbo_); }

GxGrabber::~GxGrabber() {
    if (fbo_ && gl::Context::current()) gl::DeleteFramebuffers(1, &fbo_);
}

void GxGrabber::grab(const GxTexture2D* texture) {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &oldFBO_);
    gl::BindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture ? texture->name() : 0, 0);
    GLenum status = gl::CheckFramebufferStatus(GL_FRAMEBUFFER);
    gl::BindFramebuffer(GL_FRAMEBUFFER, GLuint(oldFBO_));
    if (status != GL_FRAMEBUFFER_COMPLETE)
        throw GxEngineException("Frame Grabber", "Could not attach texture to framebuffer");
}

void GxGrabber::beforeRender(const GxTexture2D*) {
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &oldFBO_);
    gl::BindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, oldClearColor_);
    gl::ClearColor(0, 0, 0, 0);
    gl::Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void GxGrabber::afterRender(const GxTexture2D*) {
    gl::BindFramebuffer(GL_FRAMEBUFFER, GLuint(oldFBO_));
    gl::ClearColor(oldClearColor_[0], oldClearColor_[1], oldClearColor_[2], oldClearColor_[3]);
}

// ---- GxGridBase ----

namespace {

[[noreturn]] void abstractGrid() { throw GxEngineException("GridBase", "Abstract class needs implementation"); }

}  // namespace

bool GxGridBase::initWithSize(gxGridSize size, std::shared_ptr<GxTexture2D> texture, bool flipped) {
    // A grid needs a cell, and a mesh its 16-bit indices can reach.
    if (size.x <= 0 || size.y <= 0 || !fitsIndices(size) || !texture) return false;
    active_ = false;
    reuseGrid_ = 0;
    gridSize_ = size;
    setTexture(std::move(texture));
    isTextureFlipped_ = flipped;
    Size content = texture_->contentSize();
    step_ = Point{content.width / float(size.x), content.height / float(size.y)};
    grabber_ = std::make_shared<GxGrabber>();
    grabber_->grab(texture_.get());
    shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTexture).get();
    calculateVertexPoints();
    return true;
}

bool GxGridBase::initWithSize(gxGridSize size) {
    if (!gl::Context::current()) return false;
    auto& director = GxDirector::sharedDirector();
    Size s = director.winSizeInPixels();
    unsigned w = gxNextPowerOfTwo(unsigned(s.width)), h = gxNextPowerOfTwo(unsigned(s.height));
    if (s.width < 1 || s.height < 1) return false;
    int format = kGxTexture2DPixelFormat_RGBA8888;
    if (auto& view = director.openGLView(); view && view->pixelFormat() == kGxColorFormatRGB565)
        format = kGxTexture2DPixelFormat_RGB565;
    const size_t bytes = format == kGxTexture2DPixelFormat_RGB565 ? 2 : 4;
    std::shared_ptr<GxTexture2D> texture;
    {
        std::vector<uint8_t> zeros;
        try {
            zeros.assign(size_t(w) * h * bytes, 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        texture = GxTexture2D::textureWithData(zeros.data(), format, w, h, s);
    }
    if (!texture) return false;
    return initWithSize(size, std::move(texture), false);
}

std::string GxGridBase::description() const {
    char buf[128];
    std::snprintf(buf, sizeof buf, "<%s = %p | Dimensions = %ix%i>", className(), static_cast<const void*>(this),
                  gridSize_.x, gridSize_.y);
    return buf;
}

void GxGridBase::setActive(bool active) {
    active_ = active;
    if (!active) {
        auto& director = GxDirector::sharedDirector();
        director.setProjection(director.projection());
    }
}

void GxGridBase::setIsTextureFlipped(bool flipped) {
    if (isTextureFlipped_ == flipped) return;
    isTextureFlipped_ = flipped;
    calculateVertexPoints();
}

void GxGridBase::set2DProjection() {
    auto& director = GxDirector::sharedDirector();
    Size size = director.winSizeInPixels();
    const float s = director.contentScaleFactor();
    gl::Viewport(0, 0, GLsizei(size.width * s), GLsizei(size.height * s));
    mxGLMatrixMode(MX_GL_PROJECTION);
    mxGLSetIdentity();
    mxMat4 ortho;
    mxMat4Ortho(&ortho, 0, size.width * s, 0, size.height * s, -1, 1);
    mxGLMultiplyTop(&ortho);
    mxGLMatrixMode(MX_GL_MODELVIEW);
    mxGLSetIdentity();
    gxGLCacheProjectionChanged();
}

void GxGridBase::beforeDraw() {
    directorProjection_ = GxDirector::sharedDirector().projection();
    set2DProjection();
    grabber_->beforeRender(texture_.get());
}

void GxGridBase::afterDraw(GxNode* target) {
    grabber_->afterRender(texture_.get());
    GxDirector::sharedDirector().setProjection(directorProjection_);
    if (target) {
        GxCamera* camera = target->camera();
        if (camera->dirty()) {
            Point offset = target->anchorPointInPoints();
            mxGLTranslateTop(offset.x, offset.y, 0);
            camera->locate();
            mxGLTranslateTop(-offset.x, -offset.y, 0);
        }
    }
    gxGLCacheBindTexture(texture_->name());
    blit();
}

void GxGridBase::blit() { abstractGrid(); }
void GxGridBase::reuse() { abstractGrid(); }
void GxGridBase::calculateVertexPoints() { abstractGrid(); }

void GxGridBase::drawMesh(const float* vertices, const float* texCoords, const uint16_t* indices, size_t count) {
    gxGLCacheEnableAttribs(kGxVertexAttribFlagPosition | kGxVertexAttribFlagTexCoords);
    if (shaderProgram_) {
        shaderProgram_->use();
        shaderProgram_->setUniformForModelViewProjectionMatrix();
    }
    gl::BindBuffer(GL_ARRAY_BUFFER, 0);
    gl::VertexAttribPointer(kGxVertexAttribPosition, 3, GL_FLOAT, GL_FALSE, 0, vertices);
    gl::VertexAttribPointer(kGxVertexAttribTexCoords, 2, GL_FLOAT, GL_FALSE, 0, texCoords);
    gl::BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    gl::DrawElements(GL_TRIANGLES, GLsizei(count), GL_UNSIGNED_SHORT, indices);
    ++GxEnvironment::shared().drawCounter;
}

// ---- GxGrid3D ----

bool GxGrid3D::fitsIndices(gxGridSize s) const { return (int64_t(s.x) + 1) * (int64_t(s.y) + 1) <= 65536; }

int GxGrid3D::index(gxGridSize pos) const {
    if (pos.x < 0 || pos.y < 0 || pos.x > gridSize_.x || pos.y > gridSize_.y) return -1;
    return pos.x * (gridSize_.y + 1) + pos.y;
}

gxVertex3F GxGrid3D::vertex(gxGridSize pos) const {
    int i = index(pos);
    return i < 0 || size_t(i) >= vertices_.size() ? gxVertex3F{} : vertices_[size_t(i)];
}

gxVertex3F GxGrid3D::originalVertex(gxGridSize pos) const {
    int i = index(pos);
    return i < 0 || size_t(i) >= originalVertices_.size() ? gxVertex3F{} : originalVertices_[size_t(i)];
}

void GxGrid3D::setVertex(gxGridSize pos, gxVertex3F v) {
    int i = index(pos);
    if (i >= 0 && size_t(i) < vertices_.size()) vertices_[size_t(i)] = v;
}

void GxGrid3D::calculateVertexPoints() {
    const float w = float(texture_->pixelsWide()), h = float(texture_->pixelsHigh());
    const float imageH = texture_->contentSizeInPixels().height;
    const int cols = gridSize_.x, rows = gridSize_.y;
    const size_t count = size_t(cols + 1) * size_t(rows + 1);
    vertices_.assign(count, gxVertex3F{});
    texCoordinates_.assign(count * 2, 0);
    indices_.assign(size_t(cols) * size_t(rows) * 6, 0);
    for (int x = 0; x < cols; ++x) {
        for (int y = 0; y < rows; ++y) {
            const float x1 = float(x) * step_.x, x2 = x1 + step_.x;
            const float y1 = float(y) * step_.y, y2 = y1 + step_.y;
            const uint16_t a = uint16_t(x * (rows + 1) + y), b = uint16_t((x + 1) * (rows + 1) + y),
                           c = uint16_t((x + 1) * (rows + 1) + y + 1), d = uint16_t(x * (rows + 1) + y + 1);
            const uint16_t cell[6] = {a, b, d, b, c, d};
            std::copy(cell, cell + 6, indices_.begin() + (ptrdiff_t(y) * cols + x) * 6);
            const uint16_t corner[4] = {a, b, c, d};
            const gxVertex3F pos[4] = {{x1, y1, 0}, {x2, y1, 0}, {x2, y2, 0}, {x1, y2, 0}};
            for (int k = 0; k < 4; ++k) {
                vertices_[corner[k]] = pos[k];
                texCoordinates_[size_t(corner[k]) * 2] = pos[k].x / w;
                texCoordinates_[size_t(corner[k]) * 2 + 1] = isTextureFlipped_ ? (imageH - pos[k].y) / h : pos[k].y / h;
            }
        }
    }
    originalVertices_ = vertices_;
}

void GxGrid3D::blit() {
    drawMesh(&vertices_[0].x, texCoordinates_.data(), indices_.data(), size_t(gridSize_.x) * size_t(gridSize_.y) * 6);
}

void GxGrid3D::reuse() {
    if (reuseGrid_ > 0) {
        originalVertices_ = vertices_;
        --reuseGrid_;
    }
}

// ---- GxTiledGrid3D ----

bool GxTiledGrid3D::fitsIndices(gxGridSize s) const { return int64_t(s.x) * int64_t(s.y) <= 16384; }

int GxTiledGrid3D::index(gxGridSize pos) const {
    if (pos.x < 0 || pos.y < 0 || pos.x >= gridSize_.x || pos.y >= gridSize_.y) return -1;
    return pos.x * gridSize_.y + pos.y;
}

gxQuad3 GxTiledGrid3D::tile(gxGridSize pos) const {
    int i = index(pos);
    return i < 0 || size_t(i) >= vertices_.size() ? gxQuad3{} : vertices_[size_t(i)];
}

gxQuad3 GxTiledGrid3D::originalTile(gxGridSize pos) const {
    int i = index(pos);
    return i < 0 || size_t(i) >= originalVertices_.size() ? gxQuad3{} : originalVertices_[size_t(i)];
}

void GxTiledGrid3D::setTile(gxGridSize pos, const gxQuad3& coords) {
    int i = index(pos);
    if (i >= 0 && size_t(i) < vertices_.size()) vertices_[size_t(i)] = coords;
}

void GxTiledGrid3D::calculateVertexPoints() {
    const float w = float(texture_->pixelsWide()), h = float(texture_->pixelsHigh());
    const float imageH = texture_->contentSizeInPixels().height;
    const int cols = gridSize_.x, rows = gridSize_.y;
    const size_t tiles = size_t(cols) * size_t(rows);
    vertices_.assign(tiles, gxQuad3{});
    texCoordinates_.assign(tiles * 8, 0);
    indices_.assign(tiles * 6, 0);
    size_t t = 0;
    for (int x = 0; x < cols; ++x) {
        for (int y = 0; y < rows; ++y, ++t) {
            const float x1 = float(x) * step_.x, x2 = x1 + step_.x;
            float y1 = float(y) * step_.y, y2 = y1 + step_.y;
            vertices_[t] = gxQuad3{{x1, y1, 0}, {x2, y1, 0}, {x1, y2, 0}, {x2, y2, 0}};
            if (isTextureFlipped_) {
                y1 = imageH - y1;
                y2 = imageH - y2;
            }
            const float tex[8] = {x1 / w, y1 / h, x2 / w, y1 / h, x1 / w, y2 / h, x2 / w, y2 / h};
            std::copy(tex, tex + 8, texCoordinates_.begin() + ptrdiff_t(t) * 8);
        }
    }
    for (size_t i = 0; i < tiles; ++i) {
        const uint16_t b = uint16_t(i * 4);
        const uint16_t q[6] = {b, uint16_t(b + 1), uint16_t(b + 2), uint16_t(b + 1), uint16_t(b + 2), uint16_t(b + 3)};
        std::copy(q, q + 6, indices_.begin() + ptrdiff_t(i) * 6);
    }
    originalVertices_ = vertices_;
}

void GxTiledGrid3D::blit() {
    drawMesh(&vertices_[0].bl.x, texCoordinates_.data(), indices_.data(),
             size_t(gridSize_.x) * size_t(gridSize_.y) * 6);
}

void GxTiledGrid3D::reuse() {
    if (reuseGrid_ > 0) {
        originalVertices_ = vertices_;
        --reuseGrid_;
    }
}

}  // namespace engine2d
