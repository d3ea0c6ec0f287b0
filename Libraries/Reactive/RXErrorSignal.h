// RXErrorSignal: fails at once with its error. Named "+error:".
#pragma once

#include <Reactive/RXSignal.h>

class RXErrorSignal : public RXSignal {
    NS_OBJECT(RXErrorSignal, RXSignal)
public:
    explicit RXErrorSignal(Ref<NSError> error);

    static Ref<RXSignal> error(const Ref<NSError>& error);

    const Ref<NSError>& error() const noexcept { return error_; }
    Ref<RXDisposable> subscribe(const Ref<RXSubscriber>& subscriber) override;

private:
    const Ref<NSError> error_;
};
