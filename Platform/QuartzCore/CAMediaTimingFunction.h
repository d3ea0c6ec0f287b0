// CAMediaTimingFunction: the pace of an animation, a cubic Bezier curve from (0, 0) to (1, 1) whose
// two inner control points shape it. The curve maps the fraction of the animation's duration that
// has passed (x) to the fraction of the change that is shown (y).
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

// The names of the predefined curves.
const Ref<NSString>& kCAMediaTimingFunctionLinear();
const Ref<NSString>& kCAMediaTimingFunctionEaseIn();
const Ref<NSString>& kCAMediaTimingFunctionEaseOut();
const Ref<NSString>& kCAMediaTimingFunctionEaseInEaseOut();
const Ref<NSString>& kCAMediaTimingFunctionDefault();

class CAMediaTimingFunction : public NSObject {
    NS_OBJECT(CAMediaTimingFunction, NSObject)
public:
    // The linear curve.
    CAMediaTimingFunction() = default;
    // `initWithControlPoints::::`: x values outside 0...1 are clamped, so the curve stays a function
    // of time; NaN coordinates become 0.
    CAMediaTimingFunction(float c1x, float c1y, float c2x, float c2y);

    // One of the names above; nil for any other name.
    static Ref<CAMediaTimingFunction> functionWithName(const Ref<NSString>& name);
    static Ref<CAMediaTimingFunction> functionWithControlPoints(float c1x, float c1y, float c2x, float c2y);

    // Control point 0 is (0, 0), 1 and 2 the inner points, 3 is (1, 1). An index above 3 leaves
    // `values` as it is.
    void getControlPointAtIndexValues(size_t index, float values[2]) const;

    // The curve's y for a time fraction x (clamped to 0...1).
    double solveForInput(double x) const;

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;
    id copy() const override { return Ref<CAMediaTimingFunction>(const_cast<CAMediaTimingFunction*>(this)); }

private:
    float c1x_ = 0, c1y_ = 0, c2x_ = 1, c2y_ = 1;
};
