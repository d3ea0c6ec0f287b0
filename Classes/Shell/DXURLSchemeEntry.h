// The device identifiers handed over by the device-id lookup page through the "enoxm://" scheme:
// "enoxm://imei=...&meid=...&serial=...&product=..." (pairs straight after the prefix, no host and
// no "?").
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

// The notification posted after the identifiers have been stored.
const Ref<NSString>& kReceiveimeiNotification();

// The pairs of a link: the "enoxm://" prefix is removed (only at the start), the rest split on "&",
// each piece on "=" (key the first part, value the last; a piece without "=" is its own key and
// value), both percent-decoded; a later key replaces an earlier one. A pair whose key or value is
// not valid percent-encoding is left out. nil when nothing follows the prefix.
Ref<NSDictionary> DXURLSchemeParameters(const Ref<NSString>& text);

// Writes the identifiers of the pairs to user defaults: "uniqueid" (imei if non-empty, else meid if
// non-empty, else ""), "serial" ("" when the link has none), "product" and "meid" (removed when
// absent). Answers whether user defaults were written to disk.
bool DXStoreDeviceIdentifiers(const Ref<NSDictionary>& parameters);

// Whether a device id is stored that the session may go on with: a non-empty "uniqueid".
bool DXHasDeviceIdentifier();
