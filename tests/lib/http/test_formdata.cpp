// HttpFormDataRequest: the exact URL-encoded and multipart bodies the server
// receives, escaping, files from disk and a missing file.
#include <gtest/gtest.h>

#include <fstream>

#include "lib/http/HttpFormDataRequest.h"
#include "tests/support/TestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;

namespace {

class FormDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.on("/form", [](const testnet::ServerRequest&) {
            return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "ok"))};
        });
    }
    // Sends the request and returns what the server received.
    testnet::ServerRequest send(const HttpFormDataRequestRef& r) {
        r->startSynchronous();
        EXPECT_FALSE(r->error()) << r->error()->localizedDescription;
        EXPECT_EQ(server.requests().size(), 1u);
        return server.requests().empty() ? testnet::ServerRequest{} : server.requests().back();
    }
    std::string boundaryOf(const testnet::ServerRequest& q) {
        const std::string* type = q.headers.get("Content-Type");
        EXPECT_TRUE(type);
        std::string prefix = "multipart/form-data; charset=utf-8; boundary=";
        EXPECT_EQ(type->rfind(prefix, 0), 0u) << *type;
        return type->substr(prefix.size());
    }
    testnet::LoopbackHttpServer server;
};

}  // namespace

TEST_F(FormDataTest, UrlEncodedBodyEscapesAllButLettersDigitsAndThreeMarks) {
    auto r = HttpFormDataRequest::requestWithURL(server.url("/form"));
    r->addPostValue(foundation::Value("x y"), "a");
    r->addPostValue(foundation::Value("~&=+"), "b&c");
    r->addPostValue(foundation::Value("\xE7\xA6\xBE-._"), "c");
    r->addPostValue(foundation::Value(42), "n");
    auto q = send(r);
    EXPECT_EQ(q.method, "POST");
    EXPECT_EQ(*q.headers.get("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(q.body, "a=x%20y&b%26c=%7E%26%3D%2B&c=%E7%A6%BE-._&n=42");
}

TEST_F(FormDataTest, SettingAValueReplacesEveryEntryOfItsKey) {
    auto r = HttpFormDataRequest::requestWithURL(server.url("/form"));
    for (const char* v : {"1", "2", "3"}) r->addPostValue(foundation::Value(v), "k");
    r->addPostValue(foundation::Value("other"), "o");
    r->setPostValue(foundation::Value("4"), "k");
    auto values = r->postData();
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 2u);
    EXPECT_EQ(values->at(1).key, "k");
    EXPECT_EQ(values->at(1).value, "4");
    EXPECT_EQ(send(r).body, "o=other&k=4");
}

TEST_F(FormDataTest, EmptyValueListSendsAnEmptyFormBody) {
    auto r = HttpFormDataRequest::requestWithURL(server.url("/form"));
    r->setPostData(std::vector<HttpFormDataRequest::PostValue>{});
    auto q = send(r);
    EXPECT_EQ(q.body, "");
    EXPECT_EQ(*q.headers.get("Content-Type"), "application/x-www-form-urlencoded; charset=utf-8");
}

TEST_F(FormDataTest, MultipartBodyIsExact) {
    auto r = HttpFormDataRequest::requestWithURL(server.url("/form"));
    r->addPostValue(foundation::Value(1), "a");
    r->addData(Bytes{'x', 'y', 'z'}, "f");
    EXPECT_EQ(r->postFormat(), PostFormatURLEncoded);  // switched when built
    auto q = send(r);
    std::string b = boundaryOf(q);
    EXPECT_EQ(b.rfind("0xKhTmLbOuNdArY-", 0), 0u);
    EXPECT_EQ(q.body, "--" + b + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--" + b +
                          "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"file\"\r\n"
                          "Content-Type: application/octet-stream\r\n\r\nxyz\r\n--" +
                          b + "--\r\n");
    EXPECT_EQ(r->postFormat(), PostFormatMultipart);
}

TEST_F(FormDataTest, FilesComeFromDiskAndNamesCannotBreakOutOfTheirParameter) {
    std::string dir = testsupport::tempDir("form");
    std::string data(300000, 'q');
    data += "end";
    {
        std::ofstream f(dir + "/photo.png", std::ios::binary);
        f << data;
    }
    auto r = HttpFormDataRequest::requestWithURL(server.url("/form"));
    r->addFile(dir + "/photo.png", "pic\"\r\nX-Injected: yes");
    r->addData(std::string(dir + "/photo.png"), std::string("a\"b.txt"), std::string("text/plain\r\nX-Evil: 1"), "g");
    auto q = send(r);
    std::string b = boundaryOf(q);
    std::string expected = "--" + b +
                           "\r\nContent-Disposition: form-data; name=\"pic%22%0D%0AX-Injected: yes\"; "
                           "filename=\"photo.png\"\r\nContent-Type: image/png\r\n\r\n" +
                           data + "\r\n--" + b +
                           "\r\nContent-Disposition: form-data; name=\"g\"; filename=\"a%22b.txt\"\r\n"
                           "Content-Type: text/plain%0D%0AX-Evil: 1\r\n\r\n" +
                           data + "\r\n--" + b + "--\r\n";
    EXPECT_EQ(q.body.size(), expected.size());
    EXPECT_TRUE(q.body == expected);
    EXPECT_EQ(q.body.find("\r\nX-"), std::string::npos);
}

TEST_F(FormDataTest, MissingFileFailsTheRequest) {
    std::string dir = testsupport::tempDir("form");
    for (std::string path : {dir + "/absent.txt", dir}) {  // nothing there, and a folder
        auto r = HttpFormDataRequest::requestWithURL(server.url("/form"));
        r->addFile(path, "f");
        ASSERT_TRUE(r->fileData());
        EXPECT_EQ(r->fileData()->size(), 1u);  // kept all the same
        r->startSynchronous();
        ASSERT_TRUE(r->error());
        EXPECT_EQ(r->error()->code, 6);
        EXPECT_EQ(r->error()->localizedDescription, "No file exists at " + path);
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(FormDataTest, CopyKeepsTheFormAndTheRequestSettings) {
    auto r = HttpFormDataRequest::requestWithURL(server.url("/form"));
    r->addPostValue(foundation::Value("v"), "k");
    r->addData(Bytes{'d'}, "f");
    r->setPostFormat(PostFormatMultipart);
    r->setStringEncoding(kISOLatin1StringEncoding);
    r->setTag(7);
    r->setTimeOutSeconds(3.5);
    auto c = r->copyFormRequest();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->postData()->size(), 1u);
    EXPECT_EQ(c->fileData()->size(), 1u);
    EXPECT_EQ(c->postFormat(), PostFormatMultipart);
    EXPECT_EQ(c->stringEncoding(), kISOLatin1StringEncoding);
    EXPECT_EQ(c->tag(), 7);
    EXPECT_EQ(c->timeOutSeconds(), 3.5);
    EXPECT_EQ(c->requestMethod(), "POST");
    // The plain copy of a form request is a form request too.
    EXPECT_TRUE(std::dynamic_pointer_cast<HttpFormDataRequest>(r->copy()));
}
