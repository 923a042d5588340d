#pragma once
// What a reader hands its client: the result in the picker's form (the
// picture and the symbols read from it), the user's cancel, and for the
// picture reader a picture that held nothing.

#include <memory>
#include <vector>

#include "lib/reader/ScanSymbol.h"
#include "platform/foundation/WeakRef.h"
#include "platform/ui/Image.h"
#include "platform/ui/ViewController.h"

// The picker's result: the picture and, from a reader, its symbols.
struct ScanPickerInfo {
    ui::ImageRef originalImage;
    std::vector<std::shared_ptr<ScanSymbol>> results;  // "ScanReaderControllerResults"
};

// Called on the main thread; `reader` is the controller that read.
class ScanReaderDelegate : public foundation::Referenceable {
public:
    virtual ~ScanReaderDelegate() = default;
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(ui::ViewController& reader,
                                                                    const ScanPickerInfo& info) = 0;
    // Optional: the user cancelled.
    virtual bool respondsToImagePickerControllerDidCancel() const { return false; }
    virtual void imagePickerControllerDidCancel(ui::ViewController&) {}
    // Optional, from the picture reader: a picture held nothing; retry says
    // whether the user can try again without leaving the reader.
    virtual bool respondsToReaderControllerDidFailToRead() const { return false; }
    virtual void readerControllerDidFailToRead(ui::ViewController&, bool retry) { (void)retry; }
};
