// Web views that load their page through a request operation.
#pragma once

#include <Networking/HCHTTPRequestOperation.h>
#include <Networking/HCHTTPRequestSerializer.h>
#include <Networking/HCHTTPResponseSerializer.h>

#include <UIKit/UIWebView.h>

using HCWebViewProgress = HCProgressBlock;
// (response, page text) -> the text to show.
using HCWebViewStringSuccess = std::function<Ref<NSString>(const Ref<NSHTTPURLResponse>&, const Ref<NSString>&)>;
// (response, data) -> the data to show.
using HCWebViewDataSuccess = std::function<Ref<NSData>(const Ref<NSHTTPURLResponse>&, const Ref<NSData>&)>;
using HCWebViewFailure = std::function<void(const Ref<NSError>&)>;

Ref<HCHTTPRequestOperation> hc_HTTPRequestOperation(const Ref<UIWebView>& self);
void hc_setHTTPRequestOperation(const Ref<UIWebView>& self, const Ref<HCHTTPRequestOperation>& operation);
Ref<HCHTTPRequestSerializer> requestSerializer(const Ref<UIWebView>& self);
void setRequestSerializer(const Ref<UIWebView>& self, const Ref<HCHTTPRequestSerializer>& serializer);
Ref<HCHTTPResponseSerializer> responseSerializer(const Ref<UIWebView>& self);
void setResponseSerializer(const Ref<UIWebView>& self, const Ref<HCHTTPResponseSerializer>& serializer);

void loadRequestProgressSuccessFailure(const Ref<UIWebView>& self, const Ref<NSURLRequest>& request,
                                       HCWebViewProgress progress, HCWebViewStringSuccess success,
                                       HCWebViewFailure failure);
void loadRequestMIMETypeTextEncodingNameProgressSuccessFailure(const Ref<UIWebView>& self,
                                                               const Ref<NSURLRequest>& request,
                                                               const Ref<NSString>& MIMEType,
                                                               const Ref<NSString>& textEncodingName,
                                                               HCWebViewProgress progress, HCWebViewDataSuccess success,
                                                               HCWebViewFailure failure);
