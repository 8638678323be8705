#pragma once

#include <filesystem>
#include <string>

namespace varnox::windows {

// What the configuration window asks of the main window. The main window implements it; the
// configuration window knows nothing else about it.
class ConfigHost {
public:
    virtual ~ConfigHost() = default;

    // After a save: moves the browser's lists to `drive` (a drive entry) and then to `folder`,
    // letting their change handlers run, and then refreshes the drive list and the folder
    // list. A failure travels back to the caller.
    virtual void moveListsTo(const std::string& drive, const std::filesystem::path& folder) = 0;

    // After Done: shows the main window again and refreshes its file list, folder list and
    // drive list, in that order.
    virtual void showAgain() = 0;
};

}  // namespace varnox::windows
