// The shape of a binary property list, checked before libplist reads it (internal to Foundation).
//
// libplist's binary reader builds its tree by recursion, one level of the C stack per level of
// nesting, so a list of a hundred thousand arrays each holding the next overflows the stack
// (about 87,000 levels on an 8 MB stack, far fewer on a thread's smaller one). It also copies an
// object wherever it is referenced, so a few hundred bytes of arrays that each hold the next one
// twice unfold into billions of values. Both are found here without recursion and without building
// anything, in time and memory proportional to the list's own objects and references.
#pragma once

#include <cstddef>
#include <string>

namespace foundation_detail {

// False, with the reason in `reason`, when the arrays, sets and dictionaries of the binary
// property list in `bytes` nest more than `depthLimit` deep, when a container holds itself
// (directly or further down), or when the tree libplist would build from it has more than
// `valueLimit` values. True otherwise, also for damage it cannot follow (a short file, a reference
// past the object table): the reader refuses that itself, and nothing was followed through it.
bool binaryPropertyListShapeIsSound(const char* bytes, size_t length, size_t depthLimit, size_t valueLimit,
                                    std::string& reason);

} // namespace foundation_detail
