#pragma once
// A GL context (Mesa surfaceless) made once for a fuzz target, and a private
// folder for the files a target writes its input into. Targets that draw or
// upload skip those steps where no context can be had.
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "lib/engine2d/gles/GxGLStateCache.h"
#include "platform/gl/Context.h"

namespace fuzzsupport {

inline std::shared_ptr<gl::Context>& context() {
    static std::shared_ptr<gl::Context> c;
    return c;
}

inline bool startGL() {
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    if (!gl::Context::available()) return false;
    context() = gl::Context::create();
    if (!context() || !context()->makeCurrent()) {
        context().reset();
        return false;
    }
    engine2d::gxGLCacheReset();
    return true;
}

inline bool haveGL() { return context() != nullptr; }

// A folder of this process's own (removed by the system's temp cleaning).
inline const std::string& folder() {
    static std::string dir = [] {
        std::string d = "/tmp/quenta-fuzz-XXXXXX";
        return mkdtemp(d.data()) ? d : std::string("/tmp");
    }();
    return dir;
}

inline std::string writeFile(const std::string& name, const uint8_t* data, size_t size) {
    std::string path = folder() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), long(size));
    return path;
}

}  // namespace fuzzsupport
