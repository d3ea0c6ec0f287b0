// NSFileHandle: reading and writing an open file, pipe or standard stream.
//
// The plain operations raise NSFileHandleOperationException on an I/O error, as on the platform;
// the ...Error forms report it through an NSError instead.
#pragma once

#include <Foundation/NSData.h>
#include <Foundation/NSError.h>
#include <Foundation/NSString.h>

#include <cstdint>
#include <mutex>

inline constexpr const char* NSFileHandleOperationException = "NSFileHandleOperationException";

class NSFileHandle : public NSObject {
    NS_OBJECT(NSFileHandle, NSObject)
public:
    // `initWithFileDescriptor:closeOnDealloc:`.
    NSFileHandle(int fileDescriptor, bool closeOnDealloc);
    ~NSFileHandle() override;

    // nil when the file cannot be opened. Writing and updating need an existing file.
    static Ref<NSFileHandle> fileHandleForReadingAtPath(const Ref<NSString>& path);
    static Ref<NSFileHandle> fileHandleForWritingAtPath(const Ref<NSString>& path);
    static Ref<NSFileHandle> fileHandleForUpdatingAtPath(const Ref<NSString>& path);
    static Ref<NSFileHandle> fileHandleWithStandardInput();
    static Ref<NSFileHandle> fileHandleWithStandardOutput();
    static Ref<NSFileHandle> fileHandleWithStandardError();
    static Ref<NSFileHandle> fileHandleWithNullDevice();

    // -1 once closed.
    int fileDescriptor() const;

    // Everything up to the end of the file (of a pipe: until the writer closes it).
    Ref<NSData> readDataToEndOfFile();
    Ref<NSData> readDataToEndOfFileAndReturnError(Ref<NSError>* error);
    // At most `length` bytes; fewer at the end of the file.
    Ref<NSData> readDataOfLength(NSUInteger length);
    Ref<NSData> readDataUpToLengthError(NSUInteger length, Ref<NSError>* error);
    // For a file, the rest of it; for a pipe or a terminal, what can be read now (waiting for at
    // least one byte). Empty data means the end of the file.
    Ref<NSData> availableData();
    Ref<NSData> availableDataError(Ref<NSError>* error);

    void writeData(const Ref<NSData>& data);
    [[nodiscard]] bool writeDataError(const Ref<NSData>& data, Ref<NSError>* error);

    unsigned long long offsetInFile();
    unsigned long long seekToEndOfFile();
    void seekToFileOffset(unsigned long long offset);
    void truncateFileAtOffset(unsigned long long offset);
    void synchronizeFile();
    void closeFile();
    [[nodiscard]] bool closeAndReturnError(Ref<NSError>* error);

private:
    Ref<NSData> read(size_t limit, bool untilEnd, bool onlyAvailable, Ref<NSError>* error);
    bool checkOpen(Ref<NSError>* error) const;
    static Ref<NSData> orRaise(Ref<NSData> data, const Ref<NSError>& error, const char* method);

    mutable std::mutex lock_;
    int fd_;
    bool closeOnDealloc_;
};
