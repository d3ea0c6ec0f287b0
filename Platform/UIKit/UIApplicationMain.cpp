#include <Foundation/NSDictionary.h>
#include <Foundation/NSRunLoop.h>
#include <UIKit/UIApplication.h>

int UIApplicationMain(int, char*[], const Ref<NSString>& principalClassName, const Ref<NSString>& delegateClassName) {
    UIApplicationLaunch(principalClassName, delegateClassName, nullptr);
    NSRunLoop::mainRunLoop()->run();
    return 0;
}
