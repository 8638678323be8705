#pragma once

#include <exception>
#include <new>
#include <utility>

#include "platform/failure.h"
#include "platform/message_boxes.h"

namespace varnox::platform {

// Runs one event handler. An unexpected failure inside it is reported in a message box and
// ends that handler only; the program goes on. Returns false when the handler failed.
template <typename Handler>
bool guarded(MessageBoxes& boxes, QWidget* parent, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const Failure& failure) {
        reportFailure(boxes, parent, failure);
    } catch (const std::bad_alloc&) {
        reportFailure(boxes, parent, Failure(7, "Out of memory"));
    } catch (const std::exception& error) {
        reportFailure(boxes, parent, Failure(51, std::string("Internal error: ") + error.what()));
    }
    return false;
}

}  // namespace varnox::platform
