#include <Foundation/Foundation.h>
#include <Foundation/NSIndexSet.h>
#include <Runtime/ClassBuilder.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class KVOPerson : public NSObject {
    NS_OBJECT(KVOPerson, NSObject)
    NS_PROPERTY(Ref<NSString>, name, setName)
    NS_PROPERTY(long, age, setAge)
    NS_PROPERTY(Ref<KVOPerson>, partner, setPartner)
    NS_WEAK_PROPERTY(KVOPerson, boss, setBoss)
public:
    KVOPerson() = default;
    explicit KVOPerson(const char* n) { name_ = NSString::from(n); }
};

// Announces changes of `level` by hand only.
class KVOGauge : public NSObject {
    NS_OBJECT(KVOGauge, NSObject)
    NS_PROPERTY(long, level, setLevel)
};

// A to-many property with indexed changes.
class KVOPlaylist : public NSObject {
    NS_OBJECT(KVOPlaylist, NSObject)
public:
    Ref<NSArray> songs() const { return NSArray::arrayWithVector(songs_); }
    void insertSongAtIndex(const id& song, NSUInteger index) {
        auto indexes = NSIndexSet::indexSetWithIndex(index);
        willChangeValuesAtIndexesForKey(NSKeyValueChangeInsertion, indexes, "songs"_ns);
        songs_.insert(songs_.begin() + static_cast<long>(index), song);
        didChangeValuesAtIndexesForKey(NSKeyValueChangeInsertion, indexes, "songs"_ns);
    }
    void removeSongsInRange(NSRange range) {
        auto indexes = NSIndexSet::indexSetWithIndexesInRange(range);
        willChangeValuesAtIndexesForKey(NSKeyValueChangeRemoval, indexes, "songs"_ns);
        songs_.erase(songs_.begin() + static_cast<long>(range.location),
                     songs_.begin() + static_cast<long>(NSMaxRange(range)));
        didChangeValuesAtIndexesForKey(NSKeyValueChangeRemoval, indexes, "songs"_ns);
    }
    void replaceSongAtIndex(NSUInteger index, const id& song) {
        auto indexes = NSIndexSet::indexSetWithIndex(index);
        willChangeValuesAtIndexesForKey(NSKeyValueChangeReplacement, indexes, "songs"_ns);
        songs_[index] = song;
        didChangeValuesAtIndexesForKey(NSKeyValueChangeReplacement, indexes, "songs"_ns);
    }

private:
    std::vector<id> songs_;
};

struct Note {
    std::string keyPath;
    id object;
    Ref<NSDictionary> change;
    void* context;

    id value(const Ref<NSString>& key) const { return change->objectForKey(key); }
    long kind() const { return unbox<long>(value(NSKeyValueChangeKindKey())); }
    id newValue() const { return value(NSKeyValueChangeNewKey()); }
    id oldValue() const { return value(NSKeyValueChangeOldKey()); }
    bool isPrior() const { return unbox<bool>(value(NSKeyValueChangeNotificationIsPriorKey())); }
};

class KVORecorder : public NSObject {
    NS_OBJECT(KVORecorder, NSObject)
public:
    std::vector<Note> notes;
    std::function<void(KVORecorder*, const Note&)> onNote;
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                     const Ref<NSDictionary>& change, void* context) override {
        Note note{keyPath->str(), object, change, context};
        notes.push_back(note);
        if (onNote) {
            onNote(this, note);
        }
    }
};

// Counts notifications from several threads.
class KVOCounter : public NSObject {
    NS_OBJECT(KVOCounter, NSObject)
public:
    std::atomic<int> count{0};
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>&, const id&, const Ref<NSDictionary>&,
                                                     void*) override {
        count.fetch_add(1, std::memory_order_relaxed);
    }
};

// A thread-safe property, for the threaded tests (the plain accessors are not atomic).
class KVOAtomicBox : public NSObject {
    NS_OBJECT(KVOAtomicBox, NSObject)
public:
    Ref<KVOAtomicBox> next() const {
        std::lock_guard lock(mutex_);
        return next_;
    }
    void setNext(Ref<KVOAtomicBox> value) {
        changeValueForKey("next", [&] {
            std::lock_guard lock(mutex_);
            next_ = std::move(value);
        });
    }
    long count() const { return count_.load(); }
    void setCount(long value) {
        changeValueForKey("count", [&] { count_.store(value); });
    }

private:
    mutable std::mutex mutex_;
    Ref<KVOAtomicBox> next_;
    std::atomic<long> count_{0};
};

int contextA, contextB;
constexpr NSKeyValueObservingOptions kNewOld = NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld;

bool isNull(const id& value) {
    return value && value->isKindOfClass(NSNull::class_());
}

} // namespace

NS_IMPLEMENT_CLASS(KVOPerson, NSObject) {
    b.property("name", &KVOPerson::name, &KVOPerson::setName, "copy");
    b.property("age", &KVOPerson::age, &KVOPerson::setAge);
    b.property("partner", &KVOPerson::partner, &KVOPerson::setPartner);
    b.property("boss", &KVOPerson::boss, &KVOPerson::setBoss, "weak");
}
NS_IMPLEMENT_CLASS(KVOGauge, NSObject) {
    b.property("level", &KVOGauge::level, &KVOGauge::setLevel);
    b.manualNotification("level");
}
NS_IMPLEMENT_CLASS(KVOPlaylist, NSObject) {
    b.readonlyProperty("songs", &KVOPlaylist::songs);
}
NS_IMPLEMENT_CLASS(KVORecorder, NSObject) {}
NS_IMPLEMENT_CLASS(KVOCounter, NSObject) {}
NS_IMPLEMENT_CLASS(KVOAtomicBox, NSObject) {
    b.property("next", &KVOAtomicBox::next, &KVOAtomicBox::setNext);
    b.property("count", &KVOAtomicBox::count, &KVOAtomicBox::setCount);
}

// MARK: - Options and the change dictionary

TEST(KVOOptions, NewAndOldWithNullForNil) {
    auto person = make<KVOPerson>();
    auto rec = make<KVORecorder>();
    person->addObserverForKeyPathOptionsContext(rec.get(), "name"_ns, kNewOld, &contextA);
    person->setName("Ada"_ns);
    person->setName(nullptr);
    ASSERT_EQ(rec->notes.size(), 2u);
    const Note& first = rec->notes[0];
    EXPECT_EQ(first.keyPath, "name");
    EXPECT_EQ(first.object, person);
    EXPECT_EQ(first.context, &contextA);
    EXPECT_EQ(first.kind(), NSKeyValueChangeSetting);
    EXPECT_TRUE(isNull(first.oldValue()));
    EXPECT_TRUE(first.newValue()->isEqual("Ada"_ns));
    EXPECT_FALSE(first.value(NSKeyValueChangeNotificationIsPriorKey()));
    EXPECT_TRUE(rec->notes[1].oldValue()->isEqual("Ada"_ns));
    EXPECT_TRUE(isNull(rec->notes[1].newValue()));
    person->removeObserverForKeyPathContext(rec.get(), "name"_ns, &contextA);
}

TEST(KVOOptions, WithoutOptionsOnlyTheKindIsReported) {
    auto person = make<KVOPerson>();
    auto rec = make<KVORecorder>();
    person->addObserverForKeyPathOptionsContext(rec.get(), "age"_ns, 0, nullptr);
    person->setAge(3);
    ASSERT_EQ(rec->notes.size(), 1u);
    EXPECT_EQ(rec->notes[0].change->count(), 1u);
    EXPECT_EQ(rec->notes[0].kind(), NSKeyValueChangeSetting);
}

TEST(KVOOptions, ScalarValuesAreBoxed) {
    auto person = make<KVOPerson>();
    auto rec = make<KVORecorder>();
    person->setAge(40);
    person->addObserverForKeyPathOptionsContext(rec.get(), "age"_ns, kNewOld, nullptr);
    person->setValueForKey(box(41), "age"_ns);
    ASSERT_EQ(rec->notes.size(), 1u);
    EXPECT_EQ(unbox<long>(rec->notes[0].oldValue()), 40);
    EXPECT_EQ(unbox<long>(rec->notes[0].newValue()), 41);
}

TEST(KVOOptions, InitialNotifiesAtRegistration) {
    auto person = make<KVOPerson>("Ada");
    auto rec = make<KVORecorder>();
    person->addObserverForKeyPathOptionsContext(rec.get(), "name"_ns, NSKeyValueObservingOptionInitial | kNewOld,
                                                nullptr);
    ASSERT_EQ(rec->notes.size(), 1u);
    EXPECT_TRUE(rec->notes[0].newValue()->isEqual("Ada"_ns));
    EXPECT_FALSE(rec->notes[0].oldValue()); // never an old value at registration

    auto bare = make<KVORecorder>();
    person->addObserverForKeyPathOptionsContext(bare.get(), "name"_ns, NSKeyValueObservingOptionInitial, nullptr);
    ASSERT_EQ(bare->notes.size(), 1u);
    EXPECT_EQ(bare->notes[0].change->count(), 1u);
}

TEST(KVOOptions, PriorNotifiesBeforeTheChange) {
    auto person = make<KVOPerson>("Ada");
    auto rec = make<KVORecorder>();
    rec->onNote = [&](KVORecorder*, const Note& note) {
        if (note.isPrior()) {
            EXPECT_EQ(person->name()->str(), "Ada"); // not changed yet
        }
    };
    person->addObserverForKeyPathOptionsContext(rec.get(), "name"_ns, NSKeyValueObservingOptionPrior | kNewOld,
                                                nullptr);
    person->setName("Grace"_ns);
    ASSERT_EQ(rec->notes.size(), 2u);
    EXPECT_TRUE(rec->notes[0].isPrior());
    EXPECT_TRUE(rec->notes[0].oldValue()->isEqual("Ada"_ns));
    EXPECT_FALSE(rec->notes[0].newValue());
    EXPECT_FALSE(rec->notes[1].isPrior());
    EXPECT_TRUE(rec->notes[1].newValue()->isEqual("Grace"_ns));
    rec->onNote = nullptr;

    auto noOld = make<KVORecorder>();
    person->addObserverForKeyPathOptionsContext(noOld.get(), "name"_ns, NSKeyValueObservingOptionPrior, nullptr);
    person->setName("Linus"_ns);
    ASSERT_EQ(noOld->notes.size(), 2u);
    EXPECT_TRUE(noOld->notes[0].isPrior());
    EXPECT_FALSE(noOld->notes[0].oldValue());
}

// MARK: - Registration and removal

TEST(KVORegistration, RemovalStopsNotificationsAndMatchesTheContext) {
    auto person = make<KVOPerson>();
    auto rec = make<KVORecorder>();
    person->addObserverForKeyPathOptionsContext(rec.get(), "age"_ns, 0, &contextA);
    person->addObserverForKeyPathOptionsContext(rec.get(), "age"_ns, 0, &contextB);
    EXPECT_TRUE(person->hasKeyValueObservers());
    person->removeObserverForKeyPathContext(rec.get(), "age"_ns, &contextA);
    person->setAge(1);
    ASSERT_EQ(rec->notes.size(), 1u);
    EXPECT_EQ(rec->notes[0].context, &contextB);
    person->removeObserverForKeyPath(rec.get(), "age"_ns);
    person->setAge(2);
    EXPECT_EQ(rec->notes.size(), 1u);
    EXPECT_FALSE(person->hasKeyValueObservers());
}

TEST(KVORegistration, RemovingAnUnregisteredObserverRaises) {
    auto person = make<KVOPerson>();
    auto rec = make<KVORecorder>();
    try {
        person->removeObserverForKeyPath(rec.get(), "age"_ns);
        FAIL() << "expected NSRangeException";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSRangeException);
        EXPECT_NE(e.reason().find("age"), std::string::npos);
    }
    person->addObserverForKeyPathOptionsContext(rec.get(), "age"_ns, 0, &contextA);
    EXPECT_THROW(person->removeObserverForKeyPathContext(rec.get(), "age"_ns, &contextB), NSException);
    EXPECT_THROW(person->removeObserverForKeyPath(rec.get(), "name"_ns), NSException);
    person->removeObserverForKeyPath(rec.get(), "age"_ns);
    EXPECT_THROW(person->removeObserverForKeyPath(rec.get(), "age"_ns), NSException);
}

TEST(KVORegistration, BadArgumentsRaise) {
    auto person = make<KVOPerson>();
    auto rec = make<KVORecorder>();
    EXPECT_THROW(person->addObserverForKeyPathOptionsContext(nullptr, "age"_ns, 0, nullptr), NSException);
    EXPECT_THROW(person->addObserverForKeyPathOptionsContext(rec.get(), nullptr, 0, nullptr), NSException);
    EXPECT_THROW(person->addObserverForKeyPathOptionsContext(rec.get(), "partner..name"_ns, 0, nullptr), NSException);
    EXPECT_THROW(person->addObserverForKeyPathOptionsContext(rec.get(), ""_ns, 0, nullptr), NSException);
    EXPECT_FALSE(person->hasKeyValueObservers());
}

TEST(KVORegistration, AKeyPathThroughAnUnknownKeyRaisesAndLeavesNothing) {
    auto person = make<KVOPerson>();
    auto rec = make<KVORecorder>();
    try {
        person->addObserverForKeyPathOptionsContext(rec.get(), "missing.name"_ns, 0, nullptr);
        FAIL() << "expected NSUndefinedKeyException";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSUndefinedKeyException);
    }
    EXPECT_THROW(person->addObserverForKeyPathOptionsContext(
                     rec.get(), "missing"_ns, NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionNew, nullptr),
                 NSException);
    EXPECT_FALSE(person->hasKeyValueObservers());
    EXPECT_THROW(person->removeObserverForKeyPath(rec.get(), "missing"_ns), NSException);
    // A single unknown key without values asked for is accepted: it can be announced by hand.
    person->addObserverForKeyPathOptionsContext(rec.get(), "mood"_ns, 0, nullptr);
    person->willChangeValueForKey("mood"_ns);
    person->didChangeValueForKey("mood"_ns);
    EXPECT_EQ(rec->notes.size(), 1u);
}

TEST(KVORegistration, AnObserverThatDoesNotHandleTheNotificationRaises) {
    auto person = make<KVOPerson>();
    auto plain = make<NSObject>();
    person->addObserverForKeyPathOptionsContext(plain.get(), "age"_ns, 0, nullptr);
    try {
        person->setAge(5);
        FAIL() << "expected NSInternalInconsistencyException";
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInternalInconsistencyException);
    }
    EXPECT_EQ(person->age(), 5); // the change itself happened
    person->removeObserverForKeyPath(plain.get(), "age"_ns);
}

TEST(KVORegistration, ObserversAreNotifiedInRegistrationOrder) {
    auto person = make<KVOPerson>();
    std::vector<int> order;
    auto first = make<KVORecorder>();
    auto second = make<KVORecorder>();
    first->onNote = [&](KVORecorder*, const Note&) { order.push_back(1); };
    second->onNote = [&](KVORecorder*, const Note&) { order.push_back(2); };
    person->addObserverForKeyPathOptionsContext(first.get(), "age"_ns, 0, nullptr);
    person->addObserverForKeyPathOptionsContext(second.get(), "age"_ns, 0, nullptr);
    person->setAge(1);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

// MARK: - Removal and deallocation during notification

TEST(KVOCallbacks, AnObserverMayRemoveItselfAndOthersDuringACallback) {
    auto person = make<KVOPerson>();
    auto first = make<KVORecorder>();
    auto second = make<KVORecorder>();
    first->onNote = [&](KVORecorder* self, const Note&) {
        person->removeObserverForKeyPath(self, "age"_ns);
        person->removeObserverForKeyPath(second.get(), "age"_ns);
    };
    person->addObserverForKeyPathOptionsContext(first.get(), "age"_ns, 0, nullptr);
    person->addObserverForKeyPathOptionsContext(second.get(), "age"_ns, 0, nullptr);
    person->setAge(1);
    person->setAge(2);
    EXPECT_EQ(first->notes.size(), 1u);
    EXPECT_EQ(second->notes.size(), 0u); // removed before its turn
    EXPECT_FALSE(person->hasKeyValueObservers());
}

TEST(KVOCallbacks, AnObserverMayRegisterDuringACallback) {
    auto person = make<KVOPerson>();
    auto first = make<KVORecorder>();
    auto late = make<KVORecorder>();
    first->onNote = [&](KVORecorder*, const Note&) {
        if (late->notes.empty() && first->notes.size() == 1) {
            person->addObserverForKeyPathOptionsContext(late.get(), "age"_ns, 0, nullptr);
        }
    };
    person->addObserverForKeyPathOptionsContext(first.get(), "age"_ns, 0, nullptr);
    person->setAge(1);
    EXPECT_EQ(late->notes.size(), 0u); // not part of the change under way
    person->setAge(2);
    EXPECT_EQ(late->notes.size(), 1u);
}

TEST(KVOCallbacks, AnExceptionInAPriorCallbackAbortsTheChangeCleanly) {
    auto person = make<KVOPerson>();
    auto thrower = make<KVORecorder>();
    auto rec = make<KVORecorder>();
    thrower->onNote = [](KVORecorder*, const Note& note) {
        if (note.isPrior()) {
            NSException::raise(NSGenericException, "refused");
        }
    };
    person->addObserverForKeyPathOptionsContext(thrower.get(), "age"_ns, NSKeyValueObservingOptionPrior, nullptr);
    person->addObserverForKeyPathOptionsContext(rec.get(), "age"_ns, 0, nullptr);
    EXPECT_THROW(person->setAge(1), NSException);
    EXPECT_EQ(person->age(), 0); // not applied
    person->removeObserverForKeyPath(thrower.get(), "age"_ns);
    person->didChangeValueForKey("age"_ns); // nothing left over to pair with
    EXPECT_TRUE(rec->notes.empty());
    person->setAge(2);
    EXPECT_EQ(rec->notes.size(), 1u);
}

TEST(KVOCallbacks, ADeallocatedObserverIsDroppedSilently) {
    auto person = make<KVOPerson>();
    Weak<KVORecorder> watched;
    {
        auto rec = make<KVORecorder>();
        watched = rec;
        person->addObserverForKeyPathOptionsContext(rec.get(), "partner.name"_ns, kNewOld, nullptr);
        person->setPartner(make<KVOPerson>("Bob"));
        EXPECT_EQ(rec->notes.size(), 1u);
    }
    EXPECT_FALSE(watched.lock()); // the registration did not keep it alive
    EXPECT_FALSE(person->hasKeyValueObservers());
    EXPECT_FALSE(person->partner()->hasKeyValueObservers());
    person->setAge(3);
    person->partner()->setName("Bill"_ns);
}

TEST(KVOCallbacks, ADeallocatingTargetDropsItsObservations) {
    auto rec = make<KVORecorder>();
    auto partner = make<KVOPerson>("Bob");
    Weak<KVOPerson> watched;
    {
        auto person = make<KVOPerson>();
        watched = person;
        person->setPartner(partner);
        person->addObserverForKeyPathOptionsContext(rec.get(), "partner.name"_ns, kNewOld, nullptr);
        person->addObserverForKeyPathOptionsContext(rec.get(), "age"_ns, kNewOld, nullptr);
        EXPECT_TRUE(partner->hasKeyValueObservers());
    }
    EXPECT_FALSE(watched.lock());
    EXPECT_FALSE(partner->hasKeyValueObservers()); // nothing left on the intermediate object
    partner->setName("Bill"_ns);
    EXPECT_TRUE(rec->notes.empty());
}

TEST(KVOCallbacks, AnObservedObjectMayDeallocateDuringACallback) {
    auto rec = make<KVORecorder>();
    auto person = make<KVOPerson>();
    rec->onNote = [&](KVORecorder*, const Note&) { person = nullptr; };
    person->addObserverForKeyPathOptionsContext(rec.get(), "age"_ns, 0, nullptr);
    KVOPerson* raw = person.get();
    Ref<KVOPerson>(raw)->setAge(1); // the caller's reference keeps it whole until the setter returns
    EXPECT_FALSE(person);
    EXPECT_EQ(rec->notes.size(), 1u);
}

TEST(KVOCallbacks, SelfObservationEndsWithTheObject) {
    Weak<KVOPerson> watched;
    {
        auto person = make<KVOPerson>();
        watched = person;
        person->addObserverForKeyPathOptionsContext(person.get(), "age"_ns, 0, nullptr);
    }
    EXPECT_FALSE(watched.lock());
}

// MARK: - Key paths

TEST(KVOKeyPaths, FollowsTheIntermediateObject) {
    auto person = make<KVOPerson>();
    auto bob = make<KVOPerson>("Bob");
    auto carol = make<KVOPerson>("Carol");
    auto rec = make<KVORecorder>();
    person->addObserverForKeyPathOptionsContext(rec.get(), "partner.name"_ns, kNewOld, nullptr);

    person->setPartner(bob);
    ASSERT_EQ(rec->notes.size(), 1u);
    EXPECT_EQ(rec->notes[0].keyPath, "partner.name");
    EXPECT_EQ(rec->notes[0].object, person);
    EXPECT_TRUE(isNull(rec->notes[0].oldValue()));
    EXPECT_TRUE(rec->notes[0].newValue()->isEqual("Bob"_ns));

    bob->setName("Robert"_ns);
    ASSERT_EQ(rec->notes.size(), 2u);
    EXPECT_TRUE(rec->notes[1].oldValue()->isEqual("Bob"_ns));
    EXPECT_TRUE(rec->notes[1].newValue()->isEqual("Robert"_ns));
    EXPECT_EQ(rec->notes[1].object, person);

    person->setPartner(carol);
    ASSERT_EQ(rec->notes.size(), 3u);
    EXPECT_TRUE(rec->notes[2].oldValue()->isEqual("Robert"_ns));
    EXPECT_TRUE(rec->notes[2].newValue()->isEqual("Carol"_ns));
    EXPECT_FALSE(bob->hasKeyValueObservers());

    bob->setName("Bobby"_ns); // no longer on the path
    EXPECT_EQ(rec->notes.size(), 3u);
    carol->setName("Caroline"_ns);
    EXPECT_EQ(rec->notes.size(), 4u);

    person->setPartner(nullptr);
    ASSERT_EQ(rec->notes.size(), 5u);
    EXPECT_TRUE(isNull(rec->notes[4].newValue()));
    EXPECT_FALSE(carol->hasKeyValueObservers());

    person->removeObserverForKeyPath(rec.get(), "partner.name"_ns);
    EXPECT_FALSE(person->hasKeyValueObservers());
}

TEST(KVOKeyPaths, ThreeComponentsAndInitial) {
    auto a = make<KVOPerson>("A");
    auto b = make<KVOPerson>("B");
    auto c = make<KVOPerson>("C");
    a->setPartner(b);
    b->setPartner(c);
    auto rec = make<KVORecorder>();
    a->addObserverForKeyPathOptionsContext(rec.get(), "partner.partner.name"_ns,
                                           NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionNew, nullptr);
    ASSERT_EQ(rec->notes.size(), 1u);
    EXPECT_TRUE(rec->notes[0].newValue()->isEqual("C"_ns));
    c->setName("C2"_ns);
    auto d = make<KVOPerson>("D");
    b->setPartner(d);
    c->setName("C3"_ns); // detached
    d->setName("D2"_ns);
    ASSERT_EQ(rec->notes.size(), 4u);
    EXPECT_TRUE(rec->notes[1].newValue()->isEqual("C2"_ns));
    EXPECT_TRUE(rec->notes[2].newValue()->isEqual("D"_ns));
    EXPECT_TRUE(rec->notes[3].newValue()->isEqual("D2"_ns));
    EXPECT_FALSE(c->hasKeyValueObservers());
    a->removeObserverForKeyPath(rec.get(), "partner.partner.name"_ns);
    EXPECT_FALSE(b->hasKeyValueObservers());
    EXPECT_FALSE(d->hasKeyValueObservers());
}

TEST(KVOKeyPaths, PriorOnAnIntermediateChangeReportsTheOldPathValue) {
    auto person = make<KVOPerson>();
    person->setPartner(make<KVOPerson>("Bob"));
    auto rec = make<KVORecorder>();
    person->addObserverForKeyPathOptionsContext(rec.get(), "partner.name"_ns, NSKeyValueObservingOptionPrior | kNewOld,
                                                nullptr);
    person->setPartner(make<KVOPerson>("Carol"));
    ASSERT_EQ(rec->notes.size(), 2u);
    EXPECT_TRUE(rec->notes[0].isPrior());
    EXPECT_TRUE(rec->notes[0].oldValue()->isEqual("Bob"_ns));
    EXPECT_TRUE(rec->notes[1].newValue()->isEqual("Carol"_ns));
}

TEST(KVOKeyPaths, ObservationDoesNotKeepAWeakIntermediateAlive) {
    auto person = make<KVOPerson>();
    auto rec = make<KVORecorder>();
    Weak<KVOPerson> watched;
    {
        auto boss = make<KVOPerson>("Boss");
        watched = boss;
        person->setBoss(boss);
        person->addObserverForKeyPathOptionsContext(rec.get(), "boss.name"_ns, kNewOld, nullptr);
        boss->setName("Big Boss"_ns);
        EXPECT_EQ(rec->notes.size(), 1u);
    }
    EXPECT_FALSE(watched.lock());
    EXPECT_FALSE(person->boss());
    EXPECT_FALSE(person->valueForKey("boss"_ns));
    EXPECT_FALSE(person->valueForKeyPath("boss.name"_ns));
    auto next = make<KVOPerson>("Next");
    person->setBoss(next);
    ASSERT_EQ(rec->notes.size(), 2u);
    EXPECT_TRUE(isNull(rec->notes[1].oldValue()));
    EXPECT_TRUE(rec->notes[1].newValue()->isEqual("Next"_ns));
    next->setName("Next2"_ns);
    EXPECT_EQ(rec->notes.size(), 3u);
    person->removeObserverForKeyPath(rec.get(), "boss.name"_ns);
}

TEST(KVOKeyPaths, KeyValueCodingOfWeakProperties) {
    auto person = make<KVOPerson>();
    {
        auto boss = make<KVOPerson>("Boss");
        person->setValueForKey(boss, "boss"_ns);
        EXPECT_EQ(person->valueForKey("boss"_ns), boss);
        EXPECT_EQ(cast<NSString>(person->valueForKeyPath("boss.name"_ns))->str(), "Boss");
    }
    EXPECT_FALSE(person->valueForKey("boss"_ns));
    const ObjCProperty* p = class_getProperty(KVOPerson::class_(), "boss");
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->weak);
}

// MARK: - Manual and to-many notification

TEST(KVOManual, OptedOutKeysNotifyOnlyByHand) {
    auto gauge = make<KVOGauge>();
    auto rec = make<KVORecorder>();
    gauge->addObserverForKeyPathOptionsContext(rec.get(), "level"_ns, kNewOld, nullptr);
    gauge->setLevel(1);
    gauge->setValueForKey(box(2), "level"_ns);
    EXPECT_TRUE(rec->notes.empty());
    gauge->willChangeValueForKey("level"_ns);
    gauge->setLevel(3);
    gauge->didChangeValueForKey("level"_ns);
    ASSERT_EQ(rec->notes.size(), 1u);
    EXPECT_EQ(unbox<long>(rec->notes[0].oldValue()), 2);
    EXPECT_EQ(unbox<long>(rec->notes[0].newValue()), 3);
}

TEST(KVOManual, NestedChangesOfOneKeyPairUp) {
    auto gauge = make<KVOGauge>();
    auto rec = make<KVORecorder>();
    gauge->addObserverForKeyPathOptionsContext(rec.get(), "level"_ns, kNewOld, nullptr);
    gauge->willChangeValueForKey("level"_ns);
    gauge->setLevel(1);
    gauge->willChangeValueForKey("level"_ns);
    gauge->setLevel(2);
    gauge->didChangeValueForKey("level"_ns);
    gauge->didChangeValueForKey("level"_ns);
    ASSERT_EQ(rec->notes.size(), 2u);
    EXPECT_EQ(unbox<long>(rec->notes[0].oldValue()), 1); // the inner pair first
    EXPECT_EQ(unbox<long>(rec->notes[1].oldValue()), 0);
    EXPECT_EQ(unbox<long>(rec->notes[1].newValue()), 2);
}

TEST(KVOManual, UnpairedDidChangeIsIgnored) {
    auto gauge = make<KVOGauge>();
    auto rec = make<KVORecorder>();
    gauge->addObserverForKeyPathOptionsContext(rec.get(), "level"_ns, kNewOld, nullptr);
    gauge->didChangeValueForKey("level"_ns);
    EXPECT_TRUE(rec->notes.empty());
    EXPECT_THROW(gauge->willChangeValueForKey(nullptr), NSException);
}

TEST(KVOManual, AutomaticKeysNotifyThroughTheSetterAndByHand) {
    auto person = make<KVOPerson>();
    auto rec = make<KVORecorder>();
    person->addObserverForKeyPathOptionsContext(rec.get(), "age"_ns, 0, nullptr);
    person->willChangeValueForKey("age"_ns);
    person->didChangeValueForKey("age"_ns);
    person->setAge(9);
    EXPECT_EQ(rec->notes.size(), 2u);
}

TEST(KVOToMany, InsertionRemovalReplacement) {
    auto list = make<KVOPlaylist>();
    auto rec = make<KVORecorder>();
    list->addObserverForKeyPathOptionsContext(rec.get(), "songs"_ns, kNewOld, nullptr);
    list->insertSongAtIndex("a"_ns, 0);
    list->insertSongAtIndex("b"_ns, 1);
    list->insertSongAtIndex("c"_ns, 2);
    list->removeSongsInRange(NSMakeRange(0, 2));
    list->replaceSongAtIndex(0, "z"_ns);
    ASSERT_EQ(rec->notes.size(), 5u);

    const Note& inserted = rec->notes[1];
    EXPECT_EQ(inserted.kind(), NSKeyValueChangeInsertion);
    EXPECT_TRUE(inserted.value(NSKeyValueChangeIndexesKey())->isEqual(NSIndexSet::indexSetWithIndex(1)));
    EXPECT_TRUE(inserted.newValue()->isEqual(NSArray::arrayWithObjects({"b"_ns})));
    EXPECT_FALSE(inserted.oldValue());

    const Note& removed = rec->notes[3];
    EXPECT_EQ(removed.kind(), NSKeyValueChangeRemoval);
    EXPECT_TRUE(removed.oldValue()->isEqual(NSArray::arrayWithObjects({"a"_ns, "b"_ns})));
    EXPECT_FALSE(removed.newValue());

    const Note& replaced = rec->notes[4];
    EXPECT_EQ(replaced.kind(), NSKeyValueChangeReplacement);
    EXPECT_TRUE(replaced.oldValue()->isEqual(NSArray::arrayWithObjects({"c"_ns})));
    EXPECT_TRUE(replaced.newValue()->isEqual(NSArray::arrayWithObjects({"z"_ns})));
}

TEST(KVOToMany, PriorAndBadArguments) {
    auto list = make<KVOPlaylist>();
    list->insertSongAtIndex("a"_ns, 0);
    auto rec = make<KVORecorder>();
    list->addObserverForKeyPathOptionsContext(rec.get(), "songs"_ns, NSKeyValueObservingOptionPrior | kNewOld, nullptr);
    list->removeSongsInRange(NSMakeRange(0, 1));
    ASSERT_EQ(rec->notes.size(), 2u);
    EXPECT_TRUE(rec->notes[0].isPrior());
    EXPECT_EQ(rec->notes[0].kind(), NSKeyValueChangeRemoval);
    EXPECT_TRUE(rec->notes[0].oldValue()->isEqual(NSArray::arrayWithObjects({"a"_ns})));
    EXPECT_TRUE(rec->notes[0].value(NSKeyValueChangeIndexesKey()));

    EXPECT_THROW(
        list->willChangeValuesAtIndexesForKey(NSKeyValueChangeSetting, NSIndexSet::indexSetWithIndex(0), "songs"_ns),
        NSException);
    EXPECT_THROW(list->willChangeValuesAtIndexesForKey(NSKeyValueChangeInsertion, nullptr, "songs"_ns), NSException);
}

// MARK: - Threads

TEST(KVOThreads, RegistrationAndNotificationFromSeveralThreads) {
    auto box = make<KVOAtomicBox>();
    auto steady = make<KVOCounter>();
    box->addObserverForKeyPathOptionsContext(steady.get(), "count"_ns, kNewOld, nullptr);
    constexpr int kSetters = 3, kChurners = 3, kRounds = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kSetters; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                box->setCount(i);
            }
        });
    }
    for (int t = 0; t < kChurners; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                auto counter = make<KVOCounter>();
                box->addObserverForKeyPathOptionsContext(counter.get(), "count"_ns, NSKeyValueObservingOptionNew,
                                                         nullptr);
                if (i % 2) {
                    box->removeObserverForKeyPath(counter.get(), "count"_ns);
                } // else: dropped when the counter deallocates
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(steady->count.load(), kSetters * kRounds);
    box->removeObserverForKeyPath(steady.get(), "count"_ns);
    EXPECT_FALSE(box->hasKeyValueObservers());
}

TEST(KVOThreads, KeyPathStaysLinkedUnderConcurrentChanges) {
    auto root = make<KVOAtomicBox>();
    std::vector<Ref<KVOAtomicBox>> middles;
    for (int i = 0; i < 4; ++i) {
        middles.push_back(make<KVOAtomicBox>());
    }
    auto counter = make<KVOCounter>();
    root->addObserverForKeyPathOptionsContext(counter.get(), "next.count"_ns, kNewOld, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                if ((i + t) % 3 == 0) {
                    root->setNext(middles[static_cast<size_t>(i + t) % middles.size()]);
                } else {
                    middles[static_cast<size_t>(i * t) % middles.size()]->setCount(i);
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    // Quiet again: exactly the current intermediate object is observed.
    root->setNext(middles[0]);
    int before = counter->count.load();
    for (size_t i = 1; i < middles.size(); ++i) {
        middles[i]->setCount(-1);
        EXPECT_FALSE(middles[i]->hasKeyValueObservers());
    }
    EXPECT_EQ(counter->count.load(), before);
    middles[0]->setCount(-1);
    EXPECT_EQ(counter->count.load(), before + 1);
    root->removeObserverForKeyPath(counter.get(), "next.count"_ns);
    EXPECT_FALSE(middles[0]->hasKeyValueObservers());
}

TEST(KVOThreads, ObserverDeallocatingOnAnotherThreadWhileNotified) {
    auto box = make<KVOAtomicBox>();
    std::atomic<bool> done{false};
    std::thread setter([&] {
        while (!done.load()) {
            box->setCount(1);
        }
    });
    for (int i = 0; i < 500; ++i) {
        auto counter = make<KVOCounter>();
        box->addObserverForKeyPathOptionsContext(counter.get(), "count"_ns, 0, nullptr);
    } // each counter deallocates here, possibly while being notified
    done = true;
    setter.join();
    EXPECT_FALSE(box->hasKeyValueObservers());
}

TEST(KVOThreads, TargetsDeallocatingWhileTheirPathChangesOnAnotherThread) {
    auto middle = make<KVOAtomicBox>();
    auto counter = make<KVOCounter>();
    std::atomic<bool> done{false};
    std::thread setter([&] {
        while (!done.load()) {
            middle->setCount(1);
        }
    });
    for (int i = 0; i < 300; ++i) {
        auto root = make<KVOAtomicBox>();
        root->setNext(middle);
        root->addObserverForKeyPathOptionsContext(counter.get(), "next.count"_ns, kNewOld, nullptr);
    } // each root deallocates here while `middle` may be notifying through it
    done = true;
    setter.join();
    EXPECT_FALSE(middle->hasKeyValueObservers());
    EXPECT_FALSE(counter->isDeallocating());
}
