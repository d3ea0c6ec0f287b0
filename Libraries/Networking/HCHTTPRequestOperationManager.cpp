#include <Networking/HCHTTPRequestOperationManager.h>

#include <Networking/HCJSONResponseSerializer.h>

NS_IMPLEMENT_CLASS(HCHTTPRequestOperationManager, NSObject) {
    NSCodingRegister(b);
    b.classMethod("manager", [] { return HCHTTPRequestOperationManager::manager(); });
    b.classMethod("supportsSecureCoding", [] { return true; });
}

namespace {

Ref<NSURL> withTrailingSlash(const Ref<NSURL>& url) {
    if (url && url->path()->length() > 0 && !url->absoluteString()->hasSuffix("/"_ns)) {
        return url->URLByAppendingPathComponent(""_ns);
    }
    return url;
}

// URLs are archived as their absolute strings.
Ref<NSURL> decodeURL(NSCoder* coder, const Ref<NSString>& key) {
    auto text = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), key));
    return text ? NSURL::URLWithString(text) : nullptr;
}

} // namespace

HCHTTPRequestOperationManager::HCHTTPRequestOperationManager(const Ref<NSURL>& baseURL)
    : baseURL_(withTrailingSlash(baseURL)), requestSerializer_(HCHTTPRequestSerializer::serializer()),
      responseSerializer_(HCJSONResponseSerializer::serializer()), operationQueue_(make<NSOperationQueue>()),
      securityPolicy_(HCSecurityPolicy::defaultPolicy()),
      reachabilityManager_(HCNetworkReachabilityManager::sharedManager()) {}

HCHTTPRequestOperationManager::HCHTTPRequestOperationManager(NSCoder* coder)
    : HCHTTPRequestOperationManager(decodeURL(coder, "baseURL"_ns)) {
    requestSerializer_ = cast<HCHTTPRequestSerializer>(
        coder->decodeObjectOfClassForKey(HCHTTPRequestSerializer::class_(), "requestSerializer"_ns));
    responseSerializer_ = cast<HCHTTPResponseSerializer>(
        coder->decodeObjectOfClassForKey(HCHTTPResponseSerializer::class_(), "responseSerializer"_ns));
    if (auto policy =
            cast<HCSecurityPolicy>(coder->decodeObjectOfClassForKey(HCSecurityPolicy::class_(), "securityPolicy"_ns))) {
        securityPolicy_ = policy;
    }
}

Ref<HCHTTPRequestOperationManager> HCHTTPRequestOperationManager::manager() {
    return make<HCHTTPRequestOperationManager>(Ref<NSURL>());
}

Ref<NSString> HCHTTPRequestOperationManager::absoluteURLString(const Ref<NSString>& URLString) const {
    if (!URLString) {
        return nullptr;
    }
    auto url = NSURL::URLWithStringRelativeToURL(URLString, baseURL_);
    return url ? url->absoluteString() : URLString;
}

void HCHTTPRequestOperationManager::reportSerializationFailure(const HCHTTPRequestOperationFailure& failure,
                                                               const Ref<NSError>& error) const {
    if (!failure) {
        return;
    }
    dispatch_queue_t queue = completionQueue_ ? completionQueue_ : dispatch_get_main_queue();
    dispatch_async(queue, [failure, error] { failure(nullptr, error); });
}

Ref<HCHTTPRequestOperation> HCHTTPRequestOperationManager::HTTPRequestOperationWithRequestSuccessFailure(
    const Ref<NSURLRequest>& request, HCHTTPRequestOperationSuccess success, HCHTTPRequestOperationFailure failure) {
    auto operation = make<HCHTTPRequestOperation>(request);
    operation->setResponseSerializer(responseSerializer_);
    operation->setShouldUseCredentialStorage(shouldUseCredentialStorage_);
    operation->setCredential(credential_);
    operation->setSecurityPolicy(securityPolicy_);
    operation->setCompletionBlockWithSuccessFailure(std::move(success), std::move(failure));
    operation->setCompletionQueue(completionQueue_);
    operation->setCompletionGroup(completionGroup_);
    return operation;
}

Ref<HCHTTPRequestOperation>
HCHTTPRequestOperationManager::HTTPRequestOperationWithHTTPMethodURLStringParametersSuccessFailure(
    const Ref<NSString>& method, const Ref<NSString>& URLString, const id& parameters,
    HCHTTPRequestOperationSuccess success, HCHTTPRequestOperationFailure failure) {
    Ref<NSError> serializationError;
    auto request = requestSerializer_->requestWithMethodURLStringParametersError(method, absoluteURLString(URLString),
                                                                                 parameters, &serializationError);
    if (!request) {
        // No request is sent when it could not be built; the caller learns why, later.
        if (!serializationError) {
            serializationError = make<NSError>(HCURLRequestSerializationErrorDomain(), NSURLErrorBadURL);
        }
        reportSerializationFailure(failure, serializationError);
        return nullptr;
    }
    return HTTPRequestOperationWithRequestSuccessFailure(request, std::move(success), std::move(failure));
}

Ref<HCHTTPRequestOperation> HCHTTPRequestOperationManager::enqueue(const Ref<HCHTTPRequestOperation>& operation) {
    if (operation) {
        operationQueue_->addOperation(operation);
    }
    return operation;
}

Ref<HCHTTPRequestOperation>
HCHTTPRequestOperationManager::GETParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                           HCHTTPRequestOperationSuccess success,
                                                           HCHTTPRequestOperationFailure failure) {
    return enqueue(HTTPRequestOperationWithHTTPMethodURLStringParametersSuccessFailure(
        "GET"_ns, URLString, parameters, std::move(success), std::move(failure)));
}

Ref<HCHTTPRequestOperation>
HCHTTPRequestOperationManager::HEADParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                            std::function<void(HCHTTPRequestOperation*)> success,
                                                            HCHTTPRequestOperationFailure failure) {
    HCHTTPRequestOperationSuccess onlyOperation = [success](HCHTTPRequestOperation* operation, const id&) {
        if (success) {
            success(operation);
        }
    };
    return enqueue(HTTPRequestOperationWithHTTPMethodURLStringParametersSuccessFailure(
        "HEAD"_ns, URLString, parameters, std::move(onlyOperation), std::move(failure)));
}

Ref<HCHTTPRequestOperation>
HCHTTPRequestOperationManager::POSTParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                            HCHTTPRequestOperationSuccess success,
                                                            HCHTTPRequestOperationFailure failure) {
    return enqueue(HTTPRequestOperationWithHTTPMethodURLStringParametersSuccessFailure(
        "POST"_ns, URLString, parameters, std::move(success), std::move(failure)));
}

Ref<HCHTTPRequestOperation> HCHTTPRequestOperationManager::POSTParametersConstructingBodyWithBlockSuccessFailure(
    const Ref<NSString>& URLString, const id& parameters, std::function<void(HCMultipartFormData*)> block,
    HCHTTPRequestOperationSuccess success, HCHTTPRequestOperationFailure failure) {
    Ref<NSError> serializationError;
    auto request = requestSerializer_->multipartFormRequestWithMethodURLStringParametersConstructingBodyWithBlockError(
        "POST"_ns, absoluteURLString(URLString), cast<NSDictionary>(parameters), block, &serializationError);
    if (!request) {
        if (!serializationError) {
            serializationError = make<NSError>(HCURLRequestSerializationErrorDomain(), NSURLErrorBadURL);
        }
        reportSerializationFailure(failure, serializationError);
        return nullptr;
    }
    return enqueue(HTTPRequestOperationWithRequestSuccessFailure(request, std::move(success), std::move(failure)));
}

Ref<HCHTTPRequestOperation>
HCHTTPRequestOperationManager::PUTParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                           HCHTTPRequestOperationSuccess success,
                                                           HCHTTPRequestOperationFailure failure) {
    return enqueue(HTTPRequestOperationWithHTTPMethodURLStringParametersSuccessFailure(
        "PUT"_ns, URLString, parameters, std::move(success), std::move(failure)));
}

Ref<HCHTTPRequestOperation>
HCHTTPRequestOperationManager::PATCHParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                             HCHTTPRequestOperationSuccess success,
                                                             HCHTTPRequestOperationFailure failure) {
    return enqueue(HTTPRequestOperationWithHTTPMethodURLStringParametersSuccessFailure(
        "PATCH"_ns, URLString, parameters, std::move(success), std::move(failure)));
}

Ref<HCHTTPRequestOperation>
HCHTTPRequestOperationManager::DELETEParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                              HCHTTPRequestOperationSuccess success,
                                                              HCHTTPRequestOperationFailure failure) {
    return enqueue(HTTPRequestOperationWithHTTPMethodURLStringParametersSuccessFailure(
        "DELETE"_ns, URLString, parameters, std::move(success), std::move(failure)));
}

Ref<NSString> HCHTTPRequestOperationManager::description() const {
    return NSString::stringWithFormat("<%@: %p, baseURL: %@, operationQueue: %@>", NSStringFromClass(getClass()),
                                      static_cast<const void*>(this), baseURL_ ? baseURL_->absoluteString() : nullptr,
                                      operationQueue_);
}

void HCHTTPRequestOperationManager::encodeWithCoder(NSCoder* coder) {
    coder->encodeObjectForKey(baseURL_ ? baseURL_->absoluteString() : nullptr, "baseURL"_ns);
    coder->encodeObjectForKey(requestSerializer_, "requestSerializer"_ns);
    coder->encodeObjectForKey(responseSerializer_, "responseSerializer"_ns);
    coder->encodeObjectForKey(securityPolicy_, "securityPolicy"_ns);
}

id HCHTTPRequestOperationManager::copy() const {
    auto other = make<HCHTTPRequestOperationManager>(baseURL_);
    other->requestSerializer_ =
        requestSerializer_ ? cast<HCHTTPRequestSerializer>(requestSerializer_->copy()) : nullptr;
    other->responseSerializer_ =
        responseSerializer_ ? cast<HCHTTPResponseSerializer>(responseSerializer_->copy()) : nullptr;
    other->securityPolicy_ = securityPolicy_ ? cast<HCSecurityPolicy>(securityPolicy_->copy()) : nullptr;
    return other;
}
