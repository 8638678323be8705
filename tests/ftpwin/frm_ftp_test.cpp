// The FTP window driven in-process against a real FTP server.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>

#include "ftp/window/frm_ftp.h"
#include "ftp/window/image_list.h"
#include "ftp/window/remote_tree.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/process.h"
#include "platform/services.h"
#include "settings/settings_file.h"
#include "tests/support/files.h"
#include "tests/support/ftp_server.h"
#include "tests/support/temp_dir.h"
#include "widgets/file_lists.h"

// Test failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace varnox::test {
namespace {

namespace fs = std::filesystem;
using ftpwin::frmFTP;
using ftpwin::RemoteTree;
using Names = std::set<std::string>;
using Texts = std::vector<std::string>;

QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

std::string question(const std::string& call, int error) {
    return call + " Err: " + std::to_string(error) + "\r\nClose Connection and Session?";
}

// The two boxes of the report of a request the server refused (12003): the extended box
// with the server's reply ('*' stands for its text), then the question.
Texts refusal(const std::string& call) {
    return {call + " Extd Err: 550 550 *", question(call, 12003)};
}

Names words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

// The controls EnableControls sets, and those enabled in each state.
const Names kControls = words(
    "cmdInternetOpen txtProxy cmdClosehOpen txtServer txtUser txtPassword cmdConnect "
    "cmdDisconnect chkPassive Drive1 Dir1 File1 TreeView1 cmdGet cmdPut optBin optAscii cmdClose");
const Names kIdle = words("Drive1 Dir1 File1 TreeView1 cmdClose cmdInternetOpen txtProxy");
const Names kSessionOpen = words(
    "Drive1 Dir1 File1 TreeView1 cmdClose cmdClosehOpen txtServer txtUser txtPassword "
    "cmdConnect chkPassive optBin optAscii");
const Names kConnected = words(
    "Drive1 Dir1 File1 TreeView1 cmdClose cmdClosehOpen txtServer txtUser txtPassword "
    "cmdDisconnect chkPassive optBin optAscii cmdGet cmdPut");

// An FTP window over a real FTP server. The temporary folder holds:
//   c/, d/      two drives (e: is a drive whose folder is missing, so it is not ready)
//   c/local     the game folder of the settings record, where the local lists start
//   program/    the program folder, with the four tree pictures
//   server/     the server's home: maps/ (a.uz, b.uz), sounds/ (empty), readme.txt
class FtpWindow : public ::testing::Test {
protected:
    static constexpr const char* kUser = "admin";
    static constexpr const char* kPassword = "secret";

    FtpWindow()
        : drives_({{'c', (dir_ / "c").string()},
                   {'d', (dir_ / "d").string()},
                   {'e', (dir_ / "e").string()}}),
          services_{drives_, boxes_, processes_, (dir_ / "program").string(), [] {}} {
        fs::create_directories(dir_ / "d");
        fs::create_directories(dir_ / "program");
        for (const char* picture : {"open.bmp", "closed.bmp", "leaf.bmp", "root.bmp"}) {
            fs::copy_file(builtProgram(picture), dir_ / "program" / picture);
        }
        fillFolders();
    }
    ~FtpWindow() override {
        window_.reset();
        server_.reset();
    }

    // The local folder (with x.uz) and the server's home as at the start.
    void fillFolders() {
        fs::remove_all(local_);
        fs::remove_all(home_);
        fs::create_directories(local_);
        writeFile(local_ / "x.uz", "x");
        fs::create_directories(home_ / "maps");
        fs::create_directories(home_ / "sounds");
        writeFile(home_ / "maps" / "a.uz", "map a");
        writeFile(home_ / "maps" / "b.uz", "map b");
        writeFile(home_ / "readme.txt", "read me\n");
    }
    // For the next case of a table: no window, no server, the folders as at the start.
    void startOver() {
        window_.reset();
        server_.reset();
        fillFolders();
        takeBoxes();
    }

    FtpAccount account() const {
        FtpAccount a;
        a.name = kUser;
        a.password = kPassword;
        a.home = home_;
        return a;
    }
    // Starts the server, with account() when the options name no account.
    void startServer(FtpServerOptions options = {}) {
        if (options.accounts.empty()) {
            options.accounts.push_back(account());
        }
        server_ = std::make_unique<FtpServer>(std::move(options));
    }
    std::string address() const { return server_->address(); }
    // The settings record pointing at the server and at the local folder.
    settings::SettingsRecord record() const {
        settings::SettingsRecord r;
        r.gstServerIp = server_ ? address() : "";
        r.gstUsername = kUser;
        r.gstPassword = kPassword;
        r.gstUTDrive = "c: [" + (dir_ / "c").string() + "]";
        r.gstUTPath = local_.string();
        return r;
    }
    // Creates the window (its load runs) and shows it.
    frmFTP& open(std::optional<settings::SettingsRecord> settings = std::nullopt) {
        window_ = std::make_unique<frmFTP>(services_, settings ? *settings : record());
        window_->show();
        QApplication::processEvents();
        return *window_;
    }

    // Start Internet Session, then Connect to Server.
    void startSession() {
        button("cmdInternetOpen")->click();
        ASSERT_TRUE(window_->sessionOpen());
    }
    void connectToServer() {
        startSession();
        button("cmdConnect")->click();
        ASSERT_TRUE(window_->connected());
    }

    template <typename T = QWidget>
    T* control(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAbstractButton* button(const char* name) { return control<QAbstractButton>(name); }
    QLineEdit* textBox(const char* name) { return control<QLineEdit>(name); }
    RemoteTree& tree() { return window_->tree(); }
    Names enabledControls() {
        Names names;
        for (const std::string& name : kControls) {
            if (control(name.c_str())->isEnabled()) {
                names.insert(name);
            }
        }
        return names;
    }
    Texts fieldTexts() {
        Texts texts;
        for (const char* name : {"txtServer", "txtUser", "txtPassword", "txtProxy"}) {
            texts.push_back(textBox(name)->text().toStdString());
        }
        return texts;
    }

    // The node of a remote path below the server's home ("" for the root node).
    QString nodePath(const std::string& remote = "") const {
        return QString::fromStdString(remote.empty() ? address() : address() + "/" + remote);
    }
    QTreeWidgetItem* node(const std::string& remote = "") { return tree().node(nodePath(remote)); }
    std::string image(const std::string& remote = "") {
        QTreeWidgetItem* item = node(remote);
        return item ? RemoteTree::imageOf(item).toStdString() : "(no node " + remote + ")";
    }
    // A node's children as "name picture", sorted; the name is the text after the node's own.
    Texts children(const std::string& remote = "") {
        Texts texts;
        QTreeWidgetItem* parent = node(remote);
        for (int i = 0; parent != nullptr && i < parent->childCount(); ++i) {
            QTreeWidgetItem* child = parent->child(i);
            texts.push_back(child->text(0).mid(nodePath(remote).size() + 1).toStdString() + " " +
                            RemoteTree::imageOf(child).toStdString());
        }
        std::sort(texts.begin(), texts.end());
        return texts;
    }
    bool treeEmpty() { return tree().topLevelItemCount() == 0 && tree().nodeCount() == 0; }

    void select(const std::string& remote) {
        QTreeWidgetItem* item = node(remote);
        ASSERT_NE(item, nullptr) << remote;
        tree().setCurrentItem(item);
        ASSERT_EQ(tree().selectedNode(), item);
    }
    // A double-click on a node, or on empty space below the nodes; a widget receives it as a
    // press, a release and the double-click.
    void doubleClick(const std::string& remote) {
        QTreeWidgetItem* item = node(remote);
        ASSERT_NE(item, nullptr) << remote;
        tree().scrollToItem(item);
        doubleClickAt(tree().visualItemRect(item).center());
    }
    void doubleClickEmptySpace() {
        QPoint at(tree().viewport()->width() / 2, tree().viewport()->height() - 3);
        ASSERT_EQ(tree().itemAt(at), nullptr) << "the tree is full down to its bottom";
        doubleClickAt(at);
    }
    void doubleClickAt(QPoint at) {
        QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(tree().viewport(), Qt::LeftButton, {}, at);
    }
    // Chooses a file in File1 as a click does.
    void chooseLocalFile(const std::string& name) {
        auto* files = control<widgets::FileList>("File1");
        files->refresh();
        auto found = files->findItems(QString::fromStdString(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        files->setCurrentItem(found.front());
    }
    void get(const std::string& remote) {
        select(remote);
        button("cmdGet")->click();
    }
    void put(const std::string& file, const std::string& remote) {
        chooseLocalFile(file);
        select(remote);
        button("cmdPut")->click();
    }
    Names localFiles() {
        Names names;
        auto* files = control<widgets::FileList>("File1");
        for (int i = 0; i < files->count(); ++i) {
            names.insert(files->item(i)->text().toStdString());
        }
        return names;
    }

    // The message boxes shown since the last call, as text, and forgets them.
    Texts takeBoxes() {
        Texts texts;
        for (const QString& text : boxes_.texts()) {
            texts.push_back(text.toStdString());
        }
        boxes_.clear();
        return texts;
    }
    // Takes the boxes and compares them with expected; a text ending in '*' stands for any
    // text that starts with the rest.
    void expectBoxes(const Texts& expected) {
        Texts boxes = takeBoxes();
        bool same = boxes.size() == expected.size();
        for (std::size_t i = 0; same && i < boxes.size(); ++i) {
            const std::string& e = expected[i];
            same =
                e.ends_with('*') ? boxes[i].starts_with(e.substr(0, e.size() - 1)) : boxes[i] == e;
        }
        EXPECT_TRUE(same) << ::testing::PrintToString(boxes) << "\ninstead of "
                          << ::testing::PrintToString(expected);
    }

    TempDir dir_;
    const fs::path local_ = dir_ / "c" / "local";
    const fs::path home_ = dir_ / "server";
    platform::DriveTable drives_;
    platform::ScriptedMessageBoxes boxes_;
    platform::SystemProcessRunner processes_;
    platform::Services services_;
    std::unique_ptr<FtpServer> server_;
    std::unique_ptr<frmFTP> window_;
};

// ---- Load, session and connection ---------------------------------------------------------

TEST_F(FtpWindow, ConnectsWithTheStoredSettingsAndEndsStepByStep) {
    startServer();
    auto& window = open();
    EXPECT_EQ(fieldTexts(), (Texts{address(), kUser, kPassword, ""}));
    EXPECT_EQ(control<widgets::FileList>("File1")->path(), q(local_));
    EXPECT_EQ(localFiles(), Names{"x.uz"});
    EXPECT_EQ(enabledControls(), kIdle);
    button("cmdInternetOpen")->click();
    EXPECT_EQ(enabledControls(), kSessionOpen);
    button("cmdConnect")->click();
    EXPECT_EQ(enabledControls(), kConnected);
    ASSERT_EQ(tree().topLevelItemCount(), 1);
    EXPECT_EQ(node(), tree().topLevelItem(0));
    EXPECT_EQ(node()->text(0), nodePath());
    EXPECT_EQ(image(), "root");
    EXPECT_EQ(children(), (Texts{"maps closed", "readme.txt leaf", "sounds closed"}));
    EXPECT_TRUE(node()->isExpanded()) << "the last entry was made visible";

    // Disconnect and Close Internet Session remove the root node, even when the server box
    // was edited meanwhile.
    textBox("txtServer")->setText("another.example");
    button("cmdDisconnect")->click();
    EXPECT_TRUE(window.sessionOpen());
    EXPECT_TRUE(treeEmpty());
    EXPECT_TRUE(window.listing().empty());
    EXPECT_EQ(fieldTexts(), (Texts{"another.example", kUser, kPassword, ""}));
    EXPECT_EQ(enabledControls(), kSessionOpen);
    textBox("txtServer")->setText(nodePath());
    writeFile(home_ / "new.txt", "n");
    button("cmdConnect")->click();
    EXPECT_EQ(children().size(), 4u) << "listed anew";
    textBox("txtServer")->setText("another.example");
    button("cmdClosehOpen")->click();
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_FALSE(window.connected());
    EXPECT_TRUE(treeEmpty());
    EXPECT_EQ(fieldTexts(), (Texts{"", "", "", ""}));
    EXPECT_EQ(enabledControls(), kIdle);
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, LoadReportsAFolderItCannotShowAndSendsAnUnknownDriveToC) {
    const std::string removed = (dir_ / "c" / "Removed").string();
    const std::pair<std::string, std::string> cases[] = {
        {record().gstUTDrive, removed}, {"e:", ""}, {"z:", ""}};
    for (const auto& [drive, path] : cases) {
        auto settings = record();
        settings.gstUTDrive = drive;
        settings.gstUTPath = path;
        auto& window = open(settings);
        if (path.empty()) {
            EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(dir_ / "c")) << drive;
        }
        expectBoxes(path.empty() ? Texts{} : Texts{"Error 76: Path not found: " + removed});
        EXPECT_TRUE(control<widgets::DriveList>("Drive1")->drive().startsWith("c:")) << drive;
        EXPECT_EQ(window.transferType(), 2u) << "the load went on";
        EXPECT_EQ(enabledControls(), kIdle);
    }
}

TEST_F(FtpWindow, LoadReportsAMissingPictureAndMakesTheGreyOfTheOthersTransparent) {
    fs::remove(dir_ / "program" / "leaf.bmp");
    open(settings::SettingsRecord{});
    expectBoxes({"Error 53: File not found: " + (dir_ / "program" / "leaf.bmp").string()});
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(enabledControls(), kIdle);
    // Empty settings leave the fields empty and the lists where they are.
    EXPECT_EQ(fieldTexts(), Texts(4));
    EXPECT_EQ(control<widgets::FolderList>("Dir1")->path(), q(platform::currentFolder()));
    auto* images = control<ftpwin::ImageList>("ImageList1");
    EXPECT_EQ(images->count(), 3);
    for (const char* key : {"open", "closed", "root"}) {
        QImage picture = images->picture(key).toImage();
        ASSERT_EQ(picture.size(), QSize(16, 16)) << key;
        EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0) << key << ": the corners are the grey";
        int opaque = 0;
        for (int i = 0; i < 16 * 16; ++i) {
            opaque += qAlpha(picture.pixel(i % 16, i / 16)) == 255 ? 1 : 0;
        }
        EXPECT_GT(opaque, 20) << key << " keeps its drawing";
    }
}

TEST_F(FtpWindow, AFailedConnectAnsweredNoKeepsTheSessionAndYesEndsIt) {
    ClosedPort closed;
    startServer();
    struct Case {
        std::string server;
        std::string password;
        bool yes;
        int error;
    };
    const Case cases[] = {
        {"127.0.0.1:" + std::to_string(closed.port()), kPassword, false, 12029},
        {address(), "wrong", true, 12014},  // login refused
    };
    for (const Case& c : cases) {
        auto settings = record();
        settings.gstServerIp = c.server;
        settings.gstPassword = c.password;
        auto& window = open(settings);
        startSession();
        boxes_.answerNext(c.yes);
        button("cmdConnect")->click();
        expectBoxes({question("InternetConnect", c.error)});
        EXPECT_EQ(window.sessionOpen(), !c.yes);
        EXPECT_FALSE(window.connected());
        EXPECT_EQ(enabledControls(), c.yes ? kIdle : kSessionOpen);
        EXPECT_EQ(fieldTexts(), c.yes ? Texts(4) : (Texts{c.server, kUser, c.password, ""}));
        EXPECT_TRUE(treeEmpty());
    }
}

TEST_F(FtpWindow, AProxyTextOfOneBlankAsksForThatProxy) {
    auto& window = open();
    textBox("txtProxy")->setText(" ");
    boxes_.answerNext(false);
    button("cmdInternetOpen")->click();
    // A blank names no gateway host, so the session cannot open.
    expectBoxes({question("InternetOpen", 87)});
    EXPECT_FALSE(window.sessionOpen());
    EXPECT_EQ(enabledControls(), kSessionOpen) << "offered all the same";
    button("cmdConnect")->click();
    EXPECT_FALSE(window.connected()) << "no session: Connect does nothing";
    EXPECT_TRUE(takeBoxes().empty());
}

// ---- The remote tree ---------------------------------------------------------------------

TEST_F(FtpWindow, DoubleClicksOpenAndCloseFoldersAndListThemAnewEachTime) {
    fs::create_directories(home_ / "maps" / "sub");
    writeFile(home_ / "maps" / "sub" / "x.uz", "x");
    startServer();
    open();
    connectToServer();
    doubleClick("");
    doubleClick("readme.txt");
    EXPECT_EQ(tree().nodeCount(), 4) << "the root and files do not open";
    select("maps");
    doubleClickEmptySpace();
    EXPECT_EQ(image("maps"), "open") << "empty space acts on the selected node";
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "sub closed"}));
    doubleClick("maps/sub");
    EXPECT_EQ(children("maps/sub"), Texts{"x.uz leaf"});
    // A folder beside it is changed to by its path from the root, not from the current one.
    doubleClick("sounds");
    expectBoxes({frmFTP::kEmptyDirectoryText});
    EXPECT_EQ(image("sounds"), "open");
    doubleClick("sounds");
    EXPECT_EQ(image("sounds"), "closed");

    writeFile(home_ / "maps" / "c.uz", "map c");
    doubleClick("maps");
    EXPECT_EQ(image("maps"), "closed");
    EXPECT_EQ(node("maps")->childCount(), 0);
    EXPECT_EQ(node("maps/a.uz"), nullptr) << "the keys went with the nodes";
    doubleClick("maps");
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "c.uz leaf", "sub closed"}));
    // Users cannot collapse nodes themselves.
    select("");
    QTest::keyClick(&tree(), Qt::Key_Left);
    EXPECT_TRUE(node()->isExpanded());
    EXPECT_TRUE(takeBoxes().empty());
}

// Servers close a control connection that stayed idle, with a "421" reply. The next
// command meets the closed connection and reports it; the window goes on.
TEST_F(FtpWindow, OutlivesAServerThatClosedTheIdleConnection) {
    FtpServerOptions options;
    options.idleTimeoutSeconds = 1;
    startServer(options);
    open();
    connectToServer();
    auto waitForTheServerToHangUp = [] { QTest::qWait(2500); };
    doubleClick("maps");
    doubleClick("maps");
    EXPECT_EQ(image("maps"), "closed");
    waitForTheServerToHangUp();
    boxes_.answerNext(false);
    doubleClick("maps");
    expectBoxes({question("rcd", 12002)});
    EXPECT_EQ(image("maps"), "open");

    waitForTheServerToHangUp();
    boxes_.answerNext(false);
    put("x.uz", "maps");
    expectBoxes({question("rcd", 12002)});
    ASSERT_TRUE(window_->connected());
    EXPECT_EQ(image(), "root");
}

// 32767 entries are listed whole; one more is cut off with a message.
TEST_F(FtpWindow, AListingOfMoreThan32767EntriesStopsThereAndSaysSo) {
    for (int count : {32767, 32768}) {
        FtpServerOptions options;
        options.cannedListing = "";
        for (int i = 0; i < count; ++i) {
            *options.cannedListing +=
                "-rw-r--r--   1 owner    group   5 Jan 01 12:00 f" + std::to_string(i) + "\r\n";
        }
        startServer(options);
        auto& window = open();
        connectToServer();
        expectBoxes(count > 32767 ? Texts{frmFTP::truncatedListingText().toStdString()} : Texts{});
        EXPECT_EQ(window.listing().size(), 32767u);
        EXPECT_EQ(node()->childCount(), 32767);
        EXPECT_NE(node("f32766"), nullptr);
        startOver();
    }
}

// ---- Transfers ----------------------------------------------------------------------------

// A name listed twice gets one node; names that could lead out of the local folder are shown
// but not downloaded.
TEST_F(FtpWindow, ListedNamesAreTakenOnceAndOddOnesNotDownloaded) {
    fs::create_directories(local_ / "inner");
    FtpServerOptions options;
    options.cannedListing =
        "drwxr-xr-x   2 owner    group        4096 Jan 01 12:00 maps\r\n"
        "-rw-r--r--   1 owner    group           5 Jan 01 12:00 ..\r\n"
        "-rw-r--r--   1 owner    group           5 Jan 01 12:00 .\r\n"
        "-rw-r--r--   1 owner    group           5 Jan 01 12:00 ..\\up.txt\r\n"
        "-rw-r--r--   1 owner    group           8 Jan 01 12:00 readme.txt\r\n"
        "-rw-r--r--   1 owner    group           8 Jan 01 12:00 readme.txt\r\n"
        "drwxr-xr-x   2 owner    group        4096 Jan 01 12:00 maps\r\n";
    startServer(options);
    auto& window = open();
    control<widgets::FolderList>("Dir1")->setPath(q(local_ / "inner"));
    connectToServer();
    EXPECT_EQ(window.listing().size(), 7u);
    const Texts nodes = {". leaf", ".. leaf", "..\\up.txt leaf", "maps closed", "readme.txt leaf"};
    EXPECT_EQ(children(), nodes);
    doubleClick("maps");  // the same listing below maps: every name is new there
    EXPECT_EQ(children("maps"), nodes);
    EXPECT_TRUE(takeBoxes().empty());

    auto entries = [this] {
        return std::distance(fs::recursive_directory_iterator(dir_.path()), {});
    };
    const auto before = entries();
    for (const char* name : {"..", ".", "..\\up.txt"}) {
        get(name);
        expectBoxes({frmFTP::notPlainNameText(name).toStdString()});
    }
    EXPECT_EQ(entries(), before) << "nothing was written";
    // A plain name from the same listing still comes down.
    get("readme.txt");
    EXPECT_TRUE(takeBoxes().empty());
    EXPECT_EQ(readFile(local_ / "inner" / "readme.txt"), "read me\n");
}

TEST_F(FtpWindow, PutListsTheFolderItUploadedInto) {
    startServer();
    writeFile(local_ / "c.uz", "c");
    open();
    connectToServer();
    put("c.uz", "maps");  // a closed folder opens
    EXPECT_EQ(readFile(home_ / "maps" / "c.uz"), "c");
    EXPECT_EQ(image("maps"), "open");
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "c.uz leaf"}));
    put("x.uz", "maps");  // an open one is listed again
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "c.uz leaf", "x.uz leaf"}));
    // Onto the root: the connection's folder changes from /maps to "/".
    put("c.uz", "");
    EXPECT_EQ(readFile(home_ / "c.uz"), "c");
    EXPECT_EQ(image(), "root");
    EXPECT_EQ(children(), (Texts{"c.uz leaf", "maps closed", "readme.txt leaf", "sounds closed"}));
    EXPECT_TRUE(takeBoxes().empty());
}

TEST_F(FtpWindow, PutOntoTheRootOfAnEmptyListingAddsNoSecondRoot) {
    FtpServerOptions options;
    options.cannedListing = "";
    startServer(options);
    open();
    connectToServer();
    put("x.uz", "");
    expectBoxes({frmFTP::kEmptyDirectoryText, frmFTP::kEmptyDirectoryText});
    EXPECT_EQ(tree().topLevelItemCount(), 1);
    EXPECT_EQ(readFile(home_ / "x.uz"), "x");
}

TEST_F(FtpWindow, TheTransferTypeDecidesTheBytes) {
    const std::string text = "one\r\ntwo\r\n";
    const std::string binary = std::string("\x00\r\n\x1a\xff\n", 6);
    startServer();
    writeFile(home_ / "text.txt", text);
    writeFile(home_ / "maps" / "binary.bin", binary);
    auto& window = open();
    connectToServer();
    get("text.txt");
    EXPECT_EQ(readFile(local_ / "text.txt"), text) << "binary at first";
    const std::pair<const char*, std::uint32_t> clicks[] = {
        {"optAscii", 1}, {"optBin", 2}, {"optAscii", 1}, {"optAscii", 1}};
    for (const auto& [option, type] : clicks) {
        button(option)->click();
        EXPECT_EQ(window.transferType(), type);
        get("text.txt");
        EXPECT_EQ(readFile(local_ / "text.txt"), type == 1 ? "one\ntwo\n" : text) << option;
    }
    // An ASCII upload gives the server its own line ends.
    writeFile(local_ / "lines.txt", text);
    put("lines.txt", "");
    EXPECT_EQ(readFile(home_ / "lines.txt"), "one\ntwo\n");
    // Binary moves every byte as it is, both ways; a get from a folder node fetches from
    // that folder and the local list shows the file at once.
    button("optBin")->click();
    doubleClick("maps");
    get("maps/binary.bin");
    EXPECT_EQ(readFile(local_ / "binary.bin"), binary);
    EXPECT_EQ(localFiles(), (Names{"binary.bin", "lines.txt", "text.txt", "x.uz"}));
    fs::rename(local_ / "binary.bin", local_ / "back.bin");
    put("back.bin", "");
    EXPECT_EQ(readFile(home_ / "back.bin"), binary);
    EXPECT_TRUE(takeBoxes().empty());
}

// ---- Refusals and the error report --------------------------------------------------------

TEST_F(FtpWindow, EveryRefusalHasItsMessage) {
    enum Stage { kNothing, kSession, kConnected };
    struct Case {
        const char* what;
        Stage stage;
        const char* node;     // selected in the tree ("" the root); nullptr: none
        const char* file;     // chosen in File1; nullptr: none
        const char* command;  // nullptr: a double-click on empty space in the tree
        Texts expected;
        std::function<void()> more = {};  // anything else to set up
    };
    // Get and Put are disabled without a connection; their handlers refuse all the same.
    const Case cases[] = {
        {"double-click without a session",
         kNothing,
         nullptr,
         nullptr,
         nullptr,
         {frmFTP::kNoSessionForTreeText}},
        {"double-click without a node",
         kConnected,
         nullptr,
         nullptr,
         nullptr,
         {frmFTP::kNoSelectionText}},
        {"connect without a server name",
         kSession,
         nullptr,
         nullptr,
         "cmdConnect",
         {frmFTP::kNoServerText},
         [this] { textBox("txtServer")->clear(); }},
        {"get without a connection",
         kSession,
         nullptr,
         nullptr,
         "cmdGet",
         {frmFTP::kNoSessionText}},
        {"put without a connection", kSession, nullptr, "x.uz", "cmdPut", {}},
        {"get without a node", kConnected, nullptr, nullptr, "cmdGet", {frmFTP::kSelectGetText}},
        {"get of the root: no folder to change to",
         kConnected,
         "",
         nullptr,
         "cmdGet",
         {frmFTP::kNoDirectoryText, refusal("FtpGetFile")[0], refusal("FtpGetFile")[1]},
         [this] { boxes_.answerNext(false); }},
        {"put without a node",
         kConnected,
         nullptr,
         "x.uz",
         "cmdPut",
         {frmFTP::kSelectPutFolderText}},
        {"put onto a file",
         kConnected,
         "readme.txt",
         "x.uz",
         "cmdPut",
         {frmFTP::kSelectPutFolderText}},
        {"put without a local file",
         kConnected,
         "maps",
         nullptr,
         "cmdPut",
         {frmFTP::kSelectLocalFileText}},
        {"put with a server name longer than the node's text",
         kConnected,
         "",
         "x.uz",
         "cmdPut",
         {frmFTP::kSelectPutFolderText},
         [this] { textBox("txtServer")->setText(nodePath() + "/more"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startServer();
        open();
        if (c.stage != kNothing) {
            c.stage == kSession ? startSession() : connectToServer();
        }
        tree().clearSelection();
        if (c.node != nullptr) {
            select(c.node);
        }
        if (c.file != nullptr) {
            chooseLocalFile(c.file);
        }
        if (c.more) {
            c.more();
        }
        takeBoxes();
        if (c.command == nullptr) {
            doubleClickEmptySpace();
        } else {
            emit button(c.command)->clicked();
        }
        expectBoxes(c.expected);
        EXPECT_FALSE(fs::exists(home_ / "x.uz"));
        EXPECT_FALSE(fs::exists(home_ / "maps" / "x.uz"));
        startOver();
    }
}

// A request the server refuses (12003) shows the extended box and then asks whether to close
// the connection and the session. Yes ends the handler there: no second report, no nodes.
TEST_F(FtpWindow, ARefusedRequestIsReportedAndTheAnswerDecides) {
    struct Case {
        const char* what;
        bool yes;
        const char* call;
        const char* gone;  // removed from the server's home once connected
        std::function<void()> act;
        std::function<void()> check = {};  // more checks afterwards
    };
    auto putRefused = [this] {
        fs::create_directory(home_ / "maps" / "x.uz");  // no file can be stored there
        put("x.uz", "maps");
    };
    const Case cases[] = {
        // The account may not list, so the first listing after connecting fails.
        {"first listing", true, "FtpFindFirstFile", nullptr, [] {},
         [this] { EXPECT_EQ(fieldTexts(), Texts(4)); }},
        {"first listing", false, "FtpFindFirstFile", nullptr, [] {},
         [this] { EXPECT_EQ(tree().nodeCount(), 1); }},
        {"double-click, server box edited", true, "rcd", "maps",
         [this] {
             textBox("txtServer")->setText("another.example");
             doubleClick("maps");
         }},
        // The listing goes on in the folder that was current, below the node.
        {"double-click", false, "rcd", "maps", [this] { doubleClick("maps"); },
         [this] {
             EXPECT_EQ(children("maps"), (Texts{"readme.txt leaf", "sounds closed"}));
         }},
        {"get", true, "FtpGetFile", "readme.txt", [this] { get("readme.txt"); },
         [this] { EXPECT_EQ(readFile(local_ / "readme.txt"), "kept"); }},
        {"get of a folder", false, "FtpGetFile", nullptr, [this] { get("maps"); },
         [this] {
             EXPECT_EQ(localFiles(), (Names{"readme.txt", "x.uz"}));
         }},
        {"folder change of a get", true, "rcd", nullptr,
         [this] {
             doubleClick("maps");
             doubleClick("sounds");  // the connection's folder is /sounds now
             fs::remove_all(home_ / "maps");
             takeBoxes();
             get("maps/a.uz");
         },
         [this] { EXPECT_FALSE(fs::exists(local_ / "a.uz")); }},
        {"put", true, "FtpPutFile", nullptr, putRefused},
        {"put", false, "FtpPutFile", nullptr, putRefused,
         [this] { EXPECT_EQ(image("maps"), "closed") << "left as it was"; }},
        {"folder change of a put", true, "rcd", "maps", [this] { put("x.uz", "maps"); },
         [this] { EXPECT_FALSE(fs::exists(home_ / "x.uz")) << "not put where it was"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + (c.yes ? ", Yes" : ", No"));
        const bool listing = std::string(c.call) == "FtpFindFirstFile";
        FtpServerOptions options;
        options.accounts.push_back(account());
        options.accounts.back().permissions = listing ? "erw" : "elradfmwMT";
        startServer(options);
        writeFile(local_ / "readme.txt", "kept");
        auto& window = open();
        startSession();
        boxes_.answerNext(c.yes);
        button("cmdConnect")->click();
        if (c.gone != nullptr) {
            fs::remove_all(home_ / c.gone);
        }
        c.act();
        expectBoxes(refusal(c.call));
        if (c.yes) {
            EXPECT_FALSE(window.sessionOpen());
            EXPECT_TRUE(treeEmpty());
            EXPECT_EQ(enabledControls(), kIdle);
        } else {
            EXPECT_TRUE(window.connected());
        }
        if (c.check) {
            c.check();
        }
        startOver();
    }
}

// ---- Keyboard and screen readers ---------------------------------------------------------

TEST_F(FtpWindow, TheKeyboardAndScreenReadersFindTheirWay) {
    startServer();
    auto& window = open();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const std::pair<const char*, const char*> captions[] = {
        {"txtProxy", "TIS Compatible Proxy (No CERN):"},
        {"txtServer", "FTP Server Name:"},
        {"txtUser", "User Name:"},
        {"txtPassword", "Password:"}};
    for (const auto& [box, caption] : captions) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(textBox(box));
        ASSERT_NE(accessible, nullptr) << box;
        EXPECT_EQ(accessible->text(QAccessible::Name), caption) << box;
    }
    startSession();
    // Enter and Escape click no button from other controls; a focused button takes Enter.
    for (const char* name :
         {"txtServer", "txtPassword", "chkPassive", "File1", "TreeView1", "Drive1", "optBin"}) {
        control(name)->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(control(name), key);
        }
        EXPECT_FALSE(window.connected()) << name;
        EXPECT_TRUE(window.isVisible()) << name;
    }
    control("cmdConnect")->setFocus();
    QTest::keyClick(control("cmdConnect"), Qt::Key_Return);
    ASSERT_TRUE(window.connected());
}

}  // namespace
}  // namespace varnox::test
