#include <gtest/gtest.h>

#include "platform/guard.h"

namespace varnox::platform {
namespace {

TEST(Guarded, ReportsAFailureWithItsNumberAndGoesOn) {
    ScriptedMessageBoxes boxes;
    bool after = false;
    EXPECT_FALSE(guarded(boxes, nullptr, [] {
        throw Failure(failure::kPathNotFound, "Path not found: /games/UnrealTournament");
    }));
    EXPECT_TRUE(guarded(boxes, nullptr, [&] { after = true; }));
    EXPECT_TRUE(after);
    ASSERT_EQ(boxes.texts().size(), 1u);
    EXPECT_EQ(boxes.texts()[0], "Error 76: Path not found: /games/UnrealTournament");
    EXPECT_FALSE(boxes.shown()[0].question);
}

TEST(Guarded, OtherExceptionsAreReportedToo) {
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(guarded(boxes, nullptr, [] { throw std::runtime_error("boom"); }));
    ASSERT_EQ(boxes.texts().size(), 1u);
    EXPECT_TRUE(boxes.texts()[0].startsWith("Error 51: "));
    EXPECT_TRUE(boxes.texts()[0].contains("boom"));
}

TEST(ScriptedMessageBoxes, AnswersFromItsScriptThenYes) {
    ScriptedMessageBoxes boxes;
    boxes.answerNext(false);
    EXPECT_FALSE(boxes.askYesNo(nullptr, "first?"));
    EXPECT_TRUE(boxes.askYesNo(nullptr, "second?"));
    EXPECT_EQ(boxes.texts(), (std::vector<QString>{"first?", "second?"}));
}

}  // namespace
}  // namespace varnox::platform
