#include <UIKit/UIGeometry.h>

#include <cstdlib>
#include <vector>

namespace {

std::string number(CGFloat v) {
    return NSFormat("%g", {v});
}

// The numbers of a "{...}" text in order, as strtod reads them.
std::vector<double> numbersIn(const Ref<NSString>& string) {
    std::vector<double> out;
    if (!string) {
        return out;
    }
    const char* p = string->UTF8String();
    while (*p) {
        if ((*p >= '0' && *p <= '9') || *p == '-' || *p == '+' || *p == '.') {
            char* end = nullptr;
            double v = std::strtod(p, &end);
            if (end == p) {
                ++p;
                continue;
            }
            out.push_back(v);
            p = end;
        } else {
            ++p;
        }
    }
    return out;
}

double at(const std::vector<double>& v, size_t i) {
    return i < v.size() ? v[i] : 0;
}

} // namespace

Ref<NSString> NSStringFromCGPoint(CGPoint p) {
    return NSString::from("{" + number(p.x) + ", " + number(p.y) + "}");
}

Ref<NSString> NSStringFromCGSize(CGSize s) {
    return NSString::from("{" + number(s.width) + ", " + number(s.height) + "}");
}

Ref<NSString> NSStringFromCGRect(CGRect r) {
    return NSString::from("{{" + number(r.origin.x) + ", " + number(r.origin.y) + "}, {" + number(r.size.width) + ", " +
                          number(r.size.height) + "}}");
}

Ref<NSString> NSStringFromCGAffineTransform(CGAffineTransform t) {
    return NSString::from("[" + number(t.a) + ", " + number(t.b) + ", " + number(t.c) + ", " + number(t.d) + ", " +
                          number(t.tx) + ", " + number(t.ty) + "]");
}

Ref<NSString> NSStringFromUIEdgeInsets(UIEdgeInsets i) {
    return NSString::from("{" + number(i.top) + ", " + number(i.left) + ", " + number(i.bottom) + ", " +
                          number(i.right) + "}");
}

CGPoint CGPointFromString(const Ref<NSString>& string) {
    auto v = numbersIn(string);
    return {at(v, 0), at(v, 1)};
}

CGSize CGSizeFromString(const Ref<NSString>& string) {
    auto v = numbersIn(string);
    return {at(v, 0), at(v, 1)};
}

CGRect CGRectFromString(const Ref<NSString>& string) {
    auto v = numbersIn(string);
    return CGRectMake(at(v, 0), at(v, 1), at(v, 2), at(v, 3));
}
