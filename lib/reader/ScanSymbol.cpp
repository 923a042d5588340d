#include "lib/reader/ScanSymbol.h"

#include <algorithm>
#include <climits>

using namespace zbar;

namespace {

// The whole length is checked: a NUL byte is a character like any other.
bool validUtf8(const unsigned char* s, size_t length) {
    const unsigned char* end = s + length;
    while (s < end) {
        unsigned char c = *s;
        int extra;
        unsigned cp;
        if (c < 0x80) {
            ++s;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07;
        } else {
            return false;
        }
        ++s;
        if (end - s < extra) return false;
        for (int i = 0; i < extra; ++i, ++s) {
            if ((*s & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (*s & 0x3F);
        }
        static const unsigned minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<ScanSymbol> ScanSymbol::create(const zbar_symbol_t* symbol) {
    return symbol ? std::make_shared<ScanSymbol>(symbol) : nullptr;
}

ScanSymbol::ScanSymbol(const zbar_symbol_t* symbol) : symbol_(symbol) { zbar_symbol_ref(symbol_, 1); }

ScanSymbol::~ScanSymbol() {
    zbar_symbol_ref(symbol_, -1);
    symbol_ = nullptr;
}

std::string ScanSymbol::nameForType(int type) {
    const char* name = zbar_get_symbol_name(zbar_symbol_type_t(type));
    return name ? name : "";
}

int ScanSymbol::type() const { return zbar_symbol_get_type(symbol_); }
std::string ScanSymbol::typeName() const { return nameForType(type()); }
unsigned ScanSymbol::configMask() const { return zbar_symbol_get_configs(symbol_); }
unsigned ScanSymbol::modifierMask() const { return zbar_symbol_get_modifiers(symbol_); }

std::optional<std::string> ScanSymbol::data() const {
    // The decoder's length counts, not the first NUL: "Q3T7K9\0..." is not "Q3T7K9".
    const char* text = zbar_symbol_get_data(symbol_);
    if (!text) return std::nullopt;
    size_t length = zbar_symbol_get_data_length(symbol_);
    if (!validUtf8(reinterpret_cast<const unsigned char*>(text), length)) return std::nullopt;
    return std::string(text, length);
}

int ScanSymbol::quality() const { return zbar_symbol_get_quality(symbol_); }
int ScanSymbol::count() const { return zbar_symbol_get_count(symbol_); }
int ScanSymbol::orientation() const { return int(zbar_symbol_get_orientation(symbol_)); }

std::shared_ptr<ScanSymbolSet> ScanSymbol::components() const {
    return ScanSymbolSet::create(zbar_symbol_get_components(symbol_));
}

std::optional<ui::Rect> ScanSymbol::bounds() const {
    unsigned n = zbar_symbol_get_loc_size(symbol_);
    if (n == 0) return std::nullopt;
    int xmin = INT_MAX, ymin = INT_MAX, xmax = INT_MIN, ymax = INT_MIN;
    for (unsigned i = 0; i < n; ++i) {
        int x = zbar_symbol_get_loc_x(symbol_, i), y = zbar_symbol_get_loc_y(symbol_, i);
        xmin = std::min(xmin, x), xmax = std::max(xmax, x);
        ymin = std::min(ymin, y), ymax = std::max(ymax, y);
    }
    return ui::Rect(double(xmin), double(ymin), double(xmax) - xmin, double(ymax) - ymin);
}

std::shared_ptr<ScanSymbolSet> ScanSymbolSet::create(const zbar_symbol_set_t* set) {
    return set ? std::make_shared<ScanSymbolSet>(set) : nullptr;
}

ScanSymbolSet::ScanSymbolSet(const zbar_symbol_set_t* set) : set_(set) { zbar_symbol_set_ref(set_, 1); }

ScanSymbolSet::~ScanSymbolSet() { zbar_symbol_set_ref(set_, -1); }

int ScanSymbolSet::count() const {
    if (filterSymbols_) return zbar_symbol_set_get_size(set_);
    int n = 0;
    for (const zbar_symbol_t* s = zbar_symbol_set_first_unfiltered(set_); s; s = zbar_symbol_next(s)) ++n;
    return n;
}

ScanSymbolSet::iterator ScanSymbolSet::begin() const {
    return iterator(filterSymbols_ ? zbar_symbol_set_first_symbol(set_) : zbar_symbol_set_first_unfiltered(set_));
}
