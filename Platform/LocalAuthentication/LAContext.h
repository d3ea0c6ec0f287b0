// LAContext: asks the device's biometric sensor (Face ID or Touch ID, by model) to authenticate
// the owner. canEvaluatePolicy answers at once, with the platform's error code when it cannot;
// evaluatePolicy shows the system prompt (LAPromptViewController, in a window above the application)
// kPromptDelay seconds later, as the system brings it up from its own process, and calls the reply on a private queue
// (never the main thread) once the person has answered it: a face or finger the sensor recognises (YES), one it does
// not (NO, LAErrorAuthenticationFailed), the prompt's Cancel (NO, LAErrorUserCancel). The card shows a recognised or
// not recognised face or finger for kOutcomeTime seconds before it closes; a new evaluation ends the prompt on screen
// (NO, LAErrorSystemCancel). An empty reason raises NSInvalidArgumentException.
#pragma once

#include <Foundation/NSError.h>
#include <Foundation/NSString.h>

#include <functional>

enum LAPolicy : NSInteger {
    LAPolicyDeviceOwnerAuthenticationWithBiometrics = 1,
    LAPolicyDeviceOwnerAuthentication = 2,
};

enum LABiometryType : NSInteger {
    LABiometryTypeNone = 0,
    LABiometryTypeTouchID = 1,
    LABiometryTypeFaceID = 2,
};

// The platform's error codes (domain LAErrorDomain).
enum LAError : NSInteger {
    LAErrorAuthenticationFailed = -1,
    LAErrorUserCancel = -2,
    LAErrorUserFallback = -3,
    LAErrorSystemCancel = -4,
    LAErrorPasscodeNotSet = -5,
    LAErrorBiometryNotAvailable = -6,
    LAErrorBiometryNotEnrolled = -7,
    LAErrorBiometryLockout = -8,
};

const Ref<NSString>& LAErrorDomain();

class LAContext : public NSObject {
    NS_OBJECT(LAContext, NSObject)
public:
    LAContext() = default;

    // YES when the policy can be evaluated now; otherwise NO and, when `error` is given, the reason.
    bool canEvaluatePolicyError(LAPolicy policy, Ref<NSError>* error);
    void evaluatePolicyLocalizedReasonReply(LAPolicy policy, const Ref<NSString>& localizedReason,
                                            std::function<void(bool success, const Ref<NSError>& error)> reply);
    // Set by canEvaluatePolicy.
    LABiometryType biometryType() const noexcept { return biometryType_; }

    static constexpr double kPromptDelay = 0.5;
    static constexpr double kOutcomeTime = 1.0;

private:
    LABiometryType biometryType_ = LABiometryTypeNone;
};
