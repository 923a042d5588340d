// The login sheet shown by a real request that a server challenges.
#include <gtest/gtest.h>

#include "lib/httpauth/HttpRequestAuthentication.h"
#include "platform/foundation/Encoding.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tests/support/http/ClientTestSupport.h"
#include "tests/support/net/LoopbackHttpServer.h"

using namespace http;

namespace {

TEST(RequestDialog, AnUnansweredChallengeShowsTheSheetAndItsLoginCompletesTheRequest) {
    ui::Application::shared().reset();
    auto window = ui::Window::create({0, 0, 320, 480});
    window->makeKeyAndVisible();
    installAuthenticationDialog();

    testnet::LoopbackHttpServer server;
    const std::string expected = "Basic " + foundation::base64Encode("user:pass");
    server.on("/private", [expected](const testnet::ServerRequest& q) {
        const std::string* a = q.headers.get("Authorization");
        if (a && *a == expected)
            return std::vector<testnet::Action>{testnet::send(testnet::response(200, {}, "welcome"))};
        return std::vector<testnet::Action>{
            testnet::send(testnet::response(401, {{"WWW-Authenticate", "Basic realm=\"quenta\""}}, "who"))};
    });

    clienttest::Recorder rec;
    auto request = HttpRequest::requestWithURL(server.url("/private"));
    request->setDelegate(&rec);
    request->setShouldPresentAuthenticationDialog(true);
    request->startAsynchronous();
    ASSERT_TRUE(clienttest::runMainUntil([] { return HttpAuthenticationDialog::currentDialog() != nullptr; }));
    EXPECT_FALSE(rec.ended());

    HttpAuthenticationDialog* dialog = HttpAuthenticationDialog::currentDialog();
    dialog->usernameField()->setText("user");
    dialog->passwordField()->setText("pass");
    dialog->loginWithCredentialsFromDialog();
    ASSERT_TRUE(clienttest::runMainUntil([&] { return rec.ended(); }));
    EXPECT_EQ(rec.finished, 1);
    EXPECT_EQ(request->responseString(), "welcome");

    // A request whose flag is off fails at once with "Authentication needed".
    clienttest::Recorder plain;
    auto other = HttpRequest::requestWithURL(server.url("/private"));
    other->setDelegate(&plain);
    other->setUseSessionPersistence(false);
    other->startAsynchronous();
    ASSERT_TRUE(clienttest::runMainUntil([&] { return plain.ended(); }));
    ASSERT_TRUE(other->error());
    EXPECT_EQ(other->error()->code, 3);
}

}  // namespace
