// NSURLAuthenticationChallenge: a server asks for credentials (or a client must decide whether to
// trust the server). The challenge is answered once, through its sender.
#pragma once

#include <Foundation/NSError.h>
#include <Network/NSURLCredential.h>
#include <Network/NSURLProtectionSpace.h>
#include <Network/NSURLResponse.h>

class NSURLAuthenticationChallenge;

// The protocol of the object that issued a challenge; the first answer counts, later ones are
// ignored.
class NSURLAuthenticationChallengeSender {
public:
    virtual ~NSURLAuthenticationChallengeSender() = default;
    virtual void useCredentialForAuthenticationChallenge(const Ref<NSURLCredential>& credential,
                                                         const Ref<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void
    continueWithoutCredentialForAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void cancelAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void
    performDefaultHandlingForAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) = 0;
    virtual void rejectProtectionSpaceAndContinueWithChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) = 0;
};

class NSURLAuthenticationChallenge : public NSObject {
    NS_OBJECT(NSURLAuthenticationChallenge, NSObject)
public:
    // `initWithProtectionSpace:proposedCredential:previousFailureCount:failureResponse:error:sender:`;
    // `sender` is an object that implements NSURLAuthenticationChallengeSender (or nil).
    NSURLAuthenticationChallenge(const Ref<NSURLProtectionSpace>& space, const Ref<NSURLCredential>& proposedCredential,
                                 NSInteger previousFailureCount, const Ref<NSURLResponse>& failureResponse,
                                 const Ref<NSError>& error, const id& sender);

    const Ref<NSURLProtectionSpace>& protectionSpace() const noexcept { return space_; }
    const Ref<NSURLCredential>& proposedCredential() const noexcept { return proposed_; }
    NSInteger previousFailureCount() const noexcept { return failures_; }
    const Ref<NSURLResponse>& failureResponse() const noexcept { return failureResponse_; }
    const Ref<NSError>& error() const noexcept { return error_; }
    // nil when the challenge was made without a sender.
    NSURLAuthenticationChallengeSender* sender() const noexcept { return sender_; }

private:
    Ref<NSURLProtectionSpace> space_;
    Ref<NSURLCredential> proposed_;
    NSInteger failures_;
    Ref<NSURLResponse> failureResponse_;
    Ref<NSError> error_;
    id senderObject_;
    NSURLAuthenticationChallengeSender* sender_ = nullptr;
};
