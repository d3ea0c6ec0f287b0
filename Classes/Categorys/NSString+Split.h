// NSString(Split): the text between two markers.
#pragma once

#include <Foundation/NSString.h>

// `-stringSplitWithBegin:end:`: the text between the first occurrence of `begin` (exact) and the
// first occurrence of `end` (any case) that starts at or after the begin match. nil when the text or
// a marker is nil or empty, when a marker is not found, or when the first end match overlaps the
// begin match (the text between them would end before it starts).
Ref<NSString> stringSplitWithBeginEnd(const Ref<NSString>& text, const Ref<NSString>& begin, const Ref<NSString>& end);
