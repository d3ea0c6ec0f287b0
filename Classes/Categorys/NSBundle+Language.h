// NSBundle(Language): the in-application language switch. `setLanguage("es")` makes every text
// look-up of the application answer from the bundle's "es.lproj" folder; nil, or a language
// without a folder, goes back to the device's language. Main thread, at launch.
#pragma once

#include <Foundation/NSString.h>

// `+[NSBundle setLanguage:]`.
void setLanguage(const Ref<NSString>& language);
