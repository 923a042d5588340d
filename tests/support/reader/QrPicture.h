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
// A text holding NUL bytes is encoded byte for byte.
inline QrPicture qrPicture(const std::string& text, int width = 640, int height = 480, int module = 6) {
    QRcode* qr =
        text.find('\0') == std::string::npos
            ? QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1)
            : QRcode_encodeData(int(text.size()), reinterpret_cast<const unsigned char*>(text.data()), 0, QR_ECLEVEL_M);
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

// A white picture to draw codes on.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), rgba_(size_t(width) * height * 4, 255) {}
    void black(int x, int y) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        uint8_t* p = rgba_.data() + (size_t(y) * width_ + x) * 4;
        p[0] = p[1] = p[2] = 0;
    }
    // A QR code of the text, `module` pixels a module, its top left at (left, top).
    void qr(const std::string& text, int left, int top, int module) {
        QRcode* code = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
        for (int y = 0; y < code->width * module; ++y)
            for (int x = 0; x < code->width * module; ++x)
                if (code->data[(y / module) * code->width + x / module] & 1) black(left + x, top + y);
        QRcode_free(code);
    }
    // An EAN-13 bar code of the 13 digits, `module` pixels a bar module.
    void ean13(const std::string& digits, int left, int top, int height, int module) {
        static const char* L[] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                  "0110001", "0101111", "0111011", "0110111", "0001011"};
        static const char* G[] = {"0100111", "0110011", "0011011", "0100001", "0011101",
                                  "0111001", "0000101", "0010001", "0001001", "0010111"};
        static const char* parity[] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                       "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};
        std::string bars = "101";
        for (int i = 1; i <= 6; ++i) {
            int d = digits[i] - '0';
            bars += parity[digits[0] - '0'][i - 1] == 'L' ? L[d] : G[d];
        }
        bars += "01010";
        for (int i = 7; i <= 12; ++i)
            for (const char* c = L[digits[i] - '0']; *c; ++c) bars += *c == '1' ? '0' : '1';
        bars += "101";
        for (size_t m = 0; m < bars.size(); ++m)
            if (bars[m] == '1')
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < module; ++x) black(left + int(m) * module + x, top + y);
    }
    // Codabar-like bars of the text (digits, "-$:/.+" and the start and stop
    // letters A to D): four bars and three gaps a character, narrow or wide,
    // `height` pixels tall, its left edge at `left`. A few pixels tall, the
    // decoder reads it from one scan line only: a poor read.
    void codabar(const std::string& text, int left, int top, int height, int narrow = 2, int wide = 5) {
        static const std::string chars = "0123456789-$:/.+ABCD";
        static const char* widths[] = {"0000011", "0000110", "0001001", "1100000", "0010010", "1000010", "0100001",
                                       "0100100", "0110000", "1001000", "0001100", "0011000", "1000101", "1010001",
                                       "1010100", "0010101", "0011010", "0101001", "0001011", "0001110"};
        int x = left;
        for (char c : text) {
            auto index = chars.find(c);
            if (index == std::string::npos) continue;
            for (int e = 0; e < 7; ++e) {
                int w = widths[index][e] == '1' ? wide : narrow;
                if (e % 2 == 0)
                    for (int y = top; y < top + height; ++y)
                        for (int dx = 0; dx < w; ++dx) black(x + dx, y);
                x += w;
            }
            x += narrow;
        }
    }
    ui::ImageRef image() const { return ui::Image::fromRgba(width_, height_, rgba_.data()); }

private:
    int width_, height_;
    std::vector<uint8_t> rgba_;
};

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
