#pragma once
// The decoder: one library image scanner with its symbologies, densities and
// result cache. No locking inside: owners serialise every use, and lock()
// gives them a recursive lock for it.

#include <zbar.h>

#include <memory>
#include <mutex>
#include <string>

#include "lib/reader/ScanImage.h"
#include "lib/reader/ScanSymbol.h"

class ScanImageScanner {
public:
    ScanImageScanner();
    ~ScanImageScanner();
    ScanImageScanner(const ScanImageScanner&) = delete;
    ScanImageScanner& operator=(const ScanImageScanner&) = delete;

    // A setting in the library's text form ("qrcode.enable=0", "x-density=2");
    // text it cannot parse is ignored, as is the outcome.
    void parseConfig(const std::string& config);
    void setSymbology(int symbology, int config, int value);
    // Turns the cache of symbols already reported on or off; either way it
    // empties it.
    void setEnableCache(bool enable);
    // The symbols of the last scan; nullptr before the first.
    std::shared_ptr<ScanSymbolSet> results() const;
    // More than 0 when new symbols were decoded, 0 when none, -1 when the
    // image is not 8-bit grey ("Y800" or "GREY") or its bytes do not cover
    // its size; a refused image leaves the results as they were.
    int scanImage(ScanImage& image);

    zbar::zbar_image_scanner_t* scanner() const { return scanner_; }
    std::recursive_mutex& lock() { return lock_; }

private:
    zbar::zbar_image_scanner_t* scanner_;
    std::recursive_mutex lock_;
};
