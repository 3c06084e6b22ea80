#include "io/input_source.h"

#include "io/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// A pass over a regular file.
class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : file(file) {}
    std::size_t Read(char* buffer, std::size_t size) override { return std::fread(buffer, 1, size, file.get()); }
    bool Failed() const override { return std::ferror(file.get()) != 0; }

private:
    std::unique_ptr<std::FILE, FileCloser> file;
};

// A pass over the bytes held in memory.
class MemorySource : public ByteSource {
public:
    MemorySource(const std::vector<std::string>& chunks, std::size_t start) : chunks(chunks), offset(start) {}
    std::size_t Read(char* buffer, std::size_t size) override;
    bool Failed() const override { return false; }

private:
    const std::vector<std::string>& chunks;
    std::size_t chunk = 0;
    std::size_t offset;
};

std::size_t MemorySource::Read(char* buffer, std::size_t size)
{
    std::size_t copied = 0;
    while (copied < size && chunk < chunks.size()) {
        const std::string& bytes = chunks[chunk];
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

// Leaves the file just past a byte-order mark, else at its start.
bool SkipByteOrderMark(std::FILE* file)
{
    char start[kByteOrderMarkLength];
    const std::size_t read = std::fread(start, 1, kByteOrderMarkLength, file);
    if (std::ferror(file))
        return false;
    return StartsWithByteOrderMark(start, read) || std::fseek(file, 0, SEEK_SET) == 0;
}

ssize_t ReadRetrying(int descriptor, char* buffer, std::size_t size)
{
    ssize_t count;
    do
        count = read(descriptor, buffer, size);
    while (count < 0 && errno == EINTR);
    return count;
}

} // namespace

bool InputSource::Open(const std::string& fileName)
{
    name = fileName;
    chunks.clear();
    // A name with a NUL byte would open a different, shorter name.
    struct stat status {};
    if (fileName.find('\0') != std::string::npos || stat(fileName.c_str(), &status) != 0)
        return false;
    inMemory = !S_ISREG(status.st_mode);
    return !inMemory || ReadIntoMemory();
}

bool InputSource::ReadIntoMemory()
{
    int descriptor;
    do
        descriptor = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        return false;
    bool readAll = true;
    for (bool atEnd = false; !atEnd;) {
        std::string& chunk = chunks.emplace_back(kReadChunkSize, '\0');
        std::size_t filled = 0;
        while (filled < chunk.size()) {
            const ssize_t count = ReadRetrying(descriptor, chunk.data() + filled, chunk.size() - filled);
            if (count <= 0) {
                readAll = count == 0;
                atEnd = true;
                break;
            }
            filled += static_cast<std::size_t>(count);
        }
        chunk.resize(filled);
    }
    close(descriptor);
    if (!chunks.empty() && chunks.back().empty())
        chunks.pop_back();
    return readAll;
}

std::unique_ptr<ByteSource> InputSource::Pass() const
{
    if (inMemory) {
        const bool marked = !chunks.empty() && StartsWithByteOrderMark(chunks.front().data(), chunks.front().size());
        return std::make_unique<MemorySource>(chunks, marked ? kByteOrderMarkLength : 0);
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
    if (!file || !SkipByteOrderMark(file.get()))
        return nullptr;
    return std::make_unique<FileSource>(file.release());
}
