#include "tools/ucc/tool_place.h"

#include <system_error>

#include "platform/failure.h"

namespace varnox::ucc {

ToolPlace runningToolPlace() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !self.has_parent_path()) {
        throw Failure(failure::kPathNotFound,
                      "Cannot find the folder of the running program: " + error.message());
    }
    return {self.parent_path(), self.filename().string()};
}

}  // namespace varnox::ucc
