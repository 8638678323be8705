// uz_bench_bomb OUT SIZE: writes a .uz file with signature 5678 whose package is SIZE zero
// bytes (the stored name is OUT's file name less ".uz"). It is made from the runs the first
// stage writes for the zeros, never holding the package: about 100 KB for 1 GiB. The codec
// benchmark measures the memory decompressing it takes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include "uz/codec.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: uz_bench_bomb OUT.uz SIZE\n";
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const std::uint64_t size = std::strtoull(argv[2], nullptr, 10);
    // Runs of 255 as five copies and a count; what is left over is a shorter run.
    std::vector<std::uint8_t> runs;
    for (std::uint64_t left = size; left > 0;) {
        const auto run = static_cast<std::uint8_t>(std::min<std::uint64_t>(left, 255));
        runs.insert(runs.end(), std::min<std::uint8_t>(run, 5), 0);
        if (run >= 5) {
            runs.push_back(run);
        }
        left -= run;
    }
    const std::string name = out.stem().string();
    try {
        const std::vector<std::uint8_t> file =
            varnox::uz::encodeRuns(std::move(runs), name, varnox::uz::Signature::DoubleRle);
        std::ofstream(out, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    } catch (const varnox::uz::Error& e) {
        std::cerr << "uz_bench_bomb: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
