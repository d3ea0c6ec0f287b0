// Internal to QuartzCore: animated values as lists of numbers, and the layer's values by key path.
//
// An animation interpolates objects the way the platform boxes them: NSNumber for scalars, NSValue
// for points, sizes, rectangles and affine transforms, CGColor for colours and CGPath for paths.
// Each becomes a list of components; two values of the same shape interpolate component by
// component (a transform as translation, rotation, scale and shear, so that a turn stays a turn).
// Values of different shapes, and other objects, switch from one to the other half-way.
//
// Key paths: a property of the layer ("opacity", "position", "strokeEnd" through key-value coding
// for the properties a subclass registers), optionally followed by a field of a structure
// ("position.x", "bounds.size.width") or, on "transform", by "rotation", "rotation.z", "scale",
// "scale.x", "scale.y", "translation", "translation.x" and "translation.y".
#pragma once

#include <Runtime/NSObject.h>

#include <string>
#include <string_view>
#include <vector>

class CALayer;

namespace ca_detail {

struct AnimValue {
    enum class Kind { None, Number, Bool, Point, Size, Rect, Transform, Color, Path, Object };
    Kind kind = Kind::None;
    std::vector<double> c; // the components
    id object;             // the object itself (Object), or the shape of a path (Path)

    bool isNone() const noexcept { return kind == Kind::None; }
    bool interpolable() const noexcept { return kind != Kind::None && kind != Kind::Object && kind != Kind::Bool; }
};

AnimValue valueFromObject(const id& object);
id objectFromValue(const AnimValue& value);

// Whether the two values can be mixed component by component.
bool sameShape(const AnimValue& a, const AnimValue& b);
// a + (b - a) * t; values of different shapes switch at t = 0.5.
AnimValue interpolate(const AnimValue& a, const AnimValue& b, double t);
// a + b (a transform: b applied after a); a when the shapes differ.
AnimValue add(const AnimValue& a, const AnimValue& b);
// a - b; none when the shapes differ.
AnimValue subtract(const AnimValue& a, const AnimValue& b);
// a * k.
AnimValue scale(const AnimValue& a, double k);
// The straight-line distance between two values of one shape (0 otherwise).
double distance(const AnimValue& a, const AnimValue& b);
// Catmull-Rom interpolation between p1 and p2 (p0 and p3 their neighbours); linear when the four
// are not of one shape.
AnimValue cubic(const AnimValue& p0, const AnimValue& p1, const AnimValue& p2, const AnimValue& p3, double t);

// The layer's value at a key path; nil for a key path the layer does not have.
id layerValueForKeyPath(const CALayer& layer, std::string_view keyPath);
// Sets it; a key path the layer does not have, or a value of the wrong kind, changes nothing.
void setLayerValueForKeyPath(CALayer& layer, std::string_view keyPath, const id& value);
// Whether the layer has the property named by the key path's first component.
bool layerHasKeyPath(const CALayer& layer, std::string_view keyPath);

} // namespace ca_detail
