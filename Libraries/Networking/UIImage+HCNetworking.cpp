#include <Networking/UIImage+HCNetworking.h>

#include <mutex>

Ref<UIImage> hc_safeImageWithData(const Ref<NSData>& data) {
    static std::mutex lock;
    std::lock_guard guard(lock);
    return UIImage::imageWithData(data);
}
