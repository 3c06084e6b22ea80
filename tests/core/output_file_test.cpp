#include "core/output_file.h"

#include "res/string_table.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using test_support::FolderEntries;
using test_support::ReadBytes;
using test_support::WriteBytes;

namespace {

using Names = std::vector<std::string>;

mode_t ModeOf(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

TEST(OutputFile, CommitPutsTheWholeFileInPlaceAndLeavesNothingElse)
{
    struct Case {
        const char* what;
        const char* previous; // nullptr: no file before
        mode_t previousMode;
    };
    const Case cases[] = {
        {"new file", nullptr, 0},
        {"longer file replaced", "a previous report, longer than the new one", 0644},
        {"permissions kept", "old", 0640},
    };
    for (const Case& c : cases) {
        const test_support::TempFolder folder;
        const std::string path = folder.Path("out.AUS");
        if (c.previous != nullptr) {
            WriteBytes(path, c.previous);
            ASSERT_EQ(chmod(path.c_str(), c.previousMode), 0);
        }
        {
            OutputFile file;
            ASSERT_TRUE(file.Open(path)) << c.what;
            EXPECT_EQ(ReadBytes(path), c.previous != nullptr ? c.previous : "")
                << "untouched until committed: " << c.what;
            ASSERT_TRUE(file.Write("first ") && file.Write("second"));
            ASSERT_TRUE(file.Commit()) << c.what;
            EXPECT_FALSE(file.Error()) << c.what;
            EXPECT_EQ(ReadBytes(path), "first second") << c.what;
        }
        // The replaced file is removed by the time the output is gone.
        EXPECT_EQ(FolderEntries(folder.Path()), Names{"out.AUS"}) << c.what;
        if (c.previous != nullptr) {
            EXPECT_EQ(ModeOf(path) & 07777, c.previousMode) << c.what;
        }
    }
}

// However an output ends without Commit, the previous file stays as it was
// and the temporary file is gone.
TEST(OutputFile, AnOutputNotCompletedLeavesThePreviousFile)
{
    const std::string previous(5000, 'p');
    struct Case {
        const char* what;
        std::function<void(std::unique_ptr<OutputFile>&)> end;
    };
    const Case cases[] = {
        {"discarded", [](std::unique_ptr<OutputFile>& file) { file->Discard(); }},
        {"destroyed", [](std::unique_ptr<OutputFile>& file) { file.reset(); }},
        {"a write beyond the file size limit",
         [](std::unique_ptr<OutputFile>& file) {
             const test_support::FileSizeLimit limit(1000);
             EXPECT_FALSE(file->Write(std::string(10000, 'x')));
             EXPECT_FALSE(file->Write("more")); // dropped after the failure
             EXPECT_FALSE(file->Commit());
             EXPECT_EQ(file->Error().stage, OutputError::kWrite);
             EXPECT_EQ(file->Error().number, EFBIG);
             EXPECT_EQ(file->Error().MessageId(), kStringFileWriteError);
         }},
    };
    for (const Case& c : cases) {
        for (const bool hadFile : {true, false}) {
            const test_support::TempFolder folder;
            const std::string path = folder.Path("out.AUS");
            if (hadFile)
                WriteBytes(path, previous);
            auto file = std::make_unique<OutputFile>();
            ASSERT_TRUE(file->Open(path)) << c.what;
            ASSERT_TRUE(file->Write("partial"));
            EXPECT_EQ(FolderEntries(folder.Path()).size(), hadFile ? 1u : 0u) << "the file has no name yet";
            c.end(file);
            EXPECT_EQ(FolderEntries(folder.Path()), hadFile ? Names{"out.AUS"} : Names{}) << c.what;
            if (hadFile) {
                EXPECT_EQ(ReadBytes(path), previous) << c.what;
            }
        }
    }
}

TEST(OutputFile, NamesThatCannotBeCreatedTellWhy)
{
    const test_support::TempFolder folder;
    struct Case {
        std::string path;
        int number;
    };
    const Case cases[] = {
        {"", ENOENT},
        {folder.Path("no-such-folder/out.AUS"), ENOENT},
        {folder.Path(), EISDIR},
        {folder.Path("cut.AUS") + std::string(1, '\0') + ".txt", EINVAL},
    };
    for (const Case& c : cases) {
        OutputFile file;
        EXPECT_FALSE(file.Open(c.path)) << c.path;
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.Error().stage, OutputError::kCreate) << c.path;
        EXPECT_EQ(file.Error().number, c.number) << c.path;
        EXPECT_EQ(file.Error().MessageId(), kStringFileOpenError);
        EXPECT_FALSE(file.Write("x"));
        EXPECT_FALSE(file.Commit());
    }
    EXPECT_EQ(FolderEntries(folder.Path()), Names{}); // "cut.AUS" was not created either
}

// The check before a long preparation says what Open would say, for an
// ordinary user, and changes nothing: a writable file in a folder that
// takes no temporary file cannot be replaced either.
TEST(OutputFile, TheCheckBeforehandAgreesWithOpen)
{
    const test_support::TempFolder folder;
    const std::string open = folder.Path("open");
    const std::string locked = folder.Path("locked");
    std::filesystem::create_directory(open);
    std::filesystem::create_directory(locked);
    WriteBytes(open + "/old.AUS", "old");
    WriteBytes(open + "/read-only.AUS", "old");
    WriteBytes(locked + "/writable.AUS", "old");
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755) | chmod(open.c_str(), 0777) | chmod(locked.c_str(), 0555) |
                  chmod((open + "/old.AUS").c_str(), 0666) | chmod((open + "/read-only.AUS").c_str(), 0444) |
                  chmod((locked + "/writable.AUS").c_str(), 0666),
              0);
    struct Case {
        std::string path;
        int number; // 0: Open succeeds
    };
    const Case cases[] = {
        {open + "/new.AUS", 0},
        {open + "/old.AUS", 0},
        {"/dev/null", 0},
        {open + "/read-only.AUS", EACCES},
        {locked + "/writable.AUS", EACCES},
        {locked + "/new.AUS", EACCES},
        {open + "/missing/new.AUS", ENOENT},
        {open + "/old.AUS/new.AUS", ENOTDIR},
        {open, EISDIR},
        {"", ENOENT},
        {open + std::string(1, '\0') + "x", EINVAL},
    };
    test_support::WithoutRoot ordinaryUser;
    ASSERT_TRUE(ordinaryUser.Entered());
    for (const Case& c : cases) {
        EXPECT_EQ(OutputAccessError(c.path), c.number) << c.path;
        EXPECT_EQ(FolderEntries(open), (Names{"old.AUS", "read-only.AUS"})) << "the check creates nothing: " << c.path;
        OutputFile file;
        EXPECT_EQ(file.Open(c.path), c.number == 0) << c.path;
        EXPECT_EQ(file.Error().number, c.number) << c.path;
    }
    for (const std::string& name : {open + "/old.AUS", open + "/read-only.AUS", locked + "/writable.AUS"})
        EXPECT_EQ(ReadBytes(name), "old") << name;
}

TEST(OutputFile, ALinkWritesTheFileItLeadsTo)
{
    const test_support::TempFolder folder;
    std::filesystem::create_directory(folder.Path("reports"));
    const std::string target = folder.Path("reports/real.AUS");
    WriteBytes(target, "old");
    std::filesystem::create_symlink("reports/real.AUS", folder.Path("link.AUS"));
    std::filesystem::create_symlink("reports/new.AUS", folder.Path("dangling.AUS"));
    OutputError error;
    ASSERT_TRUE(WriteWholeFile(folder.Path("link.AUS"), "through the link", error));
    ASSERT_TRUE(WriteWholeFile(folder.Path("dangling.AUS"), "a new file", error));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.Path("link.AUS")));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.Path("dangling.AUS")));
    EXPECT_EQ(ReadBytes(target), "through the link");
    EXPECT_EQ(ReadBytes(folder.Path("reports/new.AUS")), "a new file");
    EXPECT_EQ(FolderEntries(folder.Path("reports")), (Names{"new.AUS", "real.AUS"}));
}

// A device is written as it is: nothing is created beside /dev/null, and
// a full device says that writing failed.
TEST(OutputFile, DevicesAreWrittenDirectly)
{
    OutputError error;
    EXPECT_TRUE(WriteWholeFile("/dev/null", "discarded", error));
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    EXPECT_FALSE(WriteWholeFile("/dev/full", "x", error));
    EXPECT_EQ(error.stage, OutputError::kWrite);
    EXPECT_EQ(error.number, ENOSPC);
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/full")));
}

// A child writes two outputs, one replacing a file, and is stopped by a
// signal: the previous file is intact and nothing is left beside it.
// SIGINT, SIGTERM and SIGHUP meet named temporary files (a file system
// without unnamed ones), which their handlers remove; a signal that the
// process was started to ignore stays ignored. SIGKILL, which nothing can
// catch, meets unnamed ones, at any stage before the commit.
TEST(OutputFile, ASignalLeavesThePreviousFileAndNothingBesideIt)
{
    struct Case {
        int signal;
        bool ignored;
        std::string replacingBytes, freshBytes;
    };
    std::vector<Case> cases = {{SIGKILL, false, "", ""}, {SIGKILL, false, std::string(1 << 20, 'a'), "b"}};
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        for (const bool ignored : {false, true})
            cases.push_back({signal, ignored, "half a", "half b"});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.signal) + (c.ignored ? " ignored" : "") + " after " +
                     std::to_string(c.replacingBytes.size()) + " bytes");
        const bool named = c.signal != SIGKILL;
        const test_support::TempFolder folder;
        const std::string previous = folder.Path("old.AUS");
        WriteBytes(previous, "the old report");
        const pid_t child = fork();
        if (child == 0) {
            if (named) {
                std::signal(c.signal, c.ignored ? SIG_IGN : SIG_DFL);
                UseNamedTemporaryFilesOnly();
                RemoveTemporaryFilesOnSignals();
            }
            OutputFile replacing;
            OutputFile fresh;
            const bool opened = replacing.Open(previous) && fresh.Open(folder.Path("new.AUS")) &&
                                replacing.Write(c.replacingBytes) && fresh.Write(c.freshBytes);
            if (!opened || FolderEntries(folder.Path()).size() != (named ? 3u : 1u))
                _exit(3);
            raise(c.signal);
            _exit(c.ignored ? 0 : 4); // the temporary files are left to _exit here
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (c.ignored) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            continue;
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "status " << status;
        EXPECT_EQ(FolderEntries(folder.Path()), Names{"old.AUS"});
        EXPECT_EQ(ReadBytes(previous), "the old report");
    }
}

// A name of one of the process's descriptors writes through that
// descriptor: appended when it appends, at its offset when not, and the
// file it leads to is the same file afterwards, never replaced.
TEST(OutputFile, DescriptorNamesWriteThroughTheDescriptor)
{
    const test_support::TempFolder folder;
    const std::string log = folder.Path("log.txt");
    WriteBytes(folder.Path("unused"), "");
    ASSERT_EQ(symlink("/dev/fd/9", folder.Path("link").c_str()), 0);
    const std::string names[] = {"/dev/fd/9", "/proc/self/fd/9", "/proc/thread-self/fd/9",
                                 "/proc/" + std::to_string(getpid()) + "/fd/9", folder.Path("link")};
    for (const std::string& name : names) {
        for (const bool append : {true, false}) {
            WriteBytes(log, "earlier line\n");
            const int opened = open(log.c_str(), O_WRONLY | (append ? O_APPEND : 0));
            ASSERT_EQ(dup2(opened, 9), 9);
            close(opened);
            struct stat before {};
            ASSERT_EQ(stat(log.c_str(), &before), 0);
            if (!append)
                lseek(9, 8, SEEK_SET); // the shell's "1<>": at the offset
            EXPECT_EQ(OutputAccessError(name), 0) << name;
            OutputError error;
            EXPECT_TRUE(WriteWholeFile(name, "REPORT", error)) << name;
            EXPECT_TRUE(WriteWholeFile(name, "!", error)) << name;
            close(9);
            struct stat after {};
            ASSERT_EQ(stat(log.c_str(), &after), 0);
            EXPECT_EQ(after.st_ino, before.st_ino) << name;
            EXPECT_EQ(ReadBytes(log), append ? "earlier line\nREPORT!" : "earlier REPORT!") << name;
        }
    }
    EXPECT_EQ(FolderEntries(folder.Path()), (Names{"link", "log.txt", "unused"}));
    // Closed, or open for reading only: refused before anything is written.
    const int reading = open(folder.Path("unused").c_str(), O_RDONLY);
    ASSERT_EQ(dup2(reading, 9), 9);
    close(reading);
    for (const int descriptor : {9, 10}) {
        const std::string name = "/dev/fd/" + std::to_string(descriptor);
        OutputFile file;
        EXPECT_FALSE(file.Open(name)) << name;
        EXPECT_EQ(file.Error().stage, OutputError::kCreate) << name;
        EXPECT_EQ(file.Error().number, EBADF) << name;
        EXPECT_EQ(OutputAccessError(name), EBADF) << name;
    }
    close(9);
}

} // namespace
