#include "lib/reader/ScanCaptureReader.h"

#include <cstdio>
#include <mutex>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"

using namespace zbar;

namespace {
double ticks() { return foundation::clock().monotonic(); }

void logf(const char* format, auto... args) {
    char line[256];
    std::snprintf(line, sizeof line, format, args...);
    foundation::logLine(line);
}
}  // namespace

std::shared_ptr<ScanCaptureReader> ScanCaptureReader::create() {
    auto scanner = std::make_shared<ScanImageScanner>();
    auto reader = createWithImageScanner(scanner);
    scanner->setSymbology(0, ZBAR_CFG_X_DENSITY, 3);
    scanner->setSymbology(0, ZBAR_CFG_Y_DENSITY, 3);
    return reader;
}

std::shared_ptr<ScanCaptureReader> ScanCaptureReader::createWithImageScanner(
    std::shared_ptr<ScanImageScanner> scanner) {
    if (!scanner) return nullptr;
    std::shared_ptr<ScanCaptureReader> reader(new ScanCaptureReader());
    reader->t_frame_ = reader->t_fps_ = ticks();
    reader->scanner_ = std::move(scanner);
    reader->image_ = ScanImage::create();
    reader->image_->setFormat(ScanImage::fourcc("Y800"));
    reader->initResult();
    reader->captureOutput_ = media::CaptureVideoDataOutput::create();
    reader->captureOutput_->setAlwaysDiscardsLateVideoFrames(true);
    reader->queue_ = std::make_unique<foundation::SerialQueue>("qr.frames");
    reader->captureOutput_->setSampleBufferDelegate(reader.get(), reader->queue_.get());
    return reader;
}

ScanCaptureReader::~ScanCaptureReader() {
    {
        std::lock_guard<std::recursive_mutex> lock(scanner_->lock());
        captureDelegate_ = nullptr;
    }
    // After this no frame reaches the reader, and one being scanned is done.
    captureOutput_->setSampleBufferDelegate(nullptr, nullptr);
    queue_.reset();
}

void ScanCaptureReader::initResult() {
    result_ = ScanCVImage::create();
    result_->setFormat(ScanImage::fourcc("CV2P"));
}

void ScanCaptureReader::setCaptureDelegate(ScanCaptureReaderDelegate* delegate) {
    std::lock_guard<std::recursive_mutex> lock(scanner_->lock());
    captureDelegate_ = delegate;
}

bool ScanCaptureReader::enableReader() const { return state_.fetch_or(0) & kRunning; }

void ScanCaptureReader::setEnableReader(bool enable) {
    if (!enable) {
        state_.fetch_and(0);
        return;
    }
    uint32_t old = state_.fetch_or(kRunning);
    if (old & kRunning) return;
    state_.fetch_and(~kPaused);
    std::lock_guard<std::recursive_mutex> lock(scanner_->lock());
    scanner_->setEnableCache(enableCache_);
}

void ScanCaptureReader::flushCache() {
    std::lock_guard<std::recursive_mutex> lock(scanner_->lock());
    scanner_->setEnableCache(enableCache_);
}

void ScanCaptureReader::captureFrame() { state_.fetch_or(kCaptureRequested, std::memory_order_relaxed); }

void ScanCaptureReader::setScanCrop(ui::Rect crop) {
    std::lock_guard<std::recursive_mutex> lock(scanner_->lock());
    if (crop == scanCrop_) return;
    scanCrop_ = crop;
    cropUpdate();
}

void ScanCaptureReader::cropUpdate() {
    std::lock_guard<std::recursive_mutex> lock(scanner_->lock());
    float w = float(width_), h = float(height_);
    image_->setCrop(ui::Rect(scanCrop_.x() * w, scanCrop_.y() * h, scanCrop_.width() * w, scanCrop_.height() * h));
}

void ScanCaptureReader::postToMain(std::function<void(ScanCaptureReader&)> fn) {
    std::weak_ptr<ScanCaptureReader> weak = weak_from_this();
    foundation::postToMain([weak, fn = std::move(fn)] {
        if (auto self = weak.lock()) fn(*self);
    });
}

void ScanCaptureReader::updateSize(ui::Size size) {
    size_ = size;
    if (sizeObserver_) sizeObserver_(size);
}

void ScanCaptureReader::updateFPS(double fps) {
    framesPerSecond_ = float(fps);
    if (fpsObserver_) fpsObserver_(framesPerSecond_);
}

void ScanCaptureReader::didTrackSymbols(const std::shared_ptr<ScanSymbolSet>& symbols) {
    ScanCaptureReaderDelegate* delegate;
    {
        std::lock_guard<std::recursive_mutex> lock(scanner_->lock());
        delegate = captureDelegate_;
    }
    if (delegate) delegate->captureReader(*this, symbols);
}

void ScanCaptureReader::didReadNewSymbolsFromImage(const std::shared_ptr<ScanCVImage>& image) {
    double t0 = ticks();
    ScanCaptureReaderDelegate* delegate;
    {
        std::lock_guard<std::recursive_mutex> lock(scanner_->lock());
        delegate = captureDelegate_;
    }
    if (delegate) delegate->captureReader(*this, image);
    state_.fetch_and(~kPaused);
    double t1 = ticks();
    logf("ScanCaptureReader: latency: delegate=%gs total=%gs", t1 - t0, t1 - t_scan_);
}

void ScanCaptureReader::captureOutput(media::CaptureVideoDataOutput&, const media::SampleBuffer& sample) {
    // Stopped or waiting for the main thread: drop the frame, nothing else.
    uint32_t snapshot = state_.fetch_or(0);
    if ((snapshot & (kRunning | kPaused)) != kRunning) return;

    image_->setSequence(unsigned(framecnt_.fetch_add(1)));

    double now = ticks();
    double dt = now - t_frame_;
    t_frame_ = now;
    if (dt > 2.0) {
        t_fps_ = now;
        dt_frame_ = 0;
    } else if (dt_frame_ == 0) {
        dt_frame_ = float(dt);
    }
    dt_frame_ = (dt_frame_ + float(dt)) / 2;
    if (now - t_fps_ >= 1.0) {
        double fps = 1.0 / dt_frame_;
        postToMain([fps](ScanCaptureReader& self) { self.updateFPS(fps); });
        t_fps_ = now;
    }

    const media::PixelBufferRef& buffer = sample.imageBuffer;
    if (!buffer || sample.numSamples != 1 || !sample.valid || !sample.dataReady) {
        foundation::logLine("ScanCaptureReader: ERROR: invalid sample");
        return;
    }
    if (buffer->pixelFormatType() != media::kPixelFormatNV12VideoRange || buffer->planeCount() == 0) {
        foundation::logLine("ScanCaptureReader: ERROR: invalid buffer format");
        return;
    }
    size_t w = buffer->bytesPerRowOfPlane(0), h = buffer->heightOfPlane(0);
    bool locked = buffer->lockBaseAddress(true);
    // The scan reads w x h bytes of plane 0: the plane must hold them.
    if (!w || !h || !locked || w > 0xffffffffu || h > 0xffffffffu) {
        foundation::logLine("ScanCaptureReader: ERROR: invalid buffer data");
        if (locked) buffer->unlockBaseAddress();
        return;
    }
    const uint8_t* luma = buffer->baseAddressOfPlane(0);
    if (!luma || buffer->dataSizeOfPlane(0) / w < h) {
        foundation::logLine("ScanCaptureReader: ERROR: invalid data");
        buffer->unlockBaseAddress();
        return;
    }

    image_->setData(luma, w * h);

    int ngood;
    std::shared_ptr<ScanSymbolSet> syms;
    bool track;
    {
        std::lock_guard<std::recursive_mutex> lock(scanner_->lock());
        if (w != width_ || h != height_) {
            width_ = unsigned(w);
            height_ = unsigned(h);
            ui::Size size{double(w), double(h)};
            postToMain([size](ScanCaptureReader& self) { self.updateSize(size); });
            image_->setSize(size);
            cropUpdate();
        }
        ngood = scanner_->scanImage(*image_);
        syms = scanner_->results();
        track = captureDelegate_ && captureDelegate_->respondsToDidTrackSymbols();
    }

    now = ticks();
    if (ngood >= 0 && syms) {
        syms->setFilterSymbols(false);
        int nraw = syms->count();
        if (nraw > 0 || (snapshot & kCaptureRequested)) {
            ui::Rect crop = image_->crop();
            logf("ScanCaptureReader: scan image: %zux%zu crop={{%g, %g}, {%g, %g}} ngood=%d nraw=%d st=%u", w, h,
                 crop.x(), crop.y(), crop.width(), crop.height(), ngood, nraw, snapshot);
        }
        if (ngood > 0 || (snapshot & kCaptureRequested)) {
            result_->setSize({double(w), double(h)});
            result_->setPixelBuffer(buffer);
            result_->setSymbols(syms);
            t_scan_ = now;
            // Paused until the delegate has returned; a capture request that
            // this frame answers is done. (Set and cleared bit by bit, so a
            // reader disabled meanwhile gains no phantom request.)
            state_.fetch_or(kPaused);
            if (snapshot & kCaptureRequested) state_.fetch_and(~kCaptureRequested);
            std::shared_ptr<ScanCVImage> result = result_;
            postToMain([result](ScanCaptureReader& self) { self.didReadNewSymbolsFromImage(result); });
            initResult();
        }
        if (nraw > 0 && track) postToMain([syms](ScanCaptureReader& self) { self.didTrackSymbols(syms); });
    }

    image_->setData(nullptr, 0);
    buffer->unlockBaseAddress();
}
