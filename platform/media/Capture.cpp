#include "platform/media/Capture.h"

#include <cairo.h>
#include <fcntl.h>
#include <libv4l2.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/foundation/Background.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Image.h"

namespace media {

namespace {

foundation::ErrorRef captureError(CaptureErrorCode code, std::string message) {
    return foundation::Error::make(kCaptureErrorDomain, code, std::move(message));
}

bool endsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    return std::equal(tail.rbegin(), tail.rend(), s.rbegin(),
                      [](char a, char b) { return std::tolower((unsigned char)a) == std::tolower((unsigned char)b); });
}

// Draws the picture into a width x height frame, scaled to fit and centred on
// black; a portrait picture is first turned 90 degrees counter-clockwise.
std::vector<uint8_t> fitPicture(const ui::Image& picture, size_t width, size_t height) {
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(width), int(height));
    cairo_t* cr = cairo_create(target);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    double pw = picture.pixelWidth(), ph = picture.pixelHeight();
    bool turn = ph > pw && width >= height;
    double w = turn ? ph : pw, h = turn ? pw : ph;
    double scale = std::min(double(width) / w, double(height) / h);
    cairo_translate(cr, (double(width) - w * scale) / 2, (double(height) - h * scale) / 2);
    cairo_scale(cr, scale, scale);
    if (turn) {
        // The picture's top edge ends up on the frame's left edge.
        cairo_translate(cr, 0, h);
        cairo_rotate(cr, -M_PI / 2);
    }
    cairo_set_source_surface(cr, picture.surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), scale == 1 ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    std::vector<uint8_t> rgba(width * height * 4);
    const uint8_t* data = cairo_image_surface_get_data(target);
    int stride = cairo_image_surface_get_stride(target);
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x) {
            uint32_t px;
            std::memcpy(&px, data + y * size_t(stride) + x * 4, 4);
            uint8_t* o = rgba.data() + (y * width + x) * 4;
            o[0] = uint8_t(px >> 16), o[1] = uint8_t(px >> 8), o[2] = uint8_t(px), o[3] = 255;
        }
    cairo_surface_destroy(target);
    return rgba;
}

// Frames of a YUV4MPEG2 file with 8-bit 4:2:0 (or grey) frames, at the
// video's own size; empty on a fault, with what is wrong in *error. Every
// frame must be whole and followed by the next FRAME line or the end of the
// file, so a header whose size or colour space does not fit the data, or a
// file cut short, is found out.
std::vector<PixelBufferRef> readY4m(const std::string& path, uint32_t format, foundation::ErrorRef* error) {
    auto fail = [&](const std::string& message) {
        if (error) *error = captureError(kCaptureFeedUnreadable, message);
        return std::vector<PixelBufferRef>{};
    };
    std::ifstream in(path, std::ios::binary);
    std::string header;
    if (!in || !std::getline(in, header) || header.rfind("YUV4MPEG2", 0) != 0)
        return fail("not a YUV4MPEG2 file: " + path);
    size_t w = 0, h = 0;
    std::string chroma = "420";
    std::istringstream fields(header.substr(9));
    std::string f;
    while (fields >> f) {
        if (f[0] == 'W') w = std::strtoul(f.c_str() + 1, nullptr, 10);
        if (f[0] == 'H') h = std::strtoul(f.c_str() + 1, nullptr, 10);
        if (f[0] == 'C') chroma = f.substr(1);
    }
    static const char* const kColourSpaces[] = {"420", "420jpeg", "420paldv", "420mpeg2", "mono"};
    if (std::find(std::begin(kColourSpaces), std::end(kColourSpaces), chroma) == std::end(kColourSpaces))
        return fail("unsupported YUV4MPEG2 stream: colour space C" + chroma +
                    " (8-bit 4:2:0 or mono frames are read): " + path);
    if (w == 0 || h == 0 || w > 8192 || h > 8192)
        return fail("unsupported YUV4MPEG2 stream: frame size " + std::to_string(w) + "x" + std::to_string(h) +
                    " (1 to 8192 pixels a side): " + path);
    bool mono = chroma == "mono";
    size_t cw = (w + 1) / 2, ch = (h + 1) / 2;
    size_t frameBytes = w * h + (mono ? 0 : 2 * cw * ch);
    std::vector<PixelBufferRef> frames;
    std::string tag;
    std::vector<uint8_t> raw(frameBytes);
    while (in.peek() != std::char_traits<char>::eof()) {
        if (!std::getline(in, tag) || tag.rfind("FRAME", 0) != 0)
            return fail("frame " + std::to_string(frames.size() + 1) + " of " + path +
                        " does not start with FRAME: the header's " + std::to_string(w) + "x" + std::to_string(h) +
                        " C" + chroma + " frames of " + std::to_string(frameBytes) + " bytes do not fit the data");
        if (!in.read(reinterpret_cast<char*>(raw.data()), std::streamsize(frameBytes)))
            // A file cut short (a copy that did not finish, say) is damaged:
            // playing what is left would pass a part for the whole.
            return fail("frame " + std::to_string(frames.size() + 1) + " of " + path + " is cut short: " +
                        std::to_string(in.gcount()) + " of its " + std::to_string(frameBytes) + " bytes");
        auto buf = PixelBuffer::createNV12(w, h);
        uint8_t* y = buf->baseAddressOfPlane(0);
        uint8_t* c = buf->baseAddressOfPlane(1);
        std::memcpy(y, raw.data(), w * h);
        if (!mono)
            for (size_t k = 0; k < cw * ch; ++k) {
                c[k * 2] = raw[w * h + k];
                c[k * 2 + 1] = raw[w * h + cw * ch + k];
            }
        if (format == kPixelFormatBGRA) {
            // Rare: a video feed asked for BGRA; convert through RGB.
            std::vector<uint8_t> rgba(w * h * 4);
            for (size_t j = 0; j < h; ++j)
                for (size_t i = 0; i < w; ++i) {
                    int Y = 4769 * (y[j * w + i] - 16);
                    int U = c[(j / 2) * cw * 2 + (i / 2) * 2] - 128, V = c[(j / 2) * cw * 2 + (i / 2) * 2 + 1] - 128;
                    uint8_t* o = rgba.data() + (j * w + i) * 4;
                    o[0] = uint8_t(std::clamp((Y + 6537 * V + 2048) / 4096, 0, 255));
                    o[1] = uint8_t(std::clamp((Y - 1604 * U - 3329 * V + 2048) / 4096, 0, 255));
                    o[2] = uint8_t(std::clamp((Y + 8263 * U + 2048) / 4096, 0, 255));
                    o[3] = 255;
                }
            buf = bgraFromRgba(rgba.data(), w, h);
        }
        frames.push_back(std::move(buf));
    }
    if (frames.empty() && error) *error = captureError(kCaptureFeedUnreadable, "no frame in " + path);
    return frames;
}

}  // namespace

// ---- CaptureDevice ----

std::shared_ptr<CaptureDevice> CaptureDevice::fromConfiguration(const std::string& value) {
    foundation::ErrorRef error;
    if (value.rfind("file:", 0) == 0) {
        std::vector<std::string> paths;
        std::string rest = value.substr(5);
        size_t start = 0;
        while (start <= rest.size()) {
            size_t end = rest.find(':', start);
            if (end == std::string::npos) end = rest.size();
            if (end > start) paths.push_back(rest.substr(start, end - start));
            start = end + 1;
        }
        auto feed = FileFeedDevice::open(paths, FileFeedDevice::Options{}, &error);
        if (!feed) foundation::log("camera: ", error->message);
        return feed;
    }
    if (value.rfind("v4l2:", 0) == 0) {
        auto dev = V4l2Device::open(value.substr(5), &error);
        if (!dev) foundation::log("camera: ", error->message);
        return dev;
    }
    if (value != "none") foundation::log("camera: unknown QUENTA_CAMERA value \"", value, "\"");
    return nullptr;
}

namespace {

std::mutex gStandInMutex;
std::shared_ptr<CaptureDevice> gStandIn;
[[maybe_unused]] const bool gStandInRegistered =
    (foundation::registerResetter("media.defaultDevice", foundation::ResetPhase::Service,
                                  [] { CaptureDevice::setDefaultDevice(nullptr); }),
     true);

}  // namespace

void CaptureDevice::setDefaultDevice(std::shared_ptr<CaptureDevice> device) {
    std::lock_guard<std::mutex> lock(gStandInMutex);
    gStandIn = std::move(device);
}

std::shared_ptr<CaptureDevice> CaptureDevice::defaultDevice() {
    {
        std::lock_guard<std::mutex> lock(gStandInMutex);
        if (gStandIn) return gStandIn;
    }
    if (const char* config = std::getenv("QUENTA_CAMERA"); config && *config) return fromConfiguration(config);
    for (int n = 0; n < 8; ++n) {
        std::string path = "/dev/video" + std::to_string(n);
        if (!std::filesystem::exists(path)) continue;
        if (auto dev = V4l2Device::open(path)) return dev;
    }
    return nullptr;
}

// ---- FileFeedDevice ----

std::shared_ptr<FileFeedDevice> FileFeedDevice::open(const std::vector<std::string>& paths) {
    return open(paths, Options{});
}

std::shared_ptr<FileFeedDevice> FileFeedDevice::open(const std::vector<std::string>& paths, const Options& options,
                                                     foundation::ErrorRef* error) {
    if (options.width == 0 || options.height == 0 || options.width > 8192 || options.height > 8192 ||
        (options.pixelFormat != kPixelFormatNV12VideoRange && options.pixelFormat != kPixelFormatBGRA)) {
        if (error) *error = captureError(kCaptureFormatUnsupported, "unsupported frame size or format");
        return nullptr;
    }
    std::shared_ptr<FileFeedDevice> feed(new FileFeedDevice());
    feed->paths_ = paths;
    feed->options_ = options;
    for (const auto& path : paths) {
        if (endsWith(path, ".y4m")) {
            auto frames = readY4m(path, options.pixelFormat, error);
            if (frames.empty()) return nullptr;
            feed->frames_.insert(feed->frames_.end(), frames.begin(), frames.end());
            continue;
        }
        foundation::ErrorRef why;
        auto picture = ui::Image::fromFile(path, 1, &why);
        if (!picture) {
            if (error)
                *error = captureError(kCaptureFeedUnreadable, "cannot read the picture " + path + ": " + why->message);
            return nullptr;
        }
        auto rgba = fitPicture(*picture, options.width, options.height);
        feed->frames_.push_back(options.pixelFormat == kPixelFormatBGRA
                                    ? bgraFromRgba(rgba.data(), options.width, options.height)
                                    : nv12FromRgba(rgba.data(), options.width, options.height));
    }
    if (feed->frames_.empty()) {
        if (error) *error = captureError(kCaptureFeedUnreadable, "the file feed has no pictures");
        return nullptr;
    }
    return feed;
}

FileFeedDevice::~FileFeedDevice() { stop(); }

std::string FileFeedDevice::uniqueID() const {
    std::string id = "file:";
    for (size_t i = 0; i < paths_.size(); ++i) id += (i ? ":" : "") + paths_[i];
    return id;
}

bool FileFeedDevice::start(FrameSink sink, foundation::ErrorRef*) {
    stop();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sink_ = std::move(sink);
    }
    if (options_.framesPerSecond > 0) {
        std::lock_guard<std::mutex> lock(threadMutex_);
        stopping_ = false;
        thread_ = std::thread([this] {
            foundation::setThreadName("media.capture");
            run();
        });
    }
    return true;
}

void FileFeedDevice::stop() {
    {
        std::lock_guard<std::mutex> lock(threadMutex_);
        stopping_ = true;
    }
    threadCv_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    sink_ = nullptr;
}

bool FileFeedDevice::pushFrame() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!sink_) return false;
    SampleBuffer sample;
    sample.imageBuffer = frames_[next_];
    sample.presentationTime = foundation::clock().monotonic();
    next_ = (next_ + 1) % frames_.size();
    sink_(sample);
    return true;
}

void FileFeedDevice::run() {
    // Paced in real time: the feed stands in for a sensor, which does not
    // follow the injected clock.
    auto period = std::chrono::duration<double>(1.0 / options_.framesPerSecond);
    auto next = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(threadMutex_);
    while (!stopping_) {
        lock.unlock();
        pushFrame();
        lock.lock();
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
        threadCv_.wait_until(lock, next, [this] { return stopping_; });
    }
}

// ---- V4l2Device ----

std::shared_ptr<V4l2Device> V4l2Device::open(const std::string& path, foundation::ErrorRef* error) {
    int fd = v4l2_open(path.c_str(), O_RDWR);
    if (fd < 0) {
        if (error)
            *error = captureError(kCaptureDeviceUnavailable, "cannot open " + path + ": " + std::strerror(errno));
        return nullptr;
    }
    v4l2_capability cap{};
    if (v4l2_ioctl(fd, VIDIOC_QUERYCAP, &cap) < 0 || !(cap.capabilities & V4L2_CAP_VIDEO_CAPTURE)) {
        if (error) *error = captureError(kCaptureDeviceUnavailable, path + " is not a video capture device");
        v4l2_close(fd);
        return nullptr;
    }
    // Planar 4:2:0 is a format libv4l2 can always make from what the camera gives.
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = 640;
    fmt.fmt.pix.height = 480;
    fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_YUV420;
    fmt.fmt.pix.field = V4L2_FIELD_NONE;
    if (v4l2_ioctl(fd, VIDIOC_S_FMT, &fmt) < 0 || fmt.fmt.pix.pixelformat != V4L2_PIX_FMT_YUV420 ||
        fmt.fmt.pix.width == 0 || fmt.fmt.pix.height == 0) {
        if (error) *error = captureError(kCaptureDeviceUnavailable, path + " gives no 4:2:0 frames");
        v4l2_close(fd);
        return nullptr;
    }
    std::shared_ptr<V4l2Device> dev(new V4l2Device());
    dev->path_ = path;
    dev->name_ = reinterpret_cast<const char*>(cap.card);
    dev->fd_ = fd;
    dev->width_ = fmt.fmt.pix.width;
    dev->height_ = fmt.fmt.pix.height;
    dev->bytesPerLine_ = std::max(fmt.fmt.pix.bytesperline, fmt.fmt.pix.width);
    dev->imageSize_ = fmt.fmt.pix.sizeimage;
    return dev;
}

V4l2Device::~V4l2Device() {
    stop();
    if (fd_ >= 0) v4l2_close(fd_);
}

bool V4l2Device::start(FrameSink sink, foundation::ErrorRef* error) {
    stop();
    if (fd_ < 0) {
        if (error) *error = captureError(kCaptureDeviceUnavailable, "the device is closed");
        return false;
    }
    sink_ = std::move(sink);
    stopping_ = false;
    thread_ = std::thread([this] {
        foundation::setThreadName("media.capture");
        run();
    });
    return true;
}

void V4l2Device::stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    sink_ = nullptr;
}

void V4l2Device::run() {
    size_t w = width_, h = height_, stride = bytesPerLine_;
    size_t cw = (w + 1) / 2, ch = (h + 1) / 2, cstride = (stride + 1) / 2;
    size_t need = stride * h + 2 * cstride * ch;
    std::vector<uint8_t> raw(std::max<size_t>(need, imageSize_));
    while (!stopping_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        ssize_t n = v4l2_read(fd_, raw.data(), raw.size());
        if (n < ssize_t(need)) continue;
        auto buf = PixelBuffer::createNV12(w, h);
        uint8_t* y = buf->baseAddressOfPlane(0);
        uint8_t* c = buf->baseAddressOfPlane(1);
        for (size_t j = 0; j < h; ++j) std::memcpy(y + j * w, raw.data() + j * stride, w);
        const uint8_t* u = raw.data() + stride * h;
        const uint8_t* v = u + cstride * ch;
        for (size_t j = 0; j < ch; ++j)
            for (size_t i = 0; i < cw; ++i) {
                c[j * cw * 2 + i * 2] = u[j * cstride + i];
                c[j * cw * 2 + i * 2 + 1] = v[j * cstride + i];
            }
        SampleBuffer sample;
        sample.imageBuffer = std::move(buf);
        sample.presentationTime = foundation::clock().monotonic();
        sink_(sample);
    }
}

// ---- CaptureVideoDataOutput ----

std::shared_ptr<CaptureVideoDataOutput> CaptureVideoDataOutput::create() {
    return std::shared_ptr<CaptureVideoDataOutput>(new CaptureVideoDataOutput());
}

void CaptureVideoDataOutput::setSampleBufferDelegate(CaptureVideoDataOutputDelegate* delegate,
                                                     foundation::SerialQueue* queue) {
    {
        std::lock_guard<std::mutex> lock(configMutex_);
        delegate_ = delegate;
        queue_ = queue;
    }
    // A frame already with the old delegate finishes before this returns.
    std::lock_guard<std::mutex> wait(callbackMutex_);
}

void CaptureVideoDataOutput::deliver(const SampleBuffer& sample) {
    std::lock_guard<std::mutex> lock(configMutex_);
    if (!queue_ || !delegate_) return;
    {
        std::lock_guard<std::mutex> idle(idleMutex_);
        if (pending_ > 0 && discardLate_.load()) {
            dropped_.fetch_add(1);
            return;
        }
        ++pending_;
    }
    queue_->async([self = shared_from_this(), sample] {
        {
            std::lock_guard<std::mutex> busy(self->callbackMutex_);
            CaptureVideoDataOutputDelegate* delegate;
            {
                std::lock_guard<std::mutex> lock(self->configMutex_);
                delegate = self->delegate_;
            }
            if (delegate) delegate->captureOutput(*self, sample);
        }
        self->handled_.fetch_add(1);
        std::lock_guard<std::mutex> idle(self->idleMutex_);
        --self->pending_;
        self->idleCv_.notify_all();
    });
}

void CaptureVideoDataOutput::waitUntilIdle() {
    std::unique_lock<std::mutex> lock(idleMutex_);
    idleCv_.wait(lock, [this] { return pending_ == 0; });
}

// ---- CaptureDevice: configuration ----

bool CaptureDevice::lockForConfiguration(foundation::ErrorRef* error) {
    std::lock_guard<std::mutex> lock(configMutex_);
    if (traits_.refusesLock || locked_) {
        if (error)
            *error = captureError(kCaptureConfigurationRefused, traits_.refusesLock ? "the device refuses configuration"
                                                                                    : "the device is already locked");
        return false;
    }
    locked_ = true;
    return true;
}

void CaptureDevice::unlockForConfiguration() {
    std::lock_guard<std::mutex> lock(configMutex_);
    locked_ = false;
}

bool CaptureDevice::isLockedForConfiguration() const {
    std::lock_guard<std::mutex> lock(configMutex_);
    return locked_;
}

CaptureTorchMode CaptureDevice::torchMode() const {
    std::lock_guard<std::mutex> lock(configMutex_);
    return torch_;
}

CaptureFocusMode CaptureDevice::focusMode() const {
    std::lock_guard<std::mutex> lock(configMutex_);
    return focus_;
}

bool CaptureDevice::setTorchMode(CaptureTorchMode mode) {
    if (!isTorchModeSupported(mode)) return false;
    std::lock_guard<std::mutex> lock(configMutex_);
    if (!locked_) return false;
    torch_ = mode;
    return true;
}

bool CaptureDevice::setFocusMode(CaptureFocusMode mode) {
    if (!isFocusModeSupported(mode)) return false;
    std::lock_guard<std::mutex> lock(configMutex_);
    if (!locked_) return false;
    focus_ = mode;
    return true;
}

std::vector<std::shared_ptr<CaptureDevice>> CaptureDevice::devices() {
    if (auto device = defaultDevice()) return {device};
    return {};
}

// ---- CaptureSession ----

void CaptureSession::beginConfiguration() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++configuring_;
}

void CaptureSession::commitConfiguration() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (configuring_ > 0 && --configuring_ == 0) commits_.fetch_add(1);
}

bool CaptureSession::canSetSessionPreset(const std::string& preset) const {
    return preset == kCaptureSessionPresetHigh || preset == kCaptureSessionPresetMedium ||
           preset == kCaptureSessionPresetLow || preset == kCaptureSessionPreset640x480;
}

bool CaptureSession::setSessionPreset(const std::string& preset) {
    if (!canSetSessionPreset(preset)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    preset_ = preset;
    return true;
}

std::string CaptureSession::sessionPreset() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return preset_;
}

void CaptureSession::setPreviewSink(FrameSink sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    previewSink_ = std::move(sink);
}

CaptureSession::~CaptureSession() {
    if (running_.load()) {
        std::shared_ptr<CaptureDevice> device;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            device = device_;
        }
        if (device) device->stop();
        running_ = false;
    }
}

bool CaptureSession::canAddInput(const std::shared_ptr<CaptureDevice>& device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return device && !device_;
}

void CaptureSession::addInput(std::shared_ptr<CaptureDevice> device) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!device || device_) return;
        device_ = device;
    }
    // A camera added to a running session starts at once.
    foundation::ErrorRef error;
    if (running_.load() && !device->start([this](const SampleBuffer& s) { deliver(s); }, &error))
        postOnMain(kCaptureSessionRuntimeError, error ? error->message : std::string());
}

void CaptureSession::removeInput(const std::shared_ptr<CaptureDevice>& device) {
    std::shared_ptr<CaptureDevice> stopping;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (device_ != device) return;
        stopping = std::move(device_);
        device_.reset();
    }
    if (running_.load()) stopping->stop();
}

void CaptureSession::addOutput(std::shared_ptr<CaptureVideoDataOutput> output) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (output && std::find(outputs_.begin(), outputs_.end(), output) == outputs_.end())
        outputs_.push_back(std::move(output));
}

void CaptureSession::removeOutput(const std::shared_ptr<CaptureVideoDataOutput>& output) {
    std::lock_guard<std::mutex> lock(mutex_);
    outputs_.erase(std::remove(outputs_.begin(), outputs_.end(), output), outputs_.end());
}

std::shared_ptr<CaptureDevice> CaptureSession::input() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return device_;
}

void CaptureSession::deliver(const SampleBuffer& sample) {
    if (interrupted_.load()) return;
    std::vector<std::shared_ptr<CaptureVideoDataOutput>> outputs;
    FrameSink preview;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        outputs = outputs_;
        preview = previewSink_;
    }
    for (auto& output : outputs) output->deliver(sample);
    if (preview) preview(sample);
}

void CaptureSession::postOnMain(const std::string& name, const std::string& error) {
    std::weak_ptr<int> alive = alive_;
    foundation::postToMain([alive, name, error, self = this] {
        if (alive.expired()) return;
        foundation::Value info;
        if (!error.empty()) info = foundation::Dictionary{{kCaptureSessionErrorKey, error}};
        foundation::NotificationCenter::defaultCenter().post(name, self, info);
    });
}

void CaptureSession::startRunning() {
    if (running_.exchange(true)) return;
    auto device = input();
    foundation::ErrorRef error = captureError(kCaptureDeviceUnavailable, "the session has no camera");
    if (device && device->start([this](const SampleBuffer& s) { deliver(s); }, &error)) {
        postOnMain(kCaptureSessionDidStartRunning);
        return;
    }
    running_ = false;
    postOnMain(kCaptureSessionRuntimeError, error->message);
}

void CaptureSession::stopRunning() {
    if (!running_.exchange(false)) return;
    if (auto device = input()) device->stop();
    postOnMain(kCaptureSessionDidStopRunning);
}

void CaptureSession::interrupt() {
    if (interrupted_.exchange(true)) return;
    postOnMain(kCaptureSessionWasInterrupted);
}

void CaptureSession::endInterruption() {
    if (!interrupted_.exchange(false)) return;
    postOnMain(kCaptureSessionInterruptionEnded);
}

void CaptureSession::reportRuntimeError(const std::string& message) {
    postOnMain(kCaptureSessionRuntimeError, message);
}

}  // namespace media
