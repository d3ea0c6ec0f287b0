#include "AnimationTestSupport.h"

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(StrokeLayer, CALayer) {
    b.property("strokeStart", &StrokeLayer::strokeStart, &StrokeLayer::setStrokeStart);
    b.property("strokeEnd", &StrokeLayer::strokeEnd, &StrokeLayer::setStrokeEnd);
}

NS_IMPLEMENT_CLASS(AnimationRecorder, NSObject) {
    b.method("animationDidStart:", &AnimationRecorder::animationDidStart);
    b.method("animationDidStop:finished:", &AnimationRecorder::animationDidStopFinished);
}
