#include <Networking/UIImageView+HCNetworking.h>

#include <Foundation/NSNotificationCenter.h>
#include <UIKit/UIApplication.h>

#include <mutex>

NS_IMPLEMENT_CLASS(HCImageCache, NSCache) {}

Ref<UIImage> HCImageCache::cachedImageForRequest(const Ref<NSURLRequest>& request) {
    if (!request || !request->URL()) {
        return nullptr;
    }
    switch (request->cachePolicy()) {
    case NSURLRequestReloadIgnoringLocalCacheData:
    case NSURLRequestReloadIgnoringLocalAndRemoteCacheData:
        return nullptr; // the request asks for a fresh copy
    default:
        break;
    }
    return cast<UIImage>(objectForKey(request->URL()->absoluteString()));
}

void HCImageCache::cacheImageForRequest(const Ref<UIImage>& image, const Ref<NSURLRequest>& request) {
    if (image && request && request->URL()) {
        setObjectForKey(image, request->URL()->absoluteString());
    }
}

namespace {

// Process-wide objects, made on first use and kept for the process.
struct Shared {
    std::mutex lock;
    Ref<NSOperationQueue> imageViewQueue;
    Ref<NSOperationQueue> buttonQueue;
    Ref<HCImageCache> defaultCache;
    Ref<HCImageCache> imageViewCache; // set with setSharedImageCache
    Ref<HCImageCache> buttonCache;
    Ref<HCImageResponseSerializer> imageViewSerializer;
    Ref<HCImageResponseSerializer> buttonSerializer;
};

Shared& shared() {
    static auto* s = new Shared;
    return *s;
}

Ref<HCImageCache> defaultCache() {
    auto& s = shared();
    std::lock_guard lock(s.lock);
    if (!s.defaultCache) {
        s.defaultCache = make<HCImageCache>();
        Ref<HCImageCache> cache = s.defaultCache;
        NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
            UIApplicationDidReceiveMemoryWarningNotification(), nullptr, NSOperationQueue::mainQueue(),
            [cache](const Ref<NSNotification>&) { cache->removeAllObjects(); });
    }
    return s.defaultCache;
}

const char kImageOperationKey = 0;
const char kSerializerKey = 0;
// One slot per state kind (normal, highlighted, disabled, selected), for images and backgrounds.
const char kButtonImageKeys[4] = {};
const char kButtonBackgroundKeys[4] = {};

const void* stateKey(const char (&keys)[4], UIControlState state) {
    switch (state) {
    case UIControlStateHighlighted:
        return &keys[1];
    case UIControlStateDisabled:
        return &keys[2];
    case UIControlStateSelected:
        return &keys[3];
    default:
        return &keys[0];
    }
}

bool sameURL(const Ref<NSURLRequest>& a, const Ref<NSURLRequest>& b) {
    return a && b && NSObjectsEqual(a->URL(), b->URL());
}

Ref<NSMutableURLRequest> imageRequest(const Ref<NSURL>& url) {
    auto request = make<NSMutableURLRequest>(url);
    request->addValueForHTTPHeaderField("image/*"_ns, "Accept"_ns);
    return request;
}

} // namespace

// MARK: - Image views

Ref<NSOperationQueue> hc_sharedImageRequestOperationQueueForImageViews() {
    auto& s = shared();
    std::lock_guard lock(s.lock);
    if (!s.imageViewQueue) {
        s.imageViewQueue = make<NSOperationQueue>();
    }
    return s.imageViewQueue;
}

Ref<HCImageCache> sharedImageCacheForImageViews() {
    {
        auto& s = shared();
        std::lock_guard lock(s.lock);
        if (s.imageViewCache) {
            return s.imageViewCache;
        }
    }
    return defaultCache();
}

void setSharedImageCacheForImageViews(const Ref<HCImageCache>& cache) {
    auto& s = shared();
    std::lock_guard lock(s.lock);
    s.imageViewCache = cache;
}

Ref<HCImageResponseSerializer> imageResponseSerializer(const Ref<UIImageView>& self) {
    if (auto own = cast<HCImageResponseSerializer>(self->associatedObject(&kSerializerKey))) {
        return own;
    }
    auto& s = shared();
    std::lock_guard lock(s.lock);
    if (!s.imageViewSerializer) {
        s.imageViewSerializer = HCImageResponseSerializer::serializer();
    }
    return s.imageViewSerializer;
}

void setImageResponseSerializer(const Ref<UIImageView>& self, const Ref<HCImageResponseSerializer>& serializer) {
    self->setAssociatedObject(&kSerializerKey, serializer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<HCHTTPRequestOperation> hc_imageRequestOperation(const Ref<UIImageView>& self) {
    return cast<HCHTTPRequestOperation>(self->associatedObject(&kImageOperationKey));
}

void hc_setImageRequestOperation(const Ref<UIImageView>& self, const Ref<HCHTTPRequestOperation>& operation) {
    self->setAssociatedObject(&kImageOperationKey, operation, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

void setImageWithURL(const Ref<UIImageView>& self, const Ref<NSURL>& url) {
    setImageWithURLPlaceholderImage(self, url, nullptr);
}

void setImageWithURLPlaceholderImage(const Ref<UIImageView>& self, const Ref<NSURL>& url,
                                     const Ref<UIImage>& placeholder) {
    setImageWithURLRequestPlaceholderImageSuccessFailure(self, imageRequest(url), placeholder, nullptr, nullptr);
}

void cancelImageRequestOperation(const Ref<UIImageView>& self) {
    if (auto operation = hc_imageRequestOperation(self)) {
        operation->cancel();
    }
    hc_setImageRequestOperation(self, nullptr);
}

void setImageWithURLRequestPlaceholderImageSuccessFailure(const Ref<UIImageView>& self,
                                                          const Ref<NSURLRequest>& request,
                                                          const Ref<UIImage>& placeholder, HCImageSuccess success,
                                                          HCImageFailure failure) {
    cancelImageRequestOperation(self);
    if (auto cached = sharedImageCacheForImageViews()->cachedImageForRequest(request)) {
        if (success) {
            success(request, nullptr, cached);
        } else {
            self->setImage(cached);
        }
        hc_setImageRequestOperation(self, nullptr);
        return;
    }
    if (placeholder) {
        self->setImage(placeholder);
    }
    auto operation = make<HCHTTPRequestOperation>(request);
    hc_setImageRequestOperation(self, operation);
    operation->setResponseSerializer(imageResponseSerializer(self));
    Weak<UIImageView> view(self);
    operation->setCompletionBlockWithSuccessFailure(
        [view, request, success](HCHTTPRequestOperation* op, const id& responseObject) {
            auto image = cast<UIImage>(responseObject);
            if (auto v = view.lock()) {
                auto current = hc_imageRequestOperation(v);
                if (current && sameURL(request, current->request())) {
                    if (success) {
                        success(request, op->response(), image);
                    } else if (image) {
                        v->setImage(image);
                    }
                }
                if (current.get() == op) {
                    hc_setImageRequestOperation(v, nullptr);
                }
            }
            sharedImageCacheForImageViews()->cacheImageForRequest(image, request);
        },
        [view, request, failure](HCHTTPRequestOperation* op, const Ref<NSError>& error) {
            auto v = view.lock();
            if (!v) {
                return;
            }
            auto current = hc_imageRequestOperation(v);
            if (current && sameURL(request, current->request())) {
                if (failure) {
                    failure(request, op->response(), error);
                }
            }
            if (current.get() == op) {
                hc_setImageRequestOperation(v, nullptr);
            }
        });
    hc_sharedImageRequestOperationQueueForImageViews()->addOperation(operation);
}

// MARK: - Buttons

Ref<NSOperationQueue> hc_sharedImageRequestOperationQueueForButtons() {
    auto& s = shared();
    std::lock_guard lock(s.lock);
    if (!s.buttonQueue) {
        s.buttonQueue = make<NSOperationQueue>();
    }
    return s.buttonQueue;
}

Ref<HCImageCache> sharedImageCacheForButtons() {
    {
        auto& s = shared();
        std::lock_guard lock(s.lock);
        if (s.buttonCache) {
            return s.buttonCache;
        }
    }
    return sharedImageCacheForImageViews();
}

void setSharedImageCacheForButtons(const Ref<HCImageCache>& cache) {
    auto& s = shared();
    std::lock_guard lock(s.lock);
    s.buttonCache = cache;
}

Ref<HCImageResponseSerializer> imageResponseSerializer(const Ref<UIButton>& self) {
    if (auto own = cast<HCImageResponseSerializer>(self->associatedObject(&kSerializerKey))) {
        return own;
    }
    auto& s = shared();
    std::lock_guard lock(s.lock);
    if (!s.buttonSerializer) {
        s.buttonSerializer = HCImageResponseSerializer::serializer();
    }
    return s.buttonSerializer;
}

void setImageResponseSerializer(const Ref<UIButton>& self, const Ref<HCImageResponseSerializer>& serializer) {
    self->setAssociatedObject(&kSerializerKey, serializer, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<HCHTTPRequestOperation> hc_imageRequestOperationForState(const Ref<UIButton>& self, UIControlState state) {
    return cast<HCHTTPRequestOperation>(self->associatedObject(stateKey(kButtonImageKeys, state)));
}

void hc_setImageRequestOperationForState(const Ref<UIButton>& self, const Ref<HCHTTPRequestOperation>& operation,
                                         UIControlState state) {
    self->setAssociatedObject(stateKey(kButtonImageKeys, state), operation, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<HCHTTPRequestOperation> hc_backgroundImageRequestOperationForState(const Ref<UIButton>& self,
                                                                       UIControlState state) {
    return cast<HCHTTPRequestOperation>(self->associatedObject(stateKey(kButtonBackgroundKeys, state)));
}

void hc_setBackgroundImageRequestOperationForState(const Ref<UIButton>& self,
                                                   const Ref<HCHTTPRequestOperation>& operation, UIControlState state) {
    self->setAssociatedObject(stateKey(kButtonBackgroundKeys, state), operation, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

void cancelImageRequestOperationForState(const Ref<UIButton>& self, UIControlState state) {
    if (auto operation = hc_imageRequestOperationForState(self, state)) {
        operation->cancel();
    }
    hc_setImageRequestOperationForState(self, nullptr, state);
}

void cancelBackgroundImageRequestOperationForState(const Ref<UIButton>& self, UIControlState state) {
    if (auto operation = hc_backgroundImageRequestOperationForState(self, state)) {
        operation->cancel();
    }
    hc_setBackgroundImageRequestOperationForState(self, nullptr, state);
}

namespace {

// One button load; `background` picks the background image and its operation slots.
void loadButtonImage(const Ref<UIButton>& self, UIControlState state, const Ref<NSURLRequest>& request,
                     const Ref<UIImage>& placeholder, HCImageSuccess success, HCButtonImageFailure failure,
                     bool background) {
    auto setOperation =
        background ? hc_setBackgroundImageRequestOperationForState : hc_setImageRequestOperationForState;
    auto getOperation = background ? hc_backgroundImageRequestOperationForState : hc_imageRequestOperationForState;
    auto setImage = [background](UIButton* button, const Ref<UIImage>& image, UIControlState s) {
        background ? button->setBackgroundImageForState(image, s) : button->setImageForState(image, s);
    };
    background ? cancelBackgroundImageRequestOperationForState(self, state)
               : cancelImageRequestOperationForState(self, state);
    if (auto cached = sharedImageCacheForButtons()->cachedImageForRequest(request)) {
        if (success) {
            success(request, nullptr, cached);
        } else {
            setImage(self.get(), cached, state);
        }
        setOperation(self, nullptr, state);
        return;
    }
    if (placeholder) {
        setImage(self.get(), placeholder, state);
    }
    auto operation = make<HCHTTPRequestOperation>(request);
    operation->setResponseSerializer(imageResponseSerializer(self));
    Weak<UIButton> button(self);
    // A load superseded by a newer one for the same state (which cancelled it) reports nothing.
    operation->setCompletionBlockWithSuccessFailure(
        [button, request, state, success, setImage, getOperation](HCHTTPRequestOperation* op, const id& object) {
            auto image = cast<UIImage>(object);
            auto b = button.lock();
            if (b && getOperation(b, state).get() == op && sameURL(request, op->request())) {
                if (success) {
                    success(op->request(), op->response(), image);
                } else if (image) {
                    setImage(b.get(), image, state);
                }
            }
            sharedImageCacheForButtons()->cacheImageForRequest(image, request);
        },
        [button, request, state, failure, getOperation](HCHTTPRequestOperation* op, const Ref<NSError>& error) {
            auto b = button.lock();
            if (b && getOperation(b, state).get() == op && sameURL(request, op->request()) && failure) {
                failure(error);
            }
        });
    setOperation(self, operation, state);
    hc_sharedImageRequestOperationQueueForButtons()->addOperation(operation);
}

} // namespace

void setImageForStateWithURL(const Ref<UIButton>& self, UIControlState state, const Ref<NSURL>& url) {
    setImageForStateWithURLPlaceholderImage(self, state, url, nullptr);
}

void setImageForStateWithURLPlaceholderImage(const Ref<UIButton>& self, UIControlState state, const Ref<NSURL>& url,
                                             const Ref<UIImage>& placeholder) {
    loadButtonImage(self, state, imageRequest(url), placeholder, nullptr, nullptr, false);
}

void setImageForStateWithURLRequestPlaceholderImageSuccessFailure(const Ref<UIButton>& self, UIControlState state,
                                                                  const Ref<NSURLRequest>& request,
                                                                  const Ref<UIImage>& placeholder,
                                                                  HCImageSuccess success,
                                                                  HCButtonImageFailure failure) {
    loadButtonImage(self, state, request, placeholder, std::move(success), std::move(failure), false);
}

void setBackgroundImageForStateWithURL(const Ref<UIButton>& self, UIControlState state, const Ref<NSURL>& url) {
    setBackgroundImageForStateWithURLPlaceholderImage(self, state, url, nullptr);
}

void setBackgroundImageForStateWithURLPlaceholderImage(const Ref<UIButton>& self, UIControlState state,
                                                       const Ref<NSURL>& url, const Ref<UIImage>& placeholder) {
    loadButtonImage(self, state, imageRequest(url), placeholder, nullptr, nullptr, true);
}

void setBackgroundImageForStateWithURLRequestPlaceholderImageSuccessFailure(
    const Ref<UIButton>& self, UIControlState state, const Ref<NSURLRequest>& request, const Ref<UIImage>& placeholder,
    HCImageSuccess success, HCButtonImageFailure failure) {
    loadButtonImage(self, state, request, placeholder, std::move(success), std::move(failure), true);
}
