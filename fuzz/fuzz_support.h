#pragma once

// Shared by the fuzz harnesses: a scratch folder for the files that the
// reader and the report work on, and checks that end the run the way
// libFuzzer records as a crash, with the input saved.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace fuzz {

[[noreturn]] inline void Fail(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : ::fuzz::Fail(#condition, __FILE__, __LINE__))

// A folder of this process below $TMPDIR (or /tmp), removed at exit.
inline const std::filesystem::path& ScratchFolder()
{
    static const std::filesystem::path folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tolvar_fuzz_XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            Fail("mkdtemp", __FILE__, __LINE__);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

inline std::string ScratchPath(const char* name)
{
    return (ScratchFolder() / name).string();
}

inline void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size);
    FUZZ_CHECK(std::fclose(file) == 0);
}

} // namespace fuzz
