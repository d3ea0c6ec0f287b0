#include "ScriptedOperator.h"

#include <Core/DXBaseViewController.h>
#include <Core/DXStartViewController.h>
#include <Core/DXTestViewController.h>
#include <Foundation/NSLog.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UITestDriver.h>

#include <nlohmann/json.hpp>

#include <fstream>

namespace {

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

} // namespace

bool ScriptedOperator::readFaults(const std::string& path, std::map<std::string, std::string>& faults,
                                  std::string* error) {
    std::ifstream file(path);
    if (!file) {
        if (error) {
            *error = "cannot open " + path;
        }
        return false;
    }
    auto document = nlohmann::json::parse(file, nullptr, false);
    if (!document.is_object()) {
        if (error) {
            *error = path + " is not a JSON object of part names and states";
        }
        return false;
    }
    for (auto& [part, state] : document.items()) {
        faults[part] = state.is_string() ? state.get<std::string>() : state.dump();
    }
    return true;
}

std::string ScriptedOperator::partAskedBy(const std::string& screenClass) {
    static const std::map<std::string, std::string> parts = {
        {"WaterDamgeViewController", "liquidIndicator"}, {"CrashScreenViewController", "screen"},
        {"DecorationViewController", "decoration"},      {"EngravingViewController", "engraving"},
        {"RemoveAttachedViewController", "accessory"},   {"PowerOnOffViewController", "powerButton"},
        {"TrueToneViewController", "trueTone"},          {"SimTrayViewController", "simTray"},
    };
    auto it = parts.find(screenClass);
    return it == parts.end() ? std::string() : it->second;
}

bool ScriptedOperator::answer(const std::string& key, const std::string& screenClass) const {
    if (auto it = script_.find(key); it != script_.end()) {
        return it->second;
    }
    auto part = partAskedBy(screenClass);
    auto fault = part.empty() ? faults_.end() : faults_.find(part);
    return fault == faults_.end() || fault->second == "ok" || fault->second == "working";
}

bool ScriptedOperator::act() {
    UITestDriver::layout();
    if (UITestDriver::topAlert()) {
        // A failed-test alert: the operator leaves the test rather than trying again.
        return UITestDriver::tapAlertButtonTitled("Exit") || UITestDriver::tapAlertButtonAtIndex(0);
    }
    auto container = cast<DXTestViewController>(UITestDriver::topViewController());
    if (!container) {
        if (auto navigation = cast<UINavigationController>(UITestDriver::topViewController())) {
            container = cast<DXTestViewController>(navigation->topViewController());
        }
    }
    if (!container) {
        return false;
    }
    auto page = container->oldViewController();
    if (auto start = cast<DXStartViewController>(page)) {
        return start->startButton() && UITestDriver::tapView(start->startButton());
    }
    auto screen = cast<DXBaseViewController>(page);
    if (!screen || screen->isCompleted() || !screen->info()) {
        return false;
    }
    bool yes = answer(text(screen->info()->profilekey()), screen->getClass()->name());
    return UITestDriver::tapButtonTitled(yes ? "YES" : "NO");
}
