// Fixture of the screen tests: the core fixture plus a window, screen sizes of other devices and
// the screen read back through the test driver.
#pragma once

#include "CoreTestCase.h"

#include <UIKit/UIActionSheet.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UITestDriver.h>

#include <regex>

class ScreenTestCase : public CoreTestCase {
protected:
    void TearDown() override {
        for (auto& alert : UIAlertView::visibleAlerts()) {
            alert->dismissWithClickedButtonIndexAnimated(0, false);
        }
        for (auto& sheet : UIActionSheet::visibleSheets()) {
            sheet->dismissWithClickedButtonIndexAnimated(sheet->cancelButtonIndex(), false);
        }
        window_ = nullptr;
        navigation_ = nullptr;
        CoreTestCase::TearDown();
    }

    // The simulated device with a main screen of `width` x `height` points.
    static void useScreen(double width, double height) {
        std::string json = SimDevice::current().profileJSON();
        std::string screen = "\"screen\": {\"width\": " + std::to_string(width) +
                             ", \"height\": " + std::to_string(height) + ", \"scale\": 2.0, \"nativeScale\": 2.0}";
        json = std::regex_replace(json, std::regex("\"screen\"\\s*:\\s*\\{[^}]*\\}"), screen);
        std::string error;
        ASSERT_TRUE(SimDevice::current().loadProfileJSON(json, &error)) << error;
    }

    // Shows `root` in a navigation controller in a key window.
    Ref<UINavigationController> showInNavigation(const Ref<UIViewController>& root) {
        navigation_ = make<UINavigationController>(root);
        window_ = UITestDriver::showRootViewController(navigation_);
        UITestDriver::layout();
        return navigation_;
    }

    Ref<UINavigationController> navigation_;
    Ref<UIWindow> window_;
};
