#include <Categorys/NSObject+AssociatedObject.h>

namespace {
const char kAssociatedObjectKey = 0;
}

void setAssociatedObject(const id& receiver, const id& object) {
    if (receiver) {
        receiver->setAssociatedObject(&kAssociatedObjectKey, object, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
}

id associatedObject(const id& receiver) {
    return receiver ? receiver->associatedObject(&kAssociatedObjectKey) : nullptr;
}
