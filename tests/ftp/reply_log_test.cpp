#include "ftp/reply_log.h"

#include <gtest/gtest.h>

namespace varnox::ftp {
namespace {

// Whole replies from a real server are checked in connect_test.cpp; these are the pieces
// and line ends a socket may deliver.
TEST(ReplyLog, KeepsTheLastCompleteReplyWhateverThePieces) {
    ReplyLog log;
    log.feed("220 ready\r\n");
    log.feed("530-Sorry\r\n");
    EXPECT_EQ(log.lastReply(), "220 ready\r\n") << "a reply counts once it is complete";
    log.feed(" no entry today\r\n530 Login incorrect.\r\n");
    EXPECT_EQ(log.lastReply(), "530-Sorry\r\n no entry today\r\n530 Login incorrect.\r\n");
    EXPECT_EQ(log.lastCode(), 530u);

    log.feed("21");
    log.feed("1-Features:\n EPSV\n");
    log.feed(" 211 not the end\r\n2");
    log.feed("11 End\n");
    EXPECT_EQ(log.lastReply(), "211-Features:\r\n EPSV\r\n 211 not the end\r\n211 End\r\n");
    log.feed("garbage\r\n");
    EXPECT_EQ(log.lastReply(), "garbage\r\n");
    EXPECT_EQ(log.lastCode(), 0u);
    log.feed("550\r\n");
    EXPECT_EQ(log.lastCode(), 550u);
    EXPECT_EQ(log.count(), 5u);
}

}  // namespace
}  // namespace varnox::ftp
