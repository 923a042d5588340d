// Bitmap-font descriptions on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lib/engine2d/labels/GxLabelBMFont.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto c = engine2d::GxBMFontConfiguration::configurationWithText(text, "fonts/f.fnt");
    c->parseInfoArguments(text);
    // Every glyph found is reachable by its own code, and kerning lookups hold.
    for (unsigned code = 0; code < 0x10000; code += 251) (void)c->kerningAmount(code, 65);
    if (c->glyphCount() > 0x10000) __builtin_trap();
    return 0;
}
