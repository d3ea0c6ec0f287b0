// UIImage: an immutable picture: a bitmap (CGImage) with a scale and an orientation, its size in
// points being the bitmap's pixel size over the scale, turned by the orientation. Images come from
// the bundle by name (with the @2x/@3x variants the platform picks by screen scale), from a file,
// from PNG or JPEG data (decoded at once; the EXIF orientation becomes the image's orientation;
// truncated or corrupt data gives nil), from a bitmap, or from an image context.
//
// Drawing (drawInRect: and friends) goes to the current UIKit context (UIGraphics.h), upright in its
// y-down space, with the orientation applied; a resizable image stretches its middle and keeps its
// caps.
#pragma once

#include <CoreGraphics/CGContext.h>
#include <Foundation/NSData.h>
#include <UIKit/UIGeometry.h>

#include <string>
#include <vector>

enum UIImageOrientation : NSInteger {
    UIImageOrientationUp = 0,
    UIImageOrientationDown = 1,
    UIImageOrientationLeft = 2,
    UIImageOrientationRight = 3,
    UIImageOrientationUpMirrored = 4,
    UIImageOrientationDownMirrored = 5,
    UIImageOrientationLeftMirrored = 6,
    UIImageOrientationRightMirrored = 7,
};

enum UIImageResizingMode : NSInteger {
    UIImageResizingModeTile = 0,
    UIImageResizingModeStretch = 1,
};

enum UIImageRenderingMode : NSInteger {
    UIImageRenderingModeAutomatic = 0,
    UIImageRenderingModeAlwaysOriginal = 1,
    // Drawn in the tint colour of the view that shows it.
    UIImageRenderingModeAlwaysTemplate = 2,
};

class UIImage : public NSObject {
    NS_OBJECT(UIImage, NSObject)
public:
    UIImage() = default;
    // An image of the given size in points without pixels (drawing it draws nothing).
    UIImage(CGSize size, CGFloat scale, Ref<NSData> data = nullptr);
    UIImage(CGImageRef image, CGFloat scale, UIImageOrientation orientation);

    static Ref<UIImage> imageWithCGImage(const CGImageRef& image);
    static Ref<UIImage> imageWithCGImageScaleOrientation(const CGImageRef& image, CGFloat scale,
                                                         UIImageOrientation orientation);

    // The image of that name in the main bundle's resources, or nil. A name without extension
    // finds "name.png", "name@<scale>x.png", "name.jpg"; images are cached by name.
    static Ref<UIImage> imageNamed(const Ref<NSString>& name);
    static Ref<UIImage> imageWithContentsOfFile(const Ref<NSString>& path);
    // nil when the data is not a whole PNG or JPEG image.
    static Ref<UIImage> imageWithData(const Ref<NSData>& data);
    static Ref<UIImage> imageWithDataScale(const Ref<NSData>& data, CGFloat scale);
    // The folders searched by imageNamed, in order; the resources folder by default.
    static void setSearchFolders(std::vector<std::string> folders);
    // The names imageNamed found no image for (a missing file, or one that does not decode), each
    // once, in the order first asked, since the start or the last clear. A screen that asks for
    // such a name shows nothing where its picture should be; the road reports them.
    static std::vector<std::string> namesNotFound();
    static void clearNamesNotFound();

    CGSize size() const noexcept { return size_; }
    CGFloat scale() const noexcept { return scale_; }
    // The bitmap; nil for an image made without pixels.
    CGImageRef CGImage() const { return image_; }
    UIImageOrientation imageOrientation() const noexcept { return orientation_; }
    UIEdgeInsets capInsets() const noexcept { return capInsets_; }
    UIImageResizingMode resizingMode() const noexcept { return resizingMode_; }
    // The same bitmap with caps that keep their size when drawn larger (in points).
    Ref<UIImage> resizableImageWithCapInsets(UIEdgeInsets insets) const;
    Ref<UIImage> resizableImageWithCapInsetsResizingMode(UIEdgeInsets insets, UIImageResizingMode mode) const;

    // Drawing into the current context.
    void drawAtPoint(CGPoint point) const;
    void drawAtPointBlendModeAlpha(CGPoint point, CGBlendMode blendMode, CGFloat alpha) const;
    void drawInRect(CGRect rect) const;
    void drawInRectBlendModeAlpha(CGRect rect, CGBlendMode blendMode, CGFloat alpha) const;
    // The encoded bytes the image was made from (nil for drawn images).
    Ref<NSData> data() const { return data_; }
    // The name it was loaded by, nil otherwise.
    Ref<NSString> name() const { return name_; }
    UIImageRenderingMode renderingMode() const noexcept { return renderingMode_; }
    // The same picture drawn in another rendering mode (this image when the mode is its own).
    Ref<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const;

    Ref<NSString> description() const override;

private:
    Ref<UIImage> copyWith() const;
    CGSize size_{};
    CGFloat scale_ = 1;
    CGImageRef image_;
    UIImageOrientation orientation_ = UIImageOrientationUp;
    UIEdgeInsets capInsets_{};
    UIImageResizingMode resizingMode_ = UIImageResizingModeStretch;
    Ref<NSData> data_;
    Ref<NSString> name_;
    UIImageRenderingMode renderingMode_ = UIImageRenderingModeAutomatic;
};

// The image encoded as PNG or JPEG (quality 0 to 1), its orientation kept in EXIF; nil for nil or an
// image without pixels.
Ref<NSData> UIImagePNGRepresentation(const Ref<UIImage>& image);
Ref<NSData> UIImageJPEGRepresentation(const Ref<UIImage>& image, CGFloat compressionQuality);
