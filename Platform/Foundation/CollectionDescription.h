// The descriptions of arrays, dictionaries and sets (internal to Foundation).
//
// A collection's description shows each element's description on lines of its own, indented one
// step further than the collection's. Built as each collection's text with its elements' texts
// re-indented line by line, a document n levels deep cost n^3 characters of copying: half a
// minute for the 512 levels the JSON reader returns. Written into one string with the indent
// carried down, it costs the length of the text.
#pragma once

#include <Runtime/NSObject.h>

#include <string>

namespace foundation_detail {

// Appends the description of `object` to `out`, with `indent` after each line break within it: an
// array's, a dictionary's or a set's written element by element, any other object's (its
// `description`) re-indented.
void appendDescription(std::string& out, const id& object, std::string& indent);

} // namespace foundation_detail
