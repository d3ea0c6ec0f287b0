#include <Diagnostics/CameraDisplay/CameraVideoViewController.h>

#include "CameraLayout.h"

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CameraVideoViewController, DXCameraVideoScreen) {
    using C = CameraVideoViewController;
    b.property("recordButton", &C::recordButton, &C::setRecordButton, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_camera;
    registerLayout("CameraVideoViewController", {{"testLabel", Kind::Label},
                                                 {"previewImageView", Kind::Picture},
                                                 {"colorLabel", Kind::Label},
                                                 {"recordButton", Kind::Button, true}});
    return true;
}();

} // namespace

NSInteger CameraVideoViewController::stepOneCount() const {
    (void)layoutRegistered;
    NSInteger waiting = info() ? info()->waitingTime() : -1;
    return waiting == -1 ? 3 : std::max<NSInteger>(0, waiting);
}

void CameraVideoViewController::showStepText(const Ref<NSString>& text) {
    if (auto label = colorLabel()) {
        label->setText(text);
    }
}
