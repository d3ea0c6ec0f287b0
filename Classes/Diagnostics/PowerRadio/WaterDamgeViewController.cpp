#include <Diagnostics/PowerRadio/WaterDamgeViewController.h>

#include "QuestionLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(WaterDamgeViewController, DXBaseViewController) {
    b.property("question", &WaterDamgeViewController::question, &WaterDamgeViewController::setQuestion, "weak");
    b.property("titleLabel", &WaterDamgeViewController::titleLabel, &WaterDamgeViewController::setTitleLabel, "weak");
}

namespace {

const bool layoutRegistered = [] {
    dx_question::registerLayout("WaterDamgeViewController", false,
                                [](const id& owner, const dx_question::Labels& labels) {
                                    if (auto screen = cast<WaterDamgeViewController>(owner)) {
                                        screen->setTitleLabel(labels.title);
                                        screen->setQuestion(labels.question);
                                    }
                                });
    return true;
}();

} // namespace

void WaterDamgeViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = titleLabel()) {
        label->setText(DXLocalizedString("WATERDAMAGE_CONTROLLER_TITLE"));
    }
    if (auto label = question()) {
        label->setText(DXLocalizedString("WATERDAMAGE_CONTROLLER_QUESTION"));
    }
    dx_question::answerFromChoose(Ref<DXBaseViewController>(this));
}
