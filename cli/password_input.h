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
};

// The first line of `path`, without its line end ("\n" or "\r\n").
PasswordResult readPasswordFile(const std::string& path);

// Asks on the controlling terminal with echo off: `prompt`, and when
// `confirm` is set a second time ("Retype password: "), both answers equal.
PasswordResult askPasswordOnTerminal(const std::string& prompt, bool confirm);

}  // namespace zor::cli
