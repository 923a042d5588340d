#pragma once
// Every file the engine opens is found here: a name relative to the bundle
// becomes a full path, preferring the variant made for the running device
// class (a suffix before the extension), and the variant found is reported as
// the resolution type. Suffixes are stripped to form cache keys. Both answers
// are cached; the caches are locked since the texture loader asks from its
// own thread.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace engine2d {

enum GxDeviceClass { kGxDevicePhone = 0, kGxDevicePhoneRetina = 1, kGxDeviceTablet = 2, kGxDeviceTabletRetina = 3 };

enum GxResolutionType {
    kGxResolutionUnknown = 0,
    kGxResolutionPhone = 1,
    kGxResolutionPhoneRetina = 2,
    kGxResolutionTablet = 3,
    kGxResolutionTabletRetina = 4,
};

class GxFileUtils {
public:
    static GxFileUtils& sharedFileUtils();

    void purgeCachedEntries();
    std::string fullPathFromRelativePath(const std::string& relPath, int* resolutionType = nullptr);
    std::string removeSuffixFromFile(const std::string& path);
    // The path of the suffixed variant when it exists.
    std::optional<std::string> getPath(const std::string& path, const std::string& suffix) const;
    // nullopt when the last component does not hold the suffix.
    std::optional<std::string> removeSuffix(const std::string& suffix, const std::string& path) const;
    bool fileExistsAtPath(const std::string& path, const std::string& suffix) const;
    bool iPhoneRetinaDisplayFileExistsAtPath(const std::string& p) const {
        return fileExistsAtPath(p, iPhoneRetinaDisplaySuffix_);
    }
    bool iPadFileExistsAtPath(const std::string& p) const { return fileExistsAtPath(p, iPadSuffix_); }
    bool iPadRetinaDisplayFileExistsAtPath(const std::string& p) const {
        return fileExistsAtPath(p, iPadRetinaDisplaySuffix_);
    }

    // Device class from the tablet flag and the engine's content scale.
    int runningDevice() const;
    // This platform is a phone; tests simulate a tablet.
    void setTablet(bool t) { tablet_ = t; }
    // The folder relative names are looked up in (the app's bundle by default).
    void setBundleDir(const std::string& dir);
    std::string bundleDir() const;

    bool enableFallbackSuffixes() const { return enableFallbackSuffixes_; }
    void setEnableFallbackSuffixes(bool b) { enableFallbackSuffixes_ = b; }
    const std::string& iPhoneRetinaDisplaySuffix() const { return iPhoneRetinaDisplaySuffix_; }
    void setiPhoneRetinaDisplaySuffix(const std::string& s) { iPhoneRetinaDisplaySuffix_ = s; }
    const std::string& iPadSuffix() const { return iPadSuffix_; }
    void setiPadSuffix(const std::string& s) { iPadSuffix_ = s; }
    const std::string& iPadRetinaDisplaySuffix() const { return iPadRetinaDisplaySuffix_; }
    void setiPadRetinaDisplaySuffix(const std::string& s) { iPadRetinaDisplaySuffix_ = s; }

private:
    struct CacheValue {
        std::string fullpath;
        int resolutionType;
    };
    std::optional<std::string> bundleResource(const std::string& relPath) const;

    mutable std::mutex mutex_;
    std::map<std::string, CacheValue> fullPathCache_;
    std::map<std::string, std::string> removeSuffixCache_;
    bool enableFallbackSuffixes_ = false;
    bool tablet_ = false;
    std::string bundleDir_;
    std::string iPhoneRetinaDisplaySuffix_ = "-hd", iPadSuffix_ = "-ipad", iPadRetinaDisplaySuffix_ = "-ipadhd";
};

// Reads the whole file; -1 (and an empty buffer) when it cannot be opened or read.
long gxReadWholeFile(const std::string& path, std::vector<uint8_t>& out);

}  // namespace engine2d
