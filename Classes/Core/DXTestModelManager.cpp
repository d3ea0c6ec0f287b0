#include <Core/DXTestModelManager.h>

#include <Categorys/DXUtility.h>
#include <Core/DXSectionModel.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSData.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

const Ref<NSString>& DXQuorvaneErrorDomain() {
    static const Ref<NSString> s = "Quorvane"_ns;
    return s;
}

namespace {

Ref<NSString> localized(const Ref<NSString>& key) {
    if (!key) {
        return ""_ns;
    }
    return NSBundle::mainBundle()->localizedStringForKeyValueTable(key, ""_ns, nullptr);
}

// A property list file as a dictionary; nil (logged) when it is missing, malformed or not a dictionary.
Ref<NSDictionary> readDictionary(const Ref<NSString>& path, const char* what) {
    if (!path) {
        NSLog("%s: no path", what);
        return nullptr;
    }
    auto data = NSData::dataWithContentsOfFile(path);
    if (!data) {
        NSLog("%s: %@ cannot be read", what, path);
        return nullptr;
    }
    Ref<NSError> error;
    id object = NSPropertyListSerialization::propertyListWithDataOptionsFormatError(data, 0, nullptr, &error);
    auto dictionary = cast<NSDictionary>(object);
    if (!dictionary) {
        NSLog("%s: %@ is not a dictionary property list %@", what, path, error);
    }
    return dictionary;
}

NSInteger priorityOf(const Ref<NSDictionary>& definition) {
    return unbox<NSInteger>(definition->objectForKey("priority"_ns));
}

} // namespace

DXTestModelManager::DXTestModelManager() : testModels_(NSMutableArray::array()) {}

Ref<DXTestModelManager> DXTestModelManager::sharedInstrance() {
    static const Ref<DXTestModelManager> shared = make<DXTestModelManager>();
    return shared;
}

Ref<NSArray> DXTestModelManager::allAttributions() {
    return NSArray::arrayWithObjects({"title"_ns, "controller"_ns, "message"_ns, "icon"_ns, "priority"_ns, "auto"_ns});
}

Ref<NSDictionary> DXTestModelManager::deviceRow(const Ref<NSDictionary>& supportList) const {
    if (!supportList) {
        return nullptr;
    }
    auto hardware = DXUtility::hardwareName();
    return hardware ? cast<NSDictionary>(supportList->objectForKey(hardware->lowercaseString())) : nullptr;
}

NSUInteger DXTestModelManager::isSupportWithKeySupportList(const Ref<NSString>& key,
                                                           const Ref<NSDictionary>& supportList) const {
    auto row = deviceRow(supportList);
    if (!row || !key) {
        return DXSupportYes;
    }
    auto keys = cast<NSDictionary>(row->objectForKey("keys"_ns));
    id value = keys ? keys->objectForKey(key) : nullptr;
    if (!value) {
        return DXSupportYes;
    }
    auto text = cast<NSString>(value);
    if (text && text->isEqualToString("yes"_ns)) {
        return DXSupportYes;
    }
    if (text && text->isEqualToString("no"_ns)) {
        NSLog("key = %@, value = %@", key, text);
        return DXSupportNo;
    }
    return DXSupportAskScreen;
}

bool DXTestModelManager::isSupportMuteWithSupportList(const Ref<NSDictionary>& supportList) const {
    auto row = deviceRow(supportList);
    return row && unbox<bool>(cast<NSNumber>(row->objectForKey("mute"_ns)));
}

Ref<DXTestModel> DXTestModelManager::findTestModelWithKey(const Ref<NSString>& key) const {
    std::lock_guard guard(lock_);
    for (const id& item : *testModels_) {
        auto model = cast<DXTestModel>(item);
        if (model && NSObjectsEqual(model->profilekey(), key)) {
            return model;
        }
    }
    return nullptr;
}

Ref<NSArray> DXTestModelManager::testModels() const {
    std::lock_guard guard(lock_);
    return NSArray::arrayWithArray(testModels_);
}

void DXTestModelManager::setTestModels(const Ref<NSArray>& models) {
    std::lock_guard guard(lock_);
    testModels_ = models ? NSMutableArray::arrayWithArray(models) : NSMutableArray::array();
}

void DXTestModelManager::loadTestModelWithPlistSupportmodelCompletion(const Ref<NSString>& plistPath,
                                                                      const Ref<NSString>& supportPath,
                                                                      const DXTestListCompletion& completion) {
    Ref<DXTestModelManager> self(this);
    dispatch_async(
        dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [self, plistPath, supportPath, completion] {
            std::lock_guard build(self->buildLock_);
            auto supportList = readDictionary(supportPath, "support list");
            auto definitions = readDictionary(plistPath, "test definitions");
            Ref<NSArray> list;
            Ref<NSError> error;
            if (!definitions) {
                list = NSArray::array();
                error = NSError::errorWithDomainCodeUserInfo(DXQuorvaneErrorDomain(), DXErrorTestDefinitionsUnreadable,
                                                             nullptr);
            } else {
                list = self->buildList(definitions, supportList);
            }
            if (completion) {
                dispatch_async(dispatch_get_main_queue(), [completion, list, error] { completion(list, error); });
            }
        });
}

Ref<NSArray> DXTestModelManager::buildList(const Ref<NSDictionary>& definitions, const Ref<NSDictionary>& supportList) {
    // Keys by priority; keys of equal priority by name, so the list is the same on every build.
    std::vector<std::pair<Ref<NSString>, Ref<NSDictionary>>> entries;
    for (const auto& [k, v] : *definitions) {
        auto key = cast<NSString>(k);
        auto definition = cast<NSDictionary>(v);
        if (!key || !definition) {
            NSLog("test definitions: entry %@ is not a definition; skipped", k);
            continue;
        }
        entries.emplace_back(key, definition);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        NSInteger pa = priorityOf(a.second), pb = priorityOf(b.second);
        return pa != pb ? pa < pb : a.first->compare(b.first) == NSOrderedAscending;
    });

    auto excluded = allAttributions();
    bool hasMute = isSupportMuteWithSupportList(supportList);
    auto automatic = NSMutableArray::array();
    auto manual = NSMutableArray::array();
    auto made = NSMutableArray::array();
    for (const auto& [key, definition] : entries) {
        auto controller = cast<NSString>(definition->objectForKey("controller"_ns));
        switch (isSupportWithKeySupportList(key, supportList)) {
        case DXSupportNo:
            continue;
        case DXSupportAskScreen: {
            Class cls = controller ? NSClassFromString(controller) : nullptr;
            if (!cls) {
                NSLog("test %@: controller class %@ does not exist; skipped", key, controller);
                continue;
            }
            if (!cls->respondsToSelector("isSupport")) {
                NSLog("test %@: %@ does not answer isSupport; skipped", key, controller);
                continue;
            }
            id answer;
            try {
                answer = cls->performClassSelector("isSupport");
            } catch (const NSException& e) {
                NSLog("test %@: %@ isSupport raised %s; skipped", key, controller, e.reason());
                continue;
            }
            auto number = cast<NSNumber>(answer);
            if (!number || !number->boolValue()) {
                continue;
            }
            break;
        }
        default:
            break;
        }

        auto model = make<DXTestModel>();
        model->setTitle(localized(cast<NSString>(definition->objectForKey("title"_ns))));
        model->setInstruction(localized(cast<NSString>(definition->objectForKey("message"_ns))));
        model->setControllerName(controller);
        model->setIcon(cast<NSString>(definition->objectForKey("icon"_ns)));
        model->setProfilekey(key);
        model->setIsAuto(unbox<bool>(cast<NSNumber>(definition->objectForKey("auto"_ns))));
        model->setShowInstruction(!model->isAuto());
        model->setWaitingTime(-1);
        model->setTimeout(60);
        model->setHasMute(hasMute);
        auto params = NSMutableDictionary::dictionary();
        for (const auto& [member, value] : *definition) {
            if (!excluded->containsObject(member)) {
                params->setObjectForKey(value, member);
            }
        }
        model->setParams(params);
        auto subtests = NSMutableDictionary::dictionary();
        if (auto list = cast<NSArray>(definition->objectForKey("subtests"_ns))) {
            for (const id& item : *list) {
                if (auto subKey = cast<NSString>(item)) {
                    subtests->setObjectForKey(DXSubTestNotTest(), subKey);
                }
            }
        }
        model->setSubTestItemsResult(subtests);
        (model->isAuto() ? automatic : manual)->addObject(model);
        made->addObject(model);
    }
    {
        std::lock_guard guard(lock_);
        testModels_->addObjectsFromArray(made);
    }

    auto section = [](NSInteger type, const char* labelKey, const Ref<NSArray>& records) {
        auto header = make<DXSectionModel>();
        header->setType(type);
        header->setList(records);
        header->setButtontitle(localized("ROOT_MENU_SELECT_ALL"_ns));
        header->setLabel(NSString::stringWithFormat(localized(NSString::from(labelKey))->str(), 0));
        return header;
    };
    auto list = NSMutableArray::array();
    list->addObject(section(DXSectionTypeAuto, "ROOT_HEADER_AUTO_TESTING", automatic));
    list->addObjectsFromArray(automatic);
    list->addObject(section(DXSectionTypeManual, "ROOT_HEADER_MANUAL_TESTING", manual));
    list->addObjectsFromArray(manual);
    return list;
}

NS_IMPLEMENT_CLASS(DXTestModelManager, NSObject) {
    b.property("testModels", &DXTestModelManager::testModels, &DXTestModelManager::setTestModels);
}
