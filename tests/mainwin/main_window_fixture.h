#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <string>

#include "mainwin/frm_brindle.h"
#include "platform/drives.h"
#include "platform/message_boxes.h"
#include "platform/process.h"
#include "platform/services.h"
#include "settings/settings_file.h"
#include "tests/mainwin/process_doubles.h"
#include "tests/support/temp_dir.h"
#include "widgets/file_lists.h"

namespace varnox::test {

// A main window over drives of its own: c: and d: are temporary folders, e: is a drive whose
// folder does not exist (not ready). The program folder is a temporary folder too, so each
// test decides whether config.txt exists.
class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest()
        : drives_({{'c', (dir_ / "c").string()},
                   {'d', (dir_ / "d").string()},
                   {'e', (dir_ / "e").string()}}),
          services_{drives_, boxes_, processes_, (dir_ / "program").string(),
                    [this] { ++endProgramCalls_; }} {
        std::filesystem::create_directories(dir_ / "c");
        std::filesystem::create_directories(dir_ / "d");
        std::filesystem::create_directories(dir_ / "program");
    }

    // Writes config.txt into the program folder as the configuration window saves it.
    void writeConfig(const std::string& gameFolder, const std::string& drive,
                     const std::string& server = "", const std::string& user = "",
                     const std::string& password = "") {
        settings::writeSettingsFile(
            settings::settingsFilePath(services_.programFolder),
            {gameFolder, drive, server, user, password, gameFolder + "/uz"});
    }

    // Creates the main window, runs its start-up sequence and shows it.
    mainwin::frmBrindle& start() {
        window_ = std::make_unique<mainwin::frmBrindle>(services_);
        QObject::connect(window_.get(), &mainwin::frmBrindle::statusChanged,
                         [this](const QString& text) { statuses_ << text; });
        window_->load();
        window_->show();
        return *window_;
    }

    template <typename T>
    T* control(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAbstractButton* button(const char* name) { return control<QAbstractButton>(name); }

    // The top-level windows of type T that exist, shown or hidden.
    template <typename T>
    static QList<T*> windowsOf() {
        QList<T*> found;
        for (auto* w : QApplication::topLevelWidgets()) {
            if (auto* t = qobject_cast<T*>(w)) {
                found << t;
            }
        }
        return found;
    }

    // Selects a file in File1 as a click does.
    void clickFile(const QString& name) {
        auto* files = control<widgets::FileList>("File1");
        auto found = files->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        if (files->currentItem() == found.front()) {
            emit files->itemClicked(found.front());  // a click on the file already chosen
        } else {
            files->setCurrentItem(found.front());
        }
    }

    static QString q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

    TempDir dir_;
    platform::DriveTable drives_;
    platform::ScriptedMessageBoxes boxes_;
    RecordingProcessRunner processes_;
    platform::Services services_;
    int endProgramCalls_ = 0;
    QStringList statuses_;
    std::unique_ptr<mainwin::frmBrindle> window_;
};

}  // namespace varnox::test
