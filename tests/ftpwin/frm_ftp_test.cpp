#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QTest>
#include <set>

#include "ftp/window/image_list.h"
#include "platform/files.h"
#include "tests/ftpwin/ftp_window_fixture.h"
#include "tests/support/files.h"

namespace varnox::test {
namespace {

namespace fs = std::filesystem;
using ftpwin::frmFTP;
using ftpwin::RemoteTree;
using Names = std::set<std::string>;
using Texts = std::vector<std::string>;

std::string question(const std::string& call, int error) {
    return call + " Err: " + std::to_string(error) + "\r\nClose Connection and Session?";
}

// The start of the first box of a report of a refused request (error 12003).
std::string extended(const std::string& call, int reply) {
    return call + " Extd Err: " + std::to_string(reply) + " " + std::to_string(reply) + " ";
}

// The two boxes of a report of a refused request: the server's reply, then the question.
void expectRefusalReport(const Texts& boxes, const std::string& call, int reply = 550) {
    ASSERT_EQ(boxes.size(), 2u) << ::testing::PrintToString(boxes);
    EXPECT_TRUE(boxes[0].starts_with(extended(call, reply))) << boxes[0];
    EXPECT_TRUE(boxes[0].ends_with("\r\n")) << boxes[0];
    EXPECT_EQ(boxes[1], question(call, 12003));
}

const char* const kControls[] = {
    "cmdInternetOpen", "txtProxy",      "cmdClosehOpen", "txtServer", "txtUser",  "txtPassword",
    "cmdConnect",      "cmdDisconnect", "chkPassive",    "Drive1",    "Dir1",     "File1",
    "TreeView1",       "cmdGet",        "cmdPut",        "optBin",    "optAscii", "cmdClose"};

const Names kAlwaysEnabled = {"Drive1", "Dir1", "File1", "TreeView1", "cmdClose"};

Names with(Names names, const Names& more) {
    names.insert(more.begin(), more.end());
    return names;
}

const Names kIdle = with(kAlwaysEnabled, {"cmdInternetOpen", "txtProxy"});
const Names kSessionOpen =
    with(kAlwaysEnabled, {"cmdClosehOpen", "txtServer", "txtUser", "txtPassword", "cmdConnect",
                          "chkPassive", "optBin", "optAscii"});
const Names kConnected =
    with(kAlwaysEnabled, {"cmdClosehOpen", "txtServer", "txtUser", "txtPassword", "cmdDisconnect",
                          "chkPassive", "optBin", "optAscii", "cmdGet", "cmdPut"});

class FtpWindow : public FtpWindowTest {
protected:
    Names enabledControls() {
        Names names;
        for (const char* name : kControls) {
            if (control<QWidget>(name)->isEnabled()) {
                names.insert(name);
            }
        }
        return names;
    }

    std::vector<std::string> fieldTexts() {
        return {textBox("txtServer")->text().toStdString(),
                textBox("txtUser")->text().toStdString(),
                textBox("txtPassword")->text().toStdString(),
                textBox("txtProxy")->text().toStdString()};
    }

    Names childSet(const std::string& remote = "") {
        Texts texts = childTexts(remote);
        return Names(texts.begin(), texts.end());
    }

    std::string image(const std::string& remote = "") {
        QTreeWidgetItem* item = node(remote);
        return item ? RemoteTree::imageOf(item).toStdString() : "(no node " + remote + ")";
    }

    Names localFiles() {
        Names names;
        auto* files = control<widgets::FileList>("File1");
        for (int i = 0; i < files->count(); ++i) {
            names.insert(files->item(i)->text().toStdString());
        }
        return names;
    }

    // Everything below a folder, as relative paths.
    static Names contents(const fs::path& folder) {
        Names names;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            names.insert(fs::relative(entry.path(), folder).string());
        }
        return names;
    }
};

// ---- Load ---------------------------------------------------------------------------------

TEST_F(FtpWindow, LoadFillsTheFieldsAndListsFromTheSettingsRecord) {
    startServer();
    writeFile(local_ / "DM-Map.unr.uz", "x");
    auto& window = open();

    EXPECT_EQ(fieldTexts(), (Texts{server_->address(), kUser, kPassword, ""}));
    EXPECT_TRUE(control<widgets::DriveList>("Drive1")->drive().startsWith("c:"));
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(local_.string()));
    EXPECT_EQ(control<widgets::FileList>("File1")->path(), q(local_.string()));
    EXPECT_EQ(localFiles(), Names{"DM-Map.unr.uz"});
    EXPECT_EQ(control<widgets::FileList>("File1")->fileName(), "");
    EXPECT_TRUE(control<QCheckBox>("chkPassive")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("optBin")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("optAscii")->isChecked());
    EXPECT_EQ(window.transferType(), 2u);
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_FALSE(window.connected());
    EXPECT_EQ(enabledControls(), kIdle);
    EXPECT_EQ(tree().topLevelItemCount(), 0);
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, LoadPutsTheFourPicturesInTheImageListWithTheGreyMadeTransparent) {
    open(settings::SettingsRecord{});
    auto* images = control<ftpwin::ImageList>("ImageList1");
    EXPECT_EQ(images->count(), 4);
    EXPECT_EQ(images->pictureSize(), QSize(16, 16));
    EXPECT_EQ(tree().iconSize(), QSize(16, 16));
    for (const char* key : {"open", "closed", "leaf", "root"}) {
        QImage picture = images->picture(key).toImage();
        ASSERT_FALSE(picture.isNull()) << key;
        // The pictures' corners are the light grey background.
        EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0) << key;
        int opaque = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                opaque += qAlpha(picture.pixel(x, y)) == 255 ? 1 : 0;
            }
        }
        EXPECT_GT(opaque, 20) << key << " keeps its drawing";
    }
}

TEST_F(FtpWindow, LoadWithEmptySettingsLeavesTheFieldsEmptyAndTheListsWhereTheyAre) {
    open(settings::SettingsRecord{});
    EXPECT_EQ(fieldTexts(), (Texts{"", "", "", ""}));
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(platform::currentFolder()));
    EXPECT_EQ(enabledControls(), kIdle);
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, LoadReportsAStoredFolderThatIsGoneAndGoesOn) {
    auto settings = record();
    settings.gstUTPath = (dir_ / "c" / "Removed").string();
    auto& window = open(settings);
    EXPECT_EQ(takeBoxes(), Texts{"Error 76: Path not found: " + settings.gstUTPath});
    EXPECT_EQ(control<ftpwin::ImageList>("ImageList1")->count(), 4) << "the load went on";
    EXPECT_EQ(window.transferType(), 2u);
    EXPECT_EQ(enabledControls(), kIdle);
}

TEST_F(FtpWindow, LoadSendsAStoredDriveThatCannotBeShownToC) {
    for (const char* drive : {"e:", "z:"}) {
        auto settings = record();
        settings.gstUTDrive = drive;
        settings.gstUTPath.clear();
        open(settings);
        EXPECT_TRUE(control<widgets::DriveList>("Drive1")->drive().startsWith("c:")) << drive;
        EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q((dir_ / "c").string())) << drive;
        EXPECT_TRUE(takeBoxes().empty()) << drive;
    }
}

TEST_F(FtpWindow, LoadReportsAMissingPictureByNameAndGoesOn) {
    fs::remove(dir_ / "program" / "leaf.bmp");
    auto& window = open(settings::SettingsRecord{});
    EXPECT_EQ(takeBoxes(),
              Texts{"Error 53: File not found: " + (dir_ / "program" / "leaf.bmp").string()});
    auto* images = control<ftpwin::ImageList>("ImageList1");
    EXPECT_EQ(images->count(), 3);
    EXPECT_FALSE(images->contains("leaf"));
    EXPECT_TRUE(images->contains("root"));
    EXPECT_EQ(enabledControls(), kIdle);
    EXPECT_EQ(window.transferType(), 2u);
}

// ---- Session, connection and the control states -----------------------------------------

TEST_F(FtpWindow, TheControlsFollowTheStateIdleSessionOpenConnected) {
    startServer();
    auto& window = open();
    EXPECT_EQ(enabledControls(), kIdle);
    button("cmdInternetOpen")->click();
    EXPECT_TRUE(window.sessionOpen());
    EXPECT_EQ(enabledControls(), kSessionOpen);
    button("cmdConnect")->click();
    EXPECT_TRUE(window.connected());
    EXPECT_EQ(enabledControls(), kConnected);
    button("cmdDisconnect")->click();
    EXPECT_EQ(enabledControls(), kSessionOpen);
    button("cmdClosehOpen")->click();
    EXPECT_EQ(enabledControls(), kIdle);
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, ConnectShowsTheRootNodeAndTheFirstListing) {
    startServer();
    auto& window = open();
    connectToServer();
    EXPECT_TRUE(takeBoxes().empty());
    ASSERT_EQ(tree().topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree().topLevelItem(0);
    EXPECT_EQ(root->text(0), q(server_->address()));
    EXPECT_EQ(RemoteTree::keyOf(root), q(server_->address()));
    EXPECT_EQ(image(), "root");
    EXPECT_EQ(childSet(),
              (Names{nodePath("maps").toStdString(), nodePath("readme.txt").toStdString(),
                     nodePath("sounds").toStdString()}));
    EXPECT_EQ(image("maps"), "closed");
    EXPECT_EQ(image("sounds"), "closed");
    EXPECT_EQ(image("readme.txt"), "leaf");
    EXPECT_TRUE(root->isExpanded()) << "the last entry was made visible";
    EXPECT_EQ(window.listing().size(), 3u);
}

TEST_F(FtpWindow, ConnectWithoutAServerNameIsRefusedBeforeAnyCall) {
    startServer();
    auto& window = open();
    startSession();
    textBox("txtServer")->clear();
    button("cmdConnect")->click();
    EXPECT_EQ(takeBoxes(), Texts{frmFTP::kNoServerText});
    EXPECT_FALSE(window.connected());
    EXPECT_EQ(enabledControls(), kSessionOpen);
}

TEST_F(FtpWindow, AFailedConnectAnsweredNoKeepsTheSessionAndTheFields) {
    ClosedPort closed;
    auto settings = record();
    settings.gstServerIp = "127.0.0.1:" + std::to_string(closed.port());
    auto& window = open(settings);
    textBox("txtProxy")->setText("");
    startSession();
    boxes_.answerNext(false);
    button("cmdConnect")->click();
    EXPECT_EQ(takeBoxes(), Texts{question("InternetConnect", 12029)});
    EXPECT_TRUE(window.sessionOpen());
    EXPECT_FALSE(window.connected());
    EXPECT_EQ(enabledControls(), kSessionOpen);
    EXPECT_EQ(fieldTexts(), (Texts{settings.gstServerIp, kUser, kPassword, ""}));
    EXPECT_EQ(tree().topLevelItemCount(), 0);
}

TEST_F(FtpWindow, AFailedConnectAnsweredYesReturnsToIdleWithTheFieldsEmpty) {
    startServer();
    auto settings = record();
    settings.gstPassword = "wrong";
    auto& window = open(settings);
    startSession();
    boxes_.answerNext(true);
    button("cmdConnect")->click();
    EXPECT_EQ(takeBoxes(), Texts{question("InternetConnect", 12014)}) << "login refused";
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_EQ(enabledControls(), kIdle);
    EXPECT_EQ(fieldTexts(), (Texts{"", "", "", ""}));
}

TEST_F(FtpWindow, AProxyTextOfOneBlankAsksForThatProxy) {
    startServer();
    auto& window = open();
    textBox("txtProxy")->setText(" ");
    boxes_.answerNext(false);
    button("cmdInternetOpen")->click();
    // A blank names no gateway host, so the session cannot open.
    EXPECT_EQ(takeBoxes(), Texts{question("InternetOpen", 87)});
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_EQ(enabledControls(), kSessionOpen) << "offered all the same";
    button("cmdConnect")->click();
    EXPECT_FALSE(window.connected()) << "no session: Connect does nothing";
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, DisconnectKeepsTheSessionAndConnectBuildsTheTreeAgain) {
    startServer();
    auto& window = open();
    connectToServer();
    button("cmdDisconnect")->click();
    EXPECT_FALSE(window.connected());
    EXPECT_TRUE(window.sessionOpen());
    EXPECT_EQ(tree().topLevelItemCount(), 0);
    EXPECT_EQ(tree().nodeCount(), 0);
    EXPECT_TRUE(window.listing().empty());
    EXPECT_EQ(fieldTexts(), (Texts{server_->address(), kUser, kPassword, ""}));
    EXPECT_EQ(enabledControls(), kSessionOpen);

    writeFile(home_ / "new.txt", "n");
    button("cmdConnect")->click();
    EXPECT_TRUE(window.connected());
    EXPECT_EQ(childTexts().size(), 4u);
    EXPECT_NE(node("new.txt"), nullptr);
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, CloseInternetSessionEndsEverythingAndEmptiesTheFields) {
    startServer();
    auto& window = open();
    connectToServer();
    button("cmdClosehOpen")->click();
    EXPECT_FALSE(window.connected());
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_EQ(tree().nodeCount(), 0);
    EXPECT_EQ(fieldTexts(), (Texts{"", "", "", ""}));
    EXPECT_EQ(enabledControls(), kIdle);
}

TEST_F(FtpWindow, ClosingTheWindowClosesTheConnectionAndTheSession) {
    startServer();
    auto& window = open();
    connectToServer();
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.connected());
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_EQ(tree().nodeCount(), 0);
    EXPECT_TRUE(takeBoxes().empty());
}

// Disconnect, Close Internet Session and a Yes in an error report remove the root node the
// connection made, whatever the server box says by then.
TEST_F(FtpWindow, AServerNameEditedWhileConnectedNeverBreaksTheEnding) {
    enum class Ending { kDisconnect, kCloseSession, kReportAnsweredYes };
    for (Ending ending : {Ending::kDisconnect, Ending::kCloseSession, Ending::kReportAnsweredYes}) {
        SCOPED_TRACE(static_cast<int>(ending));
        startServer();
        auto& window = open();
        connectToServer();
        textBox("txtServer")->setText("another.example");
        switch (ending) {
            case Ending::kDisconnect:
                button("cmdDisconnect")->click();
                EXPECT_TRUE(window.sessionOpen());
                break;
            case Ending::kCloseSession:
                button("cmdClosehOpen")->click();
                EXPECT_FALSE(window.sessionOpen());
                break;
            case Ending::kReportAnsweredYes:
                fs::remove_all(home_ / "maps");
                doubleClick("maps");
                expectRefusalReport(takeBoxes(), "rcd");
                EXPECT_FALSE(window.sessionOpen());
                break;
        }
        EXPECT_FALSE(window.connected());
        EXPECT_EQ(tree().topLevelItemCount(), 0);
        EXPECT_EQ(tree().nodeCount(), 0);
        EXPECT_TRUE(takeBoxes().empty());
        window_.reset();
        server_.reset();
        fs::create_directories(home_ / "maps");
    }
}

// ---- The remote tree ---------------------------------------------------------------------

TEST_F(FtpWindow, FoldersOpenAndCloseAndAreListedAnewEachTime) {
    startServer();
    open();
    connectToServer();
    doubleClick("maps");
    EXPECT_EQ(image("maps"), "open");
    EXPECT_EQ(childSet("maps"),
              (Names{nodePath("maps/a.uz").toStdString(), nodePath("maps/b.uz").toStdString()}));
    EXPECT_EQ(image("maps/a.uz"), "leaf");

    writeFile(home_ / "maps" / "c.uz", "map c");
    doubleClick("maps");
    EXPECT_EQ(image("maps"), "closed");
    EXPECT_EQ(node("maps")->childCount(), 0);
    EXPECT_EQ(node("maps/a.uz"), nullptr) << "the keys went with the nodes";

    doubleClick("maps");
    EXPECT_EQ(image("maps"), "open");
    EXPECT_EQ(node("maps")->childCount(), 3);
    EXPECT_NE(node("maps/c.uz"), nullptr);
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, NestedFoldersAreChangedToByTheirAbsolutePath) {
    fs::create_directories(home_ / "maps" / "sub" / "deep");
    writeFile(home_ / "maps" / "sub" / "deep" / "x.uz", "x");
    startServer();
    open();
    connectToServer();
    doubleClick("maps");
    doubleClick("maps/sub");
    doubleClick("maps/sub/deep");
    EXPECT_EQ(childTexts("maps/sub/deep"), Texts{nodePath("maps/sub/deep/x.uz").toStdString()});
    // Back up to a folder beside it: the path from the root, not from the current folder.
    doubleClick("sounds");
    EXPECT_EQ(takeBoxes(), Texts{frmFTP::kEmptyDirectoryText});
}

TEST_F(FtpWindow, AnEmptyFolderSaysSoAndClosesOnTheNextDoubleClick) {
    startServer();
    open();
    connectToServer();
    doubleClick("sounds");
    EXPECT_EQ(takeBoxes(), Texts{frmFTP::kEmptyDirectoryText});
    EXPECT_EQ(image("sounds"), "open");
    EXPECT_EQ(node("sounds")->childCount(), 0);
    doubleClick("sounds");
    EXPECT_EQ(image("sounds"), "closed");
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, DoubleClickingTheRootOrAFileChangesNothing) {
    startServer();
    open();
    connectToServer();
    for (const char* remote : {"", "readme.txt"}) {
        doubleClick(remote);
        EXPECT_EQ(tree().nodeCount(), 4) << remote;
    }
    EXPECT_EQ(image(), "root");
    EXPECT_EQ(image("readme.txt"), "leaf");
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, DoubleClickingEmptySpaceActsOnTheSelectedNode) {
    startServer();
    open();
    connectToServer();
    select("maps");
    doubleClickEmptySpace();
    EXPECT_EQ(image("maps"), "open");
    EXPECT_EQ(node("maps")->childCount(), 2);
    EXPECT_EQ(tree().selectedNode(), node("maps"));
}

TEST_F(FtpWindow, UsersCannotExpandOrCollapseNodesThemselves) {
    startServer();
    open();
    connectToServer();
    QTreeWidgetItem* root = node();
    select("");
    tree().setFocus();
    QTest::keyClick(&tree(), Qt::Key_Left);
    QTest::keyClick(&tree(), Qt::Key_Minus);
    EXPECT_TRUE(root->isExpanded());
    EXPECT_FALSE(tree().rootIsDecorated());
    EXPECT_FALSE(tree().itemsExpandable());
}

TEST_F(FtpWindow, ADoubleClickNeedsAConnectionAndASelectedNode) {
    startServer();
    open();
    doubleClickEmptySpace();
    EXPECT_EQ(takeBoxes(), Texts{frmFTP::kNoSessionForTreeText});
    connectToServer();
    tree().clearSelection();
    doubleClickEmptySpace();
    EXPECT_EQ(takeBoxes(), Texts{frmFTP::kNoSelectionText});
}

TEST_F(FtpWindow, AReadOnlyFolderIsShownAndOpenedAsAFolder) {
    FtpServerOptions options;
    options.accounts.push_back(account());
    options.accounts.back().readOnlyFolders = {home_ / "maps"};
    startServer(options);
    open();
    connectToServer();
    EXPECT_EQ(image("maps"), "closed");
    doubleClick("maps");
    EXPECT_EQ(node("maps")->childCount(), 2);
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, AFailedFolderChangeAnsweredNoListsTheFolderThatWasCurrent) {
    startServer();
    auto& window = open();
    connectToServer();
    fs::remove_all(home_ / "maps");
    boxes_.answerNext(false);
    doubleClick("maps");
    expectRefusalReport(takeBoxes(), "rcd");
    EXPECT_TRUE(window.connected());
    // The listing went on in the login folder, and its entries went below the node.
    EXPECT_EQ(image("maps"), "open");
    EXPECT_EQ(node("maps")->childCount(), 2);
    EXPECT_NE(node("maps/sounds"), nullptr);
}

TEST_F(FtpWindow, AYesDuringAFolderChangeStopsTheDoubleClickThere) {
    startServer();
    auto& window = open();
    connectToServer();
    fs::remove_all(home_ / "maps");
    boxes_.answerNext(true);
    doubleClick("maps");
    // No listing on the closed connection, so no second report.
    expectRefusalReport(takeBoxes(), "rcd");
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_EQ(tree().nodeCount(), 0);
    EXPECT_EQ(enabledControls(), kIdle);
}

TEST_F(FtpWindow, AYesDuringTheFirstListingStopsConnectThere) {
    FtpServerOptions options;
    options.accounts.push_back(account());
    options.accounts.back().permissions = "erw";  // no listing
    startServer(options);
    auto& window = open();
    startSession();
    boxes_.answerNext(true);
    button("cmdConnect")->click();
    expectRefusalReport(takeBoxes(), "FtpFindFirstFile");
    EXPECT_FALSE(window.connected());
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_EQ(tree().nodeCount(), 0);
    EXPECT_EQ(fieldTexts(), (Texts{"", "", "", ""}));
}

TEST_F(FtpWindow, ANoDuringTheFirstListingKeepsTheConnectionAndTheRoot) {
    FtpServerOptions options;
    options.accounts.push_back(account());
    options.accounts.back().permissions = "erw";
    startServer(options);
    auto& window = open();
    startSession();
    boxes_.answerNext(false);
    button("cmdConnect")->click();
    expectRefusalReport(takeBoxes(), "FtpFindFirstFile");
    EXPECT_TRUE(window.connected());
    EXPECT_EQ(tree().nodeCount(), 1);
    EXPECT_EQ(image(), "root");
}

TEST_F(FtpWindow, ANameListedTwiceGetsOneNode) {
    FtpServerOptions options;
    options.cannedListing =
        "drwxr-xr-x   2 owner    group        4096 Jan 01 12:00 maps\r\n"
        "-rw-r--r--   1 owner    group           5 Jan 01 12:00 a.txt\r\n"
        "-rw-r--r--   1 owner    group           5 Jan 01 12:00 a.txt\r\n"
        "drwxr-xr-x   2 owner    group        4096 Jan 01 12:00 maps\r\n";
    startServer(options);
    auto& window = open();
    connectToServer();
    EXPECT_EQ(window.listing().size(), 4u);
    EXPECT_EQ(childTexts(),
              (Texts{nodePath("maps").toStdString(), nodePath("a.txt").toStdString()}));
    EXPECT_TRUE(takeBoxes().empty());
    // The same listing below maps: every name is new there.
    doubleClick("maps");
    EXPECT_EQ(node("maps")->childCount(), 2);
}

TEST_F(FtpWindow, AListingOfMoreThan32767EntriesStopsThereAndSaysSo) {
    std::string listing;
    for (int i = 0; i < 32800; ++i) {
        listing +=
            "-rw-r--r--   1 owner    group           5 Jan 01 12:00 f" + std::to_string(i) + "\r\n";
    }
    FtpServerOptions options;
    options.cannedListing = listing;
    startServer(options);
    auto& window = open();
    connectToServer();
    EXPECT_EQ(takeBoxes(), Texts{frmFTP::truncatedListingText().toStdString()});
    EXPECT_EQ(window.listing().size(), 32767u);
    EXPECT_EQ(node()->childCount(), 32767);
    EXPECT_NE(node("f32766"), nullptr);
    EXPECT_EQ(node("f32767"), nullptr);
}

// ---- Transfers ----------------------------------------------------------------------------

TEST_F(FtpWindow, GetReplacesALocalFileOfTheSameName) {
    startServer();
    writeFile(local_ / "readme.txt", "old and longer contents");
    open();
    connectToServer();
    select("readme.txt");
    button("cmdGet")->click();
    EXPECT_TRUE(takeBoxes().empty());
    EXPECT_EQ(readFile(local_ / "readme.txt"), "read me\n");
    EXPECT_EQ(localFiles(), Names{"readme.txt"});
}

TEST_F(FtpWindow, GetFetchesFromTheNodesFolderIntoTheLocalFolder) {
    startServer();
    open();
    connectToServer();
    doubleClick("maps");
    select("maps/b.uz");
    button("cmdGet")->click();
    EXPECT_TRUE(takeBoxes().empty());
    EXPECT_EQ(readFile(local_ / "b.uz"), "map b");
    EXPECT_EQ(localFiles(), Names{"b.uz"}) << "the file list shows it at once";
}

TEST_F(FtpWindow, GetWithAFolderSelectedAsksTheServerForAFileOfThatName) {
    startServer();
    auto& window = open();
    connectToServer();
    select("maps");
    boxes_.answerNext(false);
    button("cmdGet")->click();
    expectRefusalReport(takeBoxes(), "FtpGetFile");
    EXPECT_TRUE(window.connected());
    EXPECT_TRUE(localFiles().empty());
}

TEST_F(FtpWindow, GetWithTheRootSelectedHasNoFolderToChangeTo) {
    startServer();
    open();
    connectToServer();
    select("");
    boxes_.answerNext(false);
    button("cmdGet")->click();
    Texts boxes = takeBoxes();
    ASSERT_EQ(boxes.size(), 3u) << ::testing::PrintToString(boxes);
    EXPECT_EQ(boxes[0], frmFTP::kNoDirectoryText);
    expectRefusalReport({boxes[1], boxes[2]}, "FtpGetFile");
}

TEST_F(FtpWindow, AYesDuringAGetStopsTheGetThere) {
    startServer();
    writeFile(local_ / "readme.txt", "kept");
    auto& window = open();
    connectToServer();
    fs::remove(home_ / "readme.txt");
    select("readme.txt");
    boxes_.answerNext(true);
    button("cmdGet")->click();
    expectRefusalReport(takeBoxes(), "FtpGetFile");
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_EQ(tree().nodeCount(), 0);
    EXPECT_EQ(readFile(local_ / "readme.txt"), "kept") << "a failed download leaves it alone";
}

TEST_F(FtpWindow, AYesDuringTheFolderChangeOfAGetStopsBeforeTheDownload) {
    startServer();
    auto& window = open();
    connectToServer();
    doubleClick("maps");
    doubleClick("sounds");  // the connection's folder is /sounds now
    EXPECT_EQ(takeBoxes(), Texts{frmFTP::kEmptyDirectoryText});
    fs::remove_all(home_ / "maps");
    select("maps/a.uz");
    boxes_.answerNext(true);
    button("cmdGet")->click();
    expectRefusalReport(takeBoxes(), "rcd");
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_TRUE(localFiles().empty());
}

TEST_F(FtpWindow, NamesThatCouldLeaveTheLocalFolderAreNotDownloaded) {
    fs::create_directories(local_ / "inner");
    FtpServerOptions options;
    options.cannedListing =
        "-rw-r--r--   1 owner    group           5 Jan 01 12:00 ..\r\n"
        "-rw-r--r--   1 owner    group           5 Jan 01 12:00 .\r\n"
        "-rw-r--r--   1 owner    group           5 Jan 01 12:00 ..\\up.txt\r\n"
        "-rw-r--r--   1 owner    group           8 Jan 01 12:00 readme.txt\r\n";
    startServer(options);
    open();
    control<widgets::FolderList>("Dir1")->setPath(q((local_ / "inner").string()));
    connectToServer();
    Names outside = contents(dir_ / "c");
    for (const char* name : {"..", ".", "..\\up.txt"}) {
        select(name);
        button("cmdGet")->click();
        EXPECT_EQ(takeBoxes(), Texts{frmFTP::notPlainNameText(name).toStdString()}) << name;
    }
    EXPECT_EQ(contents(dir_ / "c"), outside) << "nothing was written";
    // A plain name from the same listing still comes down.
    select("readme.txt");
    button("cmdGet")->click();
    EXPECT_TRUE(takeBoxes().empty());
    EXPECT_EQ(readFile(local_ / "inner" / "readme.txt"), "read me\n");
}

TEST_F(FtpWindow, PutIntoAClosedFolderOpensAndListsIt) {
    startServer();
    writeFile(local_ / "DM-New.unr.uz", std::string("\x00\x01uz\r\n\xff", 7));
    open();
    connectToServer();
    chooseLocalFile("DM-New.unr.uz");
    select("maps");
    button("cmdPut")->click();
    EXPECT_TRUE(takeBoxes().empty());
    EXPECT_EQ(readFile(home_ / "maps" / "DM-New.unr.uz"), std::string("\x00\x01uz\r\n\xff", 7));
    EXPECT_EQ(image("maps"), "open");
    EXPECT_EQ(node("maps")->childCount(), 3);
    EXPECT_EQ(image("maps/DM-New.unr.uz"), "leaf");
}

TEST_F(FtpWindow, PutIntoAnOpenFolderListsItAgain) {
    startServer();
    writeFile(local_ / "c.uz", "c");
    open();
    connectToServer();
    doubleClick("maps");
    chooseLocalFile("c.uz");
    select("maps");
    button("cmdPut")->click();
    EXPECT_EQ(image("maps"), "open");
    EXPECT_EQ(node("maps")->childCount(), 3);
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, PutOntoTheRootUploadsIntoTheServersRoot) {
    startServer();
    writeFile(local_ / "top.uz", "top");
    open();
    connectToServer();
    doubleClick("maps");  // the connection's folder is /maps now
    chooseLocalFile("top.uz");
    select("");
    button("cmdPut")->click();
    EXPECT_TRUE(takeBoxes().empty());
    EXPECT_EQ(readFile(home_ / "top.uz"), "top");
    EXPECT_FALSE(fs::exists(home_ / "maps" / "top.uz"));
    EXPECT_EQ(image(), "root");
    EXPECT_EQ(childTexts().size(), 4u) << "the root was listed again";
    EXPECT_EQ(image("maps"), "closed");
}

TEST_F(FtpWindow, PutOntoTheRootOfAnEmptyListingAddsNoSecondRoot) {
    FtpServerOptions options;
    options.cannedListing = "";
    startServer(options);
    writeFile(local_ / "x.uz", "x");
    open();
    connectToServer();
    EXPECT_EQ(takeBoxes(), Texts{frmFTP::kEmptyDirectoryText});
    chooseLocalFile("x.uz");
    select("");
    button("cmdPut")->click();
    EXPECT_EQ(takeBoxes(), Texts{frmFTP::kEmptyDirectoryText});
    EXPECT_EQ(tree().topLevelItemCount(), 1);
    EXPECT_EQ(readFile(home_ / "x.uz"), "x");
}

TEST_F(FtpWindow, AYesDuringAPutStopsThePutThere) {
    FtpServerOptions options;
    options.accounts.push_back(account());
    options.accounts.back().readOnlyFolders = {home_ / "maps"};
    startServer(options);
    writeFile(local_ / "x.uz", "x");
    auto& window = open();
    connectToServer();
    chooseLocalFile("x.uz");
    select("maps");
    boxes_.answerNext(true);
    button("cmdPut")->click();
    expectRefusalReport(takeBoxes(), "FtpPutFile");
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_EQ(tree().nodeCount(), 0);
    EXPECT_FALSE(fs::exists(home_ / "maps" / "x.uz"));
}

TEST_F(FtpWindow, AFailedPutAnsweredNoLeavesTheNodeAsItWas) {
    FtpServerOptions options;
    options.accounts.push_back(account());
    options.accounts.back().readOnlyFolders = {home_ / "maps"};
    startServer(options);
    writeFile(local_ / "x.uz", "x");
    auto& window = open();
    connectToServer();
    chooseLocalFile("x.uz");
    select("maps");
    boxes_.answerNext(false);
    button("cmdPut")->click();
    expectRefusalReport(takeBoxes(), "FtpPutFile");
    EXPECT_TRUE(window.connected());
    EXPECT_EQ(image("maps"), "closed");
    EXPECT_EQ(node("maps")->childCount(), 0);
}

TEST_F(FtpWindow, AYesDuringTheFolderChangeOfAPutStopsBeforeTheUpload) {
    startServer();
    writeFile(local_ / "x.uz", "x");
    auto& window = open();
    connectToServer();
    fs::remove_all(home_ / "maps");
    chooseLocalFile("x.uz");
    select("maps");
    boxes_.answerNext(true);
    button("cmdPut")->click();
    expectRefusalReport(takeBoxes(), "rcd");
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_FALSE(fs::exists(home_ / "x.uz")) << "not uploaded into the folder that was current";
}

TEST_F(FtpWindow, TheTransferTypeDecidesTheBytes) {
    const std::string text = "one\r\ntwo\r\n";
    const std::string binary = std::string("\x00\r\n\x1a\xff\n", 6);
    struct Case {
        std::vector<const char*> clicks;  // option buttons, in order
        std::uint32_t type;
        std::string got;  // what a download of `text` gives
    };
    const Case cases[] = {
        {{}, 2, text},
        {{"optAscii"}, 1, "one\ntwo\n"},
        {{"optAscii", "optBin"}, 2, text},
        {{"optBin", "optAscii", "optAscii"}, 1, "one\ntwo\n"},
    };
    startServer();
    writeFile(home_ / "text.txt", text);
    writeFile(home_ / "binary.bin", binary);
    auto& window = open();
    connectToServer();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clicks.size());
        for (const char* option : c.clicks) {
            button(option)->click();
        }
        EXPECT_EQ(window.transferType(), c.type);
        select("text.txt");
        button("cmdGet")->click();
        EXPECT_EQ(readFile(local_ / "text.txt"), c.got);
        button("optBin")->click();
    }
    // Binary moves every byte as it is, both ways.
    select("binary.bin");
    button("cmdGet")->click();
    EXPECT_EQ(readFile(local_ / "binary.bin"), binary);
    fs::rename(local_ / "binary.bin", local_ / "back.bin");
    chooseLocalFile("back.bin");
    select("");
    button("cmdPut")->click();
    EXPECT_EQ(readFile(home_ / "back.bin"), binary);
    // An ASCII upload gives the server its own line ends.
    writeFile(local_ / "lines.txt", text);
    button("optAscii")->click();
    chooseLocalFile("lines.txt");
    select("");
    button("cmdPut")->click();
    EXPECT_EQ(readFile(home_ / "lines.txt"), "one\ntwo\n");
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, EveryRefusalHasItsMessage) {
    struct Case {
        const char* what;
        std::function<void()> setUp;
        const char* command;
        Texts expected;
    };
    auto connected = [this] { connectToServer(); };
    const Case cases[] = {
        // Get and Put are disabled then; their handlers refuse all the same.
        {"get without a connection",
         [this] { startSession(); },
         "cmdGet",
         {frmFTP::kNoSessionText}},
        {"get without a node",
         [this, connected] {
             connected();
             tree().clearSelection();
         },
         "cmdGet",
         {frmFTP::kSelectGetText}},
        {"put without a connection", [this] { startSession(); }, "cmdPut", {}},
        {"put without a node",
         [this, connected] {
             connected();
             tree().clearSelection();
             chooseLocalFile("x.uz");
         },
         "cmdPut",
         {frmFTP::kSelectPutFolderText}},
        {"put onto a file",
         [this, connected] {
             connected();
             select("readme.txt");
             chooseLocalFile("x.uz");
         },
         "cmdPut",
         {frmFTP::kSelectPutFolderText}},
        {"put without a local file",
         [this, connected] {
             connected();
             select("maps");
         },
         "cmdPut",
         {frmFTP::kSelectLocalFileText}},
        {"put with a server name longer than the node's text",
         [this, connected] {
             connected();
             select("");
             chooseLocalFile("x.uz");
             textBox("txtServer")->setText(nodePath() + "/more");
         },
         "cmdPut",
         {frmFTP::kSelectPutFolderText}},
        {"connect without a server name",
         [this] {
             startSession();
             textBox("txtServer")->clear();
         },
         "cmdConnect",
         {frmFTP::kNoServerText}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startServer();
        writeFile(local_ / "x.uz", "x");
        open();
        c.setUp();
        takeBoxes();
        emit button(c.command)->clicked();
        EXPECT_EQ(takeBoxes(), c.expected);
        EXPECT_FALSE(fs::exists(home_ / "x.uz"));
        EXPECT_FALSE(fs::exists(home_ / "maps" / "x.uz"));
        window_.reset();
        server_.reset();
    }
}

// ---- Layout and keyboard ------------------------------------------------------------------

TEST_F(FtpWindow, TheWindowAndItsControls) {
    open(settings::SettingsRecord{});
    EXPECT_EQ(window_->windowTitle(), "Tolvrin's Brindle - FTP");
    EXPECT_EQ(window_->objectName(), "frmFTP");
    EXPECT_EQ(window_->size(), QSize(581, 434));
    EXPECT_TRUE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
    QRect client = window_->rect();
    for (const char* name : kControls) {
        EXPECT_TRUE(client.contains(control<QWidget>(name)->geometry())) << name;
    }
    // Only Put and Get touch, and Put lies above.
    QWidget* get = control<QWidget>("cmdGet");
    QWidget* put = control<QWidget>("cmdPut");
    EXPECT_TRUE(get->geometry().intersects(put->geometry()));
    EXPECT_EQ(window_->childAt(put->geometry().topLeft() + QPoint(10, 0)), put);
    for (const char* a : kControls) {
        for (const char* b : kControls) {
            if (std::string(a) < std::string(b) &&
                !(std::string(a) == "cmdGet" && std::string(b) == "cmdPut")) {
                EXPECT_FALSE(
                    control<QWidget>(a)->geometry().intersects(control<QWidget>(b)->geometry()))
                    << a << " and " << b;
            }
        }
    }
    for (const char* name : {"Label1", "Label2", "Label3", "label4", "Line1"}) {
        EXPECT_EQ(control<QWidget>(name)->focusPolicy(), Qt::NoFocus) << name;
    }
    EXPECT_EQ(control<QWidget>("Line1")->height(), 1);
    // The text boxes are known by their captions.
    const std::pair<const char*, const char*> named[] = {
        {"txtProxy", "TIS Compatible Proxy (No CERN):"},
        {"txtServer", "FTP Server Name:"},
        {"txtUser", "User Name:"},
        {"txtPassword", "Password:"}};
    for (const auto& [box, caption] : named) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(textBox(box));
        ASSERT_NE(accessible, nullptr) << box;
        EXPECT_EQ(accessible->text(QAccessible::Name), caption) << box;
    }
}

TEST_F(FtpWindow, ThePasswordShowsAStarForEveryCharacter) {
    open(settings::SettingsRecord{});
    startSession();
    QLineEdit* password = textBox("txtPassword");
    password->setFocus();
    QTest::keyClicks(password, "abc de");
    EXPECT_EQ(password->text(), "abc de");
    EXPECT_EQ(password->displayText(), "******");
}

TEST_F(FtpWindow, TheOptionButtonsFormOneGroup) {
    auto& window = open(settings::SettingsRecord{});
    startSession();
    auto* bin = control<QRadioButton>("optBin");
    auto* ascii = control<QRadioButton>("optAscii");
    ascii->click();
    EXPECT_TRUE(ascii->isChecked());
    EXPECT_FALSE(bin->isChecked());
    ascii->click();
    EXPECT_TRUE(ascii->isChecked()) << "clicking the chosen one keeps it";
    bin->click();
    EXPECT_TRUE(bin->isChecked());
    EXPECT_FALSE(ascii->isChecked());
    EXPECT_EQ(window.transferType(), 2u);
    // Arrow keys move the choice inside the group.
    bin->setFocus();
    QTest::keyClick(bin, Qt::Key_Down);
    EXPECT_TRUE(ascii->isChecked());
    EXPECT_EQ(window.transferType(), 1u);
}

TEST_F(FtpWindow, TabFollowsTheFocusOrderAndSkipsDisabledControls) {
    startServer();
    auto& window = open();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>("cmdInternetOpen"))
        << "the first control has the focus at first";

    auto tabs = [&](const char* from, int count) {
        control<QWidget>(from)->setFocus();
        Texts names{from};
        for (int i = 0; i < count; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            names.push_back(QApplication::focusWidget()->objectName().toStdString());
        }
        return names;
    };
    EXPECT_EQ(tabs("cmdInternetOpen", 7),
              (Texts{"cmdInternetOpen", "txtProxy", "Drive1", "Dir1", "File1", "TreeView1",
                     "cmdClose", "cmdInternetOpen"}));
    connectToServer();
    EXPECT_EQ(tabs("cmdClosehOpen", 14),
              (Texts{"cmdClosehOpen", "txtServer", "txtUser", "txtPassword", "cmdDisconnect",
                     "chkPassive", "Drive1", "Dir1", "File1", "TreeView1", "cmdGet", "cmdPut",
                     "optBin", "cmdClose", "cmdClosehOpen"}));
}

TEST_F(FtpWindow, EnterAndEscapeClickNoButtonFromOtherControls) {
    startServer();
    auto& window = open();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    startSession();
    for (const char* name :
         {"txtServer", "txtPassword", "chkPassive", "File1", "TreeView1", "Drive1", "optBin"}) {
        QWidget* widget = control<QWidget>(name);
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_Return);
        QTest::keyClick(widget, Qt::Key_Enter);
        QTest::keyClick(widget, Qt::Key_Escape);
        EXPECT_FALSE(window.connected()) << name;
        EXPECT_TRUE(window.sessionOpen()) << name;
        EXPECT_TRUE(window.isVisible()) << name;
    }
    EXPECT_TRUE(takeBoxes().empty());
    // The focused button itself takes Enter.
    QWidget* connect = control<QWidget>("cmdConnect");
    connect->setFocus();
    QTest::keyClick(connect, Qt::Key_Return);
    EXPECT_TRUE(window.connected());
}

}  // namespace
}  // namespace varnox::test
