#include <stdlib.h>

#include <cstddef>
#include <cstdio>
// jpeglib needs size_t and FILE first.
#include <jpeglib.h>

#include <zlib.h>
#include <csetjmp>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/foundation/Paths.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "tests/platform/ui/UiTest.h"
#include "tests/support/TestSupport.h"

using namespace ui;
using uitest::pixelNear;

namespace {

class Images : public uitest::UiFixture {};

// A picture with four coloured quarters (red, green / blue, half-transparent white).
std::shared_ptr<Image> quarters(int w, int h) {
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = rgba.data() + (size_t(y) * w + x) * 4;
            bool right = x >= w / 2, bottom = y >= h / 2;
            if (!right && !bottom) p[0] = 255, p[3] = 255;
            if (right && !bottom) p[1] = 255, p[3] = 255;
            if (!right && bottom) p[2] = 255, p[3] = 255;
            if (right && bottom) p[0] = p[1] = p[2] = 255, p[3] = 128;
        }
    return Image::fromRgba(w, h, rgba.data());
}

std::vector<uint8_t> encodeJpeg(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(w) * 3);
    for (int x = 0; x < w; ++x) row[size_t(x) * 3] = r, row[size_t(x) * 3 + 1] = g, row[size_t(x) * 3 + 2] = b;
    while (c.next_scanline < c.image_height) {
        JSAMPROW rp = row.data();
        jpeg_write_scanlines(&c, &rp, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> data(out, out + size);
    jpeg_destroy_compress(&c);
    free(out);
    return data;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

}  // namespace

TEST_F(Images, PngRoundTripKeepsStraightColoursAndAlpha) {
    auto img = quarters(8, 6);
    auto png = img->encodePNG();
    ASSERT_GT(png.size(), 8u);
    auto back = Image::fromData(png, 2);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixelWidth(), 8);
    EXPECT_EQ(back->size(), (Size{4, 3}));
    EXPECT_TRUE(pixelNear(*back, 1, 1, {255, 0, 0, 255}, 0));
    EXPECT_TRUE(pixelNear(*back, 6, 1, {0, 255, 0, 255}, 0));
    EXPECT_TRUE(pixelNear(*back, 6, 5, {255, 255, 255, 128}, 1));
    // Stored premultiplied: the raw word of the half-white pixel holds 128s.
    cairo_surface_flush(back->surface());
    auto* data = cairo_image_surface_get_data(back->surface());
    uint32_t word = reinterpret_cast<uint32_t*>(data + 5 * cairo_image_surface_get_stride(back->surface()))[6];
    EXPECT_NEAR(int(word & 0xFF), 128, 1);
    EXPECT_EQ(int(word >> 24), 128);
}

TEST_F(Images, JpegDecodesAndBadDataIsRefused) {
    auto jpeg = encodeJpeg(16, 8, 200, 40, 90);
    auto img = Image::fromData(jpeg);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->pixelWidth(), 16);
    EXPECT_EQ(img->pixelHeight(), 8);
    EXPECT_TRUE(pixelNear(*img, 8, 4, {200, 40, 90, 255}, 4));

    auto png = img->encodePNG();
    std::vector<std::vector<uint8_t>> bad = {
        {},
        {1, 2, 3, 4},
        std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 3)),  // cut short
        std::vector<uint8_t>(png.begin(), png.begin() + 40),
    };
    // A cut JPEG is damaged: the decoder would make up the rest of it.
    const ImageErrorCode codes[] = {kImageNotAPicture, kImageNotAPicture, kImageDamaged, kImageDamaged};
    for (size_t i = 0; i < bad.size(); ++i) {
        foundation::ErrorRef error;
        EXPECT_EQ(Image::fromData(bad[i], 1, &error), nullptr) << i;
        ASSERT_TRUE(error) << i;
        EXPECT_TRUE(error->is(kImageErrorDomain, codes[i])) << i << ": " << error->description();
        EXPECT_FALSE(error->message.empty()) << i;
    }
    foundation::ErrorRef error;
    EXPECT_EQ(Image::fromData(bad[2], 1, &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("Premature end"), std::string::npos) << error->message;
    // A picture whose data stops in the middle of its pixels, though it ends
    // with the end marker, is damaged too.
    auto whole = encodeJpeg(256, 256, 10, 200, 30);
    std::vector<uint8_t> corrupt(whole.begin(), whole.begin() + long(whole.size() * 2 / 3));
    corrupt.insert(corrupt.end(), {0xFF, 0xD9});
    error.reset();
    EXPECT_EQ(Image::fromData(corrupt, 1, &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(kImageErrorDomain, kImageDamaged)) << error->description();
    EXPECT_NE(error->message.find("Corrupt JPEG data"), std::string::npos) << error->message;
    std::vector<uint8_t> garbage = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Image::fromData(garbage), nullptr);
    error.reset();
    EXPECT_EQ(Image::fromFile("/nonexistent/picture.png", 1, &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(kImageErrorDomain, kImageUnreadable)) << error->description();
}

namespace {
// A 128 x 128 JPEG of changing colours, so that its scan data is varied.
std::vector<uint8_t> encodeNoisyJpeg() {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = c.image_height = 128;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(128 * 3);
    uint32_t seed = 12345;
    while (c.next_scanline < c.image_height) {
        for (uint8_t& v : row) v = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
        JSAMPROW rp = row.data();
        jpeg_write_scanlines(&c, &rp, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> data(out, out + size);
    std::free(out);
    jpeg_destroy_compress(&c);
    return data;
}

// How many warnings the library itself gives decoding the data (as a plain
// reader that only counts them would), or -1 when it stops with an error.
int libraryWarnings(const std::vector<uint8_t>& data) {
    struct Counting {
        jpeg_error_mgr mgr;
        jmp_buf jump;
    } err;
    jpeg_decompress_struct d;
    d.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = [](j_common_ptr c) { longjmp(reinterpret_cast<Counting*>(c->err)->jump, 1); };
    err.mgr.output_message = [](j_common_ptr) {};
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        return -1;
    }
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, data.data(), (unsigned long)data.size());
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    std::vector<uint8_t> row(size_t(d.output_width) * size_t(d.output_components));
    while (d.output_scanline < d.output_height) {
        JSAMPROW rp = row.data();
        jpeg_read_scanlines(&d, &rp, 1);
    }
    jpeg_finish_decompress(&d);
    const int warnings = int(err.mgr.num_warnings);
    jpeg_destroy_decompress(&d);
    return warnings;
}
}  // namespace

// Scan data changed in its middle (not cut): where the library warns of
// corrupt data as it decodes, the picture is damaged, at full size and
// scaled alike, never a picture with a made-up part.
TEST_F(Images, CorruptScanDataIsDamaged) {
    const auto whole = encodeNoisyJpeg();
    ASSERT_EQ(libraryWarnings(whole), 0);
    size_t sos = 0;
    for (size_t k = 2; k + 1 < whole.size() && !sos; ++k)
        if (whole[k] == 0xFF && whole[k + 1] == 0xDA) sos = k;
    ASSERT_GT(sos, 0u);
    int tried = 0;
    for (size_t at = sos + 40; at + 80 < whole.size(); at += (whole.size() - sos) / 7) {
        std::vector<uint8_t> corrupt = whole;
        for (size_t k = at; k < at + 24; ++k) corrupt[k] = uint8_t(corrupt[k] ^ 0x5A);
        if (libraryWarnings(corrupt) <= 0) continue;
        ++tried;
        SCOPED_TRACE(at);
        for (int minimumSide : {0, 16}) {
            Image::DecodeOptions options;
            options.minimumSide = minimumSide;
            foundation::ErrorRef error;
            EXPECT_EQ(Image::fromData(corrupt, 1, &error, options), nullptr) << minimumSide;
            ASSERT_TRUE(error);
            EXPECT_TRUE(error->is(kImageErrorDomain, kImageDamaged)) << error->description();
        }
    }
    EXPECT_GT(tried, 0);
}

namespace {
// The data with the picture's size in its header replaced: a PNG's IHDR
// (with its check sum made good again) or a JPEG's start-of-frame.
std::vector<uint8_t> claimingSize(std::vector<uint8_t> data, uint32_t w, uint32_t h) {
    if (data[0] == 0x89) {
        for (int i = 0; i < 4; ++i)
            data[16 + i] = uint8_t(w >> (24 - 8 * i)), data[20 + i] = uint8_t(h >> (24 - 8 * i));
        uint32_t crc = uint32_t(::crc32(0, data.data() + 12, 17));
        for (int i = 0; i < 4; ++i) data[29 + i] = uint8_t(crc >> (24 - 8 * i));
        return data;
    }
    for (size_t k = 2; k + 9 < data.size(); ++k)
        if (data[k] == 0xFF && (data[k + 1] == 0xC0 || data[k + 1] == 0xC2)) {
            data[k + 5] = uint8_t(h >> 8), data[k + 6] = uint8_t(h);
            data[k + 7] = uint8_t(w >> 8), data[k + 8] = uint8_t(w);
            break;
        }
    return data;
}
}  // namespace

TEST_F(Images, HugePicturesAreRefusedBeforeTheirPixelsAreMade) {
    // A few kilobytes that claim 20000 x 20000 pixels (1.6 GB of pixels).
    auto png = claimingSize(quarters(8, 8)->encodePNG(), 20000, 20000);
    auto jpeg = claimingSize(encodeJpeg(64, 64, 30, 60, 90), 20000, 20000);
    for (const auto* data : {&png, &jpeg}) {
        foundation::ErrorRef error;
        EXPECT_EQ(Image::fromData(*data, 1, &error), nullptr);
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->is(kImageErrorDomain, kImageTooLarge)) << error->description();
        EXPECT_NE(error->message.find("20000 x 20000"), std::string::npos) << error->message;
        EXPECT_NE(error->message.find(std::to_string(Image::kMaxPixels)), std::string::npos) << error->message;
    }
    // Scaled by the decoder the JPEG would fit, but its data ends long
    // before 2500 x 2500 pixels: damaged, found at once.
    foundation::ErrorRef error;
    Image::DecodeOptions eighth;
    eighth.minimumSide = 640;
    EXPECT_EQ(Image::fromData(jpeg, 1, &error, eighth), nullptr);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(kImageErrorDomain, kImageDamaged)) << error->description();
    // One column past the limit is refused as well.
    error.reset();
    auto square = claimingSize(quarters(8, 8)->encodePNG(), 8193, 8192);
    EXPECT_EQ(Image::fromData(square, 1, &error), nullptr);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->is(kImageErrorDomain, kImageTooLarge)) << error->description();
}

TEST_F(Images, JpegsAreScaledWhileDecodingWhenTheCallerAllowsIt) {
    auto jpeg = encodeJpeg(1600, 1200, 200, 40, 90);
    struct {
        int minimumSide, w, h;
    } table[] = {{0, 1600, 1200}, {640, 1600, 1200}, {600, 800, 600}, {300, 400, 300}, {100, 200, 150}, {1, 200, 150}};
    for (const auto& row : table) {
        Image::DecodeOptions options;
        options.minimumSide = row.minimumSide;
        auto img = Image::fromData(jpeg, 1, nullptr, options);
        ASSERT_TRUE(img) << row.minimumSide;
        EXPECT_EQ(img->pixelWidth(), row.w) << row.minimumSide;
        EXPECT_EQ(img->pixelHeight(), row.h) << row.minimumSide;
        EXPECT_TRUE(pixelNear(*img, row.w / 2, row.h / 2, {200, 40, 90, 255}, 4)) << row.minimumSide;
    }
}

TEST_F(Images, NamedPicturesPreferDoubleScaleOnScaleTwoScreens) {
    std::string dir = testsupport::tempDir("bundle");
    writeBytes(dir + "/arrow.png", quarters(4, 4)->encodePNG());
    writeBytes(dir + "/arrow@2x.png", quarters(8, 8)->encodePNG());
    writeBytes(dir + "/photo.jpg", encodeJpeg(6, 6, 0, 0, 255));
    setenv("QUENTA_BUNDLE", dir.c_str(), 1);

    auto one = Image::named("arrow");
    ASSERT_TRUE(one);
    EXPECT_EQ(one->scale(), 1);
    EXPECT_EQ(one->size(), (Size{4, 4}));
    EXPECT_EQ(Image::named("arrow.png"), one) << "cached under the screen scale";

    Screen::main().setScale(2);
    auto two = Image::named("arrow.png");
    ASSERT_TRUE(two);
    EXPECT_EQ(two->scale(), 2);
    EXPECT_EQ(two->pixelWidth(), 8);
    EXPECT_EQ(two->size(), (Size{4, 4}));

    auto photo = Image::named("photo.jpg");
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->scale(), 1);
    EXPECT_EQ(Image::named("missing"), nullptr);
    EXPECT_EQ(Image::named(""), nullptr);
    unsetenv("QUENTA_BUNDLE");
}

TEST_F(Images, OrientationTurnsTheDrawing) {
    auto img = quarters(4, 2);  // red left, green right on top; 4x2
    struct Case {
        ImageOrientation o;
        Size size;
        Point redAt;  // where the red (top-left) quarter lands, in a 4-wide or 2-wide target
    };
    std::vector<Case> cases = {
        {ImageOrientation::Up, {4, 2}, {0, 0}},         {ImageOrientation::Down, {4, 2}, {3, 1}},
        {ImageOrientation::UpMirrored, {4, 2}, {3, 0}}, {ImageOrientation::Left, {2, 4}, {0, 3}},
        {ImageOrientation::Right, {2, 4}, {1, 0}},
    };
    for (auto& c : cases) {
        auto turned = img->withScale(1, c.o);
        EXPECT_EQ(turned->size(), c.size);
        auto ctx = GraphicsContext::createBitmap(int(c.size.width), int(c.size.height));
        ctx->drawImage(*turned, {{0, 0}, c.size});
        auto out = ctx->makeImage();
        EXPECT_TRUE(pixelNear(*out, int(c.redAt.x), int(c.redAt.y), {255, 0, 0, 255}, 30))
            << "orientation " << int(c.o);
    }
}

TEST_F(Images, StretchableImagesKeepTheirCaps) {
    // 5x5: a 2-pixel red frame around a single blue pixel.
    std::vector<uint8_t> rgba(5 * 5 * 4, 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            uint8_t* p = rgba.data() + (y * 5 + x) * 4;
            bool middle = x == 2 && y == 2;
            p[middle ? 2 : 0] = 255;
            p[3] = 255;
        }
    auto base = Image::fromRgba(5, 5, rgba.data());
    auto s = base->stretchable(2, 2);
    EXPECT_TRUE(s->isStretchable());
    EXPECT_EQ(s->capInsets(), (EdgeInsets{2, 2, 2, 2}));
    auto ctx = GraphicsContext::createBitmap(40, 20);
    ctx->drawImage(*s, {0, 0, 40, 20});
    auto out = ctx->makeImage();
    EXPECT_TRUE(pixelNear(*out, 0, 0, {255, 0, 0, 255}, 0));
    EXPECT_TRUE(pixelNear(*out, 1, 10, {255, 0, 0, 255}, 0));   // left cap keeps 2 px
    EXPECT_TRUE(pixelNear(*out, 20, 10, {0, 0, 255, 255}, 0));  // the middle pixel stretched
    EXPECT_TRUE(pixelNear(*out, 38, 10, {255, 0, 0, 255}, 0));
    EXPECT_TRUE(pixelNear(*out, 10, 3, {0, 0, 255, 255}, 0));  // just inside the top cap: middle colour
    // A zero cap stretches that whole direction.
    auto wide = base->stretchable(0, 2);
    EXPECT_EQ(wide->capInsets().left, 0);
    EXPECT_EQ(wide->capInsets().right, 0);
}
