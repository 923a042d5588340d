#pragma once
// OpenGL ES 2 calls go through gl::, which counts every call per function so
// tests can see on a real context which calls were made (the state caches
// exist to skip calls). Counting is one relaxed atomic add.

#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>

#include <cstdint>

namespace gl {

enum class Call : int {
    ActiveTexture,
    AttachShader,
    BindAttribLocation,
    BindBuffer,
    BindFramebuffer,
    BindRenderbuffer,
    BindTexture,
    BlendFunc,
    BlendFuncSeparate,
    BufferData,
    CheckFramebufferStatus,
    Clear,
    ClearColor,
    ClearDepthf,
    CompileShader,
    CreateProgram,
    CreateShader,
    DeleteBuffers,
    DeleteFramebuffers,
    DeleteProgram,
    DeleteRenderbuffers,
    DeleteShader,
    DeleteTextures,
    DepthFunc,
    Disable,
    DisableVertexAttribArray,
    DrawArrays,
    DrawElements,
    Enable,
    EnableVertexAttribArray,
    Finish,
    Flush,
    FramebufferRenderbuffer,
    GenBuffers,
    GenFramebuffers,
    GenRenderbuffers,
    GenTextures,
    GetError,
    GetRenderbufferParameteriv,
    GetUniformLocation,
    LinkProgram,
    ReadPixels,
    RenderbufferStorage,
    ShaderSource,
    Uniform1f,
    Uniform1i,
    Uniform2f,
    Uniform3f,
    Uniform4f,
    Uniform2fv,
    Uniform3fv,
    Uniform4fv,
    UniformMatrix4fv,
    UseProgram,
    VertexAttribPointer,
    Viewport,
    TexImage2D,
    CompressedTexImage2D,
    TexParameteri,
    PixelStorei,
    GenerateMipmap,
    BufferSubData,
    RenderbufferStorageMultisample,
    BlitFramebuffer,
    DiscardFramebuffer,
    Count_
};

void countCall(Call c);
// Calls made since the start or the last resetCallCounts(), on any context.
uint64_t callCount(Call c);
void resetCallCounts();

#define QUENTA_GL_WRAP(Name, Params, Args) \
    inline void Name Params {              \
        countCall(Call::Name);             \
        ::gl##Name Args;                   \
    }
#define QUENTA_GL_WRAP_R(Ret, Name, Params, Args) \
    inline Ret Name Params {                      \
        countCall(Call::Name);                    \
        return ::gl##Name Args;                   \
    }

QUENTA_GL_WRAP(ActiveTexture, (GLenum t), (t))
QUENTA_GL_WRAP(AttachShader, (GLuint p, GLuint s), (p, s))
QUENTA_GL_WRAP(BindAttribLocation, (GLuint p, GLuint i, const GLchar* n), (p, i, n))
QUENTA_GL_WRAP(BindBuffer, (GLenum t, GLuint b), (t, b))
QUENTA_GL_WRAP(BindFramebuffer, (GLenum t, GLuint f), (t, f))
QUENTA_GL_WRAP(BindRenderbuffer, (GLenum t, GLuint r), (t, r))
QUENTA_GL_WRAP(BindTexture, (GLenum t, GLuint x), (t, x))
QUENTA_GL_WRAP(BlendFunc, (GLenum s, GLenum d), (s, d))
QUENTA_GL_WRAP(BlendFuncSeparate, (GLenum s, GLenum d, GLenum sa, GLenum da), (s, d, sa, da))
QUENTA_GL_WRAP(BufferData, (GLenum t, GLsizeiptr n, const void* d, GLenum u), (t, n, d, u))
QUENTA_GL_WRAP_R(GLenum, CheckFramebufferStatus, (GLenum t), (t))
QUENTA_GL_WRAP(Clear, (GLbitfield m), (m))
QUENTA_GL_WRAP(ClearColor, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), (r, g, b, a))
QUENTA_GL_WRAP(ClearDepthf, (GLfloat d), (d))
QUENTA_GL_WRAP(CompileShader, (GLuint s), (s))
QUENTA_GL_WRAP_R(GLuint, CreateProgram, (), ())
QUENTA_GL_WRAP_R(GLuint, CreateShader, (GLenum t), (t))
QUENTA_GL_WRAP(DeleteBuffers, (GLsizei n, const GLuint* b), (n, b))
QUENTA_GL_WRAP(DeleteFramebuffers, (GLsizei n, const GLuint* f), (n, f))
QUENTA_GL_WRAP(DeleteProgram, (GLuint p), (p))
QUENTA_GL_WRAP(DeleteRenderbuffers, (GLsizei n, const GLuint* r), (n, r))
QUENTA_GL_WRAP(DeleteShader, (GLuint s), (s))
QUENTA_GL_WRAP(DeleteTextures, (GLsizei n, const GLuint* t), (n, t))
QUENTA_GL_WRAP(DepthFunc, (GLenum f), (f))
QUENTA_GL_WRAP(Disable, (GLenum c), (c))
QUENTA_GL_WRAP(DisableVertexAttribArray, (GLuint i), (i))
QUENTA_GL_WRAP(DrawArrays, (GLenum m, GLint f, GLsizei n), (m, f, n))
QUENTA_GL_WRAP(DrawElements, (GLenum m, GLsizei n, GLenum t, const void* i), (m, n, t, i))
QUENTA_GL_WRAP(Enable, (GLenum c), (c))
QUENTA_GL_WRAP(EnableVertexAttribArray, (GLuint i), (i))
QUENTA_GL_WRAP(Finish, (), ())
QUENTA_GL_WRAP(Flush, (), ())
QUENTA_GL_WRAP(FramebufferRenderbuffer, (GLenum t, GLenum a, GLenum rt, GLuint r), (t, a, rt, r))
QUENTA_GL_WRAP(GenBuffers, (GLsizei n, GLuint* b), (n, b))
QUENTA_GL_WRAP(GenFramebuffers, (GLsizei n, GLuint* f), (n, f))
QUENTA_GL_WRAP(GenRenderbuffers, (GLsizei n, GLuint* r), (n, r))
QUENTA_GL_WRAP(GenTextures, (GLsizei n, GLuint* t), (n, t))
QUENTA_GL_WRAP_R(GLenum, GetError, (), ())
QUENTA_GL_WRAP(GetRenderbufferParameteriv, (GLenum t, GLenum p, GLint* v), (t, p, v))
QUENTA_GL_WRAP_R(GLint, GetUniformLocation, (GLuint p, const GLchar* n), (p, n))
QUENTA_GL_WRAP(LinkProgram, (GLuint p), (p))
QUENTA_GL_WRAP(ReadPixels, (GLint x, GLint y, GLsizei w, GLsizei h, GLenum f, GLenum t, void* d), (x, y, w, h, f, t, d))
QUENTA_GL_WRAP(RenderbufferStorage, (GLenum t, GLenum f, GLsizei w, GLsizei h), (t, f, w, h))
QUENTA_GL_WRAP(ShaderSource, (GLuint s, GLsizei n, const GLchar* const* src, const GLint* len), (s, n, src, len))
QUENTA_GL_WRAP(Uniform1f, (GLint l, GLfloat a), (l, a))
QUENTA_GL_WRAP(Uniform1i, (GLint l, GLint a), (l, a))
QUENTA_GL_WRAP(Uniform2f, (GLint l, GLfloat a, GLfloat b), (l, a, b))
QUENTA_GL_WRAP(Uniform3f, (GLint l, GLfloat a, GLfloat b, GLfloat c), (l, a, b, c))
QUENTA_GL_WRAP(Uniform4f, (GLint l, GLfloat a, GLfloat b, GLfloat c, GLfloat d), (l, a, b, c, d))
QUENTA_GL_WRAP(Uniform2fv, (GLint l, GLsizei n, const GLfloat* v), (l, n, v))
QUENTA_GL_WRAP(Uniform3fv, (GLint l, GLsizei n, const GLfloat* v), (l, n, v))
QUENTA_GL_WRAP(Uniform4fv, (GLint l, GLsizei n, const GLfloat* v), (l, n, v))
QUENTA_GL_WRAP(UniformMatrix4fv, (GLint l, GLsizei n, GLboolean t, const GLfloat* v), (l, n, t, v))
QUENTA_GL_WRAP(UseProgram, (GLuint p), (p))
QUENTA_GL_WRAP(VertexAttribPointer, (GLuint i, GLint n, GLenum t, GLboolean norm, GLsizei s, const void* p),
               (i, n, t, norm, s, p))
QUENTA_GL_WRAP(Viewport, (GLint x, GLint y, GLsizei w, GLsizei h), (x, y, w, h))
QUENTA_GL_WRAP(TexImage2D,
               (GLenum t, GLint l, GLint ifmt, GLsizei w, GLsizei h, GLint b, GLenum f, GLenum ty, const void* d),
               (t, l, ifmt, w, h, b, f, ty, d))
QUENTA_GL_WRAP(CompressedTexImage2D,
               (GLenum t, GLint l, GLenum ifmt, GLsizei w, GLsizei h, GLint b, GLsizei n, const void* d),
               (t, l, ifmt, w, h, b, n, d))
QUENTA_GL_WRAP(TexParameteri, (GLenum t, GLenum p, GLint v), (t, p, v))
QUENTA_GL_WRAP(PixelStorei, (GLenum p, GLint v), (p, v))
QUENTA_GL_WRAP(GenerateMipmap, (GLenum t), (t))
QUENTA_GL_WRAP(BufferSubData, (GLenum t, GLintptr o, GLsizeiptr n, const void* d), (t, o, n, d))

#undef QUENTA_GL_WRAP
#undef QUENTA_GL_WRAP_R

// ES 3 calls: only on a context made with esVersion 3.
void RenderbufferStorageMultisample(GLenum t, GLsizei samples, GLenum f, GLsizei w, GLsizei h);
void BlitFramebuffer(GLint sx0, GLint sy0, GLint sx1, GLint sy1, GLint dx0, GLint dy0, GLint dx1, GLint dy1,
                     GLbitfield mask, GLenum filter);
// GL_EXT_discard_framebuffer: the attachments' contents may be dropped. Does
// nothing (uncounted) where the context's GL has no such call.
void DiscardFramebuffer(GLenum target, GLsizei count, const GLenum* attachments);
// GL_READ_FRAMEBUFFER and GL_DRAW_FRAMEBUFFER of ES 3, and its GL_MAX_SAMPLES.
constexpr GLenum kReadFramebuffer = 0x8CA8, kDrawFramebuffer = 0x8CA9, kMaxSamples = 0x8D57;

// Queries that tests and set-up make; not counted.
inline void GetIntegerv(GLenum p, GLint* v) { ::glGetIntegerv(p, v); }
inline void GetFloatv(GLenum p, GLfloat* v) { ::glGetFloatv(p, v); }
inline const GLubyte* GetString(GLenum n) { return ::glGetString(n); }
inline void GetShaderiv(GLuint s, GLenum p, GLint* v) { ::glGetShaderiv(s, p, v); }
inline void GetProgramiv(GLuint s, GLenum p, GLint* v) { ::glGetProgramiv(s, p, v); }
inline void GetShaderInfoLog(GLuint s, GLsizei n, GLsizei* l, GLchar* b) { ::glGetShaderInfoLog(s, n, l, b); }
inline void GetProgramInfoLog(GLuint s, GLsizei n, GLsizei* l, GLchar* b) { ::glGetProgramInfoLog(s, n, l, b); }
inline GLint GetAttribLocation(GLuint p, const GLchar* n) { return ::glGetAttribLocation(p, n); }

}  // namespace gl
