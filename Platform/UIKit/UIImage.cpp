#include <CoreGraphics/CGImageCoding.h>
#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>

namespace {

UIImageOrientation orientationFromEXIF(int exif) {
    switch (exif) {
    case 2:
        return UIImageOrientationUpMirrored;
    case 3:
        return UIImageOrientationDown;
    case 4:
        return UIImageOrientationDownMirrored;
    case 5:
        return UIImageOrientationLeftMirrored;
    case 6:
        return UIImageOrientationRight;
    case 7:
        return UIImageOrientationRightMirrored;
    case 8:
        return UIImageOrientationLeft;
    default:
        return UIImageOrientationUp;
    }
}

int exifFromOrientation(UIImageOrientation o) {
    static const int exif[] = {1, 3, 8, 6, 2, 4, 5, 7};
    return o >= 0 && o < 8 ? exif[o] : 1;
}

bool sideways(UIImageOrientation o) {
    return o == UIImageOrientationLeft || o == UIImageOrientationRight || o == UIImageOrientationLeftMirrored ||
           o == UIImageOrientationRightMirrored;
}

// Maps the bitmap onto an upright box of `size` in a y-up space.
CGAffineTransform orientationTransform(UIImageOrientation o, CGSize size) {
    CGAffineTransform t = CGAffineTransformIdentity;
    switch (o) {
    case UIImageOrientationDown:
    case UIImageOrientationDownMirrored:
        t = CGAffineTransformRotate(CGAffineTransformTranslate(t, size.width, size.height), M_PI);
        break;
    case UIImageOrientationLeft:
    case UIImageOrientationLeftMirrored:
        t = CGAffineTransformRotate(CGAffineTransformTranslate(t, size.width, 0), M_PI_2);
        break;
    case UIImageOrientationRight:
    case UIImageOrientationRightMirrored:
        t = CGAffineTransformRotate(CGAffineTransformTranslate(t, 0, size.height), -M_PI_2);
        break;
    default:
        break;
    }
    switch (o) {
    case UIImageOrientationUpMirrored:
    case UIImageOrientationDownMirrored:
        t = CGAffineTransformScale(CGAffineTransformTranslate(t, size.width, 0), -1, 1);
        break;
    case UIImageOrientationLeftMirrored:
    case UIImageOrientationRightMirrored:
        t = CGAffineTransformScale(CGAffineTransformTranslate(t, size.height, 0), -1, 1);
        break;
    default:
        break;
    }
    return t;
}

struct Store {
    std::mutex mutex;
    std::vector<std::string> folders{std::string(DX_RESOURCES_DIR), std::string(DX_RESOURCES_DIR) + "/Images"};
    std::map<std::string, Ref<UIImage>> cache;
    std::vector<std::string> notFound;
};

Store& store() {
    static Store* s = new Store;
    return *s;
}

// The scale written in a file name ("icon@2x.png" -> 2), 1 without one.
CGFloat scaleInName(const std::string& stem) {
    auto at = stem.rfind('@');
    if (at != std::string::npos && stem.size() >= at + 3 && stem.back() == 'x') {
        double s = std::atof(stem.substr(at + 1, stem.size() - at - 2).c_str());
        if (s > 0) {
            return s;
        }
    }
    return 1;
}

} // namespace

NS_IMPLEMENT_CLASS(UIImage, NSObject) {
    b.readonlyProperty("size", &UIImage::size);
    b.readonlyProperty("scale", &UIImage::scale);
    b.readonlyProperty("renderingMode", &UIImage::renderingMode);
    b.methodBlock("imageWithRenderingMode:", [](UIImage* self, long mode) {
        return self->imageWithRenderingMode(static_cast<UIImageRenderingMode>(mode));
    });
    b.classMethod("imageNamed:", [](const Ref<NSString>& name) { return UIImage::imageNamed(name); });
}

UIImage::UIImage(CGSize size, CGFloat scale, Ref<NSData> data) : size_(size), scale_(scale), data_(std::move(data)) {}

UIImage::UIImage(CGImageRef image, CGFloat scale, UIImageOrientation orientation)
    : scale_(scale > 0 && std::isfinite(scale) ? scale : 1), image_(std::move(image)), orientation_(orientation) {
    double w = image_ ? static_cast<double>(image_->width()) / scale_ : 0;
    double h = image_ ? static_cast<double>(image_->height()) / scale_ : 0;
    size_ = sideways(orientation_) ? CGSizeMake(h, w) : CGSizeMake(w, h);
}

Ref<UIImage> UIImage::imageWithCGImage(const CGImageRef& image) {
    return imageWithCGImageScaleOrientation(image, 1, UIImageOrientationUp);
}

Ref<UIImage> UIImage::imageWithCGImageScaleOrientation(const CGImageRef& image, CGFloat scale,
                                                       UIImageOrientation orientation) {
    return image ? make<UIImage>(image, scale, orientation) : nullptr;
}

Ref<UIImage> UIImage::copyWith() const {
    auto copy = image_ ? make<UIImage>(image_, scale_, orientation_) : make<UIImage>(size_, scale_, data_);
    copy->data_ = data_;
    copy->name_ = name_;
    copy->renderingMode_ = renderingMode_;
    copy->capInsets_ = capInsets_;
    copy->resizingMode_ = resizingMode_;
    return copy;
}

Ref<UIImage> UIImage::imageWithRenderingMode(UIImageRenderingMode mode) const {
    if (mode == renderingMode_) {
        return Ref<UIImage>(const_cast<UIImage*>(this));
    }
    auto copy = copyWith();
    copy->renderingMode_ = mode;
    return copy;
}

Ref<UIImage> UIImage::resizableImageWithCapInsets(UIEdgeInsets insets) const {
    return resizableImageWithCapInsetsResizingMode(insets, UIImageResizingModeTile);
}

Ref<UIImage> UIImage::resizableImageWithCapInsetsResizingMode(UIEdgeInsets insets, UIImageResizingMode mode) const {
    auto copy = copyWith();
    auto clean = [](CGFloat v) { return std::isfinite(v) && v > 0 ? v : 0.0; };
    copy->capInsets_ = {clean(insets.top), clean(insets.left), clean(insets.bottom), clean(insets.right)};
    copy->resizingMode_ = mode;
    return copy;
}

void UIImage::drawAtPoint(CGPoint point) const {
    drawAtPointBlendModeAlpha(point, kCGBlendModeNormal, 1);
}

void UIImage::drawAtPointBlendModeAlpha(CGPoint point, CGBlendMode blendMode, CGFloat alpha) const {
    drawInRectBlendModeAlpha(CGRectMake(point.x, point.y, size_.width, size_.height), blendMode, alpha);
}

void UIImage::drawInRect(CGRect rect) const {
    drawInRectBlendModeAlpha(rect, kCGBlendModeNormal, 1);
}

void UIImage::drawInRectBlendModeAlpha(CGRect rect, CGBlendMode blendMode, CGFloat alpha) const {
    auto c = UIGraphicsGetCurrentContext();
    rect = CGRectStandardize(rect);
    if (!c || !image_ || !std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) ||
        !std::isfinite(rect.size.width) || !std::isfinite(rect.size.height) || rect.size.width <= 0 ||
        rect.size.height <= 0) {
        return;
    }
    CGContextSaveGState(c);
    CGContextSetBlendMode(c, blendMode);
    CGContextSetAlpha(c, alpha);
    // A y-up space over the rectangle, as bitmaps are drawn.
    CGContextTranslateCTM(c, rect.origin.x, rect.origin.y + rect.size.height);
    CGContextScaleCTM(c, 1, -1);
    CGSize box = rect.size;
    UIEdgeInsets caps = capInsets_;
    bool nine =
        orientation_ == UIImageOrientationUp && (caps.top > 0 || caps.left > 0 || caps.bottom > 0 || caps.right > 0);
    if (!nine) {
        CGContextConcatCTM(c, orientationTransform(orientation_, box));
        CGContextDrawImage(c,
                           sideways(orientation_) ? CGRectMake(0, 0, box.height, box.width)
                                                  : CGRectMake(0, 0, box.width, box.height),
                           image_);
    } else {
        // Nine parts: the caps keep their size (shrunk together when the box is smaller), the
        // middle stretches. Source in pixels from the top, destination in the y-up box.
        double pw = static_cast<double>(image_->width()), ph = static_cast<double>(image_->height());
        double sx[4] = {0, caps.left * scale_, pw - caps.right * scale_, pw};
        double sy[4] = {0, caps.top * scale_, ph - caps.bottom * scale_, ph};
        double fx = std::min(1.0, box.width / std::max(1e-9, caps.left + caps.right));
        double fy = std::min(1.0, box.height / std::max(1e-9, caps.top + caps.bottom));
        double dx[4] = {0, caps.left * fx, box.width - caps.right * fx, box.width};
        double dy[4] = {0, caps.top * fy, box.height - caps.bottom * fy, box.height};
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                double w = sx[col + 1] - sx[col], h = sy[row + 1] - sy[row];
                double dw = dx[col + 1] - dx[col], dh = dy[row + 1] - dy[row];
                if (w <= 0 || h <= 0 || dw <= 0 || dh <= 0) {
                    continue;
                }
                auto part = CGImageCreateWithImageInRect(image_, CGRectMake(sx[col], sy[row], w, h));
                // Rows run down from the top; the box is y-up.
                CGContextDrawImage(c, CGRectMake(dx[col], box.height - dy[row + 1], dw, dh), part);
            }
        }
    }
    CGContextRestoreGState(c);
}

void UIImage::setSearchFolders(std::vector<std::string> folders) {
    auto& s = store();
    std::lock_guard lock(s.mutex);
    s.folders = std::move(folders);
    s.cache.clear();
}

Ref<UIImage> UIImage::imageNamed(const Ref<NSString>& name) {
    if (!name || name->length() == 0) {
        return nullptr;
    }
    auto& s = store();
    std::vector<std::string> folders;
    {
        std::lock_guard lock(s.mutex);
        if (auto it = s.cache.find(name->str()); it != s.cache.end()) {
            return it->second;
        }
        folders = s.folders;
    }
    namespace fs = std::filesystem;
    fs::path requested(name->str());
    std::string stem = requested.stem().string();
    std::string ext = requested.extension().string();
    if (!requested.has_extension() || (ext != ".png" && ext != ".jpg" && ext != ".jpeg" && ext != ".gif")) {
        stem = requested.filename().string();
        ext.clear();
    }
    int screenScale = static_cast<int>(std::lround(UIScreen::mainScreen()->scale()));
    std::vector<std::string> candidates;
    std::vector<std::string> exts =
        ext.empty() ? std::vector<std::string>{".png", ".jpg", ".jpeg", ".gif"} : std::vector<std::string>{ext};
    std::string dir = requested.parent_path().string();
    for (const auto& e : exts) {
        for (int sc = screenScale; sc >= 2; --sc) {
            candidates.push_back(stem + "@" + std::to_string(sc) + "x" + e);
        }
        candidates.push_back(stem + e);
        for (int sc = screenScale + 1; sc <= 3; ++sc) {
            candidates.push_back(stem + "@" + std::to_string(sc) + "x" + e);
        }
    }
    for (const auto& folder : folders) {
        for (const auto& c : candidates) {
            fs::path p = fs::path(folder) / dir / c;
            std::error_code ec;
            if (!fs::is_regular_file(p, ec)) {
                continue;
            }
            auto data = NSData::dataWithContentsOfFile(NSString::from(p.string()));
            auto image = imageWithDataScale(data, scaleInName(fs::path(c).stem().string()));
            if (image) {
                image->name_ = name;
                std::lock_guard lock(s.mutex);
                s.cache[name->str()] = image;
                return image;
            }
        }
    }
    std::lock_guard lock(s.mutex);
    if (std::find(s.notFound.begin(), s.notFound.end(), name->str()) == s.notFound.end()) {
        s.notFound.push_back(name->str());
    }
    return nullptr;
}

std::vector<std::string> UIImage::namesNotFound() {
    auto& s = store();
    std::lock_guard lock(s.mutex);
    return s.notFound;
}

void UIImage::clearNamesNotFound() {
    auto& s = store();
    std::lock_guard lock(s.mutex);
    s.notFound.clear();
}

Ref<UIImage> UIImage::imageWithContentsOfFile(const Ref<NSString>& path) {
    if (!path) {
        return nullptr;
    }
    auto data = NSData::dataWithContentsOfFile(path);
    return imageWithDataScale(data, scaleInName(std::filesystem::path(path->str()).stem().string()));
}

Ref<UIImage> UIImage::imageWithData(const Ref<NSData>& data) {
    return imageWithDataScale(data, 1);
}

Ref<UIImage> UIImage::imageWithDataScale(const Ref<NSData>& data, CGFloat scale) {
    if (!data || !(scale > 0) || !std::isfinite(scale)) {
        return nullptr;
    }
    int exif = 1;
    std::string error;
    auto image = CGImageCreateFromEncodedData(data->bytes(), data->length(), &exif, &error);
    if (!image) {
        if (CGImageFormatOfData(data->bytes(), data->length()) != CGImageFormat::Unknown) {
            NSLog("UIImage: cannot decode image data: %s", error);
        }
        return nullptr;
    }
    auto result = make<UIImage>(image, scale, orientationFromEXIF(exif));
    result->data_ = data;
    return result;
}

Ref<NSString> UIImage::description() const {
    return NSString::stringWithFormat("<UIImage: %p>, {%g, %g}", static_cast<const void*>(this), size_.width,
                                      size_.height);
}

Ref<NSData> UIImagePNGRepresentation(const Ref<UIImage>& image) {
    if (!image || !image->CGImage()) {
        return nullptr;
    }
    return CGImageCreatePNGData(image->CGImage(), exifFromOrientation(image->imageOrientation()));
}

Ref<NSData> UIImageJPEGRepresentation(const Ref<UIImage>& image, CGFloat compressionQuality) {
    if (!image || !image->CGImage()) {
        return nullptr;
    }
    return CGImageCreateJPEGData(image->CGImage(), compressionQuality, exifFromOrientation(image->imageOrientation()));
}
