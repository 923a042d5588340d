// The session credential stores and the credential store with its file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/foundation/Encoding.h"
#include "platform/foundation/Paths.h"
#include "tests/support/http/ClientTestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;
using testnet::LoopbackHttpServer;

namespace {

SessionCredentialsRef entry(const std::string& url, const std::string& user, std::optional<std::string> realm = {},
                            net::CredentialsRef credentials = nullptr) {
    auto e = std::make_shared<SessionCredentials>();
    e->credentials = credentials
                         ? credentials
                         : std::make_shared<net::Credentials>(net::Credentials{user, "pw-" + user, std::nullopt});
    e->url = net::Url::parse(url);
    e->authenticationScheme = "Basic";
    e->authenticationRealm = std::move(realm);
    return e;
}

class SessionStore : public ::testing::Test {};

}  // namespace

TEST_F(SessionStore, EntriesAreKeptByCredentialsIdentity) {
    auto shared = std::make_shared<net::Credentials>(net::Credentials{"u", "p", std::nullopt});
    HttpRequest::storeAuthenticationCredentialsInSessionStore(entry("http://h/a", "u", {}, shared));
    HttpRequest::storeAuthenticationCredentialsInSessionStore(entry("http://h/b", "u", {}, shared));
    ASSERT_EQ(HttpRequest::sessionCredentialsStore().size(), 1u);
    EXPECT_EQ(HttpRequest::sessionCredentialsStore()[0]->url->absoluteString(), "http://h/b");
    auto equalCopy = std::make_shared<net::Credentials>(*shared);
    HttpRequest::storeAuthenticationCredentialsInSessionStore(entry("http://h/a", "u", {}, equalCopy));
    EXPECT_EQ(HttpRequest::sessionCredentialsStore().size(), 2u);
    HttpRequest::removeAuthenticationCredentialsFromSessionStore(std::make_shared<net::Credentials>(*shared));
    EXPECT_EQ(HttpRequest::sessionCredentialsStore().size(), 2u);  // equal is not the same
    HttpRequest::removeAuthenticationCredentialsFromSessionStore(shared);
    ASSERT_EQ(HttpRequest::sessionCredentialsStore().size(), 1u);
    EXPECT_EQ(HttpRequest::sessionCredentialsStore()[0]->credentials, equalCopy);
}

TEST_F(SessionStore, LookupPrefersAnExactUrlThenTheFirstCloseMatch) {
    HttpRequest::storeAuthenticationCredentialsInSessionStore(entry("http://h:8080/one", "first", "realm-a"));
    HttpRequest::storeAuthenticationCredentialsInSessionStore(entry("http://h:8080/two", "second", "realm-b"));
    HttpRequest::storeAuthenticationCredentialsInSessionStore(entry("http://h:8080/page", "exact", "realm-b"));
    HttpRequest::storeAuthenticationCredentialsInSessionStore(entry("https://h:8080/x", "other-scheme"));
    struct Row {
        const char* url;
        std::optional<std::string> realm;
        std::optional<std::string> user;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"http://h:8080/page", {}, {}, "exact"},
        {"http://h:8080/elsewhere", {}, {}, "first"},
        {"http://h:8080/elsewhere", "realm-b", {}, "second"},
        {"http://h:8080/page", "realm-a", {}, "first"},  // the exact entry names another realm
        {"http://h:8080/elsewhere", {}, "second", "second"},
        {"http://h:9090/page", {}, {}, std::nullopt},
        {"http://h/page", {}, {}, std::nullopt},
        {"https://h:8080/y", {}, {}, "other-scheme"},
        // Every entry of that host names another realm (the one without a
        // realm is of another scheme).
        {"http://h:8080/elsewhere", "realm-c", {}, std::nullopt},
    };
    for (const Row& row : rows) {
        auto r = HttpRequest::requestWithURL(row.url);
        r->setAuthenticationRealm(row.realm);
        if (row.user) {
            r->setUsername(*row.user);
            r->setPassword("pw-" + *row.user);
        }
        auto found = r->findSessionAuthenticationCredentials();
        std::optional<std::string> got;
        if (found) got = found->credentials->username;
        EXPECT_EQ(got, row.expected) << row.url << " " << row.realm.value_or("-");
    }
}

TEST_F(SessionStore, ClearSessionKeepsProxyCredentials) {
    auto proxy = std::make_shared<SessionCredentials>();
    proxy->credentials = std::make_shared<net::Credentials>(net::Credentials{"p", "q", std::nullopt});
    proxy->host = "proxy.local";
    proxy->port = 3128;
    proxy->authenticationScheme = "Basic";
    HttpRequest::storeProxyAuthenticationCredentialsInSessionStore(proxy);
    HttpRequest::storeAuthenticationCredentialsInSessionStore(entry("http://h/a", "u"));
    HttpRequest::clearSession();
    EXPECT_TRUE(HttpRequest::sessionCredentialsStore().empty());
    auto r = HttpRequest::requestWithURL("http://h/a");
    r->setProxyHost("proxy.local");
    r->setProxyPort(3128);
    auto found = r->findSessionProxyAuthenticationCredentials();
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->credentials, proxy->credentials);
    r->setProxyPort(8080);
    EXPECT_EQ(r->findSessionProxyAuthenticationCredentials(), nullptr);
}

TEST(CredentialStore, PermanentCredentialsGoToAUserOnlyFile) {
    auto& storage = net::CredentialStorage::shared();
    storage.resetMemory();
    net::UrlCredential permanent{"alice", "tab\there%", net::CredentialPersistence::Permanent};
    HttpRequest::saveCredentials(permanent, "example.org", 8443, "https", std::string("realm"));
    const std::string path = net::CredentialStorage::storeFilePath();
    EXPECT_EQ(path, foundation::homeDir() + "/Library/Credentials/credentials");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Read back from the file alone.
    storage.resetMemory();
    auto found = HttpRequest::savedCredentialsForHost("example.org", 8443, "https", std::string("realm"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->user, "alice");
    EXPECT_EQ(found->password, "tab\there%");
    EXPECT_FALSE(HttpRequest::savedCredentialsForHost("example.org", 8443, "https", std::string("other")));
    EXPECT_FALSE(HttpRequest::savedCredentialsForHost("example.org", 443, "https", std::string("realm")));

    // A session credential lives in memory only.
    net::UrlCredential session{"bob", "pw", net::CredentialPersistence::ForSession};
    HttpRequest::saveCredentials(session, "proxy.local", 3128, std::nullopt);
    EXPECT_EQ(HttpRequest::savedCredentialsForProxy("proxy.local", 3128, "http", std::nullopt)->user, "bob");
    auto text = foundation::readFile(path);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->find("bob"), std::string::npos);
    storage.resetMemory();
    EXPECT_FALSE(HttpRequest::savedCredentialsForProxy("proxy.local", 3128, "http", std::nullopt));

    HttpRequest::removeCredentialsForHost("example.org", 8443, "https", std::string("realm"));
    EXPECT_FALSE(HttpRequest::savedCredentialsForHost("example.org", 8443, "https", std::string("realm")));
}

TEST(CredentialStore, KeychainPersistenceSavesAcceptedCredentialsAndFindsThemLater) {
    LoopbackHttpServer server;
    const std::string expected = "Basic " + foundation::base64Encode("kim:pw");
    server.on("/k", [&](const testnet::ServerRequest& q) {
        const std::string* a = q.headers.get("Authorization");
        if (a && *a == expected) return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "in"))};
        return std::vector<testnet::Action>{
            testnet::send(testnet::response(401, {{"WWW-Authenticate", "Basic realm=\"k\""}}, ""))};
    });
    auto first = HttpRequest::requestWithURL(server.url("/k"));
    first->setUsername("kim");
    first->setPassword("pw");
    first->setUseKeychainPersistence(true);
    first->startSynchronous();
    EXPECT_EQ(first->responseString(), "in");
    auto saved = HttpRequest::savedCredentialsForHost("127.0.0.1", server.port(), "http", std::string("k"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->user, "kim");

    HttpRequest::clearSession();
    auto later = HttpRequest::requestWithURL(server.url("/k"));
    later->setUseKeychainPersistence(true);
    later->startSynchronous();
    EXPECT_EQ(later->responseString(), "in");

    HttpRequest::clearSession();
    auto without = HttpRequest::requestWithURL(server.url("/k"));
    without->startSynchronous();
    ASSERT_NE(without->error(), nullptr);
    EXPECT_EQ(without->error()->code, kAuthenticationErrorType);
}
