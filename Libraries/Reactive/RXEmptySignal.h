// RXEmptySignal: completes at once. One shared instance, named "+empty".
#pragma once

#include <Reactive/RXSignal.h>

class RXEmptySignal : public RXSignal {
    NS_OBJECT(RXEmptySignal, RXSignal)
public:
    static Ref<RXSignal> empty();

    Ref<NSString> name() const override;
    void setName(const Ref<NSString>&) override {}
    Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber) override;
};
