#include <Diagnostics/PowerRadio/RemoveAttachedViewController.h>

#include "QuestionLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RemoveAttachedViewController, DXBaseViewController) {
    b.property("question", &RemoveAttachedViewController::question, &RemoveAttachedViewController::setQuestion, "weak");
    b.property("label", &RemoveAttachedViewController::label, &RemoveAttachedViewController::setLabel, "weak");
}

namespace {

const bool layoutRegistered = [] {
    dx_question::registerLayout("RemoveAttachedViewController", true,
                                [](const id& owner, const dx_question::Labels& labels) {
                                    if (auto screen = cast<RemoveAttachedViewController>(owner)) {
                                        screen->setLabelTitle(labels.title);
                                        screen->setQuestion(labels.question);
                                        screen->setLabel(labels.extra);
                                    }
                                });
    return true;
}();

} // namespace

void RemoveAttachedViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = labelTitle()) {
        label->setText(DXLocalizedString("REMOVE_ACCESSORY_TITLE"));
    }
    if (auto label = question()) {
        label->setText(DXLocalizedString("REMOVE_ACCESSORY_QUESTION"));
    }
    dx_question::answerFromChoose(Ref<DXBaseViewController>(this));
    dx_question::observePresent(Ref<DXBaseViewController>(this));
}
