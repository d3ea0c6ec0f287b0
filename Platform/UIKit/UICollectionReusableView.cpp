#include <Runtime/ClassBuilder.h>
#include <UIKit/UICollectionReusableView.h>

NS_IMPLEMENT_CLASS(UICollectionReusableView, UIView) {
    b.method("prepareForReuse", &UICollectionReusableView::prepareForReuse);
    b.readonlyProperty("reuseIdentifier", &UICollectionReusableView::reuseIdentifier);
}
