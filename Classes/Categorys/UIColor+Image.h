// UIColor(Image): a one-pixel image of a colour.
#pragma once

#include <UIKit/UIColor.h>
#include <UIKit/UIImage.h>

// `-colorToImage`: an image of 1 x 1 point at scale 1 (one pixel) filled with the colour.
Ref<UIImage> colorToImage(const Ref<UIColor>& color);
