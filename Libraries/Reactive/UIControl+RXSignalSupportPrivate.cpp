#include <Reactive/UIControl+RXSignalSupportPrivate.h>

#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXLifting.h>
#include <Reactive/RXChannel.h>
#include <Reactive/UIKit+RXSignalSupportPrivate.h>

Ref<RXChannelTerminal> rx_channelForControlEventsKeyNilValue(const Ref<UIControl>& control,
                                                             UIControlEvents controlEvents, const Ref<NSString>& key,
                                                             const id& nilValue) {
    if (!control || !key) {
        NSException::raise(NSInvalidArgumentException,
                           "rx_channelForControlEvents:key:nilValue: needs a control and a key");
    }
    Ref<NSString> keyCopy = cast<NSString>(key->copy());
    auto channel = make<RXChannel>();
    Ref<RXChannelTerminal> following = channel->followingTerminal();
    Weak<UIControl> weakControl(control);

    // The operator's changes: the control's value for the key at every event, sent straight into
    // the channel. No operator chain stands between the control and the channel, so a value holds
    // no lock that the channel's end (which runs through the channel's subjects) takes later.
    static const SEL action("rx_channelValueChanged:");
    id target = rx_actionTarget(action, [weakControl, keyCopy, following](const id&) {
        if (Ref<UIControl> control = weakControl.lock()) {
            following->sendNext(control->valueForKey(keyCopy));
        }
    });
    control->addTargetActionForControlEvents(target, action, controlEvents);

    // The control's end is the channel's end. The completion keeps the channel and the target
    // alive as long as the control; once the channel has ended (either way) the target leaves the
    // control and the completion leaves its deallocation disposable.
    Ref<RXDisposable> completion =
        RXDisposable::disposableWithBlock([channel, target] { channel->followingTerminal()->sendCompleted(); });
    Ref<RXCompoundDisposable> deallocDisposable = rx_deallocDisposable(control);
    Weak<RXCompoundDisposable> weakDeallocDisposable(deallocDisposable);
    Weak<NSObject> weakTarget(target);
    auto ended = [weakDeallocDisposable, completion, weakControl, weakTarget] {
        if (auto compound = weakDeallocDisposable.lock()) {
            compound->removeDisposable(completion);
        }
        rx_performOnMainThread([weakControl, weakTarget] {
            Ref<UIControl> control = weakControl.lock();
            id target = weakTarget.lock();
            if (control && target) {
                control->removeTargetActionForControlEvents(target, action, UIControlEventAllEvents);
            }
        });
    };
    following->ignoreValues()->subscribeErrorCompleted([ended](const Ref<NSError>&) { ended(); }, ended);
    deallocDisposable->addDisposable(completion);

    // What comes in: written to the control's key (nil as the nil value). Key-value coding sends no
    // control event, so nothing is echoed back.
    Ref<RXSignal> incoming = following->map([nilValue](const id& value) -> id { return value ? value : nilValue; });
    rx_liftBlockWithArguments(control,
                              [weakControl](const id& value, const Ref<NSString>& k) {
                                  if (Ref<UIControl> control = weakControl.lock()) {
                                      control->setValueForKey(value, k);
                                  }
                              },
                              {incoming, keyCopy});

    return channel->leadingTerminal();
}
