#include <UIKit/UIStatusBar.h>

#include <Device/SimDevice.h>
#include <Device/SimRadios.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>

NS_IMPLEMENT_CLASS(UIStatusBarSignalStrengthItemView, UIView) {
    using S = UIStatusBarSignalStrengthItemView;
    b.readonlyProperty("signalStrengthBars", &S::signalStrengthBars);
    b.readonlyProperty("signalStrengthRaw", &S::signalStrengthRaw);
}

NS_IMPLEMENT_CLASS(UIStatusBar, UIView) {
    b.readonlyProperty("foregroundView", &UIStatusBar::foregroundView);
}

NSInteger UIStatusBarSignalStrengthItemView::signalStrengthBars() const {
    return SimRadios::current().signalBars();
}

NSInteger UIStatusBarSignalStrengthItemView::signalStrengthRaw() const {
    return SimRadios::current().signalStrengthDBm();
}

Ref<UIView> UIStatusBar::foregroundView() const {
    auto foreground = make<UIView>();
    foreground->addSubview(make<UIView>()); // the time
    if (SimDevice::current().carrier()) {
        foreground->addSubview(make<UIStatusBarSignalStrengthItemView>());
    }
    return foreground;
}

Ref<UIStatusBar> UIStatusBar::shared() {
    static Ref<UIStatusBar>* bar = new Ref<UIStatusBar>(make<UIStatusBar>());
    return *bar;
}

namespace uikit_detail {

bool installStatusBarKey() {
    ObjCProperty p;
    p.name = "statusBar";
    p.type = "@";
    p.className = "UIStatusBar";
    p.readonly = true;
    p.getter = [](NSObject*) -> id { return UIStatusBar::shared(); };
    UIApplication::class_()->addProperty(std::move(p));
    return true;
}

} // namespace uikit_detail
