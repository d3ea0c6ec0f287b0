// UILocalNotification: a notification the application schedules for itself.
#pragma once

#include <Foundation/NSDate.h>
#include <Foundation/NSDictionary.h>

class UILocalNotification : public NSObject {
    NS_OBJECT(UILocalNotification, NSObject)
public:
    UILocalNotification() = default;

    NS_PROPERTY(Ref<NSDate>, fireDate, setFireDate)
    NS_PROPERTY(Ref<NSString>, alertBody, setAlertBody)
    NS_PROPERTY(Ref<NSString>, alertTitle, setAlertTitle)
    NS_PROPERTY(Ref<NSString>, alertAction, setAlertAction)
    NS_PROPERTY(Ref<NSString>, soundName, setSoundName)
    NS_PROPERTY(Ref<NSDictionary>, userInfo, setUserInfo)
    NS_PROPERTY(NSInteger, applicationIconBadgeNumber, setApplicationIconBadgeNumber)
    NS_PROPERTY(Ref<NSString>, category, setCategory)

    Ref<NSString> description() const override;
};

// The sound played for a notification when none is named.
const Ref<NSString>& UILocalNotificationDefaultSoundName();
