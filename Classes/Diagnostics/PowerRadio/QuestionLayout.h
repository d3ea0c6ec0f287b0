// The layout resources of the question screens, registered in code: a title line under the header,
// the question below it and, for some screens, one more label under the question. Each screen's
// layout resource is named after its class and connects that screen's outlets.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UILabel.h>

#include <functional>
#include <string>

namespace dx_question {

struct Labels {
    Ref<UILabel> title;
    Ref<UILabel> question;
    Ref<UILabel> extra; // nil unless the layout has a third label
};

// Registers the layout resource `name`: the labels are made and handed to `connect` with the owner.
void registerLayout(const std::string& name, bool withExtraLabel,
                    std::function<void(const id& owner, const Labels& labels)> connect);

// Subscribes the screen to its answer bar: YES gives result 1, NO result 2, then the test ends.
void answerFromChoose(const Ref<DXBaseViewController>& screen);
// Subscribes the screen to its appearance signal without acting on it.
void observePresent(const Ref<DXBaseViewController>& screen);

} // namespace dx_question
