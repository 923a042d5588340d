#pragma once
// The camera picture in a layer: the frames a session passes on, turned
// upright for a phone held in portrait (a sensor sees the scene on its side)
// and shown as the layer's contents, scaled by the video gravity. The newest
// frame wins: while one waits for the main thread, later ones replace it.

#include <memory>
#include <mutex>

#include "platform/media/Capture.h"
#include "platform/ui/Layer.h"

namespace media {

// A camera frame as an upright portrait picture (the sensor's rows turned a
// quarter clockwise); null for a frame that cannot be read.
ui::ImageRef uprightPicture(const PixelBuffer& frame);

enum class VideoGravity { ResizeAspect, ResizeAspectFill, Resize };

class CaptureVideoPreviewLayer : public ui::Layer {
public:
    // The session must outlive the layer, or the layer be detached first.
    static std::shared_ptr<CaptureVideoPreviewLayer> layerWithSession(CaptureSession* session);
    ~CaptureVideoPreviewLayer() override;

    CaptureSession* session() const { return session_; }
    // Stops showing the session's frames.
    void detach();
    VideoGravity videoGravity() const { return gravity_; }
    void setVideoGravity(VideoGravity gravity);
    // Frames shown so far.
    int framesShown() const { return shown_; }

private:
    CaptureVideoPreviewLayer() = default;
    void frameArrived(const SampleBuffer& sample);
    void showLatest();

    CaptureSession* session_ = nullptr;
    VideoGravity gravity_ = VideoGravity::ResizeAspect;
    std::mutex mutex_;
    ui::ImageRef latest_;
    bool posted_ = false;
    int shown_ = 0;
};

}  // namespace media
