#include <Categorys/UIView+Frame.h>

CGFloat x(const Ref<UIView>& view) {
    return view ? view->frame().origin.x : 0;
}
CGFloat y(const Ref<UIView>& view) {
    return view ? view->frame().origin.y : 0;
}
CGFloat width(const Ref<UIView>& view) {
    return view ? view->frame().size.width : 0;
}
CGFloat height(const Ref<UIView>& view) {
    return view ? view->frame().size.height : 0;
}

namespace {
template <class F>
void changeFrame(const Ref<UIView>& view, F change) {
    if (view) {
        CGRect frame = view->frame();
        change(frame);
        view->setFrame(frame);
    }
}
} // namespace

void setX(const Ref<UIView>& view, CGFloat value) {
    changeFrame(view, [&](CGRect& f) { f.origin.x = value; });
}
void setY(const Ref<UIView>& view, CGFloat value) {
    changeFrame(view, [&](CGRect& f) { f.origin.y = value; });
}
void setWidth(const Ref<UIView>& view, CGFloat value) {
    changeFrame(view, [&](CGRect& f) { f.size.width = value; });
}
void setHeight(const Ref<UIView>& view, CGFloat value) {
    changeFrame(view, [&](CGRect& f) { f.size.height = value; });
}
