#include <Diagnostics/PowerRadio/CrashScreenViewController.h>

#include "QuestionLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CrashScreenViewController, DXBaseViewController) {
    b.property("question", &CrashScreenViewController::question, &CrashScreenViewController::setQuestion, "weak");
}

namespace {

const bool layoutRegistered = [] {
    dx_question::registerLayout("CrashScreenViewController", false,
                                [](const id& owner, const dx_question::Labels& labels) {
                                    if (auto screen = cast<CrashScreenViewController>(owner)) {
                                        screen->setLabelTitle(labels.title);
                                        screen->setQuestion(labels.question);
                                    }
                                });
    return true;
}();

} // namespace

void CrashScreenViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = labelTitle()) {
        label->setText(DXLocalizedString("CRASHSCREEN_TITLE_LABEL"));
    }
    if (auto label = question()) {
        label->setText(DXLocalizedString("CRASHSCREEN_QUESTION"));
    }
    dx_question::answerFromChoose(Ref<DXBaseViewController>(this));
}
