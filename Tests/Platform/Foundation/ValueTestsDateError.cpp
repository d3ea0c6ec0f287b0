// NSDate arithmetic and description; NSError texts, constants and equality.
#include <Foundation/Foundation.h>

#include <Dispatch/Clock.h>

#include <gtest/gtest.h>

#include <cmath>

TEST(NSDateTest, ReferenceDateArithmetic) {
    auto ref = NSDate::dateWithTimeIntervalSinceReferenceDate(0);
    EXPECT_EQ(ref->description()->str(), "2001-01-01 00:00:00 +0000");
    EXPECT_DOUBLE_EQ(ref->timeIntervalSince1970(), 978307200.0);
    auto epoch = NSDate::dateWithTimeIntervalSince1970(0);
    EXPECT_EQ(epoch->description()->str(), "1970-01-01 00:00:00 +0000");
    EXPECT_DOUBLE_EQ(epoch->timeIntervalSinceReferenceDate(), -978307200.0);
    EXPECT_DOUBLE_EQ(ref->timeIntervalSinceDate(epoch), 978307200.0);

    auto later = ref->dateByAddingTimeInterval(86400 * 59 + 3661.75);
    EXPECT_EQ(later->description()->str(), "2001-03-01 01:01:01 +0000");
    EXPECT_EQ(NSDate::dateWithTimeIntervalSinceReferenceDate(-0.5)->description()->str(), "2000-12-31 23:59:59 +0000");
    EXPECT_EQ(NSDate::dateWithTimeIntervalSince1970(951782400)->description()->str(),
              "2000-02-29 00:00:00 +0000"); // leap day
    EXPECT_EQ(NSDate::dateWithTimeIntervalSinceDate(10, ref)->timeIntervalSinceReferenceDate(), 10);
}

TEST(NSDateTest, CompareEqualityAndHash) {
    auto a = NSDate::dateWithTimeIntervalSinceReferenceDate(100);
    auto b = NSDate::dateWithTimeIntervalSinceReferenceDate(200);
    EXPECT_EQ(a->compare(b), NSOrderedAscending);
    EXPECT_EQ(b->compare(a), NSOrderedDescending);
    EXPECT_EQ(a->compare(NSDate::dateWithTimeIntervalSinceReferenceDate(100)), NSOrderedSame);
    EXPECT_EQ(a->earlierDate(b), a);
    EXPECT_EQ(a->laterDate(b), b);
    EXPECT_EQ(a->laterDate(nullptr), a);
    EXPECT_TRUE(a->isEqual(NSDate::dateWithTimeIntervalSinceReferenceDate(100)));
    EXPECT_EQ(a->hash(), NSDate::dateWithTimeIntervalSinceReferenceDate(100)->hash());
    EXPECT_EQ(NSDate::dateWithTimeIntervalSinceReferenceDate(0.0)->hash(),
              NSDate::dateWithTimeIntervalSinceReferenceDate(-0.0)->hash());
    EXPECT_FALSE(a->isEqual(b));
    EXPECT_FALSE(a->isEqual(box(100)));
    EXPECT_THROW(a->compare(nullptr), NSException);
    EXPECT_THROW(a->timeIntervalSinceDate(nullptr), NSException);
}

TEST(NSDateTest, DistantDates) {
    EXPECT_EQ(NSDate::distantFuture()->description()->str(), "4001-01-01 00:00:00 +0000");
    EXPECT_EQ(NSDate::distantPast()->description()->str(), "0000-12-30 00:00:00 +0000");
    EXPECT_EQ(NSDate::date()->compare(NSDate::distantFuture()), NSOrderedAscending);
    EXPECT_EQ(NSDate::date()->compare(NSDate::distantPast()), NSOrderedDescending);
    // Values beyond any calendar never break the description.
    EXPECT_FALSE(NSDate::dateWithTimeIntervalSinceReferenceDate(1e300)->description()->str().empty());
    EXPECT_FALSE(NSDate::dateWithTimeIntervalSinceReferenceDate(NAN)->description()->str().empty());
}

TEST(NSDateTest, NowComesFromTheProcessClock) {
    double before = DispatchClock::now();
    auto now = NSDate::date();
    double after = DispatchClock::now();
    EXPECT_GE(now->timeIntervalSinceReferenceDate(), before);
    EXPECT_LE(now->timeIntervalSinceReferenceDate(), after);
    auto soon = NSDate::dateWithTimeIntervalSinceNow(60);
    EXPECT_NEAR(soon->timeIntervalSinceNow(), 60, 5);
    EXPECT_GT(now->timeIntervalSince1970(), 1.5e9); // after 2017
}

TEST(NSDateTest, FollowsVirtualTime) {
    DispatchClock::useVirtualTime(86400.0 * 31); // 2001-02-01
    EXPECT_EQ(NSDate::date()->timeIntervalSinceReferenceDate(), 86400.0 * 31);
    EXPECT_EQ(NSDate::date()->description()->str(), "2001-02-01 00:00:00 +0000");
    auto deadline = NSDate::dateWithTimeIntervalSinceNow(30);
    DispatchClock::advance(10);
    EXPECT_DOUBLE_EQ(deadline->timeIntervalSinceNow(), 20);
    EXPECT_EQ(NSDate::date()->description()->str(), "2001-02-01 00:00:10 +0000");
    EXPECT_EQ(NSDate::date()->compare(deadline), NSOrderedAscending);
    DispatchClock::useRealTime();
}

TEST(NSErrorTest, LocalizedTexts) {
    auto plain = NSError::errorWithDomainCodeUserInfo(NSURLErrorDomain(), NSURLErrorTimedOut, nullptr);
    EXPECT_EQ(plain->localizedDescription()->str(),
              "The operation couldn\u2019t be completed. (NSURLErrorDomain error -1001.)");
    EXPECT_FALSE(plain->localizedFailureReason());
    EXPECT_FALSE(plain->localizedRecoverySuggestion());
    EXPECT_EQ(plain->userInfo()->count(), 0u);

    auto rich = NSError::errorWithDomainCodeUserInfo(
        "MyDomain"_ns, 7,
        NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), "Could not load."_ns},
                                             {NSLocalizedFailureReasonErrorKey(), "The server is down."_ns},
                                             {NSLocalizedRecoverySuggestionErrorKey(), "Try later."_ns},
                                             {NSUnderlyingErrorKey(), plain}}));
    EXPECT_EQ(rich->localizedDescription()->str(), "Could not load.");
    EXPECT_EQ(rich->localizedFailureReason()->str(), "The server is down.");
    EXPECT_EQ(rich->localizedRecoverySuggestion()->str(), "Try later.");
    EXPECT_EQ(rich->underlyingError(), plain);
    EXPECT_EQ(rich->domain()->str(), "MyDomain");
    EXPECT_EQ(rich->code(), 7);
}

TEST(NSErrorTest, DescriptionDomainsAndCodes) {
    auto e = NSError::errorWithDomainCodeUserInfo(
        NSURLErrorDomain(), NSURLErrorCancelled,
        NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), "cancelled"_ns}}));
    EXPECT_EQ(e->description()->str(),
              "Error Domain=NSURLErrorDomain Code=-999 \"cancelled\" UserInfo={NSLocalizedDescription=cancelled}");
    EXPECT_TRUE(e->domain()->isEqualToString("NSURLErrorDomain"_ns));
    EXPECT_TRUE(e->domain()->isEqual(NSURLErrorDomain()));
    EXPECT_FALSE(e->domain()->isEqual(NSCocoaErrorDomain()));
    EXPECT_EQ(NSError::errorWithDomainCodeUserInfo(NSPOSIXErrorDomain(), 2, nullptr)->description()->str(),
              "Error Domain=NSPOSIXErrorDomain Code=2 \"The operation couldn\u2019t be completed. (NSPOSIXErrorDomain "
              "error 2.)\"");
}

TEST(NSErrorTest, EqualityAndCopies) {
    auto info = NSMutableDictionary::dictionary();
    info->setObjectForKey("x"_ns, NSLocalizedDescriptionKey());
    auto a = NSError::errorWithDomainCodeUserInfo("D"_ns, 1, info);
    info->setObjectForKey("changed"_ns, NSLocalizedDescriptionKey()); // the error keeps its own copy
    EXPECT_EQ(a->localizedDescription()->str(), "x");
    auto b = NSError::errorWithDomainCodeUserInfo(
        "D"_ns, 1, NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), "x"_ns}}));
    EXPECT_TRUE(a->isEqual(b));
    EXPECT_EQ(a->hash(), b->hash());
    EXPECT_FALSE(a->isEqual(NSError::errorWithDomainCodeUserInfo("D"_ns, 2, nullptr)));
    EXPECT_EQ(a->copy(), a);
    EXPECT_EQ(NSError::errorWithDomainCodeUserInfo(nullptr, 0, nullptr)->domain()->str(), "");
}
