// The device's set-up for a run (see DeviceSetup.h).
#include "DeviceSetup.h"
#include "DeviceFaults.h"

bool loadFaultsForRun(const std::string& path, std::map<std::string, std::string>& looks, std::string* error) {
    std::map<std::string, std::string> faults;
    if (!loadDeviceFaults(path, faults, error)) {
        return false;
    }
    looks = casingLooks(faults);
    return true;
}
