// folders.h - the temporary and current folders, and creating or removing folders and files.
#pragma once

#include <string>

namespace zor {

// $TMPDIR when it names a folder, otherwise "/tmp"; always ends with "/".
std::string temporaryFolder();

// The process's current folder, empty when it cannot be read.
std::string currentFolder();
bool setCurrentFolder(const std::string& folder);

// Creates one folder; false when it exists already or its parent is missing.
bool createFolder(const std::string& folder);
// Creates the folder and every missing folder above it; true when it exists as a folder afterwards.
bool createFolderPath(const std::string& folder);
// Removes an empty folder.
bool removeFolder(const std::string& folder);
// Deletes a file (a link is deleted, not its target).
bool deleteFile(const std::string& path);

}  // namespace zor
