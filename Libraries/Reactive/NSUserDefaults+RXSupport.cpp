#include <Reactive/NSUserDefaults+RXSupport.h>

#include <Foundation/NSError.h>
#include <Reactive/NSNotificationCenter+RXSupport.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXChannel.h>
#include <Reactive/RXScheduler.h>

#include <memory>
#include <mutex>

namespace {
// What both directions of one terminal share.
struct DefaultsChannelState {
    std::mutex lock;
    // Set while the terminal's own write runs on the channel's scheduler: the change notification
    // that write posts (synchronously, on that thread) is not sent back.
    bool ignoreNextValue = false;
    // The value the terminal's subscribers have last seen, or written themselves: a notification
    // with an equal value is not repeated. Updated by the terminal's own writes too, so that a
    // change made elsewhere back to the value before that write is not mistaken for a repeat.
    id lastValue;
    bool hasLastValue = false;
};
} // namespace

Ref<RXChannelTerminal> rx_channelTerminalForKey(const Ref<NSUserDefaults>& defaults, const Ref<NSString>& key) {
    if (!defaults || !key) {
        NSException::raise(NSInvalidArgumentException, "rx_channelTerminalForKey: needs defaults and a key");
    }
    auto channel = make<RXChannel>();
    Ref<RXScheduler> scheduler = RXScheduler::scheduler();
    auto state = std::make_shared<DefaultsChannelState>();
    Weak<NSUserDefaults> weakDefaults(defaults);
    Ref<NSString> defaultsKey = cast<NSString>(key->copy());

    rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(), NSUserDefaultsDidChangeNotification(), defaults)
        ->map([weakDefaults, defaultsKey](const id&) -> id {
            Ref<NSUserDefaults> store = weakDefaults.lock();
            return store ? store->objectForKey(defaultsKey) : nullptr;
        })
        ->startWith(defaults->objectForKey(defaultsKey))
        ->filter([state, scheduler](const id& value) {
            std::lock_guard<std::mutex> guard(state->lock);
            bool ownWrite = state->ignoreNextValue && RXScheduler::currentScheduler() == scheduler;
            bool repeated = state->hasLastValue && NSObjectsEqual(state->lastValue, value);
            if (ownWrite) {
                state->ignoreNextValue = false;
            }
            state->lastValue = value;
            state->hasLastValue = true;
            return !ownWrite && !repeated;
        })
        ->takeUntil(rx_willDeallocSignal(defaults))
        ->subscribe(channel->leadingTerminal());

    Weak<RXChannelTerminal> weakLeading(channel->leadingTerminal());
    channel->leadingTerminal()->deliverOn(scheduler)->subscribeNext(
        [weakDefaults, defaultsKey, state, weakLeading](const id& value) {
            Ref<NSUserDefaults> store = weakDefaults.lock();
            if (!store) {
                return;
            }
            {
                std::lock_guard<std::mutex> guard(state->lock);
                state->ignoreNextValue = true;
            }
            try {
                store->setObjectForKey(value, defaultsKey);
            } catch (const NSException& exception) {
                {
                    std::lock_guard<std::mutex> guard(state->lock);
                    state->ignoreNextValue = false;
                }
                if (Ref<RXChannelTerminal> leading = weakLeading.lock()) {
                    auto userInfo = NSDictionary::dictionaryWithEntries(
                        {{NSLocalizedDescriptionKey(), NSString::from(exception.reason())}});
                    leading->sendError(NSError::errorWithDomainCodeUserInfo(NSCocoaErrorDomain(),
                                                                            NSPropertyListWriteInvalidError, userInfo));
                }
                return;
            }
            std::lock_guard<std::mutex> guard(state->lock);
            state->ignoreNextValue = false;
            state->lastValue = value;
            state->hasLastValue = true;
        });

    return channel->followingTerminal();
}
