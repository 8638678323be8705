#pragma once

#include <filesystem>
#include <string>

namespace varnox::test {

// Whole-file helpers that fail the calling test (by throwing) when the file system refuses.
std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

// Path of a program built by this project, in build/bin.
std::filesystem::path builtProgram(const std::string& name);
// Path below the source tree (for example "tests/data/...").
std::filesystem::path sourcePath(const std::string& relative);
// The shared golden .uz vectors that sit beside the repository, if present.
std::filesystem::path sharedVectorsDir();

}  // namespace varnox::test
