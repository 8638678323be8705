#pragma once

#include <string>
#include <vector>

namespace varnox::platform {

// File services the windows use. Every failure is a varnox::Failure whose description
// names the file or folder involved.

// True when an ordinary file (not a folder; links followed) exists at `path`.
bool ordinaryFileExists(const std::string& path);
// True when a folder exists at `path` (links followed).
bool folderExists(const std::string& path);

// Creates one folder. Fails when something of that name exists already, when the parent
// folder is missing, or when the parent cannot be written.
void createFolder(const std::string& path);

// Moves `source` into `folder` under its own name. `folder` names the folder into which the
// file moves (a trailing "/" is allowed). Fails when the source is missing, when the folder is
// missing, or when a file of that name is already there: an existing file is never
// overwritten, not even by a file arriving from another volume at the same moment.
void moveFileIntoFolder(const std::string& source, const std::string& folder);

// Creates a text file at `path` (replacing any file of that name) holding `line` and a CR LF
// line end.
void writeTextFileLine(const std::string& path, const std::string& line);

// The program's current folder, without a trailing "/" (except "/").
std::string currentFolder();

// The folder that holds the running program, without a trailing "/".
std::string programFolder();

// The file named `name` in `folder`, found without regard to letter case when no file of
// exactly that name exists (game folders copied from Windows carry UCC.exe where the program
// asks for ucc.exe). Returns the exact name's path when nothing matches.
std::string findFileIgnoringCase(const std::string& folder, const std::string& name);

// The regular, non-hidden files of a folder, and its sub-folders (hidden ones included, after
// the others), each sorted without regard to letter case. Fail when the folder cannot be read.
std::vector<std::string> listFiles(const std::string& folder);
std::vector<std::string> listFolders(const std::string& folder);

// The last component of a path ("/a/b.unr" -> "b.unr").
std::string baseName(const std::string& path);
// The path without its last component and without a trailing "/", "/" for a top-level item.
std::string parentFolder(const std::string& path);
// Joins a folder and a name with exactly one "/" between them.
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace varnox::platform
