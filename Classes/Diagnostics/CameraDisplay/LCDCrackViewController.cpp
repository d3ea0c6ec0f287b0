#include <Diagnostics/CameraDisplay/LCDCrackViewController.h>

#include "CameraLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Diagnostics/CameraDisplay/GhostScreenViewController.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(LCDCrackViewController, DXBaseViewController) {
    using L = LCDCrackViewController;
    b.property("label", &L::label, &L::setLabel, "weak");
    b.property("question", &L::question, &L::setQuestion, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_camera;
    registerLayout("LCDCrackViewController",
                   {{"labelTitle", Kind::Label}, {"label", Kind::Label}, {"question", Kind::Label}});
    return true;
}();

} // namespace

void LCDCrackViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString("LCD_CRACK_TITLE"));
    }
    if (auto q = question()) {
        q->setText(DXLocalizedString("LCD_CRACK_QUESTION"));
    }
    DXAnswerQuestionFromChoose(Ref<DXBaseViewController>(this));
}
