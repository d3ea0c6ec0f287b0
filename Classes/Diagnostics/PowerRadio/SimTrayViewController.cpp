#include <Diagnostics/PowerRadio/SimTrayViewController.h>

#include "QuestionLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <CoreTelephony/CTTelephonyNetworkInfo.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(SimTrayViewController, DXBaseViewController) {
    b.property("question", &SimTrayViewController::question, &SimTrayViewController::setQuestion, "weak");
    b.property("label", &SimTrayViewController::label, &SimTrayViewController::setLabel, "weak");
    b.classMethod("isSupport", [] { return SimTrayViewController::isSupport(); });
}

namespace {

const bool layoutRegistered = [] {
    dx_question::registerLayout("SimTrayViewController", true, [](const id& owner, const dx_question::Labels& labels) {
        if (auto screen = cast<SimTrayViewController>(owner)) {
            screen->setLabelTitle(labels.title);
            screen->setQuestion(labels.question);
            screen->setLabel(labels.extra);
        }
    });
    return true;
}();

} // namespace

Ref<NSNumber> SimTrayViewController::isSupport() {
    auto networkInfo = make<CTTelephonyNetworkInfo>();
    return NSNumber::numberWithInteger(networkInfo->subscriberCellularProvider() ? 1 : 0);
}

void SimTrayViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = labelTitle()) {
        label->setText(NSString::string());
    }
    if (auto label = question()) {
        label->setText(DXLocalizedString("SIM_TRAY_QUESTION"));
    }
    dx_question::answerFromChoose(Ref<DXBaseViewController>(this));
    dx_question::observePresent(Ref<DXBaseViewController>(this));
}
