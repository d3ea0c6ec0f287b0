#include <Categorys/UILabel+InjectColor.h>

#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>

namespace {

constexpr CGFloat kInjectedPointSize = 16.0;

// The implementation the label class had before the exchange.
IMP& platformImplementation() {
    static IMP imp;
    return imp;
}

void injectColor(UILabel* label) {
    if (auto font = label->font(); font && font->pointSize() == kInjectedPointSize) {
        label->setTextColor(UIColor::darkGrayColor());
    }
}

const bool installed = [] {
    Class cls = UILabel::class_();
    SEL original("willMoveToSuperview:");
    SEL hook("dx_willMoveToSuperview:");
    const ObjCMethod* inherited = cls->instanceMethod(original);
    platformImplementation() = inherited ? inherited->imp : IMP();
    std::string types = inherited ? inherited->types : std::string("v@:@");
    IMP hooked = [](NSObject* self, const std::vector<id>& args) -> id {
        if (const IMP& platform = platformImplementation()) {
            platform(self, args);
        }
        injectColor(static_cast<UILabel*>(self));
        return nullptr;
    };
    // The label class answers willMoveToSuperview: with the hook, dx_willMoveToSuperview: with the
    // platform's method.
    cls->replaceInstanceMethod(original, hooked, types);
    cls->replaceInstanceMethod(hook, platformImplementation(), types);
    return true;
}();

} // namespace

bool UILabelInjectColorInstalled() {
    return installed;
}

void dx_willMoveToSuperview(const Ref<UILabel>& label, const Ref<UIView>& newSuperview) {
    if (label) {
        label->performSelectorWithArguments("willMoveToSuperview:", {newSuperview});
    }
}
