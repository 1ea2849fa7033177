// fuzz_support.h - what the archive fuzz targets share: a silent interface, the input as an archive file, scratch folders.
//
// The input bytes are put into an anonymous in-memory file and opened by
// its /proc path, so the readers see a real regular file without the
// fuzzer touching the disk for each input.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "archive/operation_context.h"

namespace zor::fuzz {

// The password every protected seed is packed with; the interface answers it when asked.
inline constexpr char kSeedPassword[] = "secret";

// Answers every question with All, every read-only warning with Yes and the
// password prompt with `password`; shows nothing. A fatal report means the
// program would have ended: the target aborts, since no input may cause one,
// except the end the drivers make after a failed write when
// `allowWriteFailure` is set (a target that limits how much it writes).
class SilentUi : public OperationUi {
public:
    std::string password = kSeedPassword;
    bool allowWriteFailure = false;
    int reports = 0;

    void reportError(const std::string& text, bool fatal) override {
        if (fatal && !(allowWriteFailure && lastReport_ == kWriteFailure)) std::abort();
        lastReport_ = text;
        ++reports;
    }
    void setActionLabel(const std::string&) override {}
    void setProgressBars(int, int) override {}
    bool abortRequested() const override { return false; }
    void pumpMessages() override {}
    QuestionAnswer askQuestion(const std::string&) override { return QuestionAnswer::All; }
    QuestionAnswer askOverwrite(const std::string&) override { return QuestionAnswer::All; }
    bool confirmReadOnlyOverwrite(const std::string&) override { return true; }
    bool confirmArchiveOverwrite(const std::string&, bool) override { return false; }
    std::optional<std::string> askDecryptPassword() override { return password; }
    void clearDecryptPassword() override {}
    void showProgress() override {}
    void hideProgress() override {}
    void closeProgress() override {}
    void enableAbort() override {}
    void clearAbortRequest() override {}
    void setCurrentFileLabel(const std::string&) override {}
    void setCurrentFileNumber(int64_t) override {}
    void setTotalFiles(int64_t) override {}
    void setTotalDirectories(int64_t) override {}

private:
    static constexpr char kWriteFailure[] = "I/O or other error, bailing out.";
    std::string lastReport_;
};

// The input as a regular file that lives only in memory.
class InputArchive {
public:
    InputArchive(const uint8_t* data, size_t size) : fd_(::memfd_create("zor-fuzz-archive", MFD_CLOEXEC)) {
        if (fd_ < 0) std::abort();
        for (size_t done = 0; done < size;) {
            const ssize_t wrote = ::write(fd_, data + done, size - done);
            if (wrote <= 0) std::abort();
            done += static_cast<size_t>(wrote);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~InputArchive() { ::close(fd_); }
    InputArchive(const InputArchive&) = delete;
    InputArchive& operator=(const InputArchive&) = delete;

    const std::string& path() const { return path_; }

private:
    int fd_;
    std::string path_;
};

// A fresh folder for one input, removed with everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zor-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace zor::fuzz
