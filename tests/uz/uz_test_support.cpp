#include "tests/uz/uz_test_support.h"

#include <array>
#include <cstdio>
#include <random>

#include "tests/support/files.h"
#include "uz/compact_index.h"

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

namespace {

constexpr std::array<std::uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

}  // namespace

std::string sha256Hex(const Bytes& bytes) {
    std::array<std::uint32_t, 8> h = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                      0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    Bytes message = bytes;
    const std::uint64_t bitLength = static_cast<std::uint64_t>(bytes.size()) * 8;
    message.push_back(0x80);
    while (message.size() % 64 != 56) {
        message.push_back(0);
    }
    for (int i = 7; i >= 0; --i) {
        message.push_back(static_cast<std::uint8_t>(bitLength >> (8 * i)));
    }
    for (std::size_t chunk = 0; chunk < message.size(); chunk += 64) {
        std::array<std::uint32_t, 64> w{};
        for (int i = 0; i < 16; ++i) {
            const std::uint8_t* p = &message[chunk + 4 * i];
            w[i] = std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                   std::uint32_t{p[2]} << 8 | p[3];
        }
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        auto v = h;
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t s1 = rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25);
            const std::uint32_t choose = (v[4] & v[5]) ^ (~v[4] & v[6]);
            const std::uint32_t t1 = v[7] + s1 + choose + kRound[i] + w[i];
            const std::uint32_t s0 = rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22);
            const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
            const std::uint32_t t2 = s0 + majority;
            v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
        }
        for (int i = 0; i < 8; ++i) {
            h[i] += v[i];
        }
    }
    std::string hex;
    for (std::uint32_t word : h) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", word);
        hex += part;
    }
    return hex;
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

void BitWriter::bit(unsigned b) {
    if (used_ == 8) {
        bytes_.push_back(0);
        used_ = 0;
    }
    bytes_.back() |= static_cast<std::uint8_t>((b & 1u) << used_);
    ++used_;
}

void BitWriter::bits(unsigned value, int count) {
    for (int i = 0; i < count; ++i) {
        bit(value >> i);
    }
}

Bytes huffmanBlock(std::uint32_t count, const Bytes& bits) {
    Bytes out;
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
    }
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
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
