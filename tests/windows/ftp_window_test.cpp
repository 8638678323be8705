// The FTP window driven in-process against a real FTP server (pyftpdlib on 127.0.0.1).
#include <QAccessible>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <set>
#include <sstream>

#include "tests/support/ftp_server.h"
#include "tests/windows/window_test.h"
#include "windows/ftp_window.h"
#include "windows/ftp_worker.h"
#include "windows/remote_commands.h"
#include "windows/remote_tree.h"

namespace varnox::test {
namespace {

using windows::FtpWindow;
using windows::FtpWorker;
using windows::RemoteCommands;
using windows::RemoteTree;
using Texts = std::vector<std::string>;
using Names = std::set<std::string>;

Names words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

// The controls the enable states set, and those enabled in each state.
const Names kControls = words(
    "cmdInternetOpen txtProxy cmdClosehOpen txtServer txtUser txtPassword cmdConnect "
    "cmdDisconnect chkPassive cmdGet cmdPut optBin optAscii cmdClose");
const Names kIdle = words("cmdClose cmdInternetOpen txtProxy");
const Names kSessionOpen = words(
    "cmdClose cmdClosehOpen txtServer txtUser txtPassword cmdConnect chkPassive optBin optAscii");
const Names kConnected = words(
    "cmdClose cmdClosehOpen txtServer txtUser txtPassword cmdDisconnect chkPassive optBin "
    "optAscii cmdGet cmdPut");

std::string question(const std::string& call, int error) {
    return call + " Err: " + std::to_string(error) + "\r\nClose Connection and Session?";
}

// An FTP window over a server whose home holds maps/ (a.uz, b.uz), sounds/ (empty) and
// readme.txt; the local lists start in c/local, which holds x.uz.
class FtpWindowTest : public WindowTest {
protected:
    static constexpr const char* kUser = "admin";
    static constexpr const char* kPassword = "secret";

    FtpWindowTest() {
        writeFile(local_ / "x.uz", "x");
        writeFile(home_ / "maps" / "a.uz", "map a");
        writeFile(home_ / "maps" / "b.uz", "map b");
        fs::create_directories(home_ / "sounds");
        writeFile(home_ / "readme.txt", "read me\n");
    }
    ~FtpWindowTest() override { window_.reset(); }

    void startServer(FtpServerOptions options = {}) {
        if (options.accounts.empty()) {
            options.accounts.push_back({kUser, kPassword, home_});
        }
        server_ = std::make_unique<FtpServer>(std::move(options));
    }
    settings::Settings settingsFor(std::string server = "") {
        if (server.empty() && server_) {
            server = server_->address();
        }
        return {local_.string(), "c:", server, kUser, kPassword, ""};
    }
    FtpWindow& open(std::optional<settings::Settings> settings = std::nullopt) {
        window_ = std::make_unique<FtpWindow>(services_, settings ? *settings : settingsFor());
        window_->show();
        return *window_;
    }
    void connectToServer() {
        click("cmdInternetOpen");
        click("cmdConnect");
        ASSERT_EQ(window_->session().state(), ftp::Session::State::kConnected)
            << boxes_.take().size();
    }

    template <typename T = QWidget>
    T* control(const char* name) {
        return WindowTest::control<T>(window_.get(), name);
    }
    void click(const char* name) { control<QAbstractButton>(name)->click(); }
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
            texts.push_back(control<QLineEdit>(name)->text().toStdString());
        }
        return texts;
    }

    RemoteTree& tree() { return window_->tree(); }
    // The node of a remote path below the server's home ("" for the root node).
    std::string nodePath(const std::string& remote = "") const {
        return remote.empty() ? server_->address() : server_->address() + "/" + remote;
    }
    QTreeWidgetItem* node(const std::string& remote = "") { return tree().node(nodePath(remote)); }
    std::string image(const std::string& remote = "") {
        QTreeWidgetItem* item = node(remote);
        return item ? RemoteTree::imageOf(item).toStdString() : "(none)";
    }
    // A node's children as "name picture", sorted.
    Texts children(const std::string& remote = "") {
        Texts texts;
        QTreeWidgetItem* parent = node(remote);
        for (int i = 0; parent != nullptr && i < parent->childCount(); ++i) {
            texts.push_back(
                RemoteTree::keyOf(parent->child(i)).substr(nodePath(remote).size() + 1) + " " +
                RemoteTree::imageOf(parent->child(i)).toStdString());
        }
        std::sort(texts.begin(), texts.end());
        return texts;
    }
    void select(const std::string& remote) {
        ASSERT_NE(node(remote), nullptr) << remote;
        tree().setCurrentItem(node(remote));
    }
    // A double-click on a node, or on empty space below the nodes.
    void doubleClick(const std::optional<std::string>& remote) {
        QPoint at(tree().viewport()->width() / 2, tree().viewport()->height() - 3);
        if (remote) {
            ASSERT_NE(node(*remote), nullptr) << *remote;
            tree().scrollToItem(node(*remote));
            at = tree().visualItemRect(node(*remote)).center();
        }
        QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(tree().viewport(), Qt::LeftButton, {}, at);
    }
    void chooseLocalFile(const std::string& name) {
        control<windows::FileList>("File1")->refresh();
        clickFile(control<windows::FileList>("File1"), QString::fromStdString(name));
    }
    void get(const std::string& remote) {
        select(remote);
        click("cmdGet");
    }
    void put(const std::string& file, const std::string& remote) {
        chooseLocalFile(file);
        select(remote);
        click("cmdPut");
    }
    void expectBoxes(const Texts& expected) { EXPECT_EQ(boxes_.take(), expected); }

    const fs::path local_ = dir_ / "c" / "local";
    const fs::path home_ = dir_ / "server";
    std::unique_ptr<FtpServer> server_;
    std::unique_ptr<FtpWindow> window_;
};

TEST_F(FtpWindowTest, ConnectsWithTheStoredSettingsAndEndsStepByStep) {
    startServer();
    open();
    EXPECT_EQ(fieldTexts(), (Texts{server_->address(), kUser, kPassword, ""}));
    EXPECT_EQ(control<windows::FileList>("File1")->folder(), local_);
    EXPECT_EQ(enabledControls(), kIdle);
    click("cmdInternetOpen");
    EXPECT_EQ(enabledControls(), kSessionOpen);
    click("cmdConnect");
    EXPECT_EQ(enabledControls(), kConnected);
    ASSERT_EQ(tree().topLevelItemCount(), 1);
    EXPECT_EQ(image(), "root");
    EXPECT_EQ(children(), (Texts{"maps closed", "readme.txt leaf", "sounds closed"}));

    // Disconnect and Close Internet Session remove the root node, even when the server box
    // was edited meanwhile.
    control<QLineEdit>("txtServer")->setText("another.example");
    click("cmdDisconnect");
    EXPECT_EQ(tree().topLevelItemCount(), 0);
    EXPECT_EQ(enabledControls(), kSessionOpen);
    EXPECT_EQ(fieldTexts(), (Texts{"another.example", kUser, kPassword, ""}));
    control<QLineEdit>("txtServer")->setText(QString::fromStdString(nodePath()));
    click("cmdConnect");
    EXPECT_EQ(children().size(), 3u) << "listed anew";
    control<QLineEdit>("txtServer")->setText("another.example");
    click("cmdClosehOpen");
    EXPECT_EQ(tree().topLevelItemCount(), 0);
    EXPECT_EQ(enabledControls(), kIdle);
    EXPECT_EQ(fieldTexts(), Texts(4));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(FtpWindowTest, LoadReportsWhatItCannotShowAndGoesOn) {
    fs::remove(dir_ / "program" / "leaf.bmp");
    open(settings::Settings{(dir_ / "c" / "Removed").string(), "z:", "", "", "", ""});
    expectBoxes({"Error 76: Path not found: " + (dir_ / "c" / "Removed").string(),
                 "Error 53: File not found: " + (dir_ / "program" / "leaf.bmp").string()});
    EXPECT_TRUE(control<windows::DriveList>("Drive1")->drive().starts_with("c:"))
        << "an unknown drive sends the lists to c:";
    EXPECT_EQ(enabledControls(), kIdle);
}

TEST_F(FtpWindowTest, AFailedStartOrConnectIsReportedAndTheAnswerDecides) {
    LocalPort closed(false);
    startServer();
    const std::tuple<std::string, const char*, bool, int> cases[] = {
        {"127.0.0.1:" + std::to_string(closed.port()), kPassword, false, 12029},
        {server_->address(), "wrong", true, 12014},  // login refused
    };
    for (const auto& [server, password, yes, error] : cases) {
        settings::Settings settings = settingsFor(server);
        settings.password = password;
        open(settings);
        click("cmdInternetOpen");
        boxes_.answerNext(yes);
        click("cmdConnect");
        expectBoxes({question("InternetConnect", error)});
        EXPECT_EQ(enabledControls(), yes ? kIdle : kSessionOpen);
        EXPECT_EQ(fieldTexts(), yes ? Texts(4) : (Texts{server, kUser, password, ""}));
        EXPECT_EQ(tree().topLevelItemCount(), 0);
    }
    open();
    control<QLineEdit>("txtProxy")->setText(" ");  // a blank names no gateway
    boxes_.answerNext(false);
    click("cmdInternetOpen");
    expectBoxes({question("InternetOpen", 87)});
    EXPECT_EQ(enabledControls(), kSessionOpen) << "offered all the same";
    click("cmdConnect");
    EXPECT_TRUE(boxes_.empty()) << "no session: Connect does nothing";
}

TEST_F(FtpWindowTest, DoubleClicksOpenAndCloseFoldersAndListThemAnewEachTime) {
    writeFile(home_ / "maps" / "sub" / "x.uz", "x");
    startServer();
    open();
    connectToServer();
    doubleClick("");
    doubleClick("readme.txt");
    EXPECT_EQ(tree().nodeCount(), 4) << "the root and files do not open";
    select("maps");
    doubleClick(std::nullopt);
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "sub closed"}))
        << "empty space acts on the selected node";
    doubleClick("maps/sub");
    EXPECT_EQ(children("maps/sub"), Texts{"x.uz leaf"});
    doubleClick("sounds");
    expectBoxes({RemoteCommands::kEmptyDirectoryText});
    EXPECT_EQ(image("sounds"), "open");

    writeFile(home_ / "maps" / "c.uz", "map c");
    doubleClick("maps");
    EXPECT_EQ(image("maps"), "closed");
    EXPECT_EQ(node("maps/a.uz"), nullptr) << "the keys went with the nodes";
    doubleClick("maps");
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "c.uz leaf", "sub closed"}));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(FtpWindowTest, GetAndPutMoveTheBytesTheTransferTypeSaysAndListTheFolderAgain) {
    startServer();
    writeFile(home_ / "text.txt", "one\r\ntwo\r\n");
    writeFile(local_ / "c.uz", std::string("\0\r\n\x1a", 4));
    open();
    connectToServer();
    put("c.uz", "maps");  // a closed folder opens
    EXPECT_EQ(readFile(home_ / "maps" / "c.uz"), std::string("\0\r\n\x1a", 4));
    EXPECT_EQ(image("maps"), "open");
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "c.uz leaf"}));
    put("x.uz", "");  // onto the root
    EXPECT_EQ(readFile(home_ / "x.uz"), "x");
    EXPECT_EQ(image(), "root");

    get("text.txt");
    EXPECT_EQ(readFile(local_ / "text.txt"), "one\r\ntwo\r\n") << "binary at first";
    click("optAscii");
    EXPECT_EQ(window_->transferType(), ftp::TransferType::kAscii);
    get("text.txt");
    EXPECT_EQ(readFile(local_ / "text.txt"), "one\ntwo\n") << "the old file replaced";
    EXPECT_EQ(control<windows::FileList>("File1")->count(), 3) << "the list shows it at once";
    click("optBin");
    doubleClick("maps");  // listed anew under the root, closed
    get("maps/a.uz");
    EXPECT_EQ(readFile(local_ / "a.uz"), "map a");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(FtpWindowTest, NamesThatCouldLeaveTheLocalFolderAreNotDownloaded) {
    FtpServerOptions options;
    options.cannedListing =
        "-rw-r--r--   1 owner    group           5 Jan 01 12:00 ..\r\n"
        "-rw-r--r--   1 owner    group           5 Jan 01 12:00 ..\\up.txt\r\n"
        "-rw-r--r--   1 owner    group           8 Jan 01 12:00 readme.txt\r\n"
        "-rw-r--r--   1 owner    group           8 Jan 01 12:00 readme.txt\r\n";
    startServer(options);
    open();
    connectToServer();
    EXPECT_EQ(children(), (Texts{".. leaf", "..\\up.txt leaf", "readme.txt leaf"}));
    for (const char* name : {"..", "..\\up.txt"}) {
        get(name);
        expectBoxes({RemoteCommands::notPlainNameText(name).toStdString()});
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "c"), {}), 1) << "nothing written";
}

TEST_F(FtpWindowTest, EveryRefusalHasItsMessage) {
    const std::string refusedGet = "FtpGetFile Extd Err: 550 550 ";
    const struct {
        const char* what;
        bool connected;
        const char* node;     // selected in the tree ("" the root); nullptr: none
        const char* file;     // chosen in File1; nullptr: none
        const char* command;  // nullptr: a double-click on empty space in the tree
        Texts expected;
    } cases[] = {
        {"double-click without a session",
         false,
         nullptr,
         nullptr,
         nullptr,
         {RemoteCommands::kNoSessionForTreeText}},
        {"double-click without a node",
         true,
         nullptr,
         nullptr,
         nullptr,
         {RemoteCommands::kNoSelectionText}},
        {"get without a connection",
         false,
         nullptr,
         nullptr,
         "cmdGet",
         {RemoteCommands::kNoSessionText}},
        {"put without a connection", false, nullptr, "x.uz", "cmdPut", {}},
        {"get without a node", true, nullptr, nullptr, "cmdGet", {RemoteCommands::kSelectGetText}},
        {"put onto a file",
         true,
         "readme.txt",
         "x.uz",
         "cmdPut",
         {RemoteCommands::kSelectPutFolderText}},
        {"put without a local file",
         true,
         "maps",
         nullptr,
         "cmdPut",
         {RemoteCommands::kSelectLocalFileText}},
    };
    startServer();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open();
        click("cmdInternetOpen");
        if (c.connected) {
            click("cmdConnect");
        }
        tree().clearSelection();
        if (c.node != nullptr) {
            select(c.node);
        }
        if (c.file != nullptr) {
            chooseLocalFile(c.file);
        }
        boxes_.take();
        if (c.command == nullptr) {
            doubleClick(std::nullopt);
        } else {
            emit control<QAbstractButton>(c.command)->clicked();
        }
        expectBoxes(c.expected);
    }
    // The root node has no folder part: the get is tried where the connection is.
    select("");
    boxes_.answerNext(false);
    click("cmdGet");
    const Texts boxes = boxes_.take();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0], RemoteCommands::kNoDirectoryText);
    EXPECT_EQ(boxes[1].rfind(refusedGet, 0), 0u) << boxes[1];
    EXPECT_EQ(boxes[2], question("FtpGetFile", 12003));
    control<QLineEdit>("txtServer")->setText(QString::fromStdString(nodePath() + "/more"));
    put("x.uz", "");
    expectBoxes({RemoteCommands::kSelectPutFolderText});  // a server box longer than the node
    EXPECT_EQ(std::distance(fs::directory_iterator(home_), {}), 3) << "nothing was put";
}

// A request the server refuses (12003) shows the extended box and then asks whether to close
// the connection and the session. Yes ends the command there: no second report, no nodes.
TEST_F(FtpWindowTest, ARefusedRequestIsReportedAndTheAnswerDecides) {
    startServer();
    for (bool yes : {false, true}) {
        open();
        connectToServer();
        fs::remove_all(home_ / "maps");
        boxes_.answerNext(yes);
        doubleClick("maps");
        const Texts boxes = boxes_.take();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].rfind("rcd Extd Err: 550 550 ", 0), 0u) << boxes[0];
        EXPECT_EQ(boxes[1], question("rcd", 12003));
        EXPECT_EQ(enabledControls(), yes ? kIdle : kConnected);
        EXPECT_EQ(tree().topLevelItemCount(), yes ? 0 : 1);
        fs::create_directories(home_ / "maps");
    }
}

// Servers close a control connection that stayed idle, with a "421" reply. The next
// command logs in anew and works in the folder it names, without a report.
TEST_F(FtpWindowTest, GoesOnWhereItWasAfterTheServerClosedTheIdleConnection) {
    FtpServerOptions options;
    options.idleTimeoutSeconds = 1;
    startServer(options);
    open();
    connectToServer();
    doubleClick("maps");
    doubleClick("maps");
    QTest::qWait(2500);
    doubleClick("maps");
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf"}));
    QTest::qWait(2500);
    put("x.uz", "maps");
    EXPECT_EQ(readFile(home_ / "maps" / "x.uz"), "x") << "in the folder named, not the root";
    EXPECT_FALSE(fs::exists(home_ / "x.uz"));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(FtpWindowTest, TheKeyboardAndScreenReadersFindTheirWay) {
    startServer();
    open();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    const std::pair<const char*, const char*> captions[] = {
        {"txtProxy", "TIS Compatible Proxy (No CERN):"},
        {"txtServer", "FTP Server Name:"},
        {"txtUser", "User Name:"},
        {"txtPassword", "Password:"}};
    for (const auto& [box, caption] : captions) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control(box));
        EXPECT_EQ(accessible->text(QAccessible::Name), caption) << box;
    }
    click("cmdInternetOpen");
    for (const char* name : {"txtServer", "chkPassive", "File1", "TreeView1", "Drive1", "optBin"}) {
        control(name)->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(control(name), key);
        }
        EXPECT_EQ(window_->session().state(), ftp::Session::State::kOpen) << name;
    }
    control("cmdConnect")->setFocus();
    QTest::keyClick(control("cmdConnect"), Qt::Key_Return);
    EXPECT_EQ(window_->session().state(), ftp::Session::State::kConnected);
}

// The stored user name and password go to the server as the bytes they were read as; a
// Put never uploads a file nobody chose, also when the focus went to the file list.
TEST_F(FtpWindowTest, StoredBytesReachTheServerAndOnlyAChosenFileIsPut) {
    FtpServerOptions options;
    options.accounts.push_back({"J\xfcrgen", "p\xe4ss", home_});
    startServer(options);
    open(settings::Settings{local_.string(), "c:", server_->address(), "J\xfcrgen", "p\xe4ss", ""});
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    connectToServer();
    select("maps");
    control("Dir1")->setFocus();
    QTest::keyClick(control("Dir1"), Qt::Key_Tab);
    ASSERT_TRUE(control("File1")->hasFocus());
    click("cmdPut");
    expectBoxes({RemoteCommands::kSelectLocalFileText});
    EXPECT_FALSE(fs::exists(home_ / "maps" / "x.uz"));
}

// A symbolic link is offered as a folder; opening it shows what it leads to, or turns it
// into a file when it leads to one.
TEST_F(FtpWindowTest, ALinkToAFolderOpensAndALinkToAFileIsAFile) {
    fs::create_directory_symlink("maps", home_ / "linkdir");
    fs::create_symlink("readme.txt", home_ / "linkfile");
    startServer();
    open();
    connectToServer();
    EXPECT_EQ(image("linkdir"), "closed");
    EXPECT_EQ(image("linkfile"), "closed");
    doubleClick("linkdir");
    EXPECT_EQ(children("linkdir"), (Texts{"a.uz leaf", "b.uz leaf"}));
    doubleClick("linkfile");
    EXPECT_EQ(image("linkfile"), "leaf");
    get("linkfile");
    EXPECT_EQ(readFile(local_ / "linkfile"), "read me\n");
    EXPECT_TRUE(boxes_.empty());
}

// A transfer that takes a while shows its progress; Cancel ends it at once and keeps the
// old files on both sides, with no temporary file left on either.
TEST_F(FtpWindowTest, CancelEndsATransferAndKeepsTheOldFiles) {
    writeFile(home_ / "big.uz", std::string(3 << 20, 's'));
    writeFile(local_ / "big.uz", std::string(3 << 20, 'l'));
    FtpServerOptions options;
    options.throttleBytesPerSecond = 512 * 1024;
    startServer(options);
    open();
    connectToServer();
    for (const char* command : {"cmdGet", "cmdPut"}) {
        QString shown;
        bool held = false;
        QTimer::singleShot(FtpWorker::kProgressAfterMilliseconds + 400, [&] {
            held = !control("cmdClose")->isEnabled() && !control("TreeView1")->isEnabled();
            auto* dialog = window_->findChild<QProgressDialog*>("dlgProgress");
            ASSERT_NE(dialog, nullptr);
            shown = dialog->labelText();
            dialog->findChild<QPushButton*>()->click();
        });
        chooseLocalFile("big.uz");
        select("big.uz");
        if (std::string(command) == "cmdPut") {
            select("");
        }
        click(command);
        EXPECT_TRUE(held) << "the other commands wait meanwhile";
        EXPECT_TRUE(shown.contains("big.uz")) << shown.toStdString();
        EXPECT_TRUE(shown.contains(" of 3.0 MiB")) << shown.toStdString();
        EXPECT_TRUE(readFile(home_ / "big.uz") == std::string(3 << 20, 's')) << command;
        EXPECT_TRUE(readFile(local_ / "big.uz") == std::string(3 << 20, 'l')) << command;
        EXPECT_EQ(std::distance(fs::directory_iterator(home_), {}), 4) << command;
        EXPECT_EQ(std::distance(fs::directory_iterator(local_), {}), 2) << command;
        EXPECT_TRUE(control("cmdClose")->isEnabled()) << "given back";
        EXPECT_TRUE(boxes_.empty());
    }
}

// A 64 MiB upload to the local server runs off the window's thread: a 50 ms timer keeps
// firing at least ten times a second throughout.
TEST_F(FtpWindowTest, TheWindowKeepsAnsweringDuringATransfer) {
    // The server counts bytes in whole seconds' worth and pauses after the second such
    // count, so 40 MiB at 16 MiB a second take about two seconds.
    writeFile(local_ / "huge.uz", std::string(40 << 20, 'h'));
    FtpServerOptions options;
    options.throttleBytesPerSecond = 16 << 20;
    startServer(options);
    open();
    connectToServer();
    std::vector<std::chrono::steady_clock::time_point> ticks;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout,
                     [&] { ticks.push_back(std::chrono::steady_clock::now()); });
    timer.start();
    put("huge.uz", "");
    timer.stop();
    EXPECT_EQ(fs::file_size(home_ / "huge.uz"), 40u << 20);
    ASSERT_GE(ticks.size(), 20u) << "the transfer took a while";
    for (std::size_t i = 0; i + 10 < ticks.size(); i += 10) {
        EXPECT_LE(ticks[i + 10] - ticks[i], std::chrono::milliseconds(1000)) << "tick " << i;
    }
}

// A certificate that does not verify is shown in the window's question; No ends the connect,
// Yes connects and trusts that certificate from then on.
TEST_F(FtpWindowTest, AServerCertificateIsShownAndTrustedOnlyWhenTheUserSaysSo) {
    FtpServerOptions options;
    options.explicitTls = true;
    startServer(options);
    open(settingsFor("ftpes://" + server_->address()));
    click("cmdInternetOpen");
    boxes_.answerNext(false);  // the certificate
    boxes_.answerNext(false);  // the report
    click("cmdConnect");
    Texts boxes = boxes_.take();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].starts_with("The certificate of ftpes://")) << boxes[0];
    EXPECT_NE(boxes[0].find("SHA-256: "), std::string::npos) << boxes[0];
    EXPECT_EQ(boxes[1], question("InternetConnect", 12045));
    boxes_.answerNext(true);
    connectToServer();
    ASSERT_EQ(tree().topLevelItemCount(), 1);
    EXPECT_EQ(tree().topLevelItem(0)->childCount(), 3) << "listed over TLS";
    EXPECT_TRUE(fs::exists(dir_ / "program" / "trusted_servers.txt"));
}

TEST_F(FtpWindowTest, TheFtpButtonKeepsOneWindowUntilItIsClosed) {
    startServer();
    writeConfig(local_, "c:", server_->address(), kUser, kPassword);
    startMain();
    button("cmdFtp")->click();
    button("cmdFtp")->click();
    ASSERT_EQ(windowsOf<FtpWindow>().size(), 1);
    FtpWindow* first = windowsOf<FtpWindow>().front();
    EXPECT_EQ(WindowTest::control<QLineEdit>(first, "txtServer")->text(), q(server_->address()));
    WindowTest::control<QAbstractButton>(first, "cmdClose")->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(windowsOf<FtpWindow>().empty()) << "Close unloads the window";
    button("cmdFtp")->click();
    EXPECT_EQ(windowsOf<FtpWindow>().size(), 1) << "and FTP loads it anew";
    EXPECT_TRUE(main_->isVisible());
}

}  // namespace
}  // namespace varnox::test
