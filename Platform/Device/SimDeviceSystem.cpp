// The system side of the simulated device: network interfaces, the SIM's provider, accessories and
// the audio route, the running system's figures, locale, storage and file system.
#include <Device/SimDevice.h>

#include <Dispatch/Clock.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <stdexcept>

namespace {

using json = nlohmann::ordered_json;

template <class T>
T member(const json& object, const char* key, T fallback) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return fallback;
    }
    return it->get<T>();
}

bool isIPv6(const std::string& text) {
    return text.find(':') != std::string::npos;
}

void checkAddress(const std::string& text) {
    unsigned char bytes[16];
    if (inet_pton(isIPv6(text) ? AF_INET6 : AF_INET, text.c_str(), bytes) != 1) {
        throw std::invalid_argument("\"" + text + "\" is not an IP address");
    }
}

void checkNetmask(const std::string& address, const std::string& netmask) {
    if (netmask.empty()) {
        return;
    }
    if (isIPv6(address) && netmask.find(':') == std::string::npos) {
        size_t used = 0;
        int prefix = -1;
        try {
            prefix = std::stoi(netmask, &used);
        } catch (const std::exception&) {
        }
        if (used != netmask.size() || prefix < 0 || prefix > 128) {
            throw std::invalid_argument("\"" + netmask + "\" is not an IPv6 prefix length");
        }
        return;
    }
    checkAddress(netmask);
}

void checkHardwareAddress(const std::string& text) {
    if (text.empty()) {
        return;
    }
    bool ok = text.size() == 17;
    for (size_t i = 0; ok && i < text.size(); ++i) {
        ok = i % 3 == 2 ? text[i] == ':' : std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
    }
    if (!ok) {
        throw std::invalid_argument("\"" + text + "\" is not a hardware address");
    }
}

SimDevice::NetworkInterface loopbackInterface() {
    return {"lo0", true, "", {{"127.0.0.1", "255.0.0.0"}, {"::1", "128"}}, ""};
}

std::vector<SimDevice::AudioPort> defaultAudioOutputs(SimDevice::Idiom idiom) {
    if (idiom == SimDevice::Idiom::Pad) {
        return {{"Speaker", "Speaker"}};
    }
    return {{"Receiver", "Receiver"}};
}

std::vector<std::string> stringArray(const json& object, const char* key) {
    std::vector<std::string> out;
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return out;
    }
    if (!it->is_array()) {
        throw std::invalid_argument(std::string("\"") + key + "\" is not an array");
    }
    for (const auto& entry : *it) {
        out.push_back(entry.get<std::string>());
    }
    return out;
}

} // namespace

SimDevice::SystemState SimDevice::parseSystemSections(const std::string& profileText, const Identity& identity) {
    json root = json::parse(profileText);
    SystemState state;

    // Network: without a section the device has joined a Wi-Fi network with an internet link.
    std::vector<NetworkInterface> interfaces;
    if (auto n = root.find("network"); n != root.end() && !n->is_null()) {
        for (const auto& entry : n->value("interfaces", json::array())) {
            NetworkInterface i;
            i.name = entry.at("name").get<std::string>();
            i.up = member<bool>(entry, "up", true);
            i.hardwareAddress = member<std::string>(entry, "mac", "");
            checkHardwareAddress(i.hardwareAddress);
            i.gateway = member<std::string>(entry, "gateway", "");
            if (!i.gateway.empty()) {
                checkAddress(i.gateway);
            }
            for (const auto& a : entry.value("addresses", json::array())) {
                InterfaceAddress address{a.at("address").get<std::string>(), member<std::string>(a, "netmask", "")};
                checkAddress(address.address);
                checkNetmask(address.address, address.netmask);
                i.addresses.push_back(std::move(address));
            }
            if (i.name.empty()) {
                throw std::invalid_argument("a network interface needs a name");
            }
            interfaces.push_back(std::move(i));
        }
        if (auto w = n->find("wifi"); w != n->end() && !w->is_null()) {
            state.wifi.ssid = member<std::string>(*w, "ssid", "");
            state.wifi.bssid = member<std::string>(*w, "bssid", "");
        }
    } else {
        interfaces.push_back({"en0",
                              true,
                              "02:00:5E:10:00:01",
                              {{"192.168.1.10", "255.255.255.0"}, {"fe80::5eff:fe10:1", "64"}},
                              "192.168.1.1"});
        state.wifi = {"Celvix", "02:00:5E:20:00:01"};
    }
    bool hasLoopback = false;
    for (const auto& i : interfaces) {
        hasLoopback = hasLoopback || i.name == "lo0";
    }
    if (!hasLoopback) {
        interfaces.insert(interfaces.begin(), loopbackInterface());
    }
    state.interfaces = std::move(interfaces);

    if (auto c = root.find("carrier"); c != root.end() && !c->is_null()) {
        Carrier carrier;
        carrier.name = member<std::string>(*c, "name", "");
        carrier.isoCountryCode = member<std::string>(*c, "isoCountryCode", "");
        carrier.mobileCountryCode = member<std::string>(*c, "mobileCountryCode", "");
        carrier.mobileNetworkCode = member<std::string>(*c, "mobileNetworkCode", "");
        carrier.allowsVOIP = member<bool>(*c, "allowsVOIP", true);
        state.carrier = carrier;
    }
    state.radioAccessTechnology = member<std::string>(root, "radioAccessTechnology", "");

    if (auto a = root.find("accessories"); a != root.end() && !a->is_null()) {
        if (!a->is_array()) {
            throw std::invalid_argument("\"accessories\" is not an array");
        }
        for (const auto& entry : *a) {
            Accessory accessory;
            accessory.name = member<std::string>(entry, "name", "");
            accessory.manufacturer = member<std::string>(entry, "manufacturer", "");
            accessory.modelNumber = member<std::string>(entry, "modelNumber", "");
            accessory.serialNumber = member<std::string>(entry, "serialNumber", "");
            accessory.protocolStrings = stringArray(entry, "protocols");
            state.accessories.push_back(std::move(accessory));
        }
    }
    if (auto r = root.find("audioRoute"); r != root.end() && !r->is_null()) {
        for (const auto& type : stringArray(root, "audioRoute")) {
            state.audioOutputs.push_back({type, type});
        }
    } else {
        state.audioOutputs = defaultAudioOutputs(identity.idiom);
    }

    if (auto s = root.find("system"); s != root.end() && !s->is_null()) {
        SystemFigures& f = state.figures;
        f.uptime = member<double>(*s, "uptime", f.uptime);
        f.processorCount = member<unsigned>(*s, "processors", f.processorCount);
        f.activeProcessorCount = member<unsigned>(*s, "activeProcessors", f.processorCount);
        f.physicalMemory = member<uint64_t>(*s, "physicalMemory", f.physicalMemory);
        f.pageSize = member<uint64_t>(*s, "pageSize", f.pageSize);
        f.freePages = member<uint32_t>(*s, "freePages", 0);
        f.activePages = member<uint32_t>(*s, "activePages", 0);
        f.inactivePages = member<uint32_t>(*s, "inactivePages", 0);
        f.wiredPages = member<uint32_t>(*s, "wiredPages", 0);
        f.multitasking = member<bool>(*s, "multitasking", true);
        for (const auto& p : s->value("processes", json::array())) {
            f.processes.push_back({p.at("pid").get<int>(), p.at("name").get<std::string>()});
        }
        for (const auto& t : s->value("appThreads", json::array())) {
            f.appThreads.push_back({member<int>(t, "cpuUsage", 0), member<bool>(t, "idle", false)});
        }
        if (f.uptime < 0 || f.processorCount == 0 || f.pageSize == 0) {
            throw std::invalid_argument("the system needs a non-negative uptime, processors and a page size");
        }
    }
    if (auto s = root.find("storage"); s != root.end() && !s->is_null()) {
        state.storage.totalBytes = member<int64_t>(*s, "total", 0);
        state.storage.freeBytes = member<int64_t>(*s, "free", 0);
        state.storage.nodes = member<int64_t>(*s, "nodes", 0);
    } else {
        state.storage = {int64_t{64} << 30, int64_t{32} << 30, 1000000};
    }
    state.locale = {{"en-US"}, "en_US", "UTC", "$", "USD", "U.S."};
    if (auto l = root.find("locale"); l != root.end() && !l->is_null()) {
        Locale& locale = state.locale;
        if (l->contains("languages")) {
            locale.preferredLanguages = stringArray(*l, "languages");
        }
        locale.identifier = member<std::string>(*l, "identifier", locale.identifier);
        locale.timeZone = member<std::string>(*l, "timeZone", locale.timeZone);
        locale.currencySymbol = member<std::string>(*l, "currencySymbol", locale.currencySymbol);
        locale.currencyCode = member<std::string>(*l, "currencyCode", locale.currencyCode);
        locale.measurementSystem = member<std::string>(*l, "measurementSystem", locale.measurementSystem);
    }
    if (auto f = root.find("fileSystem"); f != root.end() && !f->is_null()) {
        state.systemFiles = stringArray(*f, "files");
        for (const auto& path : state.systemFiles) {
            if (path.empty() || path[0] != '/' || path.find("..") != std::string::npos) {
                throw std::invalid_argument("\"" + path + "\" is not an absolute device path");
            }
        }
    }
    state.figuresSetAt = DispatchClock::uptime();
    return state;
}

std::vector<SimDevice::NetworkInterface> SimDevice::networkInterfaces() const {
    std::lock_guard lock(mutex_);
    return system_.interfaces;
}

void SimDevice::setNetworkInterfaces(std::vector<NetworkInterface> interfaces) {
    {
        std::lock_guard lock(mutex_);
        system_.interfaces = std::move(interfaces);
    }
    notify(Change::Network);
}

bool SimDevice::setInterfaceUp(const std::string& name, bool up) {
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(system_.interfaces.begin(), system_.interfaces.end(),
                               [&](const NetworkInterface& i) { return i.name == name; });
        if (it == system_.interfaces.end()) {
            return false;
        }
        if (it->up == up) {
            return true;
        }
        it->up = up;
    }
    notify(Change::Network);
    return true;
}

SimDevice::WiFiNetwork SimDevice::wifiNetwork() const {
    std::lock_guard lock(mutex_);
    return system_.wifi;
}

void SimDevice::setWiFiNetwork(WiFiNetwork network) {
    {
        std::lock_guard lock(mutex_);
        system_.wifi = std::move(network);
    }
    notify(Change::Network);
}

std::optional<SimDevice::Carrier> SimDevice::carrier() const {
    std::lock_guard lock(mutex_);
    return system_.carrier;
}

void SimDevice::setCarrier(std::optional<Carrier> carrier) {
    {
        std::lock_guard lock(mutex_);
        system_.carrier = std::move(carrier);
    }
    notify(Change::Carrier);
}

std::string SimDevice::radioAccessTechnology() const {
    std::lock_guard lock(mutex_);
    return system_.radioAccessTechnology;
}

void SimDevice::setRadioAccessTechnology(const std::string& technology) {
    {
        std::lock_guard lock(mutex_);
        system_.radioAccessTechnology = technology;
    }
    notify(Change::Carrier);
}

std::vector<SimDevice::Accessory> SimDevice::accessories() const {
    std::lock_guard lock(mutex_);
    return system_.accessories;
}

void SimDevice::setAccessories(std::vector<Accessory> accessories) {
    {
        std::lock_guard lock(mutex_);
        system_.accessories = std::move(accessories);
    }
    notify(Change::Accessories);
}

std::vector<SimDevice::AudioPort> SimDevice::audioOutputs() const {
    std::lock_guard lock(mutex_);
    return system_.audioOutputs;
}

void SimDevice::setAudioOutputs(std::vector<AudioPort> outputs) {
    {
        std::lock_guard lock(mutex_);
        system_.audioOutputs = std::move(outputs);
    }
    notify(Change::Accessories);
}

void SimDevice::setHeadphonesPlugged(bool plugged) {
    {
        std::lock_guard lock(mutex_);
        system_.audioOutputs =
            plugged ? std::vector<AudioPort>{{"Headphones", "Headphones"}} : defaultAudioOutputs(identity_.idiom);
    }
    notify(Change::Accessories);
}

SimDevice::SystemFigures SimDevice::systemFigures() const {
    std::lock_guard lock(mutex_);
    return system_.figures;
}

void SimDevice::setSystemFigures(SystemFigures figures) {
    {
        std::lock_guard lock(mutex_);
        system_.figures = std::move(figures);
        system_.figuresSetAt = DispatchClock::uptime();
    }
    notify(Change::System);
}

double SimDevice::systemUptime() const {
    double now = DispatchClock::uptime();
    std::lock_guard lock(mutex_);
    return system_.figures.uptime + std::max(0.0, now - system_.figuresSetAt);
}

SimDevice::Storage SimDevice::storage() const {
    std::lock_guard lock(mutex_);
    return system_.storage;
}

void SimDevice::setStorage(Storage storage) {
    {
        std::lock_guard lock(mutex_);
        system_.storage = storage;
    }
    notify(Change::System);
}

SimDevice::Locale SimDevice::locale() const {
    std::lock_guard lock(mutex_);
    return system_.locale;
}

void SimDevice::setLocale(Locale locale) {
    {
        std::lock_guard lock(mutex_);
        system_.locale = std::move(locale);
    }
    notify(Change::System);
}

std::vector<std::string> SimDevice::systemFiles() const {
    std::lock_guard lock(mutex_);
    return system_.systemFiles;
}

void SimDevice::setSystemFiles(std::vector<std::string> paths) {
    {
        std::lock_guard lock(mutex_);
        system_.systemFiles = std::move(paths);
    }
    notify(Change::System);
}

std::string SimDevice::fileSystemRoot() const {
    std::lock_guard lock(mutex_);
    return fileSystemRoot_;
}

void SimDevice::setFileSystemRoot(const std::string& path) {
    std::lock_guard lock(mutex_);
    fileSystemRoot_ = path;
}
