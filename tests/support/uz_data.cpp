#include "tests/support/uz_data.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/files.h"
#include "uz/compact_index.h"
#include "uz/error.h"
#include "uz/rle.h"

namespace varnox::uz::test {

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

Bytes readBytes(const std::filesystem::path& file) {
    const std::string text = varnox::test::readFile(file);
    return Bytes(text.begin(), text.end());
}

std::filesystem::path vectorsDir() {
    return varnox::test::sourcePath("tests/data/uz-vectors");
}

void expectUzError(const std::string& label, int number, const std::function<void()>& action,
                   const std::string& messageStart) {
    try {
        action();
        ADD_FAILURE() << label << ": no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), number) << label << ": " << e.what();
        EXPECT_TRUE(std::string(e.what()).starts_with(messageStart)) << label << ": " << e.what();
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
    const std::string_view phrases = "Engine.Actor Core.Object LevelInfo PlayerStart Brush ";
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        // A run (sometimes far longer than 255), repeated phrases, a small alphabet or noise.
        const std::size_t piece = 1 + generator() % 4000;
        const std::uint64_t kind = generator() % 4;
        const auto run = static_cast<std::uint8_t>(generator());
        for (std::size_t i = 0; i < piece; ++i) {
            const std::uint64_t r = kind < 2 ? 0 : generator();
            const std::uint8_t choices[] = {
                run, static_cast<std::uint8_t>(phrases[i % phrases.size()]),
                static_cast<std::uint8_t>('a' + r % 4), static_cast<std::uint8_t>(r)};
            out.push_back(choices[kind]);
        }
    }
    out.resize(size);
    return out;
}

Bytes bitsOf(std::string_view text) {
    std::string bits;  // one character a bit
    for (char c : text) {
        bits += c == '1' ? '1' : '0';
        for (int i = 0; c != '0' && c != '1' && i < 8; ++i) {
            bits += (static_cast<std::uint8_t>(c) >> i) & 1 ? '1' : '0';
        }
    }
    Bytes out((bits.size() + 7) / 8);
    for (std::size_t i = 0; i < bits.size(); ++i) {
        out[i / 8] |= static_cast<std::uint8_t>((bits[i] == '1') << (i % 8));
    }
    return out;
}

Bytes huffmanBlock(std::uint32_t count, const Bytes& bits) {
    return join({le32(count), bits});
}

Bytes uzFile(std::uint32_t signature, std::string_view storedName, const Bytes& body) {
    Bytes out = le32(signature);
    writeCompactIndex(static_cast<std::int32_t>(storedName.size() + 1), out);
    out.insert(out.end(), storedName.begin(), storedName.end());
    out.push_back(0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace varnox::uz::test
