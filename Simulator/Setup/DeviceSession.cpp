// The session and model list of the simulated back office (see DeviceSession.h).
#include "DeviceSession.h"

#include <Categorys/DXUtility.h>
#include <Core/DXTestModelManager.h>
#include <Device/SimDevice.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSData.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Runtime/Runtime.h>

#include <algorithm>
#include <fstream>

namespace {

Ref<NSDictionary> bundlePropertyList(const char* name) {
    auto path = NSBundle::mainBundle()->pathForResourceOfType(NSString::from(name), "plist"_ns);
    auto data = path ? NSData::dataWithContentsOfFile(path) : nullptr;
    if (!data) {
        return nullptr;
    }
    return cast<NSDictionary>(
        NSPropertyListSerialization::propertyListWithDataOptionsFormatError(data, 0, nullptr, nullptr));
}

bool screenSupports(Class cls) {
    if (!cls->respondsToSelector("isSupport")) {
        return false;
    }
    auto answer = cast<NSNumber>(cls->performClassSelector("isSupport"));
    return answer && answer->boolValue();
}

} // namespace

std::vector<std::string> catalogueKeys() {
    std::vector<std::string> keys;
    if (auto definitions = bundlePropertyList("ItemList")) {
        for (const auto& [k, v] : *definitions) {
            if (auto key = cast<NSString>(k)) {
                keys.push_back(key->str());
            }
        }
    }
    return keys;
}

std::vector<std::string> supportedSessionKeys() {
    auto definitions = bundlePropertyList("ItemList");
    auto support = bundlePropertyList("models");
    if (!definitions) {
        return {};
    }
    struct Entry {
        long long priority;
        std::string key;
        Ref<NSString> controller;
    };
    std::vector<Entry> entries;
    for (const auto& [k, v] : *definitions) {
        auto key = cast<NSString>(k);
        auto definition = cast<NSDictionary>(v);
        if (key && definition) {
            entries.push_back({unbox<long long>(definition->objectForKey("priority"_ns)), key->str(),
                               cast<NSString>(definition->objectForKey("controller"_ns))});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.priority != b.priority ? a.priority < b.priority : a.key < b.key;
    });
    auto manager = DXTestModelManager::sharedInstrance();
    std::vector<std::string> keys;
    for (const auto& entry : entries) {
        Class cls = entry.controller ? NSClassFromString(entry.controller) : nullptr;
        if (!cls) {
            continue; // no screen for it yet
        }
        switch (manager->isSupportWithKeySupportList(NSString::from(entry.key), support)) {
        case DXSupportNo:
            continue;
        case DXSupportAskScreen:
            if (!screenSupports(cls)) {
                continue;
            }
            break;
        default:
            break;
        }
        keys.push_back(entry.key);
    }
    return keys;
}

std::string deviceHardwareIdentifier() {
    return SimDevice::current().identity().hardwareIdentifier;
}

nlohmann::ordered_json shippedModelList() {
    auto categories = nlohmann::ordered_json::object();
    for (const auto& identifier : SimDevice::availableProfiles()) {
        std::ifstream file(std::string(DX_RESOURCES_DIR) + "/Devices/" + identifier + ".json");
        auto profile = nlohmann::json::parse(file, nullptr, false);
        if (!profile.is_object() || !profile.contains("modelNumber") || !profile["modelNumber"].is_string()) {
            continue;
        }
        auto category = profile.value("model", std::string("iPhone"));
        if (!categories.contains(category)) {
            categories[category] = nlohmann::ordered_json::array({{{category, nlohmann::ordered_json::array()}}});
        }
        categories[category][0][category].push_back(
            {{"identifier", identifier}, {"devicenumber", profile["modelNumber"].get<std::string>()}});
    }
    return {{"iOS", categories}};
}
