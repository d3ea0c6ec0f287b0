// TestBaseModel: a plain record of one test item, filled from a dictionary by key-value coding.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

class TestBaseModel : public NSObject {
    NS_OBJECT(TestBaseModel, NSObject)
public:
    TestBaseModel() = default;
    // `initWithProperties:`: each key sets the property of that name (numbers convert to the flag
    // and integer properties). A key that names no property raises NSUndefinedKeyException.
    explicit TestBaseModel(const Ref<NSDictionary>& properties);

    // `+customClassWithProperties:`: an instance of `cls` (TestBaseModel or a subclass) made from
    // the dictionary.
    static Ref<TestBaseModel> customClassWithProperties(Class cls, const Ref<NSDictionary>& properties);
    // `initWithProperties:` on an already made instance.
    void setProperties(const Ref<NSDictionary>& properties);

    // `+info`: nil. `-runTest`: nothing.
    static id info() { return nullptr; }
    virtual void runTest() {}

    NS_PROPERTY(Ref<NSString>, name, setName)
    NS_PROPERTY(Ref<NSString>, title, setTitle)
    NS_PROPERTY(Ref<NSString>, message, setMessage)
    NS_PROPERTY(Ref<NSString>, icon, setIcon)
    NS_PROPERTY(bool, selected, setSelected)
    NS_PROPERTY(bool, isAuto, setIsAuto)
    NS_PROPERTY(NSInteger, success, setSuccess)
    NS_PROPERTY(NSInteger, endTestCode, setEndTestCode)
    NS_PROPERTY(NSInteger, lastCode, setLastCode)
    NS_PROPERTY(Ref<NSString>, direction, setDirection)
    NS_PROPERTY(Ref<NSString>, color, setColor)
    NS_PROPERTY(Ref<NSString>, profile, setProfile)
    NS_PROPERTY(Ref<NSMutableDictionary>, header, setHeader)
};
