#include "tests/support/game_folder.h"

#include "tests/support/files.h"

namespace varnox::test {

void makeGameFolder(const std::filesystem::path& root, GameFolderOptions options) {
    namespace fs = std::filesystem;
    for (const char* sub : {"System", "Maps", "Sounds", "Music", "Textures"}) {
        fs::create_directories(root / sub);
    }
    if (options.withUzFolder) {
        fs::create_directories(root / "uz");
    }
    if (options.withTool) {
        fs::copy_file(builtProgram("ucc"), root / "System" / "UCC.exe",
                      fs::copy_options::overwrite_existing);
    }
}

}  // namespace varnox::test
