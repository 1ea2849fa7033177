// tree_walk.h - expands the selection list into the item list, depth-first, with file, folder and byte totals.
//
// Each selected item becomes an item at depth 0; a selected folder is
// followed by everything inside it, in the order the file system lists it,
// each folder's entry before its contents (pre-order). Paths inside the
// archive use "\" between components; a folder's path ends with "\".
//
// What cannot be stored is left out with a message and the walk goes on: a
// name holding "\" (it would read back as two components), a path too long
// for the 16-bit name length, and anything that is neither a regular file
// nor a folder. Links to files are stored as the files they point to;
// links to folders inside a selected folder are not followed (they could
// loop). A file of 4 GiB or more, or a byte total beyond 32 bits, cannot be
// counted by the format: the walk stops and sets `walk.refusal`.
#pragma once

#include <cstddef>
#include <functional>

#include "archive/operation_context.h"

namespace zor {

inline constexpr char kCannotOpenForLengthMessage[] = "Cannot open file for length reading";

// Walks `context.selection` into `context.items` and `context.walk`. Stops
// early when an abort is requested, a fatal report returns, or a refusal is set.
// `listed`, when given, hears of each item as soon as it is in the list.
void TotalLength(OperationContext& context, const std::function<void(std::size_t index)>& listed = {});

}  // namespace zor
