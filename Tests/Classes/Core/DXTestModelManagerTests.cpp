#include "CoreTestCase.h"

#include <Core/DXSectionModel.h>
#include <Foundation/NSBundle.h>
#include <Runtime/ClassBuilder.h>

namespace {

// Test screens, registered by name, answering isSupport in every way a screen class can.
class FakeSupportedScreen : public NSObject {
    NS_OBJECT(FakeSupportedScreen, NSObject)
};
class FakeUnsupportedScreen : public NSObject {
    NS_OBJECT(FakeUnsupportedScreen, NSObject)
};
class FakeNilScreen : public NSObject {
    NS_OBJECT(FakeNilScreen, NSObject)
};
class FakeSilentScreen : public NSObject { // no isSupport at all
    NS_OBJECT(FakeSilentScreen, NSObject)
};
class FakeRaisingScreen : public NSObject {
    NS_OBJECT(FakeRaisingScreen, NSObject)
};

} // namespace

NS_IMPLEMENT_CLASS(FakeSupportedScreen, NSObject) {
    b.classMethod("isSupport", [] { return id(NSNumber::numberWithBool(true)); });
}
NS_IMPLEMENT_CLASS(FakeUnsupportedScreen, NSObject) {
    b.classMethod("isSupport", [] { return id(NSNumber::numberWithBool(false)); });
}
NS_IMPLEMENT_CLASS(FakeNilScreen, NSObject) {
    b.classMethod("isSupport", [] { return id(); });
}
NS_IMPLEMENT_CLASS(FakeSilentScreen, NSObject) {}
NS_IMPLEMENT_CLASS(FakeRaisingScreen, NSObject) {
    b.classMethod("isSupport", []() -> id { NSException::raise(NSInternalInconsistencyException, "no radio"); });
}

namespace {

Ref<NSDictionary> definition(const char* controller, long priority, bool automatic,
                             std::initializer_list<const char*> subtests = {}) {
    auto d = NSMutableDictionary::dictionary();
    d->setObjectForKey(NSString::stringWithFormat("ROOTLIST_TITLE_%s", controller), "title"_ns);
    d->setObjectForKey("ROOTLIST_MESSAGE_X"_ns, "message"_ns);
    d->setObjectForKey(NSString::from(controller), "controller"_ns);
    d->setObjectForKey("icon_x"_ns, "icon"_ns);
    d->setObjectForKey(box(priority), "priority"_ns);
    d->setObjectForKey(box(automatic), "auto"_ns);
    if (subtests.size()) {
        auto list = NSMutableArray::array();
        for (auto s : subtests) {
            list->addObject(NSString::from(s));
        }
        d->setObjectForKey(list, "subtests"_ns);
    }
    return d;
}

// The support list with one row for this device (iPhone10,3 by default).
Ref<NSDictionary> supportRow(std::initializer_list<std::pair<const char*, const char*>> keys, bool mute,
                             const char* device = "iphone10,3") {
    auto k = NSMutableDictionary::dictionary();
    for (auto [key, value] : keys) {
        k->setObjectForKey(NSString::from(value), NSString::from(key));
    }
    return NSDictionary::dictionaryWithEntries(
        {{NSString::from(device), NSDictionary::dictionaryWithEntries({{"keys"_ns, k}, {"mute"_ns, box(mute)}})}});
}

class DXTestModelManagerTest : public CoreTestCase {};

} // namespace

TEST_F(DXTestModelManagerTest, SupportDecisions) {
    auto manager = DXTestModelManager::sharedInstrance();
    auto support = supportRow(
        {{"YES_KEY", "yes"}, {"NO_KEY", "no"}, {"CHECK_KEY", "check"}, {"CASE_KEY", "Yes"}, {"NO_CASE_KEY", "NO"}},
        true);
    struct Case {
        const char* key;
        Ref<NSDictionary> list;
        NSUInteger expected;
    } cases[] = {
        {"YES_KEY", support, DXSupportYes},
        {"NO_KEY", support, DXSupportNo},
        {"CHECK_KEY", support, DXSupportAskScreen},
        {"CASE_KEY", support, DXSupportAskScreen},                                 // "Yes" is not "yes"
        {"NO_CASE_KEY", support, DXSupportAskScreen},                              // "NO" is not "no"
        {"ABSENT_KEY", support, DXSupportYes},                                     // no value for the key
        {"NO_KEY", supportRow({{"NO_KEY", "no"}}, true, "ipad7,5"), DXSupportYes}, // no row for this device
        {"NO_KEY", nullptr, DXSupportYes},                                         // no support list
    };
    for (const auto& c : cases) {
        EXPECT_EQ(manager->isSupportWithKeySupportList(NSString::from(c.key), c.list), c.expected) << c.key;
    }
    EXPECT_TRUE(logged("key = NO_KEY, value = no"));
    EXPECT_TRUE(manager->isSupportMuteWithSupportList(support));
    EXPECT_FALSE(manager->isSupportMuteWithSupportList(supportRow({}, true, "ipad7,5")));
    EXPECT_FALSE(manager->isSupportMuteWithSupportList(nullptr));
}

TEST_F(DXTestModelManagerTest, ScreenDecidesWhenTheListLeavesItOpen) {
    auto definitions = NSDictionary::dictionaryWithEntries({
        {"SUPPORTED"_ns, definition("FakeSupportedScreen", 1, false)},
        {"UNSUPPORTED"_ns, definition("FakeUnsupportedScreen", 2, false)},
        {"NIL_ANSWER"_ns, definition("FakeNilScreen", 3, false)},
        {"NO_ANSWER"_ns, definition("FakeSilentScreen", 4, false)},
        {"RAISES"_ns, definition("FakeRaisingScreen", 5, false)},
        {"NO_CLASS"_ns, definition("NoSuchViewController", 6, false)},
        {"LISTED_YES"_ns, definition("NoSuchViewController", 7, false)},
    });
    auto support = supportRow({{"SUPPORTED", "check"},
                               {"UNSUPPORTED", "check"},
                               {"NIL_ANSWER", "check"},
                               {"NO_ANSWER", "check"},
                               {"RAISES", "check"},
                               {"NO_CLASS", "check"},
                               {"LISTED_YES", "yes"}},
                              false);
    auto list = buildList(writePlist("ItemList.plist", definitions), writePlist("models.plist", support));
    // Only the screen that said YES, and the test the list supports outright, are in.
    EXPECT_EQ(keysOf(list), (std::vector<std::string>{"SUPPORTED", "LISTED_YES"}));
    EXPECT_TRUE(logged("NoSuchViewController does not exist"));
    EXPECT_TRUE(logged("FakeSilentScreen does not answer isSupport"));
    EXPECT_TRUE(logged("isSupport raised"));
}

TEST_F(DXTestModelManagerTest, BuildsSectionsInPriorityOrder) {
    auto definitions = NSMutableDictionary::dictionary();
    definitions->setObjectForKey(definition("A", 5, true), "AUTO_FIVE"_ns);
    definitions->setObjectForKey(definition("B", 2, true), "AUTO_TWO"_ns);
    definitions->setObjectForKey(definition("C", 9, false, {"SUB_ONE", "SUB_TWO"}), "MANUAL_NINE"_ns);
    definitions->setObjectForKey(definition("D", 1, false), "MANUAL_ONE"_ns);
    definitions->setObjectForKey(definition("E", 3, false), "LEFT_OUT"_ns);
    auto extra = NSMutableDictionary::dictionaryWithDictionary(definition("F", 4, false));
    extra->removeObjectForKey("priority"_ns); // absent priority counts as 0
    extra->setObjectForKey("front"_ns, "direction"_ns);
    definitions->setObjectForKey(extra, "MANUAL_ZERO"_ns);
    auto support = supportRow({{"LEFT_OUT", "no"}}, true);

    auto list = buildList(writePlist("ItemList.plist", definitions), writePlist("models.plist", support));
    ASSERT_EQ(list->count(), 7u);
    auto autoSection = cast<DXSectionModel>(list->objectAtIndex(0));
    ASSERT_TRUE(autoSection);
    EXPECT_EQ(autoSection->type(), DXSectionTypeAuto);
    EXPECT_EQ(keysOf(autoSection->list()), (std::vector<std::string>{"AUTO_TWO", "AUTO_FIVE"}));
    auto manualSection = cast<DXSectionModel>(list->objectAtIndex(3));
    ASSERT_TRUE(manualSection);
    EXPECT_EQ(manualSection->type(), DXSectionTypeManual);
    EXPECT_EQ(keysOf(manualSection->list()), (std::vector<std::string>{"MANUAL_ZERO", "MANUAL_ONE", "MANUAL_NINE"}));
    EXPECT_EQ(keysOf(list),
              (std::vector<std::string>{"AUTO_TWO", "AUTO_FIVE", "MANUAL_ZERO", "MANUAL_ONE", "MANUAL_NINE"}));
    // The section texts come from the string table (formatted with 0).
    auto bundle = NSBundle::mainBundle();
    EXPECT_TRUE(autoSection->buttontitle()->isEqualToString(
        bundle->localizedStringForKeyValueTable("ROOT_MENU_SELECT_ALL"_ns, ""_ns, nullptr)));
    EXPECT_EQ(autoSection->label()->str(), "AUTOMATIC (0 selected)");
    EXPECT_EQ(manualSection->label()->str(), "MANUAL (0 selected)");

    auto automatic = cast<DXTestModel>(list->objectAtIndex(1));
    EXPECT_TRUE(automatic->isAuto());
    EXPECT_FALSE(automatic->showInstruction());
    auto manual = cast<DXTestModel>(list->objectAtIndex(6));
    EXPECT_FALSE(manual->isAuto());
    EXPECT_TRUE(manual->showInstruction());
    EXPECT_EQ(manual->waitingTime(), -1);
    EXPECT_EQ(manual->timeout(), 60);
    EXPECT_TRUE(manual->hasMute());
    EXPECT_TRUE(manual->controllerName()->isEqualToString("C"_ns));
    EXPECT_TRUE(manual->icon()->isEqualToString("icon_x"_ns));
    EXPECT_EQ(manual->result(), 0);
    EXPECT_FALSE(manual->selected());
    EXPECT_FALSE(manual->question());
    // Sub-tests start as NOT_TEST; "subtests" stays among the parameters, the six members do not.
    EXPECT_EQ(manual->subTestItemsResult()->count(), 2u);
    EXPECT_TRUE(
        cast<NSString>(manual->subTestItemsResult()->objectForKey("SUB_TWO"_ns))->isEqualToString(DXSubTestNotTest()));
    EXPECT_TRUE(manual->params()->objectForKey("subtests"_ns));
    auto attributions = DXTestModelManager::allAttributions();
    for (const id& member : *attributions) {
        EXPECT_FALSE(manual->params()->objectForKey(member)) << NSDescription(member)->str();
    }
    auto zero = cast<DXTestModel>(list->objectAtIndex(4));
    EXPECT_TRUE(cast<NSString>(zero->params()->objectForKey("direction"_ns))->isEqualToString("front"_ns));
    EXPECT_EQ(zero->subTestItemsResult()->count(), 0u);
    EXPECT_TRUE(logged("key = LEFT_OUT, value = no"));
}

TEST_F(DXTestModelManagerTest, NoAutomaticTestsGivesAnEmptyFirstSection) {
    auto definitions = NSDictionary::dictionaryWithEntries({{"ONLY"_ns, definition("X", 1, false)}});
    auto list = buildList(writePlist("ItemList.plist", definitions), nullptr);
    ASSERT_EQ(list->count(), 3u);
    EXPECT_EQ(cast<DXSectionModel>(list->objectAtIndex(0))->list()->count(), 0u);
    EXPECT_TRUE(cast<DXSectionModel>(list->objectAtIndex(1)));
    // No support list: everything is supported and no device has a switch.
    EXPECT_FALSE(cast<DXTestModel>(list->objectAtIndex(2))->hasMute());
}

TEST_F(DXTestModelManagerTest, UnreadableDefinitionsGiveError101) {
    auto bad = documentsFile("broken.plist");
    writeText(bad, "<plist><dict><key>half");
    for (auto path : {bad, documentsFile("missing.plist")}) {
        Ref<NSError> error;
        auto list = buildList(path, nullptr, &error);
        ASSERT_TRUE(list);
        EXPECT_EQ(list->count(), 0u);
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->domain()->isEqualToString("Quorvane"_ns));
        EXPECT_EQ(error->code(), 101);
        EXPECT_EQ(error->userInfo()->count(), 0u);
    }
    EXPECT_EQ(DXTestModelManager::sharedInstrance()->testModels()->count(), 0u);
}

TEST_F(DXTestModelManagerTest, SecondBuildAppendsAndFindReturnsTheFirst) {
    auto path =
        writePlist("ItemList.plist", NSDictionary::dictionaryWithEntries({{"ONE"_ns, definition("X", 1, true)},
                                                                          {"TWO"_ns, definition("Y", 2, false)}}));
    auto first = buildList(path, nullptr);
    auto second = buildList(path, nullptr);
    auto manager = DXTestModelManager::sharedInstrance();
    EXPECT_EQ(manager->testModels()->count(), 4u);
    auto found = manager->findTestModelWithKey("TWO"_ns);
    ASSERT_TRUE(found);
    EXPECT_EQ(found.get(), first->objectAtIndex(3).get());
    EXPECT_NE(found.get(), second->objectAtIndex(3).get());
    EXPECT_FALSE(manager->findTestModelWithKey("THREE"_ns));
    // The list's records are the catalogue's own objects.
    EXPECT_TRUE(manager->testModels()->containsObject(second->objectAtIndex(1)));
}

TEST_F(DXTestModelManagerTest, DefinitionsOfTheWrongShapeAreSkipped) {
    auto definitions = NSMutableDictionary::dictionary();
    definitions->setObjectForKey(definition("X", 1, false), "GOOD"_ns);
    definitions->setObjectForKey("not a definition"_ns, "BAD"_ns);
    auto list = buildList(writePlist("ItemList.plist", definitions), nullptr);
    EXPECT_EQ(keysOf(list), (std::vector<std::string>{"GOOD"}));
    EXPECT_TRUE(logged("is not a definition"));
}

// ---- The shipped resources ----

TEST_F(DXTestModelManagerTest, ShippedDefinitionsAreComplete) {
    auto bundle = NSBundle::mainBundle();
    auto itemList = bundle->pathForResourceOfType("ItemList"_ns, "plist"_ns);
    auto models = bundle->pathForResourceOfType("models"_ns, "plist"_ns);
    ASSERT_TRUE(itemList);
    ASSERT_TRUE(models);
    auto definitions = cast<NSDictionary>(NSPropertyListSerialization::propertyListWithDataOptionsFormatError(
        NSData::dataWithContentsOfFile(itemList), 0, nullptr, nullptr));
    ASSERT_TRUE(definitions);
    EXPECT_GE(definitions->count(), 60u);
    for (const auto& [key, value] : *definitions) {
        auto d = cast<NSDictionary>(value);
        ASSERT_TRUE(d) << NSDescription(key)->str();
        for (auto member : {"title", "message", "controller", "icon"}) {
            auto text = cast<NSString>(d->objectForKey(NSString::from(member)));
            ASSERT_TRUE(text && text->length() > 0) << NSDescription(key)->str() << " " << member;
        }
        EXPECT_TRUE(cast<NSNumber>(d->objectForKey("priority"_ns))) << NSDescription(key)->str();
        EXPECT_TRUE(cast<NSNumber>(d->objectForKey("auto"_ns))) << NSDescription(key)->str();
        // Every text key has an English text.
        for (auto member : {"title", "message"}) {
            auto textKey = cast<NSString>(d->objectForKey(NSString::from(member)));
            auto text = bundle->localizedStringForKeyValueTable(textKey, ""_ns, nullptr);
            EXPECT_FALSE(text->isEqualToString(textKey)) << textKey->str() << " has no English text";
        }
    }
    // The audit candidates are all defined, and the profile keys other Parts name.
    auto candidates = DXProfileManager::supportTestOfAuditOperator();
    for (const id& key : *candidates) {
        EXPECT_TRUE(definitions->objectForKey(key)) << NSDescription(key)->str();
    }
    EXPECT_TRUE(definitions->objectForKey("RF"_ns));

    // Every support row names defined tests only.
    auto rows = cast<NSDictionary>(NSPropertyListSerialization::propertyListWithDataOptionsFormatError(
        NSData::dataWithContentsOfFile(models), 0, nullptr, nullptr));
    ASSERT_TRUE(rows);
    for (const char* device : {"iphone10,3", "iphone7,2", "ipad7,5"}) {
        auto row = cast<NSDictionary>(rows->objectForKey(NSString::from(device)));
        ASSERT_TRUE(row) << device;
        auto keys = cast<NSDictionary>(row->objectForKey("keys"_ns));
        ASSERT_TRUE(keys) << device;
        for (const auto& [key, value] : *keys) {
            EXPECT_TRUE(definitions->objectForKey(key)) << device << " " << NSDescription(key)->str();
        }
    }
}

TEST_F(DXTestModelManagerTest, ShippedListOnEachDevice) {
    auto bundle = NSBundle::mainBundle();
    auto itemList = bundle->pathForResourceOfType("ItemList"_ns, "plist"_ns);
    auto models = bundle->pathForResourceOfType("models"_ns, "plist"_ns);
    struct Case {
        const char* profile;
        bool mute;
        std::vector<std::string> absent;
    } cases[] = {
        {"iPhone10,3", true, {"HOME_KEYS_TEST", "FINGERPRINT"}},
        {"iPhone7,2", true, {"FACEID", "FORCE_TOUCH_TEST"}}, // an iPhone 6 has a barometer
        {"iPad7,5", false, {"RF", "LIVECALL", "VIBRATION", "PROXIMITY_TEST"}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SimDevice::current().loadProfile(c.profile));
        auto list = buildList(itemList, models);
        auto keys = keysOf(list);
        EXPECT_GT(keys.size(), 40u) << c.profile;
        for (const auto& key : c.absent) {
            EXPECT_EQ(std::count(keys.begin(), keys.end(), key), 0) << c.profile << " " << key;
        }
        EXPECT_EQ(std::count(keys.begin(), keys.end(), "LOUDSPEAKER"), 1) << c.profile;
        auto record = cast<DXTestModel>(list->objectAtIndex(1));
        EXPECT_EQ(record->hasMute(), c.mute) << c.profile;
    }
}

TEST_F(DXTestModelManagerTest, CatalogueCanBeReadWhileABuildRuns) {
    auto definitions = NSMutableDictionary::dictionary();
    for (int i = 0; i < 200; ++i) {
        definitions->setObjectForKey(definition("X", i, i % 2 == 0), NSString::stringWithFormat("KEY_%d", i));
    }
    auto path = writePlist("ItemList.plist", definitions);
    auto manager = DXTestModelManager::sharedInstrance();
    bool done = false;
    manager->loadTestModelWithPlistSupportmodelCompletion(
        path, nullptr, [&](const Ref<NSArray>&, const Ref<NSError>&) { done = true; });
    // Read the catalogue on this thread while the build appends to it on a global queue.
    size_t reads = 0;
    EXPECT_TRUE(DispatchClock::advanceUntil(
        [&] {
            ++reads;
            auto snapshot = manager->testModels();
            manager->findTestModelWithKey("KEY_199"_ns);
            EXPECT_TRUE(snapshot->count() == 0 || snapshot->count() == 200);
            return done;
        },
        5.0));
    EXPECT_GT(reads, 0u);
    EXPECT_EQ(manager->testModels()->count(), 200u);
}
