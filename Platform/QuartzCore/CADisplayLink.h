// CADisplayLink: a 60 Hz tick on a run loop, for work that follows the display's refresh.
//
// Once added to a run loop, the link calls its target's selector (with the link as argument, when
// the selector takes one) or its block once per frame, in the modes it was added for. The run loop
// holds the link and the link holds its target until invalidate(). A paused link does not tick.
// `timestamp` is the media time (CACurrentMediaTime) of the frame being handled, `duration` the time
// between frames, `targetTimestamp` the time of the next frame.
#pragma once

#include <Foundation/NSString.h>
#include <Runtime/NSObject.h>

#include <functional>
#include <memory>
#include <mutex>

class NSRunLoop;
class NSString;
class NSTimer;

class CADisplayLink : public NSObject {
    NS_OBJECT(CADisplayLink, NSObject)
public:
    using Block = std::function<void(const Ref<CADisplayLink>& link)>;

    // Raises NSInvalidArgumentException for a nil target.
    CADisplayLink(const id& target, SEL selector);
    // Raises NSInvalidArgumentException for an empty block.
    explicit CADisplayLink(Block block);
    ~CADisplayLink() override;

    static Ref<CADisplayLink> displayLinkWithTargetSelector(const id& target, SEL selector);
    static Ref<CADisplayLink> displayLinkWithBlock(Block block);

    // A link ticks on one run loop; adding it to another raises NSInvalidArgumentException. Adding an
    // invalidated link does nothing.
    void addToRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode);
    void removeFromRunLoopForMode(const Ref<NSRunLoop>& runLoop, const Ref<NSString>& mode);
    // Stops the link for good and releases its target; safe from its own callback.
    void invalidate();

    bool isPaused() const;
    void setPaused(bool paused);
    double timestamp() const;
    double targetTimestamp() const;
    double duration() const noexcept { return kFrameDuration; }

    static constexpr double kFrameDuration = 1.0 / 60.0;

private:
    void tick();

    mutable std::mutex mutex_;
    id target_;
    SEL selector_;
    std::shared_ptr<const Block> block_;
    Ref<NSTimer> timer_;
    bool paused_ = false;
    bool valid_ = true;
    double timestamp_ = 0;
};
