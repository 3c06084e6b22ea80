#pragma once

#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Size of one read from the file.
inline constexpr std::size_t kReadChunkSize = 1 << 20;

// Where one pass of the reader takes its bytes from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to size bytes into buffer; 0 at the end or after a read error.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    // The next bytes of the pass, at most kReadChunkSize, valid until the
    // next call: where the source has them in memory (a mapped file), there;
    // else read into scratch, which the first such read sizes (so a mapped
    // pass never fills a buffer it does not use). Empty at the end or after
    // a read error.
    virtual std::string_view Next(std::vector<char>& scratch);
    // True when reading stopped because the bytes could not be read.
    bool Failed() const { return errorNumber != 0; }
    // The errno of that read error; 0 while none happened.
    int ErrorNumber() const { return errorNumber; }

protected:
    // Remembers the errno of a failed read (EIO should it be 0).
    void Fail(int number) { errorNumber = number != 0 ? number : EIO; }

private:
    int errorNumber = 0;
};

// The input file as the reader's passes see it. A regular file is opened
// anew for every pass, so that a file of any size is never held in memory;
// a pass reads it mapped where the program allows it (AllowMappedInput).
// Anything else (standard input as /dev/stdin, a pipe, a process
// substitution, a terminal) can be read only once: its bytes are copied
// when the source is opened into an unnamed temporary file (in $TMPDIR,
// else /tmp), which every pass reads, so that memory stays that of a
// regular file. Where no temporary file can be made or written, the bytes
// are held in memory instead.
// A line longer than the memory a run may use (the endless one of
// /dev/zero) stops the copy: Open throws std::bad_alloc.
// Every pass starts past a UTF-8 byte-order mark (EF BB BF) at the start of
// the file, which editors on the platform the files come from write.
class InputSource {
public:
    InputSource() = default;
    InputSource(const InputSource&) = delete;
    InputSource& operator=(const InputSource&) = delete;
    ~InputSource();

    // False when the name cannot be opened or its bytes cannot be read
    // (a directory), with the errno in ErrorNumber(). Throws
    // std::bad_alloc when bytes held in memory do not fit.
    bool Open(const std::string& fileName);
    int ErrorNumber() const { return errorNumber; }
    // A new pass from offset bytes past the start (and past a byte-order
    // mark). nullptr when the file cannot be opened anew, with errno
    // telling why.
    std::unique_ptr<ByteSource> Pass(unsigned long long offset = 0) const;

    // The size of the file as opened, in bytes: for sharing the work of a
    // pass; the passes read until the end whatever it is.
    unsigned long long Size() const;

    // Where the bytes of a file that can be read only once are kept.
    enum class Copy { kNone, kTemporaryFile, kMemory };
    Copy CopyKind() const { return copy; }

private:
    bool Refuse(int number);
    bool ReadOnce();
    bool Keep(std::string& chunk);
    bool MoveTemporaryFileIntoMemory();

    std::string name;
    Copy copy = Copy::kNone;
    int temporaryFile = -1;          // the unnamed copy
    unsigned long long copied = 0;   // bytes in it
    std::vector<std::string> chunks; // the bytes in memory, all chunks full but the last
    int errorNumber = 0;             // why Open failed
    unsigned long long fileSize = 0; // of a regular file at Open
};

// The bytes that mark a UTF-8 file.
inline constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
inline constexpr std::size_t kByteOrderMarkLength = 3;

// Lets the passes over regular files read them mapped into memory, under a
// read lease (see FileSource in input_source.cpp): installs a handler for
// SIGIO, by which the system tells of a broken lease. For programs, which
// own their signals; a library leaves it, and its passes copy the bytes.
// Does nothing when SIGIO is handled or ignored already.
void AllowMappedInput();
