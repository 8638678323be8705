// What uploads sent, held against the local files and the server's listing: the verdict on
// each server copy, listed times, the .uz files no package accounts for, and the records.
#include <gtest/gtest.h>

#include "ftp/listing.h"
#include "redirect/file_hash.h"
#include "redirect/remote_folder.h"
#include "redirect/upload_records.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace varnox::redirect {
namespace {

constexpr const char* kHashOfAbc =
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(RedirectRecords, EachServerCopyGetsItsVerdict) {
    using enum CopyVerdict;
    const FileFacts facts{100, 7};
    const SentRecord sent{facts, kHashOfAbc, 100, "Jan 05 12:00"};
    const SentRecord noListing{facts, kHashOfAbc, std::nullopt, ""};
    const struct {
        ServerState state;
        std::uint64_t size;
        std::string time;
        bool made;  // the local file is there
        const SentRecord* record;
        bool holdsSent;
        CopyVerdict verdict;
    } cases[] = {
        {ServerState::kMissing, 0, "", true, &sent, true, kMissing},
        {ServerState::kLink, 100, "", true, &sent, true, kLink},
        {ServerState::kFolder, 0, "", true, nullptr, false, kFolder},
        {ServerState::kSame, 100, "Jan 05 12:00", false, nullptr, false, kToBeMade},
        {ServerState::kDiffers, 90, "Jan 05 12:00", true, nullptr, false, kOtherSize},
        {ServerState::kSame, 100, "Jan 05 12:00", true, nullptr, false, kUnverified},
        {ServerState::kSame, 100, "Jan 05 12:00", true, &sent, false, kChangedHere},
        {ServerState::kSame, 100, "Jan 05 12:00", true, &sent, true, kSame},
        {ServerState::kSame, 100, "Jan 05 2025", true, &sent, true, kSame},
        {ServerState::kSame, 100, "Jan 06 12:00", true, &sent, true, kChangedThere},
        {ServerState::kDiffers, 99, "Jan 05 12:00", true, &sent, true, kChangedThere},
        {ServerState::kSame, 100, "Feb 01 09:00", true, &noListing, true, kSame},
        {ServerState::kDiffers, 99, "Feb 01 09:00", true, &noListing, true, kChangedThere},
    };
    for (const auto& c : cases) {
        const ServerCopy server{c.state, c.size, c.time, ""};
        const LocalUz local{"A.unr.uz", "A.unr.uz", c.made ? std::optional(facts) : std::nullopt};
        const CopyVerdict verdict = judgeCopy(server, local, c.record, c.holdsSent);
        EXPECT_EQ(verdict, c.verdict) << static_cast<int>(c.state) << " " << c.time;
        EXPECT_EQ(uploads(verdict), verdict != kLink && verdict != kFolder && verdict != kSame &&
                                        verdict != kUnverified);
    }
    EXPECT_TRUE(sameListedTime("2023-09-02 12:30", "2023-09-02 12:30"));
    EXPECT_FALSE(sameListedTime("03-04-21 09:00AM", "03-04-21 09:01AM"));
    EXPECT_FALSE(sameListedTime("Jan 05 2024", "Jan 05 2025"));
}

// The recorded facts spare the hash; other facts are settled by the bytes.
TEST(RedirectRecords, TheLocalFileHoldsWhatWasSentByItsFactsOrItsBytes) {
    const test::TempDir dir;
    test::writeFile(dir / "A.unr.uz", "abc");
    EXPECT_EQ(sha256Of(dir / "A.unr.uz"), kHashOfAbc);
    const SentRecord sent{{3, 5}, kHashOfAbc, 3, ""};
    const auto holds = [&](const std::string& file, FileFacts facts) {
        return holdsWhatWasSent({"A.unr.uz", dir / file, facts}, sent);
    };
    EXPECT_TRUE(holds("nowhere", {3, 5}));
    EXPECT_TRUE(holds("A.unr.uz", {3, 6}));
    test::writeFile(dir / "A.unr.uz", "abd");
    EXPECT_FALSE(holds("A.unr.uz", {3, 6}));
    EXPECT_FALSE(holds("A.unr.uz", {4, 6}));
    EXPECT_THROW(holds("nowhere", {3, 6}), Failure);
}

TEST(RedirectRecords, OrphansAreOnlyUzFilesOfPackagesNoneAccountsFor) {
    const auto file = [](std::string name) {
        return ftp::FindData{ftp::attribute::kNormal, std::move(name), 1, false, ""};
    };
    const RemoteFolder remote({file("Old.unr.uz"),
                               file("OLD.UTX.UZ"),
                               file("Kept.unr.uz"),
                               file("kept.UNR.uz"),
                               file("Missing.utx.uz"),
                               file("notes.txt"),
                               file(".hidden.uz"),
                               file("ending.uzx"),
                               {ftp::attribute::kNormal, "Link.unr.uz", 1, true, ""},
                               {ftp::attribute::kDirectory, "Folder.unr.uz", 0, false, ""}});
    EXPECT_EQ(remote.orphans({"Kept.unr"}, {"missing"}),
              (std::vector<std::string>{"Old.unr.uz", "OLD.UTX.UZ"}));
}

TEST(RedirectRecords, RecordsKeepWhatWasSentAndTheServersWordOnIt) {
    const test::TempDir dir;
    const std::string target = "127.0.0.1:21 /a folder";
    Manifest manifest;
    manifest.replaceSent(target, {{"Gone.unr.uz", {{1, 2}, kHashOfAbc, 1, "Jan 01 10:00"}},
                                  {"Kept.unr.uz", {{3, 4}, kHashOfAbc, 3, ""}}});
    manifest.replaceSent("other 21 /", {{"A.uz", {{5, 6}, kHashOfAbc, std::nullopt, ""}}});
    manifest.write(dir.path());
    UploadRecords records(target, Manifest::read(dir.path()).sentTo(target));
    EXPECT_EQ(records.records(), manifest.sentTo(target));
    test::writeFile(dir / "New.unr.uz", "abc");
    records.sent("New.unr.uz", UploadRecords::describe({"New.unr.uz", dir / "New.unr.uz", {}}));
    records.settle(
        RemoteFolder({{ftp::attribute::kNormal, "New.unr.uz", 3, false, "Mar 03 03:03"},
                      {ftp::attribute::kNormal, "Kept.unr.uz", 3, false, "Feb 02 02:02"}}));
    records.keep(dir.path(), std::chrono::steady_clock::now() + std::chrono::seconds(10));
    const Manifest kept = Manifest::read(dir.path());
    EXPECT_EQ(kept.sentTo("other 21 /"), manifest.sentTo("other 21 /"));
    const std::map<std::string, SentRecord> now = kept.sentTo(target);
    ASSERT_EQ(now.size(), 2U);
    EXPECT_EQ(now.at("Kept.unr.uz").serverTime, "");  // not sent by this run
    EXPECT_EQ(now.at("New.unr.uz").serverTime, "Mar 03 03:03");
    EXPECT_EQ(now.at("New.unr.uz").sha256, kHashOfAbc);
    test::writeFile(dir / Manifest::kFileName,
                    "varnox-redirect manifest 1\nsent t A.uz 1 2 abc 1 -\n");
    EXPECT_TRUE(Manifest::read(dir.path()).problem().has_value());
}

}  // namespace
}  // namespace varnox::redirect
