#include <Networking/HCURLResponseSerialization.h>
#include <Networking/UIWebView+HCNetworking.h>

#include <mutex>

namespace {

const char kOperationKey = 0;
const char kRequestSerializerKey = 0;
const char kResponseSerializerKey = 0;

Ref<HCHTTPRequestSerializer> defaultRequestSerializer() {
    static std::once_flag once;
    static Ref<HCHTTPRequestSerializer>* serializer;
    std::call_once(once, [] { serializer = new Ref<HCHTTPRequestSerializer>(HCHTTPRequestSerializer::serializer()); });
    return *serializer;
}

Ref<HCHTTPResponseSerializer> defaultResponseSerializer() {
    static std::once_flag once;
    static Ref<HCHTTPResponseSerializer>* serializer;
    std::call_once(once,
                   [] { serializer = new Ref<HCHTTPResponseSerializer>(HCHTTPResponseSerializer::serializer()); });
    return *serializer;
}

} // namespace

Ref<HCHTTPRequestOperation> hc_HTTPRequestOperation(const Ref<UIWebView>& self) {
    return cast<HCHTTPRequestOperation>(self->associatedObject(&kOperationKey));
}

void hc_setHTTPRequestOperation(const Ref<UIWebView>& self, const Ref<HCHTTPRequestOperation>& operation) {
    self->setAssociatedObject(&kOperationKey, operation, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<HCHTTPRequestSerializer> requestSerializer(const Ref<UIWebView>& self) {
    auto own = cast<HCHTTPRequestSerializer>(self->associatedObject(&kRequestSerializerKey));
    return own ? own : defaultRequestSerializer();
}

void setRequestSerializer(const Ref<UIWebView>& self, const Ref<HCHTTPRequestSerializer>& serializer) {
    self->setAssociatedObject(&kRequestSerializerKey, serializer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<HCHTTPResponseSerializer> responseSerializer(const Ref<UIWebView>& self) {
    auto own = cast<HCHTTPResponseSerializer>(self->associatedObject(&kResponseSerializerKey));
    return own ? own : defaultResponseSerializer();
}

void setResponseSerializer(const Ref<UIWebView>& self, const Ref<HCHTTPResponseSerializer>& serializer) {
    self->setAssociatedObject(&kResponseSerializerKey, serializer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

void loadRequestProgressSuccessFailure(const Ref<UIWebView>& self, const Ref<NSURLRequest>& request,
                                       HCWebViewProgress progress, HCWebViewStringSuccess success,
                                       HCWebViewFailure failure) {
    loadRequestMIMETypeTextEncodingNameProgressSuccessFailure(
        self, request, nullptr, nullptr, std::move(progress),
        [success](const Ref<NSHTTPURLResponse>& response, const Ref<NSData>& data) -> Ref<NSData> {
            NSStringEncoding encoding = NSUTF8StringEncoding;
            if (response && response->textEncodingName()) {
                if (NSStringEncoding named = HCStringEncodingForIANACharSetName(response->textEncodingName())) {
                    encoding = named;
                }
            }
            Ref<NSString> text = NSString::stringWithDataEncoding(data ? data : NSData::data(), encoding);
            if (success) {
                text = success(response, text);
            }
            return text ? text->dataUsingEncoding(encoding) : nullptr;
        },
        std::move(failure));
}

void loadRequestMIMETypeTextEncodingNameProgressSuccessFailure(const Ref<UIWebView>& self,
                                                               const Ref<NSURLRequest>& request,
                                                               const Ref<NSString>& MIMEType,
                                                               const Ref<NSString>& textEncodingName,
                                                               HCWebViewProgress progress, HCWebViewDataSuccess success,
                                                               HCWebViewFailure failure) {
    if (auto current = hc_HTTPRequestOperation(self)) {
        current->cancel();
    }
    Ref<NSURLRequest> serialized =
        requestSerializer(self)->requestBySerializingRequestWithParametersError(request, nullptr, nullptr);
    auto operation = make<HCHTTPRequestOperation>(serialized ? Ref<NSURLRequest>(serialized) : request);
    hc_setHTTPRequestOperation(self, operation);
    operation->setResponseSerializer(responseSerializer(self));
    if (progress) {
        operation->setDownloadProgressBlock(std::move(progress));
    }
    Weak<UIWebView> view(self);
    operation->setCompletionBlockWithSuccessFailure(
        [view, MIMEType, textEncodingName, success](HCHTTPRequestOperation* op, const id&) {
            auto v = view.lock();
            if (!v) {
                return;
            }
            auto response = op->response();
            Ref<NSData> data = success ? success(response, op->responseData()) : op->responseData();
            v->loadDataMIMETypeTextEncodingNameBaseURL(
                data, MIMEType ? MIMEType : (response ? response->MIMEType() : nullptr),
                textEncodingName ? textEncodingName : (response ? response->textEncodingName() : nullptr),
                response ? response->URL() : nullptr);
            // loadData: tells the delegate webViewDidFinishLoad: itself.
        },
        [failure](HCHTTPRequestOperation*, const Ref<NSError>& error) {
            if (failure) {
                failure(error);
            }
        });
    operation->start();
    auto delegate = self->delegate();
    if (delegate && delegate->respondsToSelector(SEL("webViewDidStartLoad:"))) {
        delegate->performSelectorWithArguments(SEL("webViewDidStartLoad:"), {self});
    }
}
