#include <Diagnostics/CameraDisplay/GhostScreenViewController.h>

#include "CameraLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(GhostScreenViewController, DXBaseViewController) {
    using G = GhostScreenViewController;
    b.property("label", &G::label, &G::setLabel, "weak");
    b.property("question", &G::question, &G::setQuestion, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_camera;
    registerLayout("GhostScreenViewController", {{"label", Kind::Label}, {"question", Kind::Label}});
    return true;
}();

} // namespace

void DXAnswerQuestionFromChoose(const Ref<DXBaseViewController>& screen) {
    Weak<DXBaseViewController> weak(screen);
    screen->choose()->subscribeNext([weak](const id& yes) {
        auto self = weak.lock();
        if (!self || self->isCompleted()) {
            return;
        }
        if (self->info()) {
            self->info()->setResult(unbox<bool>(yes) ? DXTestResultPass : DXTestResultFail);
        }
        self->gotoResultView();
    });
}

void GhostScreenViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto l = label()) {
        l->setText(DXLocalizedString("GHOST_SCREEN_TEST_LABEL"));
    }
    if (auto q = question()) {
        q->setText(DXLocalizedString("GHOST_SCREEN_TEST_ANSWER"));
    }
    DXAnswerQuestionFromChoose(Ref<DXBaseViewController>(this));
}
