// Shared by the QuartzCore tests: a layer class with stroke properties of its own (as a shape layer
// has) and a delegate that records what it is told.
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <QuartzCore/CAAnimation.h>
#include <QuartzCore/CALayer.h>

#include <string>
#include <vector>

class StrokeLayer : public CALayer {
    NS_OBJECT(StrokeLayer, CALayer)
public:
    CGFloat strokeStart() const { return strokeStart_; }
    void setStrokeStart(CGFloat v) {
        AnimatableChange change(this, "strokeStart");
        strokeStart_ = v;
    }
    CGFloat strokeEnd() const { return strokeEnd_; }
    void setStrokeEnd(CGFloat v) {
        AnimatableChange change(this, "strokeEnd");
        strokeEnd_ = v;
    }

private:
    CGFloat strokeStart_ = 0;
    CGFloat strokeEnd_ = 1;
};

class AnimationRecorder : public NSObject {
    NS_OBJECT(AnimationRecorder, NSObject)
public:
    void animationDidStart(const Ref<CAAnimation>&) { events.push_back("start"); }
    void animationDidStopFinished(const Ref<CAAnimation>&, bool finished) {
        events.push_back(finished ? "stop finished" : "stop unfinished");
    }
    std::vector<std::string> events;
};

inline double opacityShown(const Ref<CALayer>& layer) {
    return layer->presentationLayer()->opacity();
}
