#pragma once
// QR pictures for the reader's tests, drawn from libqrencode's modules, and
// the log lines a test reads back.

#include <qrencode.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"

namespace readertest {

struct QrPicture {
    ui::ImageRef image;
    ui::Rect code;  // where the modules are drawn, quiet zone excluded
};

// The text as a QR code of `module` pixels a module, centred on a white
// width x height picture.
inline QrPicture qrPicture(const std::string& text, int width = 640, int height = 480, int module = 6) {
    QRcode* qr = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    std::vector<uint8_t> rgba(size_t(width) * height * 4, 255);
    int side = qr->width * module;
    int left = (width - side) / 2, top = (height - side) / 2;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            if (!(qr->data[(y / module) * qr->width + x / module] & 1)) continue;
            uint8_t* p = rgba.data() + (size_t(top + y) * width + left + x) * 4;
            p[0] = p[1] = p[2] = 0;
        }
    QRcode_free(qr);
    return {ui::Image::fromRgba(width, height, rgba.data()), ui::Rect(left, top, side, side)};
}

// A plain picture of one grey value.
inline ui::ImageRef greyPicture(int width, int height, uint8_t value) {
    std::vector<uint8_t> rgba(size_t(width) * height * 4, 255);
    for (size_t k = 0; k < size_t(width) * height; ++k) rgba[k * 4] = rgba[k * 4 + 1] = rgba[k * 4 + 2] = value;
    return ui::Image::fromRgba(width, height, rgba.data());
}

// Collects the log lines written while it lives.
class Lines {
public:
    Lines() {
        old_ = foundation::setLogSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~Lines() { foundation::setLogSink(old_); }
    std::vector<std::string> matching(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> found;
        for (auto& l : lines_)
            if (l.find(text) != std::string::npos) found.push_back(l);
        return found;
    }

private:
    foundation::LogSink old_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace readertest
