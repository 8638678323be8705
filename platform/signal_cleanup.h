#pragma once

#include <filesystem>

// Files to remove when a signal ends the process: a handler may neither allocate nor lock,
// so each path waits in a buffer set aside beforehand, taken and given back through an atomic
// state.
namespace varnox::platform {

// Holds `path` for removeTemporaryFilesNow() and returns its slot; -1 when every slot is
// taken or the path is too long (the file is then written all the same, only not removed on a
// signal).
int holdForSignals(const std::filesystem::path& path);
// Gives the slot back; nothing for -1. Sets `slot` to -1.
void releaseForSignals(int& slot);

// For a signal handler that ends the process: removes every file held at this moment, with
// async-signal-safe calls only. The temporary files of ReplacingFile objects written with
// ReplaceOptions::removeOnSignal are held while they exist.
void removeTemporaryFilesNow() noexcept;

}  // namespace varnox::platform
