#include <UIKit/UIWebView.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSError.h>
#include <Network/NSURLResponse.h>
#include <Network/NSURLSession.h>

NS_IMPLEMENT_CLASS(UIWebView, UIView) {
    b.property("delegate", &UIWebView::delegate, &UIWebView::setDelegate, "weak");
    b.method("loadRequest:", &UIWebView::loadRequest);
    b.method("stopLoading", &UIWebView::stopLoading);
    b.method("reload", &UIWebView::reload);
}

UIWebView::~UIWebView() {
    if (task_) {
        task_->cancel();
    }
}

void UIWebView::tell(const char* selector, const std::vector<id>& args) {
    auto d = delegate();
    SEL sel(selector);
    if (d && d->respondsToSelector(sel)) {
        d->performSelectorWithArguments(sel, args);
    }
}

void UIWebView::loadRequest(const Ref<NSURLRequest>& request) {
    stopLoading();
    request_ = request;
    if (!request) {
        return;
    }
    loading_ = true;
    uint64_t generation = ++generation_;
    Weak<UIWebView> weak(this);
    task_ = NSURLSession::sharedSession()->dataTaskWithRequestCompletionHandler(
        request,
        [weak, generation](const Ref<NSData>& data, const Ref<NSURLResponse>& response, const Ref<NSError>& error) {
            dispatch_async(dispatch_get_main_queue(), [weak, generation, data, response, error] {
                auto self = weak.lock();
                if (!self || self->generation_ != generation) {
                    return; // stopped or replaced meanwhile
                }
                self->task_ = nullptr;
                self->loading_ = false;
                if (error) {
                    self->tell("webView:didFailLoadWithError:", {self, error});
                    return;
                }
                self->pageData_ = data ? data : NSData::data();
                self->pageMIMEType_ = response ? response->MIMEType() : nullptr;
                self->pageTextEncodingName_ = response ? response->textEncodingName() : nullptr;
                self->pageBaseURL_ = response ? response->URL() : nullptr;
                self->tell("webViewDidFinishLoad:", {self});
            });
        });
    tell("webViewDidStartLoad:", {Ref<UIWebView>(this)});
    task_->resume();
}

void UIWebView::loadDataMIMETypeTextEncodingNameBaseURL(const Ref<NSData>& data, const Ref<NSString>& MIMEType,
                                                        const Ref<NSString>& textEncodingName,
                                                        const Ref<NSURL>& baseURL) {
    stopLoading();
    Ref<UIWebView> self(this);
    tell("webViewDidStartLoad:", {self});
    pageData_ = data;
    pageMIMEType_ = MIMEType;
    pageTextEncodingName_ = textEncodingName;
    pageBaseURL_ = baseURL;
    tell("webViewDidFinishLoad:", {self});
}

void UIWebView::loadHTMLStringBaseURL(const Ref<NSString>& string, const Ref<NSURL>& baseURL) {
    loadDataMIMETypeTextEncodingNameBaseURL(string ? string->dataUsingEncoding(NSUTF8StringEncoding) : NSData::data(),
                                            "text/html"_ns, "utf-8"_ns, baseURL);
}

void UIWebView::stopLoading() {
    ++generation_;
    loading_ = false;
    if (task_) {
        task_->cancel();
        task_ = nullptr;
    }
}

void UIWebView::reload() {
    if (request_) {
        loadRequest(request_);
    }
}
