// The scripted operator on the power, radio and device-status screens: it plugs the charger or a
// computer's USB cable before the tests that need them (it reads the test list ahead, as a person
// does), lays the device on the wireless pad, types a number and sends the message, goes to the
// settings to enrol a face or finger when asked, and answers each question from what the screen
// showed (the battery's figures, the status bar's battery mark, the signal lines, the model and
// capacity against the device's box) and what the device really did (the call connected, the message
// went out, the sensor matched), never from the faults overlay. A script of answers by test key
// overrides it.
#pragma once

#include <Core/DXBaseViewController.h>
#include <Core/DXTestViewController.h>

#include <map>
#include <string>

namespace operator_power_radio {

bool isPowerRadioScreen(const std::string& screenClass);
// Points the Wi-Fi test at the loopback service's public-address page.
void useAddressPage(const std::string& url);
// Answers an alert of these screens (the biometric screens' way to the settings); false for others.
bool answerAlert();
// Plugs or unplugs the feeds for the test being shown or coming next.
void prepareForUpcomingTest(const Ref<DXTestViewController>& container);
// One step on a power, radio or status screen; answers whether the operator did anything.
bool act(const std::map<std::string, bool>& script, const std::string& key, const std::string& screenClass,
         const Ref<DXBaseViewController>& screen);

} // namespace operator_power_radio
