// scripted_ui.h - an OperationUi for tests: records every message and answers questions from a script.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/operation_ui.h"

namespace zor::test {

class ScriptedUi : public OperationUi {
public:
    struct Report {
        std::string text;
        bool fatal = false;
    };

    // What the person will answer, in order. An empty script answers the
    // question with No, the read-only box with No and the password with Cancel.
    std::deque<QuestionAnswer> questionAnswers;
    std::deque<bool> readOnlyAnswers;
    std::deque<std::optional<std::string>> passwords;
    // The answer to replacing an existing file at the archive path.
    bool replaceArchive = true;
    // Raise the abort flag when the current-file label shows this text.
    std::string abortAtFile;
    // Ctrl+C at a prompt: the one named here ("question", "read-only" or
    // "password") answers No (false, nothing) with the abort flag raised, as the terminal does.
    std::string abortAtPrompt;
    // Called whenever the current-file label changes to a non-empty text.
    std::function<void(const std::string&)> onCurrentFile;

    std::vector<Report> reports;
    std::vector<std::string> questions;
    std::vector<std::string> readOnlyWarnings;
    std::vector<std::string> archiveOverwriteQuestions;
    std::vector<std::string> actionLabels;
    std::vector<std::string> currentFiles;
    int passwordPrompts = 0;
    int passwordClears = 0;
    bool progressShown = false;
    bool mainWindowEnabled = true;
    bool abort = false;
    int64_t totalFiles = -1;
    int64_t totalDirectories = -1;

    void reportError(const std::string& text, bool fatal) override {
        if (!fatal) progressShown = false;
        reports.push_back({text, fatal});
    }
    void setActionLabel(const std::string& text) override { actionLabels.push_back(text); }
    void setProgressBars(int, int) override {}
    bool abortRequested() const override { return abort; }
    void pumpMessages() override {}

    QuestionAnswer askQuestion(const std::string& label) override {
        questions.push_back(label);
        if (interruptedAt("question") || questionAnswers.empty()) return QuestionAnswer::No;
        const QuestionAnswer answer = questionAnswers.front();
        questionAnswers.pop_front();
        return answer;
    }
    // Recorded and answered like the window's question box, whose text it is.
    QuestionAnswer askOverwrite(const std::string& path) override { return askQuestion(fileExistsQuestion(path)); }
    bool confirmReadOnlyOverwrite(const std::string& text) override {
        readOnlyWarnings.push_back(text);
        if (interruptedAt("read-only") || readOnlyAnswers.empty()) return false;
        const bool answer = readOnlyAnswers.front();
        readOnlyAnswers.pop_front();
        return answer;
    }
    bool confirmArchiveOverwrite(const std::string& path, bool) override {
        archiveOverwriteQuestions.push_back(path);
        return replaceArchive;
    }
    std::optional<std::string> askDecryptPassword() override {
        ++passwordPrompts;
        if (interruptedAt("password") || passwords.empty()) return std::nullopt;
        auto answer = passwords.front();
        passwords.pop_front();
        return answer;
    }
    void clearDecryptPassword() override { ++passwordClears; }

    void showProgress() override { progressShown = true; }
    void hideProgress() override { progressShown = false; }
    void closeProgress() override { progressShown = false; }
    void enableAbort() override {}
    void clearAbortRequest() override { abort = false; }
    void setCurrentFileLabel(const std::string& text) override {
        if (!text.empty()) currentFiles.push_back(text);
        if (!text.empty() && onCurrentFile) onCurrentFile(text);
        if (!abortAtFile.empty() && text == abortAtFile) abort = true;
    }
    void setCurrentFileNumber(int64_t) override {}
    void setTotalFiles(int64_t count) override { totalFiles = count; }
    void setTotalDirectories(int64_t count) override { totalDirectories = count; }
    void setMainWindowEnabled(bool enabled) override { mainWindowEnabled = enabled; }

    bool interruptedAt(const std::string& prompt) {
        if (abortAtPrompt != prompt) return false;
        abort = true;
        return true;
    }

    std::vector<std::string> reportTexts() const {
        std::vector<std::string> texts;
        for (const auto& report : reports) texts.push_back(report.text);
        return texts;
    }
};

}  // namespace zor::test
