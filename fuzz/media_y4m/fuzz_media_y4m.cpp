// The camera's video-file feed on random bytes: the input is written as a
// .y4m file and opened. Every frame it gives must be a whole frame of the
// size its header named, in either pixel format.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/foundation/Log.h"
#include "platform/media/Capture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = [] {
        foundation::setLogSink([](const std::string&) {});
        return "/tmp/fuzz-media-y4m-" + std::to_string(::getpid()) + ".y4m";
    }();
    if (size < 1) return 0;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 0;
    std::fwrite(data + 1, 1, size - 1, out);
    std::fclose(out);
    media::FileFeedDevice::Options options;
    options.framesPerSecond = 0;
    options.pixelFormat = data[0] & 1 ? media::kPixelFormatBGRA : media::kPixelFormatNV12VideoRange;
    foundation::ErrorRef error;
    auto feed = media::FileFeedDevice::open({path}, options, &error);
    if (!feed) {
        if (!error || error->message.empty()) __builtin_trap();  // a refusal always says why
        return 0;
    }
    if (feed->frameCount() == 0) __builtin_trap();
    size_t w = feed->frame(0)->width(), h = feed->frame(0)->height();
    for (size_t i = 0; i < feed->frameCount(); ++i) {
        const auto& frame = feed->frame(i);
        if (frame->width() != w || frame->height() != h || w == 0 || h == 0 || w > 8192 || h > 8192) __builtin_trap();
        if (frame->bytesPerRowOfPlane(0) * frame->heightOfPlane(0) == 0) __builtin_trap();
    }
    return 0;
}
