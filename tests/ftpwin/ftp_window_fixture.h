#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QString>
#include <QTreeWidgetItem>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ftp/window/frm_ftp.h"
#include "ftp/window/remote_tree.h"
#include "platform/drives.h"
#include "platform/message_boxes.h"
#include "platform/process.h"
#include "platform/services.h"
#include "settings/settings_file.h"
#include "tests/support/ftp_server.h"
#include "tests/support/temp_dir.h"
#include "widgets/file_lists.h"

// Test failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace varnox::test {

// An FTP window over a real FTP server. The temporary folder holds:
//   c/, d/      two drives (e: is a drive whose folder is missing, so it is not ready)
//   c/local     the game folder of the settings record, where the local lists start
//   program/    the program folder, with the four tree pictures
//   server/     the server's home: maps/ (a.uz, b.uz), sounds/ (empty), readme.txt
class FtpWindowTest : public ::testing::Test {
protected:
    static constexpr const char* kUser = "admin";
    static constexpr const char* kPassword = "secret";

    FtpWindowTest();
    ~FtpWindowTest() override;

    // The account kUser with kPassword over the server's home, every permission.
    FtpAccount account() const;
    // Starts the server, with account() when the options name no account.
    void startServer(FtpServerOptions options = {});
    // The settings record pointing at the server and at the local folder.
    settings::SettingsRecord record() const;
    // Creates the window (its load runs) and shows it.
    ftpwin::frmFTP& open(std::optional<settings::SettingsRecord> settings = std::nullopt);

    // Start Internet Session, then Connect to Server.
    void startSession();
    void connectToServer();

    template <typename T>
    T* control(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAbstractButton* button(const char* name) { return control<QAbstractButton>(name); }
    QLineEdit* textBox(const char* name) { return control<QLineEdit>(name); }
    ftpwin::RemoteTree& tree() { return window_->tree(); }

    // The node path of a remote path below the server's home ("" for the root node).
    QString nodePath(const std::string& remote = "") const;
    QTreeWidgetItem* node(const std::string& remote = "") { return tree().node(nodePath(remote)); }
    // The texts of a node's children, in order.
    std::vector<std::string> childTexts(const std::string& remote = "");
    void select(const std::string& remote);
    // A double-click on a node, or on empty space below the nodes.
    void doubleClick(const std::string& remote);
    void doubleClickEmptySpace();
    // Chooses a file in File1 as a click does.
    void chooseLocalFile(const std::string& name);

    // The message boxes shown since the last call, as text, and forgets them.
    std::vector<std::string> takeBoxes();

    static QString q(const std::string& text) { return QString::fromStdString(text); }

    TempDir dir_;
    std::filesystem::path local_;
    std::filesystem::path home_;
    platform::DriveTable drives_;
    platform::ScriptedMessageBoxes boxes_;
    platform::SystemProcessRunner processes_;
    platform::Services services_;
    std::unique_ptr<FtpServer> server_;
    std::unique_ptr<ftpwin::frmFTP> window_;
};

}  // namespace varnox::test
