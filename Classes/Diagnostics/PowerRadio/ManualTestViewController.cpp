#include <Diagnostics/PowerRadio/ManualTestViewController.h>

#include "QuestionLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(ManualTestViewController, DXBaseViewController) {
    b.property("question", &ManualTestViewController::question, &ManualTestViewController::setQuestion, "weak");
}

namespace {

const bool layoutRegistered = [] {
    dx_question::registerLayout("ManualTestViewController", false,
                                [](const id& owner, const dx_question::Labels& labels) {
                                    if (auto screen = cast<ManualTestViewController>(owner)) {
                                        screen->setLabelTitle(labels.title);
                                        screen->setQuestion(labels.question);
                                    }
                                });
    return true;
}();

} // namespace

void ManualTestViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = labelTitle()) {
        label->setText(DXLocalizedString("MANUAL_TEST_TITLE_LABEL"));
    }
    if (auto label = question()) {
        // The profile's own text, shown as it is.
        label->setText(info() ? info()->question() : nullptr);
    }
    dx_question::answerFromChoose(Ref<DXBaseViewController>(this));
}
