#pragma once
// Live camera frames to decoded symbols. The reader owns a video data output
// for the capture session; each frame arrives on the reader's own serial
// queue, its luma plane is scanned in place, and results go to the capture
// delegate on the main thread. While a result is with the delegate further
// frames are dropped, so the delegate never sees two at once.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "lib/reader/ScanImage.h"
#include "lib/reader/ScanImageScanner.h"
#include "lib/reader/ScanSymbol.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/WeakRef.h"
#include "platform/media/Capture.h"
#include "platform/ui/Geometry.h"

class ScanCaptureReader;

// Called on the main thread.
class ScanCaptureReaderDelegate : public foundation::Referenceable {
public:
    virtual ~ScanCaptureReaderDelegate() = default;
    // New symbols, or the frame that captureFrame() asked for.
    virtual void captureReader(ScanCaptureReader& reader, const std::shared_ptr<ScanCVImage>& image) = 0;
    // Every symbol seen in a frame (filtering off); only when
    // respondsToDidTrackSymbols() says so.
    virtual void captureReader(ScanCaptureReader&, const std::shared_ptr<ScanSymbolSet>&) {}
    virtual bool respondsToDidTrackSymbols() const { return false; }
};

class ScanCaptureReader : public std::enable_shared_from_this<ScanCaptureReader>,
                          private media::CaptureVideoDataOutputDelegate {
public:
    // The state bits.
    static constexpr uint32_t kRunning = 1;
    static constexpr uint32_t kPaused = 2;
    static constexpr uint32_t kCaptureRequested = 4;

    // With a scanner that scans every third column and row.
    static std::shared_ptr<ScanCaptureReader> create();
    static std::shared_ptr<ScanCaptureReader> createWithImageScanner(std::shared_ptr<ScanImageScanner> scanner);
    // Safe while frames flow: the output lets go of the reader and the frame
    // being scanned finishes first; results already posted are dropped.
    ~ScanCaptureReader() override;

    const std::shared_ptr<media::CaptureVideoDataOutput>& captureOutput() const { return captureOutput_; }
    const std::shared_ptr<ScanImageScanner>& scanner() const { return scanner_; }
    ScanCaptureReaderDelegate* captureDelegate() const { return captureDelegate_; }
    void setCaptureDelegate(ScanCaptureReaderDelegate* delegate);

    bool enableReader() const;
    void setEnableReader(bool enable);
    void willStartRunning() { setEnableReader(true); }
    void willStopRunning() { setEnableReader(false); }
    // Empties the decoder's cache.
    void flushCache();
    // Delivers the next processed frame even when it shows nothing new.
    void captureFrame();

    // Normalised to the frame (0..1 each way); initially all of it.
    ui::Rect scanCrop() const { return scanCrop_; }
    void setScanCrop(ui::Rect crop);
    bool enableCache() const { return enableCache_; }
    // Reaches the decoder at the next start from stopped or flushCache().
    void setEnableCache(bool enable) { enableCache_ = enable; }

    // Frame size (luma bytes a row by rows) and rate last reported on the
    // main thread, each with a callback on change.
    ui::Size size() const { return size_; }
    float framesPerSecond() const { return framesPerSecond_; }
    void setSizeObserver(std::function<void(ui::Size)> observer) { sizeObserver_ = std::move(observer); }
    void setFramesPerSecondObserver(std::function<void(float)> observer) { fpsObserver_ = std::move(observer); }

    // Frames processed so far (the next frame's sequence number).
    int frameCount() const { return framecnt_.load(); }
    uint32_t state() const { return state_.load(); }

private:
    ScanCaptureReader() = default;
    void initResult();
    void cropUpdate();
    void captureOutput(media::CaptureVideoDataOutput& output, const media::SampleBuffer& sample) override;
    void updateSize(ui::Size size);
    void updateFPS(double fps);
    void didTrackSymbols(const std::shared_ptr<ScanSymbolSet>& symbols);
    void didReadNewSymbolsFromImage(const std::shared_ptr<ScanCVImage>& image);
    void postToMain(std::function<void(ScanCaptureReader&)> fn);

    std::shared_ptr<media::CaptureVideoDataOutput> captureOutput_;
    foundation::WeakRef<ScanCaptureReaderDelegate> captureDelegate_;
    std::shared_ptr<ScanImageScanner> scanner_;
    ui::Rect scanCrop_{0, 0, 1, 1};
    ui::Size size_;
    float framesPerSecond_ = 0;
    bool enableCache_ = true;
    std::unique_ptr<foundation::SerialQueue> queue_;
    std::shared_ptr<ScanImage> image_;
    std::shared_ptr<ScanCVImage> result_;
    mutable std::atomic<uint32_t> state_{0};
    std::atomic<int> framecnt_{0};
    unsigned width_ = 0, height_ = 0;
    double t_frame_ = 0, t_fps_ = 0, t_scan_ = 0;
    float dt_frame_ = 0;
    std::function<void(ui::Size)> sizeObserver_;
    std::function<void(float)> fpsObserver_;
};
