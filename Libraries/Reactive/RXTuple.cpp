#include <Reactive/RXTuple.h>

#include <Foundation/NSNumber.h>
#include <Reactive/RXTupleNil.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXTuple, NSObject) {
    b.readonlyProperty("count", &RXTuple::count);
    b.readonlyProperty("first", &RXTuple::first);
    b.readonlyProperty("second", &RXTuple::second);
    b.readonlyProperty("third", &RXTuple::third);
    b.readonlyProperty("fourth", &RXTuple::fourth);
    b.readonlyProperty("fifth", &RXTuple::fifth);
    b.readonlyProperty("last", &RXTuple::last);
    b.readonlyProperty("allObjects", &RXTuple::allObjects);
    b.method("objectAtIndex:", &RXTuple::objectAtIndex);
    NSCodingRegister(b);
}

RXTuple::RXTuple() : backingArray_(NSArray::array()) {}

RXTuple::RXTuple(Ref<NSArray> backingArray)
    : backingArray_(backingArray ? std::move(backingArray) : NSArray::array()) {}

namespace {
const Ref<NSString>& backingArrayKey() {
    static const Ref<NSString> key = NSString::from("backingArray");
    return key;
}
} // namespace

RXTuple::RXTuple(NSCoder* coder) : RXTuple(cast<NSArray>(coder->decodeObjectForKey(backingArrayKey()))) {}

void RXTuple::encodeWithCoder(NSCoder* coder) {
    if (backingArray_) {
        coder->encodeObjectForKey(backingArray_, backingArrayKey());
    }
}

Ref<RXTuple> RXTuple::tupleWithObjectsFromArray(const Ref<NSArray>& array) {
    return tupleWithObjectsFromArrayConvertNullsToNils(array, false);
}

Ref<RXTuple> RXTuple::tupleWithObjectsFromArrayConvertNullsToNils(const Ref<NSArray>& array, bool convert) {
    if (!array) {
        return make<RXTuple>();
    }
    if (!convert) {
        return make<RXTuple>(cast<NSArray>(array->copy()));
    }
    std::vector<id> items;
    items.reserve(array->count());
    for (const id& item : *array) {
        items.push_back(cast<NSNull>(item) ? id(RXTupleNil::tupleNil()) : item);
    }
    return make<RXTuple>(make<NSArray>(std::move(items)));
}

Ref<RXTuple> RXTuple::tupleWithObjects(std::initializer_list<id> objects) {
    std::vector<id> items;
    items.reserve(objects.size());
    for (const id& object : objects) {
        items.push_back(RXTupleNil::wrap(object));
    }
    return make<RXTuple>(make<NSArray>(std::move(items)));
}

Ref<RXTuple> RXTuple::tupleWithObjectsFromVector(const std::vector<id>& objects) {
    std::vector<id> items;
    items.reserve(objects.size());
    for (const id& object : objects) {
        items.push_back(RXTupleNil::wrap(object));
    }
    return make<RXTuple>(make<NSArray>(std::move(items)));
}

NSUInteger RXTuple::count() const noexcept {
    return backingArray_->count();
}

id RXTuple::objectAtIndex(NSUInteger index) const {
    if (index >= backingArray_->count()) {
        return nullptr;
    }
    return RXTupleNil::unwrap(backingArray_->objects()[index]);
}

id RXTuple::last() const {
    NSUInteger n = count();
    return n == 0 ? id() : objectAtIndex(n - 1);
}

Ref<NSArray> RXTuple::allObjects() const {
    std::vector<id> items;
    items.reserve(count());
    for (const id& item : *backingArray_) {
        items.push_back(item.get() == RXTupleNil::tupleNil().get() ? id(NSNull::null()) : item);
    }
    return make<NSArray>(std::move(items));
}

std::vector<id> RXTuple::values() const {
    std::vector<id> items;
    items.reserve(count());
    for (const id& item : *backingArray_) {
        items.push_back(RXTupleNil::unwrap(item));
    }
    return items;
}

Ref<RXTuple> RXTuple::tupleByAddingObject(const id& object) const {
    std::vector<id> items = backingArray_->objects();
    items.push_back(RXTupleNil::wrap(object));
    auto tuple = cast<RXTuple>(getClass()->createInstance());
    if (!tuple) {
        tuple = make<RXTuple>();
    }
    tuple->backingArray_ = make<NSArray>(std::move(items));
    return tuple;
}

bool RXTuple::isEqual(const id& other) const {
    if (other.get() == this) {
        return true;
    }
    auto tuple = cast<RXTuple>(other);
    if (!tuple || !tuple->isKindOfClass(getClass())) {
        return false;
    }
    return backingArray_->isEqual(tuple->backingArray_);
}

NSUInteger RXTuple::hash() const {
    return backingArray_->hash();
}

Ref<NSString> RXTuple::description() const {
    return NSString::stringWithFormat("<%@: %p> %@", NSStringFromClass(getClass()), static_cast<const void*>(this),
                                      allObjects());
}

id RXTuple::copy() const {
    return id(const_cast<RXTuple*>(this));
}
