// The error made from an exception caught while a model was changed, and the error domains of the
// model mapping.
#pragma once

#include <Foundation/NSError.h>
#include <Runtime/ClassBuilder.h>

const Ref<NSString>& MMModelErrorDomain();
// The code of an error made from a caught exception.
inline constexpr NSInteger MMModelErrorExceptionThrown = 1;
// The user-information key under which such an error keeps the exception (an MMThrownException).
const Ref<NSString>& MMModelThrownExceptionErrorKey();

// An exception as an object, so an error's user information can keep it.
class MMThrownException : public NSObject {
    NS_OBJECT(MMThrownException, NSObject)
public:
    explicit MMThrownException(NSException exception) : exception_(std::move(exception)) {}
    const NSException& exception() const noexcept { return exception_; }
    Ref<NSString> name() const;
    Ref<NSString> reason() const;
    // The exception's description: its reason, as the platform describes an exception.
    Ref<NSString> description() const override;

private:
    NSException exception_;
};

// `+[NSError mm_modelErrorWithException:]`: domain "MMModelErrorDomain", code 1; the exception's
// description as description, its reason as failure reason (when it has one), the exception under
// "MMModelThrownException".
Ref<NSError> mm_modelErrorWithException(const NSException& exception);
