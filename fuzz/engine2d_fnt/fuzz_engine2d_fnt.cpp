// Bitmap-font descriptions on arbitrary text, then laid out by a label.
//
// The input is a description; after a line "--" comes the label's text, its
// first byte choosing the alignment and the wrapping width. The label draws
// nothing, but it builds its glyph sprites in a real batch, so a surfaceless
// GL context is made once; without one only the parser is exercised.
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/labels/GxLabelBMFont.h"
#include "platform/gl/Context.h"

namespace {

struct Setup {
    std::shared_ptr<gl::Context> context;
    std::string dir;
    Setup() {
        char tmpl[] = "/tmp/fuzz-fnt-XXXXXX";
        if (!mkdtemp(tmpl)) return;
        dir = tmpl;
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 64);
        cairo_surface_write_to_png(s, (dir + "/font.png").c_str());
        cairo_surface_destroy(s);
        engine2d::GxFileUtils::sharedFileUtils().setBundleDir(dir);
        if (!gl::Context::available()) return;
        context = gl::Context::create();
        if (!context || !context->makeCurrent()) context.reset();
        if (context) engine2d::gxGLCacheReset();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t cut = input.find("\n--\n");
    std::string_view description = input.substr(0, cut);
    std::string_view text =
        cut == std::string_view::npos ? std::string_view("AV a\nB  xyz\n\nW") : input.substr(cut + 4);

    foundation::ErrorRef error;
    auto c = engine2d::GxBMFontConfiguration::configurationWithText(description, "fonts/f.fnt", &error);
    if (!c) {
        if (!error || error->message.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    c->parseInfoArguments(description);
    for (unsigned code = 0; code < 0x10000; code += 251) (void)c->kerningAmount(code, 65);
    if (c->glyphCount() > 0x10000) __builtin_trap();
    if (!setup.context) return 0;

    // The same description from a file, its picture always the one made above.
    std::string file = std::string(description) + "\npage id=0 file=\"font.png\"\n";
    std::ofstream(setup.dir + "/f.fnt", std::ios::binary | std::ios::trunc) << file;
    engine2d::GxLabelBMFont::purgeCachedData();
    int alignment = 0;
    float width = -1;
    if (!text.empty()) {
        auto b = uint8_t(text[0]);
        alignment = b % 3;
        if (b & 0x80) width = float(8 + (b & 0x3F) * 4);
        text.remove_prefix(1);
    }
    auto label = engine2d::GxLabelBMFont::labelWithString(std::string(text.substr(0, 512)), "f.fnt", width, alignment);
    if (!label) return 0;
    label->setAnchorPoint(engine2d::Point{0, 0});
    label->setAlignment((alignment + 1) % 3);
    label->setString("A\nAA");
    return 0;
}
