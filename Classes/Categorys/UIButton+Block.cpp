#include <Categorys/DXBlockBox.h>
#include <Categorys/UIButton+Block.h>

#include <Runtime/ClassBuilder.h>

namespace {

const char kActionBlockKey = 0;
using ActionBox = DXBlockBox<void(const Ref<UIButton>&)>;

const bool installed = [] {
    ClassBuilder<UIButton> b(UIButton::class_());
    b.methodBlock("actionBlock:", [](UIButton* self, id sender) { actionBlock(Ref<UIButton>(self), sender); });
    return true;
}();

} // namespace

void handleControlEventWithBlock(const Ref<UIButton>& button, UIControlEvents events, DXButtonActionBlock block) {
    (void)installed;
    if (!button) {
        return;
    }
    ActionBox::store(button.get(), &kActionBlockKey, std::move(block), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    button->addTargetActionForControlEvents(button, "actionBlock:", events);
}

void actionBlock(const Ref<UIButton>& button, const id& sender) {
    if (auto block = ActionBox::blockOf(button.get(), &kActionBlockKey)) {
        block(cast<UIButton>(sender));
    }
}
