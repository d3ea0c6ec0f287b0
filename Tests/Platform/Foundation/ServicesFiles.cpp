#include <Foundation/NSDate.h>
#include <Foundation/NSFileHandle.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSURL.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

namespace {
Ref<NSString> documentsFile(const char* name) {
    return NSSandbox::documentsPath()->stringByAppendingPathComponent(NSString::from(name));
}
} // namespace

TEST(ServicesFiles, TheSandboxHasItsStandardFolders) {
    auto fm = NSFileManager::defaultManager();
    bool isDirectory = false;
    for (auto path : {NSSandbox::documentsPath(), NSSandbox::preferencesPath(), NSSandbox::cachesPath(),
                      NSSandbox::temporaryPath()}) {
        EXPECT_TRUE(fm->fileExistsAtPathIsDirectory(path, &isDirectory)) << path->str();
        EXPECT_TRUE(isDirectory);
        EXPECT_TRUE(path->hasPrefix(NSHomeDirectory()));
    }
    auto documents = NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, true);
    ASSERT_EQ(documents->count(), 1u);
    EXPECT_TRUE(documents->objectAtIndex(0)->isEqual(NSSandbox::documentsPath()));
    EXPECT_EQ(cast<NSString>(
                  NSSearchPathForDirectoriesInDomains(NSCachesDirectory, NSUserDomainMask, false)->objectAtIndex(0))
                  ->str(),
              "~/Library/Caches");
    EXPECT_EQ(NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSSystemDomainMask, true)->count(), 0u);
    auto urls = NSFileManager::defaultManager()->URLsForDirectoryInDomains(NSDocumentDirectory, NSUserDomainMask);
    ASSERT_EQ(urls->count(), 1u);
    EXPECT_TRUE(cast<NSURL>(urls->objectAtIndex(0))->path()->isEqual(NSSandbox::documentsPath()));
    EXPECT_TRUE(NSTemporaryDirectory()->hasSuffix("/tmp/"_ns));
    EXPECT_TRUE(NSSandbox::bundlePath()->hasSuffix("Resources"_ns));
}

TEST(ServicesFiles, FilesAreWrittenReadAndDescribed) {
    auto fm = NSFileManager::defaultManager();
    auto path = documentsFile("note.txt");
    ASSERT_TRUE(fm->createFileAtPathContentsAttributes(path, NSData::dataWithString("hello"), nullptr));
    EXPECT_EQ(fm->contentsAtPath(path)->stringValue(), "hello");
    Ref<NSError> error;
    auto attributes = fm->attributesOfItemAtPathError(path, &error);
    ASSERT_TRUE(attributes);
    EXPECT_EQ(cast<NSNumber>(attributes->objectForKey(NSFileSize()))->unsignedLongLongValue(), 5u);
    EXPECT_TRUE(attributes->objectForKey(NSFileType())->isEqual(NSFileTypeRegular()));
    EXPECT_LT(std::fabs(cast<NSDate>(attributes->objectForKey(NSFileModificationDate()))->timeIntervalSinceNow()),
              3600.0);

    auto system = fm->attributesOfFileSystemForPathError(NSHomeDirectory(), &error);
    ASSERT_TRUE(system);
    auto size = cast<NSNumber>(system->objectForKey(NSFileSystemSize()))->unsignedLongLongValue();
    auto free = cast<NSNumber>(system->objectForKey(NSFileSystemFreeSize()))->unsignedLongLongValue();
    EXPECT_GT(size, 0u);
    EXPECT_LE(free, size);

    auto folder = documentsFile("a/b/c");
    EXPECT_TRUE(fm->createDirectoryAtPathWithIntermediateDirectoriesAttributesError(folder, true, nullptr, &error));
    EXPECT_TRUE(fm->createDirectoryAtPathWithIntermediateDirectoriesAttributesError(folder, true, nullptr, &error));
    EXPECT_FALSE(fm->createDirectoryAtPathWithIntermediateDirectoriesAttributesError(folder, false, nullptr, &error));
    EXPECT_TRUE(fm->moveItemAtPathToPathError(path, documentsFile("a/moved.txt"), &error));
    EXPECT_TRUE(fm->copyItemAtPathToPathError(documentsFile("a"), documentsFile("copy"), &error));
    auto names = fm->contentsOfDirectoryAtPathError(documentsFile("copy"), &error);
    ASSERT_TRUE(names);
    EXPECT_TRUE(names->isEqual(NSArray::arrayWithObjects({"b"_ns, "moved.txt"_ns})));
    EXPECT_TRUE(fm->removeItemAtPathError(documentsFile("copy"), &error));
    EXPECT_FALSE(fm->fileExistsAtPath(documentsFile("copy")));
}

TEST(ServicesFiles, FailuresAreReportedWithTheCause) {
    auto fm = NSFileManager::defaultManager();
    Ref<NSError> error;
    EXPECT_FALSE(ns_file::writeAtomically(documentsFile("missing/folder/x")->str(), "x", &error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->domain()->isEqualToString(NSCocoaErrorDomain()));
    EXPECT_EQ(error->code(), NSFileNoSuchFileError);
    ASSERT_TRUE(error->underlyingError());
    EXPECT_EQ(error->underlyingError()->code(), ENOENT);
    EXPECT_FALSE(fm->createFileAtPathContentsAttributes(documentsFile("missing/x"), NSData::data(), nullptr));

    error = nullptr;
    EXPECT_FALSE(fm->removeItemAtPathError(documentsFile("nothing"), &error));
    EXPECT_EQ(error->code(), NSFileNoSuchFileError);
    error = nullptr;
    EXPECT_FALSE(fm->attributesOfItemAtPathError(documentsFile("nothing"), &error));
    EXPECT_EQ(error->code(), NSFileReadNoSuchFileError);

    ASSERT_TRUE(fm->createFileAtPathContentsAttributes(documentsFile("one"), NSData::dataWithString("1"), nullptr));
    ASSERT_TRUE(fm->createFileAtPathContentsAttributes(documentsFile("two"), NSData::dataWithString("2"), nullptr));
    error = nullptr;
    EXPECT_FALSE(fm->moveItemAtPathToPathError(documentsFile("one"), documentsFile("two"), &error));
    EXPECT_EQ(error->code(), NSFileWriteFileExistsError);
    EXPECT_EQ(fm->contentsAtPath(documentsFile("two"))->stringValue(), "2");
    EXPECT_FALSE(fm->contentsAtPath(documentsFile("nothing")));
}

TEST(ServicesFiles, AnAtomicWriteSurvivesACrashBeforeTheRename) {
    auto path = documentsFile("state.json")->str();
    ASSERT_TRUE(ns_file::writeAtomically(path, "old content", nullptr));

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The process dies after the new content is written and before it replaces the file.
        ns_file::setBeforeRenameHookForTesting([](const std::string&) { _exit(0); });
        (void)ns_file::writeAtomically(path, "new content that never lands", nullptr);
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child died in the hook";

    std::string bytes;
    ASSERT_TRUE(ns_file::readFile(path, bytes, nullptr));
    EXPECT_EQ(bytes, "old content");
    // The stray temporary file is hidden and does not get in the way of the next write.
    auto names = NSFileManager::defaultManager()->contentsOfDirectoryAtPathError(NSSandbox::documentsPath(), nullptr);
    bool stray = false;
    for (const auto& n : *names) {
        stray = stray || cast<NSString>(n)->hasPrefix(".state.json.tmp-"_ns);
    }
    EXPECT_TRUE(stray);
    ASSERT_TRUE(ns_file::writeAtomically(path, "next", nullptr));
    ASSERT_TRUE(ns_file::readFile(path, bytes, nullptr));
    EXPECT_EQ(bytes, "next");
}

TEST(ServicesFiles, FileHandlesReadWriteSeekAndReportErrors) {
    auto path = documentsFile("handle.bin");
    ASSERT_TRUE(NSFileManager::defaultManager()->createFileAtPathContentsAttributes(path, NSData::data(), nullptr));
    auto writer = NSFileHandle::fileHandleForWritingAtPath(path);
    ASSERT_TRUE(writer);
    writer->writeData(NSData::dataWithString("0123456789"));
    EXPECT_EQ(writer->offsetInFile(), 10u);
    writer->truncateFileAtOffset(6);
    writer->synchronizeFile();
    writer->closeFile();
    EXPECT_EQ(writer->fileDescriptor(), -1);
    Ref<NSError> error;
    EXPECT_FALSE(writer->writeDataError(NSData::dataWithString("x"), &error));
    EXPECT_TRUE(error);
    EXPECT_THROW(writer->writeData(NSData::dataWithString("x")), NSException);

    auto reader = NSFileHandle::fileHandleForReadingAtPath(path);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->readDataOfLength(2)->stringValue(), "01");
    EXPECT_EQ(reader->availableData()->stringValue(), "2345");
    EXPECT_EQ(reader->availableData()->length(), 0u) << "end of file";
    reader->seekToFileOffset(1);
    EXPECT_EQ(reader->readDataToEndOfFile()->stringValue(), "12345");
    EXPECT_EQ(reader->seekToEndOfFile(), 6u);

    EXPECT_FALSE(NSFileHandle::fileHandleForReadingAtPath(documentsFile("absent")));
    EXPECT_FALSE(NSFileHandle::fileHandleForWritingAtPath(documentsFile("absent")));

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    auto pipeReader = make<NSFileHandle>(fds[0], true);
    auto pipeWriter = make<NSFileHandle>(fds[1], true);
    pipeWriter->writeData(NSData::dataWithString("chunk"));
    EXPECT_EQ(pipeReader->availableData()->stringValue(), "chunk");
    pipeWriter->writeData(NSData::dataWithString("rest"));
    EXPECT_TRUE(pipeWriter->closeAndReturnError(nullptr));
    EXPECT_EQ(pipeReader->readDataToEndOfFileAndReturnError(&error)->stringValue(), "rest");
}

// A sandbox is one process's at a time: a second process is refused with the root and the holder
// named, and the hold ends with its process, however that ends.
TEST(ServicesFiles, ARootIsHeldByOneProcessAtATimeUntilItEnds) {
    std::string root = NSSandbox::rootPath()->str();
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char held = NSSandbox::holdRoot(nullptr) ? 'y' : 'n';
        (void)!write(toParent[1], &held, 1);
        char ignored;
        (void)!read(toChild[0], &ignored, 1); // held until the parent has tried, then killed
        _exit(0);
    }
    char held = 0;
    ASSERT_EQ(read(toParent[0], &held, 1), 1);
    ASSERT_EQ(held, 'y');

    Ref<NSError> error;
    EXPECT_FALSE(NSSandbox::holdRoot(&error));
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->domain()->isEqual(NSPOSIXErrorDomain()));
    EXPECT_EQ(error->code(), EBUSY);
    EXPECT_EQ(error->localizedDescription()->str(), "The sandbox \u201C" + root +
                                                        "\u201D is in use by another process (process " +
                                                        std::to_string(child) + ").");

    // Killed, it lets go: no stale hold is left behind.
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) {
        close(fd);
    }
    error = nullptr;
    EXPECT_TRUE(NSSandbox::holdRoot(&error)) << (error ? error->localizedDescription()->str() : "");
    EXPECT_TRUE(NSSandbox::holdRoot(&error)) << "holding again is holding";
    std::string holder;
    ASSERT_TRUE(ns_file::readFile(root + "/.sandbox.lock", holder, nullptr));
    EXPECT_EQ(holder, std::to_string(getpid()) + "\n");
}
