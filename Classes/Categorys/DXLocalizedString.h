// Texts of the application's string tables, and the safe way to put values into them.
//
// A text from a table is data, never a format: a translation may hold any "%" sequence. So values
// go in through DXLocalizedStringWithArguments, which fills the platform's placeholders ("%@",
// "%d", "%ld", "%lu", "%f", positional "%1$@", ...) from typed arguments only: a placeholder without
// a matching argument, or of another kind, is written as a placeholder mark, never read as memory.
#pragma once

#include <Foundation/NSString.h>

#include <vector>

// The text of `key` in the main bundle's tables, looked up with an empty default (the key itself
// when the tables lack it).
Ref<NSString> DXLocalizedString(const Ref<NSString>& key);
Ref<NSString> DXLocalizedString(const char* key);

// The text of `key` with the arguments put into its placeholders.
Ref<NSString> DXLocalizedStringWithArguments(const Ref<NSString>& key, const std::vector<NSFormatArgument>& arguments);
