// UIResponder: an object in the responder chain. Touches, motion and remote-control events that a
// responder does not handle go on to its next responder (a view's controller or superview, then
// the window, then the application). The first responder receives remote-control events first.
#pragma once

#include <Foundation/NSSet.h>

class UIEvent;

enum UIEventSubtype : NSInteger {
    UIEventSubtypeNone = 0,
    UIEventSubtypeMotionShake = 1,
    UIEventSubtypeRemoteControlPlay = 100,
    UIEventSubtypeRemoteControlPause = 101,
    UIEventSubtypeRemoteControlStop = 102,
    UIEventSubtypeRemoteControlTogglePlayPause = 103,
    UIEventSubtypeRemoteControlNextTrack = 104,
    UIEventSubtypeRemoteControlPreviousTrack = 105,
    UIEventSubtypeRemoteControlBeginSeekingBackward = 106,
    UIEventSubtypeRemoteControlEndSeekingBackward = 107,
    UIEventSubtypeRemoteControlBeginSeekingForward = 108,
    UIEventSubtypeRemoteControlEndSeekingForward = 109,
};

class UIResponder : public NSObject {
    NS_OBJECT(UIResponder, NSObject)
public:
    UIResponder() = default;

    virtual Ref<UIResponder> nextResponder() const { return nullptr; }

    // The first responder of the application (one at a time).
    static Ref<UIResponder> currentFirstResponder();
    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    // Asks the current first responder to resign first; false when either refuses.
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;

    // Events. The default passes the event to the next responder, by selector.
    virtual void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void motionBeganWithEvent(UIEventSubtype motion, const Ref<UIEvent>& event);
    virtual void motionEndedWithEvent(UIEventSubtype motion, const Ref<UIEvent>& event);
    virtual void motionCancelledWithEvent(UIEventSubtype motion, const Ref<UIEvent>& event);
    virtual void remoteControlReceivedWithEvent(const Ref<UIEvent>& event);

protected:
    // Called when the responder became or stopped being the first responder.
    virtual void firstResponderDidChange(bool isFirst) {}

private:
    void forward(SEL selector, const std::vector<id>& args) const;
};
