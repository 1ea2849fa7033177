// internal_error.h - the engine's consistency-check hook.
//
// Codes: 1001-1007 block sorting, 2001-2002 code lengths, 3001-3007 block
// encoder. The hook does nothing: processing continues after a failed check.
#pragma once

namespace zor {

inline void internalErrorHook(int /*code*/) {}

// Passes `code` to the hook when `condition` does not hold.
inline void checkInternal(bool condition, int code) {
    if (!condition) internalErrorHook(code);
}

}  // namespace zor
