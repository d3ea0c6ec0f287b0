// Reading a URL's contents in the background into a replay subject. Class operations of NSData and
// NSString, as free functions.
//
// Only file URLs can be read this way; any other scheme fails with NSCocoaErrorDomain,
// NSFileReadUnsupportedSchemeError.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSURL.h>
#include <Reactive/RXReplaySubject.h>
#include <Reactive/RXScheduler.h>

// `+[NSData rx_readContentsOfURL:options:scheduler:]`: schedules one read on the scheduler and
// answers at once a replay subject that sends the data then completes, or sends the read error. The
// read happens once, whether or not anybody subscribes.
Ref<RXReplaySubject> rx_readContentsOfURLOptionsScheduler(const Ref<NSURL>& url, NSDataReadingOptions options,
                                                          const Ref<RXScheduler>& scheduler);

// `+[NSString rx_readContentsOfURL:usedEncoding:scheduler:]`: the same for text. The encoding is
// taken from a byte-order mark (UTF-16, or UTF-8 with its mark dropped), else UTF-8; bytes that are
// not valid in it fail with NSFileReadInapplicableStringEncodingError. When `usedEncoding` is given,
// the encoding is written there (on the scheduler's thread) before the subject sends the string, so
// the variable must stay valid until the subject has terminated.
Ref<RXReplaySubject> rx_readContentsOfURLUsedEncodingScheduler(const Ref<NSURL>& url, NSStringEncoding* usedEncoding,
                                                               const Ref<RXScheduler>& scheduler);
