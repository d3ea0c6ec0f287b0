// Key-path string utilities: walking a dotted key path one component at a time. Category methods
// of NSString, as free functions taking the string first.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSString.h>

// The components of the key path (split at "."); nil for an empty or nil string.
Ref<NSArray> rx_keyPathComponents(const Ref<NSString>& keyPath);
// The key path without its last component ("a.b" for "a.b.c"); nil for a single component.
Ref<NSString> rx_keyPathByDeletingLastKeyPathComponent(const Ref<NSString>& keyPath);
// The key path without its first component ("b.c" for "a.b.c"); nil for a single component.
Ref<NSString> rx_keyPathByDeletingFirstKeyPathComponent(const Ref<NSString>& keyPath);
