#pragma once

class QAbstractButton;

namespace varnox::mainwin {

class frmBrindle;
class ToolRunner;

// Decompress: turns the .uz file selected in the main window back into a package. The game
// tool leaves the package in the game's System folder; from there it moves into its type
// folder (Maps, Sounds, Music, Textures; the uz folder for any other ending) when the
// move-files box is ticked after the wait, into the uz folder when it is not. A package
// whose name the uz folder already holds stays in System. Progress and results go to the
// status line.
//
// The name selected when the run starts is used for the whole run. Failures (no tool, no
// package, a missing target folder, a file of that name already there) are raised as
// varnox::Failure after the status line has been set to what is true at that point; no
// file is overwritten.
class DecompressCommand {
public:
    // Shown when the tool could not be started or left no package in System.
    static constexpr const char* kNotDecompressedText = "File not decompressed.";
    // Shown when the package could not be moved on from System.
    static constexpr const char* kNotMovedText =
        "File decompressed, but not moved: it stays in the System folder.";

    DecompressCommand(frmBrindle& window, ToolRunner& runner, const QAbstractButton& moveFiles)
        : window_(window), runner_(runner), moveFiles_(moveFiles) {}

    void run();

private:
    frmBrindle& window_;
    ToolRunner& runner_;
    const QAbstractButton& moveFiles_;
};

}  // namespace varnox::mainwin
