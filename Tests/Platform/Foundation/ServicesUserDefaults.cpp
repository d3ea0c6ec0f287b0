#include <Foundation/NSDate.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Foundation/NSUserDefaults.h>
#include <Support/LogCapture.h>

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

class ServicesUserDefaults : public ::testing::Test {
protected:
    void SetUp() override { NSUserDefaults::resetStandardUserDefaults(); }
    void TearDown() override { NSUserDefaults::resetStandardUserDefaults(); }
};

// Runs this test binary again, as a second process sharing the sandbox, for one test.
int runChild(const std::string& test) {
    std::string filter = "--gtest_filter=" + test;
    std::string self = "/proc/self/exe";
    std::vector<std::string> args = {self, filter, "--gtest_also_run_disabled_tests"};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("DX_SANDBOX_ROOT=", 0) != 0) {
            env.emplace_back(*e);
        }
    }
    env.push_back("DX_SANDBOX_ROOT=" + NSSandbox::rootPath()->str());
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST_F(ServicesUserDefaults, StoresTypedValuesAndFallsBackToRegisteredDefaults) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->registerDefaults(NSDictionary::dictionaryWithEntries({{"count"_ns, box(7)}, {"flag"_ns, box(true)}}));
    EXPECT_EQ(defaults->integerForKey("count"_ns), 7);
    EXPECT_TRUE(defaults->boolForKey("flag"_ns));

    defaults->setIntegerForKey(42, "count"_ns);
    defaults->setBoolForKey(false, "flag"_ns);
    defaults->setDoubleForKey(2.5, "ratio"_ns);
    defaults->setObjectForKey("hello"_ns, "name"_ns);
    defaults->setObjectForKey(NSArray::arrayWithObjects({"a"_ns}), "list"_ns);
    defaults->setObjectForKey(NSDictionary::dictionaryWithEntries({{"k"_ns, "v"_ns}}), "dict"_ns);
    defaults->setObjectForKey(NSData::dataWithString("bytes"), "data"_ns);
    defaults->setObjectForKey("12"_ns, "numeric text"_ns);

    EXPECT_EQ(defaults->integerForKey("count"_ns), 42);
    EXPECT_FALSE(defaults->boolForKey("flag"_ns));
    EXPECT_DOUBLE_EQ(defaults->doubleForKey("ratio"_ns), 2.5);
    EXPECT_FLOAT_EQ(defaults->floatForKey("ratio"_ns), 2.5f);
    EXPECT_EQ(defaults->stringForKey("name"_ns)->str(), "hello");
    EXPECT_EQ(defaults->stringForKey("count"_ns)->str(), "42");
    EXPECT_EQ(defaults->arrayForKey("list"_ns)->count(), 1u);
    EXPECT_FALSE(defaults->arrayForKey("name"_ns));
    EXPECT_TRUE(defaults->dictionaryForKey("dict"_ns));
    EXPECT_EQ(defaults->dataForKey("data"_ns)->stringValue(), "bytes");
    EXPECT_EQ(defaults->integerForKey("numeric text"_ns), 12);
    EXPECT_EQ(defaults->integerForKey("missing"_ns), 0);
    EXPECT_FALSE(defaults->objectForKey("missing"_ns));

    defaults->removeObjectForKey("count"_ns);
    EXPECT_EQ(defaults->integerForKey("count"_ns), 7) << "the registered default shows again";
    defaults->setObjectForKey(nullptr, "name"_ns);
    EXPECT_FALSE(defaults->stringForKey("name"_ns));

    auto all = defaults->dictionaryRepresentation();
    EXPECT_TRUE(all->objectForKey("count"_ns));
    EXPECT_TRUE(all->objectForKey("list"_ns));
}

TEST_F(ServicesUserDefaults, StoredValuesAreImmutableCopies) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    auto list = NSMutableArray::arrayWithObjects({"a"_ns});
    defaults->setObjectForKey(list, "list"_ns);
    list->addObject("b"_ns);
    auto stored = defaults->arrayForKey("list"_ns);
    EXPECT_EQ(stored->count(), 1u);
    EXPECT_FALSE(cast<NSMutableArray>(stored));
}

TEST_F(ServicesUserDefaults, NonPropertyListValuesRaise) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_THROW(defaults->setObjectForKey(NSNull::null(), "k"_ns), NSException);
    EXPECT_THROW(defaults->setObjectForKey(NSArray::arrayWithObjects({make<NSObject>()}), "k"_ns), NSException);
    EXPECT_THROW(defaults->setObjectForKey(NSDictionary::dictionaryWithEntries({{box(1), "v"_ns}}), "k"_ns),
                 NSException);
    try {
        defaults->setObjectForKey(NSNull::null(), "k"_ns);
    } catch (const NSException& e) {
        EXPECT_EQ(e.name(), NSInvalidArgumentException);
    }
    EXPECT_FALSE(defaults->objectForKey("k"_ns));
}

TEST_F(ServicesUserDefaults, EveryChangeIsOnDiskWhenTheCallReturns) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey("v1"_ns, "key"_ns);
    auto onDisk = NSDictionaryWithContentsOfFile(NSString::from(defaults->filePath()));
    ASSERT_TRUE(onDisk);
    EXPECT_TRUE(onDisk->objectForKey("key"_ns)->isEqual("v1"_ns));
    EXPECT_EQ(defaults->filePath(), NSSandbox::preferencesPath()->str() + "/com.celvix.diagnostics.plist");
    defaults->removeObjectForKey("key"_ns);
    onDisk = NSDictionaryWithContentsOfFile(NSString::from(defaults->filePath()));
    ASSERT_TRUE(onDisk);
    EXPECT_FALSE(onDisk->objectForKey("key"_ns));
}

TEST_F(ServicesUserDefaults, ChangesPostANotification) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    std::vector<Ref<NSNotification>> notes;
    id token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        NSUserDefaultsDidChangeNotification(), defaults, nullptr,
        [&](const Ref<NSNotification>& note) { notes.push_back(note); });
    defaults->setObjectForKey(box(1), "a"_ns);
    defaults->removeObjectForKey("a"_ns);
    defaults->removeObjectForKey("a"_ns); // nothing to remove: no change
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0]->object().get(), defaults.get());
}

TEST_F(ServicesUserDefaults, ASecondProcessReadsWhatWasStored) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setObjectForKey("ABC123"_ns, "uniqueid"_ns);
    defaults->setIntegerForKey(3, "result"_ns);
    defaults->setObjectForKey(NSArray::arrayWithObjects({NSData::dataWithString("archive")}), "tasks"_ns);
    // No synchronize: the child sees the values because every write already reached the disk.
    EXPECT_EQ(runChild("ServicesUserDefaultsChild.DISABLED_ReadsTheParentsStore"), 0);
    // And the child's own change is seen here after synchronize.
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_EQ(defaults->stringForKey("written by"_ns)->str(), "child");
}

TEST(ServicesUserDefaultsChild, DISABLED_ReadsTheParentsStore) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    ASSERT_TRUE(defaults->stringForKey("uniqueid"_ns));
    EXPECT_EQ(defaults->stringForKey("uniqueid"_ns)->str(), "ABC123");
    EXPECT_EQ(defaults->integerForKey("result"_ns), 3);
    ASSERT_EQ(defaults->arrayForKey("tasks"_ns)->count(), 1u);
    EXPECT_EQ(cast<NSData>(defaults->arrayForKey("tasks"_ns)->objectAtIndex(0))->stringValue(), "archive");
    defaults->setObjectForKey("child"_ns, "written by"_ns);
}

TEST_F(ServicesUserDefaults, ADamagedFileIsSetAsideAndTheStoreStartsEmpty) {
    auto path = NSSandbox::preferencesPath()->str() + "/com.celvix.diagnostics.plist";
    ASSERT_TRUE(ns_file::writeAtomically(path, "<plist><dict><key>a</key>", nullptr));
    LogCapture capture;

    auto defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults->dictionaryRepresentation()->count(), 0u);
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("damaged"), std::string::npos);
    auto names = NSFileManager::defaultManager()->contentsOfDirectoryAtPathError(NSSandbox::preferencesPath(), nullptr);
    bool setAside = false;
    for (const auto& name : *names) {
        setAside = setAside || cast<NSString>(name)->hasPrefix("com.celvix.diagnostics.plist.corrupt-"_ns);
    }
    EXPECT_TRUE(setAside);

    defaults->setObjectForKey("fresh"_ns, "k"_ns);
    EXPECT_TRUE(NSDictionaryWithContentsOfFile(NSString::from(path)));
}

TEST_F(ServicesUserDefaults, AFailedWriteIsReportedAndRetried) {
    auto defaults = make<NSUserDefaults>("blocked"_ns);
    // A folder where the file should be: the rename over it fails.
    ASSERT_EQ(::mkdir(defaults->filePath().c_str(), 0755), 0);
    LogCapture capture;
    defaults->setObjectForKey("kept"_ns, "k"_ns);
    EXPECT_EQ(defaults->stringForKey("k"_ns)->str(), "kept") << "the value stays in memory";
    auto lines = capture.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("could not write"), std::string::npos);
    EXPECT_FALSE(defaults->synchronize());

    ::rmdir(defaults->filePath().c_str());
    EXPECT_TRUE(defaults->synchronize());
    auto onDisk = NSDictionaryWithContentsOfFile(NSString::from(defaults->filePath()));
    ASSERT_TRUE(onDisk);
    EXPECT_TRUE(onDisk->objectForKey("k"_ns)->isEqual("kept"_ns));
}

TEST_F(ServicesUserDefaults, WritesFromManyThreadsAllLand) {
    auto defaults = make<NSUserDefaults>("threads"_ns);
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([defaults, t] {
            for (int i = 0; i < 20; ++i) {
                defaults->setIntegerForKey(i, NSString::stringWithFormat("t%d-%d", t, i));
                (void)defaults->integerForKey(NSString::stringWithFormat("t%d-%d", (t + 1) % 6, i));
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    auto reread = make<NSUserDefaults>("threads"_ns);
    EXPECT_EQ(reread->dictionaryRepresentation()->count(), 120u);
    EXPECT_EQ(reread->integerForKey("t5-19"_ns), 19);
}
