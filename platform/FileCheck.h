// The one check behind every "Unable to find " / "Unable to locate "
// message: a path names a regular file (links followed), or a folder. A FIFO,
// socket or device is neither: opening one for reading can block for ever,
// and its "contents" are no file to zip, split or join.
#pragma once

#include <string>

namespace pw {

bool isRegularFile(const std::string& path);
bool isFolder(const std::string& path);
// A regular file or a folder.
bool isFileOrFolder(const std::string& path);

}  // namespace pw
