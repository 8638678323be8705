#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "redirect/http_check.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/http_server.h"

namespace varnox::redirect {
namespace {

using test::writeFile;

const std::string kFile(5000, 'x');
// Run by lighttpd where the configuration says so: a stale kFile, in an answer without a size
// (also to HEAD).
const std::string kScript =
    "printf 'Content-Type: application/octet-stream\\r\\n\\r\\n'\nhead -c 5000 /dev/zero | tr "
    "'\\0' y\n";

// The results of a check that is cancelled when it has not ended within two minutes (on the
// slowest machine it takes seconds).
std::vector<CheckResult> runBounded(HttpCheck& check) {
    auto running = std::async(std::launch::async, [&] { return check.run(); });
    if (running.wait_for(std::chrono::minutes(2)) != std::future_status::ready) {
        ADD_FAILURE() << "the check did not end";
        check.cancel();
    }
    return running.get();
}

// One file: what the game folder holds, what the server holds under which name, and what
// the check says in full and in quick mode.
struct Row {
    std::string name;                  // asked for, and the local file's name
    std::optional<std::string> local;  // nothing: no local file
    std::string servedAs;              // empty: nothing on the server
    std::string served;
    std::optional<std::uint64_t> packageSize;
    CheckKind full, quick;
    int status = 0;
    int number = 0;
    std::string otherCase{};
};

TEST(RedirectCheck, EachFileGetsTheResultAClientWouldMeet) {
    using enum CheckKind;
    const std::string stale(5000, 'y');
    const std::vector<Row> rows = {
        {"Correct.unr.uz", kFile, "Correct.unr.uz", kFile, 5001, kOk, kOk, 200},
        {"My Map.unr", kFile, "My Map.unr", kFile, {}, kOk, kOk, 200},
        {"Script.unr.uz", kFile, "Script.unr.uz", kScript, {}, kDiffers, kDiffers, 200},
        {"Gone.unr.uz", kFile, "", "", {}, kMissing, kMissing, 404},
        {"Mixed.utx.uz", kFile, "mixed.utx.uz", kFile, {}, kCase, kCase, 404, 0, "mixed.utx.uz"},
        {"Stale.uax.uz", kFile, "Stale.uax.uz", stale, {}, kDiffers, kOk, 200},
        {"Short.uax.uz", kFile, "Short.uax.uz", kFile.substr(0, 4999), {}, kDiffers, kDiffers, 200},
        {"Moved.umx.uz", kFile, "Moved.umx.uz", kFile, {}, kRedirected, kRedirected, 301},
        {"MovedBig.u.uz", kFile, "MovedBig.u.uz", kFile, 100, kRedirected, kRedirected, 301},
        {"Big.u.uz", kFile, "Big.u.uz", kFile, 5000, kTooLarge, kTooLarge, 200},
        {"StaleBig.u.uz", kFile, "StaleBig.u.uz", stale, 100, kDiffers, kTooLarge, 200},
        {"Unmade.unr.uz", {}, "Unmade.unr.uz", kFile, {}, kFailed, kFailed, 0, 53},
    };
    test::TempDir local, served;
    std::vector<CheckItem> items;
    for (const Row& row : rows) {
        if (row.local) {
            writeFile(local / row.name, *row.local);
        }
        if (!row.servedAs.empty()) {
            writeFile(served / row.servedAs, row.served);
        }
        items.push_back({"Maps/" + row.name, local / row.name, row.name, row.packageSize});
    }
    test::HttpServer server(served.path(),
                            R"(url.redirect = ("^/(Moved.*)$" => "https://127.0.0.1/$1")
                               $HTTP["url"] =~ "^/Script" { cgi.assign = ("" => "/bin/sh") })");
    for (const bool quick : {false, true}) {
        HttpCheck check(server.url(), items, {.quick = quick, .connections = 3});
        const std::vector<CheckResult> results = runBounded(check);
        ASSERT_EQ(results.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& row = rows[i];
            SCOPED_TRACE(row.name + (quick ? ", quick: " : ": ") + results[i].detail);
            EXPECT_EQ(results[i].kind, quick ? row.quick : row.full);
            EXPECT_EQ(results[i].httpStatus, row.status);
            EXPECT_EQ(results[i].number, row.number);
            EXPECT_EQ(results[i].otherCaseName, row.otherCase);
        }
        EXPECT_EQ(results[1].url, server.url() + "My%20Map.unr");
        const CheckCounts counts(results);
        EXPECT_EQ(counts[kOk], quick ? 3U : 2U);
        EXPECT_FALSE(counts.allOk());
        // Connections are kept alive, except after downloads that ended early (four, and in
        // quick mode one).
        EXPECT_LE(check.connectionsOpened(), quick ? 4U : 7U);
    }
}

TEST(RedirectCheck, AnAnswerWithoutEndIsCutAfterTheLocalFile) {
    test::TempDir local, served;
    writeFile(local / "Endless.unr.uz", std::string(100000, '\0'));
    writeFile(served / "Endless.unr.uz",
              "printf 'Content-Type: application/octet-stream\\r\\n\\r\\n'\nexec cat /dev/zero\n");
    test::HttpServer server(served.path(),
                            R"($HTTP["url"] =~ "^/Endless" { cgi.assign = ("" => "/bin/sh") })");
    HttpCheck check(server.url(),
                    {{"Maps/Endless.unr", local / "Endless.unr.uz", "Endless.unr.uz", {}}});
    const std::vector<CheckResult> results = runBounded(check);
    EXPECT_EQ(results[0].kind, CheckKind::kDiffers);
    EXPECT_NE(results[0].detail.find("more than the 100000 bytes"), std::string::npos)
        << results[0].detail;
}

TEST(RedirectCheck, AServerThatCannotBeUsedOrACancelIsAFailureWithItsNumber) {
    test::TempDir local;
    writeFile(local / "A.unr.uz", kFile);
    const test::LocalPort refusing(false), hanging(true);
    const auto at = [](const test::LocalPort& port, const char* scheme) {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port.port()) + "/";
    };
    const std::pair<std::string, int> cases[] = {
        {at(refusing, "http"), 12029},  // nothing answers
        {at(hanging, "http"), 12002},   // the stall rule ends the wait for an answer
        {at(hanging, "https"), 12006},  // clients speak plain HTTP only
    };
    for (const auto& [base, number] : cases) {
        HttpCheck check(base, {{"Maps/A.unr", local / "A.unr.uz", "A.unr.uz", {}}},
                        {.stall = std::chrono::seconds(1)});
        const CheckResult result = runBounded(check).at(0);
        EXPECT_EQ(result.kind, CheckKind::kFailed) << base;
        EXPECT_EQ(result.number, number) << result.detail;
        EXPECT_NE(result.detail.find(base + "A.unr.uz"), std::string::npos) << result.detail;
    }
    // A cancel ends every request, whether under way by then or not yet made.
    HttpCheck check(at(hanging, "http"),
                    std::vector<CheckItem>(5, {"Maps/A.unr", local / "A.unr.uz", "A.unr.uz", {}}),
                    {.connections = 2, .stall = std::chrono::hours(1)});
    auto running = std::async(std::launch::async, [&] { return check.run(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    check.cancel();
    for (const CheckResult& result : running.get()) {
        EXPECT_EQ(result.number, 12017) << result.detail;
    }
}

TEST(RedirectCheck, TheFileNameIsAddedToTheAddressAsClientsDo) {
    EXPECT_EQ(requestUrl("http://h/f/", "DM-A b#.unr.uz"), "http://h/f/DM-A%20b%23.unr.uz");
    EXPECT_EQ(requestUrl("http://h/f", "DM-A.unr.uz"), "http://h/fDM-A.unr.uz");
    EXPECT_EQ(addressProblem("HTTP://h/f/"), std::nullopt);
    EXPECT_NE(addressProblem("http://h/f").value_or("").find("http://h/fDM-Brindle"),
              std::string::npos);
    EXPECT_NE(addressProblem("https://h/f/"), std::nullopt);
}

}  // namespace
}  // namespace varnox::redirect
