#pragma once
// The camera: devices that produce frames, the video data output that hands
// them to a delegate on a serial queue, and the session that ties a device to
// its outputs and reports starts, stops and interruptions.
//
// Devices:
//  - FileFeedDevice: pictures (PNG or JPEG), each turned into a 640x480
//    camera frame (portrait pictures are turned 90 degrees counter-clockwise
//    the way a phone's sensor sees them), or a YUV4MPEG2 video file of 8-bit
//    4:2:0 or mono frames, which keep the video's own size. Frames
//    come at a set rate from a thread of its own, or one at a time through
//    pushFrame() (rate 0), which tests use.
//  - V4l2Device: a real camera through libv4l2.
// CaptureDevice::defaultDevice() picks one from $QUENTA_CAMERA:
//   "file:PATH[:PATH...]"  pictures or one .y4m file (":" separates paths)
//   "v4l2:/dev/videoN"     that camera
//   "none"                 no camera
// and without the variable, the first /dev/video* that opens, else none.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Error.h"
#include "platform/media/PixelBuffer.h"

namespace media {

class CaptureVideoDataOutput;

// Errors of the capture layer: a device that cannot be opened or started, a
// feed whose files give no frame, a configuration lock refused.
inline const std::string kCaptureErrorDomain = "CaptureErrorDomain";
enum CaptureErrorCode : int {
    kCaptureDeviceUnavailable = 1,  // cannot be opened, not a camera, no 4:2:0 frames, closed
    kCaptureFeedUnreadable = 2,     // a file of a feed gives no frame, or there is none
    kCaptureFormatUnsupported = 3,  // a frame size or pixel format the feed cannot make
    kCaptureConfigurationRefused = 4,
    kCaptureNoFrame = 5,  // the device started but sent no frame, or one that cannot be read
};

// Notifications of a session (object: the session); the runtime error carries
// its message under kCaptureSessionErrorKey.
inline const std::string kCaptureSessionDidStartRunning = "media.session.didStartRunning";
inline const std::string kCaptureSessionDidStopRunning = "media.session.didStopRunning";
inline const std::string kCaptureSessionWasInterrupted = "media.session.wasInterrupted";
inline const std::string kCaptureSessionInterruptionEnded = "media.session.interruptionEnded";
inline const std::string kCaptureSessionRuntimeError = "media.session.runtimeError";
inline const std::string kCaptureSessionErrorKey = "error";

enum class CapturePosition { Unspecified = 0, Back = 1, Front = 2 };
enum class CaptureTorchMode { Off = 0, On = 1, Auto = 2 };
enum class CaptureFocusMode { Locked = 0, AutoFocus = 1, ContinuousAutoFocus = 2 };

// The session presets: the picture size the session asks of its camera.
inline const std::string kCaptureSessionPresetHigh = "High";
inline const std::string kCaptureSessionPresetMedium = "Medium";
inline const std::string kCaptureSessionPresetLow = "Low";
inline const std::string kCaptureSessionPreset640x480 = "640x480";

// Where a device sends its frames; called on the device's own thread.
using FrameSink = std::function<void(const SampleBuffer&)>;

class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;
    virtual std::string uniqueID() const = 0;
    virtual std::string localizedName() const = 0;
    // Every device here gives video.
    bool hasMediaTypeVideo() const { return true; }
    CapturePosition position() const { return traits_.position; }
    bool hasTorch() const { return traits_.torch; }
    // Off always; On and Auto with a torch.
    bool isTorchModeSupported(CaptureTorchMode mode) const { return mode == CaptureTorchMode::Off || traits_.torch; }
    // Locked always; the others when the device focuses by itself.
    bool isFocusModeSupported(CaptureFocusMode mode) const { return mode == CaptureFocusMode::Locked || traits_.focus; }

    // Torch and focus change only while the caller holds the device's
    // configuration lock; lockForConfiguration() fails (with a reason) while
    // another holder has it, or when the device refuses.
    bool lockForConfiguration(foundation::ErrorRef* error = nullptr);
    void unlockForConfiguration();
    bool isLockedForConfiguration() const;
    CaptureTorchMode torchMode() const;
    CaptureFocusMode focusMode() const;
    // False, changing nothing, without the lock or for a mode not supported.
    bool setTorchMode(CaptureTorchMode mode);
    bool setFocusMode(CaptureFocusMode mode);

    // What a device reports of itself. Cameras read theirs from the driver;
    // the file feed is told (tests stand in for a front camera, a torch, ...).
    struct Traits {
        CapturePosition position = CapturePosition::Back;
        bool torch = false;
        bool focus = false;
        bool refusesLock = false;
    };
    void setTraits(const Traits& traits) { traits_ = traits; }
    // Starts sending frames to sink; false (with a reason) when it cannot.
    virtual bool start(FrameSink sink, foundation::ErrorRef* error) = 0;
    // Stops; no frame reaches the sink after it returns.
    virtual void stop() = 0;

    // The device the configuration names (see above); nullptr for none.
    static std::shared_ptr<CaptureDevice> defaultDevice();
    // Stands `device` in for the configured one: defaultDevice() and
    // devices() answer it until it is set back to nullptr (or the process-wide
    // objects are reset). Tests put a feed they drive in place this way before
    // a screen opens its reader, the way a phone has its camera before then.
    static void setDefaultDevice(std::shared_ptr<CaptureDevice> device);
    // Every video device: the default one, when there is one.
    static std::vector<std::shared_ptr<CaptureDevice>> devices();

    // Parses a $QUENTA_CAMERA value; nullptr for "none" or what does not open.
    static std::shared_ptr<CaptureDevice> fromConfiguration(const std::string& value);

private:
    Traits traits_;
    mutable std::mutex configMutex_;
    bool locked_ = false;
    CaptureTorchMode torch_ = CaptureTorchMode::Off;
    CaptureFocusMode focus_ = CaptureFocusMode::Locked;
};

class FileFeedDevice : public CaptureDevice {
public:
    struct Options {
        size_t width = 640, height = 480;
        uint32_t pixelFormat = kPixelFormatNV12VideoRange;  // or kPixelFormatBGRA
        double framesPerSecond = 30;                        // 0: only pushFrame()
    };
    // nullptr (with a reason) when no frame can be made from the files.
    static std::shared_ptr<FileFeedDevice> open(const std::vector<std::string>& paths, const Options& options,
                                                foundation::ErrorRef* error = nullptr);
    static std::shared_ptr<FileFeedDevice> open(const std::vector<std::string>& paths);
    ~FileFeedDevice() override;

    std::string uniqueID() const override;
    std::string localizedName() const override { return "File feed"; }
    bool start(FrameSink sink, foundation::ErrorRef* error) override;
    void stop() override;

    // Sends the next frame now, on the calling thread (the frames cycle).
    // False when the device is not started.
    bool pushFrame();
    size_t frameCount() const { return frames_.size(); }
    const PixelBufferRef& frame(size_t index) const { return frames_[index]; }

private:
    FileFeedDevice() = default;
    void run();
    std::vector<std::string> paths_;
    Options options_;
    std::vector<PixelBufferRef> frames_;
    std::mutex mutex_;  // guards sink_ and next_; held while a frame goes out
    FrameSink sink_;
    size_t next_ = 0;
    std::mutex threadMutex_;
    std::condition_variable threadCv_;
    bool stopping_ = false;
    std::thread thread_;
};

class V4l2Device : public CaptureDevice {
public:
    static std::shared_ptr<V4l2Device> open(const std::string& path, foundation::ErrorRef* error = nullptr);
    ~V4l2Device() override;
    std::string uniqueID() const override { return path_; }
    std::string localizedName() const override { return name_; }
    bool start(FrameSink sink, foundation::ErrorRef* error) override;
    void stop() override;

private:
    V4l2Device() = default;
    void run();
    std::string path_, name_;
    int fd_ = -1;
    uint32_t width_ = 0, height_ = 0, bytesPerLine_ = 0, imageSize_ = 0;
    FrameSink sink_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// Receives frames on the queue that was given with the delegate.
class CaptureVideoDataOutputDelegate {
public:
    virtual ~CaptureVideoDataOutputDelegate() = default;
    virtual void captureOutput(CaptureVideoDataOutput& output, const SampleBuffer& sample) = 0;
};

class CaptureVideoDataOutput : public std::enable_shared_from_this<CaptureVideoDataOutput> {
public:
    static std::shared_ptr<CaptureVideoDataOutput> create();

    bool alwaysDiscardsLateVideoFrames() const { return discardLate_.load(); }
    void setAlwaysDiscardsLateVideoFrames(bool discard) { discardLate_.store(discard); }
    // Frames go to delegate on queue. Clearing (nullptr) waits for a frame the
    // delegate is handling; after it returns the old delegate gets no frame.
    // The queue must outlive its use here.
    void setSampleBufferDelegate(CaptureVideoDataOutputDelegate* delegate, foundation::SerialQueue* queue);

    // From the session (the device's thread): queues the frame for the
    // delegate, or drops it when one is still queued or being handled and
    // late frames are discarded.
    void deliver(const SampleBuffer& sample);

    // Frames handed to the delegate (or found no delegate), and frames dropped.
    uint64_t framesHandled() const { return handled_.load(); }
    uint64_t framesDropped() const { return dropped_.load(); }
    // Blocks until no frame is queued or being handled.
    void waitUntilIdle();

private:
    CaptureVideoDataOutput() = default;
    std::atomic<bool> discardLate_{true};
    std::mutex configMutex_;
    CaptureVideoDataOutputDelegate* delegate_ = nullptr;
    foundation::SerialQueue* queue_ = nullptr;
    std::mutex callbackMutex_;  // held while the delegate handles a frame
    std::mutex idleMutex_;
    std::condition_variable idleCv_;
    int pending_ = 0;
    std::atomic<uint64_t> handled_{0}, dropped_{0};
};

class CaptureSession {
public:
    CaptureSession() = default;
    ~CaptureSession();  // stops running
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    bool canAddInput(const std::shared_ptr<CaptureDevice>& device) const;
    void addInput(std::shared_ptr<CaptureDevice> device);
    void removeInput(const std::shared_ptr<CaptureDevice>& device);
    void addOutput(std::shared_ptr<CaptureVideoDataOutput> output);
    void removeOutput(const std::shared_ptr<CaptureVideoDataOutput>& output);
    std::shared_ptr<CaptureDevice> input() const;

    // Changes between begin and commit count as one (commits are counted).
    void beginConfiguration();
    void commitConfiguration();
    int configurationCommits() const { return commits_.load(); }

    // Presets: the four above; the session starts with High.
    bool canSetSessionPreset(const std::string& preset) const;
    // False, keeping the preset, for one it cannot set.
    bool setSessionPreset(const std::string& preset);
    std::string sessionPreset() const;

    // Every frame the session passes on also goes here (on the device's
    // thread); the preview layer shows them.
    void setPreviewSink(FrameSink sink);

    // Starts the device and posts DidStartRunning; a device that fails to
    // start posts RuntimeError instead. Notifications are posted on the main
    // thread's run loop.
    void startRunning();
    // Stops the device (no frame after this returns) and posts DidStopRunning.
    void stopRunning();
    bool isRunning() const { return running_.load(); }
    bool isInterrupted() const { return interrupted_.load(); }

    // What the system does to a session: another app takes the camera, gives
    // it back, or the device fails. Frames stop while interrupted.
    void interrupt();
    void endInterruption();
    void reportRuntimeError(const std::string& message);

private:
    void deliver(const SampleBuffer& sample);
    void postOnMain(const std::string& name, const std::string& error = "");
    mutable std::mutex mutex_;
    std::shared_ptr<CaptureDevice> device_;
    std::vector<std::shared_ptr<CaptureVideoDataOutput>> outputs_;
    std::atomic<bool> running_{false}, interrupted_{false};
    std::atomic<int> commits_{0};
    int configuring_ = 0;
    std::string preset_ = kCaptureSessionPresetHigh;
    FrameSink previewSink_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace media
