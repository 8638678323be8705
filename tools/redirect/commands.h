#pragma once

#include <vector>

#include "platform/failure.h"
#include "redirect/local_folder.h"
#include "redirect/setup.h"
#include "tools/redirect/options.h"
#include "tools/redirect/output.h"

namespace varnox::redirect {

// The four commands over the libraries: each prints its result lines and a summary, and
// says whether every item succeeded.
class Commands {
public:
    Commands(const Options& options, Output& output) : options_(options), out_(output) {}

    // Runs the command of the options; returns the exit status.
    int run();

private:
    bool status();
    // `pending` gets the packages a dry run would compress, for the upload after it.
    bool compress(std::vector<Package>& pending);
    bool upload(const std::vector<Package>& pending);

    void failed(const Failure& failure, const std::string& item = {});
    std::string serverName() const;

    const Options& options_;
    Output& out_;
    std::optional<Setup> setup_;
};

}  // namespace varnox::redirect
