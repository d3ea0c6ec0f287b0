// Model classes shared by the model-mapping tests and the adapter fuzzer.
#pragma once

#include <Networking/MMJSONAdapter.h>
#include <Networking/NSValueTransformer+MMPredefinedTransformerAdditions.h>

#include <Foundation/NSURL.h>

// A nested model: street and city, the city read from "location.city".
class MMTestAddress : public MMModel {
    NS_OBJECT(MMTestAddress, MMModel)
    NS_PROPERTY(Ref<NSString>, street, setStreet)
    NS_PROPERTY(Ref<NSString>, city, setCity)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
};

// A user: text, integer, boolean, URL, a nested address and an array of addresses. `name` is
// required (its validation refuses nil) and trimmed of spaces by validation.
class MMTestUser : public MMModel {
    NS_OBJECT(MMTestUser, MMModel)
    NS_PROPERTY(Ref<NSString>, name, setName)
    NS_PROPERTY(NSInteger, count, setCount)
    NS_PROPERTY(bool, active, setActive)
    NS_PROPERTY(Ref<NSURL>, homepage, setHomepage)
    NS_PROPERTY(Ref<NSNumber>, score, setScore)
    NS_PROPERTY(Ref<MMTestAddress>, address, setAddress)
    NS_PROPERTY(Ref<NSArray>, places, setPlaces)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
    // Counts merges of `name` through the merge hook.
    int nameMerges = 0;
    void mergeNameFromModel(const Ref<MMModel>& other);
};

// The same properties as MMTestUser, one class down: never equal to a user.
class MMTestUserSubclass : public MMTestUser {
    NS_OBJECT(MMTestUserSubclass, MMTestUser)
};

// Storage kinds: a read-only property with storage, a computed property, a weak property.
class MMTestStorage : public MMModel {
    NS_OBJECT(MMTestStorage, MMModel)
    NS_PROPERTY(Ref<NSString>, identifier, setIdentifier)
    NS_PROPERTY(Ref<NSString>, title, setTitle)
    NS_WEAK_PROPERTY(NSObject, owner, setOwner)
public:
    Ref<NSString> shout() const;
};

// Archive versions: the writer says version 2, its archive names the reader (version 1).
class MMTestArchiveV1 : public MMModel {
    NS_OBJECT(MMTestArchiveV1, MMModel)
    NS_PROPERTY(Ref<NSString>, text, setText)
    NS_PROPERTY(double, amount, setAmount)
public:
    static NSUInteger modelVersion() { return 1; }
};
class MMTestArchiveV2 : public MMTestArchiveV1 {
    NS_OBJECT(MMTestArchiveV2, MMTestArchiveV1)
public:
    static NSUInteger modelVersion() { return 2; }
    Class classForCoder() const override { return MMTestArchiveV1::class_(); }
};

// Secure archiving, with a property whose class cannot be named (id): excluded by its encoding
// behaviour in the "Covered" kind, left in the plain one.
class MMTestSecure : public MMModel {
    NS_OBJECT(MMTestSecure, MMModel)
    NS_PROPERTY(Ref<NSString>, text, setText)
    NS_PROPERTY(NSInteger, number, setNumber)
public:
    static bool supportsSecureCoding() { return true; }
};
class MMTestSecureAny : public MMModel {
    NS_OBJECT(MMTestSecureAny, MMModel)
    NS_PROPERTY(id, anything, setAnything)
public:
    static bool supportsSecureCoding() { return true; }
};

// A mapping that names a property the class does not have.
class MMTestBadMapping : public MMModel {
    NS_OBJECT(MMTestBadMapping, MMModel)
    NS_PROPERTY(Ref<NSString>, text, setText)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
};

// A class cluster: "kind" picks the circle or the square; anything else has no class.
class MMTestShape : public MMModel {
    NS_OBJECT(MMTestShape, MMModel)
    NS_PROPERTY(Ref<NSString>, kind, setKind)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
    static Class classForParsingJSONDictionary(const Ref<NSDictionary>& json);
};
class MMTestCircle : public MMTestShape {
    NS_OBJECT(MMTestCircle, MMTestShape)
    NS_PROPERTY(double, radius, setRadius)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
};

// One property fed by two key paths, and a deep key path.
class MMTestPoint : public MMModel {
    NS_OBJECT(MMTestPoint, MMModel)
    NS_PROPERTY(Ref<NSDictionary>, coordinates, setCoordinates)
    NS_PROPERTY(Ref<NSString>, label, setLabel)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
};

// A model that holds another of its own kind under "child": nested as deep as its JSON.
class MMTestNode : public MMModel {
    NS_OBJECT(MMTestNode, MMModel)
    NS_PROPERTY(Ref<NSString>, label, setLabel)
    NS_PROPERTY(Ref<MMTestNode>, child, setChild)
public:
    static Ref<NSDictionary> JSONKeyPathsByPropertyKey();
};
