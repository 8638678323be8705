// The tool's naming rule for decompressed packages and its percentage figure.
#include <gtest/gtest.h>

#include "platform/failure.h"
#include "tools/ucc/package_names.h"

namespace varnox::ucc {
namespace {

TEST(DecompressedName, DropsTheLastThreeCharactersOfTheFileName) {
    const struct {
        std::string path;
        std::string name;
    } cases[] = {
        {"/game/uz/DM-Deck16][.unr.uz", "DM-Deck16][.unr"},
        {"Relative.uax.uz", "Relative.uax"},
        {"MAP.UNR.UZ", "MAP.UNR"},
        {"a/b/Mixed.Uz", "Mixed"},
        {"-starts-with-dash.uz", "-starts-with-dash"},
        {"/odd/it's \"quoted\"; $x.utx.uz", "it's \"quoted\"; $x.utx"},
        {"/a.uz/inner.uz", "inner"},
        {"....uz", "..."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decompressedName(c.path), c.name) << c.path;
    }
}

TEST(DecompressedName, RefusesNamesWithoutUzOrWithoutAPackageName) {
    for (const std::string path : {"Map.unr", "Map.unr.uzz", "Map.unruz", "/game/uz/", "uz", "",
                                   ".uz", "/game/.UZ", "..uz", "...uz", "/x/...uz"}) {
        try {
            decompressedName(path);
            ADD_FAILURE() << path;
        } catch (const Failure& f) {
            EXPECT_EQ(f.number(), failure::kBadFileName) << path;
            EXPECT_NE(f.description().find(path), std::string::npos) << f.description();
        }
    }
}

TEST(PercentOfPackage, RoundsHalfUpAndCountsAnEmptyPackageAsOneByte) {
    const struct {
        std::uint64_t uz;
        std::uint64_t package;
        std::uint64_t percent;
    } cases[] = {
        {28128, 70000, 40}, {1, 200, 1},   {1, 201, 0}, {50, 100, 50},
        {3, 2, 150},        {21, 0, 2100}, {0, 0, 0},   {101, 100, 101},
        {999, 1000, 100},   {1, 3, 33},    {2, 3, 67},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(percentOfPackage(c.uz, c.package), c.percent) << c.uz << "/" << c.package;
    }
}

}  // namespace
}  // namespace varnox::ucc
