// The loopback test server itself: stopping it ends the connections its clients keep open between
// requests at once, and still answers a request that was held when stop came.
#include "LoopbackServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

// A plain client socket to 127.0.0.1:port; every read gives up after ten seconds.
class RawClient {
public:
    explicit RawClient(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
        timeval limit{10, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return connected_; }
    bool send(const std::string& text) {
        return ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size());
    }
    // Reads until `ending` has arrived, the peer closes or the read times out.
    std::string readUntil(const std::string& ending) {
        std::string received;
        char buffer[4096];
        while (received.find(ending) == std::string::npos) {
            ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            received.append(buffer, static_cast<size_t>(n));
        }
        return received;
    }
    // Whether the peer has closed: a read answers end of file (not a time-out).
    bool closedByPeer() {
        char byte;
        return ::recv(fd_, &byte, 1, 0) == 0;
    }

private:
    int fd_;
    bool connected_ = false;
};

std::string get(const std::string& path) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\n\r\n";
}

} // namespace

TEST(LoopbackServer, StopEndsIdleKeptConnectionsAtOnceAndAnswersAHeldRequest) {
    LoopbackServer server;
    server.server().Get("/hello", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("hello", "text/plain");
    });
    server.stall("/held");
    server.start();

    // One client keeps its connection after a reply, as an HTTP client's pool does.
    RawClient idle(server.port());
    ASSERT_TRUE(idle.connected());
    ASSERT_TRUE(idle.send(get("/hello")));
    EXPECT_NE(idle.readUntil("hello").find("200 OK"), std::string::npos);
    // Another waits for a reply the server holds.
    RawClient waiting(server.port());
    ASSERT_TRUE(waiting.connected());
    ASSERT_TRUE(waiting.send(get("/held")));
    ASSERT_TRUE(server.waitForStalled(1, 10));

    auto before = std::chrono::steady_clock::now();
    server.stop();
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();

    // The held request is answered in full before the connection closes.
    std::string reply = waiting.readUntil("{}");
    EXPECT_NE(reply.find("200 OK"), std::string::npos) << reply;
    EXPECT_NE(reply.find("{}"), std::string::npos) << reply;
    EXPECT_TRUE(idle.closedByPeer());
    // An idle kept connection used to hold stop for the whole keep-alive time-out (a second).
    EXPECT_LT(took, 0.9) << "stop waited for an idle connection";
}
