#include <Core/AdditionalTestManager.h>

#include <Foundation/NSData.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSXMLParser.h>
#include <Runtime/ClassBuilder.h>

const Ref<NSString>& DXStationFileName() {
    static const Ref<NSString> s = "quorvane_temp.txt"_ns;
    return s;
}

namespace {

void appendOnce(const Ref<NSMutableArray>& list, const Ref<NSString>& key) {
    if (!list->containsObject(key)) {
        list->addObject(key);
    }
}

Ref<NSString> stationFilePath() {
    auto folders = NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, true);
    auto documents = cast<NSString>(folders ? folders->firstObject() : nullptr);
    if (!documents) {
        documents = NSSandbox::documentsPath();
    }
    return documents->stringByAppendingPathComponent(DXStationFileName());
}

} // namespace

AdditionalTestManager::AdditionalTestManager()
    : addKeys_(NSMutableArray::array()), removeKeys_(NSMutableArray::array()) {}

Ref<AdditionalTestManager> AdditionalTestManager::sharedInstance() {
    static const Ref<AdditionalTestManager> shared = make<AdditionalTestManager>();
    return shared;
}

DXParseCompletedBlock AdditionalTestManager::parseCompleted() const {
    std::lock_guard guard(lock_);
    return parseCompleted_;
}
void AdditionalTestManager::setParseCompleted(DXParseCompletedBlock block) {
    std::lock_guard guard(lock_);
    parseCompleted_ = std::move(block);
}
Ref<NSArray> AdditionalTestManager::addKeys() const {
    std::lock_guard guard(lock_);
    return NSArray::arrayWithArray(addKeys_);
}
void AdditionalTestManager::setAddKeys(const Ref<NSArray>& keys) {
    std::lock_guard guard(lock_);
    addKeys_ = keys ? NSMutableArray::arrayWithArray(keys) : NSMutableArray::array();
}
Ref<NSArray> AdditionalTestManager::removeKeys() const {
    std::lock_guard guard(lock_);
    return NSArray::arrayWithArray(removeKeys_);
}
void AdditionalTestManager::setRemoveKeys(const Ref<NSArray>& keys) {
    std::lock_guard guard(lock_);
    removeKeys_ = keys ? NSMutableArray::arrayWithArray(keys) : NSMutableArray::array();
}
Ref<NSString> AdditionalTestManager::modelNumber() const {
    std::lock_guard guard(lock_);
    return modelNumber_;
}
void AdditionalTestManager::setModelNumber(const Ref<NSString>& modelNumber) {
    std::lock_guard guard(lock_);
    modelNumber_ = modelNumber;
}
Ref<NSXMLParser> AdditionalTestManager::parser() const {
    std::lock_guard guard(lock_);
    return parser_;
}
void AdditionalTestManager::setParser(const Ref<NSXMLParser>& parser) {
    std::lock_guard guard(lock_);
    parser_ = parser;
}

Ref<NSString> AdditionalTestManager::stationXML() const {
    auto path = stationFilePath();
    if (!NSFileManager::defaultManager()->fileExistsAtPath(path)) {
        return nullptr;
    }
    auto data = NSData::dataWithContentsOfFile(path);
    if (!data) {
        NSLog("station file: %@ cannot be read", path);
        return nullptr;
    }
    Ref<NSError> error;
    id object = NSJSONSerialization::JSONObjectWithDataOptionsError(data, NSJSONReadingMutableContainers, &error);
    auto root = cast<NSDictionary>(object);
    if (!root) {
        NSLog("station file: not a JSON object %@", error);
        return nullptr;
    }
    id member = root->objectForKey("VT_dynamicQuorvane"_ns);
    if (!member) {
        return nullptr;
    }
    auto text = cast<NSString>(member);
    if (!text) {
        NSLog("station file: \"VT_dynamicQuorvane\" is not a text; ignored");
        return nullptr;
    }
    if (auto decoded = NSData::dataWithBase64EncodedStringOptions(text, 0)) {
        auto xml = NSString::stringWithDataEncoding(decoded, NSUTF8StringEncoding);
        if (!xml) {
            NSLog("station file: the Base64 add/skip list is not UTF-8");
        }
        return xml;
    }
    return text;
}

bool AdditionalTestManager::parse() {
    {
        // Nothing of an earlier file survives a new parse, whatever its outcome.
        std::lock_guard guard(lock_);
        addKeys_ = NSMutableArray::array();
        removeKeys_ = NSMutableArray::array();
        modelNumber_ = nullptr;
    }
    auto xml = stationXML();
    if (!xml) {
        return false;
    }
    // The list is plain data: a document type declaration (and with it any entity) is refused.
    if (xml->containsString("<!DOCTYPE"_ns) || xml->containsString("<!ENTITY"_ns)) {
        NSLog("station file: the add/skip list carries a DTD; refused");
        return false;
    }
    auto parser = make<NSXMLParser>(xml->dataUsingEncoding(NSUTF8StringEncoding));
    {
        std::lock_guard guard(lock_);
        parser_ = parser;
        pendingAdd_ = NSMutableArray::array();
        pendingRemove_ = NSMutableArray::array();
        pendingModelNumber_ = nullptr;
    }
    parser->setDelegate(Ref<NSObject>(this));
    bool ok = parser->parse();
    parser->setDelegate(nullptr);
    if (!ok) {
        NSLog("station file: the add/skip list does not parse: %@", parser->parserError());
    }
    std::lock_guard guard(lock_);
    pendingAdd_ = nullptr;
    pendingRemove_ = nullptr;
    pendingModelNumber_ = nullptr;
    return ok;
}

void AdditionalTestManager::parserDidStartElementNamespaceURIQualifiedNameAttributes(
    const Ref<NSXMLParser>&, const Ref<NSString>& elementName, const Ref<NSString>&, const Ref<NSString>&,
    const Ref<NSDictionary>& attributes) {
    NSLog("didStartElement");
    std::lock_guard guard(lock_);
    if (!pendingAdd_ || !elementName) {
        return;
    }
    auto attribute = [&](const char* name) -> Ref<NSString> {
        return attributes ? cast<NSString>(attributes->objectForKey(NSString::from(name))) : nullptr;
    };
    if (elementName->isEqualToString("Model"_ns)) {
        auto number = attribute("modelNumber");
        pendingModelNumber_ = number ? number : ""_ns;
        return;
    }
    if (!elementName->isEqualToString("test"_ns)) {
        return;
    }
    auto key = attribute("testKey");
    auto task = attribute("testTask");
    NSLog("testKey = %@, testTask = %@", key, task);
    if (key && key->hasPrefix("MANUAL_INSTRUCTION_TEST"_ns)) {
        return;
    }
    if (!key || !task || key->length() == 0 || task->length() == 0) {
        return;
    }
    if (task->isEqualToString("ADD"_ns)) {
        appendOnce(pendingAdd_, key);
    } else if (task->isEqualToString("SKIP"_ns)) {
        appendOnce(pendingRemove_, key);
    }
}

void AdditionalTestManager::parserDidEndDocument(const Ref<NSXMLParser>&) {
    DXParseCompletedBlock completed;
    Ref<NSString> modelNumber;
    Ref<NSArray> add, remove;
    {
        std::lock_guard guard(lock_);
        if (!pendingAdd_) {
            return;
        }
        addKeys_ = pendingAdd_;
        removeKeys_ = pendingRemove_;
        if (pendingModelNumber_) {
            modelNumber_ = pendingModelNumber_;
        }
        completed = parseCompleted_;
        modelNumber = modelNumber_;
        add = NSArray::arrayWithArray(addKeys_);
        remove = NSArray::arrayWithArray(removeKeys_);
    }
    if (completed) {
        completed(modelNumber, add, remove);
    }
}

NS_IMPLEMENT_CLASS(AdditionalTestManager, NSObject) {
    b.method("parser:didStartElement:namespaceURI:qualifiedName:attributes:",
             &AdditionalTestManager::parserDidStartElementNamespaceURIQualifiedNameAttributes);
    b.method("parserDidEndDocument:", &AdditionalTestManager::parserDidEndDocument);
}
