#include <Foundation/Foundation.h>
#include <Runtime/ClassBuilder.h>

#include <gtest/gtest.h>

namespace {

class DispatchProbe : public NSObject {
    NS_OBJECT(DispatchProbe, NSObject)
    NS_PROPERTY(Ref<NSString>, last, setLast)
    NS_PROPERTY(long, count, setCount)
public:
    int add(int a, int b) { return a + b; }
    double scale(double v, bool twice) { return twice ? v * 2 : v; }
    NSRange widen(NSRange r) { return NSMakeRange(r.location, r.length + 1); }
    void touch(const Ref<NSString>& s) {
        calls.push_back("touch");
        last_ = s;
    }
    Ref<NSString> nameOf(SEL s) { return NSString::from(s.name()); }
    bool isReady() const { return true; }
    std::vector<std::string> calls;
};

class DispatchChild : public DispatchProbe {
    NS_OBJECT(DispatchChild, DispatchProbe)
};

// Needs an argument to be made, so the class cannot make instances by name.
class DispatchNoFactory : public NSObject {
    NS_OBJECT(DispatchNoFactory, NSObject)
public:
    explicit DispatchNoFactory(int) {}
};

// Stands in for another object: what it does not implement goes to the target.
class DispatchProxy : public NSObject {
    NS_OBJECT(DispatchProxy, NSObject)
public:
    id target;
    id forwardingTargetForSelector(SEL) const override { return target; }
    Ref<NSString> own() { return "proxy"_ns; }
};

Ref<NSString> reasonOf(const std::function<void()>& f, std::string* name = nullptr) {
    try {
        f();
    } catch (const NSException& e) {
        if (name) {
            *name = e.name();
        }
        return NSString::from(e.reason());
    }
    return nullptr;
}

} // namespace

NS_IMPLEMENT_CLASS(DispatchProbe, NSObject) {
    b.method("add:to:", &DispatchProbe::add);
    b.method("scale:twice:", &DispatchProbe::scale);
    b.method("widen:", &DispatchProbe::widen);
    b.method("touch:", &DispatchProbe::touch);
    b.method("nameOf:", &DispatchProbe::nameOf);
    b.methodBlock("shout:", [](DispatchProbe* self, Ref<NSString> s) { return s->uppercaseString(); });
    b.property("last", &DispatchProbe::last, &DispatchProbe::setLast);
    b.property("count", &DispatchProbe::count, &DispatchProbe::setCount);
    b.readonlyProperty("ready", &DispatchProbe::isReady, "getter=isReady");
    b.classMethod("isSupport", [] { return true; });
    b.classMethod("twice:", [](long v) { return v * 2; });
}
NS_IMPLEMENT_CLASS(DispatchChild, DispatchProbe) {}
NS_IMPLEMENT_CLASS(DispatchNoFactory, NSObject) {}
NS_IMPLEMENT_CLASS(DispatchProxy, NSObject) {
    b.method("own", &DispatchProxy::own);
}

// MARK: - Messages by selector

TEST(Dispatch, ArgumentsAndResultsAreBoxed) {
    auto p = make<DispatchProbe>();
    EXPECT_EQ(unbox<int>(p->performSelectorWithArguments("add:to:", {box(2), box(3)})), 5);
    EXPECT_DOUBLE_EQ(unbox<double>(p->performSelectorWithObjectWithObject("scale:twice:", box(1.5), box(true))), 3.0);
    id widened = p->performSelectorWithObject("widen:", NSValue::valueWithRange(NSMakeRange(2, 3)));
    EXPECT_EQ(cast<NSValue>(widened)->rangeValue(), NSMakeRange(2, 4));
    EXPECT_FALSE(p->performSelectorWithObject("touch:", "hi"_ns)); // void answers nil
    EXPECT_EQ(p->last()->str(), "hi");
    p->performSelectorWithObject("touch:", nullptr); // nil reaches an object parameter as nil
    EXPECT_FALSE(p->last());
    EXPECT_EQ(cast<NSString>(p->performSelectorWithObject("nameOf:", "viewDidLoad"_ns))->str(), "viewDidLoad");
    EXPECT_EQ(cast<NSString>(p->performSelectorWithObject("shout:", "abc"_ns))->str(), "ABC");
}

TEST(Dispatch, SubclassesInheritMethods) {
    auto c = make<DispatchChild>();
    EXPECT_TRUE(c->respondsToSelector("add:to:"));
    EXPECT_EQ(unbox<int>(c->performSelectorWithArguments("add:to:", {box(1), box(1)})), 2);
}

TEST(Dispatch, PropertiesAnswerTheirAccessorSelectors) {
    auto p = make<DispatchProbe>();
    EXPECT_TRUE(p->respondsToSelector("last"));
    EXPECT_TRUE(p->respondsToSelector("setLast:"));
    EXPECT_TRUE(p->respondsToSelector("isReady"));
    EXPECT_FALSE(p->respondsToSelector("setReady:"));
    p->performSelectorWithObject("setCount:", box(7));
    EXPECT_EQ(p->count(), 7);
    EXPECT_EQ(unbox<long>(p->performSelector("count")), 7);
    EXPECT_TRUE(unbox<bool>(p->performSelector("isReady")));
}

TEST(Dispatch, BadMessagesRaise) {
    auto p = make<DispatchProbe>();
    std::string name;
    auto reason = reasonOf([&] { p->performSelector("nothing"); }, &name);
    ASSERT_TRUE(reason);
    EXPECT_EQ(name, NSInvalidArgumentException);
    EXPECT_TRUE(reason->containsString("-[DispatchProbe nothing]: unrecognized selector"_ns));

    reason = reasonOf([&] { p->performSelectorWithArguments("add:to:", {box(1)}); }, &name);
    ASSERT_TRUE(reason);
    EXPECT_EQ(name, NSInvalidArgumentException);
    EXPECT_TRUE(reason->containsString("expected 2 arguments, got 1"_ns));

    reason = reasonOf([&] { p->performSelectorWithArguments("add:to:", {"x"_ns, box(1)}); }, &name);
    ASSERT_TRUE(reason);
    EXPECT_EQ(name, NSInvalidArgumentException);
    EXPECT_TRUE(reason->containsString("NSNumber"_ns));

    EXPECT_THROW(p->performSelectorWithObject("touch:", box(1)), NSException); // not a string
    EXPECT_THROW(p->performSelectorWithObject("widen:", box(1)), NSException); // not an NSValue
    EXPECT_THROW(p->performSelectorWithObject("widen:", NSValue::valueWithPointer(nullptr)), NSException);
    EXPECT_THROW(p->performSelector(SEL()), NSException);
    EXPECT_TRUE(p->calls.empty()); // nothing ran
}

TEST(Dispatch, InvocationObserversRunAfterTheMethod) {
    auto p = make<DispatchProbe>();
    std::vector<id> seen;
    uint64_t first = p->addInvocationObserver("touch:", [&](NSObject* self, const std::vector<id>& args) {
        auto probe = static_cast<DispatchProbe*>(self);
        probe->calls.push_back("observer 1");
        seen = args;
    });
    p->addInvocationObserver("touch:", [&](NSObject* self, const std::vector<id>&) {
        static_cast<DispatchProbe*>(self)->calls.push_back("observer 2");
    });
    EXPECT_TRUE(p->hasInvocationObservers("touch:"));
    p->performSelectorWithObject("touch:", "hi"_ns);
    EXPECT_EQ(p->calls, (std::vector<std::string>{"touch", "observer 1", "observer 2"}));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0]->isEqual("hi"_ns));

    p->calls.clear();
    p->touch("direct"_ns); // a plain C++ call does not notify
    EXPECT_EQ(p->calls, std::vector<std::string>{"touch"});

    p->calls.clear();
    p->removeInvocationObserver(first);
    p->performSelectorWithObject("touch:", "again"_ns);
    EXPECT_EQ(p->calls, (std::vector<std::string>{"touch", "observer 2"}));
    EXPECT_FALSE(make<DispatchProbe>()->hasInvocationObservers("touch:")); // per object
}

TEST(Dispatch, AnObserverMayRemoveItselfWhileCalled) {
    auto p = make<DispatchProbe>();
    int calls = 0;
    uint64_t token = 0;
    token = p->addInvocationObserver("touch:", [&](NSObject* self, const std::vector<id>&) {
        ++calls;
        self->removeInvocationObserver(token);
    });
    p->performSelectorWithObject("touch:", "a"_ns);
    p->performSelectorWithObject("touch:", "b"_ns);
    EXPECT_EQ(calls, 1);
}

TEST(Dispatch, ObserverStubAnswersMissingSelector) {
    auto p = make<DispatchProbe>();
    EXPECT_FALSE(p->respondsToSelector("tableView:didSelect:"));
    int calls = 0;
    uint64_t token = p->addInvocationObserver(
        "tableView:didSelect:", [&](NSObject*, const std::vector<id>& args) { calls += unbox<int>(args[1]); }, true);
    EXPECT_TRUE(p->respondsToSelector("tableView:didSelect:"));
    EXPECT_FALSE(p->performSelectorWithObjectWithObject("tableView:didSelect:", nullptr, box(2)));
    EXPECT_EQ(calls, 2);
    EXPECT_THROW(p->performSelectorWithObject("tableView:didSelect:", nullptr), NSException); // arity still checked
    p->removeInvocationObserver(token);
    EXPECT_FALSE(p->respondsToSelector("tableView:didSelect:"));
    EXPECT_THROW(p->performSelectorWithObjectWithObject("tableView:didSelect:", nullptr, box(2)), NSException);
}

TEST(Dispatch, ForwardingTargetReceivesUnknownSelectors) {
    auto proxy = make<DispatchProxy>();
    auto real = make<DispatchProbe>();
    EXPECT_THROW(proxy->performSelectorWithArguments("add:to:", {box(1), box(2)}), NSException); // no target yet
    proxy->target = real;
    EXPECT_EQ(unbox<int>(proxy->performSelectorWithArguments("add:to:", {box(1), box(2)})), 3);
    proxy->performSelectorWithObject("touch:", "via proxy"_ns);
    EXPECT_EQ(real->last()->str(), "via proxy");
    EXPECT_EQ(cast<NSString>(proxy->performSelector("own"))->str(), "proxy"); // its own methods stay its own
    EXPECT_FALSE(proxy->respondsToSelector("add:to:"));
    EXPECT_THROW(proxy->performSelector("neither"), NSException);
}

// MARK: - Classes and selectors

TEST(Classes, ByNameAndClassOperations) {
    Class c = NSClassFromString("DispatchProbe");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c, DispatchProbe::class_());
    EXPECT_EQ(NSClassFromString("DispatchProbe"_ns), c);
    EXPECT_EQ(c->superclass(), NSObject::class_());
    EXPECT_TRUE(unbox<bool>(c->performClassSelector("isSupport")));
    EXPECT_EQ(unbox<long>(c->performClassSelector("twice:", {box(21)})), 42);
    EXPECT_TRUE(DispatchChild::class_()->respondsToSelector("isSupport")); // class operations are inherited
    EXPECT_THROW(c->performClassSelector("nothing"), NSException);
    EXPECT_THROW(c->performClassSelector("twice:"), NSException);
    id made = c->createInstance();
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->isKindOfClass(NSObject::class_()));
    EXPECT_TRUE(made->isMemberOfClass(DispatchProbe::class_()));
    EXPECT_FALSE(made->isMemberOfClass(NSObject::class_()));
    EXPECT_EQ(NSStringFromClass(made->getClass())->str(), "DispatchProbe");
    EXPECT_EQ(NSClassFromString("NoSuchClass"), nullptr);
    EXPECT_EQ(NSClassFromString(Ref<NSString>()), nullptr);
    EXPECT_FALSE(NSStringFromClass(nullptr));
}

TEST(Classes, HierarchyAndListing) {
    auto child = make<DispatchChild>();
    EXPECT_EQ(child->superclass(), DispatchProbe::class_());
    EXPECT_TRUE(child->isKindOfClass(DispatchProbe::class_()));
    EXPECT_FALSE(make<DispatchProbe>()->isKindOfClass(DispatchChild::class_()));
    EXPECT_FALSE(child->isKindOfClass(nullptr));
    EXPECT_TRUE(DispatchChild::class_()->isSubclassOfClass(NSObject::class_()));
    auto all = objc_copyClassList();
    EXPECT_NE(std::find(all.begin(), all.end(), DispatchChild::class_()), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), NSString::class_()), all.end());
    EXPECT_FALSE(DispatchNoFactory::class_()->canCreateInstances());
    EXPECT_FALSE(DispatchNoFactory::class_()->createInstance());
}

TEST(Classes, SelectorsAreInterned) {
    SEL a("tableView:cellForRowAtIndexPath:");
    SEL b(std::string("tableView:cellForRowAtIndexPath:"));
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.key(), b.key());
    EXPECT_EQ(a.argumentCount(), 2u);
    EXPECT_EQ(SEL("viewDidLoad").argumentCount(), 0u);
    EXPECT_FALSE(a == SEL("tableView:"));
    EXPECT_TRUE(SEL().isNull());
    EXPECT_EQ(NSSelectorFromString("viewDidLoad"_ns), SEL("viewDidLoad"));
    EXPECT_TRUE(NSSelectorFromString(nullptr).isNull());
    EXPECT_EQ(NSStringFromSelector(a)->str(), "tableView:cellForRowAtIndexPath:");
    EXPECT_FALSE(NSStringFromSelector(SEL()));
}

// MARK: - Key-value coding

TEST(KeyValueCoding, PropertiesAndPaths) {
    auto p = make<DispatchProbe>();
    p->setValueForKey("abc"_ns, "last"_ns);
    EXPECT_EQ(p->last()->str(), "abc");
    EXPECT_EQ(unbox<int>(p->valueForKeyPath("last.length"_ns)), 3);
    p->setValueForKey(box(12), "count"_ns);
    EXPECT_EQ(unbox<long>(p->valueForKey("count"_ns)), 12);
    EXPECT_TRUE(unbox<bool>(p->valueForKey("ready"_ns)));
}

TEST(KeyValueCoding, ErrorsRaise) {
    auto p = make<DispatchProbe>();
    std::string name;
    EXPECT_TRUE(reasonOf([&] { p->valueForKey("missing"_ns); }, &name));
    EXPECT_EQ(name, NSUndefinedKeyException);
    EXPECT_TRUE(reasonOf([&] { p->setValueForKey(box(1), "missing"_ns); }, &name));
    EXPECT_EQ(name, NSUndefinedKeyException);
    EXPECT_TRUE(reasonOf([&] { p->setValueForKey(box(true), "ready"_ns); }, &name)); // computed, read-only
    EXPECT_EQ(name, NSUndefinedKeyException);
    EXPECT_TRUE(reasonOf([&] { p->setValueForKey(nullptr, "count"_ns); }, &name)); // nil for a scalar
    EXPECT_EQ(name, NSInvalidArgumentException);
    EXPECT_THROW(p->setValueForKey("text"_ns, "count"_ns), NSException); // wrong type
    EXPECT_THROW(p->valueForKey(nullptr), NSException);
    EXPECT_FALSE(p->valueForKeyPath("last.length"_ns)); // nil part way answers nil
}
