#include <Categorys/UIColor+Image.h>

#include <CoreGraphics/CGContext.h>
#include <UIKit/UIGraphics.h>

Ref<UIImage> colorToImage(const Ref<UIColor>& color) {
    CGRect rect = CGRectMake(0, 0, 1, 1);
    UIGraphicsBeginImageContextWithOptions(rect.size, false, 1.0);
    auto context = UIGraphicsGetCurrentContext();
    if (context && color) {
        CGContextSetFillColorWithColor(context, color->CGColor());
        CGContextFillRect(context, rect);
    }
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}
