#include "lib/reader/ScanImageScanner.h"

using namespace zbar;

ScanImageScanner::ScanImageScanner() : scanner_(zbar_image_scanner_create()) {}

ScanImageScanner::~ScanImageScanner() {
    // The library does not free the symbols left in its cache when the
    // scanner is destroyed; turning the cache off hands them back first.
    zbar_image_scanner_enable_cache(scanner_, 0);
    zbar_image_scanner_destroy(scanner_);
    scanner_ = nullptr;
}

void ScanImageScanner::parseConfig(const std::string& config) {
    zbar_symbol_type_t symbology;
    zbar_config_t setting;
    int value;
    if (zbar_parse_config(config.c_str(), &symbology, &setting, &value) == 0)
        zbar_image_scanner_set_config(scanner_, symbology, setting, value);
}

void ScanImageScanner::setSymbology(int symbology, int config, int value) {
    zbar_image_scanner_set_config(scanner_, zbar_symbol_type_t(symbology), zbar_config_t(config), value);
}

void ScanImageScanner::setEnableCache(bool enable) { zbar_image_scanner_enable_cache(scanner_, enable ? 1 : 0); }

std::shared_ptr<ScanSymbolSet> ScanImageScanner::results() const {
    return ScanSymbolSet::create(zbar_image_scanner_get_results(scanner_));
}

int ScanImageScanner::scanImage(ScanImage& image) {
    unsigned long format = image.format();
    if (format != ScanImage::fourcc("Y800") && format != ScanImage::fourcc("GREY")) return -1;
    // The decoder reads width x height bytes whatever the data's length says.
    ui::Size size = image.size();
    double needed = size.width * size.height;
    if (needed > 0 && (!image.data() || double(image.dataLength()) < needed)) return -1;
    return zbar_scan_image(scanner_, image.zbarImage());
}
