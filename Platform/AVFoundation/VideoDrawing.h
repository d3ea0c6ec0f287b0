// Drawing a video frame into a layer's context: what the preview layer and the player layer share
// (the black ground, the size a frame takes under a video gravity, the scaled and centred paint).
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Device/SimCamera.h>
#include <Foundation/NSString.h>

#include <cairo.h>

namespace av_video {

// Fills `bounds` black, as a video layer shows before and between frames.
void fillBlack(cairo_t* cr, CGRect bounds);

// The size a frame of `frameWidth` x `frameHeight` takes in `bounds` under `gravity` (resize: the
// bounds; aspect: fits inside; aspect fill: covers them).
CGSize drawnSize(const Ref<NSString>& gravity, CGRect bounds, double frameWidth, double frameHeight);

// Paints `frame` scaled to `size`, centred in `bounds` and clipped to them.
void paintFrame(cairo_t* cr, CGRect bounds, const SimFrame& frame, CGSize size);

} // namespace av_video
