#include "lib/engine2d/files/GxFileUtils.h"

#include <sys/stat.h>

#include <cstdio>

#include "lib/engine2d/nodes/GxEnvironment.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"

namespace engine2d {

namespace {

std::string lastComponent(const std::string& p) {
    auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string directoryPart(const std::string& p) {
    auto slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

// Splits the last component's extension off ("a/b.png" -> "a/b", "png").
void splitExtension(const std::string& p, std::string& base, std::string& ext) {
    auto slash = p.rfind('/');
    auto dot = p.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1)) {
        base = p;
        ext.clear();
        return;
    }
    base = p.substr(0, dot);
    ext = p.substr(dot + 1);
}

}  // namespace

GxFileUtils& GxFileUtils::sharedFileUtils() {
    static GxFileUtils instance;
    static const bool registered = (foundation::registerResetter("engine2d.fileUtils", foundation::ResetPhase::Cache,
                                                                 [] {
                                                                     instance.setTablet(false);
                                                                     instance.setEnableFallbackSuffixes(false);
                                                                     instance.setiPhoneRetinaDisplaySuffix("-hd");
                                                                     instance.setiPadSuffix("-ipad");
                                                                     instance.setiPadRetinaDisplaySuffix("-ipadhd");
                                                                     instance.setBundleDir("");
                                                                     instance.purgeCachedEntries();
                                                                 }),
                                    true);
    (void)registered;
    return instance;
}

void GxFileUtils::purgeCachedEntries() {
    std::lock_guard<std::mutex> lock(mutex_);
    fullPathCache_.clear();
    removeSuffixCache_.clear();
}

void GxFileUtils::setBundleDir(const std::string& dir) {
    std::lock_guard<std::mutex> lock(mutex_);
    bundleDir_ = dir;
    fullPathCache_.clear();
}

std::string GxFileUtils::bundleDir() const { return bundleDir_.empty() ? foundation::bundleDir() : bundleDir_; }

int GxFileUtils::runningDevice() const {
    bool retina = GxEnvironment::shared().contentScaleFactor == 2;
    if (tablet_) return retina ? kGxDeviceTabletRetina : kGxDeviceTablet;
    return retina ? kGxDevicePhoneRetina : kGxDevicePhone;
}

std::optional<std::string> GxFileUtils::bundleResource(const std::string& relPath) const {
    std::string dir = bundleDir();
    std::string full = foundation::joinPath(dir, relPath);
    if (foundation::fileExists(full) && !foundation::isDirectory(full)) return full;
    // A bare name may live in one of the bundle's folders (images/, ...).
    if (directoryPart(relPath).empty() && bundleDir_.empty()) {
        if (auto p = foundation::bundlePath(relPath)) return p;
    }
    return std::nullopt;
}

std::optional<std::string> GxFileUtils::getPath(const std::string& path, const std::string& suffix) const {
    std::string newName = path;
    if (!suffix.empty()) {
        std::string base, ext;
        splitExtension(path, base, ext);
        if (lastComponent(base).find(suffix) == std::string::npos) {
            if (ext == "ccz" || ext == "gz") {
                std::string inner, innerExt;
                splitExtension(base, inner, innerExt);
                base = inner;
                ext = innerExt.empty() ? ext : innerExt + "." + ext;
            }
            newName = base + suffix + (ext.empty() ? "" : "." + ext);
        }
    }
    if (!newName.empty() && newName[0] == '/') {
        if (foundation::fileExists(newName)) return newName;
        return std::nullopt;
    }
    return bundleResource(newName);
}

std::optional<std::string> GxFileUtils::removeSuffix(const std::string& suffix, const std::string& path) const {
    if (suffix.empty()) return path;
    std::string name = lastComponent(path);
    if (name.find(suffix) == std::string::npos) return std::nullopt;
    std::string out;
    for (size_t i = 0; i < name.size();) {
        if (name.compare(i, suffix.size(), suffix) == 0) {
            i += suffix.size();
        } else {
            out += name[i++];
        }
    }
    std::string dir = directoryPart(path);
    return dir.empty() ? out : dir + "/" + out;
}

bool GxFileUtils::fileExistsAtPath(const std::string& path, const std::string& suffix) const {
    std::string p = path;
    if (p.empty() || p[0] != '/') {
        if (auto b = bundleResource(p)) p = *b;
    }
    return getPath(p, suffix).has_value();
}

std::string GxFileUtils::fullPathFromRelativePath(const std::string& relPath, int* resolutionType) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto hit = fullPathCache_.find(relPath);
        if (hit != fullPathCache_.end()) {
            if (resolutionType) *resolutionType = hit->second.resolutionType;
            return hit->second.fullpath;
        }
    }
    std::optional<std::string> ret;
    int type = kGxResolutionPhone;
    auto attempt = [&](const std::string& suffix, int t) {
        if (ret) return;
        ret = getPath(relPath, suffix);
        if (ret) type = t;
    };
    switch (runningDevice()) {
        case kGxDevicePhoneRetina:
            attempt(iPhoneRetinaDisplaySuffix_, kGxResolutionPhoneRetina);
            break;
        case kGxDeviceTablet:
            attempt(iPadSuffix_, kGxResolutionTablet);
            if (enableFallbackSuffixes_) attempt(iPhoneRetinaDisplaySuffix_, kGxResolutionPhoneRetina);
            break;
        case kGxDeviceTabletRetina:
            attempt(iPadRetinaDisplaySuffix_, kGxResolutionTabletRetina);
            if (enableFallbackSuffixes_) {
                attempt(iPadSuffix_, kGxResolutionTablet);
                attempt(iPhoneRetinaDisplaySuffix_, kGxResolutionPhoneRetina);
            }
            break;
        default:
            break;
    }
    attempt("", kGxResolutionPhone);
    std::string result = ret ? *ret : relPath;
    if (!ret) type = kGxResolutionPhone;
    std::lock_guard<std::mutex> lock(mutex_);
    fullPathCache_[relPath] = CacheValue{result, type};
    if (resolutionType) *resolutionType = type;
    return result;
}

std::string GxFileUtils::removeSuffixFromFile(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto hit = removeSuffixCache_.find(path);
        if (hit != removeSuffixCache_.end()) return hit->second;
    }
    std::optional<std::string> ret;
    auto attempt = [&](const std::string& suffix) {
        if (!ret) ret = removeSuffix(suffix, path);
    };
    switch (runningDevice()) {
        case kGxDevicePhoneRetina:
            attempt(iPhoneRetinaDisplaySuffix_);
            break;
        case kGxDeviceTablet:
            attempt(iPadSuffix_);
            if (enableFallbackSuffixes_) attempt(iPhoneRetinaDisplaySuffix_);
            break;
        case kGxDeviceTabletRetina:
            attempt(iPadRetinaDisplaySuffix_);
            if (enableFallbackSuffixes_) {
                attempt(iPadSuffix_);
                attempt(iPhoneRetinaDisplaySuffix_);
            }
            break;
        default:
            break;
    }
    std::string result = ret ? *ret : path;
    std::lock_guard<std::mutex> lock(mutex_);
    removeSuffixCache_[path] = result;
    return result;
}

long gxReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    // Only plain files: a folder opens, but its "size" is no length.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return -1;
    }
    out.resize(size_t(size));
    size_t got = size ? std::fread(out.data(), 1, size_t(size), f) : 0;
    std::fclose(f);
    if (got != size_t(size)) {
        out.clear();
        return -1;
    }
    return size;
}

}  // namespace engine2d
