#pragma once
// What the GL implementation and the system offer, probed once with a
// current context.

#include <string>

namespace engine2d {

class GxConfiguration {
public:
    static GxConfiguration& sharedConfiguration();
    // The system version the device reports (configurable; tests set it).
    static void setSystemVersion(const std::string& v);
    static unsigned packVersion(const std::string& v);

    bool checkForGLExtension(const std::string& name) const;
    int maxTextureSize() const { return maxTextureSize_; }
    int maxTextureUnits() const { return maxTextureUnits_; }
    int maxModelviewStackDepth() const { return 0; }
    int maxSamplesAllowed() const { return maxSamplesAllowed_; }
    bool supportsPVRTC() const { return supportsPVRTC_; }
    bool supportsNPOT() const { return supportsNPOT_; }
    bool supportsBGRA8888() const { return supportsBGRA8888_; }
    bool supportsDiscardFramebuffer() const { return supportsDiscardFramebuffer_; }
    bool supportsShareableVAO() const { return supportsShareableVAO_; }
    unsigned OSVersion() const { return OSVersion_; }
    // Every GL here takes any texture size; tests simulate a device that
    // needs powers of two, and another system version.
    void setSupportsNPOT(bool b) { supportsNPOT_ = b; }
    void setOSVersion(unsigned v) { OSVersion_ = v; }
    // And a device whose GL reports another maximum texture size.
    void setMaxTextureSize(int s) { maxTextureSize_ = s; }

private:
    GxConfiguration();
    std::string extensions_;
    int maxTextureSize_ = 0, maxTextureUnits_ = 0, maxSamplesAllowed_ = 0;
    bool supportsPVRTC_ = false, supportsBGRA8888_ = false, supportsDiscardFramebuffer_ = false,
         supportsShareableVAO_ = false, supportsNPOT_ = true;
    unsigned OSVersion_ = 0;
};

}  // namespace engine2d
