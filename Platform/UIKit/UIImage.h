// UIImage: an immutable picture with a size in points and a scale. Images come from the bundle by
// name (with the @2x/@3x variants the platform picks by screen scale), from a file or from encoded
// data (PNG, JPEG or GIF: the size is read from the header; pixels are decoded by the drawing layer
// when something draws them).
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSData.h>

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
    // An image of the given size in points (for images made by drawing code).
    UIImage(CGSize size, CGFloat scale, Ref<NSData> data = nullptr);

    // The image of that name in the main bundle's resources, or nil. A name without extension
    // finds "name.png", "name@<scale>x.png", "name.jpg"; images are cached by name.
    static Ref<UIImage> imageNamed(const Ref<NSString>& name);
    static Ref<UIImage> imageWithContentsOfFile(const Ref<NSString>& path);
    // nil when the data is not a PNG, JPEG or GIF image.
    static Ref<UIImage> imageWithData(const Ref<NSData>& data);
    static Ref<UIImage> imageWithDataScale(const Ref<NSData>& data, CGFloat scale);
    // The folders searched by imageNamed, in order; the resources folder by default.
    static void setSearchFolders(std::vector<std::string> folders);

    CGSize size() const noexcept { return size_; }
    CGFloat scale() const noexcept { return scale_; }
    // The encoded bytes the image was made from (nil for drawn images).
    Ref<NSData> data() const { return data_; }
    // The name it was loaded by, nil otherwise.
    Ref<NSString> name() const { return name_; }
    UIImageRenderingMode renderingMode() const noexcept { return renderingMode_; }
    // The same picture drawn in another rendering mode (this image when the mode is its own).
    Ref<UIImage> imageWithRenderingMode(UIImageRenderingMode mode) const;

    Ref<NSString> description() const override;

private:
    CGSize size_{};
    CGFloat scale_ = 1;
    Ref<NSData> data_;
    Ref<NSString> name_;
    UIImageRenderingMode renderingMode_ = UIImageRenderingModeAutomatic;
};

// The encoded bytes of an image: its own data when it was made from that format, else nil.
Ref<NSData> UIImagePNGRepresentation(const Ref<UIImage>& image);
Ref<NSData> UIImageJPEGRepresentation(const Ref<UIImage>& image, CGFloat compressionQuality);
