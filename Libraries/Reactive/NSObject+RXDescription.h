// rx_description: the short description of an object that signal names use. Values and strings
// answer their description; other objects "<Class: address>" (a tuple: its elements) while debug
// names are on (RXStream::debugSignalNamesEnabled), else "(description skipped)".
#pragma once

#include <Foundation/NSString.h>

Ref<NSString> rx_description(const id& object);
