// MPVolumeView (see MPVolumeView.h).
#include <MediaPlayer/MPVolumeView.h>

#include <AVFoundation/AVSystemVolume.h>
#include <Foundation/NSArray.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIWindow.h>

#include <functional>

NS_IMPLEMENT_CLASS(MPVolumeView, UIView) {
    b.property("showsVolumeSlider", &MPVolumeView::showsVolumeSlider, &MPVolumeView::setShowsVolumeSlider);
    b.property("showsRouteButton", &MPVolumeView::showsRouteButton, &MPVolumeView::setShowsRouteButton);
}

MPVolumeView::MPVolumeView() : MPVolumeView(CGRect{}) {}

MPVolumeView::MPVolumeView(CGRect frame) : UIView(frame) {
    avsystem_detail::startSystemVolumeNotifications();
}

CGSize MPVolumeView::sizeThatFits(CGSize size) const {
    return CGSize{size.width > 0 ? size.width : frame().size.width, 34};
}

bool MPVolumeView::suppressesVolumeOverlay() {
    auto app = UIApplication::sharedApplication();
    if (!app) {
        return false;
    }
    std::function<bool(const Ref<UIView>&)> find = [&](const Ref<UIView>& view) -> bool {
        if (!view) {
            return false;
        }
        if (cast<MPVolumeView>(view)) {
            return true;
        }
        auto subviews = view->subviews();
        for (NSUInteger i = 0; subviews && i < subviews->count(); ++i) {
            if (find(cast<UIView>(subviews->objectAtIndex(i)))) {
                return true;
            }
        }
        return false;
    };
    auto windows = app->windows();
    for (NSUInteger i = 0; windows && i < windows->count(); ++i) {
        if (find(cast<UIView>(windows->objectAtIndex(i)))) {
            return true;
        }
    }
    return false;
}
