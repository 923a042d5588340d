// HttpRequest over https: certificate checks, the loose settings, client
// identities and the "SSL problem" text of TLS failures.
#include <gtest/gtest.h>

#include <cerrno>

#include "lib/http/ConnectionFailure.h"
#include "lib/http/HttpRequest.h"
#include "platform/net/TlsSession.h"
#include "tests/support/net/ProxyTlsFixtures.h"

using namespace http;
using testnet::testCertificates;

namespace {

const std::string kSslText =
    "A connection failure occurred: SSL problem (Possible causes may include a bad/expired/self-signed "
    "certificate, clock set to wrong date)";

std::string okReply(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

class TlsRequestTest : public ::testing::Test {
protected:
    void SetUp() override { net::TlsSession::addTrustedRootsFile(testCertificates().ca); }
};

}  // namespace

TEST_F(TlsRequestTest, TrustedServerAnswersAndSelfSignedOneFailsWithTheSslText) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer good(c.serverCert, c.serverKey, [](const testnet::TlsRequest&) { return okReply("fine"); });
    auto r = HttpRequest::requestWithURL(good.url("localhost", "/x"));
    r->startSynchronous();
    ASSERT_FALSE(r->error()) << r->error()->message;
    EXPECT_EQ(r->responseString(), "fine");

    testnet::TlsHttpServer self(c.selfCert, c.selfKey, [](const testnet::TlsRequest&) { return okReply("x"); });
    auto bad = HttpRequest::requestWithURL(self.url("localhost", "/x"));
    bad->startSynchronous();
    ASSERT_TRUE(bad->error());
    EXPECT_EQ(bad->error()->code, kConnectionFailureErrorType);
    EXPECT_EQ(bad->error()->message, kSslText);
    ASSERT_TRUE(bad->error()->underlying);
    EXPECT_EQ(bad->error()->underlying->domain, "TLS");
    EXPECT_EQ(bad->error()->underlying->code, net::kTlsNoRootCert);
    EXPECT_TRUE(self.requests().empty());
}

TEST_F(TlsRequestTest, WithoutValidationASelfSignedCertificateIsAccepted) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer self(c.selfCert, c.selfKey, [](const testnet::TlsRequest&) { return okReply("loose"); });
    auto r = HttpRequest::requestWithURL(self.url("localhost", "/"));
    r->setValidatesSecureCertificate(false);
    r->startSynchronous();
    ASSERT_FALSE(r->error()) << r->error()->message;
    EXPECT_EQ(r->responseString(), "loose");
}

TEST_F(TlsRequestTest, ClientIdentityIsSentAndBringsValidationBack) {
    const auto& c = testCertificates();
    auto identity = net::TlsIdentity::fromPKCS12(c.clientP12, "test");
    ASSERT_TRUE(identity);
    testnet::TlsHttpServer server(
        c.serverCert, c.serverKey, [](const testnet::TlsRequest& q) { return okReply(q.clientSubject); }, c.ca, true);
    auto r = HttpRequest::requestWithURL(server.url("localhost", "/id"));
    r->setClientCertificateIdentity(identity);
    r->startSynchronous();
    ASSERT_FALSE(r->error()) << r->error()->message;
    EXPECT_NE(r->responseString()->find("Quenta Test Client"), std::string::npos);

    // Validation off plus an identity: the identity's settings replace the
    // loose ones, so a self-signed server is refused again.
    testnet::TlsHttpServer self(
        c.selfCert, c.selfKey, [](const testnet::TlsRequest&) { return okReply("x"); }, c.ca);
    auto strict = HttpRequest::requestWithURL(self.url("localhost", "/"));
    strict->setValidatesSecureCertificate(false);
    strict->setClientCertificateIdentity(identity);
    strict->startSynchronous();
    ASSERT_TRUE(strict->error());
    EXPECT_EQ(strict->error()->message, kSslText);
}

TEST_F(TlsRequestTest, SequentialRequestsShareOneKeptConnectionForTheSameSettings) {
    const auto& c = testCertificates();
    testnet::TlsHttpServer server(c.serverCert, c.serverKey, [](const testnet::TlsRequest& q) {
        std::string body = std::to_string(q.connection) + "/" + std::to_string(q.indexOnConnection);
        return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    });
    server.setKeepAlive(true);
    std::optional<int> record;
    for (const char* expected : {"1/1", "1/2", "1/3"}) {
        auto r = HttpRequest::requestWithURL(server.url("localhost", "/seq"));
        r->startSynchronous();
        ASSERT_FALSE(r->error()) << r->error()->message;
        EXPECT_EQ(r->responseString(), expected);
        if (record) {
            EXPECT_EQ(r->connectionID(), record);
        }
        record = r->connectionID();
    }
    // Loose checks are a connection of their own, never one checked strictly.
    auto loose = HttpRequest::requestWithURL(server.url("localhost", "/seq"));
    loose->setValidatesSecureCertificate(false);
    loose->startSynchronous();
    ASSERT_FALSE(loose->error()) << loose->error()->message;
    EXPECT_EQ(loose->responseString(), "2/1");
    EXPECT_EQ(server.connectionCount(), 2);
}

TEST(ConnectionFailureText, OnlyTheSecureTransportRangeGetsTheSslHint) {
    struct Case {
        net::StreamError error;
        bool ssl;
    } cases[] = {
        {net::StreamError::tls(-9813, "x"), true},    {net::StreamError::tls(-9800, "x"), true},
        {net::StreamError::tls(-9818, "x"), true},    {net::StreamError::tls(-9799, "x"), false},
        {net::StreamError::tls(-9819, "x"), false},   {net::StreamError::network(-9813, "x"), false},
        {net::StreamError::posix(ECONNRESET), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(connectionFailureReason(c.error), c.ssl ? kSslText : "A connection failure occurred") << c.error.code;
}
