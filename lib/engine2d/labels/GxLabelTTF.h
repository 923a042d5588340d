#pragma once
// Text in a system font: the whole text is drawn into a new texture (the
// texture's text initialisers) whenever the text or an attribute changes,
// and shown as a sprite.

#include <memory>
#include <string>

#include "lib/engine2d/labels/GxLabelProtocol.h"
#include "lib/engine2d/sprites/GxSprite.h"

namespace engine2d {

class GxLabelTTF : public GxSprite, public GxLabelProtocol {
public:
    static std::shared_ptr<GxLabelTTF> labelWithString(const std::string& text, const std::string& fontName,
                                                       float fontSize);
    // dimensions (points) with a zero side: the text's own size.
    static std::shared_ptr<GxLabelTTF> labelWithString(const std::string& text, Size dimensions, int hAlignment,
                                                       int vAlignment, int lineBreakMode, const std::string& fontName,
                                                       float fontSize);

    // Empty text in "Helvetica" 12. A font this system lacks is drawn in the
    // system font of the same size.
    bool init() override;
    bool init(const std::string& text, Size dimensions, int hAlignment, int vAlignment, int lineBreakMode,
              const std::string& fontName, float fontSize);
    const char* className() const override { return "GxLabelTTF"; }
    std::string description() const;

    // Renders again, also for the same text.
    void setString(const std::string& text) override;
    const std::string& string() const override { return string_; }
    // Setters that receive the current value do nothing.
    void setFontName(const std::string& name);
    const std::string& fontName() const { return fontName_; }
    void setFontSize(float size);
    float fontSize() const { return fontSize_; }
    void setDimensions(Size d);
    Size dimensions() const { return dimensions_; }
    void setHorizontalAlignment(int a);
    int horizontalAlignment() const { return hAlignment_; }
    void setVerticalAlignment(int a);
    int verticalAlignment() const { return vAlignment_; }
    int lineBreakMode() const { return lineBreakMode_; }

private:
    Size dimensions_;
    int hAlignment_ = 0, vAlignment_ = 0, lineBreakMode_ = 0;
    std::string fontName_;
    float fontSize_ = 0;
    std::string string_;
};

}  // namespace engine2d
