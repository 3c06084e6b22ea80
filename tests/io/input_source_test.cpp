// The input as the reader's passes see it: a regular file opened for every
// pass, a pipe read once into memory, a byte-order mark skipped in both.

#include "core/retrying_io.h"
#include "io/input_file.h"
#include "io/input_source.h"
#include "io/line_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using test_support::FromRows;
using test_support::SameMatrix;

namespace {

struct Read {
    int result = -1;
    Matrix designMatrix, observations, weights;
};

Read ReadFile(const std::string& text, bool weightVector = false)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("input.EIN");
    test_support::WriteBytes(path, text);
    Read read;
    read.result = weightVector ? ReadInputFileWeightVector(path, read.designMatrix, read.observations, read.weights)
                               : ReadInputFile(path, read.designMatrix, read.observations, read.weights);
    return read;
}

// The text through a pipe, named as a process substitution names it
// (/dev/fd/N); a second thread writes while the reader reads.
Read ReadPipe(const std::string& text, bool weightVector = false)
{
    std::signal(SIGPIPE, SIG_IGN); // a failing write is seen in the reader's result
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    std::thread writer([&] {
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t count = write(ends[1], text.data() + written, text.size() - written);
            if (count <= 0)
                break;
            written += static_cast<std::size_t>(count);
        }
        close(ends[1]);
    });
    const std::string path = "/dev/fd/" + std::to_string(ends[0]);
    Read read;
    read.result = weightVector ? ReadInputFileWeightVector(path, read.designMatrix, read.observations, read.weights)
                               : ReadInputFile(path, read.designMatrix, read.observations, read.weights);
    close(ends[0]); // a reader that stopped early lets the writer end
    writer.join();
    return read;
}

void ExpectSameRead(const Read& actual, const Read& expected, const std::string& what)
{
    ASSERT_EQ(actual.result, expected.result) << what;
    if (expected.result != 0)
        return;
    EXPECT_TRUE(SameMatrix(actual.designMatrix, expected.designMatrix)) << what;
    EXPECT_TRUE(SameMatrix(actual.observations, expected.observations)) << what;
    EXPECT_TRUE(SameMatrix(actual.weights, expected.weights)) << what;
}

// A data block whose lines and values cross the 1 MB chunks of a pass,
// large enough to be read in two parts.
std::string LargeText()
{
    std::string design, observations;
    for (int i = 0; design.size() < 9 * kReadChunkSize; ++i) {
        design += "1 " + std::to_string(i) + " " + std::to_string(i % 7) + ".25\r\n";
        observations += std::to_string(i * 3) + " 1\r\n";
    }
    return design + observations;
}

const std::string kMark = kByteOrderMark;

TEST(InputSource, APipeReadsAsTheSameFileWouldWithTheSameMessages)
{
    const std::string cases[] = {
        "1 2.5\r\n1 -3\r\n4 2\r\n-0.5 0.25\r\n",
        "1 2\n3 4\n5 1\n6 2\n\n7 7\n", // stops at the empty line
        "",                            // 119
        "1 2\r\n5 1\r\n6 1\r\n",       // 102
        "1\r\n5 0\r\n",                // 118
        kMark + "1 2\r\n3 4\r\n5 1\r\n6 2\r\n",
    };
    for (const std::string& text : cases) {
        const std::string what = text.substr(0, 30);
        ExpectSameRead(ReadPipe(text), ReadFile(text), what);
        ExpectSameRead(ReadPipe(text, true), ReadFile(text, true), what + " (weight vector)");
    }
}

// Editors write a byte-order mark before UTF-8 text; it is no part of the
// first value, and only the one at the very start is skipped.
TEST(InputSource, AByteOrderMarkAtTheStartIsSkipped)
{
    const std::string data = "1.5 2\r\n3 4\r\n5 1\r\n6 2\r\n";
    const Read plain = ReadFile(data);
    ASSERT_EQ(plain.result, 0);
    ExpectSameRead(ReadFile(kMark + data), plain, "marked");
    ExpectSameRead(ReadFile(kMark + data, true), ReadFile(data, true), "marked, weight vector");

    struct Case {
        std::string text;
        int result;
    };
    const Case cases[] = {
        {kMark, 119},
        {kMark + "\r\n1 2\r\n5 1\r\n", 119}, // the first line is empty once the mark is gone
        {kMark + "1 2\r\n5 1\r\n6 1\r\n", 102},
        {kMark + " \r\n5 1\r\n", 102},
        {"\xEF\xBB" "1\r\n5 1\r\n", 0}, // a partial mark is text
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadFile(c.text).result, c.result) << c.text;
        EXPECT_EQ(ReadPipe(c.text).result, c.result) << c.text;
    }
    // Not at the start: a piece of the second line that is no number.
    const Read later = ReadFile("1 2\r\n" + kMark + "3 4\r\n5 1\r\n6 2\r\n");
    ASSERT_EQ(later.result, 0);
    EXPECT_TRUE(SameMatrix(later.designMatrix, FromRows({{1.0, 2.0}, {0.0, 4.0}})));
}

// Sets $TMPDIR for the rest of a scope.
class TemporaryFolderVariable {
public:
    explicit TemporaryFolderVariable(const std::string& folder)
    {
        if (const char* value = std::getenv("TMPDIR"))
            previous = value;
        setenv("TMPDIR", folder.c_str(), 1);
    }
    ~TemporaryFolderVariable()
    {
        if (previous.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", previous.c_str(), 1);
    }

private:
    std::string previous;
};

// Where a pipe's bytes are kept: in an unnamed temporary file, in memory
// when none can be made, and in memory from the point where the temporary
// file system is full. The reader gets the same bytes every way.
TEST(InputSource, APipeIsCopiedToATemporaryFileOrElseToMemory)
{
    const test_support::TempFolder folder;
    const std::string large = LargeText();
    const Read expected = ReadFile(large, true);
    ASSERT_EQ(expected.result, 0);
    struct Case {
        const char* what;
        std::string temporaryFolder;
        rlim_t fileSizeLimit;
        InputSource::Copy copy;
    };
    const Case cases[] = {
        {"temporary file", folder.Path(), RLIM_INFINITY, InputSource::Copy::kTemporaryFile},
        {"no temporary folder", folder.Path("missing"), RLIM_INFINITY, InputSource::Copy::kMemory},
        {"temporary file system full", folder.Path(), 3 * kReadChunkSize / 2, InputSource::Copy::kMemory},
    };
    for (const Case& c : cases) {
        const TemporaryFolderVariable variable(c.temporaryFolder);
        std::unique_ptr<test_support::FileSizeLimit> limit;
        if (c.fileSizeLimit != RLIM_INFINITY)
            limit = std::make_unique<test_support::FileSizeLimit>(c.fileSizeLimit);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        std::thread writer([&] {
            WriteAll(ends[1], large.data(), large.size());
            close(ends[1]);
        });
        InputSource source;
        const bool opened = source.Open("/dev/fd/" + std::to_string(ends[0]));
        writer.join();
        close(ends[0]);
        ASSERT_TRUE(opened) << c.what;
        EXPECT_EQ(source.CopyKind(), c.copy) << c.what;
        ExpectSameRead(ReadPipe(large, true), expected, c.what);
        EXPECT_EQ(test_support::FolderEntries(folder.Path()), std::vector<std::string>{}) << "an unnamed file";
    }
}

// A program's passes over a regular file read it mapped, under a read
// lease: a writer that would cut the file waits (without waiting: it is
// refused) until the pass has let go of the mapping, which it does at its
// next step after the lease was broken; then it reads what the file holds
// by copying. Nothing touches a page past a cut end.
TEST(InputSource, AMappedPassLetsAWriterCutTheFileOnlyAfterItsNextStep)
{
    const test_support::TempFolder folder;
    const std::string path = folder.Path("mapped.EIN");
    std::string text;
    for (int i = 0; text.size() < 3 * kReadChunkSize; ++i)
        text += std::to_string(i) + " 1\r\n";
    test_support::WriteBytes(path, text);
    {
        const int probe = OpenRetrying(path.c_str(), O_RDONLY);
        ASSERT_GE(probe, 0);
        const bool leases = fcntl(probe, F_SETLEASE, F_RDLCK) == 0;
        close(probe);
        if (!leases)
            GTEST_SKIP() << "the file system grants no lease here";
    }
    AllowMappedInput();
    InputSource source;
    ASSERT_TRUE(source.Open(path));
    const std::unique_ptr<ByteSource> pass = source.Pass();
    ASSERT_NE(pass, nullptr);
    std::vector<char> scratch;
    const std::string_view first = pass->Next(scratch);
    EXPECT_TRUE(scratch.empty()) << "mapped, not copied";
    EXPECT_EQ(first, std::string_view(text).substr(0, kReadChunkSize));

    // In a child, as another program would: cutting the file is refused
    // while the lease holds, and allowed once the pass went on.
    const auto cutInChild = [&path](int flags) {
        const pid_t child = fork();
        if (child == 0) {
            const int descriptor = open(path.c_str(), O_WRONLY | O_TRUNC | flags);
            _exit(descriptor >= 0 ? 0 : errno == EWOULDBLOCK ? 1 : 2);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(cutInChild(O_NONBLOCK), 1) << "refused while mapped";
    const std::string_view second = pass->Next(scratch);
    EXPECT_EQ(second.data(), scratch.data()) << "copied after the lease broke";
    EXPECT_EQ(second, std::string_view(text).substr(kReadChunkSize, kReadChunkSize));
    EXPECT_EQ(cutInChild(0), 0) << "cut once the pass let go";
    EXPECT_TRUE(pass->Next(scratch).empty());
    EXPECT_FALSE(pass->Failed());
}

} // namespace
