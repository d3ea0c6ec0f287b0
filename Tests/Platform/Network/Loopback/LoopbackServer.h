// A real HTTP or HTTPS server on 127.0.0.1 for network tests (cpp-httplib), on a port of its own.
// Handlers are registered on server() before start(). A stalled route holds its reply until the
// test releases it (or the server goes away), for time-out and cancellation tests.
#pragma once

#include "TestCertificates.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

class LoopbackServer {
public:
    // Plain HTTP.
    LoopbackServer();
    // HTTPS presenting the identity's certificate.
    explicit LoopbackServer(const TestIdentity& identity);
    ~LoopbackServer();

    httplib::Server& server() { return *server_; }
    void start();
    void stop();
    int port() const { return port_; }
    // "http://127.0.0.1:<port><path>" (https for a TLS server).
    std::string url(const std::string& path) const;

    // GET and POST on the path wait until release() is called, then answer 200 "{}".
    void stall(const std::string& path);
    void release();
    // How many stalled requests are waiting now.
    int stalled() const { return stalled_.load(); }
    // Blocks until `count` requests are stalled or the time-out passes.
    bool waitForStalled(int count, double seconds);

private:
    std::unique_ptr<httplib::Server> server_;
    bool secure_ = false;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool isReleased_ = false;
    std::atomic<int> stalled_{0};
    // The client ports of the connections with a request being answered now: stop() leaves them be.
    std::mutex busyMutex_;
    std::multiset<int> busyPorts_;
};
