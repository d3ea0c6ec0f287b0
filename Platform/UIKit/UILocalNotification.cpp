#include <Runtime/ClassBuilder.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UILocalNotification.h>

UIKIT_STRING_CONSTANT(UILocalNotificationDefaultSoundName)

NS_IMPLEMENT_CLASS(UILocalNotification, NSObject) {
    b.property("fireDate", &UILocalNotification::fireDate, &UILocalNotification::setFireDate);
    b.property("alertBody", &UILocalNotification::alertBody, &UILocalNotification::setAlertBody);
    b.property("alertTitle", &UILocalNotification::alertTitle, &UILocalNotification::setAlertTitle);
    b.property("alertAction", &UILocalNotification::alertAction, &UILocalNotification::setAlertAction);
    b.property("soundName", &UILocalNotification::soundName, &UILocalNotification::setSoundName);
    b.property("userInfo", &UILocalNotification::userInfo, &UILocalNotification::setUserInfo);
    b.property("applicationIconBadgeNumber", &UILocalNotification::applicationIconBadgeNumber,
               &UILocalNotification::setApplicationIconBadgeNumber);
    b.property("category", &UILocalNotification::category, &UILocalNotification::setCategory);
}

Ref<NSString> UILocalNotification::description() const {
    return NSString::stringWithFormat("<UILocalNotification: %p>{fire date = %@, alert body = %@}",
                                      static_cast<const void*>(this), fireDate_, alertBody_);
}
