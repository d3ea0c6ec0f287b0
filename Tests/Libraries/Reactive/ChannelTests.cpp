// Channels and the KVO channel.
#include "ReactiveTestSupport.h"

#include <Runtime/ClassBuilder.h>

using namespace rxtest;

namespace {
class RXChannelModel : public NSObject {
    NS_OBJECT(RXChannelModel, NSObject)
    NS_PROPERTY(Ref<NSString>, name, setName)
    NS_PROPERTY(Ref<RXChannelModel>, inner, setInner)
public:
    int sets = 0;
    void countedSetName(const Ref<NSString>& name) {
        ++sets;
        setName(name);
    }
};
} // namespace

NS_IMPLEMENT_CLASS(RXChannelModel, NSObject) {
    b.property("name", &RXChannelModel::name, &RXChannelModel::countedSetName);
    b.property("inner", &RXChannelModel::inner, &RXChannelModel::setInner);
}

TEST(RXChannel, ValuesCrossToTheOtherSideWithReplayOnlyOnTheFollowingSide) {
    Recorder following, leading;
    auto channel = make<RXChannel>();
    channel->leadingTerminal()->sendNext(box(1));
    channel->followingTerminal()->sendNext(box(2)); // nobody listens on the leading side yet: lost
    following.subscribe(channel->followingTerminal());
    leading.subscribe(channel->leadingTerminal());
    channel->leadingTerminal()->sendNext(box(3));
    channel->followingTerminal()->sendNext(box(4));
    EXPECT_EQ(following.events(), (Events{"1", "3"}));
    EXPECT_EQ(leading.events(), (Events{"4"}));
}

TEST(RXChannel, CompletingEitherTerminalCompletesBothSides) {
    Recorder following, leading, late;
    Recorder errorSide;
    auto channel = make<RXChannel>();
    following.subscribe(channel->followingTerminal());
    leading.subscribe(channel->leadingTerminal());
    channel->followingTerminal()->sendCompleted();
    EXPECT_EQ(following.events(), (Events{"completed"}));
    EXPECT_EQ(leading.events(), (Events{"completed"}));
    late.subscribe(channel->leadingTerminal());
    EXPECT_EQ(late.events(), (Events{"completed"}));

    auto failing = make<RXChannel>();
    errorSide.subscribe(failing->followingTerminal());
    failing->leadingTerminal()->sendError(makeError(2));
    EXPECT_EQ(errorSide.events(), (Events{"error:2"}));
}

TEST(RXChannel, TerminalsAreFreedWithTheirChannel) {
    Weak<RXChannelTerminal> weak;
    {
        auto channel = make<RXChannel>();
        weak = channel->followingTerminal();
        channel->leadingTerminal()->sendNext(box(1));
    }
    EXPECT_FALSE(weak.lock());
}

TEST(RXKVOChannel, SendsTheCurrentValueAndChangesAndWritesWithoutEcho) {
    Recorder r;
    auto model = make<RXChannelModel>();
    model->setName("first"_ns);
    auto channel = make<RXKVOChannel>(model, "name"_ns, "(none)"_ns);
    r.subscribe(channel->followingTerminal());
    model->setName("second"_ns);
    channel->followingTerminal()->sendNext("written"_ns);
    EXPECT_TRUE(model->name()->isEqualToString("written"_ns));
    channel->followingTerminal()->sendNext(nullptr);
    EXPECT_TRUE(model->name()->isEqualToString("(none)"_ns));
    model->setName("third"_ns); // a change after the writes still arrives
    EXPECT_EQ(r.events(), (Events{"first", "second", "third"}));
    EXPECT_EQ(model->sets, 2);
}

TEST(RXKVOChannel, WritesThroughAMissingIntermediateAreDroppedAndTheTargetsDeallocationCompletes) {
    Recorder r;
    auto model = make<RXChannelModel>();
    auto channel = make<RXKVOChannel>(model, "inner.name"_ns, nullptr);
    r.subscribe(channel->followingTerminal());
    channel->followingTerminal()->sendNext("dropped"_ns);
    auto inner = make<RXChannelModel>();
    model->setInner(inner);
    channel->followingTerminal()->sendNext("kept"_ns);
    EXPECT_TRUE(inner->name()->isEqualToString("kept"_ns));
    model = nullptr;
    EXPECT_EQ(r.events(), (Events{"nil", "nil", "completed"}));
    EXPECT_FALSE(channel->target());
}

TEST(RXKVOChannel, TwoChannelsBoundBothWays) {
    auto a = make<RXChannelModel>();
    auto b = make<RXChannelModel>();
    a->setName("from a"_ns);
    auto channelA = make<RXKVOChannel>(a, "name"_ns, nullptr);
    auto channelB = make<RXKVOChannel>(b, "name"_ns, nullptr);
    channelA->setObjectForKeyedSubscript(channelB->objectForKeyedSubscript("followingTerminal"_ns),
                                         "followingTerminal"_ns);
    EXPECT_TRUE(b->name()->isEqualToString("from a"_ns));
    b->setName("from b"_ns);
    EXPECT_TRUE(a->name()->isEqualToString("from b"_ns));
    a->setName("again a"_ns);
    EXPECT_TRUE(b->name()->isEqualToString("again a"_ns));
}

TEST(RXKVOChannel, ATargetAlreadyGoneCompletesAtOnce) {
    Recorder r;
    auto channel = make<RXKVOChannel>(nullptr, "name"_ns, nullptr);
    r.subscribe(channel->followingTerminal());
    EXPECT_EQ(r.events(), (Events{"completed"}));
}
