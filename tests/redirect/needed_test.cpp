// varnox-redirect on what players need: the game's ini file and the packages' imports, uploads
// by content, and the check of the redirect over HTTP as a client fetches from it. The real
// program as a child process, a real FTP server (pyftpdlib) and a real lighttpd serving the
// FTP server's folder on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "tests/redirect/run_redirect.h"
#include "tests/support/files.h"
#include "tests/support/http_server.h"
#include "tests/support/package_writer.h"
#include "tests/support/programs.h"

namespace varnox::redirect {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::readFile;
using test::writeFile;
using Args = std::vector<std::string>;
using Names = std::set<std::string>;

// As RedirectTest, with the FTP server running.
class RedirectNeeds : public RedirectTest {
protected:
    void SetUp() override {
        RedirectTest::SetUp();
        serve();
    }
    // A package importing `imports`, followed by bytes that compress well.
    void package(const std::string& file, const std::vector<std::string>& imports,
                 char fill = 'x') {
        test::writePackage(game_ / file, test::packageImporting(imports));
        std::ofstream(game_ / file, std::ios::app) << std::string(20000, fill);
    }
    void ini(const std::string& redirect, const std::vector<std::string>& serverPackages = {}) {
        std::string text = "[Engine.GameEngine]\r\n";
        for (const std::string& name : serverPackages) {
            text += "ServerPackages=" + name + "\r\n";
        }
        text += "[IpDrv.HTTPDownload]\r\nRedirectToURL=" + redirect + "\r\n";
        writeFile(game_ / "System/UnrealTournament.ini", text);
    }
};

// ServerPackages names a code package; a map imports a texture, stock packages and a name
// found nowhere; other packages are not needed. A stock list of one's own can add that name.
TEST_F(RedirectNeeds, NeedsListsExactlyTheNeededSetAndWhatIsFoundNowhere) {
    ini("http://127.0.0.1/", {"BrindleMut", "Botpack"});
    package("System/BrindleMut.u", {"Engine", "Core"});
    package("Maps/DM-Brindle.unr", {"BrindleTex", "Engine", "SomeTextures"});
    package("Textures/BrindleTex.utx", {"Core"});
    package("Textures/Unused.utx", {});
    test::ProgramEnd ended = run({"needs", "--json"});
    EXPECT_EQ(ended.exitCode, 1);
    EXPECT_EQ(ended.out, R"({"event": "need", "package": "Maps/DM-Brindle.unr", "needed_by": [], )"
                         R"("server_packages": false})"
                         "\n"
                         R"({"event": "need", "package": "System/BrindleMut.u", "needed_by": [], )"
                         R"("server_packages": true})"
                         "\n"
                         R"({"event": "need", "package": "Textures/BrindleTex.utx", )"
                         R"("needed_by": ["Maps/DM-Brindle.unr"], "server_packages": false})"
                         "\n"
                         R"({"event": "missing", "name": "SomeTextures", "needed_by": )"
                         R"(["Maps/DM-Brindle.unr"], "server_packages": false})"
                         "\n"
                         R"({"event": "summary", "command": "needs", "needed": 3, "missing": 1, )"
                         R"("stock_skipped": 3, "failed": 0})"
                         "\n");
    writeFile(dir_ / "stock.txt", "# ours\r\nSomeTextures.utx\r\n");
    ended = run({"needs", "--stock", (dir_ / "stock.txt").string()});
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    expectSaid(ended.out, {"needed   Textures/BrindleTex.utx  needed by Maps/DM-Brindle.unr\n",
                           "needed   System/BrindleMut.u      ServerPackages\n",
                           "needs: 3 needed, 0 found nowhere, 0 unreadable, 4 stock"});
}

// A sync compresses and uploads the needed set only; --delete removes the .uz files of
// packages not needed and nothing else; --all goes by folder again.
TEST_F(RedirectNeeds, SyncUploadsTheNeededSetAndDeleteRemovesOnlyOrphans) {
    ini("http://127.0.0.1/", {"BrindleMut"});
    package("System/BrindleMut.u", {});
    package("Maps/DM-Brindle.unr", {"BrindleTex", "SomeTextures"});
    package("Textures/BrindleTex.utx", {});
    package("Textures/Unused.utx", {});
    for (const char* name :
         {"Old.unr.uz", "Unused.utx.uz", "notes.txt", "SomeTextures.utx.uz", "brindletex.UTX.uz"}) {
        writeFile(root_ / name, "there before");
    }
    const Names before = test::namesIn(root_);
    test::ProgramEnd ended = run({"sync", "--delete", "--dry-run"});
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    expectSaid(ended.out, {"would remove  Old.unr.uz (its package is not needed)",
                           "would remove  Unused.utx.uz", "would upload 3", "would delete 2"});
    expectSaid(ended.err, {"warning: SomeTextures is needed (needed by Maps/DM-Brindle.unr) "
                           "but found nowhere the game looks"});
    EXPECT_EQ(test::namesIn(root_), before);
    ended = run({"sync", "--delete"});
    EXPECT_EQ(ended.exitCode, 0) << ended.err;
    EXPECT_EQ(test::namesIn(root_),
              (Names{"BrindleMut.u.uz", "BrindleTex.utx.uz", "DM-Brindle.unr.uz", "notes.txt",
                     "SomeTextures.utx.uz", "brindletex.UTX.uz"}));
    Names made = test::namesIn(game_ / "uz");
    std::erase_if(made, [](const std::string& name) { return name.starts_with("."); });
    EXPECT_EQ(made, (Names{"BrindleMut.u.uz", "BrindleTex.utx.uz", "DM-Brindle.unr.uz"}));
    expectSaid(run({"status", "--json"}).out,
               {R"({"event": "status", "package": "Textures/BrindleTex.utx", "uz": "up_to_date", )"
                R"("server": "same", "server_other_case": "brindletex.UTX.uz", )"
                R"("needed_by": ["Maps/DM-Brindle.unr"], "server_packages": false, )"
                R"("uz_too_large": false})"});
    expectSaid(run({"sync", "--all", "--dry-run"}).out,
               {"would compress  Textures/Unused.utx", "would upload  Unused.utx.uz"});
}

// The content, not the size, decides: a package changed so that its .uz keeps its size is
// uploaded again, and so is a server copy someone else changed; a copy no upload recorded is
// unverified until --verify compares its bytes.
TEST_F(RedirectNeeds, UploadsGoByContent) {
    ini("http://127.0.0.1/");
    package("Maps/Same.unr", {}, 'a');
    ASSERT_EQ(run({"sync"}).exitCode, 0);
    const fs::path uz = game_ / "uz/Same.unr.uz";
    const std::string first = readFile(uz);
    package("Maps/Same.unr", {}, 'b');
    test::ProgramEnd ended = run({"sync"});
    ASSERT_EQ(readFile(uz).size(), first.size());
    ASSERT_NE(readFile(uz), first);
    expectSaid(ended.out, {"uploaded  Same.unr.uz (", "changed since it was uploaded)"});
    EXPECT_EQ(readFile(root_ / "Same.unr.uz"), readFile(uz));

    writeFile(root_ / "Same.unr.uz", first);
    fs::last_write_time(root_ / "Same.unr.uz", fs::last_write_time(uz) - 48h);
    expectSaid(run({"upload"}).out, {"the server's copy changed after it was uploaded"});
    EXPECT_EQ(readFile(root_ / "Same.unr.uz"), readFile(uz));

    package("Maps/Fresh.unr", {}, 'c');
    package("Maps/Known.unr", {}, 'd');
    ASSERT_EQ(run({"compress"}).exitCode, 0);
    std::string stale = readFile(game_ / "uz/Fresh.unr.uz");
    stale.back() ^= 1;
    writeFile(root_ / "Fresh.unr.uz", stale);
    fs::copy_file(game_ / "uz/Known.unr.uz", root_ / "Known.unr.uz");
    expectSaid(run({"status"}).out,
               {"server: unverified  Maps/Fresh.unr (no upload of this folder recorded it"});
    expectSaid(run({"upload"}).out, {"uploaded 0, 0 failed, 3 already there (2 unverified"});
    ended = run({"upload", "--verify", "--json"});
    expectSaid(ended.out, {R"({"event": "verified", "uz": "Known.unr.uz"})",
                           R"("reason": "the server's copy of the same size holds other bytes")",
                           R"("uploaded": 1, "failed": 0, "already_there": 2, "unverified": 0)"});
    EXPECT_EQ(readFile(root_ / "Fresh.unr.uz"), readFile(game_ / "uz/Fresh.unr.uz"));
    expectSaid(run({"status", "--json"}).out, {R"("server_same": 3, "server_unverified": 0)"});
}

// Against lighttpd serving the FTP server's folder: a correct, a missing, a wrong-case, a
// stale and a redirected .uz (the web server sends clients elsewhere for a file it lacks).
// check names each and exits with 1; a sync fixes them all, and check then exits with 0.
TEST_F(RedirectNeeds, CheckSeesWhatClientsGetAndPassesOnceSyncFixedIt) {
    // Without its cache of file facts, which keeps serving a file replaced by one of the same
    // size for a second.
    const test::HttpServer web(root_, R"(server.error-handler-404 = "/404.sh"
                                         cgi.assign = (".sh" => "/bin/sh")
                                         server.stat-cache-engine = "disable")");
    writeFile(root_ / "404.sh",
              "case \"$REQUEST_URI\" in /Moved*) printf 'Status: 301\\r\\nLocation: "
              "https://127.0.0.1%s\\r\\n\\r\\n' \"$REQUEST_URI\";;\n"
              "*) printf 'Status: 404\\r\\n\\r\\n';; esac\n");
    ini(web.url());
    const std::vector<std::string> maps = {"Correct", "Gone", "Mixed", "Stale", "Moved"};
    for (const std::string& map : maps) {
        package("Maps/" + map + ".unr", {}, map[0]);
    }
    ASSERT_EQ(run({"sync"}).exitCode, 0);
    fs::remove(root_ / "Gone.unr.uz");
    fs::remove(root_ / "Moved.unr.uz");
    fs::rename(root_ / "Mixed.unr.uz", root_ / "mixed.unr.uz");
    std::string stale = readFile(root_ / "Stale.unr.uz");
    stale.back() ^= 1;
    writeFile(root_ / "Stale.unr.uz", stale);
    fs::last_write_time(root_ / "Stale.unr.uz", fs::last_write_time(root_ / "404.sh") - 48h);
    test::ProgramEnd ended = run({"check", "--json"});
    EXPECT_EQ(ended.exitCode, 1);
    const std::string results[] = {"ok", "missing", "case", "differs", "redirected"};
    const int statuses[] = {200, 404, 404, 200, 301};
    for (std::size_t i = 0; i < maps.size(); ++i) {
        expectSaid(ended.out,
                   {R"({"event": "check", "package": "Maps/)" + maps[i] + R"(.unr", "url": ")" +
                    web.url() + maps[i] + R"(.unr.uz", "result": ")" + results[i] +
                    R"(", "http_status": )" + std::to_string(statuses[i])});
    }
    expectSaid(ended.out, {R"("ok": 1, "missing": 1, "case": 1, "differs": 1, "redirected": 1, )"
                           R"("too_large": 0, "failed": 0, "not_found_here": 0})"});
    ended = run({"check", "--url", web.url().substr(0, web.url().size() - 1)});
    EXPECT_EQ(ended.exitCode, 1);
    expectSaid(ended.err, {"does not end in \"/\""});
    EXPECT_EQ(run({"sync"}).exitCode, 0);
    ended = run({"check"});
    EXPECT_EQ(ended.exitCode, 0) << ended.out << ended.err;
    expectSaid(ended.out, {"ok         Maps/Stale.unr    " + web.url() + "Stale.unr.uz\n",
                           ": 5 ok, 0 missing, 0 in another letter case"});
    ini("");
    expectSaid(run({"check"}).err, {"gives no RedirectToURL; give --url URL"});
    // A web server that never answers holds the check only until --timeout, which cancels
    // what is under way.
    const test::LocalPort hanging(true);
    const auto started = std::chrono::steady_clock::now();
    ended = run({"check", "--timeout", "1", "--url",
                 "http://127.0.0.1:" + std::to_string(hanging.port()) + "/"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    EXPECT_EQ(ended.exitCode, 1);
    expectSaid(ended.err, {"(error 12017)", "took longer than --timeout 1 s"});
}

}  // namespace
}  // namespace varnox::redirect
