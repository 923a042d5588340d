#pragma once
// Grids draw a node's whole subtree through a deformable mesh. While a grid
// is active on a node, the node's visit renders the subtree into the grid's
// off-screen texture (the grabber points drawing at a framebuffer whose
// colour attachment is that texture), then draws the texture through the
// mesh, which grid effects move every frame.
//
// GxGrid3D is one continuous sheet of (columns + 1) x (rows + 1) shared
// vertices; vertex (x, y) is element x * (rows + 1) + y. GxTiledGrid3D has
// one independent quad per cell, so tiles can part; tile (x, y) is element
// x * rows + y. Meshes are drawn with 16-bit indices: a sheet holds at most
// 65,536 vertices and a tiled grid at most 16,384 tiles, and larger grids
// (or grids without a cell) are refused when they are made.

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/engine2d/mathlib/Geometry.h"
#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/nodes/GxNode.h"

namespace engine2d {

class GxGLProgram;
class GxTexture2D;

// A programming error in the engine: a name (the module) and a reason.
class GxEngineException : public std::logic_error {
public:
    GxEngineException(std::string name, const std::string& reason) : std::logic_error(reason), name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    std::string reason() const { return what(); }

private:
    std::string name_;
};

// Points drawing at a texture through its own framebuffer.
class GxGrabber {
public:
    // Needs a current context.
    GxGrabber();
    ~GxGrabber();
    GxGrabber(const GxGrabber&) = delete;
    GxGrabber& operator=(const GxGrabber&) = delete;
    // Attaches the texture as the colour buffer; raises "Frame Grabber" when
    // the framebuffer is not complete with it. The caller's binding is kept.
    void grab(const GxTexture2D* texture);
    // Draws go into the texture, cleared to transparent, until afterRender.
    void beforeRender(const GxTexture2D* texture);
    void afterRender(const GxTexture2D* texture);
    unsigned fbo() const { return fbo_; }

private:
    unsigned fbo_ = 0;
    int oldFBO_ = 0;
    float oldClearColor_[4] = {0, 0, 0, 0};
};

class GxGridBase : public GxNodeGrid {
public:
    GxGridBase() = default;
    ~GxGridBase() override = default;
    GxGridBase(const GxGridBase&) = delete;
    GxGridBase& operator=(const GxGridBase&) = delete;
    virtual const char* className() const { return "GxGridBase"; }
    std::string description() const;

    bool active() const override { return active_; }
    // Stopping also gives the director's projection back.
    void setActive(bool active);
    // How many more effects may start from the grid's current shape.
    int reuseGrid() const { return reuseGrid_; }
    void setReuseGrid(int n) { reuseGrid_ = n; }
    gxGridSize gridSize() const { return gridSize_; }
    const std::shared_ptr<GxTexture2D>& texture() const { return texture_; }
    void setTexture(std::shared_ptr<GxTexture2D> t) { texture_ = std::move(t); }
    // One cell: the texture's content size over the grid size, in points.
    Point step() const { return step_; }
    void setStep(Point s) { step_ = s; }
    const std::shared_ptr<GxGrabber>& grabber() const { return grabber_; }
    void setGrabber(std::shared_ptr<GxGrabber> g) { grabber_ = std::move(g); }
    bool isTextureFlipped() const { return isTextureFlipped_; }
    void setIsTextureFlipped(bool flipped);
    GxGLProgram* shaderProgram() const { return shaderProgram_; }
    void setShaderProgram(GxGLProgram* p) { shaderProgram_ = p; }

    // A plain orthographic projection over the window in pixels.
    void set2DProjection();
    void beforeDraw() override;
    void afterDraw(GxNode* target) override;

    // The mesh; a plain base grid has none and raises "GridBase".
    virtual void blit();
    virtual void reuse();
    virtual void calculateVertexPoints();

protected:
    // Both false when the size or the texture cannot make a grid.
    bool initWithSize(gxGridSize size, std::shared_ptr<GxTexture2D> texture, bool flipped);
    // With a zero-filled texture the size of the window in pixels, rounded up
    // to powers of two.
    bool initWithSize(gxGridSize size);
    virtual bool fitsIndices(gxGridSize) const { return true; }
    void drawMesh(const float* vertices, const float* texCoords, const uint16_t* indices, size_t count);

    template <class T, class... Args>
    static std::shared_ptr<T> make(Args&&... args) {
        auto g = std::make_shared<T>();
        if (!static_cast<GxGridBase*>(g.get())->initWithSize(std::forward<Args>(args)...)) return nullptr;
        return g;
    }

    bool active_ = false;
    int reuseGrid_ = 0;
    gxGridSize gridSize_;
    std::shared_ptr<GxTexture2D> texture_;
    Point step_;
    std::shared_ptr<GxGrabber> grabber_;
    bool isTextureFlipped_ = false;
    GxGLProgram* shaderProgram_ = nullptr;
    int directorProjection_ = 0;

public:
    // A base grid cannot lay out a mesh: made, it raises "GridBase".
    static std::shared_ptr<GxGridBase> gridWithSize(gxGridSize size) { return make<GxGridBase>(size); }
};

class GxGrid3D : public GxGridBase {
public:
    static std::shared_ptr<GxGrid3D> gridWithSize(gxGridSize size) { return make<GxGrid3D>(size); }
    static std::shared_ptr<GxGrid3D> gridWithSize(gxGridSize size, std::shared_ptr<GxTexture2D> texture, bool flipped) {
        return make<GxGrid3D>(size, std::move(texture), flipped);
    }
    const char* className() const override { return "GxGrid3D"; }

    // Positions outside 0..columns x 0..rows read (0, 0, 0) and write nothing.
    gxVertex3F vertex(gxGridSize pos) const;
    gxVertex3F originalVertex(gxGridSize pos) const;
    void setVertex(gxGridSize pos, gxVertex3F v);

    void blit() override;
    void reuse() override;
    void calculateVertexPoints() override;

    const std::vector<gxVertex3F>& vertices() const { return vertices_; }
    const std::vector<gxVertex3F>& originalVertices() const { return originalVertices_; }
    const std::vector<float>& texCoordinates() const { return texCoordinates_; }
    const std::vector<uint16_t>& indices() const { return indices_; }

protected:
    bool fitsIndices(gxGridSize s) const override;

private:
    int index(gxGridSize pos) const;
    std::vector<float> texCoordinates_;
    std::vector<gxVertex3F> vertices_, originalVertices_;
    std::vector<uint16_t> indices_;
};

class GxTiledGrid3D : public GxGridBase {
public:
    static std::shared_ptr<GxTiledGrid3D> gridWithSize(gxGridSize size) { return make<GxTiledGrid3D>(size); }
    static std::shared_ptr<GxTiledGrid3D> gridWithSize(gxGridSize size, std::shared_ptr<GxTexture2D> texture,
                                                       bool flipped) {
        return make<GxTiledGrid3D>(size, std::move(texture), flipped);
    }
    const char* className() const override { return "GxTiledGrid3D"; }

    // Positions outside 0..columns - 1 x 0..rows - 1 read twelve zeros and
    // write nothing.
    gxQuad3 tile(gxGridSize pos) const;
    gxQuad3 originalTile(gxGridSize pos) const;
    void setTile(gxGridSize pos, const gxQuad3& coords);

    void blit() override;
    void reuse() override;
    void calculateVertexPoints() override;

    const std::vector<gxQuad3>& vertices() const { return vertices_; }
    const std::vector<gxQuad3>& originalVertices() const { return originalVertices_; }
    const std::vector<float>& texCoordinates() const { return texCoordinates_; }
    const std::vector<uint16_t>& indices() const { return indices_; }

protected:
    bool fitsIndices(gxGridSize s) const override;

private:
    int index(gxGridSize pos) const;
    std::vector<float> texCoordinates_;
    std::vector<gxQuad3> vertices_, originalVertices_;
    std::vector<uint16_t> indices_;
};

}  // namespace engine2d
