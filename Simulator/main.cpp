// The simulator: boots the platform stand-in on a simulated device.
#include <Foundation/Foundation.h>

#include <cstdio>

int main(int argc, char** argv) {
    auto classes = objc_copyClassList();
    auto name = NSStringFromClass(NSClassFromString("NSObject"));
    std::printf("Celvix device diagnostics simulator\n");
    std::printf("platform: %s runtime with %zu classes registered\n", name->UTF8String(), classes.size());
    return 0;
}
