#pragma once

namespace varnox::mainwin {

class frmBrindle;
class ToolRunner;

// Compress: turns the package selected in the main window into a .uz file in the game's uz
// folder. It refuses a package whose .uz is already there, runs the game tool on it with the
// dotted progress text, moves the result into the uz folder, refreshes the file list and
// shows the tool's result line from UCC.log. Progress and results go to the status line.
//
// The folder and name selected when the run starts are used for the whole run, whatever is
// selected or run during the wait. Failures (no tool, no result, no uz folder, a file of
// that name already there, no log) are raised as varnox::Failure after the status line has
// been set to what is true at that point.
class CompressCommand {
public:
    static constexpr const char* kProgressText = "Compressing file. Please wait...";
    // Shown when the tool could not be started or left no compressed file.
    static constexpr const char* kNotCompressedText = "File not compressed.";
    // Shown when the compressed file could not be moved into the uz folder.
    static constexpr const char* kNotMovedText =
        "File compressed, but not moved into the uz folder: it stays beside the package.";

    CompressCommand(frmBrindle& window, ToolRunner& runner) : window_(window), runner_(runner) {}

    void run();

private:
    frmBrindle& window_;
    ToolRunner& runner_;
};

}  // namespace varnox::mainwin
