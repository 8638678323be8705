#include "tests/uz/uz_test_support.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/files.h"
#include "uz/compact_index.h"
#include "uz/error.h"

namespace varnox::uz::test {

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes readBytes(const std::filesystem::path& file) {
    const std::string text = varnox::test::readFile(file);
    return Bytes(text.begin(), text.end());
}

std::filesystem::path vectorsDir() {
    return varnox::test::sourcePath("tests/data/uz-vectors");
}

void expectUzError(const std::string& label, int number, const std::function<void()>& action) {
    try {
        action();
        ADD_FAILURE() << label << ": no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), number) << label << ": " << e.what();
    }
}

Bytes randomBytes(std::size_t size, std::uint64_t seed, unsigned alphabet) {
    std::mt19937_64 generator(seed);
    Bytes out(size);
    for (auto& b : out) {
        b = static_cast<std::uint8_t>(generator() % alphabet);
    }
    return out;
}

Bytes mixedBytes(std::size_t size, std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    const Bytes phrases = bytesOf("Engine.Actor\0Core.Object\0LevelInfo\0PlayerStart\0Brush");
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        const std::size_t piece = 1 + generator() % 4000;
        switch (generator() % 4) {
            case 0:  // a run, sometimes far longer than 255
                out.insert(out.end(), piece, static_cast<std::uint8_t>(generator()));
                break;
            case 1:  // repeated phrases
                for (std::size_t i = 0; i < piece; ++i) {
                    out.push_back(phrases[(i + seed) % phrases.size()]);
                }
                break;
            case 2:  // a small alphabet
                for (std::size_t i = 0; i < piece; ++i) {
                    out.push_back(static_cast<std::uint8_t>('a' + generator() % 4));
                }
                break;
            default:  // noise
                for (std::size_t i = 0; i < piece; ++i) {
                    out.push_back(static_cast<std::uint8_t>(generator()));
                }
        }
    }
    out.resize(size);
    return out;
}

Bytes bitsOf(std::string_view text) {
    Bytes out;
    std::size_t used = 0;
    auto bit = [&](unsigned b) {
        if (used % 8 == 0) {
            out.push_back(0);
        }
        out.back() |= static_cast<std::uint8_t>((b & 1u) << (used++ % 8));
    };
    for (char c : text) {
        if (c == '0' || c == '1') {
            bit(c == '1');
            continue;
        }
        bit(0);
        for (int i = 0; i < 8; ++i) {
            bit(static_cast<std::uint8_t>(c) >> i);
        }
    }
    return out;
}

Bytes huffmanBlock(std::uint32_t count, const Bytes& bits) {
    Bytes out;
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
    }
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
}

Bytes zerosUzFile(std::uint64_t size, Signature signature, std::string_view storedName) {
    // Runs of 255 as five copies and a count; what is left over is a shorter run.
    Bytes runs;
    runs.reserve(static_cast<std::size_t>(size / 255 * 6 + 6));
    for (std::uint64_t left = size; left > 0;) {
        const auto run = static_cast<std::uint8_t>(std::min<std::uint64_t>(left, 255));
        runs.insert(runs.end(), std::min<std::uint8_t>(run, 5), 0);
        if (run >= 5) {
            runs.push_back(run);
        }
        left -= run;
    }
    return encodeRuns(std::move(runs), storedName, signature);
}

Bytes uzFile(std::uint32_t signature, std::string_view storedName, const Bytes& body) {
    Bytes out;
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(signature >> (8 * i)));
    }
    writeCompactIndex(static_cast<std::int32_t>(storedName.size() + 1), out);
    out.insert(out.end(), storedName.begin(), storedName.end());
    out.push_back(0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace varnox::uz::test
