// password_input.h - where zor-cli takes a password from: the first line of a file, or the terminal without echo.
//
// A password is never taken from the command line itself, where other
// users could read it in the process list.
#pragma once

#include <optional>
#include <string>

namespace zor::cli {

// Passwords are 1 to 50 single-byte characters, as the window's dialogs allow.
inline constexpr std::size_t kMaxPasswordLength = 50;

struct PasswordResult {
    std::optional<std::string> password;
    std::string error;  // why there is none
    bool interrupted = false;  // Ctrl+C ended the prompt (the error says "aborted")
    bool empty = false;        // the line given was empty
};

// The first line of `path`, without its line end ("\n" or "\r\n"). Only
// the bytes that can make a password are read: a longer line (even one that
// never ends, as /dev/zero) is refused at once as too long.
PasswordResult readPasswordFile(const std::string& path);

// Asks on the controlling terminal with echo off: `prompt`, and when
// `confirm` is set a second time ("Retype password: "), both answers equal.
// Ctrl+C ends the prompt with `interrupted` set and the terminal restored;
// SIGTERM, SIGHUP or SIGQUIT meanwhile restore the terminal before they end
// the process as they would have.
PasswordResult askPasswordOnTerminal(const std::string& prompt, bool confirm);

}  // namespace zor::cli
