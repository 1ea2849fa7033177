// tree_walk.h - expands the selection list into the item list, depth-first, with file, folder and byte totals.
//
// Each selected item becomes an item at depth 0; a selected folder is
// followed by everything inside it, in the order the file system lists it,
// each folder's entry before its contents (pre-order). Paths inside the
// archive use "\" between components; a folder's path ends with "\".
// Each item keeps its name as on disk; folders and links also their
// permission bits and modification time (a file's are read as it is packed).
//
// Nothing is left out without a word, and the walk goes on past it. Each
// item left out counts in `walk.leftOut`: a selected item that cannot be
// opened (kCannotOpenForLengthMessage, with its path and the reason, at
// once), a name holding "\" (it would read back as two components) and a
// path too long for the 16-bit name length (each with a message of its own
// at once); and, each as a line "PATH: reason" in `walk.omissions` for the
// caller to give together at the end, a folder that cannot be read (it
// keeps its own entry), anything that is neither a regular file nor a
// folder, a link to a folder inside a selected folder (not followed: it
// could loop), a dangling link, the archive being written, and a selected
// name extraction would refuse (a drive such as "c:foo"). A selected link
// is followed. A link inside a selected folder is listed as a link (its
// target text is its data), except for a plain archive: there a link to a
// file is stored as that file (and named in `omissions`) and a link to a
// folder is left out as above; and two items of one folder whose names
// differ only in letter case are both listed, but the pair is reported in
// `omissions` and counted in `leftOut`, since only one can be extracted
// (exact names bring both back). A name longer than 2559
// bytes is listed and reported in `omissions` without being counted.
//
// A file of 4 GiB or more, or a byte total beyond 32 bits, cannot be
// counted by the format: the walk stops and sets `walk.refusal`.
//
// Folders are read through descriptors, so depth and path length are
// bounded only by the archive's names, and only a few descriptors are
// open at once however deep the tree (see tree_walk.cpp).
#pragma once

#include <cstddef>
#include <functional>

#include "archive/operation_context.h"

namespace zor {

inline constexpr char kCannotOpenForLengthMessage[] = "Cannot open file for length reading";

// Walks `context.selection` into `context.items` and `context.walk` (all of
// whose counts, `leftOut` and `omissions` included, start again). Stops
// early when an abort is requested, a fatal report returns, or a refusal is set.
// `listed`, when given, hears of each item as soon as it is in the list.
void TotalLength(OperationContext& context, const std::function<void(std::size_t index)>& listed = {});

}  // namespace zor
