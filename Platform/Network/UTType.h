// Uniform type look-up: from a file name extension to a type identifier, and from the identifier to
// its preferred MIME type. The table is the system's /etc/mime.types, read once.
#pragma once

#include <Foundation/NSString.h>

const Ref<NSString>& kUTTagClassFilenameExtension();
const Ref<NSString>& kUTTagClassMIMEType();

// The identifier of the type that a tag of the class names ("public.mime-type.image/png" style for
// known types, a dynamic "dyn." identifier otherwise); `conformingToUTI` is not consulted.
Ref<NSString> UTTypeCreatePreferredIdentifierForTag(const Ref<NSString>& tagClass, const Ref<NSString>& tag,
                                                    const Ref<NSString>& conformingToUTI);
// The preferred tag of the class for a type identifier; nil when the type has none.
Ref<NSString> UTTypeCopyPreferredTagWithClass(const Ref<NSString>& identifier, const Ref<NSString>& tagClass);

// The MIME type of a file name extension (case-insensitive), or nil.
Ref<NSString> NSMIMETypeForPathExtension(const Ref<NSString>& extension);
