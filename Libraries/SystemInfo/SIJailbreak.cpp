#include <SystemInfo/SIJailbreak.h>

#include <Darwin/Darwin.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(SIJailbreak, NSObject) {}

bool SIJailbreak::isJailbroken() {
    // The device's own file system, never the host's.
    FILE* file = darwin::fopen("/bin/bash", "r");
    if (!file) {
        return false;
    }
    darwin::fclose(file);
    return true;
}
