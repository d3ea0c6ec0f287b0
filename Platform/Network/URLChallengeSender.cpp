#include <Network/URLChallengeSender.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(URLChallengeSender, NSObject) {}

void URLChallengeSender::answer(ns_net::ChallengeAnswer answer, const Ref<NSURLCredential>& credential) {
    if (answered_.exchange(true)) {
        return;
    }
    if (auto transfer = transfer_.lock()) {
        transfer->answerChallenge(answer, credential);
    }
}

void URLChallengeSender::useCredentialForAuthenticationChallenge(const Ref<NSURLCredential>& credential,
                                                                 const Ref<NSURLAuthenticationChallenge>&) {
    answer(ns_net::ChallengeAnswer::UseCredential, credential);
}

void URLChallengeSender::continueWithoutCredentialForAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>&) {
    answer(ns_net::ChallengeAnswer::ContinueWithoutCredential, nullptr);
}

void URLChallengeSender::cancelAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>&) {
    answer(ns_net::ChallengeAnswer::Cancel, nullptr);
}

void URLChallengeSender::performDefaultHandlingForAuthenticationChallenge(const Ref<NSURLAuthenticationChallenge>&) {
    answer(ns_net::ChallengeAnswer::PerformDefaultHandling, nullptr);
}

void URLChallengeSender::rejectProtectionSpaceAndContinueWithChallenge(const Ref<NSURLAuthenticationChallenge>&) {
    answer(ns_net::ChallengeAnswer::Reject, nullptr);
}
