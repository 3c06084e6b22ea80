#include "io/input_source.h"

#include "core/retrying_io.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>

std::string_view ByteSource::Next(std::vector<char>& scratch)
{
    scratch.resize(kReadChunkSize);
    return {scratch.data(), Read(scratch.data(), scratch.size())};
}

namespace {

// ---- Passes over a regular file. A pass maps the file into memory and
// reads its bytes where the page cache holds them, without a copy. It holds
// a read lease on the file meanwhile: nobody can cut the file short while
// it is mapped (touching a page past a cut end would end the process), a
// writer waits until the lease is given up. Once anybody asks to write the
// file (the system then breaks the lease and signals the process), every
// mapped pass goes on by copying from where it is and gives up its lease,
// so the writer waits only for the bytes in hand. Where no lease is granted
// (another user's file, a file open for writing, some file systems) or the
// program did not allow mapping, the pass copies the bytes as it reads.

// Lease breaks seen by the signal handler; a pass compares the count with
// the one when it took its lease.
std::atomic<unsigned> leaseBreaks{0};
static_assert(std::atomic<unsigned>::is_always_lock_free, "the signal handler counts");
std::atomic<bool> mappingAllowed{false};

extern "C" void CountLeaseBreak(int)
{
    leaseBreaks.fetch_add(1);
}

// A pass that reads a descriptor from an offset of its own, so that passes
// over one descriptor (the unnamed temporary copy) do not disturb each other.
class DescriptorSource : public ByteSource {
public:
    DescriptorSource(int descriptor, unsigned long long start) : descriptor(descriptor), offset(start) {}
    std::size_t Read(char* buffer, std::size_t size) override;

protected:
    int descriptor;
    unsigned long long offset; // of the next byte of the pass
};

std::size_t DescriptorSource::Read(char* buffer, std::size_t size)
{
    const ssize_t count = ReadAtRetrying(descriptor, buffer, size, static_cast<off_t>(offset));
    if (count < 0) {
        Fail(errno);
        return 0;
    }
    offset += static_cast<unsigned long long>(count);
    return static_cast<std::size_t>(count);
}

// A pass over a regular file, which it opened and closes.
class FileSource : public DescriptorSource {
public:
    explicit FileSource(int descriptor) : DescriptorSource(descriptor, 0) {}
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    void StartAt(unsigned long long start) { offset = start; }
    // Maps the whole file under a lease, when allowed and granted.
    void Map();
    std::string_view Next(std::vector<char>& scratch) override;

private:
    void Unmap();

    const char* mapped = nullptr;
    std::size_t mappedSize = 0;
    unsigned leaseBreaksAtMapping = 0;
};

FileSource::~FileSource()
{
    Unmap();
    close(descriptor);
}

void FileSource::Map()
{
    struct stat status {};
    if (!mappingAllowed.load() || fstat(descriptor, &status) != 0 || status.st_size <= 0 ||
        static_cast<unsigned long long>(status.st_size) <= offset)
        return;
    leaseBreaksAtMapping = leaseBreaks.load();
    if (fcntl(descriptor, F_SETLEASE, F_RDLCK) != 0)
        return;
    const auto size = static_cast<std::size_t>(status.st_size);
    void* const region = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (region == MAP_FAILED) {
        fcntl(descriptor, F_SETLEASE, F_UNLCK);
        return;
    }
    mapped = static_cast<const char*>(region);
    mappedSize = size;
}

void FileSource::Unmap()
{
    if (mapped == nullptr)
        return;
    munmap(const_cast<char*>(mapped), mappedSize);
    mapped = nullptr;
    fcntl(descriptor, F_SETLEASE, F_UNLCK);
}

// The views handed out before are no longer in use: the mapping may go.
// Bytes past the mapped end (a file that grew) are read by copying.
std::string_view FileSource::Next(std::vector<char>& scratch)
{
    if (mapped != nullptr && (offset >= mappedSize || leaseBreaks.load() != leaseBreaksAtMapping))
        Unmap();
    if (mapped == nullptr)
        return ByteSource::Next(scratch);
    const auto size = static_cast<std::size_t>(std::min<unsigned long long>(kReadChunkSize, mappedSize - offset));
    const std::string_view bytes(mapped + offset, size);
    offset += size;
    return bytes;
}

// A pass over the bytes held in memory.
class MemorySource : public ByteSource {
public:
    // Every chunk but the last holds kReadChunkSize bytes.
    MemorySource(const std::vector<std::string>& chunks, unsigned long long start)
        : chunks(chunks), chunk(static_cast<std::size_t>(start / kReadChunkSize)),
          offset(static_cast<std::size_t>(start % kReadChunkSize))
    {
    }
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    const std::vector<std::string>& chunks;
    std::size_t chunk;
    std::size_t offset;
};

std::size_t MemorySource::Read(char* buffer, std::size_t size)
{
    std::size_t copied = 0;
    while (copied < size && chunk < chunks.size()) {
        const std::string& bytes = chunks[chunk];
        if (offset >= bytes.size()) { // a start past the end
            ++chunk;
            offset = 0;
            continue;
        }
        const std::size_t count = std::min(size - copied, bytes.size() - offset);
        std::memcpy(buffer + copied, bytes.data() + offset, count);
        copied += count;
        offset += count;
        if (offset == bytes.size()) {
            ++chunk;
            offset = 0;
        }
    }
    return copied;
}

bool StartsWithByteOrderMark(const char* bytes, std::size_t size)
{
    return size >= kByteOrderMarkLength && std::memcmp(bytes, kByteOrderMark, kByteOrderMarkLength) == 0;
}

// An unnamed file that disappears with its descriptor; -1 when the file
// system offers none.
int CreateTemporaryFile()
{
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || *folder == '\0')
        folder = "/tmp";
    return OpenRetrying(folder, O_TMPFILE | O_RDWR | O_EXCL, 0600);
}

// The longest line a run may hold: the memory it may use (the machine's,
// or less where a limit of the process says so).
unsigned long long LongestLine()
{
    unsigned long long memory = static_cast<unsigned long long>(sysconf(_SC_PHYS_PAGES)) *
                                static_cast<unsigned long long>(sysconf(_SC_PAGE_SIZE));
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit {};
        if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            memory = std::min<unsigned long long>(memory, limit.rlim_cur);
    }
    return memory;
}

// Up to one chunk of bytes; false after a read error.
bool ReadChunk(int descriptor, std::string& chunk, bool& atEnd)
{
    chunk.resize(kReadChunkSize);
    std::size_t filled = 0;
    while (filled < chunk.size()) {
        const ssize_t count = ReadRetrying(descriptor, chunk.data() + filled, chunk.size() - filled);
        if (count <= 0) {
            atEnd = true;
            chunk.resize(filled);
            return count == 0;
        }
        filled += static_cast<std::size_t>(count);
    }
    return true;
}

} // namespace

InputSource::~InputSource()
{
    if (temporaryFile >= 0)
        close(temporaryFile);
}

bool InputSource::Open(const std::string& fileName)
{
    if (temporaryFile >= 0)
        close(temporaryFile);
    temporaryFile = -1;
    copy = Copy::kNone;
    copied = 0;
    chunks.clear();
    errorNumber = 0;
    fileSize = 0;
    name = fileName;
    // A name with a NUL byte would open a different, shorter name.
    if (fileName.find('\0') != std::string::npos)
        return Refuse(EINVAL);
    struct stat status {};
    if (stat(fileName.c_str(), &status) != 0)
        return Refuse(errno);
    fileSize = static_cast<unsigned long long>(status.st_size);
    return S_ISREG(status.st_mode) || ReadOnce();
}

bool InputSource::Refuse(int number)
{
    errorNumber = number != 0 ? number : EIO;
    return false;
}

bool InputSource::ReadOnce()
{
    const int descriptor = OpenRetrying(name.c_str(), O_RDONLY);
    if (descriptor < 0)
        return Refuse(errno);
    temporaryFile = CreateTemporaryFile();
    copy = temporaryFile >= 0 ? Copy::kTemporaryFile : Copy::kMemory;
    bool readAll = true;
    std::string chunk;
    // A line no run could hold (/dev/zero has one without end) stops the copy.
    const unsigned long long longest = LongestLine();
    unsigned long long lineLength = 0;
    for (bool atEnd = false; !atEnd && readAll;) {
        readAll = ReadChunk(descriptor, chunk, atEnd);
        const auto* lineFeed = static_cast<const char*>(memrchr(chunk.data(), '\n', chunk.size()));
        lineLength = lineFeed != nullptr ? static_cast<unsigned long long>(chunk.data() + chunk.size() - lineFeed - 1)
                                         : lineLength + chunk.size();
        if (lineLength > longest) {
            close(descriptor);
            throw std::bad_alloc();
        }
        if (!readAll)
            Refuse(errno);
        else if (!chunk.empty() && !Keep(chunk))
            readAll = false;
    }
    close(descriptor);
    return readAll;
}

// A full temporary file system moves what it holds into memory and goes
// on there. False when the copy cannot be read back.
bool InputSource::Keep(std::string& chunk)
{
    if (copy == Copy::kTemporaryFile) {
        if (WriteAll(temporaryFile, chunk.data(), chunk.size())) {
            copied += chunk.size();
            return true;
        }
        if (!MoveTemporaryFileIntoMemory())
            return false;
    }
    chunks.push_back(std::move(chunk));
    return true;
}

bool InputSource::MoveTemporaryFileIntoMemory()
{
    DescriptorSource source(temporaryFile, 0);
    for (unsigned long long moved = 0; moved < copied;) {
        const auto size = static_cast<std::size_t>(std::min<unsigned long long>(kReadChunkSize, copied - moved));
        std::string& chunk = chunks.emplace_back(size, '\0');
        if (source.Read(chunk.data(), size) != size)
            return Refuse(source.ErrorNumber());
        moved += size;
    }
    close(temporaryFile);
    temporaryFile = -1;
    copy = Copy::kMemory;
    return true;
}

std::unique_ptr<ByteSource> InputSource::Pass(unsigned long long offset) const
{
    if (copy == Copy::kTemporaryFile) {
        char start[kByteOrderMarkLength];
        DescriptorSource probe(temporaryFile, 0);
        const std::size_t read = probe.Read(start, sizeof start);
        if (probe.Failed()) {
            errno = probe.ErrorNumber();
            return nullptr;
        }
        return std::make_unique<DescriptorSource>(
            temporaryFile, (StartsWithByteOrderMark(start, read) ? kByteOrderMarkLength : 0) + offset);
    }
    if (copy == Copy::kMemory) {
        const bool marked = !chunks.empty() && StartsWithByteOrderMark(chunks.front().data(), chunks.front().size());
        return std::make_unique<MemorySource>(chunks, (marked ? kByteOrderMarkLength : 0) + offset);
    }
    const int descriptor = OpenRetrying(name.c_str(), O_RDONLY);
    if (descriptor < 0)
        return nullptr;
    auto pass = std::make_unique<FileSource>(descriptor);
    char start[kByteOrderMarkLength];
    const std::size_t read = pass->Read(start, sizeof start);
    if (pass->Failed()) {
        errno = pass->ErrorNumber();
        return nullptr;
    }
    pass->StartAt((StartsWithByteOrderMark(start, read) ? kByteOrderMarkLength : 0) + offset);
    pass->Map();
    return pass;
}

unsigned long long InputSource::Size() const
{
    switch (copy) {
    case Copy::kTemporaryFile:
        return copied;
    case Copy::kMemory: {
        unsigned long long size = 0;
        for (const std::string& chunk : chunks)
            size += chunk.size();
        return size;
    }
    case Copy::kNone:
        break;
    }
    return fileSize;
}

void AllowMappedInput()
{
    struct sigaction previous {};
    if (sigaction(SIGIO, nullptr, &previous) != 0 || previous.sa_handler != SIG_DFL)
        return; // the signal is somebody else's: leases would go unnoticed
    struct sigaction action {};
    action.sa_handler = CountLeaseBreak;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGIO, &action, nullptr) == 0)
        mappingAllowed.store(true);
}
