#pragma once

#include <functional>

#include "platform/failure.h"

namespace varnox::test {

// The number of the varnox::Failure that `action` throws, or 0 when it throws none.
inline int failureNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.number();
    }
    return 0;
}

}  // namespace varnox::test
