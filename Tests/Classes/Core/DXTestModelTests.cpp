#include <Core/DXSectionModel.h>
#include <Core/DXTestModel.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSNumber.h>

#include <gtest/gtest.h>

namespace {

Ref<DXTestModel> fullRecord() {
    auto m = make<DXTestModel>("Loudspeaker"_ns);
    m->setIcon("icon_loudspeaker"_ns);
    m->setInstruction("Listen"_ns);
    m->setQuestion("Heard it?"_ns);
    m->setControllerName("LouderSpeakerViewController"_ns);
    m->setProfilekey("LOUDSPEAKER"_ns);
    m->setWaitingTime(-1);
    m->setTimeout(45);
    m->setShowInstruction(true);
    m->setShowTestFailedScreen(true);
    auto params = NSMutableDictionary::dictionary();
    params->setObjectForKey(NSArray::arrayWithObjects({"A"_ns, "B"_ns}), "subtests"_ns);
    params->setObjectForKey(NSDictionary::dictionaryWithEntries({{"timeout"_ns, box(12)}}), "extra"_ns);
    m->setParams(params);
    m->setSelected(true);
    m->setResult(DXTestResultFail);
    m->setIsAuto(true);
    m->setHasMute(true);
    m->setOrder(7);
    auto subs = NSMutableDictionary::dictionary();
    subs->setObjectForKey(DXSubTestSuccess(), "A"_ns);
    subs->setObjectForKey(DXSubTestFail(), "B"_ns);
    m->setSubTestItemsResult(subs);
    m->setFakeTest(true);
    m->setOrignalKey("VIBRATION"_ns);
    return m;
}

Ref<DXTestModel> roundTrip(const Ref<DXTestModel>& model) {
    Ref<NSError> error;
    auto data = NSKeyedArchiver::archivedDataWithRootObjectRequiringSecureCodingError(model, true, &error);
    EXPECT_TRUE(data) << NSDescription(error)->str();
    auto back =
        cast<DXTestModel>(NSKeyedUnarchiver::unarchivedObjectOfClassFromDataError(DXTestModel::class_(), data, &error));
    EXPECT_TRUE(back) << NSDescription(error)->str();
    return back;
}

// A coder over a plain dictionary, standing in for an archive that holds only some keys.
class DictionaryCoder : public NSCoder {
    NS_OBJECT(DictionaryCoder, NSCoder)
public:
    explicit DictionaryCoder(Ref<NSDictionary> values) : values_(std::move(values)) {}
    bool containsValueForKey(const Ref<NSString>& key) const override { return values_->objectForKey(key) != nullptr; }
    id decodeObjectForKey(const Ref<NSString>& key) override { return values_->objectForKey(key); }
    id decodeObjectOfClassesForKey(const std::vector<Class>& classes, const Ref<NSString>& key) override {
        id value = values_->objectForKey(key);
        for (Class cls : classes) {
            if (value && value->isKindOfClass(cls)) {
                return value;
            }
        }
        return nullptr;
    }
    bool decodeBoolForKey(const Ref<NSString>& key) override { return unbox<bool>(values_->objectForKey(key)); }
    int64_t decodeInt64ForKey(const Ref<NSString>& key) override { return unbox<int64_t>(values_->objectForKey(key)); }
    double decodeDoubleForKey(const Ref<NSString>& key) override { return unbox<double>(values_->objectForKey(key)); }

private:
    Ref<NSDictionary> values_;
};

} // namespace

NS_IMPLEMENT_CLASS(DictionaryCoder, NSCoder) {}

TEST(DXTestModel, FreshRecordIsEmpty) {
    auto m = make<DXTestModel>();
    EXPECT_FALSE(m->title());
    EXPECT_FALSE(m->params());
    EXPECT_FALSE(m->subTestItemsResult());
    EXPECT_EQ(m->waitingTime(), 0);
    EXPECT_EQ(m->timeout(), 0);
    EXPECT_EQ(m->result(), DXTestResultNotRun);
    EXPECT_FALSE(m->selected());
    EXPECT_FALSE(m->fakeTest());

    auto titled = make<DXTestModel>("Battery"_ns);
    EXPECT_TRUE(titled->title()->isEqualToString("Battery"_ns));
    EXPECT_FALSE(titled->icon());
}

TEST(DXTestModel, ArchiveRoundTripKeepsEveryField) {
    auto m = fullRecord();
    auto back = roundTrip(m);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->title()->isEqualToString(m->title()));
    EXPECT_TRUE(back->icon()->isEqualToString(m->icon()));
    EXPECT_TRUE(back->instruction()->isEqualToString(m->instruction()));
    EXPECT_TRUE(back->question()->isEqualToString(m->question()));
    EXPECT_TRUE(back->controllerName()->isEqualToString(m->controllerName()));
    EXPECT_TRUE(back->profilekey()->isEqualToString(m->profilekey()));
    EXPECT_EQ(back->waitingTime(), -1);
    EXPECT_EQ(back->timeout(), 45);
    EXPECT_TRUE(back->showInstruction());
    EXPECT_TRUE(back->showTestFailedScreen());
    EXPECT_TRUE(back->params()->isEqual(m->params()));
    EXPECT_TRUE(back->selected());
    EXPECT_EQ(back->result(), DXTestResultFail);
    EXPECT_TRUE(back->isAuto());
    EXPECT_TRUE(back->hasMute());
    EXPECT_EQ(back->order(), 7);
    EXPECT_TRUE(back->subTestItemsResult()->isEqual(m->subTestItemsResult()));
    EXPECT_TRUE(back->fakeTest());
    EXPECT_TRUE(back->orignalKey()->isEqualToString("VIBRATION"_ns));
    // The dictionaries come back mutable, so screens can keep writing sub-results.
    back->subTestItemsResult()->setObjectForKey(DXSubTestNA(), "A"_ns);
}

TEST(DXTestModel, ArchiveWithoutKeysGivesDefaults) {
    auto coder = make<DictionaryCoder>(NSDictionary::dictionaryWithEntries({
        {"title"_ns, "Only a title"_ns},
        {"isAuto"_ns, box(5)}, // any integer other than 0 reads as YES
        {"icon"_ns, box(3)},   // an entry of the wrong class reads as nil
        {"params"_ns, "not a dictionary"_ns},
    }));
    auto m = make<DXTestModel>(coder.get());
    EXPECT_TRUE(m->title()->isEqualToString("Only a title"_ns));
    EXPECT_TRUE(m->isAuto());
    EXPECT_FALSE(m->icon());
    EXPECT_FALSE(m->params());
    EXPECT_FALSE(m->profilekey());
    EXPECT_FALSE(m->subTestItemsResult());
    EXPECT_EQ(m->timeout(), 0);
    EXPECT_EQ(m->result(), 0);
    EXPECT_FALSE(m->showInstruction());
    EXPECT_FALSE(m->fakeTest());
}

TEST(DXTestModel, NilDictionariesArchiveAndCopy) {
    auto m = make<DXTestModel>("Plain"_ns);
    auto back = roundTrip(m);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->params());
    EXPECT_FALSE(back->subTestItemsResult());
    auto copy = cast<DXTestModel>(m->copy());
    ASSERT_TRUE(copy);
    EXPECT_FALSE(copy->params());
    EXPECT_FALSE(copy->subTestItemsResult());
}

TEST(DXTestModel, CopyIsIndependentButSharesOriginalKey) {
    auto m = fullRecord();
    auto copy = cast<DXTestModel>(m->copy());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), m.get());
    EXPECT_TRUE(copy->isMemberOfClass(DXTestModel::class_()));
    EXPECT_EQ(copy->orignalKey().get(), m->orignalKey().get());
    EXPECT_EQ(copy->result(), m->result());
    EXPECT_EQ(copy->selected(), m->selected());
    EXPECT_EQ(copy->order(), 7);
    EXPECT_TRUE(copy->title()->isEqualToString(m->title()));

    copy->subTestItemsResult()->setObjectForKey(DXSubTestNotTest(), "A"_ns);
    copy->params()->setObjectForKey("x"_ns, "direction"_ns);
    EXPECT_TRUE(cast<NSString>(m->subTestItemsResult()->objectForKey("A"_ns))->isEqualToString(DXSubTestSuccess()));
    EXPECT_FALSE(m->params()->objectForKey("direction"_ns));
    // Shallow: the values themselves are shared.
    EXPECT_EQ(copy->params()->objectForKey("extra"_ns).get(), m->params()->objectForKey("extra"_ns).get());
}

TEST(DXTestModel, DescribesItselfByTitleAndResult) {
    auto m = make<DXTestModel>("Touch screen"_ns);
    m->setResult(3);
    EXPECT_EQ(m->description()->str(), "item - Touch screen 3");
    EXPECT_EQ(m->debugDescription()->str(), "item - Touch screen 3");
}

TEST(DXTestModel, KeyValueCodingReachesEveryField) {
    auto m = make<DXTestModel>();
    m->setValueForKey(box(30), "timeout"_ns);
    m->setValueForKey(box(25), "waitingTime"_ns);
    m->setValueForKey(box(true), "showInstruction"_ns);
    EXPECT_EQ(m->timeout(), 30);
    EXPECT_EQ(m->waitingTime(), 25);
    EXPECT_TRUE(m->showInstruction());

    auto section = make<DXSectionModel>();
    section->setValueForKey(box(1), "type"_ns);
    EXPECT_EQ(section->type(), DXSectionTypeManual);
}

TEST(DXTestModel, BuilderHandsTheRecordToTheBlock) {
    Ref<DXTestModel> seen;
    auto m = DXTestModel::testWithTitleHandler("GPS"_ns, [&](const Ref<DXTestModel>& r) {
        seen = r;
        r->setIcon("icon_gps"_ns);
    });
    EXPECT_EQ(seen.get(), m.get());
    EXPECT_TRUE(m->icon()->isEqualToString("icon_gps"_ns));
}
