#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <fstream>

#include "lib/engine2d/files/GxContainers.h"
#include "lib/engine2d/files/GxFileUtils.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "tests/support/TestSupport.h"

using namespace engine2d;
using testsupport::tempDir;

namespace {

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
}

std::vector<uint8_t> zlibCompress(const std::vector<uint8_t>& in) {
    uLongf n = compressBound(uLong(in.size()));
    std::vector<uint8_t> out(n);
    compress(out.data(), &n, in.data(), uLong(in.size()));
    out.resize(n);
    return out;
}

class FileUtils : public testing::Test {
protected:
    void SetUp() override {
        dir_ = tempDir("engine2d_files");
        fu().setBundleDir(dir_);
        fu().purgeCachedEntries();
    }
    static GxFileUtils& fu() { return GxFileUtils::sharedFileUtils(); }
    void touch(const std::string& name) { writeFile(dir_ + "/" + name, {1}); }
    std::string dir_;
};

TEST_F(FileUtils, HighResolutionPhonePrefersTheSuffixedFileAndReportsItsType) {
    touch("digit.png");
    touch("digit-hd.png");
    touch("plain.png");
    touch("map-hd.pvr.ccz");
    GxEnvironment::shared().contentScaleFactor = 2;
    struct Case {
        const char* rel;
        std::string full;
        int type;
    } cases[] = {
        {"digit.png", dir_ + "/digit-hd.png", kGxResolutionPhoneRetina},
        {"digit-hd.png", dir_ + "/digit-hd.png", kGxResolutionPhoneRetina},  // not suffixed twice
        {"plain.png", dir_ + "/plain.png", kGxResolutionPhone},
        {"map.pvr.ccz", dir_ + "/map-hd.pvr.ccz", kGxResolutionPhoneRetina},  // suffix before both extensions
        {"missing.png", "missing.png", kGxResolutionPhone},
    };
    for (const auto& c : cases) {
        int type = -1;
        EXPECT_EQ(fu().fullPathFromRelativePath(c.rel, &type), c.full) << c.rel;
        EXPECT_EQ(type, c.type) << c.rel;
    }
    // The answers are cached: a file that appears later is not seen until purged.
    touch("missing.png");
    EXPECT_EQ(fu().fullPathFromRelativePath("missing.png"), "missing.png");
    fu().purgeCachedEntries();
    EXPECT_EQ(fu().fullPathFromRelativePath("missing.png"), dir_ + "/missing.png");
}

TEST_F(FileUtils, PhoneIgnoresVariantsAndTabletFallsBackOnlyWhenAllowed) {
    touch("bg.png");
    touch("bg-hd.png");
    int type = -1;
    EXPECT_EQ(fu().fullPathFromRelativePath("bg.png", &type), dir_ + "/bg.png");
    EXPECT_EQ(type, kGxResolutionPhone);
    fu().setTablet(true);
    fu().purgeCachedEntries();
    EXPECT_EQ(fu().fullPathFromRelativePath("bg.png", &type), dir_ + "/bg.png");
    fu().setEnableFallbackSuffixes(true);
    fu().purgeCachedEntries();
    EXPECT_EQ(fu().fullPathFromRelativePath("bg.png", &type), dir_ + "/bg-hd.png");
    EXPECT_EQ(type, kGxResolutionPhoneRetina);
}

TEST_F(FileUtils, SuffixRemovalDependsOnTheDevice) {
    EXPECT_EQ(fu().removeSuffixFromFile("digit-hd.png"), "digit-hd.png");
    fu().purgeCachedEntries();
    GxEnvironment::shared().contentScaleFactor = 2;
    EXPECT_EQ(fu().removeSuffixFromFile("digit-hd.png"), "digit.png");
    EXPECT_EQ(fu().removeSuffixFromFile("a/x-hd.png"), "a/x.png");
    EXPECT_EQ(fu().removeSuffix("-hd", "a/b.png"), std::nullopt);
    EXPECT_EQ(fu().removeSuffix("", "a/b.png"), "a/b.png");
    EXPECT_EQ(fu().removeSuffix("-hd", "x-hd/b-hd-hd.png"), "x-hd/b.png");
}

TEST(ReadWholeFile, ReadsEveryByteAndFailsOnAMissingFile) {
    std::string dir = tempDir("engine2d_read");
    std::vector<uint8_t> bytes(70000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    writeFile(dir + "/f", bytes);
    std::vector<uint8_t> got;
    EXPECT_EQ(gxReadWholeFile(dir + "/f", got), 70000);
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(gxReadWholeFile(dir + "/none", got), -1);
    // A folder opens, but is no file (its length read as 2^63 bytes before).
    EXPECT_EQ(gxReadWholeFile(dir, got), -1);
    EXPECT_TRUE(got.empty());
}

TEST(Base64, DecodesPaddingAndRejectsALoneTrailingCharacter) {
    struct Case {
        const char* in;
        int result;
        std::vector<uint8_t> out;
    } cases[] = {
        {"QQ==", 0, {0x41}},
        {"QUJD", 0, {0x41, 0x42, 0x43}},
        {"QUI=", 0, {0x41, 0x42}},
        {"Q=", 1, {}},
        {"QU\nJ D", 0, {0x41, 0x42, 0x43}},       // characters outside the alphabet are skipped
        {"QUJDQQ", 0, {0x41, 0x42, 0x43, 0x41}},  // the end of the input pads like "="
        {"QUJDQUI", 0, {0x41, 0x42, 0x43, 0x41, 0x42}},
        {"QUJDQ", 1, {}},  // one character left over cannot hold a byte
        {"QUJDQ\n", 1, {}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> out;
        EXPECT_EQ(base64Decode(reinterpret_cast<const uint8_t*>(c.in), strlen(c.in), out), c.result) << c.in;
        if (c.result == 0) {
            EXPECT_EQ(out, c.out) << c.in;
        }
    }
    std::vector<uint8_t> out;
    EXPECT_EQ(Base64Utils(reinterpret_cast<const uint8_t*>("Q="), 2, out), 0u);
    EXPECT_TRUE(out.empty());
}

TEST(Inflate, GrowsFromTheHintAndFailsOnTruncatedInputWithoutRunningAway) {
    std::vector<uint8_t> plain(1 << 20);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t((i * 31) ^ (i >> 9));
    auto z = zlibCompress(plain);
    std::vector<uint8_t> out;
    ASSERT_EQ(gxInflateBufferWithHint(z.data(), z.size(), out, 256 * 1024), plain.size());
    EXPECT_EQ(out, plain);
    // Truncated anywhere: a failure, and the buffer never grows beyond the data.
    for (size_t cut : {size_t(2), z.size() / 2, z.size() - 1}) {
        EXPECT_EQ(gxInflateBufferWithHint(z.data(), cut, out, 1024, 4 << 20), 0u) << cut;
        EXPECT_TRUE(out.empty());
    }
    // A stream that would exceed the limit fails instead of allocating past it.
    EXPECT_EQ(gxInflateBufferWithHint(z.data(), z.size(), out, 1024, 512 * 1024), 0u);
}

TEST(Gzip, ReadsAFileAndRejectsATruncatedOne) {
    std::string dir = tempDir("engine2d_gz");
    std::vector<uint8_t> plain(600000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i % 251);
    gzFile f = gzopen((dir + "/a.gz").c_str(), "wb");
    gzwrite(f, plain.data(), unsigned(plain.size()));
    gzclose(f);
    std::vector<uint8_t> out;
    ASSERT_EQ(gxReadGzipFile(dir + "/a.gz", out), long(plain.size()));
    EXPECT_EQ(out, plain);
    std::vector<uint8_t> whole;
    gxReadWholeFile(dir + "/a.gz", whole);
    whole.resize(whole.size() / 2);
    writeFile(dir + "/cut.gz", whole);
    EXPECT_EQ(gxReadGzipFile(dir + "/cut.gz", out), -1);
    EXPECT_EQ(gxReadGzipFile(dir + "/none.gz", out), -1);
}

std::vector<uint8_t> ccz(const std::vector<uint8_t>& plain, uint16_t type, uint16_t version, uint32_t len) {
    std::vector<uint8_t> f = {
        'C', 'C', 'Z', '!', uint8_t(type >> 8), uint8_t(type),      uint8_t(version >> 8), uint8_t(version),
        0,   0,   0,   0,   uint8_t(len >> 24), uint8_t(len >> 16), uint8_t(len >> 8),     uint8_t(len)};
    auto z = zlibCompress(plain);
    f.insert(f.end(), z.begin(), z.end());
    return f;
}

TEST(CCZ, ChecksItsHeaderAgainstTheData) {
    std::vector<uint8_t> plain(5000, 'x');
    plain[77] = 'y';
    std::vector<uint8_t> out;
    auto good = ccz(plain, 0, 2, 5000);
    ASSERT_EQ(gxInflateCCZ(good.data(), good.size(), out), 5000);
    EXPECT_EQ(out, plain);
    struct Bad {
        const char* why;
        std::vector<uint8_t> file;
    } bad[] = {
        {"version 3", ccz(plain, 0, 3, 5000)},
        {"compression type 1", ccz(plain, 1, 2, 5000)},
        {"length larger than the data", ccz(plain, 0, 2, 6000)},
        {"length no stream can reach", ccz(plain, 0, 2, 0xFFFFFFF0u)},
        {"short header", std::vector<uint8_t>(good.begin(), good.begin() + 10)},
        {"truncated stream", std::vector<uint8_t>(good.begin(), good.end() - 8)},
    };
    for (const auto& b : bad) EXPECT_EQ(gxInflateCCZ(b.file.data(), b.file.size(), out), -1) << b.why;
    std::string dir = tempDir("engine2d_ccz");
    writeFile(dir + "/m.ccz", good);
    EXPECT_EQ(gxReadCCZFile(dir + "/m.ccz", out), 5000);
}

std::vector<uint8_t> tgaHeader(uint8_t idLength, uint8_t type, uint16_t w, uint16_t h, uint8_t depth, uint8_t desc) {
    return {idLength,        0,     type, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h),
            uint8_t(h >> 8), depth, desc};
}

TEST(TGA, RunLengthDataAfterAnIdentificationField) {
    // 3x2, 24 bits, an 5-byte ID field, run 0x83 (4 of one pixel), then a raw packet of 2.
    auto f = tgaHeader(5, 10, 3, 2, 24, 0);
    f.insert(f.end(), {'h', 'e', 'l', 'l', 'o'});
    f.insert(f.end(), {0x83, 10, 20, 30, 0x01, 1, 2, 3, 4, 5, 6});
    std::string dir = tempDir("engine2d_tga");
    writeFile(dir + "/a.tga", f);
    GxImageTGA img = gxTGALoad(dir + "/a.tga");
    ASSERT_EQ(img.status, kTGALoadOK);
    EXPECT_EQ(img.width, 3);
    EXPECT_EQ(img.height, 2);
    std::vector<uint8_t> expect = {30, 20, 10, 30, 20, 10, 30, 20, 10, 30, 20, 10, 3, 2, 1, 6, 5, 4};
    EXPECT_EQ(img.imageData, expect);
}

TEST(TGA, TopDownRowsAreTurnedOverAndBadFilesReportTheirStatus) {
    auto f = tgaHeader(0, 3, 2, 3, 8, 0x20);
    f.insert(f.end(), {1, 2, 3, 4, 5, 6});
    GxImageTGA img = gxTGALoadData(f.data(), f.size());
    ASSERT_EQ(img.status, kTGALoadOK);
    EXPECT_EQ(img.imageData, (std::vector<uint8_t>{5, 6, 3, 4, 1, 2}));
    EXPECT_EQ(img.flipped, 0);

    auto rawShort = tgaHeader(0, 2, 4, 4, 32, 0);
    rawShort.resize(rawShort.size() + 10);
    auto rleShort = tgaHeader(0, 10, 4, 4, 32, 0);
    rleShort.insert(rleShort.end(), {0x8f, 1, 2});
    auto huge = tgaHeader(0, 10, 60000, 60000, 24, 0);
    huge.insert(huge.end(), {0xff, 1, 2, 3});
    auto idPastEnd = tgaHeader(200, 2, 1, 1, 8, 0);
    idPastEnd.push_back(1);
    struct Case {
        const char* why;
        std::vector<uint8_t> file;
        int status;
    } cases[] = {
        {"short raw data", rawShort, kTGAReadFailed},
        {"short run", rleShort, kTGAReadFailed},
        {"more pixels than the file can hold", huge, kTGAReadFailed},
        {"ID field past the end", idPastEnd, kTGAReadFailed},
        {"indexed colour", tgaHeader(0, 1, 1, 1, 8, 0), kTGAIndexedColour},
        {"compressed grey", tgaHeader(0, 11, 1, 1, 8, 0), kTGAUnsupportedType},
        {"odd depth", tgaHeader(0, 2, 1, 1, 12, 0), kTGAUnsupportedType},
        {"header only part", std::vector<uint8_t>(10, 0), kTGAReadFailed},
    };
    for (const auto& c : cases) EXPECT_EQ(gxTGALoadData(c.file.data(), c.file.size()).status, c.status) << c.why;
    EXPECT_EQ(gxTGALoad("/nonexistent/x.tga").status, kTGAFileOpenFailed);
}

}  // namespace
