// RXReturnSignal: sends one value, then completes. Named "+return:".
#pragma once

#include <Reactive/RXSignal.h>

class RXReturnSignal : public RXSignal {
    NS_OBJECT(RXReturnSignal, RXSignal)
public:
    explicit RXReturnSignal(id value) : value_(std::move(value)) {}

    // The unit value and nil give one shared signal each; any other value a new one.
    static Ref<RXSignal> return_(const id& value);

    const id& value() const noexcept { return value_; }
    Ref<NSString> name() const override;
    void setName(const Ref<NSString>&) override {}
    Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber) override;

private:
    const id value_;
};
