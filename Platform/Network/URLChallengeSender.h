// Internal: the sender of the challenges that a transfer raises; each answer goes back to the
// transfer, and only the first counts.
#pragma once

#include <Network/NSURLAuthenticationChallenge.h>
#include <Network/URLTransfer.h>

#include <atomic>
#include <memory>

class URLChallengeSender : public NSObject, public NSURLAuthenticationChallengeSender {
    NS_OBJECT(URLChallengeSender, NSObject)
public:
    explicit URLChallengeSender(std::weak_ptr<ns_net::Transfer> transfer) : transfer_(std::move(transfer)) {}

    void useCredentialForAuthenticationChallenge(const Ref<NSURLCredential>& credential,
                                                 const Ref<NSURLAuthenticationChallenge>& challenge) override;
    void
    continueWithoutCredentialForAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) override;
    void cancelAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) override;
    void performDefaultHandlingForAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) override;
    void rejectProtectionSpaceAndContinueWithChallenge(const Ref<NSURLAuthenticationChallenge>& challenge) override;

    // Answers on behalf of the caller (the session's completion handlers use it).
    void answer(ns_net::ChallengeAnswer answer, const Ref<NSURLCredential>& credential);
    bool isAnswered() const noexcept { return answered_.load(); }

private:
    std::weak_ptr<ns_net::Transfer> transfer_;
    std::atomic<bool> answered_{false};
};
