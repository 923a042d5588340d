#pragma once
// The engine's value types, passed by value and laid out as the GL vertex
// data they are (a quad of four coloured, textured vertices is 96 bytes).

#include <cstdint>

namespace engine2d {

struct gxColor3B {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const gxColor3B&) const = default;
};
struct gxColor4B {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const gxColor4B&) const = default;
};
struct gxColor4F {
    float r = 0, g = 0, b = 0, a = 0;
    bool operator==(const gxColor4F&) const = default;
};
struct gxVertex2F {
    float x = 0, y = 0;
};
struct gxVertex3F {
    float x = 0, y = 0, z = 0;
};
struct gxTex2F {
    float u = 0, v = 0;
};
struct gxV3F_C4B_T2F {
    gxVertex3F vertices;
    gxColor4B colors;
    gxTex2F texCoords;
};
struct gxV2F_C4B_T2F {
    gxVertex2F vertices;
    gxColor4B colors;
    gxTex2F texCoords;
};
struct gxV3F_C4B_T2F_Quad {
    gxV3F_C4B_T2F tl, bl, tr, br;
};
struct gxBlendFunc {
    unsigned src = 0, dst = 0;
    bool operator==(const gxBlendFunc&) const = default;
};
struct gxGridSize {
    int x = 0, y = 0;
};
struct gxQuad3 {
    gxVertex3F bl, br, tl, tr;
};

static_assert(sizeof(gxV3F_C4B_T2F) == 24);
static_assert(sizeof(gxV3F_C4B_T2F_Quad) == 96);

}  // namespace engine2d
