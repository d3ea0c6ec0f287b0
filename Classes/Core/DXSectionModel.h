// DXSectionModel: the header of one section of the test list.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSString.h>

// Section kinds.
enum DXSectionType : NSInteger {
    DXSectionTypeAuto = 0,
    DXSectionTypeManual = 1,
};

class DXSectionModel : public NSObject {
    NS_OBJECT(DXSectionModel, NSObject)
public:
    DXSectionModel() = default;

    NS_PROPERTY(Ref<NSString>, label, setLabel)             // section title
    NS_PROPERTY(Ref<NSString>, buttontitle, setButtontitle) // title of the select-all button
    NS_PROPERTY(Ref<NSArray>, list, setList)                // the section's DXTestModel records
    NS_PROPERTY(NSInteger, type, setType)                   // DXSectionType
};
