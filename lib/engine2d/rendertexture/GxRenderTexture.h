#pragma once
// A node owning an off-screen framebuffer whose colour attachment is a
// texture. Between begin() and end() everything drawn goes into the texture;
// the node shows it through a vertically flipped sprite child, and can read
// it back as a picture or save it into the documents folder.

#include <memory>
#include <string>

#include "lib/engine2d/nodes/GxNode.h"

namespace ui {
class Image;
}

namespace engine2d {

class GxSprite;
class GxTexture2D;

enum GxImageSaveFormat { kGxImageFormatJPEG = 0, kGxImageFormatPNG = 1 };

class GxRenderTexture : public GxNode {
public:
    // Width and height in points; nullptr when the texture cannot be made.
    static std::shared_ptr<GxRenderTexture> renderTextureWithWidth(int w, int h, int pixelFormat = 1);

    ~GxRenderTexture() override;
    using GxNode::init;
    bool init(int w, int h, int pixelFormat);
    const char* className() const override { return "GxRenderTexture"; }

    void begin();
    void beginWithClear(float r, float g, float b, float a);
    void end();
    void clear(float r, float g, float b, float a);

    // The texture's content, top row first; nullptr when out of memory.
    std::shared_ptr<ui::Image> newImage();
    // The same with the content scale as the picture's scale.
    std::shared_ptr<ui::Image> getUIImage();
    // Into the documents folder under `name`; false when nothing was written
    // (no picture, an unknown format, a failed write).
    bool saveToFile(const std::string& name, int format = kGxImageFormatJPEG);

    const std::shared_ptr<GxSprite>& sprite() const { return sprite_; }
    void setSprite(std::shared_ptr<GxSprite> s) { sprite_ = std::move(s); }
    const std::shared_ptr<GxTexture2D>& texture() const { return texture_; }

private:
    unsigned fbo_ = 0;
    int oldFBO_ = 0;
    std::shared_ptr<GxTexture2D> texture_;
    std::shared_ptr<GxSprite> sprite_;
    int pixelFormat_ = 1;
    int oldViewport_[4] = {0, 0, 0, 0};
};

}  // namespace engine2d
