#include <LocalAuthentication/LAContext.h>

#include <Device/SimRadios.h>
#include <Dispatch/DispatchQueue.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(LAContext, NSObject) {}

const Ref<NSString>& LAErrorDomain() {
    static const Ref<NSString>& domain = *new Ref<NSString>(NSString::from("com.apple.LocalAuthentication"));
    return domain;
}

namespace {

Ref<NSError> laError(int code) {
    return NSError::errorWithDomainCodeUserInfo(LAErrorDomain(), code, nullptr);
}

} // namespace

bool LAContext::canEvaluatePolicyError(LAPolicy policy, Ref<NSError>* error) {
    auto& radios = SimRadios::current();
    biometryType_ = static_cast<LABiometryType>(radios.biometry());
    int code = radios.canEvaluateError();
    if (policy != LAPolicyDeviceOwnerAuthentication && policy != LAPolicyDeviceOwnerAuthenticationWithBiometrics) {
        code = LAErrorBiometryNotAvailable;
    }
    if (code == 0) {
        return true;
    }
    if (error) {
        *error = laError(code);
    }
    return false;
}

void LAContext::evaluatePolicyLocalizedReasonReply(LAPolicy policy, const Ref<NSString>& localizedReason,
                                                   std::function<void(bool, const Ref<NSError>&)> reply) {
    Ref<NSError> error;
    if (!canEvaluatePolicyError(policy, &error)) {
        // Nothing is shown; the reply still comes off the calling thread.
        if (reply) {
            dispatch_async(dispatch_get_global_queue(0, 0), [reply, error] { reply(false, error); });
        }
        return;
    }
    auto reason = localizedReason ? localizedReason->str() : std::string();
    SimRadios::current().evaluateBiometrics(reason, [reply](bool matched, int code) {
        if (reply) {
            reply(matched, matched ? nullptr : laError(code));
        }
    });
}
