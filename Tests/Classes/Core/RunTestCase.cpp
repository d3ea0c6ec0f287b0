#include "RunTestCase.h"

NS_IMPLEMENT_CLASS(StandInResultScreen, UIViewController) {
    b.property("testModels", &StandInResultScreen::testModels, &StandInResultScreen::setTestModels);
    b.property("fromFailScreen", &StandInResultScreen::fromFailScreen, &StandInResultScreen::setFromFailScreen);
}
