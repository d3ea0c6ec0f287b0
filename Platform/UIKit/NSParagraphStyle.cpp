#include <Runtime/ClassBuilder.h>
#include <UIKit/NSParagraphStyle.h>

NS_IMPLEMENT_CLASS(NSParagraphStyle, NSObject) {}
NS_IMPLEMENT_CLASS(NSMutableParagraphStyle, NSParagraphStyle) {}

Ref<NSParagraphStyle> NSParagraphStyle::defaultParagraphStyle() {
    return make<NSParagraphStyle>();
}

id NSParagraphStyle::copy() const {
    auto c = make<NSParagraphStyle>();
    c->alignment_ = alignment_;
    c->lineBreakMode_ = lineBreakMode_;
    c->lineSpacing_ = lineSpacing_;
    return c;
}

id NSParagraphStyle::mutableCopy() const {
    auto c = make<NSMutableParagraphStyle>();
    c->setAlignment(alignment_);
    c->setLineBreakMode(lineBreakMode_);
    c->setLineSpacing(lineSpacing_);
    return c;
}
