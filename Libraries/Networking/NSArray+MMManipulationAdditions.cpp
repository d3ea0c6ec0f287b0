#include <Networking/NSArray+MMManipulationAdditions.h>

id mm_firstObject(const Ref<NSArray>& self) {
    return self ? self->firstObject() : nullptr;
}

Ref<NSMutableArray> mm_arrayByRemovingObject(const Ref<NSArray>& self, const id& object) {
    auto result = self ? NSMutableArray::arrayWithArray(self) : NSMutableArray::array();
    result->removeObject(object);
    return result;
}

Ref<NSArray> mm_arrayByRemovingFirstObject(const Ref<NSArray>& self) {
    if (!self || self->count() == 0) {
        return self;
    }
    return self->subarrayWithRange(NSRange{1, self->count() - 1});
}

Ref<NSArray> mm_arrayByRemovingLastObject(const Ref<NSArray>& self) {
    if (!self || self->count() == 0) {
        return self;
    }
    return self->subarrayWithRange(NSRange{0, self->count() - 1});
}
