#include "ModelFixtures.h"

#include <Foundation/NSCharacterSet.h>

NS_IMPLEMENT_CLASS(MMTestAddress, MMModel) {
    b.property("street", &MMTestAddress::street, &MMTestAddress::setStreet, "copy");
    b.property("city", &MMTestAddress::city, &MMTestAddress::setCity, "copy");
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

Ref<NSDictionary> MMTestAddress::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries({{"street"_ns, "street"_ns}, {"city"_ns, "location.city"_ns}});
}

NS_IMPLEMENT_CLASS(MMTestUser, MMModel) {
    b.property("name", &MMTestUser::name, &MMTestUser::setName, "copy");
    b.property("count", &MMTestUser::count, &MMTestUser::setCount);
    b.property("active", &MMTestUser::active, &MMTestUser::setActive);
    b.property("homepage", &MMTestUser::homepage, &MMTestUser::setHomepage);
    b.property("score", &MMTestUser::score, &MMTestUser::setScore);
    b.property("address", &MMTestUser::address, &MMTestUser::setAddress);
    b.property("places", &MMTestUser::places, &MMTestUser::setPlaces);
    b.method("mergeNameFromModel:", &MMTestUser::mergeNameFromModel);
    b.classMethod("placesJSONTransformer",
                  []() { return MMJSONAdapter::arrayTransformerWithModelClass(MMTestAddress::class_()); });
    MMAddValidationMethod(b, "name", [](MMTestUser*, id& value, Ref<NSError>* error) {
        auto text = cast<NSString>(value);
        if (!text) {
            if (error) {
                *error = make<NSError>(
                    "MMTestErrorDomain"_ns, 7,
                    NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), "A user needs a name"_ns}}));
            }
            return false;
        }
        if (text->hasPrefix(" "_ns)) {
            value = text->stringByTrimmingCharactersInSet(NSCharacterSet::whitespaceCharacterSet());
        }
        return true;
    });
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

Ref<NSDictionary> MMTestUser::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries({{"name"_ns, "user.name"_ns},
                                                {"count"_ns, "count"_ns},
                                                {"active"_ns, "active"_ns},
                                                {"homepage"_ns, "homepage"_ns},
                                                {"score"_ns, "score"_ns},
                                                {"address"_ns, "address"_ns},
                                                {"places"_ns, "places"_ns}});
}

void MMTestUser::mergeNameFromModel(const Ref<MMModel>& other) {
    ++nameMerges;
    if (auto user = cast<MMTestUser>(other)) {
        setName(NSString::stringWithFormat("%@+%@", name(), user->name()));
    }
}

NS_IMPLEMENT_CLASS(MMTestUserSubclass, MMTestUser) {
    MMModelRegister(b);
}

NS_IMPLEMENT_CLASS(MMTestStorage, MMModel) {
    b.property("identifier", &MMTestStorage::identifier, &MMTestStorage::setIdentifier, "readonly,copy");
    b.property("title", &MMTestStorage::title, &MMTestStorage::setTitle);
    b.property("owner", &MMTestStorage::owner, &MMTestStorage::setOwner, "weak");
    b.readonlyProperty("shout", &MMTestStorage::shout);
    MMModelRegister(b);
}

Ref<NSString> MMTestStorage::shout() const {
    return title_ ? title_->uppercaseString() : nullptr;
}

NS_IMPLEMENT_CLASS(MMTestArchiveV1, MMModel) {
    b.property("text", &MMTestArchiveV1::text, &MMTestArchiveV1::setText);
    b.property("amount", &MMTestArchiveV1::amount, &MMTestArchiveV1::setAmount);
    MMModelRegister(b);
}

NS_IMPLEMENT_CLASS(MMTestArchiveV2, MMTestArchiveV1) {
    MMModelRegister(b);
}

NS_IMPLEMENT_CLASS(MMTestSecure, MMModel) {
    b.property("text", &MMTestSecure::text, &MMTestSecure::setText);
    b.property("number", &MMTestSecure::number, &MMTestSecure::setNumber);
    MMModelRegister(b);
}

NS_IMPLEMENT_CLASS(MMTestSecureAny, MMModel) {
    b.property("anything", &MMTestSecureAny::anything, &MMTestSecureAny::setAnything);
    MMModelRegister(b);
}

NS_IMPLEMENT_CLASS(MMTestBadMapping, MMModel) {
    b.property("text", &MMTestBadMapping::text, &MMTestBadMapping::setText);
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

Ref<NSDictionary> MMTestBadMapping::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries({{"text"_ns, "text"_ns}, {"missing"_ns, "missing"_ns}});
}

NS_IMPLEMENT_CLASS(MMTestShape, MMModel) {
    b.property("kind", &MMTestShape::kind, &MMTestShape::setKind);
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

Ref<NSDictionary> MMTestShape::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries({{"kind"_ns, "kind"_ns}});
}

Class MMTestShape::classForParsingJSONDictionary(const Ref<NSDictionary>& json) {
    auto kind = cast<NSString>(json->objectForKey("kind"_ns));
    if (kind && kind->isEqualToString("circle"_ns)) {
        return MMTestCircle::class_();
    }
    if (kind && kind->isEqualToString("shape"_ns)) {
        return MMTestShape::class_();
    }
    return nullptr;
}

NS_IMPLEMENT_CLASS(MMTestCircle, MMTestShape) {
    b.property("radius", &MMTestCircle::radius, &MMTestCircle::setRadius);
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

Ref<NSDictionary> MMTestCircle::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries({{"kind"_ns, "kind"_ns}, {"radius"_ns, "size.radius"_ns}});
}

NS_IMPLEMENT_CLASS(MMTestPoint, MMModel) {
    b.property("coordinates", &MMTestPoint::coordinates, &MMTestPoint::setCoordinates);
    b.property("label", &MMTestPoint::label, &MMTestPoint::setLabel);
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

Ref<NSDictionary> MMTestPoint::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries(
        {{"coordinates"_ns, NSArray::arrayWithObjects({"x"_ns, "y"_ns})}, {"label"_ns, "meta.text.label"_ns}});
}

NS_IMPLEMENT_CLASS(MMTestNode, MMModel) {
    b.property("label", &MMTestNode::label, &MMTestNode::setLabel, "copy");
    b.property("child", &MMTestNode::child, &MMTestNode::setChild);
    MMModelRegister(b);
    MMJSONSerializingRegister(b);
}

Ref<NSDictionary> MMTestNode::JSONKeyPathsByPropertyKey() {
    return NSDictionary::dictionaryWithEntries({{"label"_ns, "label"_ns}, {"child"_ns, "child"_ns}});
}
