#include "LoopbackServer.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

// The test servers' library is built without the thread sanitizer, which then sees its threads'
// shared buffers but not the locks around them; what happens inside it is not under test.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libcpp-httplib.so\nrace:libcpp-httplib.so\n";
}

namespace {

// Shuts the reading side of every connection the server on `port` accepted whose client port is not
// in `busy`. A worker whose client keeps its connection idle waits for the next request up to the
// keep-alive time-out before it sees that the server stopped; with nothing more to read, that wait
// ends at once. A connection whose request is being answered is left alone: the server would take
// the shut reading side for a client gone and not write the reply. Each descriptor is looked at
// through a copy of its own, so one closed and reused meanwhile is never the one shut.
void shutIdleConnections(int port, const std::multiset<int>& busy) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        int fd = std::atoi(entry.path().filename().c_str());
        int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0) {
            continue;
        }
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t localLength = sizeof local;
        socklen_t peerLength = sizeof peer;
        if (::getsockname(copy, reinterpret_cast<sockaddr*>(&local), &localLength) == 0 &&
            local.sin_family == AF_INET && ntohs(local.sin_port) == port &&
            local.sin_addr.s_addr == htonl(INADDR_LOOPBACK) &&
            ::getpeername(copy, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0 && // not the listener
            busy.count(ntohs(peer.sin_port)) == 0) {
            ::shutdown(copy, SHUT_RD);
        }
        ::close(copy);
    }
}

} // namespace

LoopbackServer::LoopbackServer() : server_(std::make_unique<httplib::Server>()) {}

LoopbackServer::LoopbackServer(const TestIdentity& identity)
    : server_(std::make_unique<httplib::SSLServer>(identity.certificate, identity.key)), secure_(true) {
    if (!server_->is_valid()) {
        throw std::runtime_error("TLS server could not be set up");
    }
}

LoopbackServer::~LoopbackServer() {
    stop();
}

void LoopbackServer::start() {
    // Many idle keep-alive connections must never starve new ones.
    server_->new_task_queue = [] { return new httplib::ThreadPool(128); };
    server_->set_keep_alive_max_count(1000000);
    server_->set_tcp_nodelay(true); // replies are written in pieces; never wait for an ACK between them
    // An idle connection is let go after a second; stop() ends idle ones at once.
    server_->set_keep_alive_timeout(1);
    // A request is being answered from routing until its reply is written (the logger's call).
    server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response&) {
        std::lock_guard lock(busyMutex_);
        busyPorts_.insert(request.remote_port);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server_->set_logger([this](const httplib::Request& request, const httplib::Response&) {
        std::lock_guard lock(busyMutex_);
        if (auto it = busyPorts_.find(request.remote_port); it != busyPorts_.end()) {
            busyPorts_.erase(it);
        }
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("cannot bind a loopback port");
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // The socket already listens; wait only until the accept loop owns it, so that stop() finds it.
    while (!server_->is_running()) {
        std::this_thread::yield();
    }
}

void LoopbackServer::stop() {
    release();
    if (thread_.joinable()) {
        server_->stop(); // no connection is accepted after this
        {
            std::lock_guard lock(busyMutex_);
            shutIdleConnections(port_, busyPorts_);
        }
        thread_.join();
    }
}

std::string LoopbackServer::url(const std::string& path) const {
    return std::string(secure_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackServer::stall(const std::string& path) {
    auto handler = [this](const httplib::Request&, httplib::Response& response) {
        std::unique_lock lock(mutex_);
        ++stalled_;
        released_.notify_all();
        released_.wait(lock, [this] { return isReleased_; });
        --stalled_;
        response.set_content("{}", "application/json");
    };
    server_->Get(path, handler);
    server_->Post(path, handler);
}

void LoopbackServer::release() {
    std::lock_guard lock(mutex_);
    isReleased_ = true;
    released_.notify_all();
}

bool LoopbackServer::waitForStalled(int count, double seconds) {
    std::unique_lock lock(mutex_);
    return released_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return stalled_.load() >= count; });
}
