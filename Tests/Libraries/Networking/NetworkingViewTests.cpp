// The networking additions to views, each followed to success and to failure against a loopback
// server: image views and buttons through the shared image cache, activity indicators, refresh
// controls, error alerts, progress views and web views.
#include "LoopbackServer.h"
#include "MainLoop.h"

#include <Networking/HCHTTPRequestOperation.h>
#include <Networking/HCHTTPResponseSerializer.h>
#include <Networking/UIActivityIndicatorView+HCNetworking.h>
#include <Networking/UIAlertView+HCNetworking.h>
#include <Networking/UIImageView+HCNetworking.h>
#include <Networking/UIProgressView+HCNetworking.h>
#include <Networking/UIWebView+HCNetworking.h>

#include <Foundation/NSNotificationCenter.h>
#include <UIKit/UIApplication.h>

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>

namespace {

// A 1×1 PNG.
const char* kPNG = "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==";

std::string pngBytes() {
    auto data = NSData::dataWithBase64EncodedStringOptions(NSString::from(kPNG), 0);
    return std::string(reinterpret_cast<const char*>(data->bytes()), data->length());
}

Ref<NSURL> url(const std::string& text) {
    return NSURL::URLWithString(NSString::from(text));
}

class NetworkingViews : public ::testing::Test {
protected:
    void SetUp() override {
        dispatch_adopt_current_thread_as_main();
        auto& s = server.server();
        s.Get(R"(/image/(\w+))", [this](const httplib::Request&, httplib::Response& response) {
            ++imageHits;
            response.set_content(pngBytes(), "image/png");
        });
        s.Get("/page", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html>h\xC3\xA9llo</html>", "text/html; charset=utf-8");
        });
        s.Get("/big", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(200000, 'x'), "application/octet-stream");
        });
        server.stall("/slow");
        server.start();
        // A fresh cache per test (the default one is process-wide).
        setSharedImageCacheForImageViews(make<HCImageCache>());
        setSharedImageCacheForButtons(nullptr);
    }
    void TearDown() override { server.release(); }

    std::string at(const std::string& path) const { return server.url(path); }

    LoopbackServer server;
    std::atomic<int> imageHits{0};
};

// Records the web view's delegate calls.
class WebDelegate : public NSObject {
    NS_OBJECT(WebDelegate, NSObject)
public:
    int started = 0;
    int finished = 0;
    void webViewDidStartLoad(const Ref<UIWebView>&) { ++started; }
    void webViewDidFinishLoad(const Ref<UIWebView>&) { ++finished; }
};

} // namespace

NS_IMPLEMENT_CLASS(WebDelegate, NSObject) {
    b.method("webViewDidStartLoad:", &WebDelegate::webViewDidStartLoad);
    b.method("webViewDidFinishLoad:", &WebDelegate::webViewDidFinishLoad);
}

TEST_F(NetworkingViews, ImageViewLoadsCachesAndBypassesTheCacheWhenAsked) {
    auto view = make<UIImageView>();
    setImageWithURL(view, url(at("/image/a")));
    ASSERT_TRUE(runMainLoopUntil([&] { return view->image() != nullptr; }));
    EXPECT_FALSE(hc_imageRequestOperation(view));
    EXPECT_EQ(imageHits.load(), 1);

    // A second load of the same URL comes from the cache, at once.
    auto other = make<UIImageView>();
    setImageWithURL(other, url(at("/image/a")));
    EXPECT_TRUE(other->image());
    EXPECT_EQ(imageHits.load(), 1);

    // Policies 1 and 4 always go to the server.
    for (auto policy : {NSURLRequestReloadIgnoringLocalCacheData, NSURLRequestReloadIgnoringLocalAndRemoteCacheData}) {
        int before = imageHits.load();
        auto request = make<NSMutableURLRequest>(url(at("/image/a")), policy);
        bool done = false;
        auto fresh = make<UIImageView>();
        setImageWithURLRequestPlaceholderImageSuccessFailure(
            fresh, request, nullptr,
            [&](const Ref<NSURLRequest>&, const Ref<NSHTTPURLResponse>& response, const Ref<UIImage>& image) {
                EXPECT_TRUE(response); // not from the cache
                EXPECT_TRUE(image);
                done = true;
            },
            nullptr);
        ASSERT_TRUE(runMainLoopUntil([&] { return done; })) << policy;
        EXPECT_EQ(imageHits.load(), before + 1) << policy;
    }
}

TEST_F(NetworkingViews, ImageViewFailureKeepsThePlaceholder) {
    auto view = make<UIImageView>();
    auto placeholder = UIImage::imageWithData(NSData::dataWithBase64EncodedStringOptions(NSString::from(kPNG), 0));
    Ref<NSError> failed;
    setImageWithURLRequestPlaceholderImageSuccessFailure(
        view, make<NSURLRequest>(url(at("/missing"))), placeholder, nullptr,
        [&](const Ref<NSURLRequest>&, const Ref<NSHTTPURLResponse>& response, const Ref<NSError>& error) {
            EXPECT_EQ(response->statusCode(), 404);
            failed = error;
        });
    EXPECT_EQ(view->image().get(), placeholder.get());
    ASSERT_TRUE(runMainLoopUntil([&] { return failed != nullptr; }));
    EXPECT_EQ(view->image().get(), placeholder.get());
    EXPECT_FALSE(sharedImageCacheForImageViews()->cachedImageForRequest(make<NSURLRequest>(url(at("/missing")))));
}

TEST_F(NetworkingViews, OnlyTheLatestImageLoadOfAViewCounts) {
    auto view = make<UIImageView>();
    int firstSuccesses = 0;
    Ref<NSError> firstError;
    setImageWithURLRequestPlaceholderImageSuccessFailure(
        view, make<NSURLRequest>(url(at("/slow"))), nullptr,
        [&](const Ref<NSURLRequest>&, const Ref<NSHTTPURLResponse>&, const Ref<UIImage>&) { ++firstSuccesses; },
        [&](const Ref<NSURLRequest>&, const Ref<NSHTTPURLResponse>&, const Ref<NSError>& error) {
            firstError = error;
        });
    auto first = hc_imageRequestOperation(view);
    ASSERT_TRUE(first);
    setImageWithURL(view, url(at("/image/b")));
    ASSERT_TRUE(runMainLoopUntil([&] { return view->image() != nullptr && first->isFinished(); }));
    server.release();
    drainMainLoop(0.2);
    EXPECT_EQ(firstSuccesses, 0);
    EXPECT_FALSE(firstError); // another URL is current: the cancelled load says nothing
    EXPECT_TRUE(first->isCancelled());
}

TEST_F(NetworkingViews, MemoryWarningEmptiesOnlyTheDefaultCache) {
    setSharedImageCacheForImageViews(nullptr);
    auto image = UIImage::imageWithData(NSData::dataWithBase64EncodedStringOptions(NSString::from(kPNG), 0));
    auto request = make<NSURLRequest>(url("http://cache.example/x.png"));
    auto defaultCache = sharedImageCacheForImageViews();
    defaultCache->cacheImageForRequest(image, request);
    auto own = make<HCImageCache>();
    own->cacheImageForRequest(image, request);
    NSNotificationCenter::defaultCenter()->postNotificationNameObject(
        UIApplicationDidReceiveMemoryWarningNotification(), nullptr);
    EXPECT_FALSE(defaultCache->cachedImageForRequest(request));
    EXPECT_TRUE(own->cachedImageForRequest(request));
}

TEST_F(NetworkingViews, ButtonStatesShareOrOwnTheirSlots) {
    auto button = make<UIButton>();
    setImageForStateWithURL(button, UIControlStateNormal, url(at("/slow")));
    auto normal = hc_imageRequestOperationForState(button, UIControlStateNormal);
    ASSERT_TRUE(normal);
    EXPECT_EQ(hc_imageRequestOperationForState(button, 3).get(), normal.get());
    setImageForStateWithURL(button, UIControlStateSelected, url(at("/image/s")));
    EXPECT_NE(hc_imageRequestOperationForState(button, UIControlStateSelected).get(), normal.get());
    setImageForStateWithURL(button, 3, url(at("/image/n"))); // replaces (cancels) the normal load
    EXPECT_TRUE(normal->isCancelled());
    ASSERT_TRUE(
        runMainLoopUntil([&] { return button->imageForState(UIControlStateSelected) && button->imageForState(3); }));

    Ref<NSError> failed;
    setBackgroundImageForStateWithURLRequestPlaceholderImageSuccessFailure(
        button, UIControlStateNormal, make<NSURLRequest>(url(at("/missing"))), nullptr, nullptr,
        [&](const Ref<NSError>& error) { failed = error; });
    ASSERT_TRUE(runMainLoopUntil([&] { return failed != nullptr; }));
    EXPECT_FALSE(button->backgroundImageForState(UIControlStateNormal));
}

TEST_F(NetworkingViews, IndicatorAndRefreshControlFollowAnOperation) {
    auto indicator = make<UIActivityIndicatorView>();
    auto refresh = make<UIRefreshControl>();
    auto operation = make<HCHTTPRequestOperation>(make<NSURLRequest>(url(at("/slow"))));
    setAnimatingWithStateOfOperation(indicator, operation);
    setRefreshingWithStateOfOperation(refresh, operation);
    operation->start();
    ASSERT_TRUE(runMainLoopUntil([&] { return indicator->isAnimating() && refresh->isRefreshing(); }));
    server.release();
    ASSERT_TRUE(runMainLoopUntil([&] { return !indicator->isAnimating() && !refresh->isRefreshing(); }));

    // A failing operation stops them too; a finished one changes nothing.
    auto failing = make<HCHTTPRequestOperation>(make<NSURLRequest>(url("http://127.0.0.1:1/none")));
    setAnimatingWithStateOfOperation(indicator, failing);
    failing->start();
    ASSERT_TRUE(runMainLoopUntil([&] { return failing->isFinished(); }));
    drainMainLoop(0.1);
    EXPECT_FALSE(indicator->isAnimating());
    indicator->startAnimating();
    setAnimatingWithStateOfOperation(indicator, failing);
    drainMainLoop(0.1);
    EXPECT_TRUE(indicator->isAnimating());
}

TEST_F(NetworkingViews, AlertShowsAFailedOperationsErrorOnce) {
    for (const auto& alert : UIAlertView::visibleAlerts()) {
        alert->dismissWithClickedButtonIndexAnimated(0, false);
    }
    auto ok = make<HCHTTPRequestOperation>(make<NSURLRequest>(url(at("/page"))));
    showAlertViewForRequestOperationWithErrorOnCompletionDelegate(ok, nullptr);
    ok->start();
    ASSERT_TRUE(runMainLoopUntil([&] { return ok->isFinished(); }));
    drainMainLoop(0.2);
    EXPECT_TRUE(UIAlertView::visibleAlerts().empty());

    auto failing = make<HCHTTPRequestOperation>(make<NSURLRequest>(url(at("/missing"))));
    showAlertViewForRequestOperationWithErrorOnCompletionDelegateCancelButtonTitleOtherButtonTitles(
        failing, nullptr, "Close"_ns, {"Retry"_ns});
    failing->start();
    ASSERT_TRUE(runMainLoopUntil([&] { return !UIAlertView::visibleAlerts().empty(); }));
    auto alert = UIAlertView::visibleAlerts().back();
    EXPECT_EQ(alert->numberOfButtons(), 2);
    EXPECT_TRUE(alert->buttonTitleAtIndex(0)->isEqualToString("Close"_ns));
    EXPECT_TRUE(alert->buttonTitleAtIndex(1)->isEqualToString("Retry"_ns));
    EXPECT_TRUE(alert->title() && alert->title()->length() > 0);
    EXPECT_TRUE(alert->message() && alert->message()->length() > 0);
    // The observer is gone: a second finish notification shows nothing more.
    NSNotificationCenter::defaultCenter()->postNotificationNameObject(HCNetworkingOperationDidFinishNotification(),
                                                                      failing);
    drainMainLoop(0.1);
    EXPECT_EQ(UIAlertView::visibleAlerts().size(), 1u);
    alert->dismissWithClickedButtonIndexAnimated(0, false);
}

TEST_F(NetworkingViews, ProgressViewFollowsADownload) {
    auto progress = make<UIProgressView>();
    auto operation = make<HCHTTPRequestOperation>(make<NSURLRequest>(url(at("/big"))));
    setProgressWithDownloadProgressOfOperationAnimated(progress, operation, true);
    bool finished = false;
    operation->setCompletionBlockWithSuccessFailure(
        [&](HCHTTPRequestOperation*, const id&) { finished = true; },
        [&](HCHTTPRequestOperation*, const Ref<NSError>&) { finished = true; });
    operation->start();
    ASSERT_TRUE(runMainLoopUntil([&] { return finished && progress->progress() >= 1.0f; }));
    EXPECT_FLOAT_EQ(progress->progress(), 1.0f);
}

TEST_F(NetworkingViews, WebViewLoadsThroughAnOperation) {
    auto web = make<UIWebView>();
    auto delegate = make<WebDelegate>();
    web->setDelegate(delegate);
    Ref<NSString> seen;
    loadRequestProgressSuccessFailure(
        web, make<NSURLRequest>(url(at("/page"))), nullptr,
        [&](const Ref<NSHTTPURLResponse>&, const Ref<NSString>& text) {
            seen = text;
            return text->stringByAppendingString("!"_ns);
        },
        nullptr);
    EXPECT_EQ(delegate->started, 1);
    ASSERT_TRUE(runMainLoopUntil([&] { return delegate->finished == 1; }));
    EXPECT_EQ(delegate->started, 2); // showing the page is a load of its own
    ASSERT_TRUE(seen);
    EXPECT_TRUE(seen->isEqualToString(NSString::from("<html>h\xC3\xA9llo</html>")));
    auto shown = NSString::stringWithDataEncoding(web->pageData(), NSUTF8StringEncoding);
    EXPECT_TRUE(shown->hasSuffix("</html>!"_ns));
    EXPECT_TRUE(web->pageMIMEType()->isEqualToString("text/html"_ns));

    Ref<NSError> failed;
    loadRequestProgressSuccessFailure(web, make<NSURLRequest>(url(at("/missing"))), nullptr, nullptr,
                                      [&](const Ref<NSError>& error) { failed = error; });
    ASSERT_TRUE(runMainLoopUntil([&] { return failed != nullptr; }));
    EXPECT_EQ(delegate->finished, 1); // a failure is not reported as a finished page
    EXPECT_EQ(delegate->started, 3);

    // The stand-in's own loading reports its delegate calls too.
    web->loadRequest(make<NSURLRequest>(url(at("/page"))));
    ASSERT_TRUE(runMainLoopUntil([&] { return delegate->finished == 2; }));
    EXPECT_EQ(delegate->started, 4);
}
