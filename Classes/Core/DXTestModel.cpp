#include <Core/DXTestModel.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>

const Ref<NSString>& DXSubTestNotTest() {
    static const Ref<NSString> s = "NOT_TEST"_ns;
    return s;
}
const Ref<NSString>& DXSubTestSuccess() {
    static const Ref<NSString> s = "SUCCESS"_ns;
    return s;
}
const Ref<NSString>& DXSubTestFail() {
    static const Ref<NSString> s = "FAIL"_ns;
    return s;
}
const Ref<NSString>& DXSubTestRemoved() {
    static const Ref<NSString> s = "REMOVED"_ns;
    return s;
}
const Ref<NSString>& DXSubTestUnknown() {
    static const Ref<NSString> s = "UNKNOWN"_ns;
    return s;
}
const Ref<NSString>& DXSubTestNA() {
    static const Ref<NSString> s = "NA"_ns;
    return s;
}

namespace {

Ref<NSString> copyString(const Ref<NSString>& s) {
    return s ? cast<NSString>(s->copy()) : nullptr;
}

Ref<NSMutableDictionary> shallowMutableCopy(const Ref<NSMutableDictionary>& d) {
    return d ? NSMutableDictionary::dictionaryWithDictionary(d) : nullptr;
}

Ref<NSString> decodeString(NSCoder* coder, const char* key) {
    return cast<NSString>(coder->decodeObjectOfClassForKey(NSString::class_(), NSString::from(key)));
}

// A dictionary of property-list values; it comes back mutable only when it was archived as such.
Ref<NSMutableDictionary> decodeMutableDictionary(NSCoder* coder, const char* key) {
    static const std::vector<Class> classes = {NSDictionary::class_(), NSArray::class_(), NSString::class_(),
                                               NSNumber::class_(),     NSData::class_(),  NSDate::class_(),
                                               NSNull::class_()};
    return cast<NSMutableDictionary>(coder->decodeObjectOfClassesForKey(classes, NSString::from(key)));
}

} // namespace

DXTestModel::DXTestModel(const Ref<NSString>& title) {
    title_ = title;
}

DXTestModel::DXTestModel(NSCoder* coder) {
    title_ = decodeString(coder, "title");
    icon_ = decodeString(coder, "icon");
    instruction_ = decodeString(coder, "instruction");
    question_ = decodeString(coder, "question");
    controllerName_ = decodeString(coder, "controllerName");
    profilekey_ = decodeString(coder, "profilekey");
    waitingTime_ = coder->decodeIntegerForKey("waitingTime"_ns);
    timeout_ = coder->decodeIntegerForKey("timeout"_ns);
    showInstruction_ = coder->decodeBoolForKey("showInstruction"_ns);
    showTestFailedScreen_ = coder->decodeBoolForKey("showTestFailedScreen"_ns);
    params_ = decodeMutableDictionary(coder, "params");
    selected_ = coder->decodeBoolForKey("selected"_ns);
    result_ = coder->decodeIntegerForKey("result"_ns);
    isAuto_ = coder->decodeIntegerForKey("isAuto"_ns) != 0;
    hasMute_ = coder->decodeBoolForKey("hasMute"_ns);
    order_ = coder->decodeIntegerForKey("order"_ns);
    subTestItemsResult_ = decodeMutableDictionary(coder, "subTestItemsResult");
    fakeTest_ = coder->decodeBoolForKey("fakeTest"_ns);
    orignalKey_ = decodeString(coder, "orignalKey");
}

Ref<DXTestModel> DXTestModel::testWithTitleHandler(const Ref<NSString>& title,
                                                   const std::function<void(const Ref<DXTestModel>&)>& handler) {
    auto model = make<DXTestModel>(title);
    if (handler) {
        handler(model);
    }
    return model;
}

void DXTestModel::encodeWithCoder(NSCoder* coder) {
    coder->encodeObjectForKey(title_, "title"_ns);
    coder->encodeObjectForKey(icon_, "icon"_ns);
    coder->encodeObjectForKey(instruction_, "instruction"_ns);
    coder->encodeObjectForKey(question_, "question"_ns);
    coder->encodeObjectForKey(controllerName_, "controllerName"_ns);
    coder->encodeObjectForKey(profilekey_, "profilekey"_ns);
    coder->encodeIntegerForKey(waitingTime_, "waitingTime"_ns);
    coder->encodeIntegerForKey(timeout_, "timeout"_ns);
    coder->encodeBoolForKey(showInstruction_, "showInstruction"_ns);
    coder->encodeBoolForKey(showTestFailedScreen_, "showTestFailedScreen"_ns);
    coder->encodeObjectForKey(params_, "params"_ns);
    coder->encodeBoolForKey(selected_, "selected"_ns);
    coder->encodeIntegerForKey(result_, "result"_ns);
    coder->encodeIntegerForKey(isAuto_ ? 1 : 0, "isAuto"_ns);
    coder->encodeBoolForKey(hasMute_, "hasMute"_ns);
    coder->encodeIntegerForKey(order_, "order"_ns);
    coder->encodeObjectForKey(subTestItemsResult_, "subTestItemsResult"_ns);
    coder->encodeBoolForKey(fakeTest_, "fakeTest"_ns);
    coder->encodeObjectForKey(orignalKey_, "orignalKey"_ns);
}

void DXTestModel::copyInto(DXTestModel& target) const {
    target.title_ = copyString(title_);
    target.icon_ = copyString(icon_);
    target.instruction_ = copyString(instruction_);
    target.question_ = copyString(question_);
    target.controllerName_ = copyString(controllerName_);
    target.profilekey_ = copyString(profilekey_);
    target.waitingTime_ = waitingTime_;
    target.timeout_ = timeout_;
    target.showInstruction_ = showInstruction_;
    target.showTestFailedScreen_ = showTestFailedScreen_;
    target.params_ = shallowMutableCopy(params_);
    target.selected_ = selected_;
    target.result_ = result_;
    target.isAuto_ = isAuto_;
    target.hasMute_ = hasMute_;
    target.order_ = order_;
    target.subTestItemsResult_ = shallowMutableCopy(subTestItemsResult_);
    target.fakeTest_ = fakeTest_;
    target.orignalKey_ = orignalKey_;
}

id DXTestModel::copy() const {
    // A record of the receiver's class, so that a subclass copies as itself.
    auto target = cast<DXTestModel>(getClass()->createInstance());
    if (!target) {
        target = make<DXTestModel>();
    }
    copyInto(*target);
    return target;
}

Ref<NSString> DXTestModel::description() const {
    return NSString::stringWithFormat("item - %@ %ld", title_, static_cast<long>(result_));
}

NS_IMPLEMENT_CLASS(DXTestModel, NSObject) {
    NSCodingRegister(b);
    b.property("title", &DXTestModel::title, &DXTestModel::setTitle);
    b.property("icon", &DXTestModel::icon, &DXTestModel::setIcon);
    b.property("instruction", &DXTestModel::instruction, &DXTestModel::setInstruction);
    b.property("question", &DXTestModel::question, &DXTestModel::setQuestion);
    b.property("controllerName", &DXTestModel::controllerName, &DXTestModel::setControllerName);
    b.property("profilekey", &DXTestModel::profilekey, &DXTestModel::setProfilekey);
    b.property("waitingTime", &DXTestModel::waitingTime, &DXTestModel::setWaitingTime);
    b.property("timeout", &DXTestModel::timeout, &DXTestModel::setTimeout);
    b.property("showInstruction", &DXTestModel::showInstruction, &DXTestModel::setShowInstruction);
    b.property("showTestFailedScreen", &DXTestModel::showTestFailedScreen, &DXTestModel::setShowTestFailedScreen);
    b.property("params", &DXTestModel::params, &DXTestModel::setParams);
    b.property("selected", &DXTestModel::selected, &DXTestModel::setSelected);
    b.property("result", &DXTestModel::result, &DXTestModel::setResult);
    b.property("isAuto", &DXTestModel::isAuto, &DXTestModel::setIsAuto);
    b.property("hasMute", &DXTestModel::hasMute, &DXTestModel::setHasMute);
    b.property("order", &DXTestModel::order, &DXTestModel::setOrder);
    b.property("subTestItemsResult", &DXTestModel::subTestItemsResult, &DXTestModel::setSubTestItemsResult);
    b.property("fakeTest", &DXTestModel::fakeTest, &DXTestModel::setFakeTest);
    b.property("orignalKey", &DXTestModel::orignalKey, &DXTestModel::setOrignalKey);
}
