#pragma once

#include <filesystem>

namespace varnox::test {

// While alive, file permissions bind this process even when it runs as root: the
// capabilities that override them (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH) are taken out of
// the effective set and put back afterwards. Without those capabilities it changes nothing.
class PermissionChecksEnforced {
public:
    PermissionChecksEnforced();
    ~PermissionChecksEnforced();
    PermissionChecksEnforced(const PermissionChecksEnforced&) = delete;
    PermissionChecksEnforced& operator=(const PermissionChecksEnforced&) = delete;

    // True when a folder without write permission really refuses new files, so a test that
    // relies on it means something; `scratch` is a writable folder for the probe.
    bool effective(const std::filesystem::path& scratch) const;

private:
    bool restore_ = false;
    unsigned effective_ = 0;  // the effective set (first word) to restore
};

}  // namespace varnox::test
