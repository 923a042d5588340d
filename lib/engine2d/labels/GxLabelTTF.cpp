#include "lib/engine2d/labels/GxLabelTTF.h"

#include <cmath>

#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/gles/GxGLProgram.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "platform/foundation/Text.h"
#include "platform/gl/Context.h"
#include "platform/ui/Font.h"
#include "platform/ui/Text.h"

namespace engine2d {

std::shared_ptr<GxLabelTTF> GxLabelTTF::labelWithString(const std::string& text, const std::string& fontName,
                                                        float fontSize) {
    return gxMake<GxLabelTTF>(text, Size{}, 0, 0, 0, fontName, fontSize);
}

std::shared_ptr<GxLabelTTF> GxLabelTTF::labelWithString(const std::string& text, Size dimensions, int hAlignment,
                                                        int vAlignment, int lineBreakMode, const std::string& fontName,
                                                        float fontSize) {
    return gxMake<GxLabelTTF>(text, dimensions, hAlignment, vAlignment, lineBreakMode, fontName, fontSize);
}

bool GxLabelTTF::init() { return init("", Size{}, 0, 0, 0, "Helvetica", 12); }

bool GxLabelTTF::init(const std::string& text, Size dimensions, int hAlignment, int vAlignment, int lineBreakMode,
                      const std::string& fontName, float fontSize) {
    if (!GxSprite::init()) return false;
    if (gl::Context::current())
        shaderProgram_ = GxShaderCache::sharedShaderCache().programForKey(kGxShaderPositionTextureColor);
    dimensions_ = dimensions;
    hAlignment_ = hAlignment;
    vAlignment_ = vAlignment;
    lineBreakMode_ = lineBreakMode;
    fontName_ = fontName;
    fontSize_ = fontSize;
    setString(text);
    return true;
}

std::string GxLabelTTF::description() const {
    return foundation::format("<GxLabelTTF = %p | FontSize = %.1f>", static_cast<const void*>(this), fontSize_);
}

void GxLabelTTF::setString(const std::string& text) {
    string_ = text;
    const float f = GxEnvironment::shared().contentScaleFactor;
    std::shared_ptr<GxTexture2D> tex;
    auto font = ui::Font::withName(fontName_, fontSize_ * f);
    if (!font) font = ui::Font::systemFont(fontSize_ * f);
    if (dimensions_.width == 0 || dimensions_.height == 0) {
        ui::Size line = ui::sizeWithFont(text, *font);
        tex = GxTexture2D::textureWithString(text, Size{float(std::ceil(line.width)), float(std::ceil(line.height))},
                                             kGxTextAlignmentCenter, kGxVerticalTextAlignmentTop, 0, *font);
    } else {
        tex = GxTexture2D::textureWithString(text, Size{dimensions_.width * f, dimensions_.height * f}, hAlignment_,
                                             vAlignment_, lineBreakMode_, *font);
    }
    if (tex) {
        int device = GxFileUtils::sharedFileUtils().runningDevice();
        bool tablet = device == kGxDeviceTablet || device == kGxDeviceTabletRetina;
        if (tablet)
            tex->setResolutionType(f == 2 ? kGxResolutionTabletRetina : kGxResolutionTablet);
        else
            tex->setResolutionType(f == 2 ? kGxResolutionPhoneRetina : kGxResolutionPhone);
    }
    setTexture(tex);
    setTextureRect(tex ? Rect{Point{}, tex->contentSize()} : Rect{});
}

void GxLabelTTF::setFontName(const std::string& name) {
    if (name == fontName_) return;
    fontName_ = name;
    setString(string_);
}

void GxLabelTTF::setFontSize(float size) {
    if (size == fontSize_) return;
    fontSize_ = size;
    setString(string_);
}

void GxLabelTTF::setDimensions(Size d) {
    if (d.width == dimensions_.width && d.height == dimensions_.height) return;
    dimensions_ = d;
    setString(string_);
}

void GxLabelTTF::setHorizontalAlignment(int a) {
    if (a == hAlignment_) return;
    hAlignment_ = a;
    setString(string_);
}

void GxLabelTTF::setVerticalAlignment(int a) {
    if (a == vAlignment_) return;
    vAlignment_ = a;
    setString(string_);
}

}  // namespace engine2d
