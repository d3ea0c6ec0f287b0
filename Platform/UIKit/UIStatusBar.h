// The status bar's own views, as the platform keeps them out of sight: the application's
// "statusBar" (key-value coding only) is a UIStatusBar whose "foregroundView" holds the item views;
// UIStatusBarSignalStrengthItemView shows the cellular signal ("signalStrengthBars", 0 to 4, and
// "signalStrengthRaw", dBm) and is there only while the device has a SIM. Read from the simulated
// radios at each call. The newer status bar's items ("statusBar.items") are not modelled: a key path
// into them raises NSUndefinedKeyException, as on a system without them.
#pragma once

#include <UIKit/UIView.h>

class UIStatusBarSignalStrengthItemView : public UIView {
    NS_OBJECT(UIStatusBarSignalStrengthItemView, UIView)
public:
    UIStatusBarSignalStrengthItemView() = default;
    NSInteger signalStrengthBars() const;
    NSInteger signalStrengthRaw() const;
};

class UIStatusBar : public UIView {
    NS_OBJECT(UIStatusBar, UIView)
public:
    UIStatusBar() = default;
    // The item views as they stand now.
    Ref<UIView> foregroundView() const;
    // The application's status bar.
    static Ref<UIStatusBar> shared();
};

namespace uikit_detail {
// Gives UIApplication its "statusBar" key (done once when the program starts).
bool installStatusBarKey();
} // namespace uikit_detail
