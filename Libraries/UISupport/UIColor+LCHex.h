// Colours from CSS-style hexadecimal text and from packed 0xAARRGGBB numbers, and back.
//
// Text is hexadecimal digits, optionally after one "#": 3 digits RGB and 4 digits ARGB (each digit
// doubled), 6 digits RRGGBB and 8 digits AARRGGBB. The alpha comes first in the 4- and 8-digit
// forms (not last, as in CSS). 5 or 7 digits get a "0" in front; 0 to 2 digits are padded to 3
// with "0"; more than 8 are read by their last 8. Every text gives a colour: the empty text is
// black, and a channel whose two characters start with no hexadecimal digit reads as 0.
#pragma once

#include <UIKit/UIColor.h>

#include <cstdint>

// `+[UIColor colorWithCSS:]`.
Ref<UIColor> colorWithCSS(const Ref<NSString>& css);
// `+[UIColor colorWithHex:]`: 0xAARRGGBB; a number with nothing above bit 23 is opaque.
Ref<UIColor> colorWithHex(uint64_t hex);
// `-[UIColor hex]`: the packed 0xAARRGGBB; components outside 0...1 are clamped, so no channel
// spills into another.
uint32_t hex(const Ref<UIColor>& color);
// "0x%08x" of hex.
Ref<NSString> hexString(const Ref<UIColor>& color);
// "#%08x" of hex when not opaque, else "#%06x" of the colour bytes.
Ref<NSString> cssString(const Ref<UIColor>& color);
