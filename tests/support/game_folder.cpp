#include "tests/support/game_folder.h"

#include "tests/support/files.h"

namespace varnox::test {

void makeGameFolder(const std::filesystem::path& root, bool withTool) {
    namespace fs = std::filesystem;
    for (const char* sub : {"System", "Maps", "Sounds", "Music", "Textures", "uz"}) {
        fs::create_directories(root / sub);
    }
    if (withTool) {
        fs::copy_file(builtProgram("ucc"), root / "System" / "UCC.exe",
                      fs::copy_options::overwrite_existing);
    }
}

}  // namespace varnox::test
