#include <Networking/HCHTTPSessionManager.h>

#include <Networking/HCJSONResponseSerializer.h>

NS_IMPLEMENT_CLASS(HCHTTPSessionManager, HCURLSessionManager) {
    NSCodingRegister(b);
    b.classMethod("manager", [] { return HCHTTPSessionManager::manager(); });
}

namespace {

Ref<NSURL> withTrailingSlash(const Ref<NSURL>& url) {
    if (url && url->path()->length() > 0 && !url->absoluteString()->hasSuffix("/"_ns)) {
        return url->URLByAppendingPathComponent(""_ns);
    }
    return url;
}

Ref<NSURLSessionConfiguration> decodeConfiguration(NSCoder* coder) {
    auto configuration = cast<NSURLSessionConfiguration>(
        coder->decodeObjectOfClassForKey(NSURLSessionConfiguration::class_(), "sessionConfiguration"_ns));
    if (!configuration) {
        if (auto identifier = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "identifier"_ns))) {
            configuration = NSURLSessionConfiguration::backgroundSessionConfiguration(identifier);
        }
    }
    return configuration;
}

Ref<NSURL> decodeBaseURL(NSCoder* coder) {
    auto text = cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), "baseURL"_ns));
    return text ? NSURL::URLWithString(text) : nullptr;
}

} // namespace

HCHTTPSessionManager::HCHTTPSessionManager(const Ref<NSURL>& baseURL,
                                           const Ref<NSURLSessionConfiguration>& configuration)
    : HCURLSessionManager(configuration), baseURL_(withTrailingSlash(baseURL)),
      requestSerializer_(HCHTTPRequestSerializer::serializer()) {
    setResponseSerializer(HCJSONResponseSerializer::serializer());
}

HCHTTPSessionManager::HCHTTPSessionManager(NSCoder* coder)
    : HCHTTPSessionManager(decodeBaseURL(coder), decodeConfiguration(coder)) {
    requestSerializer_ = cast<HCHTTPRequestSerializer>(
        coder->decodeObjectOfClassForKey(HCHTTPRequestSerializer::class_(), "requestSerializer"_ns));
    setResponseSerializer(cast<HCHTTPResponseSerializer>(
        coder->decodeObjectOfClassForKey(HCHTTPResponseSerializer::class_(), "responseSerializer"_ns)));
    if (auto policy =
            cast<HCSecurityPolicy>(coder->decodeObjectOfClassForKey(HCSecurityPolicy::class_(), "securityPolicy"_ns))) {
        setSecurityPolicy(policy);
    }
}

Ref<HCHTTPSessionManager> HCHTTPSessionManager::manager() {
    return make<HCHTTPSessionManager>(Ref<NSURL>(), Ref<NSURLSessionConfiguration>());
}

Ref<NSString> HCHTTPSessionManager::absoluteURLString(const Ref<NSString>& URLString) const {
    if (!URLString) {
        return nullptr;
    }
    auto url = NSURL::URLWithStringRelativeToURL(URLString, baseURL_);
    return url ? url->absoluteString() : URLString;
}

void HCHTTPSessionManager::reportSerializationFailure(const HCSessionTaskFailure& failure,
                                                      const Ref<NSError>& error) const {
    if (failure) {
        dispatch_async(completionQueue() ? completionQueue() : dispatch_get_main_queue(),
                       [failure, error] { failure(nullptr, error); });
    }
}

HCURLSessionTaskCompletionHandler
HCHTTPSessionManager::handlerFor(const std::shared_ptr<Ref<NSURLSessionDataTask>>& task, HCSessionTaskSuccess success,
                                 HCSessionTaskFailure failure) const {
    // The task is filled in once it exists; the handler lets go of it when it has run.
    return [task, success, failure](const Ref<NSURLResponse>&, const id& responseObject, const Ref<NSError>& error) {
        Ref<NSURLSessionDataTask> t = std::move(*task);
        if (error) {
            if (failure) {
                failure(t.get(), error);
            }
        } else if (success) {
            success(t.get(), responseObject);
        }
    };
}

Ref<NSURLSessionDataTask> HCHTTPSessionManager::dataTaskWithHTTPMethodURLStringParametersSuccessFailure(
    const Ref<NSString>& method, const Ref<NSString>& URLString, const id& parameters, HCSessionTaskSuccess success,
    HCSessionTaskFailure failure) {
    Ref<NSError> serializationError;
    auto request = requestSerializer_->requestWithMethodURLStringParametersError(method, absoluteURLString(URLString),
                                                                                 parameters, &serializationError);
    if (!request) {
        reportSerializationFailure(
            failure, serializationError ? serializationError
                                        : make<NSError>(HCURLRequestSerializationErrorDomain(), NSURLErrorBadURL));
        return nullptr;
    }
    auto slot = std::make_shared<Ref<NSURLSessionDataTask>>();
    auto task = dataTaskWithRequestCompletionHandler(request, handlerFor(slot, std::move(success), std::move(failure)));
    *slot = task;
    return task;
}

namespace {
template <class T>
Ref<T> resumed(const Ref<T>& task) {
    if (task) {
        task->resume();
    }
    return task;
}
} // namespace

Ref<NSURLSessionDataTask> HCHTTPSessionManager::GETParametersSuccessFailure(const Ref<NSString>& URLString,
                                                                            const id& parameters,
                                                                            HCSessionTaskSuccess success,
                                                                            HCSessionTaskFailure failure) {
    return resumed(dataTaskWithHTTPMethodURLStringParametersSuccessFailure("GET"_ns, URLString, parameters,
                                                                           std::move(success), std::move(failure)));
}

Ref<NSURLSessionDataTask>
HCHTTPSessionManager::HEADParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                   std::function<void(NSURLSessionDataTask*)> success,
                                                   HCSessionTaskFailure failure) {
    HCSessionTaskSuccess onlyTask = [success](NSURLSessionDataTask* task, const id&) {
        if (success) {
            success(task);
        }
    };
    return resumed(dataTaskWithHTTPMethodURLStringParametersSuccessFailure("HEAD"_ns, URLString, parameters,
                                                                           std::move(onlyTask), std::move(failure)));
}

Ref<NSURLSessionDataTask> HCHTTPSessionManager::POSTParametersSuccessFailure(const Ref<NSString>& URLString,
                                                                             const id& parameters,
                                                                             HCSessionTaskSuccess success,
                                                                             HCSessionTaskFailure failure) {
    return resumed(dataTaskWithHTTPMethodURLStringParametersSuccessFailure("POST"_ns, URLString, parameters,
                                                                           std::move(success), std::move(failure)));
}

Ref<NSURLSessionDataTask> HCHTTPSessionManager::POSTParametersConstructingBodyWithBlockSuccessFailure(
    const Ref<NSString>& URLString, const id& parameters, std::function<void(HCMultipartFormData*)> block,
    HCSessionTaskSuccess success, HCSessionTaskFailure failure) {
    Ref<NSError> serializationError;
    auto request = requestSerializer_->multipartFormRequestWithMethodURLStringParametersConstructingBodyWithBlockError(
        "POST"_ns, absoluteURLString(URLString), cast<NSDictionary>(parameters), block, &serializationError);
    if (!request) {
        reportSerializationFailure(
            failure, serializationError ? serializationError
                                        : make<NSError>(HCURLRequestSerializationErrorDomain(), NSURLErrorBadURL));
        return nullptr;
    }
    auto slot = std::make_shared<Ref<NSURLSessionDataTask>>();
    auto task = uploadTaskWithStreamedRequestProgressCompletionHandler(
        request, nullptr, handlerFor(slot, std::move(success), std::move(failure)));
    *slot = task;
    return resumed(Ref<NSURLSessionDataTask>(task));
}

Ref<NSURLSessionDataTask> HCHTTPSessionManager::PUTParametersSuccessFailure(const Ref<NSString>& URLString,
                                                                            const id& parameters,
                                                                            HCSessionTaskSuccess success,
                                                                            HCSessionTaskFailure failure) {
    return resumed(dataTaskWithHTTPMethodURLStringParametersSuccessFailure("PUT"_ns, URLString, parameters,
                                                                           std::move(success), std::move(failure)));
}

Ref<NSURLSessionDataTask> HCHTTPSessionManager::PATCHParametersSuccessFailure(const Ref<NSString>& URLString,
                                                                              const id& parameters,
                                                                              HCSessionTaskSuccess success,
                                                                              HCSessionTaskFailure failure) {
    return resumed(dataTaskWithHTTPMethodURLStringParametersSuccessFailure("PATCH"_ns, URLString, parameters,
                                                                           std::move(success), std::move(failure)));
}

Ref<NSURLSessionDataTask> HCHTTPSessionManager::DELETEParametersSuccessFailure(const Ref<NSString>& URLString,
                                                                               const id& parameters,
                                                                               HCSessionTaskSuccess success,
                                                                               HCSessionTaskFailure failure) {
    return resumed(dataTaskWithHTTPMethodURLStringParametersSuccessFailure("DELETE"_ns, URLString, parameters,
                                                                           std::move(success), std::move(failure)));
}

Ref<NSString> HCHTTPSessionManager::description() const {
    return NSString::stringWithFormat("<%@: %p, baseURL: %@, session: %@, operationQueue: %@>",
                                      NSStringFromClass(getClass()), static_cast<const void*>(this),
                                      baseURL_ ? baseURL_->absoluteString() : nullptr, session(), operationQueue());
}

void HCHTTPSessionManager::encodeWithCoder(NSCoder* coder) {
    // The base class's one entry (the configuration) is written below, once.
    coder->encodeObjectForKey(baseURL_ ? baseURL_->absoluteString() : nullptr, "baseURL"_ns);
    auto configuration = session()->configuration();
    if (configuration->conformsToProtocol(NSCodingProtocol()) ||
        configuration->conformsToProtocol(NSSecureCodingProtocol())) {
        coder->encodeObjectForKey(configuration, "sessionConfiguration"_ns);
    } else {
        coder->encodeObjectForKey(configuration->identifier(), "identifier"_ns);
    }
    coder->encodeObjectForKey(requestSerializer_, "requestSerializer"_ns);
    coder->encodeObjectForKey(responseSerializerObject(), "responseSerializer"_ns);
    coder->encodeObjectForKey(securityPolicy(), "securityPolicy"_ns);
}

id HCHTTPSessionManager::copy() const {
    auto other = make<HCHTTPSessionManager>(baseURL_, session()->configuration());
    other->requestSerializer_ =
        requestSerializer_ ? cast<HCHTTPRequestSerializer>(requestSerializer_->copy()) : nullptr;
    if (auto serializer = responseSerializerObject()) {
        other->setResponseSerializer(serializer->copy());
    }
    other->setSecurityPolicy(securityPolicy() ? cast<HCSecurityPolicy>(securityPolicy()->copy()) : nullptr);
    return other;
}
