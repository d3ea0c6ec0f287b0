// NSFileManager, the sandbox root and the standard folders.
//
// The app lives in a sandbox: one root folder holding Documents/, Library/ (Preferences/ with the
// user-defaults file, Caches/, Application Support/) and tmp/, with the read-only bundle folder
// beside it (the source tree's Resources/ unless set otherwise). The simulator or a test fixture
// sets the root with NSSandbox; see docs/foundation.md.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSString.h>

#include <functional>
#include <string>
#include <string_view>

class NSURL;

// The process-wide sandbox root. Every function is safe from any thread.
class NSSandbox {
public:
    // Makes `path` the root and creates its standard folders. The user-defaults store and the main
    // bundle follow a new root from their next use (see NSUserDefaults::resetStandardUserDefaults).
    static void setRootPath(const Ref<NSString>& path);
    // The root: the one set; else $DX_SANDBOX_ROOT; else a folder of the simulated device's own,
    // $XDG_DATA_HOME/celvix/<hardware identifier> or ~/.local/share/celvix/<hardware identifier> (a
    // different phone has its own storage). The default is fixed when the root is first asked for, by
    // the device loaded then: a host loads its device's profile first. Its standard folders exist
    // once it has been asked for.
    static Ref<NSString> rootPath();
    static Ref<NSString> documentsPath();
    static Ref<NSString> libraryPath();
    static Ref<NSString> preferencesPath();
    static Ref<NSString> cachesPath();
    static Ref<NSString> temporaryPath();

    // The bundle folder: the one set, else the Resources/ folder the build was made from.
    static Ref<NSString> bundlePath();
    static void setBundlePath(const Ref<NSString>& path);

    // For test processes: a fresh root in the system's temporary folder, made on first use and
    // removed when the process exits normally (roots left by processes that died are removed by the
    // next one). When $DX_SANDBOX_ROOT is set (a child process started by a test), that root is used
    // instead and left in place.
    static void useTemporaryRoot();

    // Holds the root for this process until the process ends, so that no other process uses it at
    // the same time: two apps on one storage read and replace each other's files. The hold is a lock
    // on a file in the root (`.sandbox.lock`, which names the holder's process id) that the system
    // lets go when the process ends, however it ends, so a killed process leaves no stale hold. True
    // when this process holds the root (again: holding twice is holding). False when another
    // process holds it (NSPOSIXErrorDomain, EBUSY; the description names the root and the holder)
    // or the lock file cannot be made (the file error).
    [[nodiscard]] static bool holdRoot(Ref<NSError>* error);
    // Holds another folder this process writes into for the rest of its life (the pictures of a run,
    // kept outside the sandbox), in the same way: two processes writing one folder would number their
    // files over each other's. The lock is on the folder itself, so nothing is added to it. True when
    // this process holds it; false when another does (NSPOSIXErrorDomain, EBUSY, naming the folder) or
    // it cannot be opened as a folder (the file error).
    [[nodiscard]] static bool holdFolder(const Ref<NSString>& path, Ref<NSError>* error);
};

// The folders NSSearchPathForDirectoriesInDomains knows, with the platform's values.
enum NSSearchPathDirectory : NSUInteger {
    NSApplicationDirectory = 1,
    NSLibraryDirectory = 5,
    NSDocumentDirectory = 9,
    NSCachesDirectory = 13,
    NSApplicationSupportDirectory = 14,
};

using NSSearchPathDomainMask = NSUInteger;
inline constexpr NSSearchPathDomainMask NSUserDomainMask = 1;
inline constexpr NSSearchPathDomainMask NSLocalDomainMask = 2;
inline constexpr NSSearchPathDomainMask NSNetworkDomainMask = 4;
inline constexpr NSSearchPathDomainMask NSSystemDomainMask = 8;
inline constexpr NSSearchPathDomainMask NSAllDomainsMask = 0x0ffff;

// The sandbox's folder of that kind (one path, for the user domain; empty for other domains and for
// NSApplicationDirectory). Without `expandTilde` the path starts with "~" for the sandbox root.
Ref<NSArray> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory, NSSearchPathDomainMask domains,
                                                 bool expandTilde);
// The sandbox root.
Ref<NSString> NSHomeDirectory();
// The sandbox's tmp/ folder, with a trailing "/".
Ref<NSString> NSTemporaryDirectory();

// Keys and values of file and file-system attribute dictionaries.
const Ref<NSString>& NSFileSize();
const Ref<NSString>& NSFileModificationDate();
const Ref<NSString>& NSFileType();
const Ref<NSString>& NSFilePosixPermissions();
const Ref<NSString>& NSFileReferenceCount();
const Ref<NSString>& NSFileTypeRegular();
const Ref<NSString>& NSFileTypeDirectory();
const Ref<NSString>& NSFileTypeSymbolicLink();
const Ref<NSString>& NSFileTypeUnknown();
const Ref<NSString>& NSFileSystemSize();
const Ref<NSString>& NSFileSystemFreeSize();
const Ref<NSString>& NSFileSystemNodes();
const Ref<NSString>& NSFileSystemFreeNodes();

class NSFileManager : public NSObject {
    NS_OBJECT(NSFileManager, NSObject)
public:
    static Ref<NSFileManager> defaultManager();

    bool fileExistsAtPath(const Ref<NSString>& path) const;
    bool fileExistsAtPathIsDirectory(const Ref<NSString>& path, bool* isDirectory) const;
    bool isReadableFileAtPath(const Ref<NSString>& path) const;
    bool isWritableFileAtPath(const Ref<NSString>& path) const;
    bool isDeletableFileAtPath(const Ref<NSString>& path) const;

    // The file's bytes, nil when it cannot be read.
    Ref<NSData> contentsAtPath(const Ref<NSString>& path) const;
    // Writes the file atomically (a temporary file renamed over the target); nil contents make an
    // empty file. Attributes may carry NSFilePosixPermissions. False when the write fails.
    [[nodiscard]] bool createFileAtPathContentsAttributes(const Ref<NSString>& path, const Ref<NSData>& contents,
                                                          const Ref<NSDictionary>& attributes);
    [[nodiscard]] bool createDirectoryAtPathWithIntermediateDirectoriesAttributesError(
        const Ref<NSString>& path, bool createIntermediates, const Ref<NSDictionary>& attributes, Ref<NSError>* error);
    // The names in a folder, sorted; nil (and the error) when it cannot be listed.
    Ref<NSArray> contentsOfDirectoryAtPathError(const Ref<NSString>& path, Ref<NSError>* error) const;
    // Removes a file or a whole folder; an error when nothing is there.
    [[nodiscard]] bool removeItemAtPathError(const Ref<NSString>& path, Ref<NSError>* error);
    // Neither overwrites an existing destination (NSFileWriteFileExistsError). Copies folders whole.
    [[nodiscard]] bool moveItemAtPathToPathError(const Ref<NSString>& source, const Ref<NSString>& destination,
                                                 Ref<NSError>* error);
    [[nodiscard]] bool copyItemAtPathToPathError(const Ref<NSString>& source, const Ref<NSString>& destination,
                                                 Ref<NSError>* error);

    // NSFileSize, NSFileModificationDate, NSFileType, NSFilePosixPermissions, NSFileReferenceCount
    // (of the item itself, links not followed).
    Ref<NSDictionary> attributesOfItemAtPathError(const Ref<NSString>& path, Ref<NSError>* error) const;
    // NSFileSystemSize, NSFileSystemFreeSize (bytes available to the app), NSFileSystemNodes,
    // NSFileSystemFreeNodes of the file system holding `path`.
    Ref<NSDictionary> attributesOfFileSystemForPathError(const Ref<NSString>& path, Ref<NSError>* error) const;

    // File URLs of NSSearchPathForDirectoriesInDomains.
    Ref<NSArray> URLsForDirectoryInDomains(NSSearchPathDirectory directory, NSSearchPathDomainMask domains) const;
    Ref<NSString> currentDirectoryPath() const;
};

// Helpers that the Foundation services share.
namespace ns_file {

// Writes `bytes` to `path` through a temporary file in the same folder that is flushed to disk and
// then renamed over the target, so that the target holds either the old or the new content
// whatever happens to the process. Reports failure through `error` (NSCocoaErrorDomain, with the
// POSIX error underneath).
[[nodiscard]] bool writeAtomically(const std::string& path, std::string_view bytes, Ref<NSError>* error);
// Reads a whole file; false (and the error) when it cannot be read.
[[nodiscard]] bool readFile(const std::string& path, std::string& out, Ref<NSError>* error);

// A Cocoa file error for a POSIX error number, reading (NSFileRead...) or writing (NSFileWrite...).
Ref<NSError> fileError(int posixError, const std::string& path, bool writing);
// Stores `error` through an optional out-parameter.
inline void setError(Ref<NSError>* out, Ref<NSError> error) {
    if (out) {
        *out = std::move(error);
    }
}

// For tests: runs between the write of the temporary file and its rename (nullptr clears it).
void setBeforeRenameHookForTesting(std::function<void(const std::string& temporaryPath)> hook);

} // namespace ns_file
