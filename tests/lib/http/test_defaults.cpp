// Defaults, small helpers and the decompressor.
#include <gtest/gtest.h>

#include <fstream>

#include "lib/http/HttpDataDecompressor.h"
#include "lib/http/HttpRequest.h"
#include "platform/foundation/Device.h"
#include "tests/support/TestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;

TEST(HttpDefaults, NewRequestHasTheDocumentedDefaults) {
    auto r = HttpRequest::requestWithURL("http://127.0.0.1/");
    EXPECT_EQ(HttpRequest::defaultTimeOutSeconds(), 10.0);
    EXPECT_EQ(r->timeOutSeconds(), 10.0);
    EXPECT_EQ(r->requestMethod(), "GET");
    EXPECT_EQ(r->defaultResponseEncoding(), kISOLatin1StringEncoding);
    EXPECT_EQ(r->persistentConnectionTimeoutSeconds(), 60.0);
    EXPECT_TRUE(r->allowCompressedResponse());
    EXPECT_TRUE(r->shouldWaitToInflateCompressedResponses());
    EXPECT_TRUE(r->shouldAttemptPersistentConnection());
    EXPECT_TRUE(r->validatesSecureCertificate());
    EXPECT_FALSE(r->useHTTPVersionOne());
    EXPECT_EQ(r->runLoopMode(), foundation::kDefaultMode);
    HttpRequest::setDefaultTimeOutSeconds(3.5);
    EXPECT_EQ(HttpRequest::requestWithURL("http://h/")->timeOutSeconds(), 3.5);
    HttpRequest::setDefaultTimeOutSeconds(10.0);

    // POST (or a body) turns connection reuse off.
    auto post = HttpRequest::requestWithURL("http://h/");
    post->setRequestMethod("POST");
    EXPECT_FALSE(post->shouldAttemptPersistentConnection());
}

TEST(HttpDefaults, UserAgentIsBuiltFromTheAppAndDeviceFacts) {
    EXPECT_EQ(HttpRequest::buildUserAgentString("Quenta", "3.0.0", "3.0.0", "iPhone", "iPhone OS", "6.1", "zh_CN"),
              "Quenta 3.0.0 (iPhone; iPhone OS 6.1; zh_CN)");
    EXPECT_EQ(HttpRequest::buildUserAgentString("Quenta", "3.0.0", "12", "m", "s", "v", "l"),
              "Quenta 3.0.0 rv:12 (m; s v; l)");
    EXPECT_EQ(HttpRequest::buildUserAgentString("Quenta", "", "12", "m", "s", "v", "l"), "Quenta 12 (m; s v; l)");
    EXPECT_FALSE(HttpRequest::buildUserAgentString("", "1", "1", "m", "s", "v", "l"));
    // A Chinese name goes out as its UTF-8 bytes, one byte per character.
    auto ua = HttpRequest::buildUserAgentString("禾盾", "3.0.0", "3.0.0", "m", "s", "v", "l");
    ASSERT_TRUE(ua);
    EXPECT_EQ(ua->substr(0, 6), "\xE7\xA6\xBE\xE7\x9B\xBE");

    // The default comes from the device facts, once.
    const auto& d = foundation::device();
    EXPECT_EQ(HttpRequest::defaultUserAgentString(), d.appName + " " + d.appVersion + " (" + d.model + "; " +
                                                         d.systemName + " " + d.systemVersion + "; " + d.locale + ")");

    // A request with its own agent sends that one.
    testnet::LoopbackHttpServer server;
    server.on("/ua", [](auto&) { return std::vector{testnet::send(testnet::response(200, {}, ""))}; });
    auto r = HttpRequest::requestWithURL(server.url("/ua"));
    r->setUserAgentString(std::string("Mine/1"));
    r->startSynchronous();
    EXPECT_EQ(*server.requests().back().headers.get("User-Agent"), "Mine/1");
}

TEST(HttpDefaults, Base64DatesContentTypesAndMimeTypes) {
    const std::pair<std::string, std::string> b64[] = {
        {"", ""}, {"a", "YQ=="}, {"ab", "YWI="}, {"abc", "YWJj"}, {"\xff\xfe\xfd\xfc", "//79/A=="}};
    for (const auto& [in, out] : b64) EXPECT_EQ(HttpRequest::base64forData(Bytes(in.begin(), in.end())), out);

    const std::pair<const char*, std::optional<double>> dates[] = {
        {"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
        {"06 Nov 1994 08:49 GMT", 784111740},
        {"Sun, 06 Nov 1994 08:49 GMT", 784111740},
        {"06 Nov 1994 08:49:37 +0100", 784108177},
        {"Sunday, 06-Nov-94 08:49:37 GMT", std::nullopt},
        {"Sun Nov  6 08:49:37 1994", std::nullopt},
        {"", std::nullopt},
        {"06 Foo 1994 08:49 GMT", std::nullopt},
    };
    for (const auto& [text, expected] : dates) EXPECT_EQ(HttpRequest::dateFromRFC1123String(text), expected) << text;

    auto html = HttpRequest::parseMimeType(std::string("text/html; charset=utf-8"));
    EXPECT_EQ(html.mimeType, "text/html");
    EXPECT_EQ(html.encoding, kUTF8StringEncoding);
    auto plain = HttpRequest::parseMimeType(std::string(" text/plain "));
    EXPECT_EQ(plain.mimeType, "text/plain");
    EXPECT_FALSE(plain.encoding);
    EXPECT_FALSE(HttpRequest::parseMimeType(std::string("text/plain; charset=klingon")).encoding);
    EXPECT_EQ(HttpRequest::parseMimeType(std::string("text/plain; charset=\"GB2312\"; x=y")).encoding,
              kEUCCNStringEncoding);
    EXPECT_FALSE(HttpRequest::parseMimeType(std::nullopt).mimeType);

    std::string dir = testsupport::tempDir("mime");
    for (const char* name : {"a.png", "b.HTML", "c.unknownext", "noext"}) std::ofstream(dir + "/" + name) << "x";
    EXPECT_EQ(HttpRequest::mimeTypeForFileAtPath(dir + "/a.png"), "image/png");
    EXPECT_EQ(HttpRequest::mimeTypeForFileAtPath(dir + "/b.HTML"), "text/html");
    EXPECT_EQ(HttpRequest::mimeTypeForFileAtPath(dir + "/c.unknownext"), "application/octet-stream");
    EXPECT_EQ(HttpRequest::mimeTypeForFileAtPath(dir + "/noext"), "application/octet-stream");
    EXPECT_FALSE(HttpRequest::mimeTypeForFileAtPath(dir + "/missing.png"));
}

TEST(HttpDataDecompressor, InflatesGzipAndZlibAndRefusesCorruptOrCutData) {
    const std::string text(100000, 'q');
    std::string gz = testnet::gzip(text);
    HttpErrorRef error;
    auto out = HttpDataDecompressor::uncompressData(Bytes(gz.begin(), gz.end()), error);
    EXPECT_EQ(error, nullptr);
    ASSERT_TRUE(out);
    EXPECT_EQ(std::string(out->begin(), out->end()), text);

    // zlib-wrapped: 78 9C header ("abc").
    const Bytes zlibAbc = {0x78, 0x9c, 0x4b, 0x4c, 0x4a, 0x06, 0x00, 0x02, 0x4d, 0x01, 0x27};
    out = HttpDataDecompressor::uncompressData(zlibAbc, error);
    ASSERT_TRUE(out) << (error ? error->localizedDescription : "");
    EXPECT_EQ(std::string(out->begin(), out->end()), "abc");

    const Bytes corrupt = {0x1f, 0x8b, 0x08, 0x00, 0xff, 0xff, 0xff, 0xff, 0x00, 0x03, 0xff, 0xff, 0xff};
    EXPECT_FALSE(HttpDataDecompressor::uncompressData(corrupt, error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, kCompressionError);
    EXPECT_EQ(error->localizedDescription, "Decompression of data failed with code -3");

    // Cut short: not passed off as the whole text.
    EXPECT_FALSE(HttpDataDecompressor::uncompressData(Bytes(gz.begin(), gz.begin() + long(gz.size() / 2)), error));
    EXPECT_TRUE(error);

    // Block by block: the pieces join into the text.
    auto d = HttpDataDecompressor::decompressor();
    std::string joined;
    for (size_t i = 0; i < gz.size(); i += 7) {
        auto piece = d->uncompressBytes(reinterpret_cast<const uint8_t*>(gz.data()) + i,
                                        std::min<size_t>(7, gz.size() - i), error);
        ASSERT_EQ(error, nullptr);
        if (piece) joined.append(piece->begin(), piece->end());
    }
    EXPECT_TRUE(d->streamEnded());
    EXPECT_EQ(joined, text);

    // Files.
    std::string dir = testsupport::tempDir("inflate");
    std::ofstream(dir + "/in.gz", std::ios::binary) << gz;
    EXPECT_TRUE(HttpDataDecompressor::uncompressDataFromFile(dir + "/in.gz", dir + "/out", error));
    std::ifstream result(dir + "/out", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(result), {}), text);
    EXPECT_FALSE(HttpDataDecompressor::uncompressDataFromFile(dir + "/missing.gz", dir + "/out2", error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription, "Decompression of " + dir + "/missing.gz failed the file does not exist");
}
