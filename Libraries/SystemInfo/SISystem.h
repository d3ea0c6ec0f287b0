// SISystem: the answers of the other information classes gathered into dictionaries, one per class
// and one holding them all. Every call reads everything again (and has the side effects of the
// operations it calls); an answer that is nil leaves its key out.
#pragma once

#include <Foundation/NSDictionary.h>

class SISystem : public NSObject {
    NS_OBJECT(SISystem, NSObject)
public:
    static Ref<NSMutableDictionary> systemInformations();
    static Ref<NSMutableDictionary> batteryInformations();
    static Ref<NSMutableDictionary> diskInformations();
    static Ref<NSMutableDictionary> hardwareInformations();
    static Ref<NSMutableDictionary> jailbreakInformations();
    static Ref<NSMutableDictionary> localizationInformations();
    static Ref<NSMutableDictionary> memoryInformations();
    static Ref<NSMutableDictionary> networkInformations();
    static Ref<NSMutableDictionary> processorInformations();
    static Ref<NSMutableDictionary> carrierInformations();
    static Ref<NSMutableDictionary> accessoryInformations();
};
