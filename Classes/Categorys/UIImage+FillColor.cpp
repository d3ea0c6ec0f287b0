#include <Categorys/UIImage+FillColor.h>

#include <UIKit/UIBezierPath.h>
#include <UIKit/UIGraphics.h>

Ref<UIImage> fillImgOfSizeWithColor(CGSize size, const Ref<UIColor>& color) {
    return fillImgOfSizeWithColorCornerRadius(size, color, 0);
}

Ref<UIImage> fillImgOfSizeWithColorCornerRadius(CGSize size, const Ref<UIColor>& color, double cornerRadius) {
    UIGraphicsBeginImageContext(size);
    if (color) {
        color->setFill();
        color->setStroke();
    }
    UIBezierPath::bezierPathWithRoundedRectCornerRadius(CGRectMake(0, 0, size.width, size.height), cornerRadius)
        ->fill();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}
