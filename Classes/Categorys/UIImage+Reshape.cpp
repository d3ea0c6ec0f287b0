#include <Categorys/UIImage+Reshape.h>

#include <UIKit/UIGraphics.h>

#include <cmath>

namespace {

bool sideways(UIImageOrientation o) {
    return o == UIImageOrientationLeft || o == UIImageOrientationRight || o == UIImageOrientationLeftMirrored ||
           o == UIImageOrientationRightMirrored;
}

// A bitmap layout for a copy of `image`: its own when it keeps alpha, else no alpha with a skipped
// byte; images with transparency keep it.
CGBitmapInfo layoutFor(const CGImageRef& image) {
    return image->hasAlpha() ? static_cast<CGBitmapInfo>(kCGImageAlphaPremultipliedLast)
                             : static_cast<CGBitmapInfo>(kCGImageAlphaNoneSkipLast);
}

} // namespace

Ref<UIImage> croppedImage(const Ref<UIImage>& self, CGRect bounds) {
    if (!self || !self->CGImage()) {
        return nullptr;
    }
    auto part = CGImageCreateWithImageInRect(self->CGImage(), bounds);
    return part ? UIImage::imageWithCGImage(part) : nullptr;
}

Ref<UIImage> resizedImageInterpolationQuality(const Ref<UIImage>& self, CGSize newSize,
                                              CGInterpolationQuality quality) {
    if (!self) {
        return nullptr;
    }
    // Only a bitmap lying on its side is drawn into the swapped rectangle; an upright one drawn so
    // would come out transposed.
    return resizedImageTransformDrawTransposedInterpolationQuality(
        self, newSize, transformForOrientation(self, newSize), sideways(self->imageOrientation()), quality);
}

Ref<UIImage> resizedImageWithContentModeBoundsInterpolationQuality(const Ref<UIImage>& self,
                                                                   UIViewContentMode contentMode, CGSize bounds,
                                                                   CGInterpolationQuality quality) {
    if (!self) {
        return nullptr;
    }
    CGSize size = self->size();
    double horizontal = bounds.width / size.width;
    double vertical = bounds.height / size.height;
    double ratio;
    switch (contentMode) {
    case UIViewContentModeScaleAspectFill:
        ratio = std::max(horizontal, vertical);
        break;
    case UIViewContentModeScaleAspectFit:
        ratio = std::min(horizontal, vertical);
        break;
    default:
        NSException::raise(
            NSInvalidArgumentException,
            NSString::stringWithFormat("Unsupported content mode: %d", static_cast<int>(contentMode))->str());
    }
    return resizedImageInterpolationQuality(self, CGSizeMake(size.width * ratio, size.height * ratio), quality);
}

Ref<UIImage> fixOrientation(const Ref<UIImage>& self) {
    if (!self || self->imageOrientation() == UIImageOrientationUp) {
        return self;
    }
    auto source = self->CGImage();
    if (!source) {
        return nullptr;
    }
    CGSize size = self->size();
    CGAffineTransform transform = transformForOrientation(self, size);
    auto context = CGBitmapContextCreate(nullptr, static_cast<size_t>(size.width), static_cast<size_t>(size.height),
                                         CGImageGetBitsPerComponent(source), 0, CGImageGetColorSpace(source),
                                         CGImageGetBitmapInfo(source));
    if (!context) {
        return nullptr;
    }
    CGContextConcatCTM(context, transform);
    CGContextDrawImage(context,
                       sideways(self->imageOrientation()) ? CGRectMake(0, 0, size.height, size.width)
                                                          : CGRectMake(0, 0, size.width, size.height),
                       source);
    return UIImage::imageWithCGImage(CGBitmapContextCreateImage(context));
}

Ref<UIImage> rotatedByDegrees(const Ref<UIImage>& self, double degrees) {
    if (!self) {
        return nullptr;
    }
    double angle = degrees / 180 * M_PI;
    CGSize size = self->size();
    auto box = make<UIView>(CGRectMake(0, 0, size.width, size.height));
    box->setTransform(CGAffineTransformMakeRotation(angle));
    CGSize rotated = box->frame().size;
    UIGraphicsBeginImageContext(rotated);
    auto context = UIGraphicsGetCurrentContext();
    CGContextTranslateCTM(context, rotated.width / 2, rotated.height / 2);
    CGContextRotateCTM(context, angle);
    CGContextScaleCTM(context, 1, -1);
    CGContextDrawImage(context, CGRectMake(-size.width / 2, -size.height / 2, size.width, size.height),
                       self->CGImage());
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

Ref<UIImage> resizedImageTransformDrawTransposedInterpolationQuality(const Ref<UIImage>& self, CGSize newSize,
                                                                     CGAffineTransform transform, bool transpose,
                                                                     CGInterpolationQuality quality) {
    if (!self || !self->CGImage()) {
        return nullptr;
    }
    CGRect newRect = CGRectIntegral(CGRectMake(0, 0, newSize.width, newSize.height));
    CGRect transposedRect = CGRectMake(0, 0, newRect.size.height, newRect.size.width);
    auto source = self->CGImage();
    if (!(newRect.size.width >= 1) || !(newRect.size.height >= 1)) {
        return nullptr;
    }
    auto context = CGBitmapContextCreate(nullptr, static_cast<size_t>(newRect.size.width),
                                         static_cast<size_t>(newRect.size.height), 8, 0, CGImageGetColorSpace(source),
                                         layoutFor(source));
    if (!context) {
        return nullptr;
    }
    CGContextConcatCTM(context, transform);
    CGContextSetInterpolationQuality(context, quality);
    CGContextDrawImage(context, transpose ? transposedRect : newRect, source);
    return UIImage::imageWithCGImage(CGBitmapContextCreateImage(context));
}

CGAffineTransform transformForOrientation(const Ref<UIImage>& self, CGSize newSize) {
    CGAffineTransform transform = CGAffineTransformIdentity;
    UIImageOrientation o = self ? self->imageOrientation() : UIImageOrientationUp;
    switch (o) {
    case UIImageOrientationDown:
    case UIImageOrientationDownMirrored:
        transform = CGAffineTransformTranslate(transform, newSize.width, newSize.height);
        transform = CGAffineTransformRotate(transform, M_PI);
        break;
    case UIImageOrientationLeft:
    case UIImageOrientationLeftMirrored:
        transform = CGAffineTransformTranslate(transform, newSize.width, 0);
        transform = CGAffineTransformRotate(transform, M_PI_2);
        break;
    case UIImageOrientationRight:
    case UIImageOrientationRightMirrored:
        transform = CGAffineTransformTranslate(transform, 0, newSize.height);
        transform = CGAffineTransformRotate(transform, -M_PI_2);
        break;
    default:
        break;
    }
    switch (o) {
    case UIImageOrientationUpMirrored:
    case UIImageOrientationDownMirrored:
        transform = CGAffineTransformTranslate(transform, newSize.width, 0);
        transform = CGAffineTransformScale(transform, -1, 1);
        break;
    case UIImageOrientationLeftMirrored:
    case UIImageOrientationRightMirrored:
        transform = CGAffineTransformTranslate(transform, newSize.height, 0);
        transform = CGAffineTransformScale(transform, -1, 1);
        break;
    default:
        break;
    }
    return transform;
}
