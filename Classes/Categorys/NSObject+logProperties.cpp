#include <Categorys/NSObject+logProperties.h>

#include <Foundation/NSLog.h>
#include <Foundation/NSString.h>

void logProperties(const id& receiver) {
    if (!receiver) {
        return;
    }
    NSLog("----------------------------------------------- Properties for object %@", receiver);
    for (const ObjCProperty* property : class_copyPropertyList(receiver->getClass())) {
        auto name = NSString::from(property_getName(property));
        NSLog("Property %@ Value: %@", name, receiver->valueForKey(name));
    }
    NSLog("-----------------------------------------------");
}
