// DXTestModel: the record of one test — what it is called and shows, which screen runs it, which
// profile key it answers to, its time limits and flags, its parameters and its outcome. Plain data:
// it copies, archives and describes itself and does nothing else.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSString.h>

#include <functional>

// The result code of a record.
enum DXTestResult : NSInteger {
    DXTestResultNotRun = 0,
    DXTestResultPass = 1,
    DXTestResultFail = 2,
    DXTestResultTimeout = 3, // ended by a time-out or a sensor error
};

// Sub-test statuses (values of subTestItemsResult).
const Ref<NSString>& DXSubTestNotTest(); // "NOT_TEST"
const Ref<NSString>& DXSubTestSuccess(); // "SUCCESS"
const Ref<NSString>& DXSubTestFail();    // "FAIL"
const Ref<NSString>& DXSubTestRemoved(); // "REMOVED"
const Ref<NSString>& DXSubTestUnknown(); // "UNKNOWN"
const Ref<NSString>& DXSubTestNA();      // "NA"

class DXTestModel : public NSObject, public NSSecureCoding {
    NS_OBJECT(DXTestModel, NSObject)
public:
    // Every object field nil, every number 0, every flag NO.
    DXTestModel() = default;
    // `initWithTitle:`.
    explicit DXTestModel(const Ref<NSString>& title);
    // `initWithCoder:`: reads the entries that encodeWithCoder writes; an absent key, or an entry of
    // an unexpected class, gives nil, 0 or NO.
    explicit DXTestModel(NSCoder* coder);

    // `testWithTitle:handler:`: a record with the title, handed to the block before it is returned.
    static Ref<DXTestModel> testWithTitleHandler(const Ref<NSString>& title,
                                                 const std::function<void(const Ref<DXTestModel>&)>& handler);

    NS_PROPERTY(Ref<NSString>, title, setTitle)
    NS_PROPERTY(Ref<NSString>, icon, setIcon)
    NS_PROPERTY(Ref<NSString>, instruction, setInstruction)
    NS_PROPERTY(Ref<NSString>, question, setQuestion)
    NS_PROPERTY(Ref<NSString>, controllerName, setControllerName)
    NS_PROPERTY(Ref<NSString>, profilekey, setProfilekey)
    NS_PROPERTY(NSInteger, waitingTime, setWaitingTime)
    NS_PROPERTY(NSInteger, timeout, setTimeout)
    NS_PROPERTY(bool, showInstruction, setShowInstruction)
    NS_PROPERTY(bool, showTestFailedScreen, setShowTestFailedScreen)
    NS_PROPERTY(Ref<NSMutableDictionary>, params, setParams)
    NS_PROPERTY(bool, selected, setSelected)
    NS_PROPERTY(NSInteger, result, setResult)
    NS_PROPERTY(bool, isAuto, setIsAuto)
    NS_PROPERTY(bool, hasMute, setHasMute)
    NS_PROPERTY(NSInteger, order, setOrder)
    NS_PROPERTY(Ref<NSMutableDictionary>, subTestItemsResult, setSubTestItemsResult)
    NS_PROPERTY(bool, fakeTest, setFakeTest)
    NS_PROPERTY(Ref<NSString>, orignalKey, setOrignalKey)

    // `copyWithZone:`: a new record of the receiver's class; strings copied (orignalKey shared),
    // scalars as they are, params and subTestItemsResult as new mutable dictionaries holding the same
    // values.
    id copy() const override;
    // `encodeWithCoder:`: one entry per field, keyed by the field's name, in declaration order.
    void encodeWithCoder(NSCoder* coder) override;

    // "item - <title> <result>".
    Ref<NSString> description() const override;
    Ref<NSString> debugDescription() const override { return description(); }

protected:
    // Fills `target` (a fresh record of the receiver's class) as copy() describes.
    void copyInto(DXTestModel& target) const;
};
