// The request a refused start sends to the running instance, and both ends of the socket.

#include "platform/InstanceActivation.h"
#include "support/Command.h"

#include <QTest>
#include <atomic>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using platform::ActivationRequest;
using namespace std::chrono_literals;

TEST(ActivationRequest, TokensTravelAndComeBack) {
    const ActivationRequest cases[] = {
        {},
        {"wayland-token_1234", ""},
        {"", "launcher-77-host-prog-0_TIME1234"},
        {"a", "b"},
    };
    for (const ActivationRequest& request : cases) {
        auto read = platform::ParseActivationRequest(platform::FormatActivationRequest(request));
        ASSERT_TRUE(read);
        EXPECT_EQ(*read, request);
    }
}

TEST(ActivationRequest, ForeignOrBrokenTextIsNoRequest) {
    const std::string header = "TONEMENDER-ACTIVATE 1\n";
    const std::string cases[] = {
        "",
        "\n\n",
        "TONEMENDER-ACTIVATE 2\n\n",
        header, // never ended
        header + "TOKEN has space\n\n",
        header + "TOKEN \x01\x02\n\n",
        header + "TOKEN \n\n",
        header + "TOKEN " + std::string(600, 'a') + "\n\n",
        header + std::string(5000, 'x') + "\n\n",
        "GET / HTTP/1.0\r\n\r\n",
    };
    for (const std::string& text : cases) {
        EXPECT_FALSE(platform::ParseActivationRequest(text)) << text.substr(0, 60);
    }
    // Keys of later versions do not spoil a request.
    auto later = platform::ParseActivationRequest(header + "COLOUR blue\nTOKEN t\n\n");
    ASSERT_TRUE(later);
    EXPECT_EQ(later->activationToken, "t");
}

TEST(ActivationRequest, TokensComeFromTheEnvironmentWhenUsable) {
    setenv("XDG_ACTIVATION_TOKEN", "token-1", 1);
    setenv("DESKTOP_STARTUP_ID", "bad id with spaces", 1);
    ActivationRequest request = platform::ActivationRequestFromEnvironment();
    EXPECT_EQ(request.activationToken, "token-1");
    EXPECT_EQ(request.startupId, "");
    unsetenv("XDG_ACTIVATION_TOKEN");
    unsetenv("DESKTOP_STARTUP_ID");
    EXPECT_EQ(platform::ActivationRequestFromEnvironment(), ActivationRequest{});
}

// Runs body on its own thread while this one handles events; true when it ended in time.
bool RunWhilePumping(const std::function<void()>& body, int timeoutMs = 5000) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        body();
        done = true;
    });
    const bool ended = QTest::qWaitFor([&] { return done.load(); }, timeoutMs);
    worker.join();
    return ended;
}

TEST(ActivationSocket, TheRunningInstanceHearsTheRequestAndAnswers) {
    testing_support::ScratchDir dir("activation");
    const std::string path = dir.Path() + "/first.socket";
    std::vector<ActivationRequest> heard;
    platform::ActivationListener listener(
        [&](const ActivationRequest& request) { heard.push_back(request); });
    ASSERT_TRUE(listener.Listen(path));
    bool answered = false;
    ASSERT_TRUE(RunWhilePumping([&] {
        answered = platform::RequestActivation(path, {"tok", "sid"}, 2000ms);
    }));
    EXPECT_TRUE(answered);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0], (ActivationRequest{"tok", "sid"}));
}

TEST(ActivationSocket, AStaleSocketOfOursIsReplaced) {
    testing_support::ScratchDir dir("activation");
    const std::string path = dir.Path() + "/first.socket";
    // What a crashed instance leaves: a socket file nobody listens on.
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
    int heard = 0;
    platform::ActivationListener listener([&](const ActivationRequest&) { ++heard; });
    ASSERT_TRUE(listener.Listen(path));
    ASSERT_TRUE(RunWhilePumping([&] { platform::RequestActivation(path, {}, 2000ms); }));
    EXPECT_EQ(heard, 1);
}

TEST(ActivationSocket, SomethingElseAtThePathIsLeftAlone) {
    testing_support::ScratchDir dir("activation");
    const std::string path = dir.Path() + "/first.socket";
    std::ofstream(path) << "not a socket";
    platform::ActivationListener listener([](const ActivationRequest&) {});
    EXPECT_FALSE(listener.Listen(path));
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "not a socket");
}

TEST(ActivationSocket, NobodyListeningEndsWithinTheBound) {
    testing_support::ScratchDir dir("activation");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform::RequestActivation(dir.Path() + "/nobody.socket", {}, 300ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_FALSE(platform::RequestActivation(std::string(200, 'x'), {}, 300ms))
        << "a path too long for a socket";
}

TEST(ActivationSocket, GarbageFromAClientIsDroppedWithoutAHandlerCall) {
    testing_support::ScratchDir dir("activation");
    const std::string path = dir.Path() + "/first.socket";
    int heard = 0;
    platform::ActivationListener listener([&](const ActivationRequest&) { ++heard; });
    ASSERT_TRUE(listener.Listen(path));
    for (const std::string& garbage :
         {std::string("HELLO\n\n"), std::string(10000, 'z'), std::string("TONEMENDER")}) {
        ASSERT_TRUE(RunWhilePumping([&] {
            int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
            ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            send(fd, garbage.data(), garbage.size(), MSG_NOSIGNAL);
            // The listener hangs up on garbage, or on silence after a while.
            char reply[8];
            timeval wait{3, 0};
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            EXPECT_LE(recv(fd, reply, sizeof reply, 0), 0);
            close(fd);
        }));
    }
    EXPECT_EQ(heard, 0);
    // A proper request is still served afterwards.
    ASSERT_TRUE(RunWhilePumping([&] { platform::RequestActivation(path, {}, 2000ms); }));
    EXPECT_EQ(heard, 1);
}

} // namespace
