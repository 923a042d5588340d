#include "tools/picture/Picture.h"

#include <cstdio>
#include <cstdlib>

#include "platform/foundation/RunLoop.h"
#include "platform/gl/Context.h"

namespace picture {

std::optional<int> start(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png\n", argv[0]);
        return 2;
    }
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    foundation::RunLoop::setMainThread();
    if (!gl::Context::available()) {
        std::fprintf(stderr, "no EGL display: %s\n", gl::Context::lastError().c_str());
        return 1;
    }
    return std::nullopt;
}

void paintPage(shell::Driver& driver) { driver.window().setBackgroundColor(ui::Color::rgba(0.96, 0.95, 0.92)); }

std::shared_ptr<ui::Label> addHeader(shell::Driver& driver, const std::string& text, ui::Rect frame, double fontSize) {
    auto header = ui::Label::create(frame);
    header->setText(text);
    header->setFont(ui::Font::boldSystemFont(fontSize));
    header->setTextAlignment(ui::TextAlignment::Center);
    driver.window().addSubview(header);
    return header;
}

int save(shell::Driver& driver, const std::string& path) {
    if (driver.saveSnapshot(path)) return 0;
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
}

}  // namespace picture
