// HttpClient: the back-office client. It talks JSON over HTTP to the admin console (login, credit,
// feature settings) and the web service (inserting and updating results), and finds both addresses
// by looking the device's client record up on the default server. Every operation answers a cold
// signal: one subscription, one request; disposing of the subscription cancels it.
//
// Nothing on the session road uses this client; the transaction client carries the session.
#pragma once

#include <Networking/HCHTTPRequestOperationManager.h>
#include <Reactive/RXSignal.h>

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

// The domain of every error the client reports: a fixed text, so that callers can tell the
// client's errors apart whatever the display language. The operator-facing warning text travels
// in the error's localised description.
const Ref<NSString>& HttpClientErrorDomain();

class HttpClient : public NSObject {
    NS_OBJECT(HttpClient, NSObject)
public:
    // `init`: the request manager on the default server, JSON both ways, a 10-second time-out, and
    // the two addresses as user defaults last stored them.
    HttpClient();

    // The one client of the process, made on first use.
    static Ref<HttpClient> sharedHttpClient();

    // The default back-office server, "http://host[:port]/". A fixed setting that tests point at a
    // server of their own; clients made afterwards use it.
    static Ref<NSString> defaultServer();
    static void setDefaultServer(const Ref<NSString>& server);
    // The two client-record identifiers: the one for serial numbers beginning "ts_tester", and the
    // one for all others.
    static Ref<NSString> testerClientRecordId();
    static Ref<NSString> clientRecordId();

    NS_PROPERTY(Ref<HCHTTPRequestOperationManager>, requestManager, setRequestManager)
    // The admin console's base address, ending with "/".
    NS_PROPERTY(Ref<NSString>, adminconsoleserver, setAdminconsoleserver)
    // The web service's base address, without a trailing "/".
    NS_PROPERTY(Ref<NSString>, webserviceserver, setWebserviceserver)

    // POST "<admin console>api/auth/" with {"username", "password"}. The password goes only into the
    // request body, never into a log line.
    Ref<RXSignal> checkLoginPassword(const Ref<NSString>& username, const Ref<NSString>& password);
    // GET "/profiles/clients/_find" on the default server with criteria {"_id": <record id>}. A reply
    // whose first record names two valid http(s) addresses replaces and stores both before the
    // subscriber sees it; any other reply leaves the addresses as they were.
    Ref<RXSignal> querySN(const Ref<NSString>& serialNumber);
    // GET "<admin console>api/availablecredit/<product>/<company>/".
    Ref<RXSignal> queryCreditWithProductIdCompanyId(int64_t productId, int64_t companyId);
    // GET "<admin console>api/pdt/tessaly/getfeaturesettings/<productid>/<company>/".
    Ref<RXSignal> queryProfileWithClient(const Ref<NSDictionary>& client);
    // POST "<web service>/insert/" with the parameters as JSON.
    Ref<RXSignal> ReportInsertWithParamter(const Ref<NSDictionary>& parameters);
    // POST "<web service>/updateresult/" with the parameters as JSON.
    Ref<RXSignal> reportTransacationWithParamter(const Ref<NSDictionary>& parameters);

    // Whether `text` is a base address the client may adopt from a reply: an absolute http or https
    // URL with a host, without user information, query, fragment, white space or control
    // characters, at most 2,048 characters long.
    static bool isAcceptableServerAddress(const id& text);

private:
    Ref<RXSignal> requestSignal(const Ref<NSString>& method, std::function<Ref<NSString>(HttpClient*)> url,
                                const id& parameters, std::function<void(HttpClient*, const id&)> beforeReply);
    void adoptServersFromReply(const id& reply);
};
