// Costs of the object runtime's hot paths: object creation and release, weak loads, dispatch by
// selector, key-value coding and observing, boxing.
#include <Foundation/Foundation.h>
#include <Runtime/ClassBuilder.h>

#include <benchmark/benchmark.h>

namespace {

class BenchModel : public NSObject {
    NS_OBJECT(BenchModel, NSObject)
    NS_PROPERTY(long, level, setLevel)
public:
    int add(int a, int b) { return a + b; }
    void ping() {}
};

class BenchDeep4 : public BenchModel {
    NS_OBJECT(BenchDeep4, BenchModel)
};
class BenchDeep3 : public BenchDeep4 {
    NS_OBJECT(BenchDeep3, BenchDeep4)
};
class BenchDeep2 : public BenchDeep3 {
    NS_OBJECT(BenchDeep2, BenchDeep3)
};
class BenchDeep1 : public BenchDeep2 {
    NS_OBJECT(BenchDeep1, BenchDeep2)
};

class BenchObserver : public NSObject {
    NS_OBJECT(BenchObserver, NSObject)
public:
    long seen = 0;
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>&, const id&, const Ref<NSDictionary>&,
                                                     void*) override {
        ++seen;
    }
};

} // namespace

NS_IMPLEMENT_CLASS(BenchModel, NSObject) {
    b.method("add:to:", &BenchModel::add);
    b.method("ping", &BenchModel::ping);
    b.property("level", &BenchModel::level, &BenchModel::setLevel);
}
NS_IMPLEMENT_CLASS(BenchDeep4, BenchModel) {}
NS_IMPLEMENT_CLASS(BenchDeep3, BenchDeep4) {}
NS_IMPLEMENT_CLASS(BenchDeep2, BenchDeep3) {}
NS_IMPLEMENT_CLASS(BenchDeep1, BenchDeep2) {}
NS_IMPLEMENT_CLASS(BenchObserver, NSObject) {}

static void BM_ObjectCreateRelease(benchmark::State& state) {
    for (auto _ : state) {
        auto object = make<BenchModel>();
        benchmark::DoNotOptimize(object.get());
    }
}
BENCHMARK(BM_ObjectCreateRelease);

static void BM_RetainRelease(benchmark::State& state) {
    auto object = make<BenchModel>();
    for (auto _ : state) {
        Ref<BenchModel> copy = object;
        benchmark::DoNotOptimize(copy.get());
    }
}
BENCHMARK(BM_RetainRelease);

static void BM_WeakLock(benchmark::State& state) {
    auto object = make<BenchModel>();
    Weak<BenchModel> weak = object;
    for (auto _ : state) {
        auto strong = weak.lock();
        benchmark::DoNotOptimize(strong.get());
    }
}
BENCHMARK(BM_WeakLock);

// Two boxed arguments, a boxed result; the selector and arguments made once.
static void BM_PerformSelectorTwoArguments(benchmark::State& state) {
    auto object = make<BenchModel>();
    SEL selector("add:to:");
    std::vector<id> args{box(2), box(3)};
    for (auto _ : state) {
        id result = object->performSelectorWithArguments(selector, args);
        benchmark::DoNotOptimize(result.get());
    }
}
BENCHMARK(BM_PerformSelectorTwoArguments);

// The same as a call site writes it: the selector from its name, the arguments boxed on the spot.
static void BM_PerformSelectorTwoArgumentsInline(benchmark::State& state) {
    auto object = make<BenchModel>();
    int i = 0;
    for (auto _ : state) {
        id result = object->performSelectorWithArguments("add:to:", {box(i), box(3)});
        benchmark::DoNotOptimize(result.get());
        ++i;
    }
}
BENCHMARK(BM_PerformSelectorTwoArgumentsInline);

// A method found four classes up.
static void BM_PerformSelectorInherited(benchmark::State& state) {
    auto object = make<BenchDeep1>();
    SEL selector("ping");
    for (auto _ : state) {
        id result = object->performSelector(selector);
        benchmark::DoNotOptimize(result.get());
    }
}
BENCHMARK(BM_PerformSelectorInherited);

static void BM_RespondsToSelector(benchmark::State& state) {
    auto object = make<BenchDeep1>();
    SEL selector("ping");
    for (auto _ : state) {
        benchmark::DoNotOptimize(object->respondsToSelector(selector));
    }
}
BENCHMARK(BM_RespondsToSelector);

static void BM_SelectorFromName(benchmark::State& state) {
    for (auto _ : state) {
        SEL selector("tableView:cellForRowAtIndexPath:");
        benchmark::DoNotOptimize(selector.key());
    }
}
BENCHMARK(BM_SelectorFromName);

static void BM_ValueForKey(benchmark::State& state) {
    auto object = make<BenchModel>();
    auto key = "level"_ns;
    for (auto _ : state) {
        id value = object->valueForKey(key);
        benchmark::DoNotOptimize(value.get());
    }
}
BENCHMARK(BM_ValueForKey);

static void BM_SetterUnobserved(benchmark::State& state) {
    auto object = make<BenchModel>();
    long i = 0;
    for (auto _ : state) {
        object->setLevel(++i);
    }
}
BENCHMARK(BM_SetterUnobserved);

// A setter announcing its change to one observer that asked for the new and old values.
static void BM_KVONotificationOneObserver(benchmark::State& state) {
    auto object = make<BenchModel>();
    auto observer = make<BenchObserver>();
    object->addObserverForKeyPathOptionsContext(observer.get(), "level"_ns,
                                                NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, nullptr);
    long i = 0;
    for (auto _ : state) {
        object->setLevel(++i);
    }
    object->removeObserverForKeyPath(observer.get(), "level"_ns);
    benchmark::DoNotOptimize(observer->seen);
}
BENCHMARK(BM_KVONotificationOneObserver);

static void BM_BoxUnboxInt(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        auto boxed = box(i);
        benchmark::DoNotOptimize(unbox<int>(boxed));
        ++i;
    }
}
BENCHMARK(BM_BoxUnboxInt);
