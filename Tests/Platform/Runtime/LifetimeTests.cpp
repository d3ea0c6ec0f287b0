#include <Foundation/Foundation.h>
#include <Runtime/ClassBuilder.h>

#include <gtest/gtest.h>

namespace {

struct Tracker {
    std::vector<std::string> events;
};

class Probe : public NSObject {
    NS_OBJECT(Probe, NSObject)
public:
    Probe() = default;
    explicit Probe(Tracker* t) : tracker_(t) {}
    ~Probe() override {
        if (tracker_) {
            tracker_->events.push_back("destructor");
        }
    }
    int add(int a, int b) { return a + b; }
    void touch(const Ref<NSString>& s) { last_ = s; }
    Ref<NSString> last() const { return last_; }
    void setLast(Ref<NSString> s) { last_ = std::move(s); }
    Tracker* tracker_ = nullptr;
    Ref<NSString> last_;
};

} // namespace

NS_IMPLEMENT_CLASS(Probe, NSObject) {
    b.method("add:to:", &Probe::add);
    b.method("touch:", &Probe::touch);
    b.property("last", &Probe::last, &Probe::setLast);
    b.classMethod("isSupport", [] { return true; });
}

TEST(Lifetime, WeakReferenceStopsResolvingBeforeHooksAndDestructor) {
    Tracker t;
    Weak<Probe> weak;
    {
        auto p = make<Probe>(&t);
        weak = p;
        EXPECT_EQ(weak.lock().get(), p.get());
        p->addDeallocHook([&](NSObject* self) {
            t.events.push_back(weak.lock() ? "hook: weak alive" : "hook: weak nil");
            // The object is still whole: its class and fields can be read.
            t.events.push_back(self->getClass()->name());
            Ref<NSObject> again(self); // a reference taken and dropped does not deallocate twice
        });
    }
    EXPECT_EQ(t.events, (std::vector<std::string>{"hook: weak nil", "Probe", "destructor"}));
    EXPECT_FALSE(weak.lock());
}

TEST(Lifetime, AssociatedObjectsByPolicy) {
    static char strongKey, weakKey;
    auto owner = make<Probe>();
    Weak<NSString> watched;
    {
        auto value = NSString::from("value");
        watched = value;
        owner->setAssociatedObject(&strongKey, value, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    EXPECT_TRUE(watched.lock());
    EXPECT_EQ(cast<NSString>(owner->associatedObject(&strongKey))->str(), "value");
    {
        auto other = make<Probe>();
        owner->setAssociatedObject(&weakKey, other, OBJC_ASSOCIATION_ASSIGN);
        EXPECT_EQ(owner->associatedObject(&weakKey), other);
    }
    EXPECT_FALSE(owner->associatedObject(&weakKey));
    owner = nullptr;
    EXPECT_FALSE(watched.lock());
}

TEST(Dispatch, PerformWithBoxedArgumentsAndObservers) {
    auto p = make<Probe>();
    std::vector<id> seen;
    p->addInvocationObserver("touch:", [&](NSObject*, const std::vector<id>& args) { seen = args; });
    id sum = p->performSelectorWithArguments("add:to:", {box(2), box(3)});
    EXPECT_EQ(unbox<int>(sum), 5);
    p->performSelectorWithObject("touch:", "hi"_ns);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0]->isEqual("hi"_ns));
    EXPECT_EQ(p->last()->str(), "hi");
}

TEST(Dispatch, BadMessagesRaise) {
    auto p = make<Probe>();
    EXPECT_THROW(p->performSelector("nothing"), NSException);
    EXPECT_THROW(p->performSelectorWithArguments("add:to:", {box(1)}), NSException);
    EXPECT_THROW(p->performSelectorWithArguments("add:to:", {"x"_ns, box(1)}), NSException);
    EXPECT_THROW(p->valueForKey("missing"_ns), NSException);
    EXPECT_EQ(NSClassFromString("NoSuchClass"), nullptr);
}

TEST(Dispatch, ObserverStubAnswersMissingSelector) {
    auto p = make<Probe>();
    EXPECT_FALSE(p->respondsToSelector("tableView:didSelect:"));
    int calls = 0;
    p->addInvocationObserver(
        "tableView:didSelect:", [&](NSObject*, const std::vector<id>&) { ++calls; }, true);
    EXPECT_TRUE(p->respondsToSelector("tableView:didSelect:"));
    p->performSelectorWithObjectWithObject("tableView:didSelect:", nullptr, box(1));
    EXPECT_EQ(calls, 1);
}

TEST(Classes, ByNameAndClassOperations) {
    Class c = NSClassFromString("Probe");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->superclass(), NSObject::class_());
    EXPECT_TRUE(unbox<bool>(c->performClassSelector("isSupport")));
    id made = c->createInstance();
    EXPECT_TRUE(made->isKindOfClass(NSObject::class_()));
    EXPECT_TRUE(made->isMemberOfClass(Probe::class_()));
    EXPECT_EQ(NSStringFromClass(made->getClass())->str(), "Probe");
}

TEST(KeyValueCoding, PropertiesAndPaths) {
    auto p = make<Probe>();
    p->setValueForKey("abc"_ns, "last"_ns);
    EXPECT_EQ(p->last()->str(), "abc");
    EXPECT_EQ(unbox<int>(p->valueForKeyPath("last.length"_ns)), 3);
}
