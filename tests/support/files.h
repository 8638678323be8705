#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace varnox::test {

// Whole-file helpers that fail the calling test (by throwing) when the file system refuses.
std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

// The names of the entries in a folder; none when it is not there (yet).
std::set<std::string> namesIn(const std::filesystem::path& folder);

// Whether `condition` comes to hold within a minute; it is asked every few milliseconds.
bool eventually(const std::function<bool()>& condition);

// Path of a program built by this project, in build/bin.
std::filesystem::path builtProgram(const std::string& name);
// Path below the source tree (for example "tests/data/...").
std::filesystem::path sourcePath(const std::string& relative);
// The shared golden .uz vectors that sit beside the repository, if present.
std::filesystem::path sharedVectorsDir();

}  // namespace varnox::test
