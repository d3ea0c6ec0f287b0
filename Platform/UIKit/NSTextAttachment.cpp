#include <Runtime/ClassBuilder.h>
#include <UIKit/NSTextAttachment.h>
#include <UIKit/UIKitInternal.h>

NS_IMPLEMENT_CLASS(NSTextAttachment, NSObject) {
    b.property("image", &NSTextAttachment::image, &NSTextAttachment::setImage);
}

UIKIT_STRING_CONSTANT(NSAttachmentAttributeName)

CGRect NSTextAttachment::layoutBounds() const {
    if (!image_) {
        return CGRectZero;
    }
    if (bounds_.size.width > 0 && bounds_.size.height > 0) {
        return bounds_;
    }
    return CGRectMake(0, 0, image_->size().width, image_->size().height);
}

Ref<NSAttributedString> NSAttributedStringWithAttachment(const Ref<NSTextAttachment>& attachment) {
    auto attributes = NSMutableDictionary::dictionary();
    if (attachment) {
        attributes->setObjectForKey(attachment, NSAttachmentAttributeName());
    }
    return make<NSAttributedString>(NSString::from("\uFFFC"), attributes);
}
