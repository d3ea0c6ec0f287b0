#include <Foundation/Foundation.h>
#include <Runtime/ClassBuilder.h>
#include <Runtime/ProtocolBuilder.h>

#include <gtest/gtest.h>

NS_DECLARE_PROTOCOL(ReflectionDelegate);
NS_DECLARE_PROTOCOL(ReflectionDataSource);

namespace {

class ReflectedBase : public NSObject {
    NS_OBJECT(ReflectedBase, NSObject)
    NS_PROPERTY(Ref<NSString>, title, setTitle)
};

class ReflectedModel : public ReflectedBase {
    NS_OBJECT(ReflectedModel, ReflectedBase)
    NS_PROPERTY(Ref<NSString>, site, setSite)
    NS_PROPERTY(bool, recording, setRecording)
    NS_PROPERTY(long, productId, setProductId)
    NS_PROPERTY(id, anything, setAnything)
    NS_PROPERTY(Ref<NSObject>, response, setResponse)
    NS_WEAK_PROPERTY(ReflectedBase, owner, setOwner)
public:
    bool isRecording() const { return recording_; }
    long total() const { return 3; }
};

// A weak property written by hand: the getter hands out the Weak itself.
class ReflectedHolder : public NSObject {
    NS_OBJECT(ReflectedHolder, NSObject)
public:
    Weak<ReflectedBase> target() const { return target_; }
    void setTarget(Ref<ReflectedBase> value) { target_ = value; }

private:
    Weak<ReflectedBase> target_;
};

class ReflectionAdopter : public NSObject {
    NS_OBJECT(ReflectionAdopter, NSObject)
};
class ReflectionAdopterChild : public ReflectionAdopter {
    NS_OBJECT(ReflectionAdopterChild, ReflectionAdopter)
};

} // namespace

NS_IMPLEMENT_CLASS(ReflectedBase, NSObject) {
    b.property("title", &ReflectedBase::title, &ReflectedBase::setTitle, "copy");
}
NS_IMPLEMENT_CLASS(ReflectedModel, ReflectedBase) {
    b.property("site", &ReflectedModel::site, &ReflectedModel::setSite, "readonly, copy");
    b.property("recording", &ReflectedModel::isRecording, &ReflectedModel::setRecording, "getter=isRecording");
    b.property("productId", &ReflectedModel::productId, &ReflectedModel::setProductId, "readonly");
    b.property("anything", &ReflectedModel::anything, &ReflectedModel::setAnything);
    b.property("response", &ReflectedModel::response, &ReflectedModel::setResponse, "dynamic, class=NSHTTPURLResponse");
    b.property("owner", &ReflectedModel::owner, &ReflectedModel::setOwner, "weak");
    b.readonlyProperty("total", &ReflectedModel::total);
}

NS_IMPLEMENT_CLASS(ReflectedHolder, NSObject) {
    b.property("target", &ReflectedHolder::target, &ReflectedHolder::setTarget);
}

NS_IMPLEMENT_PROTOCOL(ReflectionDataSource) {
    p.required<long(Ref<NSObject>)>("numberOfItemsIn:");
}
NS_IMPLEMENT_PROTOCOL(ReflectionDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.inherits(NS_PROTOCOL(ReflectionDataSource));
    p.required<Ref<NSString>(Ref<NSObject>, long)>("titleFor:at:");
    p.optional<void(Ref<NSObject>, bool)>("item:didChange:");
    p.optional("plain:with:");
}

NS_IMPLEMENT_CLASS(ReflectionAdopter, NSObject) {
    b.conformsTo(NS_PROTOCOL(ReflectionDelegate));
}
NS_IMPLEMENT_CLASS(ReflectionAdopterChild, ReflectionAdopter) {}

// MARK: - Properties

TEST(Reflection, PropertyListHasTheClassOwnPropertiesInOrder) {
    std::vector<std::string> names;
    for (const ObjCProperty* p : class_copyPropertyList(ReflectedModel::class_())) {
        names.emplace_back(property_getName(p));
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"site", "recording", "productId", "anything", "response", "owner", "total"}));
    auto base = class_copyPropertyList(ReflectedBase::class_());
    ASSERT_EQ(base.size(), 1u);
    EXPECT_STREQ(property_getName(base[0]), "title");
    EXPECT_TRUE(class_copyPropertyList(nullptr).empty());
}

TEST(Reflection, GetPropertySearchesSuperclasses) {
    EXPECT_EQ(class_getProperty(ReflectedModel::class_(), "title"),
              class_getProperty(ReflectedBase::class_(), "title"));
    EXPECT_TRUE(class_getProperty(ReflectedModel::class_(), "site"));
    EXPECT_FALSE(class_getProperty(ReflectedBase::class_(), "site"));
    EXPECT_FALSE(class_getProperty(ReflectedModel::class_(), "missing"));
    EXPECT_FALSE(class_getProperty(nullptr, "title"));
    EXPECT_FALSE(property_getAttributes(nullptr));
}

TEST(Reflection, AttributeStrings) {
    auto attributes = [](const char* name) {
        return std::string(property_getAttributes(class_getProperty(ReflectedModel::class_(), name)));
    };
    EXPECT_EQ(attributes("title"), "T@\"NSString\",C,N,Vtitle_");
    EXPECT_EQ(attributes("site"), "T@\"NSString\",R,C,N,Vsite_");
    EXPECT_EQ(attributes("recording"), "TB,N,GisRecording,Vrecording_");
    EXPECT_EQ(attributes("productId"), "Tq,R,N,VproductId_");
    EXPECT_EQ(attributes("anything"), "T@,&,N,Vanything_");
    EXPECT_EQ(attributes("response"), "T@\"NSHTTPURLResponse\",&,N,D");
    EXPECT_EQ(attributes("owner"), "T@\"ReflectedBase\",W,N,Vowner_");
    EXPECT_EQ(attributes("total"), "Tq,R,N");
}

TEST(Reflection, PropertyFields) {
    const ObjCProperty* recording = class_getProperty(ReflectedModel::class_(), "recording");
    EXPECT_EQ(recording->type, "B");
    EXPECT_EQ(recording->getterName, "isRecording");
    EXPECT_EQ(recording->setterName, "setRecording:");
    EXPECT_FALSE(recording->readonly);
    const ObjCProperty* owner = class_getProperty(ReflectedModel::class_(), "owner");
    EXPECT_TRUE(owner->weak);
    EXPECT_EQ(owner->className, "ReflectedBase");
    EXPECT_EQ(NSClassFromString(owner->className), ReflectedBase::class_());
    const ObjCProperty* total = class_getProperty(ReflectedModel::class_(), "total");
    EXPECT_TRUE(total->readonly);
    EXPECT_TRUE(total->ivar.empty()); // computed
    EXPECT_FALSE(total->setter);
}

TEST(Reflection, ReadonlyStoredPropertiesAreSetThroughKeyValueCoding) {
    auto model = make<ReflectedModel>();
    model->setValueForKey("example.com"_ns, "site"_ns);
    model->setValueForKey(box(42), "productId"_ns);
    model->setValueForKey(box(true), "recording"_ns);
    EXPECT_EQ(model->site()->str(), "example.com");
    EXPECT_EQ(model->productId(), 42);
    EXPECT_TRUE(model->respondsToSelector("isRecording"));
    EXPECT_TRUE(unbox<bool>(model->performSelector("isRecording")));
    EXPECT_THROW(model->setValueForKey(box(1), "total"_ns), NSException);
}

TEST(Reflection, WeakGettersAreReadThroughKeyValueCoding) {
    const ObjCProperty* p = class_getProperty(ReflectedHolder::class_(), "target");
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->weak);
    EXPECT_STREQ(property_getAttributes(p), "T@\"ReflectedBase\",W,N,Vtarget_");
    auto holder = make<ReflectedHolder>();
    {
        auto target = make<ReflectedBase>();
        holder->setValueForKey(target, "target"_ns);
        EXPECT_EQ(holder->valueForKey("target"_ns), target);
        EXPECT_THROW(holder->setValueForKey("not a base"_ns, "target"_ns), NSException);
    }
    EXPECT_FALSE(holder->valueForKey("target"_ns));
}

TEST(Reflection, UnknownAttributesRaise) {
    Class scratch = objc_registerClass(std::make_unique<ObjCClass>("ReflectionScratch", NSObject::class_(), nullptr));
    ClassBuilder<ReflectedModel> b(scratch);
    EXPECT_THROW(b.property("site", &ReflectedModel::site, &ReflectedModel::setSite, "copy, sticky"), NSException);
    EXPECT_NO_THROW(b.property("site", &ReflectedModel::site, &ReflectedModel::setSite, " nonatomic ,strong,"));
    EXPECT_STREQ(property_getAttributes(class_getProperty(scratch, "site")), "T@\"NSString\",&,N,Vsite_");
}

// MARK: - Protocols

TEST(Protocols, RegisteredByNameWithMethodDescriptions) {
    Protocol* delegate = NS_PROTOCOL(ReflectionDelegate);
    ASSERT_TRUE(delegate);
    EXPECT_EQ(NSProtocolFromString("ReflectionDelegate"), delegate);
    EXPECT_EQ(delegate->name(), "ReflectionDelegate");
    EXPECT_FALSE(NSProtocolFromString("NoSuchProtocol"));

    const ObjCMethodDescription* title = delegate->methodDescription("titleFor:at:", true);
    ASSERT_TRUE(title);
    EXPECT_EQ(title->types, "@@:@q");
    EXPECT_FALSE(delegate->methodDescription("titleFor:at:", false));
    const ObjCMethodDescription* changed = delegate->methodDescription("item:didChange:", false);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->types, "v@:@B");
    EXPECT_EQ(delegate->methodDescription("plain:with:", false)->types, "v@:@@");
    // Inherited protocols are searched too.
    EXPECT_EQ(delegate->methodDescription("numberOfItemsIn:", true)->types, "q@:@");
    EXPECT_TRUE(delegate->methodDescription("description", true));
    EXPECT_EQ(delegate->requiredMethods().size(), 1u);
    EXPECT_EQ(delegate->optionalMethods().size(), 2u);
}

TEST(Protocols, Conformance) {
    Protocol* delegate = NS_PROTOCOL(ReflectionDelegate);
    Protocol* dataSource = NS_PROTOCOL(ReflectionDataSource);
    EXPECT_TRUE(delegate->conformsToProtocol(dataSource));
    EXPECT_FALSE(dataSource->conformsToProtocol(delegate));

    auto child = make<ReflectionAdopterChild>();
    EXPECT_TRUE(child->conformsToProtocol(delegate));   // adopted by the superclass
    EXPECT_TRUE(child->conformsToProtocol(dataSource)); // through the protocol's own inheritance
    EXPECT_TRUE(ReflectionAdopter::class_()->conformsToProtocol(delegate));
    EXPECT_FALSE(make<ReflectedModel>()->conformsToProtocol(delegate));
    EXPECT_FALSE(child->conformsToProtocol(nullptr));

    // Every object answers the NSObject protocol.
    EXPECT_TRUE(make<ReflectedModel>()->conformsToProtocol(NS_PROTOCOL(NSObject)));
    EXPECT_TRUE(NSString::from("x")->conformsToProtocol(NSProtocolFromString("NSObject")));
    EXPECT_EQ(NS_PROTOCOL(NSCopying)->methodDescription("copyWithZone:", true)->types, "@@:^v");
}

TEST(Protocols, BuilderRejectsMistakes) {
    ProtocolBuilder p("ReflectionBroken");
    EXPECT_THROW(p.required<void(bool)>("noArguments"), NSException);
    EXPECT_THROW(p.optional<void()>("one:"), NSException);
    p.required("go:");
    EXPECT_THROW(p.optional("go:"), NSException);
    EXPECT_THROW(p.inherits(nullptr), NSException);
    EXPECT_THROW(p.required(SEL()), NSException);
    Protocol* first = p.registerProtocol();
    EXPECT_EQ(first->methodDescription("go:", true)->types, "v@:@");
    // A second registration of a name answers the first.
    EXPECT_EQ(ProtocolBuilder("ReflectionBroken").optional("other").registerProtocol(), first);
}
