// JailBreakViewController: reports whether the device has been jailbroken (SIJailbreak probes the
// device's own file system) and records the verdict a second after it comes into view. A testing
// station may pass a batch of jailbroken devices with "ROOT_DEVICE_IS_PASS": "True" in its station
// file; the override only ever turns a jailbroken device's fail into a pass: a clean device passes
// whatever the file says.
#pragma once

#include <Core/DXBaseViewController.h>

class JailBreakViewController : public DXBaseViewController {
    NS_OBJECT(JailBreakViewController, DXBaseViewController)
public:
    JailBreakViewController() = default;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    Ref<RXSignal> disappear() override;

    static bool detectJailbreak();
    // The verdict: YES passes.
    static bool alreadyJailbreak();
};
