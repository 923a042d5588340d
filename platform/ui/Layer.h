#pragma once
// Layers: the drawable tree behind every view. Geometry is a position of the
// anchor point in the superlayer, bounds, and a 3D transform about the
// anchor point. A layer draws, in order: its shadow, background colour
// (rounded by cornerRadius), contents picture or custom drawing, sublayers,
// then its border; masksToBounds clips contents and sublayers to the
// (rounded) bounds; a mask layer's alpha masks the whole result.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Animation.h"
#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"
#include "platform/ui/Path.h"

namespace ui {

class GraphicsContext;
class Layer;

// The animatable properties of a layer.
struct LayerState {
    Rect bounds;
    Point position;
    Point anchorPoint{0.5, 0.5};
    Transform3D transform;
    double opacity = 1;
    Color backgroundColor;
    double cornerRadius = 0;
    double borderWidth = 0;
    Color borderColor = Color::blackColor();
    Color shadowColor = Color::blackColor();
    double shadowOpacity = 0;
    Size shadowOffset{0, -3};
    double shadowRadius = 3;

    // Frame in the superlayer (bounding box of the transformed bounds).
    Rect frame() const;
    // From this layer's bounds space to the superlayer's space.
    Transform3D toSuperlayer() const;
};

enum class ContentsGravity { Resize, ResizeAspect, ResizeAspectFill, Center, Top, Bottom, Left, Right };

// Who draws a layer's contents and is asked for animations (its view).
class LayerDelegate {
public:
    virtual ~LayerDelegate() = default;
    virtual void drawLayer(Layer&, GraphicsContext&) {}
    // An animation for a change of the key, or nullptr.
    // Called before the model value changes, so the presentation still
    // shows the old value.
    virtual std::shared_ptr<Animation> actionForLayer(Layer&, const std::string& key, const AnimatableValue& oldModel) {
        (void)key, (void)oldModel;
        return nullptr;
    }
    // Called before the layer draws, so a view can lay itself out first.
    virtual void layerWillDisplay(Layer&) {}
};

class Layer : public std::enable_shared_from_this<Layer> {
public:
    static std::shared_ptr<Layer> create() { return std::shared_ptr<Layer>(new Layer()); }
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    // Geometry.
    Rect bounds() const { return model_.bounds; }
    void setBounds(const Rect& r);
    Point position() const { return model_.position; }
    void setPosition(Point p);
    Point anchorPoint() const { return model_.anchorPoint; }
    void setAnchorPoint(Point p);
    Transform3D transform() const { return model_.transform; }
    void setTransform(const Transform3D& t);
    AffineTransform affineTransform() const { return model_.transform.affine(); }
    void setAffineTransform(const AffineTransform& t) { setTransform(Transform3D::makeAffine(t)); }
    Rect frame() const { return model_.frame(); }
    void setFrame(const Rect& r);
    double zPosition() const { return zPosition_; }
    void setZPosition(double z) { zPosition_ = z; }

    // Looks.
    double opacity() const { return model_.opacity; }
    void setOpacity(double o);
    bool isHidden() const { return hidden_; }
    void setHidden(bool h);
    Color backgroundColor() const { return model_.backgroundColor; }
    void setBackgroundColor(const Color& c);
    double cornerRadius() const { return model_.cornerRadius; }
    void setCornerRadius(double r);
    double borderWidth() const { return model_.borderWidth; }
    void setBorderWidth(double w);
    Color borderColor() const { return model_.borderColor; }
    void setBorderColor(const Color& c);
    Color shadowColor() const { return model_.shadowColor; }
    void setShadowColor(const Color& c);
    double shadowOpacity() const { return model_.shadowOpacity; }
    void setShadowOpacity(double o);
    Size shadowOffset() const { return model_.shadowOffset; }
    void setShadowOffset(Size s);
    double shadowRadius() const { return model_.shadowRadius; }
    void setShadowRadius(double r);
    const std::optional<Path>& shadowPath() const { return shadowPath_; }
    void setShadowPath(std::optional<Path> p) {
        shadowPath_ = std::move(p);
        changed();
    }
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool m) {
        masksToBounds_ = m;
        changed();
    }
    bool shouldRasterize() const { return shouldRasterize_; }
    void setShouldRasterize(bool r) { shouldRasterize_ = r; }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool o) { opaque_ = o; }

    // Contents.
    const ImageRef& contents() const { return contents_; }
    void setContents(ImageRef image) {
        contents_ = std::move(image);
        changed();
    }
    ContentsGravity contentsGravity() const { return gravity_; }
    void setContentsGravity(ContentsGravity g) {
        gravity_ = g;
        changed();
    }
    double contentsScale() const { return contentsScale_; }
    void setContentsScale(double s) { contentsScale_ = s > 0 ? s : 1; }
    const std::shared_ptr<Layer>& mask() const { return mask_; }
    void setMask(std::shared_ptr<Layer> mask);

    // Tree.
    Layer* superlayer() const { return superlayer_; }
    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return sublayers_; }
    void addSublayer(const std::shared_ptr<Layer>& layer);
    void insertSublayer(const std::shared_ptr<Layer>& layer, size_t index);
    void insertSublayerAbove(const std::shared_ptr<Layer>& layer, const Layer* sibling);
    void insertSublayerBelow(const std::shared_ptr<Layer>& layer, const Layer* sibling);
    void removeFromSuperlayer();

    // Custom drawing: drawInContext (or the delegate) fills a backing picture
    // of the bounds' size at the contents scale, made again after setNeedsDisplay.
    LayerDelegate* delegate() const { return delegate_; }
    void setDelegate(LayerDelegate* d) { delegate_ = d; }
    void setNeedsDisplay();
    bool needsDisplay() const { return needsDisplay_; }
    // Redraws the backing picture when needed; returns whether it drew.
    bool displayIfNeeded();
    void display();
    virtual void drawInContext(GraphicsContext& ctx);
    // False once a display found that nothing overrides the drawing.
    virtual bool drawsContent() const { return drawsContent_; }
    // Layers that draw straight into the target at render time (gradients).
    virtual bool drawsDirectly() const { return false; }
    // Layers waiting for display, drawn by the display pass.
    static void displayDirtyLayers();
    const ImageRef& backingStore() const { return backing_; }
    int displayCount() const { return displayCount_; }

    // Animations.
    void addAnimation(const std::shared_ptr<Animation>& animation, const std::string& key);
    std::shared_ptr<Animation> animationForKey(const std::string& key) const;
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();
    std::vector<std::string> animationKeys() const;
    bool hasAnimations() const { return !animations_.empty(); }

    const LayerState& modelState() const { return model_; }
    // The values on screen at monotonic time t (now when omitted).
    LayerState presentationState() const;
    LayerState presentationState(double t) const;
    // An active fade transition at time t: the picture it fades from and its progress.
    struct TransitionFrame {
        ImageRef from;
        Rect fromBounds;
        double progress = 1;
    };
    std::optional<TransitionFrame> transitionAt(double t) const;

    // Points between the bounds spaces of two layers of one tree (model values).
    Point convertPoint(Point p, const Layer* to) const;
    Transform3D transformToRoot() const;

    // Draws the layer and its sublayers, at the presentation values of now.
    void renderInContext(GraphicsContext& ctx);

protected:
    Layer();
    // Marks the layer changed so the window redraws.
    void changed();

private:
    void placeSublayerAt(const std::shared_ptr<Layer>& layer, size_t index);
    void propertyWillChange(const std::string& key, const AnimatableValue& oldModel);
    void finishAnimation(const std::string& key, const Animation* which, bool finished);
    void scheduleEnd(const std::string& key, const std::shared_ptr<Animation>& anim);

    LayerState model_;
    double zPosition_ = 0;
    bool hidden_ = false;
    std::optional<Path> shadowPath_;
    bool masksToBounds_ = false;
    bool shouldRasterize_ = false;
    bool opaque_ = false;
    ImageRef contents_;
    ContentsGravity gravity_ = ContentsGravity::Resize;
    double contentsScale_ = 1;
    std::shared_ptr<Layer> mask_;
    Layer* superlayer_ = nullptr;
    std::vector<std::shared_ptr<Layer>> sublayers_;
    LayerDelegate* delegate_ = nullptr;
    bool needsDisplay_ = false;
    ImageRef backing_;
    int displayCount_ = 0;
    bool drawsContent_ = true;
    friend void markDefaultDrawing();

    struct Attached {
        std::string key;
        std::shared_ptr<Animation> animation;
        ImageRef transitionFrom;  // transitions only
        Rect transitionBounds;
        bool ended = false;
    };
    std::vector<Attached> animations_;
};

class GradientLayer : public Layer {
public:
    static std::shared_ptr<GradientLayer> create() { return std::shared_ptr<GradientLayer>(new GradientLayer()); }

    const std::vector<Color>& colors() const { return colors_; }
    void setColors(std::vector<Color> c) {
        colors_ = std::move(c);
        setNeedsDisplay();
    }
    // Empty: evenly spread.
    const std::vector<double>& locations() const { return locations_; }
    void setLocations(std::vector<double> l) {
        locations_ = std::move(l);
        setNeedsDisplay();
    }
    // In the unit square of the bounds; default top centre to bottom centre.
    Point startPoint() const { return start_; }
    void setStartPoint(Point p) {
        start_ = p;
        setNeedsDisplay();
    }
    Point endPoint() const { return end_; }
    void setEndPoint(Point p) {
        end_ = p;
        setNeedsDisplay();
    }

    void drawInContext(GraphicsContext& ctx) override;
    bool drawsContent() const override { return true; }
    bool drawsDirectly() const override { return true; }

protected:
    GradientLayer() = default;

private:
    std::vector<Color> colors_;
    std::vector<double> locations_;
    Point start_{0.5, 0};
    Point end_{0.5, 1};
};

// Called by the default drawing methods: the layer being displayed has no
// drawing of its own and keeps no backing picture.
void markDefaultDrawing();

// Whether anything changed in any layer since the last call (the window
// uses it to know when to redraw).
bool takeLayerTreeChanged();

}  // namespace ui
