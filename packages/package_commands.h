#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "settings/settings_file.h"

namespace varnox::packages {

// Runs the game tool and returns once it has ended.
class ToolRunner {
public:
    virtual ~ToolRunner() = default;
    // Starts `program` with `arguments` (each one argument, no shell). With `progressText`,
    // the runner shows it with a growing row of dots while it waits. Throws varnox::Failure
    // naming the program when it cannot be started; nothing is then waited for.
    virtual void runAndWait(const std::filesystem::path& program,
                            const std::vector<std::string>& arguments,
                            const std::optional<std::string>& progressText) = 0;
};

// What a command tells and asks whoever started it.
class CommandView {
public:
    virtual ~CommandView() = default;
    // Progress and results, each text replacing the one before.
    virtual void showStatus(const std::string& text) = 0;
    // The file list that holds the selection is to be read again.
    virtual void refreshFileList() = 0;
    // Whether a decompressed package moves on to its type folder; asked after the wait, so
    // a change made during the wait counts.
    virtual bool moveDecompressedFiles() = 0;
};

// The package a command works on: the folder shown and the file name chosen in it, both as
// the bytes of their names. They are taken once, when the command starts.
struct Selection {
    std::string folder;
    std::string name;
};

// Compress and Decompress of one package through the game tool of the game folder that the
// settings name.
//
// Compress refuses a package whose .uz is already in the uz folder, runs the tool with the
// dotted progress text, moves the result into the uz folder, has the file list read again
// and shows the tool's result line from its log.
//
// Decompress runs the tool, which leaves the package in System, and moves it on: into its
// type folder (Maps, Sounds, Music, Textures; the uz folder for any other ending) when
// packages move by type, into the uz folder when they do not. A package whose name the uz
// folder already holds stays in System.
//
// Failures (no tool, no result, a missing folder, a file of that name already there, no
// log) are raised as varnox::Failure after the status has been set to what is true at that
// point; no file is ever overwritten.
class PackageCommands {
public:
    static constexpr const char* kProgressText = "Compressing file. Please wait...";
    static constexpr const char* kNotCompressedText = "File not compressed.";
    static constexpr const char* kNotMovedAfterCompressText =
        "File compressed, but not moved into the uz folder: it stays beside the package.";
    static constexpr const char* kNotDecompressedText = "File not decompressed.";
    static constexpr const char* kNotMovedAfterDecompressText =
        "File decompressed, but not moved: it stays in the System folder.";

    PackageCommands(const settings::Settings& settings, ToolRunner& runner, CommandView& view)
        : settings_(settings), runner_(runner), view_(view) {}

    void compress(const Selection& selection);
    void decompress(const Selection& selection);

private:
    // The failure for a result the tool did not leave, with the last error of its log.
    Failure missingResult(const std::string& what, const std::filesystem::path& file) const;

    const settings::Settings& settings_;
    ToolRunner& runner_;
    CommandView& view_;
};

}  // namespace varnox::packages
