#include "LoopbackServer.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

// The test servers' library is built without the thread sanitizer, which then sees its threads'
// shared buffers but not the locks around them; what happens inside it is not under test.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libcpp-httplib.so\nrace:libcpp-httplib.so\n";
}

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
    // An idle connection is let go after a second, so that stopping the server does not wait long.
    server_->set_keep_alive_timeout(1);
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
        server_->stop();
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
