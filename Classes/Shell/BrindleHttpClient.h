// BrindleHttpClient: the client of the retail transaction service. It assembles the transaction
// record (the JSON object of 19 keys that reports one device's test outcome) and posts it to
// "<webservice>/api/functionaltest_finish/", answering a cold signal with the service's reply.
// One instance per process; everything here runs on the main thread.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSString.h>
#include <Networking/HCHTTPRequestOperationManager.h>
#include <Reactive/RXSignal.h>

// The time a transaction may take, in seconds.
inline constexpr double BrindleTransactionTimeout = 15.0;

class BrindleHttpClient : public NSObject {
    NS_OBJECT(BrindleHttpClient, NSObject)
public:
    BrindleHttpClient() = default;
    // `initWithBaseUrl:`: a JSON client with the 15-second time-out.
    explicit BrindleHttpClient(const Ref<NSString>& baseUrl);

    // `+sharedHttpClientWithBaseUrl:`: the process-wide instance; the first call's address wins.
    static Ref<BrindleHttpClient> sharedHttpClientWithBaseUrl(const Ref<NSString>& baseUrl);

    NS_PROPERTY(Ref<HCHTTPRequestOperationManager>, requestManager, setRequestManager)
    // The address the instance was made with; only logged. Posts go to the address stored under
    // "webservice" at the time of sending.
    NS_PROPERTY(Ref<NSString>, webserviceserver, setWebserviceserver)
    NS_PROPERTY(Ref<NSString>, baseUrl, setBaseUrl)
    NS_PROPERTY(Ref<NSString>, adminconsoleserver, setAdminconsoleserver)

    // `buildTempTransactionWithSessionId:result_value:result:evaluate:`: the record for the session,
    // the run's records (or nil), the result argument ("2" or nil) and the evaluate text ("0" trade-in
    // or start, "1" evaluation). Reads the user defaults and the device; changes nothing.
    Ref<NSDictionary> buildTempTransactionWithSessionIdResultValueResultEvaluate(const Ref<NSString>& sessionId,
                                                                                 const Ref<NSArray>& records,
                                                                                 const Ref<NSString>& result,
                                                                                 const Ref<NSString>& evaluate);

    // `reportTempTransactionWithData:`: every subscription posts the record once and sends the reply
    // (a JSON object), then completes; or sends the error. A reply that is not a JSON object is an
    // error too. Disposing of the subscription cancels the request.
    Ref<RXSignal> reportTempTransactionWithData(const Ref<NSDictionary>& record);

    // The storage band of a file system of `gibibytes` GiB: "4GB" up to 4, "8GB" up to 8, ...,
    // "1024GB" up to 1024 (each band includes its upper size); "0GB" for 1 or less and above 1024.
    static Ref<NSString> storageBandForSize(double gibibytes);

    // The operator's message for a reply that refuses the transaction, or nil when the reply has no
    // "error": status 409 and "Upload transaction fail" have texts of their own, any other error is
    // shown as the service gave it.
    static Ref<NSString> messageForReply(const id& reply);
    // "<description> (<code>)" for a failed request.
    static Ref<NSString> messageForError(const Ref<NSError>& error);

    // The record as it may be written to the log: the device id and the serial number masked.
    static Ref<NSString> loggableRecord(const Ref<NSDictionary>& record);
};
