// HttpSession: the state all requests share goes back to its first state on
// reset, as between test cases.
#include <gtest/gtest.h>

#include "lib/http/HttpRequest.h"
#include "lib/http/HttpSession.h"
#include "platform/foundation/Resetters.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;

TEST(HttpSession, ResetClosesKeptConnectionsAndEmptiesTheStores) {
    testnet::LoopbackHttpServer server;
    server.on("/k", [](const testnet::ServerRequest&) {
        return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "k"))};
    });
    auto r = HttpRequest::requestWithURL(server.url("/k"));
    r->startSynchronous();
    ASSERT_FALSE(r->error());
    auto entry = std::make_shared<SessionCredentials>();
    entry->credentials = std::make_shared<net::Credentials>(net::Credentials{"u", "p", std::nullopt});
    entry->url = r->url();
    HttpRequest::storeAuthenticationCredentialsInSessionStore(entry);
    auto proxyEntry = std::make_shared<SessionCredentials>(*entry);
    proxyEntry->credentials = std::make_shared<net::Credentials>(net::Credentials{"pu", "pp", std::nullopt});
    HttpRequest::storeProxyAuthenticationCredentialsInSessionStore(proxyEntry);
    HttpRequest::setMaxBandwidthPerSecond(1000);
    auto poolHasServer = [&] {
        for (const auto& record : HttpRequest::connectionPoolSnapshot())
            if (record.port == server.port()) return true;
        return false;
    };
    ASSERT_TRUE(poolHasServer());
    EXPECT_EQ(server.finishedConnectionCount(), 0);

    auto names = foundation::registeredResetters();
    EXPECT_NE(std::find(names.begin(), names.end(), "http.session"), names.end());
    HttpSession::shared().reset();

    EXPECT_FALSE(poolHasServer());
    EXPECT_TRUE(server.waitForFinishedConnections(1));  // the kept connection was closed
    EXPECT_TRUE(HttpRequest::sessionCredentialsStore().empty());
    EXPECT_TRUE(HttpRequest::sessionProxyCredentialsStore().empty());
    EXPECT_EQ(HttpRequest::maxBandwidthPerSecond(), 0u);
    EXPECT_FALSE(HttpRequest::isBandwidthThrottled());

    // The next request makes a connection of its own.
    auto again = HttpRequest::requestWithURL(server.url("/k"));
    again->startSynchronous();
    ASSERT_FALSE(again->error());
    EXPECT_EQ(server.connectionCount(), 2);
}
