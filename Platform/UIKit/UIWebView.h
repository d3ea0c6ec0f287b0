// UIWebView: a headless web view. It keeps what it was asked to show (a request, or data with its
// MIME type, encoding and base URL) and tells its delegate, by selector, the platform's loading
// calls: webViewDidStartLoad:, webViewDidFinishLoad:, webView:didFailLoadWithError:. Nothing is
// rendered; a load of a request goes through the platform's URL loading.
#pragma once

#include <Foundation/NSData.h>
#include <Network/NSURLRequest.h>
#include <UIKit/UIView.h>

#include <Network/NSURLSessionTask.h>

class UIWebView : public UIView {
    NS_OBJECT(UIWebView, UIView)
public:
    UIWebView() : UIWebView(CGRectZero) {}
    explicit UIWebView(CGRect frame) : UIView(frame) {}
    ~UIWebView() override;

    // Held weakly (UIWebViewDelegate).
    NS_WEAK_PROPERTY(NSObject, delegate, setDelegate)

    // Loads the request asynchronously: webViewDidStartLoad: now, then webViewDidFinishLoad: with the
    // page, or webView:didFailLoadWithError:, on the main thread.
    void loadRequest(const Ref<NSURLRequest>& request);
    // Shows the data at once: webViewDidStartLoad:, then webViewDidFinishLoad:.
    void loadDataMIMETypeTextEncodingNameBaseURL(const Ref<NSData>& data, const Ref<NSString>& MIMEType,
                                                 const Ref<NSString>& textEncodingName, const Ref<NSURL>& baseURL);
    void loadHTMLStringBaseURL(const Ref<NSString>& string, const Ref<NSURL>& baseURL);
    void stopLoading();
    void reload();

    Ref<NSURLRequest> request() const { return request_; }
    bool isLoading() const noexcept { return loading_; }
    // What is shown: the page's bytes, MIME type, encoding name and base URL.
    Ref<NSData> pageData() const { return pageData_; }
    Ref<NSString> pageMIMEType() const { return pageMIMEType_; }
    Ref<NSString> pageTextEncodingName() const { return pageTextEncodingName_; }
    Ref<NSURL> pageBaseURL() const { return pageBaseURL_; }

private:
    void tell(const char* selector, const std::vector<id>& args);
    Ref<NSURLRequest> request_;
    Ref<NSURLSessionDataTask> task_;
    uint64_t generation_ = 0;
    bool loading_ = false;
    Ref<NSData> pageData_;
    Ref<NSString> pageMIMEType_;
    Ref<NSString> pageTextEncodingName_;
    Ref<NSURL> pageBaseURL_;
};
