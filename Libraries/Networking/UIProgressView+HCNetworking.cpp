#include <Networking/UIProgressView+HCNetworking.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSNumber.h>

namespace {

const char kUploadAnimatedKey = 0;
const char kDownloadAnimatedKey = 0;
char kUploadContext = 0;
char kDownloadContext = 0;

// Observes one task for one progress view (the platform's view has no observer method of its own
// to override, so a small object kept on the view stands in for it).
class HCProgressViewTaskObserver : public NSObject {
    NS_OBJECT(HCProgressViewTaskObserver, NSObject)
public:
    explicit HCProgressViewTaskObserver(const Ref<UIProgressView>& view) : view_(view) {}

    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                     const Ref<NSDictionary>&, void* context) override {
        if (context != &kUploadContext && context != &kDownloadContext) {
            return;
        }
        auto task = cast<NSURLSessionTask>(object);
        if (!task) {
            return;
        }
        const std::string& key = keyPath->str();
        if (key == "countOfBytesSent" || key == "countOfBytesReceived") {
            bool sent = key == "countOfBytesSent";
            int64_t expected = sent ? task->countOfBytesExpectedToSend() : task->countOfBytesExpectedToReceive();
            if (expected <= 0) {
                return;
            }
            int64_t done = sent ? task->countOfBytesSent() : task->countOfBytesReceived();
            float progress = static_cast<float>(done) / static_cast<float>(expected);
            Weak<UIProgressView> view = view_;
            dispatch_async(dispatch_get_main_queue(), [view, progress, sent] {
                if (auto v = view.lock()) {
                    v->setProgressAnimated(progress,
                                           sent ? hc_uploadProgressAnimated(v) : hc_downloadProgressAnimated(v));
                }
            });
        } else if (key == "state" && task->state() == NSURLSessionTaskStateCompleted) {
            try {
                task->removeObserverForKeyPathContext(this, "state"_ns, context);
                task->removeObserverForKeyPathContext(
                    this, context == &kUploadContext ? "countOfBytesSent"_ns : "countOfBytesReceived"_ns, context);
            } catch (const NSException&) {
                // already removed
            }
        }
    }

private:
    Weak<UIProgressView> view_;
};

NS_IMPLEMENT_CLASS(HCProgressViewTaskObserver, NSObject) {}

const char kUploadObserverKey = 0;
const char kDownloadObserverKey = 0;

void followTask(const Ref<UIProgressView>& self, const Ref<NSURLSessionTask>& task, bool animated, bool upload) {
    if (!task) {
        return;
    }
    upload ? hc_setUploadProgressAnimated(self, animated) : hc_setDownloadProgressAnimated(self, animated);
    // One observer object per direction, kept on the view for as long as the view lives.
    const void* key = upload ? &kUploadObserverKey : &kDownloadObserverKey;
    auto observer = cast<HCProgressViewTaskObserver>(self->associatedObject(key));
    if (!observer) {
        observer = make<HCProgressViewTaskObserver>(self);
        self->setAssociatedObject(key, observer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    void* context = upload ? &kUploadContext : &kDownloadContext;
    task->addObserverForKeyPathOptionsContext(observer.get(), "state"_ns, 0, context);
    task->addObserverForKeyPathOptionsContext(observer.get(),
                                              upload ? "countOfBytesSent"_ns : "countOfBytesReceived"_ns, 0, context);
}

void followOperation(const Ref<UIProgressView>& self, const Ref<HCURLConnectionOperation>& operation, bool animated,
                     bool upload) {
    if (!operation) {
        return;
    }
    Weak<UIProgressView> view(self);
    HCProgressBlock block = [view, animated](NSUInteger, long long total, long long expected) {
        if (expected <= 0) {
            return;
        }
        float progress = static_cast<float>(total) / static_cast<float>(expected);
        dispatch_async(dispatch_get_main_queue(), [view, progress, animated] {
            if (auto v = view.lock()) {
                v->setProgressAnimated(progress, animated);
            }
        });
    };
    upload ? operation->setUploadProgressBlock(std::move(block))
           : operation->setDownloadProgressBlock(std::move(block));
}

} // namespace

void setProgressWithUploadProgressOfTaskAnimated(const Ref<UIProgressView>& self, const Ref<NSURLSessionTask>& task,
                                                 bool animated) {
    followTask(self, task, animated, true);
}

void setProgressWithDownloadProgressOfTaskAnimated(const Ref<UIProgressView>& self, const Ref<NSURLSessionTask>& task,
                                                   bool animated) {
    followTask(self, task, animated, false);
}

void setProgressWithUploadProgressOfOperationAnimated(const Ref<UIProgressView>& self,
                                                      const Ref<HCURLConnectionOperation>& operation, bool animated) {
    followOperation(self, operation, animated, true);
}

void setProgressWithDownloadProgressOfOperationAnimated(const Ref<UIProgressView>& self,
                                                        const Ref<HCURLConnectionOperation>& operation, bool animated) {
    followOperation(self, operation, animated, false);
}

bool hc_uploadProgressAnimated(const Ref<UIProgressView>& self) {
    auto n = cast<NSNumber>(self->associatedObject(&kUploadAnimatedKey));
    return n && n->boolValue();
}

void hc_setUploadProgressAnimated(const Ref<UIProgressView>& self, bool animated) {
    self->setAssociatedObject(&kUploadAnimatedKey, NSNumber::numberWithBool(animated),
                              OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

bool hc_downloadProgressAnimated(const Ref<UIProgressView>& self) {
    auto n = cast<NSNumber>(self->associatedObject(&kDownloadAnimatedKey));
    return n && n->boolValue();
}

void hc_setDownloadProgressAnimated(const Ref<UIProgressView>& self, bool animated) {
    self->setAssociatedObject(&kDownloadAnimatedKey, NSNumber::numberWithBool(animated),
                              OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}
