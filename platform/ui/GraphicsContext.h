#pragma once
// The drawing context over cairo. y grows downwards and the origin is the top
// left, in every kind of context (view drawing, picture and bitmap contexts).
//
// Every operation honours the state: fill and stroke colours, line width and
// cap, blend mode, global alpha and a blurred shadow; saveGState/restoreGState
// keep all of it together with the clip and the transform.

#include <cairo.h>

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"
#include "platform/ui/Path.h"

namespace ui {

// Blend modes by their usual numbers (0 normal, 3 overlay, 8 soft light, 16 clear).
enum class BlendMode {
    Normal = 0,
    Multiply,
    Screen,
    Overlay,
    Darken,
    Lighten,
    ColorDodge,
    ColorBurn,
    SoftLight,
    HardLight,
    Difference,
    Exclusion,
    Hue,
    Saturation,
    Color,
    Luminosity,
    Clear,
    Copy,
    SourceIn,
    SourceOut,
    SourceAtop,
    DestinationOver,
    DestinationIn,
    DestinationOut,
    DestinationAtop,
    XOR,
    PlusDarker,
    PlusLighter,
};

// Colours at locations from 0 to 1 (evenly spread when no locations are given).
struct Gradient {
    std::vector<Color> colors;
    std::vector<double> locations;

    static Gradient withColors(std::vector<Color> colors, std::vector<double> locations = {});
    // RGBA components, four per stop.
    static Gradient withComponents(const double* components, const double* locations, size_t count);
    // Gray and alpha, two per stop.
    static Gradient withGrayComponents(const double* components, const double* locations, size_t count);
};

enum GradientDrawingOptions : unsigned {
    kGradientDrawsBeforeStartLocation = 1,
    kGradientDrawsAfterEndLocation = 2,
};

class GraphicsContext {
public:
    // Draws onto an existing cairo context (borrowed). baseScale is the
    // number of device pixels per unit of the starting user space; shadows
    // scale their offset and blur by it.
    GraphicsContext(cairo_t* cr, double baseScale = 1);
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // A context that owns a transparent picture of pixelWidth x pixelHeight.
    static std::unique_ptr<GraphicsContext> createBitmap(int pixelWidth, int pixelHeight);
    // The bitmap's pixels as a picture (a copy), or nullptr for a borrowed context.
    std::shared_ptr<Image> makeImage(double scale = 1) const;

    cairo_t* cairo() const { return cr_; }
    double baseScale() const { return baseScale_; }

    void saveGState();
    void restoreGState();

    // Transform.
    void translateCTM(double tx, double ty);
    void scaleCTM(double sx, double sy);
    void rotateCTM(double angle);
    void concatCTM(const AffineTransform& t);
    AffineTransform ctm() const;

    // Colours.
    void setFillColor(const Color& c);
    void setStrokeColor(const Color& c);
    void setRGBFillColor(double r, double g, double b, double a) { setFillColor(Color::rgba(r, g, b, a)); }
    void setRGBStrokeColor(double r, double g, double b, double a) { setStrokeColor(Color::rgba(r, g, b, a)); }
    void setGrayFillColor(double gray, double a) { setFillColor(Color::white(gray, a)); }
    void setGrayStrokeColor(double gray, double a) { setStrokeColor(Color::white(gray, a)); }
    Color fillColor() const { return state_.fill; }
    Color strokeColor() const { return state_.stroke; }

    void setLineWidth(double w);
    double lineWidth() const { return state_.lineWidth; }
    void setLineCap(LineCap cap) { state_.lineCap = cap; }
    LineCap lineCap() const { return state_.lineCap; }
    void setBlendMode(BlendMode m) { state_.blend = m; }
    BlendMode blendMode() const { return state_.blend; }
    void setAlpha(double a);
    double alpha() const { return state_.alpha; }
    // A shadow under everything drawn next; offset y positive moves it down.
    void setShadow(Size offset, double blur, const Color& color);
    // Black at one third alpha.
    void setShadow(Size offset, double blur);
    void clearShadow();

    // Paths (the current path).
    void beginPath();
    void moveTo(double x, double y);
    void addLineTo(double x, double y);
    void addCurveTo(double c1x, double c1y, double c2x, double c2y, double x, double y);
    // clockwise 0 sweeps clockwise on screen (y down), 1 counter-clockwise.
    void addArc(double x, double y, double radius, double start, double end, int clockwise);
    void addRect(const Rect& r);
    void addEllipseInRect(const Rect& r);
    void addPath(const Path& p);
    void closePath();
    bool isPathEmpty() const;

    // Painting; each consumes the current path.
    void fillPath();
    void eoFillPath();
    void strokePath();
    void fillRect(const Rect& r);
    void strokeRect(const Rect& r);
    void clearRect(const Rect& r);  // to transparent, whatever the state
    void fillEllipseInRect(const Rect& r);
    void strokeEllipseInRect(const Rect& r);
    void strokeLine(Point a, Point b);

    // Clipping (nonzero winding for the path).
    void clip();
    void eoClip();
    void clipToRect(const Rect& r);

    // Gradients fill the current clip.
    void drawLinearGradient(const Gradient& g, Point start, Point end, unsigned options);
    void drawRadialGradient(const Gradient& g, Point startCenter, double startRadius, Point endCenter, double endRadius,
                            unsigned options);

    // Pictures, upright, scaled to the rectangle (nine-slice when stretchable).
    void drawImage(const Image& image, const Rect& rect);
    void drawImageAtPoint(const Image& image, Point p);
    // Repeats the picture over the clip, one tile of its size in points at rect's origin.
    void drawTiledImage(const Rect& rect, const Image& image);

    // Everything until the end is drawn into a separate layer that is then
    // composited with the alpha, blend mode and shadow in force at the begin.
    void beginTransparencyLayer();
    void endTransparencyLayer();

    // Runs draw (which paints with cairo on the context) with the current
    // blend mode, alpha and shadow. Used by text and picture drawing.
    void paint(const std::function<void(cairo_t*)>& draw);

private:
    struct Shadow {
        bool on = false;
        Size offset;
        double blur = 0;
        Color color;
    };
    struct State {
        Color fill = Color::blackColor();
        Color stroke = Color::blackColor();
        double lineWidth = 1;
        LineCap lineCap = LineCap::Butt;
        BlendMode blend = BlendMode::Normal;
        double alpha = 1;
        Shadow shadow;
    };
    void setSource(const Color& c);
    void paintShadow(cairo_pattern_t* group, const Shadow& shadow);
    void compositeGroup(cairo_pattern_t* group, const State& with);

    cairo_t* cr_;
    bool owns_ = false;
    double baseScale_ = 1;
    State state_;
    std::vector<State> stack_;
    std::vector<State> layerStack_;
};

// The drawing context of this thread: the innermost pushed one, or nullptr.
GraphicsContext* currentContext();
void pushContext(GraphicsContext* ctx);
void popContext();

// Picture contexts: begin makes a transparent (or opaque white-less black)
// context of size points at scale (0 = the main screen's) and makes it current.
void beginImageContext(Size size, bool opaque = false, double scale = 1);
std::shared_ptr<Image> imageFromCurrentImageContext();
void endImageContext();

cairo_operator_t cairoOperator(BlendMode m);
// Sets the cairo source to the colour (clamped) or its pattern picture.
void setCairoSource(cairo_t* cr, const Color& c);
// Blurs the alpha of a premultiplied ARGB32 surface and fills it with colour,
// in place. radius in pixels (three box passes approximating a Gaussian).
void blurToShadow(cairo_surface_t* surface, double radius, const Color& color);
// Paints the shadow of a pushed group: its picture blurred (radius in pixels)
// and filled with colour, moved by (dx, dy) device pixels. The cairo state of
// cr (its source) is left as it was.
void paintGroupShadow(cairo_t* cr, cairo_pattern_t* group, double dx, double dy, double radius, const Color& color);

}  // namespace ui
