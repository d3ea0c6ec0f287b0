// A URL request as a signal. A class operation of NSURLConnection, as a free function.
#pragma once

#include <Network/NSURLConnection.h>
#include <Reactive/RXSignal.h>

// `+rx_sendAsynchronousRequest:`: each subscription loads the request once and sends one RXTuple
// (NSURLResponse, NSData), then completes. A transport failure is sent as its error. A reply with an
// HTTP error status (400 and above) is an error too, not a success: NSURLErrorDomain,
// NSURLErrorBadServerResponse, with the response and the body in the user information (under
// RXURLConnectionResponseErrorKey and RXURLConnectionDataErrorKey) and the URL under
// NSURLErrorFailingURLErrorKey. The answer arrives on the main thread (the connection is scheduled
// in the main run loop's common modes); disposing the subscription cancels the load, after which
// nothing more is sent.
Ref<RXSignal> rx_sendAsynchronousRequest(const Ref<NSURLRequest>& request);

// The user-info keys of the HTTP status error.
const Ref<NSString>& RXURLConnectionResponseErrorKey();
const Ref<NSString>& RXURLConnectionDataErrorKey();
