#include <Runtime/ClassBuilder.h>
#include <UIKit/UILayoutGuide.h>
#include <UIKit/UIView.h>

NS_IMPLEMENT_CLASS(UILayoutGuide, NSObject) {
    b.readonlyProperty("owningView", &UILayoutGuide::owningView);
    b.readonlyProperty("layoutFrame", &UILayoutGuide::layoutFrame);
    b.readonlyProperty("length", &UILayoutGuide::length);
    b.property("identifier", &UILayoutGuide::identifier, &UILayoutGuide::setIdentifier);
}

Ref<UIView> UILayoutGuide::owningView() const {
    return owningView_.lock();
}

void UILayoutGuide::setOwningView(const Ref<UIView>& view) {
    owningView_ = view;
}

CGRect UILayoutGuide::layoutFrame() const {
    auto view = owningView();
    switch (kind_) {
    case Kind::SafeArea:
        return view ? UIEdgeInsetsInsetRect(view->bounds(), view->safeAreaInsets()) : CGRectZero;
    case Kind::Margins:
        return view ? UIEdgeInsetsInsetRect(view->bounds(), view->layoutMargins()) : CGRectZero;
    case Kind::TopLayoutSupport:
        return CGRectMake(0, 0, view ? view->bounds().size.width : 0, length_);
    case Kind::BottomLayoutSupport: {
        CGRect b = view ? view->bounds() : CGRectZero;
        return CGRectMake(0, b.size.height - length_, b.size.width, length_);
    }
    case Kind::Plain:
        break;
    }
    return frame_;
}

Ref<NSString> UILayoutGuide::description() const {
    CGRect f = layoutFrame();
    return NSString::stringWithFormat("<%s: %p - \"%@\", layoutFrame = {{%g, %g}, {%g, %g}}>", getClass()->name(),
                                      static_cast<const void*>(this), identifier_, f.origin.x, f.origin.y, f.size.width,
                                      f.size.height);
}
