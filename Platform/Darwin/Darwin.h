// The BSD and Mach calls of the phone's system, answered from the simulated device: the machine
// name, the interface-address list with the link-layer and netmask queries, the virtual-memory and
// thread statistics, the process table, and opening files of the device's own file system (which
// lives in a folder of its own, never on the host's paths).
//
// The names are the system's, in the namespace `darwin`; the records keep the fields that callers
// read. Socket addresses are the usual `sockaddr_in` / `sockaddr_in6`. Every call is safe from any
// thread.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h> // the address and socket types of the phone's BSD layer, as its callers use them
#include <sys/socket.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace darwin {

// uname: the machine field is the device's hardware identifier ("iPhone10,3").
struct utsname {
    std::string sysname;  // "Darwin"
    std::string nodename; // the device's name
    std::string release;
    std::string version;
    std::string machine;
};
int uname(utsname* name);

// getifaddrs / freeifaddrs: one entry per address of each interface, in the device's order (an
// interface without addresses has one entry without an address). The flags are the system's
// IFF_UP (0x1), IFF_LOOPBACK (0x8) and IFF_RUNNING (0x40).
struct ifaddrs {
    ifaddrs* ifa_next = nullptr;
    char* ifa_name = nullptr;
    unsigned ifa_flags = 0;
    sockaddr* ifa_addr = nullptr;
    sockaddr* ifa_netmask = nullptr;
};
inline constexpr unsigned IFF_UP = 0x1;
inline constexpr unsigned IFF_LOOPBACK = 0x8;
inline constexpr unsigned IFF_RUNNING = 0x40;
// 0 and the list, or -1 when the list cannot be had.
int getifaddrs(ifaddrs** list);
void freeifaddrs(ifaddrs* list);

// if_nametoindex: the interface's index (from 1, in the device's order), 0 when there is none.
unsigned if_nametoindex(const char* name);
// The routing sysctl's interface list for one interface index (management name {CTL_NET,
// PF_ROUTE, 0, AF_LINK, NET_RT_IFLIST, index}): with `buffer` null only the size is answered. The
// answer is the interface message header (112 bytes) followed by the link-layer socket address:
// its name length at offset 5, its name at offset 8, the hardware address right after the name.
// 0 on success, -1 with `*error` the errno otherwise (ENXIO: no such interface, ENOMEM: the buffer
// is too small).
int sysctlInterfaceList(unsigned index, void* buffer, size_t* size, int* error);
// ioctl(SIOCGIFNETMASK) on a datagram socket: the interface's first IPv4 netmask. 0 on success,
// -1 when the interface or an IPv4 address on it does not exist.
int ioctlNetmask(const char* name, sockaddr_in* netmask);

// inet_ntop / inet_ntoa (families AF_INET and AF_INET6).
const char* inet_ntop(int family, const void* address, char* text, size_t size);
std::string inet_ntoa(in_addr address);

// host_statistics(HOST_VM_INFO) and vm_page_size.
struct vm_statistics {
    uint32_t free_count = 0;
    uint32_t active_count = 0;
    uint32_t inactive_count = 0;
    uint32_t wire_count = 0;
};
// 0 (KERN_SUCCESS) on success.
int host_statistics(vm_statistics* statistics);
uint64_t vm_page_size();

// task_threads with thread_info(THREAD_BASIC_INFO) for each thread of the app's task.
struct thread_basic_info {
    int cpu_usage = 0; // thousandths of one processor (TH_USAGE_SCALE 1000)
    int flags = 0;     // TH_FLAGS_IDLE (2)
};
inline constexpr int TH_FLAGS_IDLE = 2;
inline constexpr int TH_USAGE_SCALE = 1000;
int task_threads(std::vector<thread_basic_info>* threads);

// sysctl {CTL_KERN, KERN_PROC, KERN_PROC_ALL, 0}: the process table, in the kernel's order.
struct kinfo_proc {
    int p_pid = 0;
    std::string p_comm;
};
int processTable(std::vector<kinfo_proc>* processes);

// fopen / fclose on the device's own file system: an absolute device path ("/bin/bash") is looked
// up inside the device's file-system root. nullptr (errno ENOENT) when the file is not there.
FILE* fopen(const char* path, const char* mode);
int fclose(FILE* file);
// The host folder that stands for the device's "/": the device's root when one is set, else the
// folder "DeviceRoot" in the sandbox root. The files the device lists exist in it.
std::string fileSystemRoot();

} // namespace darwin
