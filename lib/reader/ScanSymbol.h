#pragma once
// Decoded symbols and sets of them, over the decoder library's own objects.
// Each wrapper holds one library reference to what it wraps, so a symbol kept
// from a set outlives the set.

#include <zbar.h>

#include <iterator>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Geometry.h"

class ScanSymbolSet;

class ScanSymbol {
public:
    // nullptr for a null symbol.
    static std::shared_ptr<ScanSymbol> create(const zbar::zbar_symbol_t* symbol);
    explicit ScanSymbol(const zbar::zbar_symbol_t* symbol);  // symbol must not be null
    ~ScanSymbol();
    ScanSymbol(const ScanSymbol&) = delete;
    ScanSymbol& operator=(const ScanSymbol&) = delete;

    // The symbology's name, "QR-Code" for 64.
    static std::string nameForType(int type);

    int type() const;
    std::string typeName() const;
    unsigned configMask() const;
    unsigned modifierMask() const;
    // The decoded text, every byte the decoder gave (NUL bytes included);
    // empty when the bytes are not valid UTF-8.
    std::optional<std::string> data() const;
    int quality() const;
    int count() const;
    int orientation() const;
    // The symbols it is made of; nullptr when it has none.
    std::shared_ptr<ScanSymbolSet> components() const;
    const zbar::zbar_symbol_t* zbarSymbol() const { return symbol_; }
    // The box around the location points, in pixels of the scanned image;
    // empty (the null rectangle) when the decoder recorded no point.
    std::optional<ui::Rect> bounds() const;

private:
    const zbar::zbar_symbol_t* symbol_;
};

class ScanSymbolSet {
public:
    // nullptr for a null set.
    static std::shared_ptr<ScanSymbolSet> create(const zbar::zbar_symbol_set_t* set);
    explicit ScanSymbolSet(const zbar::zbar_symbol_set_t* set);  // set must not be null
    ~ScanSymbolSet();
    ScanSymbolSet(const ScanSymbolSet&) = delete;
    ScanSymbolSet& operator=(const ScanSymbolSet&) = delete;

    // With filtering (the default) counting and enumeration see only what
    // the decoder's result filter passed; without it, every symbol seen.
    bool filterSymbols() const { return filterSymbols_; }
    void setFilterSymbols(bool filter) { filterSymbols_ = filter; }
    int count() const;
    const zbar::zbar_symbol_set_t* zbarSymbolSet() const { return set_; }

    // Enumeration: one new ScanSymbol per step.
    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = std::shared_ptr<ScanSymbol>;
        using difference_type = std::ptrdiff_t;
        using pointer = const value_type*;
        using reference = const value_type&;
        iterator() = default;
        explicit iterator(const zbar::zbar_symbol_t* at) : at_(at), current_(ScanSymbol::create(at)) {}
        reference operator*() const { return current_; }
        iterator& operator++() {
            at_ = at_ ? zbar::zbar_symbol_next(at_) : nullptr;
            current_ = ScanSymbol::create(at_);
            return *this;
        }
        bool operator==(const iterator& other) const { return at_ == other.at_; }

    private:
        const zbar::zbar_symbol_t* at_ = nullptr;
        std::shared_ptr<ScanSymbol> current_;
    };
    iterator begin() const;
    iterator end() const { return iterator(); }

private:
    const zbar::zbar_symbol_set_t* set_;
    bool filterSymbols_ = true;
};
