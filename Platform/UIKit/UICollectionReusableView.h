// UICollectionReusableView: a view that a collection reuses by identifier; prepareForReuse is sent
// by selector before it is handed out again.
#pragma once

#include <UIKit/UIView.h>

class UICollectionReusableView : public UIView {
    NS_OBJECT(UICollectionReusableView, UIView)
public:
    UICollectionReusableView() = default;
    explicit UICollectionReusableView(CGRect frame) : UIView(frame) {}

    Ref<NSString> reuseIdentifier() const { return reuseIdentifier_; }
    void setReuseIdentifier(const Ref<NSString>& identifier) { reuseIdentifier_ = identifier; }
    virtual void prepareForReuse() {}

private:
    Ref<NSString> reuseIdentifier_;
};
