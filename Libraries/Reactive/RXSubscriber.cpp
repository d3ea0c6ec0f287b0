#include <Reactive/RXSubscriber.h>

Protocol* RXSubscriber::protocol() {
    static Protocol* protocol = objc_registerProtocol(new Protocol("RXSubscriber",
                                                                   {{SEL("sendNext:"), "v@:@"},
                                                                    {SEL("sendError:"), "v@:@"},
                                                                    {SEL("sendCompleted"), "v@:"},
                                                                    {SEL("didSubscribeWithDisposable:"), "v@:@"}},
                                                                   {}));
    return protocol;
}
