#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QStringList>
#include <memory>

#include "platform/drives.h"
#include "platform/process.h"
#include "settings/settings_file.h"
#include "tests/support/files.h"
#include "tests/support/scripted_boxes.h"
#include "tests/support/temp_dir.h"
#include "windows/file_lists.h"
#include "windows/main_window.h"
#include "windows/services.h"

// Test failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace varnox::test {

namespace fs = std::filesystem;

// Starts real programs and keeps the id of each. With `endedAtOnce`, a program has done its
// work and ended before anyone asks: start() runs it to its end, and every status read then
// reports exit status 0.
class RecordingProcessRunner : public platform::ProcessRunner {
public:
    int start(const fs::path& program, const std::vector<std::string>& arguments) override {
        const int id = system_.start(program, arguments);
        while (endedAtOnce && system_.status(id).value_or(platform::ProcessStatus{}).running()) {
        }
        started.push_back(id);
        return id;
    }
    std::optional<platform::ProcessStatus> status(int processId) override {
        return endedAtOnce ? platform::ProcessStatus{} : system_.status(processId);
    }
    bool endedAtOnce = false;
    std::vector<int> started;

private:
    platform::SystemProcessRunner system_;
};

inline QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// The windows over drives of their own: c: and d: are temporary folders, e: is a drive
// whose folder does not exist (not ready). The program folder is a temporary folder too, so
// each test decides whether the settings file exists. Exit ends the application's event
// loops as the program's does.
class WindowTest : public ::testing::Test {
protected:
    WindowTest()
        : drives_({{'c', dir_ / "c"}, {'d', dir_ / "d"}, {'e', dir_ / "e"}}),
          services_{drives_,
                    boxes_,
                    processes_,
                    dir_ / "program",
                    dir_ / "program" / "config.txt",
                    [this] {
                        ++endProgramCalls_;
                        QApplication::exit(0);
                    }} {
        for (const char* folder : {"c", "d", "program"}) {
            fs::create_directories(dir_ / folder);
        }
        for (const char* picture : {"open.bmp", "closed.bmp", "leaf.bmp", "root.bmp"}) {
            fs::copy_file(builtProgram(picture), dir_ / "program" / picture);
        }
    }
    ~WindowTest() override {
        main_.reset();
        if (endProgramCalls_ > 0) {
            // Run the application's loop once, so the ending does not reach later tests.
            QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
            QApplication::exec();
        }
    }

    void writeConfig(const fs::path& game, const std::string& drive, const std::string& server = "",
                     const std::string& user = "", const std::string& password = "") {
        settings::writeSettingsFile(services_.settingsFile, {game.string(), drive, server, user,
                                                             password, game.string() + "/uz"});
    }

    // Creates the main window, runs its start-up sequence and shows it.
    windows::MainWindow& startMain() {
        main_ = std::make_unique<windows::MainWindow>(services_);
        QObject::connect(main_.get(), &windows::MainWindow::statusChanged,
                         [this](const QString& text) { statuses_ << text; });
        main_->load();
        main_->show();
        return *main_;
    }

    template <typename T = QWidget>
    static T* control(QWidget* window, const char* name) {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    template <typename T = QWidget>
    T* control(const char* name) {
        return control<T>(main_.get(), name);
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

    // Chooses a file in a file list as a click does.
    static void clickFile(windows::FileList* files, const QString& name) {
        const auto found = files->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        if (files->currentItem() == found.front()) {
            emit files->itemClicked(found.front());  // a click on the file already chosen
        } else {
            files->setCurrentItem(found.front());
        }
    }

    TempDir dir_;
    platform::DriveTable drives_;
    ScriptedMessageBoxes boxes_;
    RecordingProcessRunner processes_;
    windows::Services services_;
    int endProgramCalls_ = 0;
    QStringList statuses_;
    std::unique_ptr<windows::MainWindow> main_;
};

}  // namespace varnox::test
