#include <Categorys/DXUtility.h>

#include <Darwin/Darwin.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSDateFormatter.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLocale.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSProcessInfo.h>
#include <Foundation/NSTimeZone.h>
#include <Foundation/NSUserDefaults.h>
#include <Networking/HCHTTPRequestOperationManager.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIDevice.h>

#include <mutex>
#include <string_view>
#include <utility>

namespace {

struct MarketingName {
    std::string_view identifiers[4];
    std::string_view name;
};

// First row whose identifiers hold the hardware identifier wins; names are quoted exactly,
// trailing blanks included.
constexpr MarketingName kMarketingNames[] = {
    {{"iPhone1,1"}, "iPhone 2G"},
    {{"iPhone1,2"}, "iPhone 3G"},
    {{"iPhone2,1"}, "iPhone 3GS"},
    {{"iPhone3,1", "iPhone3,2", "iPhone3,3"}, "iPhone 4"},
    {{"iPhone4,1"}, "iPhone 4S"},
    {{"iPhone5,1", "iPhone5,2"}, "iPhone 5"},
    {{"iPhone5,3", "iPhone5,4"}, "iPhone 5c"},
    {{"iPhone6,1", "iPhone6,2"}, "iPhone 5S"},
    {{"iPhone7,1"}, "iPhone 6 Plus"},
    {{"iPhone7,2"}, "iPhone 6"},
    {{"iPhone8,1"}, "iPhone 6S"},
    {{"iPhone8,2"}, "iPhone 6S Plus"},
    {{"iPhone9,1", "iPhone9,3"}, "iPhone 7"},
    {{"iPhone9,2", "iPhone9,4"}, "iPhone 7 Plus"},
    {{"iPhone10,1", "iPhone10,4"}, "iPhone 8"},
    {{"iPhone10,2", "iPhone10,5"}, "iPhone 8 Plus"},
    {{"iPhone10,3", "iPhone10,6"}, "iPhone X"},
    {{"iPod1,1"}, "iPod Touch 1G "},
    {{"iPod2,1"}, "iPod Touch 2G"},
    {{"iPod3,1"}, "iPod Touch 3G"},
    {{"iPod4,1"}, "iPod Touch 4G"},
    {{"iPod5,1"}, "iPod Touch 5G "},
    {{"iPad1,1"}, "iPad 1G"},
    {{"iPad2,1", "iPad2,3", "iPad2,4"}, "iPad 2 "},
    {{"iPad2,2"}, "iPad 2"},
    {{"iPad2,5", "iPad2,6", "iPad2,7"}, "iPad Mini 1G "},
    {{"iPad3,1"}, "iPad 3"},
    {{"iPad3,2", "iPad3,3"}, "iPad 3 "},
    {{"iPad3,4", "iPad3,5", "iPad3,6"}, "iPad 4 "},
    {{"iPad4,1", "iPad4,2", "iPad4,3"}, "iPad Air "},
    {{"iPad4,4", "iPad4,5", "iPad4,6"}, "iPad Mini 2G "},
    {{"i386", "x86_64"}, "iPhone Simulator"},
    {{"iPad5,3"}, "iPad Air 2 (WiFi)"},
    {{"iPad5,4"}, "iPad Air 2 (Cellular)"},
    {{"iPad6,3", "iPad6,7", "iPad7,1", "iPad7,3"}, "iPad Pro (WiFi)"},
    {{"iPad6,4", "iPad6,8", "iPad7,2", "iPad7,4"}, "iPad Pro (Cellular)"},
    {{"iPad6,11"}, "iPad 2017 (WiFi)"},
    {{"iPad6,12"}, "iPad 2017 (Cellular)"},
    {{"iPad7,5"}, "iPad 2018 (WiFi)"},
    {{"iPad7,6"}, "iPad 2018 (Cellular)"},
    {{"iPad4,7"}, "iPad mini 3 (WiFi)"},
    {{"iPad4,8"}, "iPad mini 3 (Cellular)"},
    {{"iPad4,9"}, "iPad mini 3 (China Model)"},
    {{"iPad5,1"}, "iPad mini 4 (WiFi)"},
    {{"iPad5,2"}, "iPad mini 4 (Cellular)"},
};

// Hardware identifiers without a cellular radio ("true"), with one ("false"), or unknown.
constexpr std::string_view kWifiOnlyTable = R"({
  "iPhone1,1": "false", "iPhone1,2": "false", "iPhone2,1": "false",
  "iPhone3,1": "false", "iPhone3,2": "false", "iPhone3,3": "false",
  "iPhone4,1": "false", "iPhone5,1": "false", "iPhone5,2": "false", "iPhone5,3": "false", "iPhone5,4": "false",
  "iPhone6,1": "false", "iPhone6,2": "false", "iPhone7,1": "false", "iPhone7,2": "false",
  "iPhone8,1": "false", "iPhone8,2": "false", "iPhone8,4": "false",
  "iPod1,1": "true", "iPod2,1": "true", "iPod3,1": "true", "iPod4,1": "true", "iPod5,1": "true", "iPod7,1": "true",
  "iPad1,1": "unknown",
  "iPad2,1": "true", "iPad2,2": "false", "iPad2,3": "false", "iPad2,4": "true", "iPad2,5": "true",
  "iPad2,6": "false", "iPad2,7": "false",
  "iPad3,1": "true", "iPad3,2": "false", "iPad3,3": "false", "iPad3,4": "true", "iPad3,5": "false",
  "iPad3,6": "false",
  "iPad4,1": "true", "iPad4,2": "false", "iPad4,3": "false", "iPad4,4": "true", "iPad4,5": "false",
  "iPad4,6": "false", "iPad4,7": "true", "iPad4,8": "false", "iPad4,9": "false",
  "iPad5,1": "true", "iPad5,2": "false", "iPad5,3": "true", "iPad5,4": "false",
  "iPad6,3": "true", "iPad6,4": "false", "iPad6,7": "true", "iPad6,8": "false"
})";

constexpr const char* kModelListPath = "/static/json/AppleModel.json";

std::mutex& serverLock() {
    static std::mutex lock;
    return lock;
}
Ref<NSString>& serverAddress() {
    static Ref<NSString> address = "http://models.celvix.example"_ns;
    return address;
}

Ref<NSString> modelListURL() {
    return DXUtility::modelListServer()->stringByAppendingString(NSString::from(kModelListPath));
}

Ref<NSString> infoValue(const char* key) {
    return cast<NSString>(NSBundle::mainBundle()->objectForInfoDictionaryKey(NSString::from(key)));
}

Ref<NSDictionary> fileSystemAttributes(Ref<NSError>* error) {
    return NSFileManager::defaultManager()->attributesOfFileSystemForPathError(NSSandbox::documentsPath(), error);
}

} // namespace

Ref<NSString> DXUtility::hardwareName() {
    // The machine field of the system's identification record ("iPhone10,3").
    darwin::utsname name;
    if (darwin::uname(&name) != 0) {
        return nullptr;
    }
    return NSString::from(name.machine);
}

Ref<NSString> DXUtility::osVersion() {
    return UIDevice::currentDevice()->systemVersion();
}

Ref<NSString> DXUtility::clientVersion() {
    return NSString::stringWithFormat("%@.%@", infoValue("CFBundleShortVersionString"), infoValue("CFBundleVersion"));
}

Ref<NSString> DXUtility::clientVersionNoBuildVersion() {
    return NSString::stringWithFormat("%@.%@", infoValue("CFBundleShortVersionString"), infoValue("CFBundleVersion"));
}

Ref<NSString> DXUtility::deviceVersion() {
    return deviceVersionForHardwareName(hardwareName());
}

Ref<NSString> DXUtility::deviceVersionForHardwareName(const Ref<NSString>& identifier) {
    if (identifier) {
        for (const auto& row : kMarketingNames) {
            for (auto candidate : row.identifiers) {
                if (!candidate.empty() && identifier->str() == candidate) {
                    return NSString::from(row.name);
                }
            }
        }
    }
    return "unknown device"_ns;
}

Ref<NSString> DXUtility::createDateString() {
    // A fixed POSIX formatter: a device set to another calendar or to non-Latin digits still gives
    // the Gregorian, ASCII time stamp the transaction service expects.
    auto formatter = make<NSDateFormatter>();
    formatter->setLocale(NSLocale::localeWithLocaleIdentifier("en_US_POSIX"_ns));
    formatter->setTimeZone(NSTimeZone::localTimeZone());
    formatter->setDateFormat("yyyy-MM-dd'T'HH:mm:ssZ"_ns);
    return formatter->stringFromDate(NSDate::date());
}

id DXUtility::dictionaryWithJsonString(const Ref<NSString>& text) {
    if (!text) {
        return nullptr;
    }
    Ref<NSError> error;
    id object = NSJSONSerialization::JSONObjectWithDataOptionsError(text->dataUsingEncoding(NSUTF8StringEncoding),
                                                                    NSJSONReadingMutableContainers, &error);
    if (!object) {
        NSLog("json parse error\xEF\xBC\x9A%@", error);
    }
    return object;
}

Ref<NSString> DXUtility::modelListServer() {
    std::lock_guard guard(serverLock());
    return serverAddress();
}

void DXUtility::setModelListServer(const Ref<NSString>& server) {
    std::lock_guard guard(serverLock());
    serverAddress() = server;
}

Ref<NSString> DXUtility::modelNumberInModelList(const id& modelList, const Ref<NSString>& identifier) {
    auto root = cast<NSDictionary>(modelList);
    auto categories = root ? cast<NSDictionary>(root->objectForKey("iOS"_ns)) : nullptr;
    if (!categories || !identifier) {
        return nullptr;
    }
    Ref<NSString> found;
    for (const auto& [category, groups] : *categories) {
        auto groupList = cast<NSArray>(groups);
        if (!groupList) {
            continue;
        }
        for (const id& groupItem : *groupList) {
            auto group = cast<NSDictionary>(groupItem);
            if (!group || group->count() == 0) {
                continue;
            }
            auto items = cast<NSArray>(group->entries().front().second);
            if (!items) {
                continue;
            }
            for (const id& entry : *items) {
                auto item = cast<NSDictionary>(entry);
                if (item && NSObjectsEqual(item->objectForKey("identifier"_ns), identifier)) {
                    NSLog("identifier = %@", identifier);
                    found = cast<NSString>(item->objectForKey("devicenumber"_ns));
                    break;
                }
            }
        }
    }
    return found;
}

void DXUtility::deviceModelNumberWithInternalNameCompletion(
    const Ref<NSString>& identifier, const std::function<void(const Ref<NSString>&)>& completion) {
    auto manager = HCHTTPRequestOperationManager::manager();
    manager->GETParametersSuccessFailure(
        modelListURL(), nullptr,
        [identifier, completion](HCHTTPRequestOperation*, const id& reply) {
            NSLog("JSON: %@", reply);
            auto number = modelNumberInModelList(reply, identifier);
            if (completion) {
                completion(number);
            }
        },
        [completion](HCHTTPRequestOperation*, const Ref<NSError>& error) {
            NSLog("Error: %@", error);
            if (completion) {
                completion(nullptr);
            }
        });
}

unsigned long long DXUtility::getDeviceMemorySize() {
    auto attributes = fileSystemAttributes(nullptr);
    return attributes ? unbox<unsigned long long>(attributes->objectForKey(NSFileSystemSize())) : 0;
}

unsigned long long DXUtility::getFreeDiskspace() {
    Ref<NSError> error;
    auto attributes = fileSystemAttributes(&error);
    if (!attributes) {
        NSLog("Error Obtaining System Memory Info: Domain = %@, Code = %ld", error ? error->domain() : nullptr,
              static_cast<long>(error ? error->code() : 0));
        return 0;
    }
    auto total = unbox<unsigned long long>(attributes->objectForKey(NSFileSystemSize()));
    auto free = unbox<unsigned long long>(attributes->objectForKey(NSFileSystemFreeSize()));
    NSLog("Memory Capacity of %llu MiB with %llu MiB Free memory available.", total >> 20, free >> 20);
    return free;
}

bool DXUtility::needSkipEndTest() {
    auto arguments = NSProcessInfo::processInfo()->arguments();
    return arguments && arguments->containsObject("SKIP_ENDTEST"_ns);
}

bool DXUtility::checkiPadIsWifiOnlyWithDict(const Ref<NSString>& identifier, const Ref<NSDictionary>& table) {
    if (!table || !identifier || identifier->length() == 0) {
        return true;
    }
    id value = table->objectForKey(identifier);
    if (!value) {
        return true;
    }
    auto text = cast<NSString>(value);
    return !(text && text->isEqualToString("false"_ns));
}

Ref<NSString> DXUtility::wifiOnlyTableJSON() {
    return NSString::from(kWifiOnlyTable);
}

void DXUtility::generateWifiOnlyDataFileIfNecessary() {
    auto defaults = NSUserDefaults::standardUserDefaults();
    if (defaults->objectForKey("wifionlylist"_ns)) {
        return;
    }
    if (id table = dictionaryWithJsonString(wifiOnlyTableJSON())) {
        defaults->setObjectForKey(table, "wifionlylist"_ns);
        if (!defaults->synchronize()) {
            NSLog("wifi-only list: the defaults could not be written; the list is kept in memory");
        }
    }
}

id DXUtility::parseResultTemp(const Ref<NSString>& path) {
    if (!path || !NSFileManager::defaultManager()->fileExistsAtPath(path)) {
        return nullptr;
    }
    auto data = NSData::dataWithContentsOfFile(path);
    auto text = data ? NSString::stringWithDataEncoding(data, NSUTF8StringEncoding) : nullptr;
    return dictionaryWithJsonString(text);
}

void DXUtility::iPadisWifiOnlyCompletion(const Ref<NSString>&, const std::function<void(const id&)>& completion) {
    auto manager = HCHTTPRequestOperationManager::manager();
    manager->GETParametersSuccessFailure(
        modelListURL(), nullptr,
        [completion](HCHTTPRequestOperation*, const id& reply) {
            if (!completion) {
                return;
            }
            auto dictionary = cast<NSDictionary>(reply);
            if (!reply || (dictionary && dictionary->count() == 0)) {
                completion(dictionaryWithJsonString(wifiOnlyTableJSON()));
                return;
            }
            completion(dictionary ? dictionary->objectForKey("WifiOnly"_ns) : nullptr);
        },
        [completion](HCHTTPRequestOperation*, const Ref<NSError>& error) {
            NSLog("Error: %@", error);
            if (completion) {
                completion(dictionaryWithJsonString(wifiOnlyTableJSON()));
            }
        });
}

NS_IMPLEMENT_CLASS(DXUtility, NSObject) {}
