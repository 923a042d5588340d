#pragma once
// A GL program: two stages compiled from source, the engine's fixed
// attribute slots bound, linked, the two standard uniforms looked up, and a
// cache of the last value sent to each uniform so unchanged values are not
// sent again. The shader cache holds the built-in programs by key.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace engine2d {

extern const char* const kGxShaderPositionTextureColor;
extern const char* const kGxShaderPositionTextureColorAlphaTest;
extern const char* const kGxShaderPositionColor;
extern const char* const kGxShaderPositionTexture;
extern const char* const kGxShaderPositionTexture_uColor;
extern const char* const kGxShaderPositionTextureA8Color;
extern const char* const kGxShaderPosition_uColor;

extern const char* const kGxAttributeNamePosition;  // "a_position"
extern const char* const kGxAttributeNameColor;     // "a_color"
extern const char* const kGxAttributeNameTexCoord;  // "a_texCoord"

class GxGLProgram {
public:
    // Either source may be null (that stage is left out). Needs a current context.
    GxGLProgram(const char* vertexSource, const char* fragmentSource);
    static std::shared_ptr<GxGLProgram> fromFiles(const std::string& vertexPath, const std::string& fragmentPath);
    ~GxGLProgram();
    GxGLProgram(const GxGLProgram&) = delete;
    GxGLProgram& operator=(const GxGLProgram&) = delete;

    void addAttribute(const char* name, unsigned index);
    // Links and drops the shader objects; answers whether the link worked.
    bool link();
    void updateUniforms();
    void use();
    // Sends projection x model-view of the matrix stacks.
    void setUniformForModelViewProjectionMatrix();

    void setUniformLocationI1(int location, int i1);
    void setUniformLocationF1(int location, float f1);
    void setUniformLocationF2(int location, float f1, float f2);
    void setUniformLocationF3(int location, float f1, float f2, float f3);
    void setUniformLocationF4(int location, float f1, float f2, float f3, float f4);
    void setUniformLocation2fv(int location, const float* v, unsigned count);
    void setUniformLocation3fv(int location, const float* v, unsigned count);
    void setUniformLocation4fv(int location, const float* v, unsigned count);
    void setUniformLocationMatrix4fv(int location, const float* m, unsigned count);
    // Whether the value differs from the last one sent to the location (and
    // remembers it). A value of another size than before counts as changed.
    bool updateUniformLocation(int location, const void* data, size_t size);

    std::string vertexShaderLog() const;
    std::string fragmentShaderLog() const;
    std::string programLog() const;
    unsigned program() const { return program_; }
    int uniformMVPMatrix() const { return uniforms_[0]; }
    int uniformSampler() const { return uniforms_[1]; }
    bool vertexCompiled() const { return vertCompiled_; }
    bool fragmentCompiled() const { return fragCompiled_; }
    std::string description() const;

private:
    bool compileShader(unsigned* shader, unsigned type, const char* source);
    unsigned program_ = 0, vertShader_ = 0, fragShader_ = 0;
    bool vertCompiled_ = false, fragCompiled_ = false;
    int uniforms_[2] = {-1, -1};
    std::map<int, std::vector<unsigned char>> hashForUniforms_;
    std::string vertLog_, fragLog_;
    std::weak_ptr<void> context_;  // the program is deleted in its own context
};

class GxShaderCache {
public:
    // Made on first use with the built-in programs; needs a current context.
    static GxShaderCache& sharedShaderCache();
    static void purgeSharedShaderCache();
    std::shared_ptr<GxGLProgram> programForKey(const std::string& key) const;
    void addProgram(std::shared_ptr<GxGLProgram> program, const std::string& key);
    void loadDefaultShaders();

private:
    std::map<std::string, std::shared_ptr<GxGLProgram>> programs_;
};

}  // namespace engine2d
