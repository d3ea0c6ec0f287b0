// HCHTTPSessionManager: the HTTP client on URL-session tasks: a base URL, a request and a response
// serializer, and one operation per HTTP verb that builds a request, starts a task and reports to
// a success or a failure block.
#pragma once

#include <Networking/HCHTTPRequestSerializer.h>
#include <Networking/HCHTTPResponseSerializer.h>
#include <Networking/HCURLSessionManager.h>

using HCSessionTaskSuccess = std::function<void(NSURLSessionDataTask* task, const id& responseObject)>;
using HCSessionTaskFailure = std::function<void(NSURLSessionDataTask* task, const Ref<NSError>& error)>;

class HCHTTPSessionManager : public HCURLSessionManager {
    NS_OBJECT(HCHTTPSessionManager, HCURLSessionManager)
public:
    HCHTTPSessionManager() : HCHTTPSessionManager(Ref<NSURL>(), Ref<NSURLSessionConfiguration>()) {}
    explicit HCHTTPSessionManager(const Ref<NSURL>& baseURL)
        : HCHTTPSessionManager(baseURL, Ref<NSURLSessionConfiguration>()) {}
    explicit HCHTTPSessionManager(const Ref<NSURLSessionConfiguration>& configuration)
        : HCHTTPSessionManager(Ref<NSURL>(), configuration) {}
    // The designated initialiser: a base URL with a path gets a trailing "/".
    HCHTTPSessionManager(const Ref<NSURL>& baseURL, const Ref<NSURLSessionConfiguration>& configuration);
    explicit HCHTTPSessionManager(NSCoder* coder);

    static Ref<HCHTTPSessionManager> manager();

    const Ref<NSURL>& baseURL() const noexcept { return baseURL_; }
    const Ref<HCHTTPRequestSerializer>& requestSerializer() const noexcept { return requestSerializer_; }
    void setRequestSerializer(const Ref<HCHTTPRequestSerializer>& serializer) { requestSerializer_ = serializer; }
    Ref<HCHTTPResponseSerializer> httpResponseSerializer() const {
        return cast<HCHTTPResponseSerializer>(responseSerializerObject());
    }
    void setResponseSerializer(const id& serializer) override {
        HCURLSessionManager::setResponseSerializer(serializer);
    }

    // Built and not resumed, or nil when the request cannot be built (the failure block then runs
    // later, with a nil task).
    Ref<NSURLSessionDataTask> dataTaskWithHTTPMethodURLStringParametersSuccessFailure(const Ref<NSString>& method,
                                                                                      const Ref<NSString>& URLString,
                                                                                      const id& parameters,
                                                                                      HCSessionTaskSuccess success,
                                                                                      HCSessionTaskFailure failure);
    // The verbs: each returns the task, already resumed, or nil.
    Ref<NSURLSessionDataTask> GETParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                          HCSessionTaskSuccess success, HCSessionTaskFailure failure);
    Ref<NSURLSessionDataTask> HEADParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                           std::function<void(NSURLSessionDataTask*)> success,
                                                           HCSessionTaskFailure failure);
    Ref<NSURLSessionDataTask> POSTParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                           HCSessionTaskSuccess success, HCSessionTaskFailure failure);
    Ref<NSURLSessionDataTask>
    POSTParametersConstructingBodyWithBlockSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                          std::function<void(HCMultipartFormData*)> block,
                                                          HCSessionTaskSuccess success, HCSessionTaskFailure failure);
    Ref<NSURLSessionDataTask> PUTParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                          HCSessionTaskSuccess success, HCSessionTaskFailure failure);
    Ref<NSURLSessionDataTask> PATCHParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                            HCSessionTaskSuccess success, HCSessionTaskFailure failure);
    Ref<NSURLSessionDataTask> DELETEParametersSuccessFailure(const Ref<NSString>& URLString, const id& parameters,
                                                             HCSessionTaskSuccess success,
                                                             HCSessionTaskFailure failure);

    Ref<NSString> description() const override;
    void encodeWithCoder(NSCoder* coder) override;
    id copy() const override;

private:
    Ref<NSString> absoluteURLString(const Ref<NSString>& URLString) const;
    void reportSerializationFailure(const HCSessionTaskFailure& failure, const Ref<NSError>& error) const;
    HCURLSessionTaskCompletionHandler handlerFor(const std::shared_ptr<Ref<NSURLSessionDataTask>>& task,
                                                 HCSessionTaskSuccess success, HCSessionTaskFailure failure) const;

    Ref<NSURL> baseURL_;
    Ref<HCHTTPRequestSerializer> requestSerializer_;
};
