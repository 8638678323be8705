// uz_bench_bomb OUT SIZE: writes a .uz file with signature 5678 whose package is SIZE zero
// bytes (the stored name is OUT's file name less ".uz"), never holding the package: about
// 100 KB for 1 GiB. The codec benchmark measures the memory decompressing it takes.
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
    const std::string name = out.stem().string();
    try {
        const std::vector<std::uint8_t> file =
            varnox::uz::encodeZeros(size, name, varnox::uz::Signature::DoubleRle);
        std::ofstream(out, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    } catch (const varnox::uz::Error& e) {
        std::cerr << "uz_bench_bomb: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
