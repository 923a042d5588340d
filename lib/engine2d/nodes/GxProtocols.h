#pragma once
// What coloured nodes (sprites, labels, progress timers) offer the fade and
// tint actions: a colour and an opacity that can be read and set.

#include <cstdint>

#include "lib/engine2d/mathlib/Types.h"

namespace engine2d {

class GxRGBAProtocol {
public:
    virtual ~GxRGBAProtocol() = default;
    virtual gxColor3B color() const = 0;
    virtual void setColor(gxColor3B c) = 0;
    virtual uint8_t opacity() const = 0;
    virtual void setOpacity(uint8_t o) = 0;
    // Whether the opacity is multiplied into the colour (premultiplied alpha).
    virtual bool doesOpacityModifyRGB() const { return false; }
    virtual void setOpacityModifyRGB(bool) {}
};

}  // namespace engine2d
