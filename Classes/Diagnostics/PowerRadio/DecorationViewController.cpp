#include <Diagnostics/PowerRadio/DecorationViewController.h>

#include "QuestionLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(DecorationViewController, DXBaseViewController) {
    b.property("question", &DecorationViewController::question, &DecorationViewController::setQuestion, "weak");
    b.property("label", &DecorationViewController::label, &DecorationViewController::setLabel, "weak");
}

namespace {

const bool layoutRegistered = [] {
    dx_question::registerLayout("DecorationViewController", true,
                                [](const id& owner, const dx_question::Labels& labels) {
                                    if (auto screen = cast<DecorationViewController>(owner)) {
                                        screen->setLabelTitle(labels.title);
                                        screen->setQuestion(labels.question);
                                        screen->setLabel(labels.extra);
                                    }
                                });
    return true;
}();

} // namespace

void DecorationViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = labelTitle()) {
        label->setText(DXLocalizedString("DECORATION_TITLE"));
    }
    if (auto label = question()) {
        label->setText(DXLocalizedString("DECORATION_QUESTION"));
    }
    dx_question::answerFromChoose(Ref<DXBaseViewController>(this));
    dx_question::observePresent(Ref<DXBaseViewController>(this));
}
