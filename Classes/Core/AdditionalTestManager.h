// AdditionalTestManager: the reader of the station file "quorvane_temp.txt" that a test station may
// leave in the documents folder. Its member "VT_dynamicQuorvane" holds an XML add/skip list (plain
// or as Base64): tests to add to the profile ("ADD") and tests or sub-tests to skip ("SKIP").
//
// Each parse starts from empty lists, and the lists are replaced only by a document parsed to its
// end, so keys of an earlier file or of a half-read document never reach a later run. Documents with
// a DTD are refused. The lists are guarded: the run builder parses on a global queue while screens
// read removeKeys on the main thread.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

#include <functional>
#include <mutex>

class NSXMLParser;

const Ref<NSString>& DXStationFileName(); // "quorvane_temp.txt"

// Called when a document has been parsed to its end: model number, add keys, skip keys.
using DXParseCompletedBlock =
    std::function<void(const Ref<NSString>& modelNumber, const Ref<NSArray>& addKeys, const Ref<NSArray>& removeKeys)>;

class AdditionalTestManager : public NSObject {
    NS_OBJECT(AdditionalTestManager, NSObject)
public:
    AdditionalTestManager();

    // The process-wide reader, made on first use.
    static Ref<AdditionalTestManager> sharedInstance();

    // Reads and parses the station file synchronously; YES when it was found, read and its add/skip
    // list parsed to the end (parseCompleted has then run). On NO the lists are empty.
    bool parse();

    DXParseCompletedBlock parseCompleted() const;
    void setParseCompleted(DXParseCompletedBlock block);
    // Snapshots of the lists: keys in document order, without repeats.
    Ref<NSArray> addKeys() const;
    void setAddKeys(const Ref<NSArray>& keys);
    Ref<NSArray> removeKeys() const;
    void setRemoveKeys(const Ref<NSArray>& keys);
    Ref<NSString> modelNumber() const;
    void setModelNumber(const Ref<NSString>& modelNumber);
    Ref<NSXMLParser> parser() const;
    void setParser(const Ref<NSXMLParser>& parser);

    // NSXMLParserDelegate.
    void parserDidStartElementNamespaceURIQualifiedNameAttributes(const Ref<NSXMLParser>& parser,
                                                                  const Ref<NSString>& elementName,
                                                                  const Ref<NSString>& namespaceURI,
                                                                  const Ref<NSString>& qualifiedName,
                                                                  const Ref<NSDictionary>& attributes);
    void parserDidEndDocument(const Ref<NSXMLParser>& parser);

private:
    // The XML text of the station file, nil (with a log line) when there is none.
    Ref<NSString> stationXML() const;

    mutable std::recursive_mutex lock_;
    DXParseCompletedBlock parseCompleted_;
    Ref<NSMutableArray> addKeys_;
    Ref<NSMutableArray> removeKeys_;
    Ref<NSString> modelNumber_;
    Ref<NSXMLParser> parser_;
    // The document being parsed; committed to the fields above at its end.
    Ref<NSMutableArray> pendingAdd_;
    Ref<NSMutableArray> pendingRemove_;
    Ref<NSString> pendingModelNumber_;
};
