#include "lib/engine2d/gles/GxGLProgram.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/mathlib/MatrixStack.h"
#include "platform/foundation/Resetters.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"

namespace engine2d {

const char* const kGxShaderPositionTextureColor = "ShaderPositionTextureColor";
const char* const kGxShaderPositionTextureColorAlphaTest = "ShaderPositionTextureColorAlphaTest";
const char* const kGxShaderPositionColor = "ShaderPositionColor";
const char* const kGxShaderPositionTexture = "ShaderPositionTexture";
const char* const kGxShaderPositionTexture_uColor = "ShaderPositionTexture_uColor";
const char* const kGxShaderPositionTextureA8Color = "ShaderPositionTextureA8Color";
const char* const kGxShaderPosition_uColor = "ShaderPosition_uColor";
const char* const kGxAttributeNamePosition = "a_position";
const char* const kGxAttributeNameColor = "a_color";
const char* const kGxAttributeNameTexCoord = "a_texCoord";

namespace {

// Positions are vec4 so drawers may pass two or three floats (z 0, w 1).
const char* kVertPTC = R"(
attribute vec4 a_position;
attribute vec2 a_texCoord;
attribute vec4 a_color;
uniform mat4 u_MVPMatrix;
varying lowp vec4 v_fragmentColor;
varying mediump vec2 v_texCoord;
void main() {
    gl_Position = u_MVPMatrix * a_position;
    v_fragmentColor = a_color;
    v_texCoord = a_texCoord;
})";
const char* kFragPTC = R"(
precision lowp float;
varying vec4 v_fragmentColor;
varying mediump vec2 v_texCoord;
uniform sampler2D u_texture;
void main() {
    gl_FragColor = v_fragmentColor * texture2D(u_texture, v_texCoord);
})";
const char* kFragAlphaTest = R"(
precision lowp float;
varying vec4 v_fragmentColor;
varying mediump vec2 v_texCoord;
uniform sampler2D u_texture;
uniform float u_alpha_value;
void main() {
    vec4 texColor = texture2D(u_texture, v_texCoord);
    if (texColor.a <= u_alpha_value) discard;
    gl_FragColor = texColor * v_fragmentColor;
})";
const char* kFragA8 = R"(
precision lowp float;
varying vec4 v_fragmentColor;
varying mediump vec2 v_texCoord;
uniform sampler2D u_texture;
void main() {
    gl_FragColor = vec4(v_fragmentColor.rgb, v_fragmentColor.a * texture2D(u_texture, v_texCoord).a);
})";
const char* kVertPC = R"(
attribute vec4 a_position;
attribute vec4 a_color;
uniform mat4 u_MVPMatrix;
varying lowp vec4 v_fragmentColor;
void main() {
    gl_Position = u_MVPMatrix * a_position;
    v_fragmentColor = a_color;
})";
const char* kFragPC = R"(
precision lowp float;
varying vec4 v_fragmentColor;
void main() {
    gl_FragColor = v_fragmentColor;
})";
const char* kVertPT = R"(
attribute vec4 a_position;
attribute vec2 a_texCoord;
uniform mat4 u_MVPMatrix;
varying mediump vec2 v_texCoord;
void main() {
    gl_Position = u_MVPMatrix * a_position;
    v_texCoord = a_texCoord;
})";
const char* kFragPT = R"(
precision lowp float;
varying mediump vec2 v_texCoord;
uniform sampler2D u_texture;
void main() {
    gl_FragColor = texture2D(u_texture, v_texCoord);
})";
const char* kFragPTuColor = R"(
precision lowp float;
varying mediump vec2 v_texCoord;
uniform sampler2D u_texture;
uniform vec4 u_color;
void main() {
    gl_FragColor = texture2D(u_texture, v_texCoord) * u_color;
})";
const char* kVertPuColor = R"(
attribute vec4 a_position;
uniform mat4 u_MVPMatrix;
uniform float u_pointSize;
uniform lowp vec4 u_color;
varying lowp vec4 v_fragmentColor;
void main() {
    gl_Position = u_MVPMatrix * a_position;
    gl_PointSize = u_pointSize;
    v_fragmentColor = u_color;
})";

std::string infoLog(unsigned object, bool isProgram) {
    GLint length = 0;
    if (isProgram)
        gl::GetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else
        gl::GetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    if (length < 1) return {};
    std::string log(size_t(length), '\0');
    if (isProgram)
        gl::GetProgramInfoLog(object, length, nullptr, log.data());
    else
        gl::GetShaderInfoLog(object, length, nullptr, log.data());
    log.resize(std::strlen(log.c_str()));
    return log;
}

std::unique_ptr<GxShaderCache>& sharedCache() {
    static std::unique_ptr<GxShaderCache> cache;
    return cache;
}

}  // namespace

GxGLProgram::GxGLProgram(const char* vertexSource, const char* fragmentSource) {
    if (gl::Context* c = gl::Context::current()) context_ = c->shared_from_this();
    program_ = gl::CreateProgram();
    if (vertexSource) vertCompiled_ = compileShader(&vertShader_, GL_VERTEX_SHADER, vertexSource);
    if (fragmentSource) fragCompiled_ = compileShader(&fragShader_, GL_FRAGMENT_SHADER, fragmentSource);
    if (vertShader_) gl::AttachShader(program_, vertShader_);
    if (fragShader_) gl::AttachShader(program_, fragShader_);
}

std::shared_ptr<GxGLProgram> GxGLProgram::fromFiles(const std::string& vertexPath, const std::string& fragmentPath) {
    auto read = [](const std::string& p, std::string& out) {
        std::ifstream in(p, std::ios::binary);
        if (!in) return false;
        std::stringstream ss;
        ss << in.rdbuf();
        out = ss.str();
        return true;
    };
    std::string v, f;
    if (!read(vertexPath, v) || !read(fragmentPath, f)) return nullptr;
    return std::make_shared<GxGLProgram>(v.c_str(), f.c_str());
}

GxGLProgram::~GxGLProgram() {
    // A program outliving its context went with it; one whose context is
    // not current is deleted there, not in whatever context is current.
    auto owner = std::static_pointer_cast<gl::Context>(context_.lock());
    if (!owner) return;
    gl::Context* previous = gl::Context::current();
    if (previous != owner.get()) owner->makeCurrent();
    if (program_) gxGLCacheDeleteProgram(program_);
    if (vertShader_) gl::DeleteShader(vertShader_);
    if (fragShader_) gl::DeleteShader(fragShader_);
    if (previous && previous != owner.get()) previous->makeCurrent();
}

bool GxGLProgram::compileShader(unsigned* shader, unsigned type, const char* source) {
    if (!source) return false;
    *shader = gl::CreateShader(type);
    gl::ShaderSource(*shader, 1, &source, nullptr);
    gl::CompileShader(*shader);
    GLint status = 0;
    gl::GetShaderiv(*shader, GL_COMPILE_STATUS, &status);
    (type == GL_VERTEX_SHADER ? vertLog_ : fragLog_) = infoLog(*shader, false);
    return status == 1;
}

void GxGLProgram::addAttribute(const char* name, unsigned index) { gl::BindAttribLocation(program_, index, name); }

bool GxGLProgram::link() {
    gl::LinkProgram(program_);
    if (vertShader_) gl::DeleteShader(vertShader_);
    if (fragShader_) gl::DeleteShader(fragShader_);
    vertShader_ = fragShader_ = 0;
    GLint status = 0;
    gl::GetProgramiv(program_, GL_LINK_STATUS, &status);
    return status == 1;
}

void GxGLProgram::updateUniforms() {
    uniforms_[0] = gl::GetUniformLocation(program_, "u_MVPMatrix");
    uniforms_[1] = gl::GetUniformLocation(program_, "u_texture");
    use();
    setUniformLocationI1(uniforms_[1], 0);
}

void GxGLProgram::use() { gxGLCacheUseProgram(program_); }

void GxGLProgram::setUniformForModelViewProjectionMatrix() {
    mxMat4 projection, modelview, mvp;
    mxGLCopyTop(MX_GL_PROJECTION, &projection);
    mxGLCopyTop(MX_GL_MODELVIEW, &modelview);
    mxMat4Product(&mvp, &projection, &modelview);
    setUniformLocationMatrix4fv(uniforms_[0], mvp.mat, 1);
}

bool GxGLProgram::updateUniformLocation(int location, const void* data, size_t size) {
    auto bytes = static_cast<const unsigned char*>(data);
    auto it = hashForUniforms_.find(location);
    if (it == hashForUniforms_.end()) {
        hashForUniforms_.emplace(location, std::vector<unsigned char>(bytes, bytes + size));
        return true;
    }
    auto& stored = it->second;
    if (stored.size() == size && std::memcmp(stored.data(), bytes, size) == 0) return false;
    stored.assign(bytes, bytes + size);
    return true;
}

void GxGLProgram::setUniformLocationI1(int l, int i1) {
    if (updateUniformLocation(l, &i1, sizeof i1)) gl::Uniform1i(l, i1);
}
void GxGLProgram::setUniformLocationF1(int l, float f1) {
    if (updateUniformLocation(l, &f1, sizeof f1)) gl::Uniform1f(l, f1);
}
void GxGLProgram::setUniformLocationF2(int l, float f1, float f2) {
    float v[2] = {f1, f2};
    if (updateUniformLocation(l, v, sizeof v)) gl::Uniform2f(l, f1, f2);
}
void GxGLProgram::setUniformLocationF3(int l, float f1, float f2, float f3) {
    float v[3] = {f1, f2, f3};
    if (updateUniformLocation(l, v, sizeof v)) gl::Uniform3f(l, f1, f2, f3);
}
void GxGLProgram::setUniformLocationF4(int l, float f1, float f2, float f3, float f4) {
    float v[4] = {f1, f2, f3, f4};
    if (updateUniformLocation(l, v, sizeof v)) gl::Uniform4f(l, f1, f2, f3, f4);
}
void GxGLProgram::setUniformLocation2fv(int l, const float* v, unsigned n) {
    if (updateUniformLocation(l, v, sizeof(float) * 2 * n)) gl::Uniform2fv(l, GLsizei(n), v);
}
void GxGLProgram::setUniformLocation3fv(int l, const float* v, unsigned n) {
    if (updateUniformLocation(l, v, sizeof(float) * 3 * n)) gl::Uniform3fv(l, GLsizei(n), v);
}
void GxGLProgram::setUniformLocation4fv(int l, const float* v, unsigned n) {
    if (updateUniformLocation(l, v, sizeof(float) * 4 * n)) gl::Uniform4fv(l, GLsizei(n), v);
}
void GxGLProgram::setUniformLocationMatrix4fv(int l, const float* m, unsigned n) {
    if (updateUniformLocation(l, m, sizeof(float) * 16 * n)) gl::UniformMatrix4fv(l, GLsizei(n), GL_FALSE, m);
}

std::string GxGLProgram::vertexShaderLog() const { return vertLog_; }
std::string GxGLProgram::fragmentShaderLog() const { return fragLog_; }
std::string GxGLProgram::programLog() const { return infoLog(program_, true); }

std::string GxGLProgram::description() const {
    char buf[128];
    std::snprintf(buf, sizeof buf, "<GxGLProgram = %p | Program = %i, VertexShader = %i, FragmentShader = %i>",
                  static_cast<const void*>(this), int(program_), int(vertShader_), int(fragShader_));
    return buf;
}

GxShaderCache& GxShaderCache::sharedShaderCache() {
    auto& c = sharedCache();
    if (!c) {
        c = std::make_unique<GxShaderCache>();
        c->loadDefaultShaders();
        foundation::registerResetter("engine2d.shaders", foundation::ResetPhase::Cache,
                                     [] { purgeSharedShaderCache(); });
    }
    return *c;
}

void GxShaderCache::purgeSharedShaderCache() { sharedCache().reset(); }

std::shared_ptr<GxGLProgram> GxShaderCache::programForKey(const std::string& key) const {
    auto it = programs_.find(key);
    return it == programs_.end() ? nullptr : it->second;
}

void GxShaderCache::addProgram(std::shared_ptr<GxGLProgram> program, const std::string& key) {
    programs_[key] = std::move(program);
}

void GxShaderCache::loadDefaultShaders() {
    struct Def {
        const char* key;
        const char* vert;
        const char* frag;
        bool color, tex;
    };
    const Def defs[] = {
        {kGxShaderPositionTextureColor, kVertPTC, kFragPTC, true, true},
        {kGxShaderPositionTextureColorAlphaTest, kVertPTC, kFragAlphaTest, true, true},
        {kGxShaderPositionColor, kVertPC, kFragPC, true, false},
        {kGxShaderPositionTexture, kVertPT, kFragPT, false, true},
        {kGxShaderPositionTexture_uColor, kVertPT, kFragPTuColor, false, true},
        {kGxShaderPositionTextureA8Color, kVertPTC, kFragA8, true, true},
        {kGxShaderPosition_uColor, kVertPuColor, kFragPC, false, false},
    };
    for (const auto& d : defs) {
        auto p = std::make_shared<GxGLProgram>(d.vert, d.frag);
        p->addAttribute(kGxAttributeNamePosition, kGxVertexAttribPosition);
        if (d.color) p->addAttribute(kGxAttributeNameColor, kGxVertexAttribColor);
        if (d.tex) p->addAttribute(kGxAttributeNameTexCoord, kGxVertexAttribTexCoords);
        p->link();
        p->updateUniforms();
        programs_[d.key] = std::move(p);
    }
}

}  // namespace engine2d
