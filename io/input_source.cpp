#include "io/input_source.h"

#include "core/retrying_io.h"
#include "io/line_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// A pass over a regular file.
class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : file(file) {}
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    std::unique_ptr<std::FILE, FileCloser> file;
};

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

std::size_t FileSource::Read(char* buffer, std::size_t size)
{
    const std::size_t count = std::fread(buffer, 1, size, file.get());
    if (count < size && std::ferror(file.get()))
        Fail(errno);
    return count;
}

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

// A pass over the unnamed temporary copy; every pass keeps its own offset.
class TemporaryFileSource : public ByteSource {
public:
    TemporaryFileSource(int descriptor, unsigned long long start) : descriptor(descriptor), offset(start) {}
    std::size_t Read(char* buffer, std::size_t size) override;

private:
    int descriptor;
    unsigned long long offset;
};

std::size_t TemporaryFileSource::Read(char* buffer, std::size_t size)
{
    const ssize_t count = ReadAtRetrying(descriptor, buffer, size, static_cast<off_t>(offset));
    if (count < 0) {
        Fail(errno);
        return 0;
    }
    offset += static_cast<unsigned long long>(count);
    return static_cast<std::size_t>(count);
}

bool StartsWithByteOrderMark(const char* bytes, std::size_t size)
{
    return size >= kByteOrderMarkLength && std::memcmp(bytes, kByteOrderMark, kByteOrderMarkLength) == 0;
}

// Leaves the file offset bytes past a byte-order mark, else past its start.
bool SkipByteOrderMark(std::FILE* file, unsigned long long offset)
{
    char start[kByteOrderMarkLength];
    const std::size_t read = std::fread(start, 1, kByteOrderMarkLength, file);
    if (std::ferror(file))
        return false;
    const unsigned long long skipped = StartsWithByteOrderMark(start, read) ? kByteOrderMarkLength : 0;
    if (skipped + offset == read)
        return true;
    return fseeko(file, static_cast<off_t>(skipped + offset), SEEK_SET) == 0;
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
    for (bool atEnd = false; !atEnd && readAll;) {
        readAll = ReadChunk(descriptor, chunk, atEnd);
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
    TemporaryFileSource source(temporaryFile, 0);
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
        TemporaryFileSource probe(temporaryFile, 0);
        const std::size_t read = probe.Read(start, sizeof start);
        if (probe.Failed()) {
            errno = probe.ErrorNumber();
            return nullptr;
        }
        return std::make_unique<TemporaryFileSource>(
            temporaryFile, (StartsWithByteOrderMark(start, read) ? kByteOrderMarkLength : 0) + offset);
    }
    if (copy == Copy::kMemory) {
        const bool marked = !chunks.empty() && StartsWithByteOrderMark(chunks.front().data(), chunks.front().size());
        return std::make_unique<MemorySource>(chunks, (marked ? kByteOrderMarkLength : 0) + offset);
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
    if (!file)
        return nullptr;
    if (!SkipByteOrderMark(file.get(), offset)) {
        const int reason = errno; // the read's, not that of closing
        file.reset();
        errno = reason;
        return nullptr;
    }
    return std::make_unique<FileSource>(file.release());
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
