#include <Network/NSURLAuthenticationChallenge.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(NSURLAuthenticationChallenge, NSObject) {
    b.readonlyProperty("protectionSpace", &NSURLAuthenticationChallenge::protectionSpace);
    b.readonlyProperty("previousFailureCount", &NSURLAuthenticationChallenge::previousFailureCount);
}

NSURLAuthenticationChallenge::NSURLAuthenticationChallenge(const Ref<NSURLProtectionSpace>& space,
                                                           const Ref<NSURLCredential>& proposedCredential,
                                                           NSInteger previousFailureCount,
                                                           const Ref<NSURLResponse>& failureResponse,
                                                           const Ref<NSError>& error, const id& sender)
    : space_(space), proposed_(proposedCredential), failures_(previousFailureCount), failureResponse_(failureResponse),
      error_(error), senderObject_(sender), sender_(dynamic_cast<NSURLAuthenticationChallengeSender*>(sender.get())) {}
