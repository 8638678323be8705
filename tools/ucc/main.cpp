// ucc: the game tool's two command lines, compress and decompress, on the .uz codec.
#include <iostream>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "tools/ucc/tool_place.h"
#include "tools/ucc/ucc_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    varnox::ucc::ToolPlace place;
    try {
        place = varnox::ucc::runningToolPlace();
    } catch (const varnox::Failure& failure) {
        std::cerr << "Error: " << failure.description() << " (error " << failure.number() << ")\n";
        return varnox::ucc::kExitFailure;
    }
    return varnox::ucc::runUcc(args, place, std::cout, std::cerr);
}
