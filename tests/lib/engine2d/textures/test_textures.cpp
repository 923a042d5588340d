#include <cairo.h>
#include <gtest/gtest.h>

#include <zlib.h>
#include <array>
#include <cstring>
#include <fstream>
#include <thread>

#include "lib/engine2d/files/GxContainers.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/gles/GxConfiguration.h"
#include "lib/engine2d/gles/GxGLStateCache.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "lib/engine2d/textures/GxTexture2D.h"
#include "lib/engine2d/textures/GxTextureCache.h"
#include "lib/engine2d/textures/GxTexturePVR.h"
#include "platform/foundation/RunLoop.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "platform/ui/Image.h"
#include "tests/support/engine2d/GLFixture.h"

using namespace engine2d;
using Px = std::array<uint8_t, 4>;

namespace {

// Writes a PNG of w x h filled with one colour; opaque pictures are written
// without an alpha channel.
void writePng(const std::string& path, int w, int h, double r, double g, double b, double a) {
    cairo_surface_t* s = cairo_image_surface_create(a < 1 ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, r, g, b, a);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

// The texture's pixels, read back.
std::vector<Px> readTexture(const GxTexture2D& t) {
    return testing_gl::readTexture(t.name(), int(t.pixelsWide()), int(t.pixelsHigh()));
}

class Textures : public testing_gl::GLTest {
protected:
    void TearDown() override {
        auto& conf = GxConfiguration::sharedConfiguration();
        conf.setSupportsNPOT(true);
        conf.setOSVersion(GxConfiguration::packVersion("5.0"));
        GxTexture2D::setDefaultAlphaPixelFormat(kGxTexture2DPixelFormat_RGBA8888);
        GLTest::TearDown();
    }
};

TEST_F(Textures, APictureBecomesATextureOfTheRightSizeAndFormat) {
    REQUIRE_GL();
    writePng(dir_ + "/alpha.png", 100, 50, 1, 0, 0, 0.5);
    writePng(dir_ + "/opaque.png", 100, 50, 0, 0, 1, 1);
    auto& conf = GxConfiguration::sharedConfiguration();
    struct Case {
        const char* file;
        bool npot;
        int defaultFormat;
        unsigned w, h;
        int format;
        bool premultiplied;
    } cases[] = {
        {"alpha.png", true, kGxTexture2DPixelFormat_RGBA8888, 100, 50, kGxTexture2DPixelFormat_RGBA8888, true},
        {"alpha.png", false, kGxTexture2DPixelFormat_RGBA8888, 128, 64, kGxTexture2DPixelFormat_RGBA8888, true},
        // 16-bit formats are always padded on newer systems.
        {"alpha.png", true, kGxTexture2DPixelFormat_RGBA4444, 128, 64, kGxTexture2DPixelFormat_RGBA4444, true},
        {"opaque.png", true, kGxTexture2DPixelFormat_RGBA8888, 100, 50, kGxTexture2DPixelFormat_RGBA8888, false},
        // Opaque pictures take the opaque 16-bit format instead of a 4-bit alpha.
        {"opaque.png", true, kGxTexture2DPixelFormat_RGBA4444, 128, 64, kGxTexture2DPixelFormat_RGB565, false},
    };
    for (const auto& c : cases) {
        conf.setSupportsNPOT(c.npot);
        GxTexture2D::setDefaultAlphaPixelFormat(c.defaultFormat);
        auto t = GxTexture2D::textureWithImage(ui::Image::fromFile(dir_ + "/" + c.file), 1);
        ASSERT_NE(t, nullptr) << c.file;
        EXPECT_EQ(t->pixelsWide(), c.w) << c.file;
        EXPECT_EQ(t->pixelsHigh(), c.h) << c.file;
        EXPECT_EQ(t->pixelFormat(), c.format) << c.file;
        EXPECT_EQ(t->hasPremultipliedAlpha(), c.premultiplied) << c.file;
        EXPECT_EQ(t->contentSizeInPixels(), (Size{100, 50}));
        EXPECT_FLOAT_EQ(t->maxS(), 100.f / float(c.w));
        EXPECT_FLOAT_EQ(t->maxT(), 50.f / float(c.h));
        EXPECT_EQ(gl::GetError(), GLenum(GL_NO_ERROR)) << c.file;
    }
    // The pixels: the picture fills the first rows, the padding is clear,
    // colours are premultiplied.
    conf.setSupportsNPOT(false);
    GxTexture2D::setDefaultAlphaPixelFormat(kGxTexture2DPixelFormat_RGBA8888);
    auto t = GxTexture2D::textureWithImage(ui::Image::fromFile(dir_ + "/alpha.png"), 1);
    auto px = readTexture(*t);
    ASSERT_EQ(px.size(), 128u * 64u);
    EXPECT_NEAR(px[0][0], 128, 1);
    EXPECT_EQ(px[0][3], px[0][0]);
    EXPECT_EQ(px[0][2], 0);
    EXPECT_EQ(px[49 * 128 + 99][3], px[0][3]);
    EXPECT_EQ(px[49 * 128 + 100], (Px{0, 0, 0, 0}));
    EXPECT_EQ(px[50 * 128], (Px{0, 0, 0, 0}));
    // Points divide by the content scale.
    GxEnvironment::shared().contentScaleFactor = 2;
    EXPECT_EQ(t->contentSize(), (Size{50, 25}));
}

TEST_F(Textures, RawDataOfNarrowRowsUploadsEveryRowWhereItBelongs) {
    REQUIRE_GL();
    // 3 pixels of RGB888 are 9 bytes a row: a 4-byte alignment would read the
    // second row one byte too far.
    const uint8_t rgb[] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 11, 21, 31, 41, 51, 61, 71, 81, 91};
    auto t = GxTexture2D::textureWithData(rgb, kGxTexture2DPixelFormat_RGB888, 3, 2, Size{3, 2});
    ASSERT_NE(t, nullptr);
    auto px = readTexture(*t);
    if (px.empty()) GTEST_SKIP() << "RGB textures are not colour-renderable here";
    EXPECT_EQ(px[3], (Px{11, 21, 31, 255}));
    EXPECT_EQ(px[5], (Px{71, 81, 91, 255}));
    // Formats raw data cannot have upload nothing.
    EXPECT_EQ(GxTexture2D::textureWithData(rgb, kGxTexture2DPixelFormat_I8, 1, 1, Size{1, 1}), nullptr);
    EXPECT_EQ(GxTexture2D::textureWithData(rgb, kGxTexture2DPixelFormat_PVRTC4, 1, 1, Size{1, 1}), nullptr);
}

TEST_F(Textures, TheCacheSharesOneTextureAndPurgesOnlyUnusedOnes) {
    REQUIRE_GL();
    writePng(dir_ + "/digit.png", 8, 8, 1, 1, 1, 1);
    writePng(dir_ + "/digit-hd.png", 16, 16, 1, 1, 1, 1);
    writePng(dir_ + "/other.png", 8, 8, 0, 1, 0, 1);
    auto& cache = GxTextureCache::sharedTextureCache();
    GxEnvironment::shared().contentScaleFactor = 2;
    auto a = cache.addImage("digit.png");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->pixelsWide(), 16u);
    EXPECT_EQ(a->resolutionType(), kGxResolutionPhoneRetina);
    EXPECT_EQ(cache.addImage("digit-hd.png"), a);  // same key once the suffix is off
    EXPECT_EQ(cache.textureForKey("digit.png"), a);
    cache.addImage("other.png");
    EXPECT_EQ(cache.count(), 2u);
    cache.removeUnusedTextures();
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.textureForKey("digit.png"), a);
    EXPECT_EQ(cache.addImage("missing.png"), nullptr);
    // Without a key a picture makes a new texture every time and is not kept.
    auto img = ui::Image::fromFile(dir_ + "/other.png");
    auto x = cache.addCGImage(img, "");
    EXPECT_NE(x, cache.addCGImage(img, ""));
    EXPECT_EQ(cache.count(), 1u);
    cache.removeTexture(a);
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_NE(a->name(), 0u);  // still valid for its holder
}

TEST_F(Textures, AsyncLoadsArriveOnTheMainThreadInRequestOrder) {
    REQUIRE_GL();
    for (int i = 0; i < 6; ++i) writePng(dir_ + "/otp_" + std::to_string(i) + ".png", 16, 24, i / 6.0, 0.5, 0, 1);
    auto& cache = GxTextureCache::sharedTextureCache();
    auto cached = cache.addImage("otp_5.png");
    std::vector<std::string> order;
    std::vector<std::shared_ptr<GxTexture2D>> got;
    const auto mainThread = std::this_thread::get_id();
    bool offMain = false;
    for (int i : {3, 1, 4, 0, 2}) {
        cache.addImageAsync("otp_" + std::to_string(i) + ".png", [&, i](std::shared_ptr<GxTexture2D> t) {
            offMain |= std::this_thread::get_id() != mainThread;
            order.push_back(std::to_string(i));
            got.push_back(t);
        });
    }
    cache.addImageAsync("missing.png", [&](std::shared_ptr<GxTexture2D> t) { order.push_back(t ? "?" : "nil"); });
    // A cached picture answers before the call returns.
    bool immediate = false;
    cache.addImageAsync("otp_5.png", [&](std::shared_ptr<GxTexture2D> t) { immediate = t == cached; });
    EXPECT_TRUE(immediate);
    ASSERT_TRUE(foundation::RunLoop::main().runUntil([&] { return order.size() == 6; }, 30));
    EXPECT_EQ(order, (std::vector<std::string>{"3", "1", "4", "0", "2", "nil"}));
    EXPECT_FALSE(offMain);
    // Loaded in the loader's context, usable in ours: the pixels are there.
    ASSERT_NE(got[0], nullptr);
    EXPECT_EQ(cache.textureForKey("otp_3.png"), got[0]);
    auto px = readTexture(*got[0]);
    ASSERT_FALSE(px.empty());
    EXPECT_NEAR(px[0][0], 128, 1);
    EXPECT_NEAR(px[0][1], 128, 1);
    // Our context's state cache still describes our bindings: binding the
    // texture through it reaches GL.
    GLint bound = -1;
    gxGLCacheBindTexture(got[1]->name());
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), got[1]->name());
}

// A PVR version 2 header followed by `dataLength` bytes (or `fileData` bytes when given).
std::vector<uint8_t> pvr(uint32_t w, uint32_t h, uint32_t type, uint32_t dataLength, long fileData = -1) {
    // Made at its full length at once (growing it afterwards trips a false
    // -Warray-bounds in GCC 12's optimised builds).
    std::vector<uint8_t> f(52 + size_t(fileData < 0 ? dataLength : uint32_t(fileData)), 0x5a);
    std::fill(f.begin(), f.begin() + 52, 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put(0, 52);
    put(4, h);
    put(8, w);
    put(16, type);
    put(20, dataLength);
    put(40, 0xff);
    std::memcpy(&f[44], "PVR!", 4);
    return f;
}

TEST(PVR, LevelsAreDerivedFromTheDataAndCheckedAgainstTheFile) {
    // 1024x1024 PVRTC 4 bits with a full chain: 11 levels, the small ones 32 bytes.
    uint32_t total = 0;
    std::vector<uint32_t> sizes;
    for (uint32_t s = 1024; s; s /= 2) {
        uint32_t blocks = std::max(s / 4, 2u);
        sizes.push_back(blocks * blocks * 8);
        total += sizes.back();
    }
    auto f = pvr(1024, 1024, 0x19, total);
    GxTexturePVR p;
    ASSERT_TRUE(p.unpackPVRData(f.data(), f.size()));
    ASSERT_EQ(p.numberOfMipmaps(), 11u);
    for (unsigned i = 0; i < 11; ++i) EXPECT_EQ(p.mipmap(i).len, sizes[i]) << i;
    EXPECT_EQ(sizes[0], 524288u);
    EXPECT_EQ(sizes[7], 32u);
    EXPECT_EQ(p.format(), kGxTexture2DPixelFormat_PVRTC4);
    EXPECT_TRUE(p.hasAlpha());

    struct Bad {
        const char* why;
        std::vector<uint8_t> file;
    } bad[] = {
        {"data length beyond the file", pvr(8, 8, 0x12, 256, 100)},
        {"unknown pixel type", pvr(8, 8, 0x14, 256)},
        {"short header", std::vector<uint8_t>(f.begin(), f.begin() + 40)},
        {"zero size", pvr(0, 8, 0x12, 0)},
    };
    for (const auto& b : bad) {
        GxTexturePVR q;
        EXPECT_FALSE(q.unpackPVRData(b.file.data(), b.file.size())) << b.why;
    }
    // Not a power of two: only where the device takes such sizes.
    auto npot = pvr(6, 4, 0x12, 96);
    GxTexturePVR q;
    q.setSupport(false, true);
    EXPECT_FALSE(q.unpackPVRData(npot.data(), npot.size()));
    q.setSupport(true, true);
    EXPECT_TRUE(q.unpackPVRData(npot.data(), npot.size()));
    // Data for more than 16 levels stops at 16.
    auto many = pvr(1, 1, 0x12, 20 * 16);
    EXPECT_TRUE(q.unpackPVRData(many.data(), many.size()));
    EXPECT_EQ(q.numberOfMipmaps(), 16u);
}

TEST_F(Textures, APVRFileUploadsItsLevelsThroughEachContainer) {
    REQUIRE_GL();
    // 4x4 RGBA8888 with two levels: 64 + 16 bytes... level sizes raise to 2x2, so 64 + 16.
    auto f = pvr(4, 4, 0x12, 64 + 16);
    for (size_t i = 52; i < 52 + 64; i += 4) {
        f[i] = 200;
        f[i + 1] = 100;
        f[i + 2] = 50;
        f[i + 3] = 255;
    }
    std::ofstream(dir_ + "/t.pvr", std::ios::binary).write(reinterpret_cast<const char*>(f.data()), long(f.size()));
    auto upper = dir_ + "/T2.PVR.GZ";
    {
        gzFile g = gzopen(upper.c_str(), "wb");
        gzwrite(g, f.data(), unsigned(f.size()));
        gzclose(g);
    }
    for (const std::string name : {"t.pvr", "T2.PVR.GZ"}) {
        auto t = GxTexture2D::textureWithPVRFile(name);
        ASSERT_NE(t, nullptr) << name;
        EXPECT_EQ(t->pixelsWide(), 4u);
        EXPECT_TRUE(t->hasMipmaps());
        EXPECT_EQ(t->pixelFormat(), kGxTexture2DPixelFormat_RGBA8888);
        auto px = readTexture(*t);
        ASSERT_EQ(px.size(), 16u);
        EXPECT_EQ(px[5], (Px{200, 100, 50, 255})) << name;
    }
    // The cache sends .pvr names (any case) down the same path.
    EXPECT_NE(GxTextureCache::sharedTextureCache().addImage("T2.PVR.GZ"), nullptr);
    // Compressed data needs the extension Mesa does not have: a failed load.
    auto c = pvr(8, 8, 0x19, 32);
    std::ofstream(dir_ + "/c.pvr", std::ios::binary).write(reinterpret_cast<const char*>(c.data()), long(c.size()));
    if (!GxConfiguration::sharedConfiguration().supportsPVRTC()) {
        EXPECT_EQ(GxTexture2D::textureWithPVRFile("c.pvr"), nullptr);
    }
}

}  // namespace

namespace {

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

void writeGzip(const std::string& path, const std::vector<uint8_t>& head, size_t zeros) {
    gzFile g = gzopen(path.c_str(), "wb9");
    gzwrite(g, head.data(), unsigned(head.size()));
    std::vector<uint8_t> block(1 << 20, 0);
    for (size_t left = zeros; left > 0;) {
        size_t n = std::min(left, block.size());
        gzwrite(g, block.data(), unsigned(n));
        left -= n;
    }
    gzclose(g);
}

// GL calls that make or fill textures since `since`.
uint64_t textureCalls() {
    return gl::callCount(gl::Call::GenTextures) + gl::callCount(gl::Call::TexImage2D) +
           gl::callCount(gl::Call::CompressedTexImage2D);
}

TEST_F(Textures, EveryRoadRefusesSizesNoTextureMayHaveBeforeAnyGLCall) {
    REQUIRE_GL();
    const unsigned side = GxTexture2D::maxTextureSide();
    ASSERT_GE(side, 2048u);
    // 116 bytes claiming 2^30 x 2^30 RGBA8888 with 64 bytes of data.
    auto huge = pvr(1u << 30, 1u << 30, 0x12, 64);
    ASSERT_EQ(huge.size(), 116u);
    writeFile(dir_ + "/huge.pvr", huge);
    writeGzip(dir_ + "/huge.pvr.gz", huge, 0);
    auto wide = pvr(side * 2, 1, 0x12, 64);
    writeFile(dir_ + "/wide.pvr", wide);
    // Within the GL's sides, but 1 GiB of pixels (a few KB of gzip).
    auto big = pvr(16384, 16384, 0x12, 64);
    std::fill(big.begin() + 20, big.begin() + 24, 0xff);  // 4 GiB of data declared
    writeGzip(dir_ + "/big.pvr.gz", big, 4 << 20);
    // A TGA road: 8192 x 8192 x 4 bytes of runs in 2.6 MB.
    std::vector<uint8_t> tga(18, 0);
    tga[2] = 10;
    tga[12] = 0x00, tga[13] = 0x20, tga[14] = 0x00, tga[15] = 0x20;
    tga[16] = 32;
    for (size_t i = 0; i < size_t(8192) * 8192 / 128; ++i) tga.insert(tga.end(), {0xff, 1, 2, 3, 4});
    writeFile(dir_ + "/big.tga", tga);

    const uint64_t before = textureCalls();
    for (const char* name : {"huge.pvr", "huge.pvr.gz", "wide.pvr", "big.pvr.gz"}) {
        EXPECT_EQ(GxTexture2D::textureWithPVRFile(name), nullptr) << name;
        EXPECT_EQ(GxTextureCache::sharedTextureCache().addImage(name), nullptr) << name;
    }
    EXPECT_EQ(gxTGALoad(dir_ + "/big.tga").status, kTGAOutOfMemory);
    // A name that leads to a folder is no picture (the decoder threw on it).
    EXPECT_EQ(GxTextureCache::sharedTextureCache().addImage(dir_), nullptr);
    EXPECT_EQ(GxTextureCache::sharedTextureCache().addImage(dir_ + "/"), nullptr);
    struct Raw {
        unsigned w, h;
        int format;
    } raw[] = {
        {100000, 100000, kGxTexture2DPixelFormat_RGBA8888},
        {side + 1, 1, kGxTexture2DPixelFormat_A8},
        {1u << 31, 1u << 31, kGxTexture2DPixelFormat_RGBA8888},  // the byte count overflows 32 bits
        {side, side, kGxTexture2DPixelFormat_RGBA8888},          // over the bytes a texture may take
    };
    for (const auto& r : raw)
        EXPECT_EQ(GxTexture2D::textureWithData(nullptr, r.format, r.w, r.h, Size{1, 1}), nullptr) << r.w;
    EXPECT_EQ(GxTexture2D::textureWithString("x", Size{1e30f, 10}, 0, 0, "Sans", 12), nullptr);
    EXPECT_EQ(textureCalls(), before) << "nothing reached the GL";

    // A size this check lets through but the GL refuses is no texture either.
    auto& conf = GxConfiguration::sharedConfiguration();
    const int real = conf.maxTextureSize();
    conf.setMaxTextureSize(1 << 20);
    std::vector<uint8_t> row(side * 2, 7);
    auto refused = GxTexture2D::textureWithData(row.data(), kGxTexture2DPixelFormat_A8, side * 2, 1, Size{1, 1});
    conf.setMaxTextureSize(real);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "the refusal's error was taken";
    // The largest texture the GL takes still loads.
    std::vector<uint8_t> line(side, 9);
    auto fits = GxTexture2D::textureWithData(line.data(), kGxTexture2DPixelFormat_A8, side, 1, Size{float(side), 1});
    ASSERT_NE(fits, nullptr);
    EXPECT_NE(fits->name(), 0u);
}

TEST_F(Textures, GzipDataIsInflatedOnlyAsFarAsItsReaderCanUse) {
    REQUIRE_GL();
    // A plain gzip file of 65 MiB of zeros (64 KB on disk) is over the
    // ceiling for files; one of 1 MiB is read whole.
    writeGzip(dir_ + "/bomb.gz", {}, kGxMaxInflatedBytes + 1);
    writeGzip(dir_ + "/fine.gz", {1, 2, 3}, 1 << 20);
    std::vector<uint8_t> out;
    EXPECT_EQ(gxReadGzipFile(dir_ + "/bomb.gz", out), -1);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(gxReadGzipFile(dir_ + "/fine.gz", out), long(3 + (1 << 20)));
    EXPECT_EQ(gxReadGzipFile(dir_ + "/fine.gz", out, 1000), -1) << "a caller's own limit";
    EXPECT_EQ(gxReadGzipPrefix(dir_ + "/bomb.gz", out, 100), 100);
    // Streams in memory (a particle file's picture) stop at the same ceiling.
    std::vector<uint8_t> zeros(kGxMaxInflatedBytes + 1, 0), z(compressBound(uLong(zeros.size())));
    uLongf zlen = uLongf(z.size());
    ASSERT_EQ(compress2(z.data(), &zlen, zeros.data(), uLong(zeros.size()), 9), Z_OK);
    zeros = {};
    EXPECT_EQ(gxInflateBuffer(z.data(), zlen, out), 0u);
    EXPECT_EQ(gxInflateBuffer(z.data(), zlen, out, kGxMaxInflatedBytes + 1), kGxMaxInflatedBytes + 1);
    // A PVR in gzip followed by 64 MiB of junk loads from the bytes its
    // header declares.
    auto f = pvr(2, 2, 0x12, 16);
    std::fill(f.begin() + 52, f.end(), 0xff);
    writeGzip(dir_ + "/padded.pvr.gz", f, 64 << 20);
    auto t = GxTexture2D::textureWithPVRFile("padded.pvr.gz");
    ASSERT_NE(t, nullptr);
    auto px = readTexture(*t);
    ASSERT_EQ(px.size(), 4u);
    EXPECT_EQ(px[3], (Px{255, 255, 255, 255}));
}

}  // namespace
