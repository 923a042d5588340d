#include "lib/engine2d/gles/GxConfiguration.h"

#include <cstdlib>
#include <sstream>

#include "platform/foundation/Resetters.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

namespace {
std::string& systemVersion() {
    static std::string v = "5.0";
    static const bool registered =
        (foundation::registerResetter("engine2d.systemVersion", foundation::ResetPhase::SharedObject,
                                      [] { v = "5.0"; }),
         true);
    (void)registered;
    return v;
}
}  // namespace

void GxConfiguration::setSystemVersion(const std::string& v) { systemVersion() = v; }

unsigned GxConfiguration::packVersion(const std::string& v) {
    unsigned out = 0, weight = 0x1000000;
    std::stringstream ss(v);
    std::string part;
    while (std::getline(ss, part, '.') && weight) {
        out += unsigned(std::atoi(part.c_str())) * weight;
        weight /= 256;
    }
    return out;
}

GxConfiguration& GxConfiguration::sharedConfiguration() {
    static GxConfiguration c;
    return c;
}

GxConfiguration::GxConfiguration() {
    OSVersion_ = packVersion(systemVersion());
    const GLubyte* ext = gl::GetString(GL_EXTENSIONS);
    extensions_ = ext ? reinterpret_cast<const char*>(ext) : "";
    gl::GetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
    gl::GetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &maxTextureUnits_);
    // The sample limit is asked only where multisampling exists, so the
    // query never leaves an error behind on a context without it.
    // ES 3 has multisampled renderbuffers of its own.
    const gl::Context* context = gl::Context::current();
    if (OSVersion_ >= 0x4000000 &&
        ((context && context->esVersion() >= 3) || checkForGLExtension("GL_EXT_multisampled_render_to_texture")))
        gl::GetIntegerv(GL_MAX_SAMPLES_EXT, &maxSamplesAllowed_);
    supportsPVRTC_ = checkForGLExtension("GL_IMG_texture_compression_pvrtc");
    supportsBGRA8888_ = checkForGLExtension("GL_IMG_texture_format_BGRA8888") ||
                        checkForGLExtension("GL_APPLE_texture_format_BGRA8888");
    supportsShareableVAO_ = checkForGLExtension("GL_APPLE_vertex_array_object");
    supportsDiscardFramebuffer_ = checkForGLExtension("GL_EXT_discard_framebuffer");
    while (gl::GetError() != GL_NO_ERROR) {}
}

bool GxConfiguration::checkForGLExtension(const std::string& name) const {
    std::stringstream ss(extensions_);
    std::string word;
    while (ss >> word)
        if (word == name) return true;
    return false;
}

}  // namespace engine2d
