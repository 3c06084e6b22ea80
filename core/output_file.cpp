#include "core/output_file.h"

#include "core/background_task.h"
#include "core/file_path.h"
#include "core/retrying_io.h"
#include "res/string_table.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

namespace {

// ---- The names the signal handler removes. A fixed table, so that the
// handler reads it without allocating or locking: an entry is free,
// being filled, or holds a name that is ready for removal.
constexpr int kCleanupSlots = 16;
enum SlotState : int { kSlotFree, kSlotFilling, kSlotReady };

struct CleanupSlot {
    std::atomic<int> state{kSlotFree};
    char name[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the states");

CleanupSlot cleanupSlots[kCleanupSlots];

// -1 when the table is full or the name too long: the file is still
// written safely, only a signal would leave its temporary file behind.
int RegisterForCleanup(const std::string& name)
{
    if (name.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < kCleanupSlots; ++i) {
        int expected = kSlotFree;
        if (!cleanupSlots[i].state.compare_exchange_strong(expected, kSlotFilling))
            continue;
        std::memcpy(cleanupSlots[i].name, name.c_str(), name.size() + 1);
        cleanupSlots[i].state.store(kSlotReady);
        return i;
    }
    return -1;
}

void UnregisterFromCleanup(int slot)
{
    if (slot >= 0)
        cleanupSlots[slot].state.store(kSlotFree);
}

// Only async-signal-safe calls: unlink, then the default action of the
// signal (SA_RESETHAND restored it; the signal stays blocked until the
// handler returns).
extern "C" void RemoveTemporaryFilesAndStop(int signal)
{
    const int savedErrno = errno;
    for (CleanupSlot& slot : cleanupSlots)
        if (slot.state.load() == kSlotReady)
            unlink(slot.name);
    errno = savedErrno;
    raise(signal);
}

// ---- Temporary names: ".<name>.<random>.tmp" beside the file, created
// exclusively so that no existing file (or link) is ever opened.
constexpr int kNameAttempts = 100;
constexpr std::size_t kLongestNameKept = 200; // NAME_MAX is 255

std::string RandomSuffix()
{
    static std::atomic<unsigned long long> counter{0};
    unsigned long long mixed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    mixed ^= (static_cast<unsigned long long>(getpid()) << 32) ^ (++counter * 0x9E3779B97F4A7C15ull);
    mixed ^= mixed >> 29;
    mixed *= 0xBF58476D1CE4E5B9ull;
    mixed ^= mixed >> 32;
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (int i = 0; i < 8; ++i, mixed /= 36)
        suffix += kDigits[mixed % 36];
    return suffix;
}

std::string TemporaryName(const std::string& folder, const std::string& name)
{
    const std::string base = name.size() <= kLongestNameKept ? name : std::string("tolvar");
    return folder + "." + base + "." + RandomSuffix() + ".tmp";
}

// ---- Where an output of a name goes: the name with its links followed,
// and what stands there now.
struct Destination {
    std::string target;
    bool exists = false;
    struct stat status {};

    bool IsRegularFile() const { return exists && S_ISREG(status.st_mode); }
};

// 0 when an output may go to path as far as the name and a file of it
// tell, else the errno that refuses it.
int Locate(const std::string& path, Destination& destination)
{
    // A name with a NUL byte would create a different, shorter name.
    if (path.empty() || path.find('\0') != std::string::npos)
        return path.empty() ? ENOENT : EINVAL;
    destination.target = FollowLinks(path);
    destination.exists = stat(destination.target.c_str(), &destination.status) == 0;
    // A file that the user may not write is not replaced either.
    if (destination.IsRegularFile() && faccessat(AT_FDCWD, destination.target.c_str(), W_OK, AT_EACCESS) != 0)
        return errno;
    return 0;
}

// The folder of a name, with its "/", where the temporary file goes;
// empty for the current folder.
std::string FolderOf(const std::string& target)
{
    std::string folder = std::filesystem::path(target).parent_path().string();
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

std::atomic<bool> namedTemporaryFilesOnly{false};

// 0 when the descriptor is open for writing, else EBADF (closed, or open
// for reading only, as a closed standard output is kept).
int DescriptorRefusal(int own)
{
    const int flags = fcntl(own, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY ? 0 : EBADF;
}

} // namespace

int OutputError::MessageId() const
{
    return stage == kCreate ? kStringFileOpenError : kStringFileWriteError;
}

OutputFile::OutputFile() = default;

OutputFile::~OutputFile()
{
    Discard();
    oldContentRemoval.reset();
}

bool OutputFile::Fail(OutputError::Stage stage, int number)
{
    if (!error) {
        error.stage = stage;
        error.number = number;
    }
    return false;
}

bool OutputFile::Open(const std::string& path, OutputDurability durability)
{
    Discard();
    oldContentRemoval.reset();
    error = OutputError();
    synced = durability == OutputDurability::kSynced;
    if (const int own = OwnDescriptorOf(path); own >= 0)
        return OpenDescriptor(own);
    Destination destination;
    if (const int refusal = Locate(path, destination))
        return Fail(OutputError::kCreate, refusal);
    target = destination.target;
    if (destination.exists && !destination.IsRegularFile()) {
        // No O_TRUNC: a device or a pipe has nothing to cut.
        descriptor = OpenRetrying(target.c_str(), O_WRONLY, 0);
        return descriptor >= 0 || Fail(OutputError::kCreate, errno);
    }
    replacing = destination.exists;
    const int mode = replacing ? static_cast<int>(destination.status.st_mode & 07777) : -1;
    const std::string folder = FolderOf(target);
    return OpenUnnamed(folder, mode) ||
           (!error && OpenTemporary(folder, std::filesystem::path(target).filename().string(), mode));
}

// A copy of the descriptor: its writes go where the shell pointed it, at its
// offset, appending when it appends.
bool OutputFile::OpenDescriptor(int own)
{
    if (const int refusal = DescriptorRefusal(own))
        return Fail(OutputError::kCreate, refusal);
    descriptor = fcntl(own, F_DUPFD_CLOEXEC, 0);
    return descriptor >= 0 || Fail(OutputError::kCreate, errno);
}

// A file without a name in the target's folder: whatever ends the process,
// even SIGKILL, it goes with it. False without Error() when the file system
// offers no such files (the named temporary file serves then).
bool OutputFile::OpenUnnamed(const std::string& folder, int mode)
{
    if (namedTemporaryFilesOnly.load())
        return false;
    descriptor = OpenRetrying(folder.empty() ? "." : folder.c_str(), O_WRONLY | O_TMPFILE, 0666);
    if (descriptor < 0)
        return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? false : Fail(OutputError::kCreate, errno);
    unnamed = true;
    if (mode >= 0 && fchmod(descriptor, static_cast<mode_t>(mode)) != 0) {
        const int reason = errno;
        Discard();
        return Fail(OutputError::kCreate, reason);
    }
    return true;
}

// mode -1: a new file, 0666 less the umask, as fopen would create it.
bool OutputFile::OpenTemporary(const std::string& folder, const std::string& name, int mode)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = TemporaryName(folder, name);
        descriptor = OpenRetrying(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (descriptor < 0 && errno == EEXIST)
            continue;
        if (descriptor < 0)
            return Fail(OutputError::kCreate, errno);
        temporary = candidate;
        cleanupSlot = RegisterForCleanup(temporary);
        if (mode >= 0 && fchmod(descriptor, static_cast<mode_t>(mode)) != 0) {
            const int reason = errno;
            Discard();
            return Fail(OutputError::kCreate, reason);
        }
        return true;
    }
    return Fail(OutputError::kCreate, EEXIST);
}

// The unnamed file gets its temporary name only now, complete, for the
// rename; the name is the signal handler's from before it exists.
bool OutputFile::NameUnnamed()
{
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    const std::string name = std::filesystem::path(target).filename().string();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = TemporaryName(FolderOf(target), name);
        cleanupSlot = RegisterForCleanup(candidate);
        // Without /proc, linking a descriptor needs a privilege that the
        // user may have.
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno == ENOENT && linkat(descriptor, "", AT_FDCWD, candidate.c_str(), AT_EMPTY_PATH) == 0)) {
            temporary = candidate;
            unnamed = false;
            return true;
        }
        const int reason = errno;
        UnregisterFromCleanup(cleanupSlot);
        cleanupSlot = -1;
        if (reason != EEXIST)
            return Fail(OutputError::kWrite, reason);
    }
    return Fail(OutputError::kWrite, EEXIST);
}

bool OutputFile::Write(std::string_view bytes)
{
    if (descriptor < 0 || error)
        return false;
    return WriteAll(descriptor, bytes.data(), bytes.size()) || Fail(OutputError::kWrite, errno);
}

void OutputFile::CloseDescriptor()
{
    // Closing reports a delayed write error (a full disk, NFS); EINTR
    // leaves the descriptor closed on Linux.
    if (descriptor >= 0 && close(descriptor) != 0 && errno != EINTR)
        Fail(OutputError::kWrite, errno);
    descriptor = -1;
}

bool OutputFile::Commit()
{
    if (descriptor < 0)
        return false;
    // A device written directly has nothing to replace.
    if (synced && (!temporary.empty() || unnamed) && !error && fsync(descriptor) != 0)
        Fail(OutputError::kWrite, errno);
    if (!error && unnamed)
        NameUnnamed();
    CloseDescriptor();
    if (!error && !temporary.empty() && !PutInPlace())
        Fail(OutputError::kWrite, errno);
    if (error) {
        Discard();
        return false;
    }
    // Renamed: the temporary name is the file now and must not be removed.
    UnregisterFromCleanup(cleanupSlot);
    cleanupSlot = -1;
    temporary.clear();
    return true;
}

// Replacing a file, the new one and the old one swap names and the old one
// is removed under the temporary name. A plain rename onto an existing file
// makes ext4 allocate and start writing the whole new file at once, in this
// process, and the next run that replaces it waits for that writing: for a
// report of hundreds of megabytes a noticeable cost. Where the file system
// cannot swap names, the plain rename does.
bool OutputFile::PutInPlace()
{
    if (replacing) {
        const int old = OpenRetrying(target.c_str(), O_PATH | O_NOFOLLOW);
        if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
            RemoveOldContent(old);
            return true;
        }
        if (old >= 0)
            close(old);
    }
    return rename(temporary.c_str(), target.c_str()) == 0;
}

// The old file, now under the temporary name, loses that name at once,
// quickly while old still holds its content; the content goes when a
// thread of its own closes old: dropping hundreds of megabytes from the
// page cache takes a while that the caller can spend freeing its own
// memory. The destructor waits for that thread.
void OutputFile::RemoveOldContent(int old)
{
    unlink(temporary.c_str());
    UnregisterFromCleanup(cleanupSlot);
    cleanupSlot = -1;
    if (old < 0)
        return;
    try {
        oldContentRemoval = std::make_unique<BackgroundTask>([old] { close(old); });
    } catch (const std::bad_alloc&) {
        close(old); // no memory for the task: at once
    }
}

void OutputFile::ForgetTemporary()
{
    if (!temporary.empty())
        unlink(temporary.c_str());
    UnregisterFromCleanup(cleanupSlot);
    cleanupSlot = -1;
    temporary.clear();
}

void OutputFile::Discard()
{
    if (descriptor >= 0) {
        close(descriptor);
        descriptor = -1;
    }
    unnamed = false;
    ForgetTemporary();
}

int OutputAccessError(const std::string& path)
{
    if (const int own = OwnDescriptorOf(path); own >= 0)
        return DescriptorRefusal(own);
    Destination destination;
    if (const int refusal = Locate(path, destination))
        return refusal;
    if (destination.exists && !destination.IsRegularFile()) {
        // Without O_TRUNC nothing is cut; a pipe without a reader answers at once.
        const int descriptor = OpenRetrying(destination.target.c_str(), O_WRONLY | O_NONBLOCK, 0);
        if (descriptor < 0)
            return errno;
        close(descriptor);
        return 0;
    }
    const std::string folder = FolderOf(destination.target);
    return faccessat(AT_FDCWD, folder.empty() ? "." : folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, OutputError& error)
{
    OutputFile file;
    const bool written = file.Open(path) && file.Write(bytes) && file.Commit();
    error = file.Error();
    return written;
}

void UseNamedTemporaryFilesOnly()
{
    namedTemporaryFilesOnly.store(true);
}

void RemoveTemporaryFilesOnSignals()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN)
            continue; // started with the signal ignored (nohup, a background job): keep it so
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryFilesAndStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(signal, &action, nullptr);
    }
}
