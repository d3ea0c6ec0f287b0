#include <Darwin/Darwin.h>

#include <Device/SimDevice.h>
#include <Device/SimRadios.h>
#include <Foundation/NSFileManager.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

namespace darwin {

namespace {

constexpr size_t kInterfaceMessageHeaderSize = 112;
constexpr size_t kLinkAddressHeaderSize = 8;

bool isIPv6(const std::string& text) {
    return text.find(':') != std::string::npos;
}

// A netmask text as a socket address: dotted for IPv4; a prefix length or a mask text for IPv6.
bool netmaskAddress(const std::string& address, const std::string& netmask, sockaddr_storage* out) {
    std::memset(out, 0, sizeof *out);
    if (netmask.empty()) {
        return false;
    }
    if (!isIPv6(address)) {
        auto* a = reinterpret_cast<sockaddr_in*>(out);
        a->sin_family = AF_INET;
        return ::inet_pton(AF_INET, netmask.c_str(), &a->sin_addr) == 1;
    }
    auto* a = reinterpret_cast<sockaddr_in6*>(out);
    a->sin6_family = AF_INET6;
    if (netmask.find(':') != std::string::npos) {
        return ::inet_pton(AF_INET6, netmask.c_str(), &a->sin6_addr) == 1;
    }
    int prefix = std::stoi(netmask);
    for (int bit = 0; bit < prefix && bit < 128; ++bit) {
        a->sin6_addr.s6_addr[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
    }
    return true;
}

bool socketAddress(const std::string& text, sockaddr_storage* out) {
    std::memset(out, 0, sizeof *out);
    if (isIPv6(text)) {
        auto* a = reinterpret_cast<sockaddr_in6*>(out);
        a->sin6_family = AF_INET6;
        return ::inet_pton(AF_INET6, text.c_str(), &a->sin6_addr) == 1;
    }
    auto* a = reinterpret_cast<sockaddr_in*>(out);
    a->sin_family = AF_INET;
    return ::inet_pton(AF_INET, text.c_str(), &a->sin_addr) == 1;
}

ifaddrs* newEntry(const SimDevice::NetworkInterface& i) {
    auto* entry = new ifaddrs;
    entry->ifa_name = new char[i.name.size() + 1];
    std::memcpy(entry->ifa_name, i.name.c_str(), i.name.size() + 1);
    entry->ifa_flags = (i.up ? IFF_UP | IFF_RUNNING : 0) | (i.name.rfind("lo", 0) == 0 ? IFF_LOOPBACK : 0);
    return entry;
}

sockaddr* copyAddress(const sockaddr_storage& address) {
    size_t size = address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    auto* copy = static_cast<sockaddr*>(::operator new(sizeof(sockaddr_storage)));
    std::memset(copy, 0, sizeof(sockaddr_storage));
    std::memcpy(copy, &address, size);
    return copy;
}

bool parseHardwareAddress(const std::string& text, uint8_t bytes[6]) {
    if (text.size() != 17) {
        return false;
    }
    for (int i = 0; i < 6; ++i) {
        bytes[i] = static_cast<uint8_t>(std::stoul(text.substr(static_cast<size_t>(i) * 3, 2), nullptr, 16));
    }
    return true;
}

// Writes the files the device lists into its root (empty files), and removes those this process
// wrote for an earlier list.
void materializeSystemFiles(const std::filesystem::path& root) {
    static std::mutex mutex;
    static std::set<std::filesystem::path> written;
    static bool cleared = false;
    std::lock_guard lock(mutex);
    std::error_code ec;
    if (!cleared) {
        // A sandbox kept from an earlier process may hold files of that device: the device's own
        // folder starts empty in every process.
        cleared = true;
        if (SimDevice::current().fileSystemRoot().empty()) {
            std::filesystem::remove_all(root, ec);
        }
    }
    std::set<std::filesystem::path> wanted;
    for (const auto& path : SimDevice::current().systemFiles()) {
        wanted.insert(root / std::filesystem::path(path).lexically_normal().relative_path());
    }
    for (auto it = written.begin(); it != written.end();) {
        if (wanted.count(*it)) {
            ++it;
            continue;
        }
        std::filesystem::remove(*it, ec);
        it = written.erase(it);
    }
    for (const auto& file : wanted) {
        if (std::filesystem::exists(file, ec)) {
            continue;
        }
        std::filesystem::create_directories(file.parent_path(), ec);
        std::ofstream(file, std::ios::binary);
        written.insert(file);
    }
}

} // namespace

int uname(utsname* name) {
    if (!name) {
        errno = EFAULT;
        return -1;
    }
    auto identity = SimDevice::current().identity();
    name->sysname = "Darwin";
    name->nodename = identity.name;
    name->release = identity.systemVersion;
    name->version = identity.systemName + " " + identity.systemVersion;
    name->machine = identity.hardwareIdentifier;
    return 0;
}

int getifaddrs(ifaddrs** list) {
    if (!list) {
        errno = EFAULT;
        return -1;
    }
    if (!SimRadios::current().interfaceTableReadable()) {
        errno = ENOMEM; // the table cannot be had now
        return -1;
    }
    ifaddrs* head = nullptr;
    ifaddrs** tail = &head;
    for (const auto& i : SimDevice::current().networkInterfaces()) {
        if (i.addresses.empty()) {
            *tail = newEntry(i);
            tail = &(*tail)->ifa_next;
            continue;
        }
        for (const auto& a : i.addresses) {
            sockaddr_storage address;
            if (!socketAddress(a.address, &address)) {
                continue;
            }
            ifaddrs* entry = newEntry(i);
            entry->ifa_addr = copyAddress(address);
            sockaddr_storage mask;
            if (netmaskAddress(a.address, a.netmask, &mask)) {
                entry->ifa_netmask = copyAddress(mask);
            }
            *tail = entry;
            tail = &entry->ifa_next;
        }
    }
    *list = head;
    return 0;
}

void freeifaddrs(ifaddrs* list) {
    while (list) {
        ifaddrs* next = list->ifa_next;
        delete[] list->ifa_name;
        ::operator delete(list->ifa_addr);
        ::operator delete(list->ifa_netmask);
        delete list;
        list = next;
    }
}

unsigned if_nametoindex(const char* name) {
    if (!name) {
        return 0;
    }
    auto interfaces = SimDevice::current().networkInterfaces();
    for (size_t i = 0; i < interfaces.size(); ++i) {
        if (interfaces[i].name == name) {
            return static_cast<unsigned>(i + 1);
        }
    }
    return 0;
}

int sysctlInterfaceList(unsigned index, void* buffer, size_t* size, int* error) {
    auto fail = [&](int code) {
        if (error) {
            *error = code;
        }
        return -1;
    };
    if (!size) {
        return fail(EINVAL);
    }
    auto interfaces = SimDevice::current().networkInterfaces();
    if (index == 0 || index > interfaces.size()) {
        return fail(ENXIO);
    }
    const auto& i = interfaces[index - 1];
    uint8_t hardware[6] = {};
    size_t hardwareLength = parseHardwareAddress(i.hardwareAddress, hardware) ? 6 : 0;
    size_t needed = kInterfaceMessageHeaderSize + kLinkAddressHeaderSize + i.name.size() + hardwareLength;
    if (!buffer) {
        *size = needed;
        return 0;
    }
    if (*size < needed) {
        return fail(ENOMEM);
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    std::memset(bytes, 0, needed);
    bytes[0] = static_cast<uint8_t>(kInterfaceMessageHeaderSize); // the header's length
    uint8_t* link = bytes + kInterfaceMessageHeaderSize;
    link[0] = static_cast<uint8_t>(kLinkAddressHeaderSize + i.name.size() + hardwareLength);
    link[1] = 18; // AF_LINK
    link[2] = static_cast<uint8_t>(index);
    link[5] = static_cast<uint8_t>(i.name.size());
    link[6] = static_cast<uint8_t>(hardwareLength);
    std::memcpy(link + kLinkAddressHeaderSize, i.name.data(), i.name.size());
    std::memcpy(link + kLinkAddressHeaderSize + i.name.size(), hardware, hardwareLength);
    *size = needed;
    return 0;
}

int ioctlNetmask(const char* name, sockaddr_in* netmask) {
    if (!name || !netmask) {
        errno = EFAULT;
        return -1;
    }
    for (const auto& i : SimDevice::current().networkInterfaces()) {
        if (i.name != name) {
            continue;
        }
        for (const auto& a : i.addresses) {
            sockaddr_storage mask;
            if (!isIPv6(a.address) && netmaskAddress(a.address, a.netmask, &mask)) {
                std::memcpy(netmask, &mask, sizeof *netmask);
                return 0;
            }
        }
        errno = EADDRNOTAVAIL;
        return -1;
    }
    errno = ENXIO;
    return -1;
}

const char* inet_ntop(int family, const void* address, char* text, size_t size) {
    return ::inet_ntop(family, address, text, static_cast<socklen_t>(size));
}

std::string inet_ntoa(in_addr address) {
    char text[INET_ADDRSTRLEN] = "";
    return ::inet_ntop(AF_INET, &address, text, sizeof text) ? text : "";
}

int host_statistics(vm_statistics* statistics) {
    if (!statistics) {
        return 4; // KERN_INVALID_ARGUMENT
    }
    auto figures = SimDevice::current().systemFigures();
    statistics->free_count = figures.freePages;
    statistics->active_count = figures.activePages;
    statistics->inactive_count = figures.inactivePages;
    statistics->wire_count = figures.wiredPages;
    return 0;
}

uint64_t vm_page_size() {
    return SimDevice::current().systemFigures().pageSize;
}

int task_threads(std::vector<thread_basic_info>* threads) {
    if (!threads) {
        return 4;
    }
    threads->clear();
    for (const auto& t : SimDevice::current().systemFigures().appThreads) {
        threads->push_back({t.cpuUsage, t.idle ? TH_FLAGS_IDLE : 0});
    }
    return 0;
}

int processTable(std::vector<kinfo_proc>* processes) {
    if (!processes) {
        errno = EFAULT;
        return -1;
    }
    processes->clear();
    for (const auto& p : SimDevice::current().systemFigures().processes) {
        processes->push_back({p.pid, p.name});
    }
    return 0;
}

std::string fileSystemRoot() {
    std::string root = SimDevice::current().fileSystemRoot();
    if (root.empty()) {
        root = NSSandbox::rootPath()->str() + "/DeviceRoot";
    }
    return root;
}

FILE* fopen(const char* path, const char* mode) {
    if (!path || !mode || path[0] != '/') {
        errno = ENOENT;
        return nullptr;
    }
    std::filesystem::path root(fileSystemRoot());
    // The normal form of an absolute path never climbs above "/" ("/../etc" is "/etc"), so the
    // file is always inside the root.
    std::filesystem::path relative = std::filesystem::path(path).lexically_normal().relative_path();
    materializeSystemFiles(root);
    return std::fopen((root / relative).c_str(), mode);
}

int fclose(FILE* file) {
    return file ? std::fclose(file) : EOF;
}

} // namespace darwin
