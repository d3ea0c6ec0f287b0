// NSNumber, NSValue and NSNull: kinds, caching, equality across kinds and hashing.
#include <Foundation/Foundation.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(NSNumberTest, KeepsItsScalarKind) {
    EXPECT_TRUE(NSNumber::numberWithBool(true)->isBool());
    EXPECT_FALSE(NSNumber::numberWithInt(1)->isBool());
    EXPECT_EQ(NSNumber::numberWithInt(7)->kind(), NSNumber::Kind::Int);
    EXPECT_EQ(NSNumber::numberWithLong(7)->kind(), NSNumber::Kind::Long);
    EXPECT_EQ(NSNumber::numberWithUnsignedInt(7)->kind(), NSNumber::Kind::UnsignedInt);
    EXPECT_EQ(NSNumber::numberWithDouble(7)->kind(), NSNumber::Kind::Double);
    EXPECT_EQ(NSNumber::numberWithFloat(7)->kind(), NSNumber::Kind::Float);
    EXPECT_STREQ(NSNumber::numberWithDouble(1.5)->objCType(), "d");
    EXPECT_STREQ(NSNumber::numberWithInt(3)->objCType(), "i");
    EXPECT_STREQ(NSNumber::numberWithBool(false)->objCType(), "c");
}

TEST(NSNumberTest, SmallIntegersAndBooleansAreShared) {
    EXPECT_EQ(NSNumber::numberWithBool(true), NSNumber::numberWithBool(true));
    EXPECT_EQ(NSNumber::numberWithBool(false), NSNumber::numberWithBool(false));
    EXPECT_EQ(NSNumber::numberWithInt(5), NSNumber::numberWithInt(5));
    EXPECT_EQ(NSNumber::numberWithInteger(-1), NSNumber::numberWithInteger(-1));
    EXPECT_EQ(NSNumber::numberWithUnsignedLong(3), NSNumber::numberWithUnsignedLong(3));
    // A shared number never changes the kind that was asked for.
    EXPECT_EQ(NSNumber::numberWithLong(5)->kind(), NSNumber::Kind::Long);
    EXPECT_EQ(NSNumber::numberWithChar(5)->kind(), NSNumber::Kind::Char);
    EXPECT_NE(NSNumber::numberWithInt(5).get(), static_cast<NSObject*>(NSNumber::numberWithLong(5).get()));
    EXPECT_NE(NSNumber::numberWithInt(1000), NSNumber::numberWithInt(1000)); // not cached, still equal
    EXPECT_TRUE(NSNumber::numberWithInt(1000)->isEqual(NSNumber::numberWithInt(1000)));
}

TEST(NSNumberTest, EqualAcrossKinds) {
    EXPECT_TRUE(box(1)->isEqual(box(1.0)));
    EXPECT_TRUE(box(1.0)->isEqual(box(1LL)));
    EXPECT_TRUE(box(true)->isEqual(box(1)));
    EXPECT_TRUE(box(false)->isEqual(box(0.0)));
    EXPECT_FALSE(box(1)->isEqual(box(1.5)));
    EXPECT_TRUE(box(2u)->isEqual(box(2L)));
    EXPECT_FALSE(box(-1)->isEqual(box(std::numeric_limits<unsigned long long>::max())));
    EXPECT_FALSE(box(1)->isEqual(NSString::from("1")));
    // Large integers compare exactly, also against doubles.
    long long big = (1LL << 60) + 1;
    EXPECT_FALSE(box(big)->isEqual(box(static_cast<double>(1LL << 60))));
    EXPECT_TRUE(box(1LL << 60)->isEqual(box(static_cast<double>(1LL << 60))));
    EXPECT_EQ(box(big)->compare(box(static_cast<double>(1LL << 60))), NSOrderedDescending);
}

TEST(NSNumberTest, HashAgreesWithEquality) {
    std::vector<Ref<NSNumber>> ones = {box(1), box(1.0), box(true), box(1UL), box(1.0f), box('\1')};
    for (const auto& a : ones) {
        for (const auto& b : ones) {
            ASSERT_TRUE(a->isEqual(b));
            EXPECT_EQ(a->hash(), b->hash());
        }
    }
    EXPECT_EQ(box(0.0)->hash(), box(-0.0)->hash());
    EXPECT_TRUE(box(std::nan(""))->isEqual(box(std::nan(""))));
    EXPECT_EQ(box(std::nan(""))->hash(), box(-std::nan(""))->hash());
    auto huge = box(std::numeric_limits<unsigned long long>::max());
    EXPECT_TRUE(huge->isEqual(box(std::numeric_limits<unsigned long long>::max())));
    EXPECT_EQ(huge->hash(), box(std::numeric_limits<unsigned long long>::max())->hash());
}

TEST(NSNumberTest, NumbersAsDictionaryKeys) {
    auto d = NSMutableDictionary::dictionary();
    d->setObjectForKey("int"_ns, box(1));
    EXPECT_EQ(d->objectForKey(box(1.0))->description()->str(), "int");
    EXPECT_EQ(d->objectForKey(box(true))->description()->str(), "int");
    d->setObjectForKey("double"_ns, box(1.0));
    EXPECT_EQ(d->count(), 1u); // same key
    EXPECT_EQ(d->objectForKey(box(1))->description()->str(), "double");
}

TEST(NSNumberTest, ConversionsOfOutOfRangeValuesStayDefined) {
    auto inf = box(std::numeric_limits<double>::infinity());
    EXPECT_EQ(inf->longLongValue(), std::numeric_limits<long long>::max());
    EXPECT_EQ(box(std::nan(""))->longLongValue(), 0);
    EXPECT_EQ(box(1e30f)->longLongValue(), std::numeric_limits<long long>::max());
    EXPECT_EQ(box(-3.7)->intValue(), -3);
    EXPECT_EQ(box(300)->unsignedCharValue(), 44);
    EXPECT_TRUE(box(0.5)->boolValue());
    EXPECT_FALSE(box(0)->boolValue());
}

TEST(NSNumberTest, Description) {
    EXPECT_EQ(box(42)->description()->str(), "42");
    EXPECT_EQ(box(true)->description()->str(), "1");
    EXPECT_EQ(box(0.1)->description()->str(), "0.1");
    EXPECT_EQ(box(2.0)->description()->str(), "2");
    EXPECT_EQ(box(std::numeric_limits<unsigned long long>::max())->description()->str(), "18446744073709551615");
    EXPECT_EQ(box(-5L)->stringValue()->str(), "-5");
}

TEST(NSNumberTest, CompareOrdersNumbers) {
    EXPECT_EQ(box(1)->compare(box(2.5)), NSOrderedAscending);
    EXPECT_EQ(box(3.5)->compare(box(3)), NSOrderedDescending);
    EXPECT_EQ(box(-1)->compare(box(0U)), NSOrderedAscending);
    EXPECT_EQ(box(-0.5)->compare(box(0)), NSOrderedAscending);
    EXPECT_EQ(box(-1.5)->compare(box(-1)), NSOrderedAscending);
    EXPECT_THROW(box(1)->compare(nullptr), NSException);
}

TEST(NSValueTest, BytesWithTypeTag) {
    NSRange r{3, 4};
    auto v = NSValue::valueWithRange(r);
    EXPECT_EQ(v->rangeValue(), r);
    EXPECT_TRUE(v->isEqual(NSValue::valueWithRange(r)));
    EXPECT_EQ(v->hash(), NSValue::valueWithRange(r)->hash());
    EXPECT_FALSE(v->isEqual(NSValue::valueWithRange({3, 5})));
    double d = 0;
    EXPECT_FALSE(v->getValue(d)); // another type: nothing read
    int x = 5;
    EXPECT_EQ(NSValue::valueWithPointer(&x)->pointerValue(), &x);
}

namespace {
struct Quad {
    double a, b, c, d;
    bool operator==(const Quad&) const = default;
};
} // namespace
template <>
struct NSObjCType<Quad> {
    static std::string encoding() { return "{Quad=dddd}"; }
};

TEST(NSValueTest, BytesOfAnySizeAndZeroBytesRoundTrip) {
    // Zero bytes inside, and more bytes than a number's, are kept exactly.
    Quad q{0.0, -1.5, 0.0, 1e300};
    auto v = NSValue::valueWithValue(q);
    EXPECT_EQ(v->bytes().size(), sizeof(Quad));
    EXPECT_EQ(v->value<Quad>(), q);
    EXPECT_TRUE(v->isEqual(NSValue::valueWithValue(q)));
    EXPECT_EQ(v->hash(), NSValue::valueWithValue(q)->hash());
    Quad other = q;
    other.d = 1e299;
    EXPECT_FALSE(v->isEqual(NSValue::valueWithValue(other)));
    EXPECT_FALSE(v->isEqual(box(0)));

    NSRange zero{0, 0};
    auto z = NSValue::valueWithRange(zero);
    EXPECT_EQ(z->bytes().size(), sizeof(NSRange));
    EXPECT_EQ(z->rangeValue(), zero);
    EXPECT_FALSE(z->isEqual(NSValue::valueWithRange({0, 1})));
    EXPECT_EQ(box(0.0)->doubleValue(), 0.0);
    EXPECT_TRUE(box(0)->isEqual(box(0.0)));
}

TEST(NSNullTest, IsASingleton) {
    EXPECT_EQ(NSNull::null(), NSNull::null());
    EXPECT_EQ(NSNull::null()->description()->str(), "<null>");
    EXPECT_TRUE(NSNull::null()->isEqual(NSNull::null()));
}
