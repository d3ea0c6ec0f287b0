// NSFileManager and the sandbox. What is where:
//   Sandbox                      the root of the app's folders (documents, library, caches, tmp, bundle)
//   Standard folders             NSSearchPathForDirectoriesInDomains and friends
//   Errors and atomic writes     errno -> NSError, write-then-rename
//   NSFileManager                existence and access checks, contents, directories, move/copy/remove,
//                                attributes of items and of the file system
#include <Foundation/NSDate.h>
#include <Foundation/NSFileManager.h>

#include <Device/SimDevice.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSURL.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

NS_IMPLEMENT_CLASS(NSFileManager, NSObject) {}

namespace fs = std::filesystem;

#define DX_STRING_CONSTANT(Name, Text)                                                                                 \
    const Ref<NSString>& Name() {                                                                                      \
        static const Ref<NSString> value = NSString::from(Text);                                                       \
        return value;                                                                                                  \
    }

DX_STRING_CONSTANT(NSFileSize, "NSFileSize")
DX_STRING_CONSTANT(NSFileModificationDate, "NSFileModificationDate")
DX_STRING_CONSTANT(NSFileType, "NSFileType")
DX_STRING_CONSTANT(NSFilePosixPermissions, "NSFilePosixPermissions")
DX_STRING_CONSTANT(NSFileReferenceCount, "NSFileReferenceCount")
DX_STRING_CONSTANT(NSFileTypeRegular, "NSFileTypeRegular")
DX_STRING_CONSTANT(NSFileTypeDirectory, "NSFileTypeDirectory")
DX_STRING_CONSTANT(NSFileTypeSymbolicLink, "NSFileTypeSymbolicLink")
DX_STRING_CONSTANT(NSFileTypeUnknown, "NSFileTypeUnknown")
DX_STRING_CONSTANT(NSFileSystemSize, "NSFileSystemSize")
DX_STRING_CONSTANT(NSFileSystemFreeSize, "NSFileSystemFreeSize")
DX_STRING_CONSTANT(NSFileSystemNodes, "NSFileSystemNodes")
DX_STRING_CONSTANT(NSFileSystemFreeNodes, "NSFileSystemFreeNodes")

#undef DX_STRING_CONSTANT

// MARK: - Sandbox

namespace {

struct SandboxState {
    std::mutex lock;
    std::string root;   // empty until set or first asked for
    std::string bundle; // empty: DX_RESOURCES_DIR
    bool temporaryWanted = false;
    std::string temporaryRoot;
    int heldFile = -1; // the locked file of holdRoot, kept open for the life of the process
    std::string heldRoot;
    std::map<std::string, int> heldFolders; // holdFolder's folders, each open and locked
};

SandboxState& sandbox() {
    static auto* state = new SandboxState; // never destroyed: used from exit handlers
    return *state;
}

constexpr const char* kTemporaryPrefix = "celvix-sandbox-";
constexpr const char* kLockName = ".sandbox.lock";

// The folder of the simulated device's own storage: its hardware identifier, made safe as one name.
std::string deviceFolderName() {
    std::string name = SimDevice::current().identity().hardwareIdentifier;
    for (char& c : name) {
        if (c == '/' || c == '\0') {
            c = '_';
        }
    }
    return name.empty() || name == "." || name == ".." ? std::string("device") : name;
}

std::string defaultRoot() {
    if (const char* env = std::getenv("DX_SANDBOX_ROOT"); env && *env) {
        return env;
    }
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        base = std::string(xdg) + "/celvix";
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.local/share/celvix";
    }
    return base + "/" + deviceFolderName();
}

void makeStandardFolders(const std::string& root) {
    std::error_code ec;
    for (const char* sub : {"Documents", "Library/Preferences", "Library/Caches", "tmp"}) {
        fs::create_directories(fs::path(root) / sub, ec);
    }
}

void removeTemporaryRoot() {
    auto& s = sandbox();
    std::string root;
    {
        std::lock_guard lock(s.lock);
        root = s.temporaryRoot;
    }
    if (!root.empty()) {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
}

// Temporary roots are named "celvix-sandbox-<pid>-XXXXXX". A process that was killed or crashed
// never removed its own; they are removed here once their process is gone.
void removeAbandonedTemporaryRoots(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.rfind(kTemporaryPrefix, 0) != 0) {
            continue;
        }
        std::string rest = name.substr(std::string_view(kTemporaryPrefix).size());
        char* after = nullptr;
        long pid = std::strtol(rest.c_str(), &after, 10);
        if (pid <= 0 || !after || *after != '-') {
            continue;
        }
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            fs::remove_all(it->path(), ignored);
        }
    }
}

// A fresh temporary root; the caller holds the lock.
std::string makeTemporaryRoot(SandboxState& s) {
    fs::path folder = fs::temp_directory_path();
    removeAbandonedTemporaryRoots(folder);
    std::string base =
        (folder / (std::string(kTemporaryPrefix) + std::to_string(static_cast<long>(::getpid())) + "-XXXXXX")).string();
    std::vector<char> buffer(base.begin(), base.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        NSException::raise(NSInternalInconsistencyException,
                           std::string("NSSandbox: cannot make a temporary root: ") + std::strerror(errno));
    }
    bool first = s.temporaryRoot.empty();
    std::string previous = std::exchange(s.temporaryRoot, std::string(buffer.data()));
    if (first) {
        std::atexit(removeTemporaryRoot);
    } else if (!previous.empty()) {
        std::error_code ec;
        fs::remove_all(previous, ec);
    }
    return s.temporaryRoot;
}

std::string rootLocked(SandboxState& s) {
    if (s.root.empty()) {
        s.root = s.temporaryWanted ? makeTemporaryRoot(s) : defaultRoot();
        makeStandardFolders(s.root);
    }
    return s.root;
}

std::string rootString() {
    auto& s = sandbox();
    std::lock_guard lock(s.lock);
    return rootLocked(s);
}

} // namespace

void NSSandbox::setRootPath(const Ref<NSString>& path) {
    if (!path || path->length() == 0) {
        NSException::raise(NSInvalidArgumentException, "NSSandbox::setRootPath: empty path");
    }
    auto& s = sandbox();
    std::lock_guard lock(s.lock);
    s.root = path->str();
    makeStandardFolders(s.root);
}

Ref<NSString> NSSandbox::rootPath() {
    return NSString::from(rootString());
}

Ref<NSString> NSSandbox::documentsPath() {
    return NSString::from(rootString() + "/Documents");
}

Ref<NSString> NSSandbox::libraryPath() {
    return NSString::from(rootString() + "/Library");
}

Ref<NSString> NSSandbox::preferencesPath() {
    return NSString::from(rootString() + "/Library/Preferences");
}

Ref<NSString> NSSandbox::cachesPath() {
    return NSString::from(rootString() + "/Library/Caches");
}

Ref<NSString> NSSandbox::temporaryPath() {
    return NSString::from(rootString() + "/tmp");
}

Ref<NSString> NSSandbox::bundlePath() {
    auto& s = sandbox();
    std::lock_guard lock(s.lock);
    return NSString::from(s.bundle.empty() ? std::string(DX_RESOURCES_DIR) : s.bundle);
}

void NSSandbox::setBundlePath(const Ref<NSString>& path) {
    auto& s = sandbox();
    std::lock_guard lock(s.lock);
    s.bundle = path ? path->str() : std::string();
}

void NSSandbox::useTemporaryRoot() {
    auto& s = sandbox();
    std::lock_guard lock(s.lock);
    if (const char* env = std::getenv("DX_SANDBOX_ROOT"); env && *env) {
        s.root = env;
        makeStandardFolders(s.root);
        return;
    }
    s.temporaryWanted = true;
    s.root.clear(); // made on first use, so a process that never touches files makes none
}

namespace {

// The error of a hold that another process has: NSPOSIXErrorDomain, EBUSY, with `text` and the path.
Ref<NSError> inUseError(const std::string& text, const std::string& path) {
    auto info = NSDictionary::dictionaryWithEntries(
        {{NSLocalizedDescriptionKey(), NSString::from(text)}, {NSFilePathErrorKey(), NSString::from(path)}});
    return make<NSError>(NSPOSIXErrorDomain(), EBUSY, info);
}

} // namespace

bool NSSandbox::holdRoot(Ref<NSError>* error) {
    auto& s = sandbox();
    std::lock_guard lock(s.lock);
    std::string root = rootLocked(s);
    if (s.heldFile >= 0 && s.heldRoot == root) {
        return true;
    }
    std::string path = root + "/" + kLockName;
    // Close-on-exec: a program this process starts must not keep the root held after it ends.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        ns_file::setError(error, ns_file::fileError(errno, path, true));
        return false;
    }
    // flock, not fcntl: its lock belongs to this open file, so no other open of the file in this
    // process (a test's, a library's) can let it go by closing.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int failure = errno;
        char holder[32] = {};
        ssize_t got = ::pread(fd, holder, sizeof holder - 1, 0);
        ::close(fd);
        if (failure != EWOULDBLOCK) {
            ns_file::setError(error, ns_file::fileError(failure, path, true));
            return false;
        }
        // The holder writes its id just after it takes the lock: it may not be there yet.
        std::string id(holder, got > 0 ? static_cast<size_t>(got) : 0);
        id.erase(std::find_if(id.begin(), id.end(), [](char c) { return c < '0' || c > '9'; }), id.end());
        ns_file::setError(error, inUseError("The sandbox \u201C" + root + "\u201D is in use by another process" +
                                                (id.empty() ? std::string() : " (process " + id + ")") + ".",
                                            root));
        return false;
    }
    std::string id = std::to_string(static_cast<long>(::getpid())) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, id.data(), id.size(), 0) != static_cast<ssize_t>(id.size())) {
        // The hold stands without the id: only the message a refused process gives is poorer.
    }
    if (s.heldFile >= 0) {
        ::close(s.heldFile); // a new root: the old one is free again
    }
    s.heldFile = fd;
    s.heldRoot = root;
    return true;
}

bool NSSandbox::holdFolder(const Ref<NSString>& path, Ref<NSError>* error) {
    if (!path || path->length() == 0) {
        NSException::raise(NSInvalidArgumentException, "NSSandbox::holdFolder: empty path");
    }
    std::error_code failed;
    std::string folder = std::filesystem::weakly_canonical(path->str(), failed).string();
    if (failed) {
        folder = path->str();
    }
    auto& s = sandbox();
    std::lock_guard lock(s.lock);
    if (s.heldFolders.count(folder)) {
        return true;
    }
    // The folder itself is locked, so that nothing is added among what is written there.
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        ns_file::setError(error, ns_file::fileError(errno, folder, false));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int failure = errno;
        ::close(fd);
        if (failure != EWOULDBLOCK) {
            ns_file::setError(error, ns_file::fileError(failure, folder, false));
            return false;
        }
        ns_file::setError(error,
                          inUseError("The folder \u201C" + folder + "\u201D is in use by another process.", folder));
        return false;
    }
    s.heldFolders.emplace(folder, fd);
    return true;
}

// MARK: - Standard folders

Ref<NSArray> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory, NSSearchPathDomainMask domains,
                                                 bool expandTilde) {
    if (!(domains & NSUserDomainMask)) {
        return NSArray::array();
    }
    std::string sub;
    switch (directory) {
    case NSDocumentDirectory:
        sub = "/Documents";
        break;
    case NSLibraryDirectory:
        sub = "/Library";
        break;
    case NSCachesDirectory:
        sub = "/Library/Caches";
        break;
    case NSApplicationSupportDirectory:
        sub = "/Library/Application Support";
        break;
    default:
        return NSArray::array();
    }
    std::string base = expandTilde ? rootString() : std::string("~");
    return NSArray::arrayWithObjects({NSString::from(base + sub)});
}

Ref<NSString> NSHomeDirectory() {
    return NSSandbox::rootPath();
}

Ref<NSString> NSTemporaryDirectory() {
    return NSString::from(rootString() + "/tmp/");
}

// MARK: - Errors and atomic writes

namespace ns_file {

namespace {
std::mutex hookLock;
std::function<void(const std::string&)>& beforeRenameHook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}
} // namespace

void setBeforeRenameHookForTesting(std::function<void(const std::string& temporaryPath)> hook) {
    std::lock_guard lock(hookLock);
    beforeRenameHook() = std::move(hook);
}

Ref<NSError> fileError(int posixError, const std::string& path, bool writing) {
    NSInteger code;
    switch (posixError) {
    case ENOENT:
    case ENOTDIR:
        code = writing ? NSFileNoSuchFileError : NSFileReadNoSuchFileError;
        break;
    case EACCES:
    case EPERM:
        code = writing ? NSFileWriteNoPermissionError : NSFileReadNoPermissionError;
        break;
    case ENAMETOOLONG:
        code = writing ? NSFileWriteInvalidFileNameError : NSFileReadInvalidFileNameError;
        break;
    case EEXIST:
        code = writing ? NSFileWriteFileExistsError : NSFileReadUnknownError;
        break;
    case ENOSPC:
    case EDQUOT:
        code = writing ? NSFileWriteOutOfSpaceError : NSFileReadUnknownError;
        break;
    case EROFS:
        code = writing ? NSFileWriteVolumeReadOnlyError : NSFileReadUnknownError;
        break;
    default:
        code = writing ? NSFileWriteUnknownError : NSFileReadUnknownError;
        break;
    }
    std::string name = fs::path(path).filename().string();
    std::string text = std::string("The file \u201C") + name + "\u201D couldn\u2019t be " +
                       (writing ? "saved" : "opened") + ": " + std::strerror(posixError) + ".";
    auto underlying = make<NSError>(NSPOSIXErrorDomain(), posixError);
    auto info = NSDictionary::dictionaryWithEntries({{NSLocalizedDescriptionKey(), NSString::from(text)},
                                                     {NSFilePathErrorKey(), NSString::from(path)},
                                                     {NSUnderlyingErrorKey(), underlying}});
    return make<NSError>(NSCocoaErrorDomain(), code, info);
}

bool writeAtomically(const std::string& path, std::string_view bytes, Ref<NSError>* error) {
    if (path.empty()) {
        setError(error, fileError(ENOENT, path, true));
        return false;
    }
    fs::path target(path);
    std::string folder = target.has_parent_path() ? target.parent_path().string() : std::string(".");
    std::string pattern = folder + "/." + target.filename().string() + ".tmp-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, fileError(errno, path, true));
        return false;
    }
    std::string temporary(buffer.data());
    auto fail = [&](int err) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::unlink(temporary.c_str());
        setError(error, fileError(err, path, true));
        return false;
    };
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        written += static_cast<size_t>(n);
    }
    if (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0) {
        return fail(errno);
    }
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0) {
        return fail(errno);
    }
    {
        std::function<void(const std::string&)> hook;
        {
            std::lock_guard lock(hookLock);
            hook = beforeRenameHook();
        }
        if (hook) {
            hook(temporary);
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return fail(errno);
    }
    return true;
}

bool readFile(const std::string& path, std::string& out, Ref<NSError>* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        setError(error, fileError(errno, path, false));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        setError(error, fileError(EISDIR, path, false));
        return false;
    }
    out.clear();
    if (st.st_size > 0) {
        out.reserve(static_cast<size_t>(st.st_size));
    }
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            int err = errno;
            ::close(fd);
            setError(error, fileError(err, path, false));
            return false;
        }
        if (n == 0) {
            break;
        }
        out.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

} // namespace ns_file

// MARK: - NSFileManager

namespace {
std::string pathOf(const Ref<NSString>& path) {
    return path ? path->str() : std::string();
}

bool failWith(Ref<NSError>* error, int err, const std::string& path, bool writing) {
    ns_file::setError(error, ns_file::fileError(err, path, writing));
    return false;
}

// A move or copy needs an existing source and a destination that does not exist yet.
bool canTransfer(const std::string& from, const std::string& to, Ref<NSError>* error) {
    struct stat st {};
    if (from.empty() || ::lstat(from.c_str(), &st) != 0) {
        return failWith(error, from.empty() ? ENOENT : errno, from, false);
    }
    if (to.empty()) {
        return failWith(error, ENOENT, to, true);
    }
    if (::lstat(to.c_str(), &st) == 0) {
        return failWith(error, EEXIST, to, true);
    }
    return true;
}
} // namespace

Ref<NSFileManager> NSFileManager::defaultManager() {
    static Ref<NSFileManager> manager = make<NSFileManager>();
    return manager;
}

bool NSFileManager::fileExistsAtPath(const Ref<NSString>& path) const {
    return fileExistsAtPathIsDirectory(path, nullptr);
}

bool NSFileManager::fileExistsAtPathIsDirectory(const Ref<NSString>& path, bool* isDirectory) const {
    struct stat st {};
    if (!path || ::stat(path->UTF8String(), &st) != 0) {
        return false;
    }
    if (isDirectory) {
        *isDirectory = S_ISDIR(st.st_mode);
    }
    return true;
}

bool NSFileManager::isReadableFileAtPath(const Ref<NSString>& path) const {
    return path && ::access(path->UTF8String(), R_OK) == 0;
}

bool NSFileManager::isWritableFileAtPath(const Ref<NSString>& path) const {
    return path && ::access(path->UTF8String(), W_OK) == 0;
}

bool NSFileManager::isDeletableFileAtPath(const Ref<NSString>& path) const {
    if (!path || !fileExistsAtPath(path)) {
        return false;
    }
    std::string parent = fs::path(path->str()).parent_path().string();
    return ::access(parent.empty() ? "." : parent.c_str(), W_OK) == 0;
}

Ref<NSData> NSFileManager::contentsAtPath(const Ref<NSString>& path) const {
    std::string bytes;
    if (!ns_file::readFile(pathOf(path), bytes, nullptr)) {
        return nullptr;
    }
    return NSData::dataWithBytesLength(bytes.data(), bytes.size());
}

bool NSFileManager::createFileAtPathContentsAttributes(const Ref<NSString>& path, const Ref<NSData>& contents,
                                                       const Ref<NSDictionary>& attributes) {
    std::string_view bytes;
    if (contents) {
        bytes = std::string_view(reinterpret_cast<const char*>(contents->bytes()), contents->length());
    }
    if (!ns_file::writeAtomically(pathOf(path), bytes, nullptr)) {
        return false;
    }
    if (attributes) {
        if (auto mode = cast<NSNumber>(attributes->objectForKey(NSFilePosixPermissions()))) {
            ::chmod(path->UTF8String(), static_cast<mode_t>(mode->unsignedLongValue() & 07777));
        }
    }
    return true;
}

bool NSFileManager::createDirectoryAtPathWithIntermediateDirectoriesAttributesError(const Ref<NSString>& path,
                                                                                    bool createIntermediates,
                                                                                    const Ref<NSDictionary>& attributes,
                                                                                    Ref<NSError>* error) {
    std::string p = pathOf(path);
    if (p.empty()) {
        return failWith(error, ENOENT, p, true);
    }
    mode_t mode = 0755;
    if (attributes) {
        if (auto m = cast<NSNumber>(attributes->objectForKey(NSFilePosixPermissions()))) {
            mode = static_cast<mode_t>(m->unsignedLongValue() & 07777);
        }
    }
    if (createIntermediates) {
        bool isDirectory = false;
        if (fileExistsAtPathIsDirectory(path, &isDirectory)) {
            return isDirectory ? true : failWith(error, EEXIST, p, true);
        }
        std::error_code ec;
        fs::create_directories(p, ec);
        if (ec) {
            return failWith(error, ec.value(), p, true);
        }
        ::chmod(p.c_str(), mode);
        return true;
    }
    if (::mkdir(p.c_str(), mode) != 0) {
        return failWith(error, errno, p, true);
    }
    return true;
}

Ref<NSArray> NSFileManager::contentsOfDirectoryAtPathError(const Ref<NSString>& path, Ref<NSError>* error) const {
    std::string p = pathOf(path);
    std::error_code ec;
    fs::directory_iterator it(p, ec);
    if (ec) {
        failWith(error, ec.value(), p, false);
        return nullptr;
    }
    std::vector<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            failWith(error, ec.value(), p, false);
            return nullptr;
        }
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<id> items;
    items.reserve(names.size());
    for (auto& n : names) {
        items.push_back(NSString::from(n));
    }
    return NSArray::arrayWithVector(std::move(items));
}

bool NSFileManager::removeItemAtPathError(const Ref<NSString>& path, Ref<NSError>* error) {
    std::string p = pathOf(path);
    struct stat st {};
    if (p.empty() || ::lstat(p.c_str(), &st) != 0) {
        return failWith(error, p.empty() ? ENOENT : errno, p, true);
    }
    std::error_code ec;
    fs::remove_all(p, ec);
    if (ec) {
        return failWith(error, ec.value(), p, true);
    }
    return true;
}

bool NSFileManager::moveItemAtPathToPathError(const Ref<NSString>& source, const Ref<NSString>& destination,
                                              Ref<NSError>* error) {
    std::string from = pathOf(source), to = pathOf(destination);
    if (!canTransfer(from, to, error)) {
        return false;
    }
    if (::rename(from.c_str(), to.c_str()) == 0) {
        return true;
    }
    if (errno != EXDEV) {
        return failWith(error, errno, to, true);
    }
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        fs::remove_all(to, ec);
        return failWith(error, ec.value(), to, true);
    }
    fs::remove_all(from, ec);
    return true;
}

bool NSFileManager::copyItemAtPathToPathError(const Ref<NSString>& source, const Ref<NSString>& destination,
                                              Ref<NSError>* error) {
    std::string from = pathOf(source), to = pathOf(destination);
    if (!canTransfer(from, to, error)) {
        return false;
    }
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) {
        return failWith(error, ec.value(), to, true);
    }
    return true;
}

Ref<NSDictionary> NSFileManager::attributesOfItemAtPathError(const Ref<NSString>& path, Ref<NSError>* error) const {
    std::string p = pathOf(path);
    struct stat st {};
    if (p.empty() || ::lstat(p.c_str(), &st) != 0) {
        failWith(error, p.empty() ? ENOENT : errno, p, false);
        return nullptr;
    }
    Ref<NSString> type = S_ISREG(st.st_mode)   ? NSFileTypeRegular()
                         : S_ISDIR(st.st_mode) ? NSFileTypeDirectory()
                         : S_ISLNK(st.st_mode) ? NSFileTypeSymbolicLink()
                                               : NSFileTypeUnknown();
    double modified = static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9;
    return NSDictionary::dictionaryWithEntries(
        {{NSFileSize(), NSNumber::numberWithUnsignedLongLong(static_cast<unsigned long long>(st.st_size))},
         {NSFileModificationDate(), NSDate::dateWithTimeIntervalSince1970(modified)},
         {NSFileType(), type},
         {NSFilePosixPermissions(), NSNumber::numberWithUnsignedLong(st.st_mode & 07777)},
         {NSFileReferenceCount(), NSNumber::numberWithUnsignedLong(static_cast<unsigned long>(st.st_nlink))}});
}

Ref<NSDictionary> NSFileManager::attributesOfFileSystemForPathError(const Ref<NSString>& path,
                                                                    Ref<NSError>* error) const {
    std::string p = pathOf(path);
    struct statvfs vfs {};
    if (p.empty() || ::statvfs(p.c_str(), &vfs) != 0) {
        failWith(error, p.empty() ? ENOENT : errno, p, false);
        return nullptr;
    }
    auto block = static_cast<unsigned long long>(vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize);
    // The sandbox is the simulated device's storage: its figures are the device's.
    std::string root = NSSandbox::rootPath()->str();
    if (p == root || p.rfind(root + "/", 0) == 0) {
        auto storage = SimDevice::current().storage();
        auto count = [](int64_t v) {
            return NSNumber::numberWithUnsignedLongLong(v > 0 ? static_cast<uint64_t>(v) : 0);
        };
        return NSDictionary::dictionaryWithEntries({{NSFileSystemSize(), count(storage.totalBytes)},
                                                    {NSFileSystemFreeSize(), count(storage.freeBytes)},
                                                    {NSFileSystemNodes(), count(storage.nodes)}});
    }
    return NSDictionary::dictionaryWithEntries(
        {{NSFileSystemSize(), NSNumber::numberWithUnsignedLongLong(block * vfs.f_blocks)},
         {NSFileSystemFreeSize(), NSNumber::numberWithUnsignedLongLong(block * vfs.f_bavail)},
         {NSFileSystemNodes(), NSNumber::numberWithUnsignedLongLong(vfs.f_files)},
         {NSFileSystemFreeNodes(), NSNumber::numberWithUnsignedLongLong(vfs.f_favail)}});
}

Ref<NSArray> NSFileManager::URLsForDirectoryInDomains(NSSearchPathDirectory directory,
                                                      NSSearchPathDomainMask domains) const {
    std::vector<id> urls;
    // Held in a local: a range-for over *call() would free the array before the loop runs.
    Ref<NSArray> paths = NSSearchPathForDirectoriesInDomains(directory, domains, true);
    for (const auto& path : *paths) {
        urls.push_back(NSURL::fileURLWithPathIsDirectory(cast<NSString>(path), true));
    }
    return NSArray::arrayWithVector(std::move(urls));
}

Ref<NSString> NSFileManager::currentDirectoryPath() const {
    std::error_code ec;
    auto p = fs::current_path(ec);
    return ec ? nullptr : NSString::from(p.string());
}
