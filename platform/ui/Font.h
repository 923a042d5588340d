#pragma once
// Fonts: the system font and its bold face by size, and named fonts mapped to
// installed families. Chinese text falls back to the installed CJK face.

#include <optional>
#include <string>

namespace ui {

class Font {
public:
    static Font systemFont(double size);
    static Font boldSystemFont(double size);
    // The usual Latin names ("Helvetica", "Helvetica-Bold", "HelveticaNeue",
    // "Arial", ...) and any installed family name; nullopt for an unknown name.
    static std::optional<Font> withName(const std::string& name, double size);
    static double smallSystemFontSize() { return 12; }
    static double systemFontSize() { return 14; }

    Font withSize(double size) const {
        Font f = *this;
        f.size_ = size;
        return f;
    }

    const std::string& fontName() const { return name_; }
    // The families pango is asked for, in order.
    const std::string& families() const { return families_; }
    double pointSize() const { return size_; }
    bool isBold() const { return bold_; }

    // Metrics in points at this size.
    double ascender() const;
    double descender() const;  // negative, below the baseline
    double lineHeight() const;

    bool operator==(const Font& o) const { return families_ == o.families_ && size_ == o.size_ && bold_ == o.bold_; }

private:
    Font(std::string name, std::string families, double size, bool bold)
        : name_(std::move(name)), families_(std::move(families)), size_(size), bold_(bold) {}
    std::string name_;
    std::string families_;
    double size_ = 12;
    bool bold_ = false;
};

}  // namespace ui
