#include <Runtime/ClassBuilder.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIKitText.h>

#include <cmath>
#include <functional>

#define UIFONT_TEXT_STYLE(Name, Value)                                                                                 \
    const Ref<NSString>& Name() {                                                                                      \
        static const Ref<NSString> value = NSString::from(Value);                                                      \
        return value;                                                                                                  \
    }
UIFONT_TEXT_STYLE(UIFontTextStyleLargeTitle, "UICTFontTextStyleTitle0")
UIFONT_TEXT_STYLE(UIFontTextStyleTitle1, "UICTFontTextStyleTitle1")
UIFONT_TEXT_STYLE(UIFontTextStyleTitle2, "UICTFontTextStyleTitle2")
UIFONT_TEXT_STYLE(UIFontTextStyleTitle3, "UICTFontTextStyleTitle3")
UIFONT_TEXT_STYLE(UIFontTextStyleHeadline, "UICTFontTextStyleHeadline")
UIFONT_TEXT_STYLE(UIFontTextStyleSubheadline, "UICTFontTextStyleSubhead")
UIFONT_TEXT_STYLE(UIFontTextStyleBody, "UICTFontTextStyleBody")
UIFONT_TEXT_STYLE(UIFontTextStyleCallout, "UICTFontTextStyleCallout")
UIFONT_TEXT_STYLE(UIFontTextStyleFootnote, "UICTFontTextStyleFootnote")
UIFONT_TEXT_STYLE(UIFontTextStyleCaption1, "UICTFontTextStyleCaption1")
UIFONT_TEXT_STYLE(UIFontTextStyleCaption2, "UICTFontTextStyleCaption2")
#undef UIFONT_TEXT_STYLE

NS_IMPLEMENT_CLASS(UIFont, NSObject) {
    b.classMethod("preferredFontForTextStyle:",
                  [](const Ref<NSString>& style) { return UIFont::preferredFontForTextStyle(style); });
    b.readonlyProperty("pointSize", &UIFont::pointSize);
    b.readonlyProperty("fontName", &UIFont::fontName);
    b.classMethod("systemFontOfSize:", [](double size) { return UIFont::systemFontOfSize(size); });
    b.classMethod("boldSystemFontOfSize:", [](double size) { return UIFont::boldSystemFontOfSize(size); });
    b.classMethod("fontWithName:size:",
                  [](const Ref<NSString>& name, double size) { return UIFont::fontWithNameSize(name, size); });
}

UIFont::UIFont(Ref<NSString> name, CGFloat size, UIFontWeight weight)
    : name_(std::move(name)), size_(size), weight_(weight) {}

Ref<UIFont> UIFont::fontWithNameSize(const Ref<NSString>& fontName, CGFloat fontSize) {
    if (!fontName || fontName->length() == 0 || fontSize < 0) {
        return nullptr;
    }
    const std::string& n = fontName->str();
    bool bold = n.find("Bold") != std::string::npos || n.find("Heavy") != std::string::npos;
    bool thin = n.find("Thin") != std::string::npos || n.find("Light") != std::string::npos;
    return make<UIFont>(fontName, fontSize, bold ? UIFontWeightBold : thin ? UIFontWeightThin : UIFontWeightRegular);
}

Ref<UIFont> UIFont::preferredFontForTextStyle(const Ref<NSString>& style) {
    struct Entry {
        const Ref<NSString>& (*name)();
        CGFloat size;
        UIFontWeight weight;
    };
    static const Entry entries[] = {
        {UIFontTextStyleLargeTitle, 34, UIFontWeightRegular}, {UIFontTextStyleTitle1, 28, UIFontWeightRegular},
        {UIFontTextStyleTitle2, 22, UIFontWeightRegular},     {UIFontTextStyleTitle3, 20, UIFontWeightRegular},
        {UIFontTextStyleHeadline, 17, UIFontWeightSemibold},  {UIFontTextStyleSubheadline, 15, UIFontWeightRegular},
        {UIFontTextStyleBody, 17, UIFontWeightRegular},       {UIFontTextStyleCallout, 16, UIFontWeightRegular},
        {UIFontTextStyleFootnote, 13, UIFontWeightRegular},   {UIFontTextStyleCaption1, 12, UIFontWeightRegular},
        {UIFontTextStyleCaption2, 11, UIFontWeightRegular},
    };
    for (const auto& e : entries) {
        if (style && style->isEqual(e.name())) {
            return systemFontOfSizeWeight(e.size, e.weight);
        }
    }
    return systemFontOfSize(17);
}

Ref<UIFont> UIFont::systemFontOfSize(CGFloat fontSize) {
    return make<UIFont>(".SFUIText"_ns, fontSize);
}

Ref<UIFont> UIFont::boldSystemFontOfSize(CGFloat fontSize) {
    return make<UIFont>(".SFUIText-Semibold"_ns, fontSize, UIFontWeightBold);
}

Ref<UIFont> UIFont::italicSystemFontOfSize(CGFloat fontSize) {
    return make<UIFont>(".SFUIText-Italic"_ns, fontSize);
}

Ref<UIFont> UIFont::systemFontOfSizeWeight(CGFloat fontSize, UIFontWeight weight) {
    return make<UIFont>(weight >= UIFontWeightSemibold ? ".SFUIText-Semibold"_ns : ".SFUIText"_ns, fontSize, weight);
}

Ref<UIFont> UIFont::fontWithSize(CGFloat fontSize) const {
    return make<UIFont>(name_, fontSize, weight_);
}

Ref<NSString> UIFont::familyName() const {
    if (!name_) {
        return nullptr;
    }
    const std::string& n = name_->str();
    if (n.starts_with(".SFUI")) {
        return ".SF UI Text"_ns;
    }
    auto dash = n.find('-');
    return NSString::from(dash == std::string::npos ? n : n.substr(0, dash));
}

CGSize UIFont::sizeOfText(const Ref<NSString>& text, CGFloat width) const {
    uikit_text::Paragraph p;
    p.width = width > 0 ? width : 0;
    return uikit_text::measure(text, Ref<UIFont>(const_cast<UIFont*>(this)), p).size;
}

CGFloat UIFont::lineHeight() const {
    return uikit_text::metricsOf(*this).lineHeight;
}

CGFloat UIFont::ascender() const {
    return uikit_text::metricsOf(*this).ascender;
}

CGFloat UIFont::descender() const {
    return uikit_text::metricsOf(*this).descender;
}

CGFloat UIFont::capHeight() const {
    return uikit_text::metricsOf(*this).capHeight;
}

CGFloat UIFont::xHeight() const {
    return uikit_text::metricsOf(*this).xHeight;
}

bool UIFont::isEqual(const id& other) const {
    auto o = cast<UIFont>(other);
    return o && NSObjectsEqual(o->name_, name_) && o->size_ == size_ && o->weight_ == weight_;
}

NSUInteger UIFont::hash() const {
    return (name_ ? name_->hash() : 0) ^ std::hash<double>()(size_);
}

Ref<NSString> UIFont::description() const {
    return NSString::stringWithFormat("<UICTFont: %p> font-family: \"%@\"; font-weight: %s; font-size: %gpt",
                                      static_cast<const void*>(this), familyName(), isBold() ? "bold" : "normal",
                                      size_);
}

id UIFont::copy() const {
    return id(const_cast<UIFont*>(this));
}
