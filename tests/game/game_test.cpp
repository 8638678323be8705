// The game's ini file, package tables and the needed set, over generated packages in real
// temporary game folders.
#include <gtest/gtest.h>

#include "game/needed_set.h"
#include "game/package_tables.h"
#include "game/search_paths.h"
#include "tests/support/failures.h"
#include "tests/support/files.h"
#include "tests/support/package_writer.h"
#include "tests/support/temp_dir.h"

namespace varnox::game {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;
using test::PackageLayout;

TEST(GameIniFile, ReadsTheShapesFilesComeIn) {
    const struct {
        const char* name;
        std::string bytes;
        Strings expected;  // the values of [Engine.GameEngine] ServerPackages
    } cases[] = {
        {"CR LF", "[Engine.GameEngine]\r\nServerPackages=A\r\nServerPackages=B\r\n", {"A", "B"}},
        {"LF, no end", "[Engine.GameEngine]\nServerPackages=A\nServerPackages=B", {"A", "B"}},
        {"case of section and key", "[engine.gameengine]\nSERVERPACKAGES=A\n", {"A"}},
        {"section again goes on; other sections and lines before any not counted",
         "ServerPackages=X\n[Engine.GameEngine]\nServerPackages=A\n[Core.System]\n"
         "ServerPackages=Y\n[Engine.GameEngine]\nServerPackages=B\n",
         {"A", "B"}},
        {"blanks, blank lines, quotes, '=' in a value",
         "  [ Engine.GameEngine ] \n\n \t\nServerPackages = A \n ServerPackages=\"B C\"\n"
         "ServerPackages=a=b\nServerPackages\n[Broken\nServerPackages=D\n",
         {"A", "B C", "a=b", "D"}},
        {"bytes kept", "[Engine.GameEngine]\nServerPackages=Sk\xE9ns\0x\n"s, {"Sk\xE9ns\0x"s}},
        {"UTF-8 mark", "\xEF\xBB\xBF[Engine.GameEngine]\nServerPackages=A\n", {"A"}},
        {"UTF-16 mark",
         "\xFF\xFE[\0E\0n\0g\0i\0n\0e\0.\0G\0a\0m\0e\0E\0n\0g\0i\0n\0e\0]\0\r\0\n\0"
         "S\0e\0r\0v\0e\0r\0P\0a\0c\0k\0a\0g\0e\0s\0=\0\xE9\0\x3D\xD8\x00\xDE\0\xD8"s,
         {"\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IniFile(c.bytes).values("Engine.GameEngine", "ServerPackages"), c.expected)
            << c.name;
    }
}

TEST(GameConfig, TakesTheGamesKeys) {
    const GameConfig config = gameConfigFrom(IniFile(
        "[IpDrv.HTTPDownload]\r\nRedirectToURL=http://host/ut/?a=b\r\nRedirectToURL=http://x/\r\n"
        "[Core.System]\r\nPaths=../Maps/*.unr\r\nPaths=\r\nPaths=..\\Extra\\*.utx\r\n"
        "[Engine.GameEngine]\r\nServerPackages=\r\nServerPackages=SoldierSkins\r\n"));
    EXPECT_EQ(config.redirectUrl, "http://host/ut/?a=b");
    EXPECT_EQ(config.paths, (Strings{"../Maps/*.unr", "..\\Extra\\*.utx"}));
    EXPECT_EQ(config.serverPackages, Strings{"SoldierSkins"});
    EXPECT_TRUE(config.useCompression);
    const std::pair<const char*, bool> switches[] = {
        {"True", true},   {"TRUE", true}, {"yes", true}, {"On", true},    {"1", true},
        {"False", false}, {"0", false},   {"", false},   {"maybe", false}};
    for (const auto& [text, expected] : switches) {
        const auto ini = "[IpDrv.HTTPDownload]\nUseCompression="s + text + "\n";
        const GameConfig read = gameConfigFrom(IniFile(ini));
        EXPECT_EQ(read.useCompression, expected) << text;
        EXPECT_EQ(requestedName(read, "DM-A.unr"), expected ? "DM-A.unr.uz" : "DM-A.unr");
    }
}

TEST(GameConfig, ReadsTheFileInAnyLetterCaseAndSaysWhenThereIsNone) {
    test::TempDir game;
    EXPECT_EQ(readGameConfig(iniFileOf(game.path())), std::nullopt);
    std::filesystem::create_directory(game / "system");
    test::writeFile(game / "system/unrealtournament.INI", "[Core.System]\nPaths=*.u\n");
    EXPECT_EQ(iniFileOf(game.path()), game / "system/unrealtournament.INI");
    EXPECT_EQ(readGameConfig(iniFileOf(game.path()))->paths, Strings{"*.u"});
}

TEST(GameSearchPaths, ResolvesAgainstSystemInAnyLetterCase) {
    test::TempDir game;
    for (const char* folder : {"System", "Maps", "Textures", "Other"}) {
        std::filesystem::create_directory(game / folder);
    }
    const GameConfig config{
        {}, {}, true, {"../maps/*.UNR", "..\\Other\\?x*.utx", "*.u", "/abs/*.u"}};
    const std::vector<SearchPath> paths = searchPathsOf(config, game.path());
    const std::vector<SearchPath> expected = {
        {game / "Maps", "*.UNR"}, {game / "Other", "?x*.utx"},  {game / "System", "*.u"},
        {"/abs", "*.u"},          {game / "Textures", "*.utx"}, {game / "Sounds", "*.uax"},
        {game / "Music", "*.umx"}};
    EXPECT_EQ(paths, expected);
    EXPECT_TRUE(paths[0].holdsMaps());
    EXPECT_FALSE(paths[1].holdsMaps());
    EXPECT_EQ(paths[0].fileNameFor("DM-A"), "DM-A.UNR");
    EXPECT_EQ(paths[1].fileNameFor("A"), std::nullopt);
    EXPECT_TRUE(paths[1].matches("AXE.UTX"));
    EXPECT_FALSE(paths[1].matches("x.utx"));
}

TEST(GamePackageTables, ReadsEveryVersionOfTheGame) {
    for (std::uint16_t version = 61; version <= 69; ++version) {
        PackageLayout layout =
            test::packageImporting({"SoldierSkins", "BrindleTex", "Soldierskins"}, version);
        layout.names.push_back(std::string(200, 'n'));
        const auto bytes = test::packageBytes(layout);
        const PackageTables tables = readPackageTables(PackageInMemory(bytes), "DM-A.unr");
        EXPECT_EQ(tables.dependencies(), (Strings{"SoldierSkins", "BrindleTex"})) << version;
        EXPECT_EQ(tables.header.generations.size(), version >= 68 ? 1u : 0u);
        EXPECT_EQ(tables.names.back(), std::string(200, 'n'));
    }
}

TEST(GamePackageTables, RefusesDamageWithTheFilesName) {
    using Bytes = std::vector<std::uint8_t>;
    const PackageLayout layout = test::packageImporting({"A", "B"});
    const Bytes good = test::packageBytes(layout);
    const std::uint32_t names = test::loadU32(good, test::kNameOffsetAt);
    const std::uint32_t imports = test::loadU32(good, test::kImportOffsetAt);
    const auto with = [&](std::size_t at, std::uint32_t value) {
        Bytes bytes = good;
        test::storeU32(bytes, at, value);
        return bytes;
    };
    PackageLayout old = test::packageImporting({"A"}, 62);
    old.names.back() = std::string(2000, 'x');
    const struct {
        const char* name;
        Bytes bytes;
        const char* says;
    } cases[] = {
        {"empty", {}, "not an Unreal package"},
        {"another tag", with(0, 0x9E2A83C2), "not an Unreal package"},
        {"version 60", with(test::kVersionAt, 60), "package version 60"},
        {"version 70", with(test::kVersionAt, 70), "package version 70"},
        {"header cut", Bytes(good.begin(), good.begin() + 40), "the header runs past the end"},
        {"huge name count", with(test::kNameCountAt, 0xFFFFFFFF), "more than any package holds"},
        {"names past the end", with(test::kNameOffsetAt, 0x7FFFFFFF), "name table (9 entries"},
        {"imports past the end", with(test::kImportCountAt, 100000), "import table (100000"},
        {"exports past the end", with(test::kExportOffsetAt, good.size()), "export table"},
        {"generations past the end", with(test::kGenerationCountAt, 1u << 30), "generations"},
        {"names cut", Bytes(good.begin(), good.begin() + names + 20), "runs past the end"},
        {"name index too big", with(imports + 3 * 7 + 6, 9), "import 3 names name 9"},
        {"negative name index", with(imports, 0x81), "import 0 names name -1"},
        {"five-byte index", with(imports, 0xFFFFFFFF), "import 0 names name -"},
        {"outer past the imports", with(imports + 2 * 7 + 2, 0xFFFFFFF0), "has outer -16"},
        {"outer past the exports", with(imports + 2, 2), "has outer 2"},
        {"name without end", test::packageBytes(old), "longer than 1024 bytes"},
    };
    for (const auto& c : cases) {
        try {
            readPackageTables(PackageInMemory(c.bytes), "Maps/DM-A.unr");
            ADD_FAILURE() << c.name;
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.number(), failure::kInvalidFileFormat) << c.name;
            EXPECT_TRUE(failure.description().starts_with("Maps/DM-A.unr: ")) << c.name;
            EXPECT_NE(failure.description().find(c.says), std::string::npos)
                << c.name << ": " << failure.description();
        }
    }
    // Imports whose outers form a cycle are no damage: only outer 0 counts.
    EXPECT_EQ(
        readPackageTables(PackageInMemory(with(imports + 2, 0xFFFFFFFE)), "x").imports[0].outer,
        -2);
}

TEST(GamePackageTables, SaysWhenNoFileIsThere) {
    test::TempDir dir;
    for (const auto& file : {dir / "none.utx", dir.path()}) {
        EXPECT_EQ(test::failureNumber([&] { readPackageTables(file); }), failure::kFileNotFound);
    }
}

TEST(GameStockPackages, HoldsTheGamesPackagesAndTakesMore) {
    StockPackages stock = StockPackages::builtIn();
    for (const char* name :
         {"Botpack", "soldierskins", "DM-Deck16][", "Credits", "SkeletalChars"}) {
        EXPECT_TRUE(stock.contains(name)) << name;
    }
    EXPECT_FALSE(stock.contains("DM-Brindle"));
    EXPECT_FALSE(stock.contains("# Maps of the retail release"));
    const std::size_t builtIn = stock.size();
    stock.add("# mine\r\n  DM-Brindle.UNR \r\n\r\nBrindleTex.utx\nMutator.u\nodd.name");
    EXPECT_EQ(stock.size(), builtIn + 4);
    EXPECT_TRUE(stock.contains("dm-brindle") && stock.contains("Mutator") &&
                stock.contains("ODD.NAME"));
    EXPECT_EQ(test::failureNumber([&] { stock.addFile("/nonexistent/stock.txt"); }),
              failure::kFileNotFound);
}

// A game folder: maps in Maps and in a folder of its own, packages shared, stock and missing
// ones, a cycle, a damaged package and a file in another letter case.
class GameNeededSet : public testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"System", "Maps", "MoreMaps", "Textures", "Sounds"}) {
            std::filesystem::create_directory(game_ / folder);
        }
        package("Maps/DM-Brindle.unr", {"Soldierskins", "brindleTEX", "BrindleSounds", "Engine"});
        package("Maps/CTF-Face.unr", {"Botpack"});
        package("Maps/notes.txt", {"Ignored"});
        package("MoreMaps/DM-Other.unr", {"BrindleTex", "CycleA", "DM-Other"});
        package("Textures/BrindleTex.utx", {"Core"});
        package("Textures/CycleA.utx", {"CycleB"});
        package("Sounds/cycleb.UAX", {"CycleA"});
        package("System/MyMutator.u", {"Engine", "BrindleTex"});
        test::writeFile(game_ / "Maps/DM-Broken.unr", "not a package");
        config_.paths = {"../Maps/*.unr", "../MoreMaps/*.unr", "../Textures/*.utx",
                         "../Sounds/*.uax", "../System/*.u"};
        config_.serverPackages = {"SoldierSkins", "MyMutator", "NotThere"};
    }
    void package(const std::string& file, const Strings& imports) {
        test::writePackage(game_ / file, test::packageImporting(imports));
    }
    static Strings shownNames(const NeededSet& set) {
        Strings names;
        for (const NeededPackage& package : set.packages) {
            names.push_back(package.shownName + (package.serverPackages ? " (server)" : ""));
        }
        return names;
    }

    test::TempDir game_;
    GameConfig config_;
};

TEST_F(GameNeededSet, FollowsImportsFromServerPackagesAndMapsLessStock) {
    const NeededSet set = findNeededPackages(game_.path(), config_, StockPackages::builtIn());
    EXPECT_EQ(shownNames(set),
              (Strings{"Maps/DM-Brindle.unr", "Maps/DM-Broken.unr", "MoreMaps/DM-Other.unr",
                       "Sounds/cycleb.UAX", "System/MyMutator.u (server)",
                       "Textures/BrindleTex.utx", "Textures/CycleA.utx"}));
    const NeededPackage& texture = set.packages[5];
    EXPECT_EQ(texture.path, game_ / "Textures/BrindleTex.utx");
    EXPECT_EQ(texture.fileName, "BrindleTex.utx");
    EXPECT_EQ(texture.neededBy,
              (Strings{"Maps/DM-Brindle.unr", "MoreMaps/DM-Other.unr", "System/MyMutator.u"}));
    EXPECT_EQ(set.packages[2].neededBy, Strings{});  // its import of itself does not count
    EXPECT_EQ(set.packages[3].neededBy, Strings{"Textures/CycleA.utx"});
    EXPECT_EQ(set.packages[6].neededBy, (Strings{"MoreMaps/DM-Other.unr", "Sounds/cycleb.UAX"}));
    ASSERT_EQ(set.missing.size(), 2u);
    EXPECT_EQ(set.missing[0].name, "BrindleSounds");
    EXPECT_EQ(set.missing[0].neededBy, Strings{"Maps/DM-Brindle.unr"});
    EXPECT_EQ(set.missing[1].name, "NotThere");
    EXPECT_TRUE(set.missing[1].serverPackages);
    ASSERT_EQ(set.failures.size(), 1u);
    EXPECT_EQ(set.failures[0].shownName, "Maps/DM-Broken.unr");
    EXPECT_EQ(set.failures[0].number, failure::kInvalidFileFormat);
    EXPECT_NE(set.failures[0].description.find(game_.str()), std::string::npos);
    EXPECT_EQ(set.stockSkipped, 4u);  // SoldierSkins, CTF-Face (not read), Engine, Core
}

TEST_F(GameNeededSet, CountsStockWhenAskedAndFindsStandardFoldersWithoutPaths) {
    test::writePackage(game_ / "Textures/SoldierSkins.utx", test::packageImporting({}));
    NeededSet set = findNeededPackages(game_.path(), config_, StockPackages::builtIn(), {true});
    EXPECT_EQ(set.stockSkipped, 0u);
    EXPECT_EQ(set.packages.size(), 9u);  // and CTF-Face, SoldierSkins
    EXPECT_EQ(set.missing.size(), 5u);   // and Botpack, Engine, Core
    config_.paths.clear();
    set = findNeededPackages(game_.path(), config_, StockPackages::builtIn());
    EXPECT_EQ(shownNames(set), (Strings{"Maps/DM-Brindle.unr", "Maps/DM-Broken.unr",
                                        "System/MyMutator.u (server)", "Textures/BrindleTex.utx"}));
}

}  // namespace
}  // namespace varnox::game
