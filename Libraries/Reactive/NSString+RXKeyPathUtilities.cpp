#include <Reactive/NSString+RXKeyPathUtilities.h>

#include <vector>

Ref<NSArray> rx_keyPathComponents(const Ref<NSString>& keyPath) {
    if (!keyPath || keyPath->str().empty()) {
        return nullptr;
    }
    const std::string& path = keyPath->str();
    std::vector<id> components;
    size_t start = 0;
    for (;;) {
        size_t dot = path.find('.', start);
        components.push_back(NSString::from(path.substr(start, dot == std::string::npos ? dot : dot - start)));
        if (dot == std::string::npos) {
            break;
        }
        start = dot + 1;
    }
    return NSArray::arrayWithVector(std::move(components));
}

Ref<NSString> rx_keyPathByDeletingLastKeyPathComponent(const Ref<NSString>& keyPath) {
    if (!keyPath) {
        return nullptr;
    }
    size_t dot = keyPath->str().rfind('.');
    if (dot == std::string::npos) {
        return nullptr;
    }
    return NSString::from(keyPath->str().substr(0, dot));
}

Ref<NSString> rx_keyPathByDeletingFirstKeyPathComponent(const Ref<NSString>& keyPath) {
    if (!keyPath) {
        return nullptr;
    }
    size_t dot = keyPath->str().find('.');
    if (dot == std::string::npos) {
        return nullptr;
    }
    return NSString::from(keyPath->str().substr(dot + 1));
}
