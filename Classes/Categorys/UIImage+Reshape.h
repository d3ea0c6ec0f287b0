// Cropping, scaling, turning upright and rotating images (UIImage(Reshape)). The results are images
// of scale 1 and upright orientation made from new bitmaps; transparency is kept.
#pragma once

#include <UIKit/UIImage.h>
#include <UIKit/UIView.h>

// `croppedImage:`: the part of the bitmap inside `bounds` (in the bitmap's pixels); nil when the
// rectangle does not meet the bitmap.
Ref<UIImage> croppedImage(const Ref<UIImage>& self, CGRect bounds);
// `resizedImage:interpolationQuality:`: the image drawn upright into a bitmap of `newSize`.
Ref<UIImage> resizedImageInterpolationQuality(const Ref<UIImage>& self, CGSize newSize, CGInterpolationQuality quality);
// `resizedImageWithContentMode:bounds:interpolationQuality:`: scaled to fit (ScaleAspectFit) or to
// fill (ScaleAspectFill) `bounds` with the aspect kept. Any other mode raises
// NSInvalidArgumentException ("Unsupported content mode: %d").
Ref<UIImage> resizedImageWithContentModeBoundsInterpolationQuality(const Ref<UIImage>& self,
                                                                   UIViewContentMode contentMode, CGSize bounds,
                                                                   CGInterpolationQuality quality);
// `fixOrientation`: an upright copy; an upright image is returned itself.
Ref<UIImage> fixOrientation(const Ref<UIImage>& self);
// `rotatedByDegrees:`: the image turned about its centre, in a box that holds all of it.
Ref<UIImage> rotatedByDegrees(const Ref<UIImage>& self, double degrees);
// `resizedImage:transform:drawTransposed:interpolationQuality:`: the bitmap drawn through
// `transform` into a new bitmap of `newSize` (its width and height swapped for the drawing when
// `transpose`). nil when no bitmap context can be made.
Ref<UIImage> resizedImageTransformDrawTransposedInterpolationQuality(const Ref<UIImage>& self, CGSize newSize,
                                                                     CGAffineTransform transform, bool transpose,
                                                                     CGInterpolationQuality quality);
// `transformForOrientation:`: maps a bitmap of the image's orientation onto an upright canvas of
// `newSize`.
CGAffineTransform transformForOrientation(const Ref<UIImage>& self, CGSize newSize);
