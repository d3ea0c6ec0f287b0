// HCHTTPRequestOperationManager: the HTTP client of the application. It keeps a base URL, the
// request and response serializers, the security policy, credentials, an operation queue and the
// completion queue and group, and offers one method per HTTP verb that builds an operation, queues
// it and returns it.
#pragma once

#include <Networking/HCHTTPRequestOperation.h>
#include <Networking/HCHTTPRequestSerializer.h>
#include <Networking/HCNetworkReachabilityManager.h>

#include <Foundation/NSOperationQueue.h>

class HCHTTPRequestOperationManager : public NSObject, public NSSecureCoding {
    NS_OBJECT(HCHTTPRequestOperationManager, NSObject)
public:
    // `init`: no base URL.
    HCHTTPRequestOperationManager() : HCHTTPRequestOperationManager(Ref<NSURL>()) {}
    // `initWithBaseURL:`: a URL with a path gets a trailing "/".
    explicit HCHTTPRequestOperationManager(const Ref<NSURL>& baseURL);
    explicit HCHTTPRequestOperationManager(NSCoder* coder);

    static Ref<HCHTTPRequestOperationManager> manager();
    static bool supportsSecureCoding() { return true; }

    const Ref<NSURL>& baseURL() const noexcept { return baseURL_; }
    const Ref<HCHTTPRequestSerializer>& requestSerializer() const noexcept { return requestSerializer_; }
    void setRequestSerializer(const Ref<HCHTTPRequestSerializer>& serializer) { requestSerializer_ = serializer; }
    const Ref<HCHTTPResponseSerializer>& responseSerializer() const noexcept { return responseSerializer_; }
    void setResponseSerializer(const Ref<HCHTTPResponseSerializer>& serializer) { responseSerializer_ = serializer; }
    const Ref<NSOperationQueue>& operationQueue() const noexcept { return operationQueue_; }
    void setOperationQueue(const Ref<NSOperationQueue>& queue) { operationQueue_ = queue; }
    bool shouldUseCredentialStorage() const noexcept { return shouldUseCredentialStorage_; }
    void setShouldUseCredentialStorage(bool should) { shouldUseCredentialStorage_ = should; }
    const Ref<NSURLCredential>& credential() const noexcept { return credential_; }
    void setCredential(const Ref<NSURLCredential>& credential) { credential_ = credential; }
    const Ref<HCSecurityPolicy>& securityPolicy() const noexcept { return securityPolicy_; }
    void setSecurityPolicy(const Ref<HCSecurityPolicy>& policy) { securityPolicy_ = policy; }
    const Ref<HCNetworkReachabilityManager>& reachabilityManager() const noexcept { return reachabilityManager_; }
    void setReachabilityManager(const Ref<HCNetworkReachabilityManager>& manager) { reachabilityManager_ = manager; }
    const dispatch_queue_t& completionQueue() const noexcept { return completionQueue_; }
    void setCompletionQueue(const dispatch_queue_t& queue) { completionQueue_ = queue; }
    const dispatch_group_t& completionGroup() const noexcept { return completionGroup_; }
    void setCompletionGroup(const dispatch_group_t& group) { completionGroup_ = group; }

    // An operation for the request, configured by the manager, not queued.
    Ref<HCHTTPRequestOperation> HTTPRequestOperationWithRequestSuccessFailure(const Ref<NSURLRequest>& request,
                                                                              HCHTTPRequestOperationSuccess success,
                                                                              HCHTTPRequestOperationFailure failure);
    // nil when the request cannot be built: the failure block then runs later with a nil operation.
    Ref<HCHTTPRequestOperation> HTTPRequestOperationWithHTTPMethodURLStringParametersSuccessFailure(
        const Ref<NSString>& method, const Ref<NSString>& URLString, const id& parameters,
        HCHTTPRequestOperationSuccess success, HCHTTPRequestOperationFailure failure);

    // The verbs: each returns the operation, already queued, or nil.
    Ref<HCHTTPRequestOperation> GETParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                            HCHTTPRequestOperationSuccess success,
                                                            HCHTTPRequestOperationFailure failure);
    Ref<HCHTTPRequestOperation> HEADParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                             std::function<void(HCHTTPRequestOperation*)> success,
                                                             HCHTTPRequestOperationFailure failure);
    Ref<HCHTTPRequestOperation> POSTParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                             HCHTTPRequestOperationSuccess success,
                                                             HCHTTPRequestOperationFailure failure);
    Ref<HCHTTPRequestOperation> POSTParametersConstructingBodyWithBlockSuccessFailure(
        const Ref<NSString>& URLString, const id& parameters, std::function<void(HCMultipartFormData*)> block,
        HCHTTPRequestOperationSuccess success, HCHTTPRequestOperationFailure failure);
    Ref<HCHTTPRequestOperation> PUTParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                            HCHTTPRequestOperationSuccess success,
                                                            HCHTTPRequestOperationFailure failure);
    Ref<HCHTTPRequestOperation> PATCHParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                              HCHTTPRequestOperationSuccess success,
                                                              HCHTTPRequestOperationFailure failure);
    Ref<HCHTTPRequestOperation> DELETEParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                               HCHTTPRequestOperationSuccess success,
                                                               HCHTTPRequestOperationFailure failure);

    Ref<NSString> description() const override;
    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

private:
    Ref<NSString> absoluteURLString(const Ref<NSString>& URLString) const;
    void reportSerializationFailure(const HCHTTPRequestOperationFailure& failure, const Ref<NSError>& error) const;
    Ref<HCHTTPRequestOperation> enqueue(const Ref<HCHTTPRequestOperation>& operation);

    Ref<NSURL> baseURL_;
    Ref<HCHTTPRequestSerializer> requestSerializer_;
    Ref<HCHTTPResponseSerializer> responseSerializer_;
    Ref<NSOperationQueue> operationQueue_;
    bool shouldUseCredentialStorage_ = true;
    Ref<NSURLCredential> credential_;
    Ref<HCSecurityPolicy> securityPolicy_;
    Ref<HCNetworkReachabilityManager> reachabilityManager_;
    dispatch_queue_t completionQueue_;
    dispatch_group_t completionGroup_;
};
