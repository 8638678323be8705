#include "ftp/reply_log.h"

#include <gtest/gtest.h>

namespace varnox::ftp {
namespace {

TEST(ReplyLog, KeepsEveryLineOfTheLastReply) {
    ReplyLog log;
    EXPECT_EQ(log.lastReply(), "");
    EXPECT_EQ(log.lastCode(), 0u);

    log.feed("220 ready\r\n");
    EXPECT_EQ(log.lastReply(), "220 ready\r\n");
    EXPECT_EQ(log.lastCode(), 220u);

    log.feed("530-Sorry\r\n");
    EXPECT_EQ(log.lastReply(), "220 ready\r\n") << "a reply counts once it is complete";
    log.feed(" no entry today\r\n");
    log.feed("530 Login incorrect.\r\n");
    EXPECT_EQ(log.lastReply(), "530-Sorry\r\n no entry today\r\n530 Login incorrect.\r\n");
    EXPECT_EQ(log.lastCode(), 530u);
    EXPECT_EQ(log.count(), 2u);
}

TEST(ReplyLog, JoinsPiecesAndNormalisesLineEnds) {
    ReplyLog log;
    log.feed("21");
    log.feed("1-Features:\n EPSV\n");
    log.feed(" 211-not the end\r\n2");
    log.feed("11 End\n250 next\r\n");
    EXPECT_EQ(log.lastReply(), "250 next\r\n");
    EXPECT_EQ(log.count(), 2u);

    ReplyLog multi;
    multi.feed("211-Features:\n 211 inside\n211 End\n");
    EXPECT_EQ(multi.lastReply(), "211-Features:\r\n 211 inside\r\n211 End\r\n");
}

TEST(ReplyLog, TakesLinesWithoutACodeAsTheyCome) {
    ReplyLog log;
    log.feed("garbage\r\n");
    EXPECT_EQ(log.lastReply(), "garbage\r\n");
    EXPECT_EQ(log.lastCode(), 0u);
    log.feed("550\r\n");
    EXPECT_EQ(log.lastCode(), 550u);
}

}  // namespace
}  // namespace varnox::ftp
