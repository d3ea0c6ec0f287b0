// What the simulator's back office knows of the device in front of it: the tests a session holds
// on this device (every test the device supports that the app has a screen for, read from the
// app's own catalogue "ItemList" and support list "models"), and the model list the back office
// publishes ("/static/json/AppleModel.json"), made from the shipped device profiles.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// The test keys of a session on the current device, in the catalogue's priority order: every test
// the support list does not rule out for this device (a test left to its screen asks the screen),
// whose screen class exists in the app. TRUETONE and the like join where the device has them;
// the screens of a family join as soon as they are built.
std::vector<std::string> supportedSessionKeys();

// Every test key of the app's catalogue ("ItemList"), whether or not this device supports it.
std::vector<std::string> catalogueKeys();

// The hardware identifier of the device in front of the back office ("iPhone10,3"), as the
// device-id lookup page gives it.
std::string deviceHardwareIdentifier();

// The model list of every shipped device profile (Resources/Devices): {"iOS": {category: [{"<category>":
// [{"identifier", "devicenumber"}, ...]}]}}, with a profile's "modelNumber" as its device number.
nlohmann::ordered_json shippedModelList();
