#include <CoreGraphics/CGAffineTransform.h>
#include <CoreGraphics/CGColor.h>
#include <CoreGraphics/CGPath.h>
#include <Foundation/NSNumber.h>
#include <QuartzCore/CAAnimationValue.h>
#include <QuartzCore/CALayer.h>

#include <cmath>
#include <functional>
#include <numbers>

namespace ca_detail {

using Kind = AnimValue::Kind;

namespace {

// Transform components: translation x and y, rotation, scale x and y, shear.
std::vector<double> decompose(const CGAffineTransform& t) {
    double sx = std::hypot(t.a, t.b);
    double angle = sx > 0 ? std::atan2(t.b, t.a) : 0;
    double cs = std::cos(angle), sn = std::sin(angle);
    double shear = t.c * cs + t.d * sn;
    double sy = -t.c * sn + t.d * cs;
    return {t.tx, t.ty, angle, sx, sy, shear};
}

CGAffineTransform recompose(const std::vector<double>& c) {
    double cs = std::cos(c[2]), sn = std::sin(c[2]);
    CGAffineTransform t;
    t.a = c[3] * cs;
    t.b = c[3] * sn;
    t.c = c[5] * cs - c[4] * sn;
    t.d = c[5] * sn + c[4] * cs;
    t.tx = c[0];
    t.ty = c[1];
    return t;
}

AnimValue make(Kind kind, std::vector<double> c) {
    AnimValue v;
    v.kind = kind;
    v.c = std::move(c);
    return v;
}

size_t pointCount(CGPathElementType type) {
    switch (type) {
    case kCGPathElementMoveToPoint:
    case kCGPathElementAddLineToPoint:
        return 1;
    case kCGPathElementAddQuadCurveToPoint:
        return 2;
    case kCGPathElementAddCurveToPoint:
        return 3;
    default:
        return 0;
    }
}

bool samePathShape(const id& a, const id& b) {
    auto pa = cast<CGPath>(a);
    auto pb = cast<CGPath>(b);
    if (!pa || !pb || pa->elements().size() != pb->elements().size()) {
        return false;
    }
    for (size_t i = 0; i < pa->elements().size(); ++i) {
        if (pa->elements()[i].type != pb->elements()[i].type) {
            return false;
        }
    }
    return true;
}

AnimValue combine(const AnimValue& a, const AnimValue& b, const std::function<double(double, double)>& f) {
    AnimValue r = a;
    for (size_t i = 0; i < r.c.size(); ++i) {
        r.c[i] = f(a.c[i], b.c[i]);
    }
    return r;
}

} // namespace

AnimValue valueFromObject(const id& object) {
    if (!object) {
        return {};
    }
    if (auto n = cast<NSNumber>(object)) {
        return make(n->isBool() ? Kind::Bool : Kind::Number, {n->doubleValue()});
    }
    if (auto v = cast<NSValue>(object)) {
        CGPoint p;
        CGSize s;
        CGRect r;
        CGAffineTransform t;
        if (v->getValue(p)) {
            return make(Kind::Point, {p.x, p.y});
        }
        if (v->getValue(s)) {
            return make(Kind::Size, {s.width, s.height});
        }
        if (v->getValue(r)) {
            return make(Kind::Rect, {r.origin.x, r.origin.y, r.size.width, r.size.height});
        }
        if (v->getValue(t)) {
            return make(Kind::Transform, decompose(t));
        }
    }
    if (auto color = cast<CGColor>(object)) {
        return make(Kind::Color, {color->red(), color->green(), color->blue(), color->alpha()});
    }
    if (auto path = cast<CGPath>(object)) {
        AnimValue v = make(Kind::Path, {});
        for (const auto& e : path->elements()) {
            for (size_t i = 0; i < pointCount(e.type); ++i) {
                v.c.push_back(e.points[i].x);
                v.c.push_back(e.points[i].y);
            }
        }
        v.object = object;
        return v;
    }
    AnimValue v;
    v.kind = Kind::Object;
    v.object = object;
    return v;
}

id objectFromValue(const AnimValue& v) {
    switch (v.kind) {
    case Kind::None:
        return nullptr;
    case Kind::Number:
        return NSNumber::numberWithDouble(v.c[0]);
    case Kind::Bool:
        return NSNumber::numberWithBool(v.c[0] != 0);
    case Kind::Point:
        return NSValue::valueWithValue(CGPointMake(v.c[0], v.c[1]));
    case Kind::Size:
        return NSValue::valueWithValue(CGSizeMake(v.c[0], v.c[1]));
    case Kind::Rect:
        return NSValue::valueWithValue(CGRectMake(v.c[0], v.c[1], v.c[2], v.c[3]));
    case Kind::Transform:
        return NSValue::valueWithValue(recompose(v.c));
    case Kind::Color:
        return CGColorCreateGenericRGB(v.c[0], v.c[1], v.c[2], v.c[3]);
    case Kind::Path: {
        auto shape = cast<CGPath>(v.object);
        auto path = CGPathCreateMutable();
        size_t k = 0;
        for (const auto& e : shape->elements()) {
            CGPoint pts[3];
            for (size_t i = 0; i < pointCount(e.type); ++i, k += 2) {
                pts[i] = CGPointMake(v.c[k], v.c[k + 1]);
            }
            switch (e.type) {
            case kCGPathElementMoveToPoint:
                path->moveToPoint(pts[0]);
                break;
            case kCGPathElementAddLineToPoint:
                path->addLineToPoint(pts[0]);
                break;
            case kCGPathElementAddQuadCurveToPoint:
                path->addQuadCurveToPoint(pts[0], pts[1]);
                break;
            case kCGPathElementAddCurveToPoint:
                path->addCurveToPoint(pts[0], pts[1], pts[2]);
                break;
            case kCGPathElementCloseSubpath:
                path->closeSubpath();
                break;
            }
        }
        return path;
    }
    case Kind::Object:
        return v.object;
    }
    return nullptr;
}

bool sameShape(const AnimValue& a, const AnimValue& b) {
    if (a.kind != b.kind || !a.interpolable() || a.c.size() != b.c.size()) {
        return false;
    }
    return a.kind != Kind::Path || samePathShape(a.object, b.object);
}

AnimValue interpolate(const AnimValue& a, const AnimValue& b, double t) {
    // No colour is a clear one.
    if (a.isNone() && b.kind == Kind::Color) {
        return interpolate(make(Kind::Color, {0, 0, 0, 0}), b, t);
    }
    if (b.isNone() && a.kind == Kind::Color) {
        return interpolate(a, make(Kind::Color, {0, 0, 0, 0}), t);
    }
    if (!sameShape(a, b)) {
        return t < 0.5 ? a : b;
    }
    AnimValue to = b;
    if (a.kind == Kind::Transform) {
        // Turn the short way round.
        double delta = b.c[2] - a.c[2];
        if (delta > std::numbers::pi) {
            to.c[2] -= 2 * std::numbers::pi;
        } else if (delta < -std::numbers::pi) {
            to.c[2] += 2 * std::numbers::pi;
        }
    }
    return combine(a, to, [t](double x, double y) { return x + (y - x) * t; });
}

AnimValue add(const AnimValue& a, const AnimValue& b) {
    if (!sameShape(a, b)) {
        return a.isNone() ? b : a;
    }
    if (a.kind == Kind::Transform) {
        return make(Kind::Transform, decompose(CGAffineTransformConcat(recompose(b.c), recompose(a.c))));
    }
    return combine(a, b, [](double x, double y) { return x + y; });
}

AnimValue subtract(const AnimValue& a, const AnimValue& b) {
    if (!sameShape(a, b)) {
        return {};
    }
    if (a.kind == Kind::Transform) {
        return make(Kind::Transform,
                    decompose(CGAffineTransformConcat(recompose(a.c), CGAffineTransformInvert(recompose(b.c)))));
    }
    return combine(a, b, [](double x, double y) { return x - y; });
}

AnimValue scale(const AnimValue& a, double k) {
    if (!a.interpolable()) {
        return a;
    }
    if (a.kind == Kind::Transform) {
        AnimValue identity = make(Kind::Transform, decompose(CGAffineTransformIdentity));
        return interpolate(identity, a, k);
    }
    return combine(a, a, [k](double x, double) { return x * k; });
}

double distance(const AnimValue& a, const AnimValue& b) {
    if (!sameShape(a, b)) {
        return 0;
    }
    double sum = 0;
    for (size_t i = 0; i < a.c.size(); ++i) {
        double d = b.c[i] - a.c[i];
        sum += d * d;
    }
    return std::sqrt(sum);
}

AnimValue cubic(const AnimValue& p0, const AnimValue& p1, const AnimValue& p2, const AnimValue& p3, double t) {
    if (!sameShape(p1, p2) || !sameShape(p0, p1) || !sameShape(p2, p3)) {
        return interpolate(p1, p2, t);
    }
    AnimValue r = p1;
    double t2 = t * t, t3 = t2 * t;
    for (size_t i = 0; i < r.c.size(); ++i) {
        double m1 = (p2.c[i] - p0.c[i]) / 2;
        double m2 = (p3.c[i] - p1.c[i]) / 2;
        r.c[i] =
            (2 * t3 - 3 * t2 + 1) * p1.c[i] + (t3 - 2 * t2 + t) * m1 + (-2 * t3 + 3 * t2) * p2.c[i] + (t3 - t2) * m2;
    }
    return r;
}

// MARK: - Key paths of a layer

namespace {

struct Accessor {
    std::function<id(const CALayer&)> get;
    std::function<void(CALayer&, const id&)> set;
};

template <class T>
bool unboxed(const id& object, T& out) {
    auto v = cast<NSValue>(object);
    return v && v->getValue(out);
}

bool number(const id& object, double& out) {
    auto n = cast<NSNumber>(object);
    if (!n) {
        return false;
    }
    out = n->doubleValue();
    return true;
}

const Accessor* builtIn(std::string_view key) {
    static const std::vector<std::pair<std::string_view, Accessor>> table = {
        {"bounds",
         {[](const CALayer& l) -> id { return NSValue::valueWithValue(l.bounds()); },
          [](CALayer& l, const id& v) {
              CGRect r;
              if (unboxed(v, r)) {
                  l.setBounds(r);
              }
          }}},
        {"position",
         {[](const CALayer& l) -> id { return NSValue::valueWithValue(l.position()); },
          [](CALayer& l, const id& v) {
              CGPoint p;
              if (unboxed(v, p)) {
                  l.setPosition(p);
              }
          }}},
        {"anchorPoint",
         {[](const CALayer& l) -> id { return NSValue::valueWithValue(l.anchorPoint()); },
          [](CALayer& l, const id& v) {
              CGPoint p;
              if (unboxed(v, p)) {
                  l.setAnchorPoint(p);
              }
          }}},
        {"transform",
         {[](const CALayer& l) -> id { return NSValue::valueWithValue(l.affineTransform()); },
          [](CALayer& l, const id& v) {
              CGAffineTransform t;
              if (unboxed(v, t)) {
                  l.setAffineTransform(t);
              }
          }}},
        {"opacity",
         {[](const CALayer& l) -> id { return NSNumber::numberWithFloat(l.opacity()); },
          [](CALayer& l, const id& v) {
              double d;
              if (number(v, d)) {
                  l.setOpacity(static_cast<float>(d));
              }
          }}},
        {"cornerRadius",
         {[](const CALayer& l) -> id { return NSNumber::numberWithDouble(l.cornerRadius()); },
          [](CALayer& l, const id& v) {
              double d;
              if (number(v, d)) {
                  l.setCornerRadius(d);
              }
          }}},
        {"borderWidth",
         {[](const CALayer& l) -> id { return NSNumber::numberWithDouble(l.borderWidth()); },
          [](CALayer& l, const id& v) {
              double d;
              if (number(v, d)) {
                  l.setBorderWidth(d);
              }
          }}},
        {"zPosition",
         {[](const CALayer& l) -> id { return NSNumber::numberWithDouble(l.zPosition()); },
          [](CALayer& l, const id& v) {
              double d;
              if (number(v, d)) {
                  l.setZPosition(d);
              }
          }}},
        {"shadowOpacity",
         {[](const CALayer& l) -> id { return NSNumber::numberWithFloat(l.shadowOpacity()); },
          [](CALayer& l, const id& v) {
              double d;
              if (number(v, d)) {
                  l.setShadowOpacity(static_cast<float>(d));
              }
          }}},
        {"shadowRadius",
         {[](const CALayer& l) -> id { return NSNumber::numberWithDouble(l.shadowRadius()); },
          [](CALayer& l, const id& v) {
              double d;
              if (number(v, d)) {
                  l.setShadowRadius(d);
              }
          }}},
        {"shadowOffset",
         {[](const CALayer& l) -> id { return NSValue::valueWithValue(l.shadowOffset()); },
          [](CALayer& l, const id& v) {
              CGSize s;
              if (unboxed(v, s)) {
                  l.setShadowOffset(s);
              }
          }}},
        {"backgroundColor",
         {[](const CALayer& l) -> id { return l.backgroundColor(); },
          [](CALayer& l, const id& v) {
              if (!v || cast<CGColor>(v)) {
                  l.setBackgroundColor(cast<CGColor>(v));
              }
          }}},
        {"borderColor",
         {[](const CALayer& l) -> id { return l.borderColor(); },
          [](CALayer& l, const id& v) {
              if (!v || cast<CGColor>(v)) {
                  l.setBorderColor(cast<CGColor>(v));
              }
          }}},
        {"shadowColor",
         {[](const CALayer& l) -> id { return l.shadowColor(); },
          [](CALayer& l, const id& v) {
              if (!v || cast<CGColor>(v)) {
                  l.setShadowColor(cast<CGColor>(v));
              }
          }}},
        {"contents",
         {[](const CALayer& l) -> id { return l.contents(); }, [](CALayer& l, const id& v) { l.setContents(v); }}},
        {"hidden",
         {[](const CALayer& l) -> id { return NSNumber::numberWithBool(l.isHidden()); },
          [](CALayer& l, const id& v) {
              double d;
              if (number(v, d)) {
                  l.setHidden(d != 0);
              }
          }}},
    };
    for (const auto& [name, accessor] : table) {
        if (name == key) {
            return &accessor;
        }
    }
    return nullptr;
}

id rootValue(const CALayer& layer, std::string_view key) {
    if (const Accessor* a = builtIn(key)) {
        return a->get(layer);
    }
    if (!layer.getClass()->property(key)) {
        return nullptr;
    }
    return const_cast<CALayer&>(layer).valueForKey(NSString::from(std::string(key)));
}

void setRootValue(CALayer& layer, std::string_view key, const id& value) {
    if (const Accessor* a = builtIn(key)) {
        a->set(layer, value);
        return;
    }
    const ObjCProperty* p = layer.getClass()->property(key);
    if (!p || p->readonly) {
        return;
    }
    try {
        layer.setValueForKey(value, NSString::from(std::string(key)));
    } catch (...) {
        // A value of the wrong type for the property: the animation shows nothing for it.
    }
}

// A field of a structure value: where its components start, how many, and what they make.
struct Field {
    size_t offset;
    size_t count;
    Kind kind;
};

bool fieldOf(Kind kind, std::string_view sub, Field& out) {
    switch (kind) {
    case Kind::Point:
        if (sub == "x" || sub == "y") {
            out = {sub == "x" ? 0u : 1u, 1, Kind::Number};
            return true;
        }
        return false;
    case Kind::Size:
        if (sub == "width" || sub == "height") {
            out = {sub == "width" ? 0u : 1u, 1, Kind::Number};
            return true;
        }
        return false;
    case Kind::Rect: {
        static const std::pair<std::string_view, Field> fields[] = {
            {"origin", {0, 2, Kind::Point}},      {"origin.x", {0, 1, Kind::Number}},
            {"origin.y", {1, 1, Kind::Number}},   {"size", {2, 2, Kind::Size}},
            {"size.width", {2, 1, Kind::Number}}, {"size.height", {3, 1, Kind::Number}},
        };
        for (const auto& [name, field] : fields) {
            if (name == sub) {
                out = field;
                return true;
            }
        }
        return false;
    }
    case Kind::Transform: {
        static const std::pair<std::string_view, Field> fields[] = {
            {"rotation", {2, 1, Kind::Number}},      {"rotation.z", {2, 1, Kind::Number}},
            {"scale.x", {3, 1, Kind::Number}},       {"scale.y", {4, 1, Kind::Number}},
            {"translation", {0, 2, Kind::Size}},     {"translation.x", {0, 1, Kind::Number}},
            {"translation.y", {1, 1, Kind::Number}},
        };
        for (const auto& [name, field] : fields) {
            if (name == sub) {
                out = field;
                return true;
            }
        }
        return false;
    }
    default:
        return false;
    }
}

} // namespace

bool layerHasKeyPath(const CALayer& layer, std::string_view keyPath) {
    std::string_view key = keyPath.substr(0, keyPath.find('.'));
    return builtIn(key) || layer.getClass()->property(key);
}

id layerValueForKeyPath(const CALayer& layer, std::string_view keyPath) {
    size_t dot = keyPath.find('.');
    id root = rootValue(layer, keyPath.substr(0, dot));
    if (dot == std::string_view::npos || !root) {
        return root;
    }
    std::string_view sub = keyPath.substr(dot + 1);
    AnimValue value = valueFromObject(root);
    if (value.kind == Kind::Transform && sub == "scale") {
        return NSNumber::numberWithDouble((value.c[3] + value.c[4]) / 2);
    }
    Field f;
    if (!fieldOf(value.kind, sub, f)) {
        return nullptr;
    }
    return objectFromValue(
        make(f.kind, std::vector<double>(value.c.begin() + static_cast<std::ptrdiff_t>(f.offset),
                                         value.c.begin() + static_cast<std::ptrdiff_t>(f.offset + f.count))));
}

void setLayerValueForKeyPath(CALayer& layer, std::string_view keyPath, const id& value) {
    size_t dot = keyPath.find('.');
    std::string_view key = keyPath.substr(0, dot);
    if (dot == std::string_view::npos) {
        setRootValue(layer, key, value);
        return;
    }
    std::string_view sub = keyPath.substr(dot + 1);
    AnimValue root = valueFromObject(rootValue(layer, key));
    AnimValue part = valueFromObject(value);
    if (root.kind == Kind::Transform && sub == "scale") {
        if (part.kind != Kind::Number) {
            return;
        }
        root.c[3] = root.c[4] = part.c[0];
        setRootValue(layer, key, objectFromValue(root));
        return;
    }
    Field f;
    if (!fieldOf(root.kind, sub, f) || part.kind != f.kind || part.c.size() != f.count) {
        return;
    }
    for (size_t i = 0; i < f.count; ++i) {
        root.c[f.offset + i] = part.c[i];
    }
    setRootValue(layer, key, objectFromValue(root));
}

} // namespace ca_detail
