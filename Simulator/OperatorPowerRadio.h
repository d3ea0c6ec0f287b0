// The scripted operator on the power, radio and device-status screens: it plugs the charger or a
// computer's USB cable before the tests that need them (it reads the test list ahead, as a person
// does), lays the device on the wireless pad, types the number of the phone in its other hand and
// sends the message, goes to the settings to enrol a face or finger when asked, presents it to the
// system prompt, and answers each question from what the screen showed (the battery's figures, the
// signal lines, the status bar's battery mark, the model and capacity against the device's box, the
// composer's failure notice, the prompt's outcome) and what it heard and saw happen (the call
// connected, the message arrived on the other phone), never from the faults overlay. A script of answers by test key
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
// One step on a system screen that a power, radio or status screen brought up over the app: the
// message composer (Send; a failure notice is read and closed) and the biometric prompt (the face or
// finger is presented, the outcome read on the card). Answers whether the operator did anything.
bool actOnSystemScreen();
// One step on a power, radio or status screen; answers whether the operator did anything.
bool act(const std::map<std::string, bool>& script, const std::string& key, const std::string& screenClass,
         const Ref<DXBaseViewController>& screen);

} // namespace operator_power_radio
