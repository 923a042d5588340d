#pragma once
// The bind screen's QR road: the camera reader, with the screen's own bar
// over it, reads the serial as a QR code; a serial read binds at once
// through the serial road, anything else is refused.

#include <memory>

#include "lib/reader/ScanReaderDelegate.h"
#include "lib/reader/ScanReaderViewController.h"

class BindViewController;
class SerialRoad;

class QrRoad {
public:
    QrRoad(BindViewController& screen, SerialRoad& serial);

    // Presents the reader; its results and cancel go to the screen, which
    // hands them here.
    void open();
    void picked(ui::ViewController& reader, const ScanPickerInfo& info);
    void cancelled(ui::ViewController& reader);

    ScanReaderViewController* reader() const { return reader_.get(); }

private:
    BindViewController& screen_;
    SerialRoad& serial_;
    std::shared_ptr<ScanReaderViewController> reader_;
};
