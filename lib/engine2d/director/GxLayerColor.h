#pragma once
// Layers that draw: one colour over their area, or a two-colour linear
// gradient along a vector.

#include "lib/engine2d/mathlib/Types.h"
#include "lib/engine2d/nodes/GxProtocols.h"
#include "lib/engine2d/nodes/GxScene.h"

namespace engine2d {

class GxLayerColor : public GxLayer, public GxRGBAProtocol {
public:
    static std::shared_ptr<GxLayerColor> layerWithColor(gxColor4B color, float width, float height);
    // Sized to the window.
    static std::shared_ptr<GxLayerColor> layerWithColor(gxColor4B color);
    bool init() override;
    virtual bool init(gxColor4B color, float width, float height);
    bool init(gxColor4B color);
    const char* className() const override { return "GxLayerColor"; }

    void setContentSize(Size s) override;
    void changeWidth(float w) { setContentSize({w, contentSize_.height}); }
    void changeHeight(float h) { setContentSize({contentSize_.width, h}); }
    void changeWidthHeight(float w, float h) { setContentSize({w, h}); }
    gxColor3B color() const override { return color_; }
    void setColor(gxColor3B c) override;
    uint8_t opacity() const override { return opacity_; }
    void setOpacity(uint8_t o) override;
    gxBlendFunc blendFunc() const { return blendFunc_; }
    void setBlendFunc(gxBlendFunc b) { blendFunc_ = b; }
    // The four corners (0,0), (w,0), (0,h), (w,h) and their colours.
    const gxVertex2F* squareVertices() const { return squareVertices_; }
    const gxColor4F* squareColors() const { return squareColors_; }
    void draw() override;

protected:
    virtual void updateColor();
    uint8_t opacity_ = 0;
    gxColor3B color_;
    gxVertex2F squareVertices_[4];
    gxColor4F squareColors_[4];
    gxBlendFunc blendFunc_;
};

class GxLayerGradient : public GxLayerColor {
public:
    static std::shared_ptr<GxLayerGradient> layerWithColor(gxColor4B start, gxColor4B end, Point vector = {0, -1});
    using GxLayerColor::init;
    bool init(gxColor4B start, gxColor4B end, Point vector);
    const char* className() const override { return "GxLayerGradient"; }

    gxColor3B startColor() const { return color_; }
    void setStartColor(gxColor3B c) { setColor(c); }
    gxColor3B endColor() const { return endColor_; }
    void setEndColor(gxColor3B c);
    uint8_t startOpacity() const { return startOpacity_; }
    void setStartOpacity(uint8_t o);
    uint8_t endOpacity() const { return endOpacity_; }
    void setEndOpacity(uint8_t o);
    Point vector() const { return vector_; }
    void setVector(Point v);
    bool compressedInterpolation() const { return compressedInterpolation_; }
    void setCompressedInterpolation(bool c);

protected:
    void updateColor() override;

private:
    gxColor3B endColor_;
    uint8_t startOpacity_ = 255, endOpacity_ = 255;
    Point vector_{0, -1};
    bool compressedInterpolation_ = true;
};

}  // namespace engine2d
