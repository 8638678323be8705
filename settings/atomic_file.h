#pragma once

#include <string>
#include <string_view>

namespace varnox::settings {

// Replaces `file` with `bytes` so that readers see either the old file or the complete new
// one, never a mix: the bytes go to a new file in the same folder (`file` + ".new-" and six
// random characters), which is flushed to the disk and then renamed over `file`. The file is
// created readable and writable by its owner only (0600), also when it replaces a file with
// wider permissions. A symbolic link named `file` is replaced by the file, not followed.
//
// Throws varnox::Failure (numbers from platform/failure.h) naming `file` when the folder is missing
// or not writable, the disk is full or the rename is refused; the previous `file` is then untouched
// and the new file has been removed again.
void writeFileAtomically(const std::string& file, std::string_view bytes);

}  // namespace varnox::settings
