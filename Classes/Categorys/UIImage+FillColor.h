// Solid-colour images of a given size, with square or rounded corners (UIImage(FillColor)).
#pragma once

#include <UIKit/UIColor.h>
#include <UIKit/UIImage.h>

// `+fillImgOfSize:withColor:`: square corners.
Ref<UIImage> fillImgOfSizeWithColor(CGSize size, const Ref<UIColor>& color);
// `+fillImgOfSize:withColor:cornerRadius:`: an image of scale 1, transparent outside the rounded
// rectangle; nil for a size the image context refuses.
Ref<UIImage> fillImgOfSizeWithColorCornerRadius(CGSize size, const Ref<UIColor>& color, double cornerRadius);
