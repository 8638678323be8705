#include "tests/support/permission_checks.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace varnox::test {

namespace {

constexpr unsigned kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

// Reads (capset false) or sets this thread's capabilities.
bool capabilities(__user_cap_data_struct (&data)[2], bool capset) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(capset ? SYS_capset : SYS_capget, &header, data) == 0;
}

}  // namespace

PermissionChecksEnforced::PermissionChecksEnforced() {
    __user_cap_data_struct data[2]{};
    if (capabilities(data, false) && (data[0].effective & kOverrides) != 0) {
        effective_ = data[0].effective;
        data[0].effective &= ~kOverrides;
        restore_ = capabilities(data, true);
    }
}

PermissionChecksEnforced::~PermissionChecksEnforced() {
    __user_cap_data_struct data[2]{};
    if (restore_ && capabilities(data, false)) {
        data[0].effective = effective_;
        capabilities(data, true);
    }
}

bool PermissionChecksEnforced::effective(const std::filesystem::path& scratch) const {
    namespace fs = std::filesystem;
    const fs::path folder = scratch / "permission-probe";
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    const int fd = ::open((folder / "probe").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    const bool refused = fd < 0 && errno == EACCES;
    if (fd >= 0) {
        ::close(fd);
    }
    fs::permissions(folder, fs::perms::owner_all);
    fs::remove_all(folder);
    return refused;
}

}  // namespace varnox::test
