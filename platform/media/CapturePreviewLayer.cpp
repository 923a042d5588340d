#include "platform/media/CapturePreviewLayer.h"

#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Image.h"

namespace media {

namespace {}  // namespace

ui::ImageRef uprightPicture(const PixelBuffer& frame) {
    size_t w = frame.width(), h = frame.height();
    std::vector<uint8_t> rgb;
    if (frame.pixelFormatType() == kPixelFormatNV12VideoRange) {
        if (!rgbFromNV12(frame, rgb)) return nullptr;
    } else if (frame.pixelFormatType() == kPixelFormatBGRA) {
        const uint8_t* base = frame.baseAddressOfPlane(0);
        size_t row = frame.bytesPerRowOfPlane(0);
        if (!base || w == 0 || h == 0 || row < w * 4 || frame.dataSizeOfPlane(0) / row < h) return nullptr;
        rgb.resize(w * h * 3);
        for (size_t y = 0; y < h; ++y)
            for (size_t x = 0; x < w; ++x) {
                const uint8_t* p = base + y * row + x * 4;
                uint8_t* q = rgb.data() + (y * w + x) * 3;
                q[0] = p[2], q[1] = p[1], q[2] = p[0];
            }
    } else {
        return nullptr;
    }
    // Turned: the picture is h wide and w high; sensor pixel (x, y) lands at
    // (h - 1 - y, x).
    std::vector<uint8_t> rgba(w * h * 4);
    for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x) {
            const uint8_t* p = rgb.data() + (y * w + x) * 3;
            uint8_t* q = rgba.data() + (x * h + (h - 1 - y)) * 4;
            q[0] = p[0], q[1] = p[1], q[2] = p[2], q[3] = 255;
        }
    return ui::Image::fromRgba(int(h), int(w), rgba.data());
}

namespace {

ui::ContentsGravity gravityOfContents(VideoGravity g) {
    switch (g) {
        case VideoGravity::ResizeAspectFill:
            return ui::ContentsGravity::ResizeAspectFill;
        case VideoGravity::Resize:
            return ui::ContentsGravity::Resize;
        case VideoGravity::ResizeAspect:
            break;
    }
    return ui::ContentsGravity::ResizeAspect;
}

}  // namespace

std::shared_ptr<CaptureVideoPreviewLayer> CaptureVideoPreviewLayer::layerWithSession(CaptureSession* session) {
    auto layer = std::shared_ptr<CaptureVideoPreviewLayer>(new CaptureVideoPreviewLayer());
    layer->session_ = session;
    layer->setContentsGravity(gravityOfContents(layer->gravity_));
    layer->setMasksToBounds(true);
    if (session) {
        std::weak_ptr<CaptureVideoPreviewLayer> weak = layer;
        session->setPreviewSink([weak](const SampleBuffer& sample) {
            if (auto self = weak.lock()) self->frameArrived(sample);
        });
    }
    return layer;
}

CaptureVideoPreviewLayer::~CaptureVideoPreviewLayer() { detach(); }

void CaptureVideoPreviewLayer::detach() {
    if (session_) session_->setPreviewSink(nullptr);
    session_ = nullptr;
}

void CaptureVideoPreviewLayer::setVideoGravity(VideoGravity gravity) {
    gravity_ = gravity;
    setContentsGravity(gravityOfContents(gravity));
}

void CaptureVideoPreviewLayer::frameArrived(const SampleBuffer& sample) {
    if (!sample.valid || !sample.imageBuffer) return;
    sample.imageBuffer->lockBaseAddress(true);
    ui::ImageRef picture = uprightPicture(*sample.imageBuffer);
    sample.imageBuffer->unlockBaseAddress();
    if (!picture) return;
    std::lock_guard<std::mutex> lock(mutex_);
    latest_ = std::move(picture);
    if (posted_) return;
    posted_ = true;
    std::weak_ptr<CaptureVideoPreviewLayer> weak =
        std::static_pointer_cast<CaptureVideoPreviewLayer>(shared_from_this());
    foundation::postToMain([weak] {
        if (auto self = weak.lock()) self->showLatest();
    });
}

void CaptureVideoPreviewLayer::showLatest() {
    ui::ImageRef picture;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        picture = std::move(latest_);
        posted_ = false;
    }
    if (!picture) return;
    setContents(std::move(picture));
    ++shown_;
}

}  // namespace media
