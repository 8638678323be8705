// The redirect's parts on their own: text for terminals and scripts, the progress line, the
// rule for temporary names on the server, the manifest, and the codec's progress count.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include "platform/progress_text.h"
#include "platform/terminal_text.h"
#include "redirect/manifest.h"
#include "redirect/upload_turn.h"
#include "tests/support/files.h"
#include "tests/support/programs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/uz_data.h"
#include "uz/files.h"

namespace varnox::redirect {
namespace {

using namespace std::chrono_literals;

// Every lead byte alone, before continuation bytes and cut short, the edges of the ranges
// where overlong forms, surrogates and values past U+10FFFF start, and control bytes.
std::vector<std::string> byteSequences() {
    std::vector<std::string> cases;
    for (int lead = 0; lead < 256; ++lead) {
        const char c = static_cast<char>(lead);
        for (const char* tail : {"", "\x80", "\x80\x80", "\x80\x80\x80", "\xBF\xBF\xBF"}) {
            cases.push_back("a" + std::string(1, c) + tail + "z");
        }
    }
    for (const char* edge :
         {"\xE0\xA0\x80", "\xE0\x9F\xBF", "\xED\x9F\xBF", "\xED\xA0\x80", "\xF0\x90\x80\x80",
          "\xF0\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xC0\x80", "\xC1\xBF",
          "\xC2\x9B", "\xC2\xA0", "\xF8\x80\x80", "\x1B]0;title\x07\x1B[2J\x1B[31m"}) {
        cases.push_back(edge);
    }
    return cases;
}

// Python's strict UTF-8 decoder and JSON reader judge every line: each JSON line must read
// back as the input where that was well-formed UTF-8; each printable line must be
// well-formed UTF-8 without control characters, and the same as a plain input.
constexpr const char* kJudge = R"(
import json, sys
inputs, jsons, texts = (open(f, 'rb').read().split(b'\n')[:-1] for f in sys.argv[1:4])
bad = []
for hexed, j, t in zip(inputs, jsons, texts):
    raw = bytes.fromhex(hexed.decode())
    try:
        plain = raw.decode('utf-8')
    except UnicodeDecodeError:
        plain = None
    if plain is not None and json.loads(j.decode('utf-8')) != plain:
        bad.append('json ' + hexed.decode())
    json.loads(j.decode('utf-8'))
    shown = t.decode('utf-8')
    if any(ord(c) < 0x20 or 0x7f <= ord(c) < 0xa0 for c in shown):
        bad.append('text ' + hexed.decode())
    if plain is not None and not any(ord(c) < 0x20 or 0x7f <= ord(c) < 0xa0 for c in plain) \
            and shown != plain:
        bad.append('changed ' + hexed.decode())
print('checked %d' % len(inputs), *bad)
)";

TEST(RedirectParts, EveryByteSequencePassesStrictUtf8AndJsonReaders) {
    const test::TempDir dir;
    std::string inputs, jsons, texts;
    for (const std::string& bytes : byteSequences()) {
        for (const char c : bytes) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(c));
            inputs += hex;
        }
        inputs += "\n";
        jsons += platform::jsonString(bytes) + "\n";
        texts += platform::printable(bytes) + "\n";
    }
    test::writeFile(dir / "in", inputs);
    test::writeFile(dir / "json", jsons);
    test::writeFile(dir / "text", texts);
    const test::ProgramEnd ended = test::waitForProgram(
        test::startProgram(
            "/usr/bin/python3",
            {"-c", kJudge, (dir / "in").string(), (dir / "json").string(), (dir / "text").string()},
            {}, dir.path()),
        dir.path());
    EXPECT_EQ(ended.out, "checked " + std::to_string(byteSequences().size()) + "\n") << ended.err;
    EXPECT_EQ(platform::printable("DM-B\001x\x7f.unr"), "DM-B\\x01x\\x7f.unr");
}

// Fields go whole, the time left first, then the rate, the bar and the label.
TEST(RedirectParts, TheProgressLineDropsWholeFieldsToFit) {
    const std::string label = "compressing, 1 of 5 packages";
    const std::string bar = "[###                     ] ";
    const std::string amount = "5.0 MiB of 40.0 MiB";
    const std::pair<std::size_t, std::string> cases[] = {
        {97, bar + label + "  " + amount + ", 5.0 MiB/s, 7 s left"},
        {96, bar + label + "  " + amount + ", 5.0 MiB/s"},
        {86, bar + label + "  " + amount},
        {75, label + "  " + amount},
        {40, amount},
        {10, ""},
    };
    for (const auto& [columns, expected] : cases) {
        EXPECT_EQ(platform::progressLine(label, 5 << 20, 40 << 20, 1s, columns), expected)
            << columns;
    }
}

// A temporary name goes only once it has kept its size for the settling time; one that
// grows starts its time again; one no longer listed is forgotten.
TEST(RedirectParts, ATemporaryNameGoesOnlyAfterItStoppedGrowing) {
    const auto t0 = std::chrono::system_clock::time_point(1'700'000'000s);
    const auto settle = TemporarySightings::kSettle;
    TemporarySightings sightings;
    struct Step {
        std::chrono::system_clock::duration at;
        std::vector<ListedTemporary> listed;
        std::vector<std::string> abandoned, kept;
    };
    const Step steps[] = {
        {0s, {{".a", 10}, {".b", 5}}, {}, {".a", ".b"}},
        {settle - 1s, {{".a", 10}, {".b", 6}}, {}, {".a", ".b"}},
        {settle, {{".a", 10}, {".b", 6}}, {".a"}, {".b"}},
        {2 * settle - 2s, {{".b", 6}}, {}, {".b"}},
        {2 * settle + 1s, {{".a", 10}}, {}, {".a"}},
    };
    for (const Step& step : steps) {
        // Through the text kept in the lock file, as from one run to the next.
        sightings = TemporarySightings::parse("process 1 on host\n" + sightings.text());
        const TemporaryVerdicts verdicts = sightings.judge(step.listed, t0 + step.at);
        EXPECT_EQ(verdicts.abandoned, step.abandoned);
        EXPECT_EQ(verdicts.kept, step.kept);
    }
}

TEST(RedirectParts, TheManifestKeepsOddNamesAndRecordsOfLaterKinds) {
    const test::TempDir dir;
    const std::string name = "DM-B\001 x%\xF8.unr.uz";
    const std::string header = "varnox-redirect manifest 1\n";
    test::writeFile(dir / Manifest::kFileName, header + "upload later-kind fields\n");
    Manifest manifest = Manifest::read(dir.path());
    manifest.record(name, {{5, -3}, {7, 1'700'000'000'123'456'789}});
    manifest.write(dir.path());
    const Manifest again = Manifest::read(dir.path());
    EXPECT_EQ(again.madeFrom(name), manifest.madeFrom(name));
    EXPECT_NE(test::readFile(dir / Manifest::kFileName).find("upload later-kind fields\n"),
              std::string::npos);
    for (const std::string& damaged : {header + "uz x 1 2 3\n", std::string("manifest 9\n")}) {
        test::writeFile(dir / Manifest::kFileName, damaged);
        const Manifest read = Manifest::read(dir.path());
        EXPECT_TRUE(read.problem().has_value()) << damaged;
        EXPECT_EQ(read.text(), header);
    }
}

// The count ends at the package's size.
TEST(RedirectParts, CompressingCountsThePackageAsItsBlocksAreDone) {
    const test::TempDir dir;
    const uz::test::Bytes package = uz::test::mixedBytes(3 << 20, 7);
    test::writeFile(dir / "P.unr", std::string(package.begin(), package.end()));
    std::atomic<std::uint64_t> progress{0};
    uz::compressFile(dir / "P.unr", dir / "P.unr.uz", uz::Signature::Standard, &progress);
    EXPECT_EQ(progress, package.size());
}

}  // namespace
}  // namespace varnox::redirect
