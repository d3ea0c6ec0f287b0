// NSTextAttachment: a picture carried in attributed text. The string holds the object replacement
// character (U+FFFC) with the attachment under NSAttachmentAttributeName; laid out, the character
// takes the picture's box: `bounds` in points, its origin's y measured up from the baseline (a
// negative y lowers the picture below it). Zero bounds take the image's size, sitting on the
// baseline. The image is drawn scaled into the box, upright.
#pragma once

#include <Foundation/NSAttributedString.h>
#include <UIKit/UIImage.h>

class NSTextAttachment : public NSObject {
    NS_OBJECT(NSTextAttachment, NSObject)
public:
    NSTextAttachment() = default;

    Ref<UIImage> image() const { return image_; }
    void setImage(const Ref<UIImage>& image) { image_ = image; }
    CGRect bounds() const noexcept { return bounds_; }
    void setBounds(CGRect bounds) noexcept { bounds_ = bounds; }
    // The box the picture takes in a line: `bounds`, or the image's size on the baseline when they
    // are empty; empty without an image.
    CGRect layoutBounds() const;

private:
    Ref<UIImage> image_;
    CGRect bounds_{};
};

const Ref<NSString>& NSAttachmentAttributeName();

// `+[NSAttributedString attributedStringWithAttachment:]`: the replacement character carrying the
// attachment.
Ref<NSAttributedString> NSAttributedStringWithAttachment(const Ref<NSTextAttachment>& attachment);
