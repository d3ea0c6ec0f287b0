#include <Diagnostics/PowerRadio/EngravingViewController.h>

#include "QuestionLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(EngravingViewController, DXBaseViewController) {
    b.property("question", &EngravingViewController::question, &EngravingViewController::setQuestion, "weak");
    b.property("label", &EngravingViewController::label, &EngravingViewController::setLabel, "weak");
}

namespace {

const bool layoutRegistered = [] {
    dx_question::registerLayout("EngravingViewController", true,
                                [](const id& owner, const dx_question::Labels& labels) {
                                    if (auto screen = cast<EngravingViewController>(owner)) {
                                        screen->setLabelTitle(labels.title);
                                        screen->setQuestion(labels.question);
                                        screen->setLabel(labels.extra);
                                    }
                                });
    return true;
}();

} // namespace

void EngravingViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = labelTitle()) {
        label->setText(DXLocalizedString("ENGRAVING_TITLE"));
    }
    if (auto label = question()) {
        label->setText(DXLocalizedString("ENGRAVING_QUESTION"));
    }
    dx_question::answerFromChoose(Ref<DXBaseViewController>(this));
}
