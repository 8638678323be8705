#include "tests/support/permission_checks.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace varnox::test {

namespace {

struct Capabilities {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
};

bool get(Capabilities& caps) {
    return ::syscall(SYS_capget, &caps.header, caps.data) == 0;
}

bool set(Capabilities& caps) {
    return ::syscall(SYS_capset, &caps.header, caps.data) == 0;
}

constexpr unsigned kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

}  // namespace

PermissionChecksEnforced::PermissionChecksEnforced() {
    Capabilities caps;
    if (!get(caps) || (caps.data[0].effective & kOverrides) == 0) {
        return;
    }
    effective_[0] = caps.data[0].effective;
    effective_[1] = caps.data[1].effective;
    caps.data[0].effective &= ~kOverrides;
    restore_ = set(caps);
}

PermissionChecksEnforced::~PermissionChecksEnforced() {
    if (!restore_) {
        return;
    }
    Capabilities caps;
    if (get(caps)) {
        caps.data[0].effective = effective_[0];
        caps.data[1].effective = effective_[1];
        set(caps);
    }
}

bool PermissionChecksEnforced::effective(const std::filesystem::path& scratch) const {
    const std::filesystem::path folder = scratch / "permission-probe";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const std::string probe = (folder / "probe").string();
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    const bool refused = fd < 0 && errno == EACCES;
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
    }
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    std::filesystem::remove(folder);
    return refused;
}

}  // namespace varnox::test
