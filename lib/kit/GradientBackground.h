#pragma once
// Two-colour gradient views with optional edge lines, the noisy variant that
// draws a fine random-dot texture over its gradient, the layer that tiles
// that texture, and the helpers that put the texture over any view.

#include <array>
#include <memory>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Layer.h"
#include "platform/ui/View.h"

// Two RGBA colours: the first, then the second.
using GradientColorComponents = std::array<double, 8>;

class GradientBackground : public ui::View {
public:
    // Styles: 0 radial (first colour in the centre), 1 radial with the colours
    // swapped, 2 top to bottom, 3 bottom to top, 4 first / second / first from
    // top to bottom. Line mode bits: 2 or 8 a white top line, 4 or 8 a black
    // bottom line.
    GradientBackground(const ui::Rect& frame, int style, const double* colors, int lineMode);
    // White to black, line mode 0.
    GradientBackground(const ui::Rect& frame, int style);
    // Style 2, line mode 0.
    GradientBackground(const ui::Rect& frame, const double* colors);
    // Style 2, white to black.
    explicit GradientBackground(const ui::Rect& frame);
    const char* className() const override { return "GradientBackground"; }

    static std::shared_ptr<GradientBackground> gradientWithFrame(const ui::Rect& frame, int style, const double* colors,
                                                                 int lineMode);
    static std::shared_ptr<GradientBackground> gradientWithFrame(const ui::Rect& frame, int style);
    static std::shared_ptr<GradientBackground> gradientWithFrame(const ui::Rect& frame, const double* colors);
    static std::shared_ptr<GradientBackground> gradientWithFrame(const ui::Rect& frame);

    int gradientStyle() const { return style_; }
    void setGradientStyle(int s) { style_ = s; }
    int lineMode() const { return lineMode_; }
    void setLineMode(int m) { lineMode_ = m; }
    const GradientColorComponents& colorComponents() const { return colors_; }
    // Copies eight components over the current colours.
    void setColorComponents(const double* colors);

    static bool drawsTopLine(int lineMode) { return (lineMode & (2 | 8)) != 0; }
    static bool drawsBottomLine(int lineMode) { return (lineMode & (4 | 8)) != 0; }

    void drawRect(const ui::Rect& rect) override;

private:
    void setUp();
    int style_;
    int lineMode_;
    GradientColorComponents colors_{};
};

class NoisyGradientBackground : public GradientBackground {
public:
    // Noise opacity 0.4, normal blending, over the default gradient.
    explicit NoisyGradientBackground(const ui::Rect& frame);
    NoisyGradientBackground(const ui::Rect& frame, int style, const double* colors, int lineMode, double noiseOpacity,
                            ui::BlendMode blendMode);
    NoisyGradientBackground(const ui::Rect& frame, double noiseOpacity);
    NoisyGradientBackground(const ui::Rect& frame, ui::BlendMode blendMode);
    const char* className() const override { return "NoisyGradientBackground"; }

    static std::shared_ptr<NoisyGradientBackground> gradientWithFrame(const ui::Rect& frame, int style,
                                                                      const double* colors, int lineMode,
                                                                      double noiseOpacity, ui::BlendMode blendMode);
    static std::shared_ptr<NoisyGradientBackground> gradientWithFrame(const ui::Rect& frame, double noiseOpacity);
    static std::shared_ptr<NoisyGradientBackground> gradientWithFrame(const ui::Rect& frame, ui::BlendMode blendMode);

    double noiseOpacity() const { return noiseOpacity_; }
    void setNoiseOpacity(double o) { noiseOpacity_ = o; }
    ui::BlendMode blendMode() const { return blendMode_; }
    void setBlendMode(ui::BlendMode m) { blendMode_ = m; }

    void drawRect(const ui::Rect& rect) override;

private:
    double noiseOpacity_ = 0.4;
    ui::BlendMode blendMode_ = ui::BlendMode::Normal;
};

// A layer that tiles the shared noise texture over its bounds.
class NoiseLayer : public ui::Layer {
public:
    static std::shared_ptr<NoiseLayer> create() { return std::shared_ptr<NoiseLayer>(new NoiseLayer()); }

    // The texture shared by the whole process: made once, at the main
    // screen's scale of that moment, and kept.
    static ui::ImageRef noiseTileImage();
    // A new texture for a screen scale: a tile of 50 points (50 x scale
    // pixels a side) holding 12,500 dots of 0.3 points.
    static ui::ImageRef makeNoiseTile(double scale);
    static constexpr int kTilePoints = 50;
    static constexpr int kDotCount = 12500;
    // Fills a circle of the diameter centred on the point in gray at alpha.
    static void drawPixelInContext(ui::GraphicsContext& ctx, ui::Point point, double width, double opacity,
                                   double whiteLevel);

    // Sets the frame and redraws.
    void setFrame(const ui::Rect& r);
    void drawInContext(ui::GraphicsContext& ctx) override;

protected:
    NoiseLayer() = default;
};

// Noise over any view: as a layer inserted into the view's layer, or drawn
// into the current context during the view's drawing.
namespace NoiseOverlay {
void applyNoise(ui::View& view);
void applyNoiseWithOpacity(ui::View& view, double opacity);
void applyNoiseWithOpacity(ui::View& view, double opacity, size_t layerIndex);
void drawCGNoise(ui::View& view);
void drawCGNoiseWithOpacity(ui::View& view, double opacity);
void drawCGNoiseWithOpacity(ui::View& view, double opacity, ui::BlendMode blendMode);
}  // namespace NoiseOverlay
