#include <Diagnostics/PowerRadio/PowerOnOffViewController.h>

#include "QuestionLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(PowerOnOffViewController, DXBaseViewController) {
    b.property("question", &PowerOnOffViewController::question, &PowerOnOffViewController::setQuestion, "weak");
    b.property("label", &PowerOnOffViewController::label, &PowerOnOffViewController::setLabel, "weak");
}

namespace {

const bool layoutRegistered = [] {
    dx_question::registerLayout("PowerOnOffViewController", true,
                                [](const id& owner, const dx_question::Labels& labels) {
                                    if (auto screen = cast<PowerOnOffViewController>(owner)) {
                                        screen->setLabelTitle(labels.title);
                                        screen->setQuestion(labels.question);
                                        screen->setLabel(labels.extra);
                                    }
                                });
    return true;
}();

} // namespace

void PowerOnOffViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = labelTitle()) {
        label->setText(NSString::string());
    }
    if (auto label = question()) {
        label->setText(DXLocalizedString("POWER_ON_OFF_QUESTION"));
    }
    dx_question::answerFromChoose(Ref<DXBaseViewController>(this));
    dx_question::observePresent(Ref<DXBaseViewController>(this));
}
