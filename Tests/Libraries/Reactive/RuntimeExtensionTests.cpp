#include "ReactiveTestSupport.h"

#include <Reactive/RXRuntimeExtensions.h>

TEST(RXRuntimeExtensions, ParsesACopyNonatomicStringProperty) {
    auto attributes = rx_parsePropertyAttributes("T@\"NSString\",C,N,V_name", "name");
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->memoryPolicy, RXPropertyPolicyCopy);
    EXPECT_TRUE(attributes->nonatomic);
    EXPECT_EQ(attributes->objectClass, NSString::class_());
    EXPECT_EQ(attributes->ivar.value_or(""), "_name");
    EXPECT_EQ(attributes->getter.name(), "name");
    EXPECT_EQ(attributes->setter.name(), "setName:");
    EXPECT_EQ(attributes->type, "@");
}

TEST(RXRuntimeExtensions, ParsesAReadonlyBooleanWithACustomGetter) {
    auto attributes = rx_parsePropertyAttributes("TB,R,GisEnabled", "enabled");
    ASSERT_TRUE(attributes);
    EXPECT_TRUE(attributes->readonly);
    EXPECT_EQ(attributes->getter.name(), "isEnabled");
    EXPECT_EQ(attributes->setter.name(), "setEnabled:");
    EXPECT_FALSE(attributes->ivar);
    EXPECT_EQ(attributes->type, "B");
}

TEST(RXRuntimeExtensions, RejectsMalformedStrings) {
    EXPECT_FALSE(rx_parsePropertyAttributes("x", "a"));
    EXPECT_FALSE(rx_parsePropertyAttributes("T{broken", "a"));
    EXPECT_FALSE(rx_parsePropertyAttributes("T@\"NSString,C", "a"));
    EXPECT_FALSE(rx_parsePropertyAttributes("Ti,G,N", "a"));
    EXPECT_FALSE(rx_parsePropertyAttributes(nullptr, "a"));
    auto structType = rx_parsePropertyAttributes("T{CGPoint=dd},D", "origin");
    ASSERT_TRUE(structType);
    EXPECT_TRUE(structType->dynamic);
    EXPECT_EQ(structType->type, "{CGPoint=dd}");
}

TEST(RXRuntimeExtensions, FindsOnlyAClassesOwnMethods) {
    EXPECT_TRUE(rx_findOwnInstanceMethod(RXCompoundDisposable::class_(), SEL("addDisposable:")));
    EXPECT_FALSE(rx_findOwnInstanceMethod(RXCompoundDisposable::class_(), SEL("dispose")));
    EXPECT_TRUE(rx_findOwnInstanceMethod(RXDisposable::class_(), SEL("dispose")));
    auto attributes = rx_parsePropertyAttributes(RXSerialDisposable::class_()->property("disposable"));
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->setter.name(), "setDisposable:");
}
