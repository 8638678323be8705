#include "tools/ucc/tool_place.h"

#include <system_error>

#include "platform/failure.h"

namespace varnox::ucc {

namespace fs = std::filesystem;

bool isGameSystemFolder(const fs::path& folder) {
    const std::string name = folder.filename().string();
    constexpr std::string_view kSystem = "system";
    if (name.size() != kSystem.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kSystem[i]) {
            return false;
        }
    }
    return true;
}

ToolPlace runningToolPlace(std::string_view invokedAs) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error || !self.has_parent_path()) {
        throw Failure(failure::kPathNotFound,
                      "Cannot find the folder of the running program: " + error.message());
    }
    ToolPlace place{self.parent_path(), self.filename().string(),
                    isGameSystemFolder(self.parent_path())};
    if (!place.gameTool && invokedAs.find('/') != std::string_view::npos) {
        const fs::path invoked = fs::absolute(fs::path(invokedAs), error).lexically_normal();
        if (!error && isGameSystemFolder(invoked.parent_path()) &&
            fs::equivalent(invoked, self, error) && !error) {
            place = {invoked.parent_path(), invoked.filename().string(), true};
        }
    }
    return place;
}

}  // namespace varnox::ucc
