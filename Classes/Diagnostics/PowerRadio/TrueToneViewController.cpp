#include <Diagnostics/PowerRadio/TrueToneViewController.h>

#include "QuestionLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(TrueToneViewController, DXBaseViewController) {
    b.property("question", &TrueToneViewController::question, &TrueToneViewController::setQuestion, "weak");
    b.property("tipLabel", &TrueToneViewController::tipLabel, &TrueToneViewController::setTipLabel, "weak");
}

namespace {

const bool layoutRegistered = [] {
    dx_question::registerLayout("TrueToneViewController", true, [](const id& owner, const dx_question::Labels& labels) {
        if (auto screen = cast<TrueToneViewController>(owner)) {
            screen->setLabelTitle(labels.title);
            screen->setQuestion(labels.question);
            screen->setTipLabel(labels.extra);
        }
    });
    return true;
}();

} // namespace

void TrueToneViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = labelTitle()) {
        label->setText(DXLocalizedString("ROOTLIST_TITLE_TRUETONE"));
    }
    if (auto label = question()) {
        label->setText(DXLocalizedString("TRUE_TONE_CONTROLLER_QUESTION"));
    }
    if (auto label = tipLabel()) {
        label->setText(DXLocalizedString("TRUE_TONE_CONTROLLER_TIP"));
    }
    dx_question::answerFromChoose(Ref<DXBaseViewController>(this));
}
