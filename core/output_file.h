#pragma once

#include <memory>
#include <string>
#include <string_view>

class BackgroundTask;

// Every file the program writes (report, plot, results, input file) is
// written to a file without a name in the same folder (O_TMPFILE), which
// gets a temporary name and is renamed onto its name only when it is
// complete. A failure, a run that ends early or a process killed by any
// signal leaves any previous file as it was and nothing beside it. Where
// the file system has no unnamed files, a named temporary file serves,
// removed on failure and by the handlers of RemoveTemporaryFilesOnSignals.
//
// A name that is a symbolic link writes the file the link leads to. A name
// that leads to something other than a regular file (a device such as
// /dev/null, a pipe) is written directly: there is nothing to replace. So
// is a name of one of the process's own descriptors (/dev/stdout,
// /dev/fd/N), through that descriptor, whatever file it leads to.
// An existing file that the user may not write is refused, as opening it
// would be; a replaced file keeps its permissions.

// Why an output failed: the stage and the system's error number (errno).
struct OutputError {
    enum Stage { kNone, kCreate, kWrite };
    Stage stage = kNone;
    int number = 0;

    explicit operator bool() const { return stage != kNone; }
    // The string id of the message, which takes the file name: 105 "Fehler
    // beim Öffnen der Datei %s!" when the file could not be created, 136
    // "Fehler beim Schreiben der Datei %s!" when writing, syncing, closing or
    // renaming it failed.
    int MessageId() const;
};

// Whether Commit first waits until the content is on the disk (fsync): for
// files the user cannot make again (the input file the data editor saves),
// so that a crash just after the rename cannot leave an empty file where
// the old one was. A report or a plot is made again by the next run, and
// waiting for the disk would cost a large report much of its time.
enum class OutputDurability { kRenamed, kSynced };

class OutputFile {
public:
    OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // An output that was not committed is discarded.
    ~OutputFile();

    // Creates the temporary file for path. False, with Error(), when it
    // cannot be created; the file of that name is not touched.
    bool Open(const std::string& path, OutputDurability durability = OutputDurability::kRenamed);
    bool IsOpen() const { return descriptor >= 0; }
    // Appends bytes (unbuffered: callers write large blocks). False once
    // anything failed; later writes are dropped.
    bool Write(std::string_view bytes);
    // Closes the temporary file and renames it onto the name. False, with
    // Error(), when anything failed; the temporary file is gone then. A
    // file replaced is removed on a thread of its own, gone by the time
    // the output is destroyed or opened again.
    bool Commit();
    // Removes the temporary file; the named file stays as it was.
    void Discard();
    const OutputError& Error() const { return error; }

private:
    bool Fail(OutputError::Stage stage, int number);
    bool OpenDescriptor(int own);
    bool OpenUnnamed(const std::string& folder, int mode);
    bool OpenTemporary(const std::string& folder, const std::string& name, int mode);
    bool NameUnnamed();
    void CloseDescriptor();
    bool PutInPlace();
    void RemoveOldContent(int old);
    void ForgetTemporary();

    int descriptor = -1;
    std::string target;    // the name with its links followed
    std::string temporary; // empty when the target is written directly or the file has no name yet
    bool unnamed = false;  // the file has no name yet (O_TMPFILE in the target's folder)
    bool replacing = false; // a regular file of the name existed at Open
    bool synced = false;    // OutputDurability::kSynced
    int cleanupSlot = -1;  // its entry for the signal handler, -1 for none
    OutputError error;
    std::unique_ptr<BackgroundTask> oldContentRemoval; // the replaced file's removal, while it runs
};

// 0 when Open(path) would find the name open to an output, else the errno
// it would fail with (a folder for the temporary file that is missing or
// closed to the user, a file the user may not write, a folder of the name).
// Creates, cuts and changes nothing: for a check before a long
// preparation (a dialog) whose output must not fail only at its end.
int OutputAccessError(const std::string& path);

// A whole file at once: Open, Write, Commit.
bool WriteWholeFile(const std::string& path, std::string_view bytes, OutputError& error);

// For tests: every output from now on takes the named temporary file, as
// on a file system without unnamed files.
void UseNamedTemporaryFilesOnly();

// Installs handlers for SIGINT, SIGTERM and SIGHUP (those not ignored) that
// remove the temporary files of the outputs still open and then end the
// process by the same signal, as its default action would. For programs
// whose runs are long enough to be interrupted (the command line and the
// desktop program).
void RemoveTemporaryFilesOnSignals();
