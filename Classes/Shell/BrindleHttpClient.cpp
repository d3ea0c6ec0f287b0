#include <Shell/BrindleHttpClient.h>

#include <Categorys/DXLocalizedString.h>
#include <Categorys/DXUtility.h>
#include <Core/DXTestModel.h>
#include <Dispatch/DispatchOnce.h>
#include <Foundation/NSData.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSUserDefaults.h>
#include <Networking/HCHTTPRequestOperation.h>
#include <Networking/HCJSONRequestSerializer.h>
#include <Networking/HCJSONResponseSerializer.h>
#include <Reactive/RXDisposable.h>
#include <Reactive/RXSubscriber.h>
#include <Runtime/ClassBuilder.h>
#include <SystemInfo/SICarrier.h>
#include <UIKit/UIDevice.h>

#include <cmath>

NS_IMPLEMENT_CLASS(BrindleHttpClient, NSObject) {
    b.property("requestManager", &BrindleHttpClient::requestManager, &BrindleHttpClient::setRequestManager);
    b.property("webserviceserver", &BrindleHttpClient::webserviceserver, &BrindleHttpClient::setWebserviceserver);
    b.property("baseUrl", &BrindleHttpClient::baseUrl, &BrindleHttpClient::setBaseUrl, "copy");
    b.property("adminconsoleserver", &BrindleHttpClient::adminconsoleserver, &BrindleHttpClient::setAdminconsoleserver);
}

namespace {

Ref<NSString> storedText(const char* key) {
    auto value = NSUserDefaults::standardUserDefaults()->objectForKey(NSString::from(key));
    if (auto text = cast<NSString>(value)) {
        return text;
    }
    return nullptr;
}

Ref<NSString> orEmpty(const Ref<NSString>& text) {
    return text ? text : NSString::string();
}

Ref<NSString> prettyJSON(const id& object) {
    Ref<NSError> error;
    auto data = NSJSONSerialization::dataWithJSONObjectOptionsError(object, NSJSONWritingPrettyPrinted, &error);
    if (!data) {
        return NSString::string();
    }
    return orEmpty(NSString::stringWithDataEncoding(data, NSUTF8StringEncoding));
}

// All but the last four characters of an identifier as "*".
Ref<NSString> masked(const id& value) {
    auto text = cast<NSString>(value);
    if (!text) {
        return NSString::string();
    }
    std::string s = text->str();
    size_t keep = s.size() > 4 ? 4 : 0;
    return NSString::from(std::string(s.size() - keep, '*') + s.substr(s.size() - keep));
}

double fileSystemGibibytes() {
    auto attributes = NSFileManager::defaultManager()->attributesOfFileSystemForPathError(NSHomeDirectory(), nullptr);
    auto size = attributes ? cast<NSNumber>(attributes->objectForKey(NSFileSystemSize())) : nullptr;
    double bytes = size ? size->doubleValue() : 0;
    return bytes * std::pow(2.0, -30);
}

} // namespace

BrindleHttpClient::BrindleHttpClient(const Ref<NSString>& baseUrl) {
    setWebserviceserver(baseUrl);
    auto manager = HCHTTPRequestOperationManager::manager();
    manager->setResponseSerializer(HCJSONResponseSerializer::serializer());
    manager->setRequestSerializer(HCJSONRequestSerializer::serializer());
    manager->requestSerializer()->setTimeoutInterval(BrindleTransactionTimeout);
    setRequestManager(manager);
}

Ref<BrindleHttpClient> BrindleHttpClient::sharedHttpClientWithBaseUrl(const Ref<NSString>& baseUrl) {
    static dispatch_once_t once;
    static Ref<BrindleHttpClient> shared;
    dispatch_once(&once, [&] { shared = make<BrindleHttpClient>(baseUrl); });
    return shared;
}

Ref<NSString> BrindleHttpClient::storageBandForSize(double g) {
    static const int bands[] = {4, 8, 16, 32, 64, 128, 256, 512, 1024};
    double lower = 1;
    for (int band : bands) {
        if (g > lower && g <= band) {
            return NSString::from(std::to_string(band) + "GB");
        }
        lower = band;
    }
    return NSString::from("0GB");
}

Ref<NSDictionary> BrindleHttpClient::buildTempTransactionWithSessionIdResultValueResultEvaluate(
    const Ref<NSString>& sessionId, const Ref<NSArray>& records, const Ref<NSString>& result,
    const Ref<NSString>& evaluate) {
    auto uniqueId = storedText("uniqueid");
    auto serial = storedText("serial");
    auto deviceNumber = storedText("devicenumber");

    auto sourceModel = NSMutableArray::array();
    if (deviceNumber) {
        auto parts = deviceNumber->componentsSeparatedByString(NSString::from("\\"));
        for (const auto& part : *parts) {
            sourceModel->addObject(part);
        }
    }

    // A run passes only when every record passed: a failure, a test that never ran and a time-out
    // all make the transaction a non-pass (the audit decoy included).
    auto results = NSMutableDictionary::dictionary();
    bool allPassed = true;
    if (records) {
        for (const auto& item : *records) {
            auto record = cast<DXTestModel>(item);
            if (!record) {
                continue;
            }
            bool passed = record->result() == DXTestResultPass;
            allPassed = allPassed && passed;
            if (auto key = record->profilekey()) {
                results->setObjectForKey(NSString::from(passed ? "SUCCESS" : "FAIL"), key);
            }
        }
    }
    NSInteger resultCode = allPassed ? 1 : 0;
    if (result && result->isEqualToString(NSString::from("2"))) {
        resultCode = 2;
    }

    auto carrier = SICarrier::carrierName();
    std::vector<NSDictionary::Entry> entries = {
        {"uuid"_ns, orEmpty(sessionId)},
        {"timeCreated"_ns, orEmpty(DXUtility::createDateString())},
        {"esnNumber"_ns, orEmpty(uniqueId)},
        {"sourceMake"_ns, "Apple"_ns},
        {"clientVer"_ns, orEmpty(DXUtility::clientVersion())},
        {"MacAddress"_ns, NSString::string()},
        {"errorCode"_ns, "1"_ns},
        {"result"_ns, box(resultCode)},
        {"result_value"_ns, prettyJSON(results)},
        {"grade"_ns, NSString::string()},
        {"color"_ns, NSString::string()},
        {"devicememorysize"_ns, storageBandForSize(fileSystemGibibytes())},
        {"sourceCarrier"_ns, orEmpty(carrier)},
        {"AndroidVersion"_ns, NSString::string()},
        {"iosVersion"_ns, orEmpty(UIDevice::currentDevice()->systemVersion())},
        {"serialnumber"_ns, orEmpty(serial)},
        {"modelnumber"_ns, orEmpty(DXUtility::hardwareName())},
        {"sourceModel"_ns, NSArray::arrayWithArray(sourceModel)},
        {"evaluate"_ns, orEmpty(evaluate)},
    };
    return make<NSDictionary>(entries);
}

Ref<NSString> BrindleHttpClient::loggableRecord(const Ref<NSDictionary>& record) {
    if (!record) {
        return NSString::string();
    }
    auto copy = NSMutableDictionary::dictionaryWithDictionary(record);
    for (const char* key : {"esnNumber", "serialnumber"}) {
        if (auto value = copy->objectForKey(NSString::from(key))) {
            copy->setObjectForKey(masked(value), NSString::from(key));
        }
    }
    return prettyJSON(copy);
}

Ref<RXSignal> BrindleHttpClient::reportTempTransactionWithData(const Ref<NSDictionary>& record) {
    auto base = orEmpty(storedText("webservice"));
    NSLog("%@", loggableRecord(record));
    NSLog("self.webserviceserver: %@", webserviceserver());
    auto manager = requestManager();
    return RXSignal::createSignal([manager, base, record](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto address = NSString::stringWithFormat("%@/api/functionaltest_finish/", base);
        auto operation = manager->POSTParametersSuccessFailure(
            address, record,
            [subscriber](HCHTTPRequestOperation*, const id& reply) {
                if (!cast<NSDictionary>(reply)) {
                    auto info = NSDictionary::dictionaryWithEntries(
                        {{NSLocalizedDescriptionKey(), "The transaction service's reply is not a JSON object"_ns}});
                    subscriber->sendError(
                        NSError::errorWithDomainCodeUserInfo(NSURLErrorDomain(), NSURLErrorCannotParseResponse, info));
                    return;
                }
                subscriber->sendNext(reply);
                subscriber->sendCompleted();
            },
            [subscriber](HCHTTPRequestOperation*, const Ref<NSError>& error) { subscriber->sendError(error); });
        return RXDisposable::disposableWithBlock([operation] {
            if (operation) {
                operation->cancel();
            }
        });
    });
}

Ref<NSString> BrindleHttpClient::messageForReply(const id& reply) {
    auto dictionary = cast<NSDictionary>(reply);
    if (!dictionary) {
        return nullptr;
    }
    auto error = dictionary->objectForKey("error"_ns);
    if (!error || cast<NSNull>(error)) {
        return nullptr;
    }
    NSInteger status = 0;
    auto statusValue = dictionary->objectForKey("status"_ns);
    if (auto number = cast<NSNumber>(statusValue)) {
        status = number->integerValue();
    } else if (auto text = cast<NSString>(statusValue)) {
        status = text->integerValue();
    }
    if (status == 409) {
        return DXLocalizedString("MT_LOGIN_HAS_USELESS_ID_ERROR");
    }
    auto errorText = cast<NSString>(error);
    if (errorText && errorText->isEqualToString("Upload transaction fail"_ns)) {
        return DXLocalizedString("MT_REPORT_TRANSCATION_ERROR");
    }
    return errorText ? errorText : NSDescription(error);
}

Ref<NSString> BrindleHttpClient::messageForError(const Ref<NSError>& error) {
    if (!error) {
        return NSString::string();
    }
    return NSString::stringWithFormat("%@ (%ld)", error->localizedDescription(), static_cast<long>(error->code()));
}
