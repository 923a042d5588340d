#pragma once
// A sprite frame names one rectangle of a texture with the trimming needed
// to show it at its untrimmed size; the frame cache keeps frames by name,
// filled by hand or from sprite-sheet property lists (formats 0 to 3).

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "lib/engine2d/mathlib/Geometry.h"
#include "platform/foundation/Value.h"

namespace engine2d {

class GxTexture2D;

class GxSpriteFrame {
public:
    static std::shared_ptr<GxSpriteFrame> frameWithTexture(std::shared_ptr<GxTexture2D> texture, Rect rect);
    static std::shared_ptr<GxSpriteFrame> frameWithTextureFilename(const std::string& file, Rect rect);
    static std::shared_ptr<GxSpriteFrame> frameWithTexture(std::shared_ptr<GxTexture2D> texture, Rect rectInPixels,
                                                           bool rotated, Point offset, Size originalSize);
    static std::shared_ptr<GxSpriteFrame> frameWithTextureFilename(const std::string& file, Rect rectInPixels,
                                                                   bool rotated, Point offset, Size originalSize);

    Rect rect() const { return rect_; }
    void setRect(Rect r);
    Rect rectInPixels() const { return rectInPixels_; }
    void setRectInPixels(Rect r);
    bool rotated() const { return rotated_; }
    void setRotated(bool r) { rotated_ = r; }
    Point offset() const { return offset_; }
    void setOffset(Point p);
    Point offsetInPixels() const { return offsetInPixels_; }
    void setOffsetInPixels(Point p);
    Size originalSize() const { return originalSize_; }
    void setOriginalSize(Size s) { originalSize_ = s; }
    Size originalSizeInPixels() const { return originalSizeInPixels_; }
    void setOriginalSizeInPixels(Size s) { originalSizeInPixels_ = s; }
    // The texture, or the named one through the texture cache (not kept here).
    std::shared_ptr<GxTexture2D> texture() const;
    void setTexture(std::shared_ptr<GxTexture2D> t) { texture_ = std::move(t); }
    const std::string& textureFilename() const { return textureFilename_; }
    std::shared_ptr<GxSpriteFrame> copy() const;
    std::string description() const;

private:
    void set(Rect rectInPixels, bool rotated, Point offset, Size originalSize);
    Rect rect_, rectInPixels_;
    bool rotated_ = false;
    Point offset_, offsetInPixels_;
    Size originalSize_, originalSizeInPixels_;
    std::shared_ptr<GxTexture2D> texture_;
    std::string textureFilename_;
};

// "{x,y}" and "{{x,y},{w,h}}"; anything malformed reads as zeros.
Point gxPointFromString(const std::string& s);
Size gxSizeFromString(const std::string& s);
Rect gxRectFromString(const std::string& s);

class GxSpriteFrameCache {
public:
    static GxSpriteFrameCache& sharedSpriteFrameCache();
    static void purgeSharedSpriteFrameCache();

    // Frames name their texture file: "textureFileName" of the metadata next
    // to the sheet, else the sheet's name with ".png".
    void addSpriteFramesWithFile(const std::string& plist);
    void addSpriteFramesWithFile(const std::string& plist, const std::string& textureFilename);
    void addSpriteFramesWithFile(const std::string& plist, std::shared_ptr<GxTexture2D> texture);
    // A format other than 0 to 3 is rejected: nothing is added (false).
    bool addSpriteFramesWithDictionary(const foundation::Dictionary& d, const std::string& textureFilename);
    bool addSpriteFramesWithDictionary(const foundation::Dictionary& d, std::shared_ptr<GxTexture2D> texture);
    void addSpriteFrame(std::shared_ptr<GxSpriteFrame> frame, const std::string& name);
    std::shared_ptr<GxSpriteFrame> spriteFrameByName(const std::string& name) const;
    void removeSpriteFrames();
    void removeUnusedSpriteFrames();
    void removeSpriteFrameByName(const std::string& name);
    void removeSpriteFramesFromFile(const std::string& plist);
    void removeSpriteFramesFromDictionary(const foundation::Dictionary& d);
    void removeSpriteFramesFromTexture(const std::shared_ptr<GxTexture2D>& texture);
    size_t count() const { return spriteFrames_.size(); }
    std::string description() const;

private:
    bool addFrames(const foundation::Dictionary& d, const std::string* filename,
                   const std::shared_ptr<GxTexture2D>* texture);
    std::map<std::string, std::shared_ptr<GxSpriteFrame>> spriteFrames_;
    std::map<std::string, std::string> spriteFramesAliases_;
};

}  // namespace engine2d
