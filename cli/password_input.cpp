// password_input.cpp - the password file's first line, and the terminal prompt with echo switched off.
#include "cli/password_input.h"

#include <cstdio>
#include <fstream>
#include <termios.h>
#include <unistd.h>

namespace zor::cli {
namespace {

PasswordResult checked(std::string password) {
    if (password.empty()) return {std::nullopt, "the password is empty"};
    if (password.size() > kMaxPasswordLength) return {std::nullopt, "the password is longer than 50 characters"};
    return {std::move(password), {}};
}

std::string withoutLineEnd(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The terminal with echo off for as long as this lives.
class SilentTerminal {
public:
    SilentTerminal() : tty_(std::fopen("/dev/tty", "r+")) {
        if (!tty_) return;
        if (::tcgetattr(::fileno(tty_), &saved_) == 0) {
            termios silent = saved_;
            silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            silenced_ = ::tcsetattr(::fileno(tty_), TCSAFLUSH, &silent) == 0;
        }
    }
    ~SilentTerminal() {
        if (!tty_) return;
        if (silenced_) ::tcsetattr(::fileno(tty_), TCSAFLUSH, &saved_);
        std::fclose(tty_);
    }
    SilentTerminal(const SilentTerminal&) = delete;
    SilentTerminal& operator=(const SilentTerminal&) = delete;

    bool usable() const { return tty_ && silenced_; }

    std::optional<std::string> ask(const std::string& prompt) {
        std::fputs(prompt.c_str(), tty_);
        std::fflush(tty_);
        std::string line;
        int c;
        while ((c = std::fgetc(tty_)) != EOF && c != '\n') line += static_cast<char>(c);
        std::fputc('\n', tty_);  // the person's Enter was not echoed
        if (c == EOF && line.empty()) return std::nullopt;
        return withoutLineEnd(line);
    }

private:
    std::FILE* tty_;
    termios saved_ {};
    bool silenced_ = false;
};

}  // namespace

PasswordResult readPasswordFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {std::nullopt, "cannot read the password file " + path};
    std::string line;
    std::getline(file, line);
    return checked(withoutLineEnd(line));
}

PasswordResult askPasswordOnTerminal(const std::string& prompt, bool confirm) {
    SilentTerminal terminal;
    if (!terminal.usable()) return {std::nullopt, "there is no terminal to ask the password on; use --password-file"};
    const auto first = terminal.ask(prompt);
    if (!first) return {std::nullopt, "no password was entered"};
    if (confirm) {
        const auto second = terminal.ask("Retype password: ");
        if (second != first) return {std::nullopt, "the two passwords differ"};
    }
    return checked(*first);
}

}  // namespace zor::cli
