// delete_files.h - deletes the selected files and folders from disk, asking before read-only or hidden files go.
//
// Folders go with everything inside them. A symbolic link is deleted as the
// link itself: a link to a folder is never followed, so nothing outside the
// selection can be deleted through it.
#pragma once

#include <functional>
#include <string>

#include "archive/operation_context.h"
#include "archive/operation_outcome.h"

namespace zor {

inline constexpr char kDeleteInArchiveMessage[] = "Delete in archive isn't supported yet";
inline constexpr char kNothingToDeleteMessage[] = "No files/directories selected";
inline constexpr char kConfirmDeleteText[] = "Delete the selected files/directories. Are you sure?";

// The confirmation box: `text`, caption "Question", question icon, Yes and
// No; true for Yes.
using ConfirmDeletion = std::function<bool(const std::string& text)>;

// The question asked before a read-only or hidden file is deleted.
std::string readOnlyOrHiddenQuestion(const std::string& name);

// File > Delete: deletes the items of `context.selection` (each a name in its
// SelectedItem::folder, or in the current folder) after `confirm` said Yes.
// Refuses inside an archive and with nothing selected. Files and folders
// that cannot be deleted stay without a message. The selection is emptied
// at the end.
OperationOutcome deleteSelectedItems(OperationContext& context, const ConfirmDeletion& confirm);

}  // namespace zor
