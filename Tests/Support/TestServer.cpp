// The test server and its client side (TestServer.h): one request is a sequenced-packet message
// "run\0<folder>\0<argument count>\0<arguments...>\0<environment...>" (or "stop") carrying the
// client's standard input, output and error as descriptors; the answer is the child's wait status.
#include "TestServer.h"

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>

extern char** environ;

namespace dxtest {
namespace {

constexpr size_t kMaxMessage = 1 << 20;

// A descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

socklen_t addressOf(const std::string& name, sockaddr_un& address) {
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    // Abstract namespace: a leading NUL, no file to clean up.
    size_t length = std::min(name.size(), sizeof(address.sun_path) - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

int connectTo(const std::string& name) {
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_un address;
    socklen_t length = addressOf(name, address);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendMessage(int socket, const std::string& body, const std::vector<int>& fds) {
    iovec part{const_cast<char*>(body.data()), body.size()};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    std::vector<char> control;
    if (!fds.empty()) {
        control.resize(CMSG_SPACE(sizeof(int) * fds.size()));
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
        std::memcpy(CMSG_DATA(header), fds.data(), sizeof(int) * fds.size());
    }
    ssize_t sent;
    do {
        sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(body.size());
}

// Receives one message and the descriptors it carries; false on an error, a truncated message or a
// closed connection.
bool receiveMessage(int socket, std::string& body, std::vector<int>& fds) {
    body.assign(kMaxMessage, '\0');
    iovec part{body.data(), body.size()};
    std::array<char, CMSG_SPACE(sizeof(int) * 8)> control{};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    ssize_t got;
    do {
        got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
    } while (got < 0 && errno == EINTR);
    fds.clear();
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS) {
            size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int fd;
                std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
                fds.push_back(fd);
            }
        }
    }
    if (got <= 0 || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) {
        for (int fd : fds) {
            ::close(fd);
        }
        fds.clear();
        return false;
    }
    body.resize(static_cast<size_t>(got));
    return true;
}

std::vector<std::string> splitFields(const std::string& body) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\0', start);
        if (end == std::string::npos) {
            end = body.size();
        }
        fields.push_back(body.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

int threadCount() {
    DIR* tasks = ::opendir("/proc/self/task");
    if (tasks == nullptr) {
        return -1;
    }
    int count = 0;
    while (dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] != '.') {
            ++count;
        }
    }
    ::closedir(tasks);
    return count;
}

void signalReady(int readyFd, char answer) {
    if (readyFd >= 0) {
        ssize_t ignored = ::write(readyFd, &answer, 1);
        (void)ignored;
        ::close(readyFd);
    }
}

// In the forked child: becomes the client's process (streams, folder, environment) and runs the test.
[[noreturn]] void runRequest(const std::vector<std::string>& fields, const std::vector<int>& fds,
                             const TestRunner& run) {
    for (int stream = 0; stream < 3; ++stream) {
        if (::dup2(fds[static_cast<size_t>(stream)], stream) < 0) {
            ::_exit(126);
        }
    }
    for (int fd : fds) {
        ::close(fd);
    }
    if (::chdir(fields[1].c_str()) != 0) {
        ::_exit(126);
    }
    size_t argumentCount = std::strtoul(fields[2].c_str(), nullptr, 10);
    std::vector<std::string> args(fields.begin() + 3, fields.begin() + 3 + static_cast<long>(argumentCount));
    ::clearenv();
    for (size_t i = 3 + argumentCount; i < fields.size(); ++i) {
        size_t equals = fields[i].find('=');
        if (equals != std::string::npos) {
            ::setenv(fields[i].substr(0, equals).c_str(), fields[i].substr(equals + 1).c_str(), 1);
        }
    }
    // exit, not _exit: the test's process ends as any other would (static destructors, the leak check).
    std::exit(run(std::move(args)));
}

// In the handler process (one per request): forks the test's child, then answers its wait status, or
// kills it when the client goes away first.
[[noreturn]] void handleRequest(int connection, const std::vector<std::string>& fields, const std::vector<int>& fds,
                                const TestRunner& run) {
    ::signal(SIGCHLD, SIG_DFL);
    pid_t child = ::fork();
    if (child < 0) {
        ::_exit(1);
    }
    if (child == 0) {
        ::close(connection);
        runRequest(fields, fds, run);
    }
    for (int fd : fds) {
        ::close(fd);
    }
    int childFd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    int status = 0;
    for (;;) {
        std::array<pollfd, 2> watched{{{connection, POLLIN, 0}, {childFd, POLLIN, 0}}};
        int ready = ::poll(watched.data(), childFd >= 0 ? 2 : 1, childFd >= 0 ? -1 : 100);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            int answer = status;
            sendMessage(connection, std::string(reinterpret_cast<const char*>(&answer), sizeof(answer)), {});
            ::_exit(0);
        }
        if (ready > 0 && (watched[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            break; // the client went away (or sent more than it should): the test ends with it
        }
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    ::_exit(0);
}

bool sameUser(int connection) {
    ucred peer{};
    socklen_t length = sizeof(peer);
    return ::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == ::getuid();
}

} // namespace

std::string serverName(const std::string& executable) {
    char resolved[PATH_MAX];
    std::string path = ::realpath(executable.c_str(), resolved) != nullptr ? std::string(resolved) : executable;
    // The file's identity too: a binary built again at the same path is a new file (or one written
    // later), so a server of the old build that is still about never serves the new build's tests.
    struct stat file {};
    if (::stat(executable.c_str(), &file) == 0) {
        path += "|" + std::to_string(file.st_dev) + ":" + std::to_string(file.st_ino) + ":" +
                std::to_string(file.st_size) + ":" + std::to_string(file.st_mtim.tv_sec) + "." +
                std::to_string(file.st_mtim.tv_nsec);
    }
    // The path itself may be longer than a socket name; its hash keeps names apart.
    return "dx-test-server/" + std::to_string(::getuid()) + "/" + std::to_string(std::hash<std::string>{}(path));
}

int serveTests(const std::string& name, int readyFd, const TestRunner& run, int idleSeconds) {
    if (threadCount() != 1) {
        signalReady(readyFd, 'n');
        return 0;
    }
    Fd listener(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    sockaddr_un address;
    socklen_t length = addressOf(name, address);
    if (!listener.valid() || ::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener.get(), 64) != 0) {
        signalReady(readyFd, 'n');
        return 0;
    }
    // Handlers are reaped by the system; each one waits for its own test child.
    ::signal(SIGCHLD, SIG_IGN);
    signalReady(readyFd, 'y');
    for (;;) {
        pollfd watched{listener.get(), POLLIN, 0};
        int ready = ::poll(&watched, 1, idleSeconds * 1000);
        if (ready == 0) {
            return 0; // idle for long: whoever started it is gone
        }
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return 1;
        }
        Fd connection(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection.valid() || !sameUser(connection.get())) {
            continue;
        }
        std::string body;
        std::vector<int> fds;
        if (!receiveMessage(connection.get(), body, fds)) {
            continue;
        }
        auto fields = splitFields(body);
        if (!fields.empty() && fields[0] == "stop") {
            for (int fd : fds) {
                ::close(fd);
            }
            return 0;
        }
        bool wellFormed = fields.size() >= 3 && fields[0] == "run" && fds.size() == 3 &&
                          std::strtoul(fields[2].c_str(), nullptr, 10) <= fields.size() - 3;
        if (wellFormed) {
            pid_t handler = ::fork();
            if (handler == 0) {
                ::close(listener.get());
                handleRequest(connection.get(), fields, fds, run);
            }
        }
        // A malformed request, or one the server could not fork for, closes unanswered: the client
        // then runs the test itself.
        for (int fd : fds) {
            ::close(fd);
        }
    }
}

std::optional<int> runOnServer(const std::string& name, const std::vector<std::string>& args, int in, int out,
                               int err) {
    Fd connection(connectTo(name));
    if (!connection.valid()) {
        return std::nullopt;
    }
    char folder[PATH_MAX];
    if (::getcwd(folder, sizeof(folder)) == nullptr) {
        return std::nullopt;
    }
    std::string body = "run";
    body += '\0';
    body += folder;
    body += '\0';
    body += std::to_string(args.size());
    for (const auto& arg : args) {
        body += '\0';
        body += arg;
    }
    for (char** variable = environ; *variable != nullptr; ++variable) {
        body += '\0';
        body += *variable;
    }
    if (body.size() > kMaxMessage || !sendMessage(connection.get(), body, {in, out, err})) {
        return std::nullopt;
    }
    std::string answer;
    std::vector<int> fds;
    if (!receiveMessage(connection.get(), answer, fds) || answer.size() != sizeof(int)) {
        for (int fd : fds) {
            ::close(fd);
        }
        return std::nullopt;
    }
    int status;
    std::memcpy(&status, answer.data(), sizeof(status));
    return status;
}

bool stopServer(const std::string& name) {
    Fd connection(connectTo(name));
    if (!connection.valid()) {
        return false;
    }
    return sendMessage(connection.get(), "stop", {});
}

} // namespace dxtest
