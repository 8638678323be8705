#pragma once

#include <exception>
#include <new>
#include <utility>

#include "platform/failure.h"
#include "platform/message_boxes.h"

namespace varnox::windows {

// Modal Qt message boxes.
class QtMessageBoxes : public platform::MessageBoxes {
public:
    void inform(QWidget* parent, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& text) override;
};

// The general failure path: reports the failure and lets the program go on.
void reportFailure(platform::MessageBoxes& boxes, QWidget* parent, const Failure& failure);

// Thrown out of a handler whose wait was ended because the program is ending; the handler
// stops without a report.
struct ProgramEnding {};

// Runs one event handler. An unexpected failure inside it is reported in a message box and
// ends that handler only; the program goes on.
template <typename Handler>
void guarded(platform::MessageBoxes& boxes, QWidget* parent, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const ProgramEnding&) {
    } catch (const Failure& failure) {
        reportFailure(boxes, parent, failure);
    } catch (const std::bad_alloc&) {
        reportFailure(boxes, parent, Failure(failure::kOutOfMemory, "Out of memory"));
    } catch (const std::exception& error) {
        reportFailure(
            boxes, parent,
            Failure(failure::kInternalError, std::string("Internal error: ") + error.what()));
    }
}

}  // namespace varnox::windows
