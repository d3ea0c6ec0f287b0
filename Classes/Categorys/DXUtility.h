// DXUtility: small class operations about the device, the application and text — the hardware
// identifier, the version texts, the marketing name, a time stamp, a JSON-text reader and the
// look-up of the device's model number in the model list that the model-list server publishes.
// No instances, no state.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

#include <functional>

class DXUtility : public NSObject {
    NS_OBJECT(DXUtility, NSObject)
public:
    // The device's hardware identifier, such as "iPhone10,3".
    static Ref<NSString> hardwareName();
    // "<CFBundleShortVersionString>.<CFBundleVersion>", e.g. "2.1.35".
    static Ref<NSString> clientVersion();
    // The same text as clientVersion.
    static Ref<NSString> clientVersionNoBuildVersion();
    // The marketing name of the hardware identifier, or "unknown device".
    static Ref<NSString> deviceVersion();
    static Ref<NSString> deviceVersionForHardwareName(const Ref<NSString>& identifier);
    // The current time as "yyyy-MM-dd'T'HH:mm:ssZ" in the device's time zone, always in the
    // Gregorian calendar with POSIX digits, whatever the device's locale.
    static Ref<NSString> createDateString();
    // The JSON object of a text (mutable containers); nil for nil and, after a log line, for text
    // that is not JSON.
    static id dictionaryWithJsonString(const Ref<NSString>& text);

    // Looks the model number of `identifier` up in the model list of the model-list server; the
    // completion runs once, on the main queue, with the model number or nil.
    static void
    deviceModelNumberWithInternalNameCompletion(const Ref<NSString>& identifier,
                                                const std::function<void(const Ref<NSString>&)>& completion);
    // The walk of a model list: the "devicenumber" of the last group holding an item whose
    // "identifier" is `identifier`, or nil. Members of unexpected types are passed over.
    static Ref<NSString> modelNumberInModelList(const id& modelList, const Ref<NSString>& identifier);
    // The model-list server ("http://host[:port]"); the address is a fixed setting that tests may
    // point elsewhere.
    static Ref<NSString> modelListServer();
    static void setModelListServer(const Ref<NSString>& server);

    // Operations that nothing in the application calls.
    static Ref<NSString> osVersion();
    static unsigned long long getDeviceMemorySize();
    static unsigned long long getFreeDiskspace();
    static bool needSkipEndTest();
    static bool checkiPadIsWifiOnlyWithDict(const Ref<NSString>& identifier, const Ref<NSDictionary>& table);
    static void generateWifiOnlyDataFileIfNecessary();
    static id parseResultTemp(const Ref<NSString>& path);
    static void iPadisWifiOnlyCompletion(const Ref<NSString>& identifier,
                                         const std::function<void(const id& table)>& completion);
    // The built-in Wi-Fi-only table, as JSON text.
    static Ref<NSString> wifiOnlyTableJSON();
};
