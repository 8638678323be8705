// The FTP window driven in-process against a real FTP server (pyftpdlib on 127.0.0.1).
#include <QAccessible>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <set>

#include "ftp/reports.h"
#include "tests/support/ftp_server.h"
#include "tests/windows/window_test.h"
#include "windows/ftp_window.h"
#include "windows/remote_tree.h"
#include "windows/text.h"

namespace varnox::test {
namespace {

using windows::FtpWindow;
using windows::RemoteTree;
using Texts = std::vector<std::string>;
using Names = std::set<std::string>;

// The controls enabled in each state; the states set all of them.
const Names kIdle = {"cmdClose", "cmdInternetOpen", "txtProxy"};
const Names kSessionOpen = {"cmdClose",   "cmdClosehOpen", "txtServer", "txtUser", "txtPassword",
                            "cmdConnect", "chkPassive",    "optBin",    "optAscii"};
const Names kConnected = {"cmdClose",    "cmdClosehOpen", "txtServer",  "txtUser",
                          "txtPassword", "cmdDisconnect", "chkPassive", "optBin",
                          "optAscii",    "cmdGet",        "cmdPut"};

std::string question(const std::string& call, int error) {
    return call + " Err: " + std::to_string(error) + "\r\nClose Connection and Session?";
}

// An FTP window over a server whose home holds maps/ (a.uz, b.uz), sounds/ (empty) and
// readme.txt; the local lists start in c/local, which holds x.uz. The stored user name and
// password are bytes a Windows program wrote, which must reach the server as they are.
class FtpWindowTest : public WindowTest {
protected:
    static constexpr const char* kUser = "J\xfcrgen";
    static constexpr const char* kPassword = "p\xe4ss";

    FtpWindowTest() {
        writeFile(local_ / "x.uz", "x");
        writeFile(home_ / "maps" / "a.uz", "map a");
        writeFile(home_ / "maps" / "b.uz", "map b");
        fs::create_directories(home_ / "sounds");
        writeFile(home_ / "readme.txt", "read me\n");
    }

    void startServer(FtpServerOptions options = {}) {
        options.accounts.push_back({kUser, kPassword, home_});
        server_ = std::make_unique<FtpServer>(options);
    }
    // A window whose settings name `server` (the test server when empty).
    void open(std::string server = "", const char* password = kPassword) {
        server = server.empty() ? server_->address() : server;
        window_ = std::make_unique<FtpWindow>(
            services_, settings::Settings{local_.string(), "c:", server, kUser, password, ""});
        window_->show();
    }
    void connectToServer() {
        click("cmdInternetOpen");
        click("cmdConnect");
        ASSERT_EQ(window_->session().state(), ftp::Session::State::kConnected)
            << ::testing::PrintToString(boxes_.take());
    }
    // A window connected to a server started with `options`.
    void connected(const FtpServerOptions& options = {}) {
        startServer(options);
        open();
        connectToServer();
    }

    template <typename T = QWidget>
    T* control(const char* name) {
        return WindowTest::control<T>(window_.get(), name);
    }
    void click(const char* name) { control<QAbstractButton>(name)->click(); }
    Names enabledControls() {
        Names names = kIdle;
        names.insert(kSessionOpen.begin(), kSessionOpen.end());
        names.insert(kConnected.begin(), kConnected.end());
        std::erase_if(names,
                      [this](const std::string& n) { return !control(n.c_str())->isEnabled(); });
        return names;
    }
    // The bytes the server, user, password and proxy boxes hold.
    Texts fieldBytes() {
        Texts texts;
        for (const char* name : {"txtServer", "txtUser", "txtPassword", "txtProxy"}) {
            texts.push_back(windows::bytesOf(control<QLineEdit>(name)));
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
        return item ? ftp::pictureKey(RemoteTree::stateOf(item)) : "(none)";
    }
    // A node's children as "name picture", sorted.
    Texts children(const std::string& remote = "") {
        Texts texts;
        QTreeWidgetItem* parent = node(remote);
        for (int i = 0; parent != nullptr && i < parent->childCount(); ++i) {
            texts.push_back(
                RemoteTree::keyOf(parent->child(i)).substr(nodePath(remote).size() + 1) + " " +
                ftp::pictureKey(RemoteTree::stateOf(parent->child(i))));
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
    EXPECT_EQ(fieldBytes(), (Texts{server_->address(), kUser, kPassword, ""}));
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
    EXPECT_EQ(fieldBytes(), (Texts{"another.example", kUser, kPassword, ""}));
    click("cmdClosehOpen");
    EXPECT_EQ(enabledControls(), kIdle);
    EXPECT_EQ(fieldBytes(), Texts(4));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(FtpWindowTest, LoadReportsWhatItCannotShowAndGoesOn) {
    fs::remove(dir_ / "program" / "leaf.bmp");
    window_ = std::make_unique<FtpWindow>(
        services_, settings::Settings{(dir_ / "c" / "Removed").string(), "z:", "", "", "", ""});
    expectBoxes({"Error 76: Path not found: " + (dir_ / "c" / "Removed").string(),
                 "Error 53: File not found: " + (dir_ / "program" / "leaf.bmp").string()});
    EXPECT_TRUE(control<windows::DriveList>("Drive1")->drive().starts_with("c:"))
        << "an unknown drive sends the lists to c:";
}

// A failed call ends in the question whether to close the connection and the session: Yes
// closes both and empties the boxes, No keeps them. Either way the command ends there: a
// folder that cannot be changed to (12003) gets no second report and nothing is listed in
// another folder. The server's reply comes first, also for a refused login, which may say why.
TEST_F(FtpWindowTest, AFailedCallIsReportedAndTheAnswerDecides) {
    const std::string refusal = "Non-anonymous sessions must use encryption.";
    startServer({.loginRefusal = refusal});
    for (bool yes : {false, true}) {
        open("", "wrong");
        click("cmdInternetOpen");
        boxes_.answerNext(yes);
        click("cmdConnect");
        expectBoxes({"InternetConnect Extd Err: 530 530 " + refusal + "\r\n",
                     question("InternetConnect", 12014)});
        EXPECT_EQ(enabledControls(), yes ? kIdle : kSessionOpen);
        EXPECT_EQ(fieldBytes(), yes ? Texts(4) : (Texts{server_->address(), kUser, "wrong", ""}));
        EXPECT_EQ(tree().topLevelItemCount(), 0);

        open();
        connectToServer();
        fs::remove_all(home_ / "maps");
        boxes_.answerNext(yes);
        doubleClick("maps");
        const Texts boxes = boxes_.take();
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_TRUE(boxes[0].starts_with("rcd Extd Err: 550 550 ")) << boxes[0];
        EXPECT_EQ(boxes[1], question("rcd", 12003));
        EXPECT_EQ(enabledControls(), yes ? kIdle : kConnected);
        EXPECT_EQ(tree().topLevelItemCount(), yes ? 0 : 1);
        EXPECT_EQ(children("maps"), Texts{});
        fs::create_directories(home_ / "maps");
    }
}

// A symbolic link is offered as a folder; opening it shows what it leads to, or turns it
// into a file when it leads to one.
TEST_F(FtpWindowTest, DoubleClicksOpenAndCloseFoldersAndListThemAnewEachTime) {
    writeFile(home_ / "maps" / "sub" / "x.uz", "x");
    fs::create_directory_symlink("maps", home_ / "linkdir");
    fs::create_symlink("readme.txt", home_ / "linkfile");
    connected();
    doubleClick("");
    doubleClick("readme.txt");
    EXPECT_EQ(tree().nodeCount(), 6) << "the root and files do not open";
    select("maps");
    doubleClick(std::nullopt);
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "sub closed"}))
        << "empty space acts on the selected node";
    doubleClick("maps/sub");
    EXPECT_EQ(children("maps/sub"), Texts{"x.uz leaf"});
    doubleClick("sounds");
    expectBoxes({ftp::kEmptyDirectoryText});
    EXPECT_EQ(image("sounds"), "open");

    writeFile(home_ / "maps" / "c.uz", "map c");
    doubleClick("maps");
    EXPECT_EQ(image("maps"), "closed");
    EXPECT_EQ(node("maps/a.uz"), nullptr) << "the keys went with the nodes";
    doubleClick("maps");
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "c.uz leaf", "sub closed"}));

    EXPECT_EQ(image("linkfile"), "closed");
    doubleClick("linkdir");
    EXPECT_EQ(children("linkdir"), (Texts{"a.uz leaf", "b.uz leaf", "c.uz leaf", "sub closed"}));
    doubleClick("linkfile");
    EXPECT_EQ(image("linkfile"), "leaf");
    get("linkfile");
    EXPECT_EQ(readFile(local_ / "linkfile"), "read me\n");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(FtpWindowTest, GetAndPutMoveTheBytesTheTransferTypeSaysAndListTheFolderAgain) {
    writeFile(home_ / "text.txt", "one\r\ntwo\r\n");
    writeFile(local_ / "c.uz", "\r\n");
    connected();
    put("c.uz", "maps");  // a closed folder opens
    EXPECT_EQ(readFile(home_ / "maps" / "c.uz"), "\r\n") << "binary at first";
    EXPECT_EQ(image("maps"), "open");
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "c.uz leaf"}));
    put("x.uz", "");  // onto the root
    EXPECT_EQ(readFile(home_ / "x.uz"), "x");
    EXPECT_EQ(image(), "root");

    click("optAscii");
    get("text.txt");
    EXPECT_EQ(readFile(local_ / "text.txt"), "one\ntwo\n");
    EXPECT_EQ(control<windows::FileList>("File1")->count(), 3) << "the list shows it at once";
    click("optBin");
    doubleClick("maps");  // closed since the put onto the root listed it anew
    get("maps/a.uz");
    EXPECT_EQ(readFile(local_ / "a.uz"), "map a");
    EXPECT_TRUE(boxes_.empty());
}

// A name that could lead a download out of the local folder is refused too.
TEST_F(FtpWindowTest, EveryRefusalHasItsMessage) {
    writeFile(home_ / "..\\up.txt", "up");
    const std::string notPlain = ftp::notPlainNameText("..\\up.txt");
    const struct {
        bool connected;
        const char* node;     // selected in the tree ("" the root); nullptr: none
        const char* file;     // chosen in File1; nullptr: none
        const char* command;  // nullptr: a double-click on empty space in the tree
        const char* shown;    // nullptr: nothing
    } cases[] = {
        {false, nullptr, nullptr, nullptr, ftp::kNoSessionForTreeText},
        {true, nullptr, nullptr, nullptr, ftp::kNoSelectionText},
        {false, nullptr, nullptr, "cmdGet", ftp::kNoSessionText},
        {false, nullptr, "x.uz", "cmdPut", nullptr},
        {true, nullptr, nullptr, "cmdGet", ftp::kSelectGetText},
        {true, "readme.txt", "x.uz", "cmdPut", ftp::kSelectPutFolderText},
        {true, "maps", nullptr, "cmdPut", ftp::kSelectLocalFileText},
        {true, "..\\up.txt", nullptr, "cmdGet", notPlain.c_str()},
    };
    startServer();
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
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
        expectBoxes(c.shown ? Texts{c.shown} : Texts{});
    }
    // The root node has no folder part: the get is tried where the connection is.
    select("");
    boxes_.answerNext(false);
    click("cmdGet");
    const Texts boxes = boxes_.take();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0], ftp::kNoDirectoryText);
    EXPECT_TRUE(boxes[1].starts_with("FtpGetFile Extd Err: 550 550 ")) << boxes[1];
    EXPECT_EQ(boxes[2], question("FtpGetFile", 12003));
    control<QLineEdit>("txtServer")->setText(QString::fromStdString(nodePath() + "/more"));
    put("x.uz", "");
    expectBoxes({ftp::kSelectPutFolderText});  // a server box longer than the node
    EXPECT_EQ(namesIn(home_).size(), 4u) << "nothing was put";
    EXPECT_EQ(namesIn(local_).size(), 1u) << "nor got";
}

// Servers close a control connection that stayed idle, with a "421" reply. The next
// command logs in anew and works in the folder it names, without a report.
TEST_F(FtpWindowTest, GoesOnWhereItWasAfterTheServerClosedTheIdleConnection) {
    connected({.idleTimeoutSeconds = 1});
    doubleClick("maps");
    QTest::qWait(2500);
    put("x.uz", "maps");
    EXPECT_EQ(readFile(home_ / "maps" / "x.uz"), "x") << "in the folder named, not the root";
    EXPECT_FALSE(fs::exists(home_ / "x.uz"));
    EXPECT_EQ(children("maps"), (Texts{"a.uz leaf", "b.uz leaf", "x.uz leaf"}));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(FtpWindowTest, TheKeyboardAndScreenReadersFindTheirWay) {
    startServer();
    open();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    for (const auto& [box, caption] : {std::pair{"txtProxy", "TIS Compatible Proxy (No CERN):"},
                                       {"txtServer", "FTP Server Name:"},
                                       {"txtUser", "User Name:"},
                                       {"txtPassword", "Password:"}}) {
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
}

// A 64 MiB transfer runs off the window's thread: a 50 ms timer keeps firing at least ten times
// a second, the other commands wait, and a progress dialog shows the file and its size. Its
// Cancel ends the transfer at once and keeps the old files on both sides. The local lists wait
// too: a folder opened meanwhile would take the file list away from the folder of the Get.
TEST_F(FtpWindowTest, ATransferKeepsTheWindowAnsweringAndCancelEndsIt) {
    const std::string serverCopy(64 << 20, 's'), localCopy(64 << 20, 'l');
    writeFile(home_ / "big.uz", serverCopy);
    writeFile(local_ / "big.uz", localCopy);
    fs::create_directory(local_ / "sub");
    // The server lets 24 MiB through at once, then pauses for about two seconds.
    connected({.throttleBytesPerSecond = 24 << 20});
    auto* folders = control<windows::FolderList>("Dir1");
    for (const char* command : {"cmdGet", "cmdPut"}) {
        std::vector<std::chrono::steady_clock::time_point> ticks;
        QString shown;
        bool held = false;
        QTimer timer;
        timer.setInterval(50);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            ticks.push_back(std::chrono::steady_clock::now());
            auto* dialog = window_->findChild<QProgressDialog*>("dlgProgress");
            if (ticks.size() == 2) {  // the user opens another local folder
                folders->setCurrentItem(folders->findItems("sub", Qt::MatchRecursive)[0]);
                QTest::keyClick(folders, Qt::Key_Return);
            }
            if (ticks.size() == 21 && dialog != nullptr) {
                held = !control("cmdClose")->isEnabled() && !control("TreeView1")->isEnabled();
                shown = dialog->labelText();
                dialog->findChild<QPushButton*>()->click();
            }
        });
        chooseLocalFile("big.uz");
        select(std::string(command) == "cmdPut" ? "" : "big.uz");
        timer.start();
        click(command);
        timer.stop();
        EXPECT_TRUE(held) << "the other commands wait meanwhile";
        EXPECT_TRUE(shown.contains("big.uz")) << shown.toStdString();
        EXPECT_TRUE(shown.contains(" of 64.0 MiB")) << shown.toStdString();
        EXPECT_TRUE(readFile(home_ / "big.uz") == serverCopy) << command;
        EXPECT_TRUE(readFile(local_ / "big.uz") == localCopy) << command;
        EXPECT_EQ(control<windows::FileList>("File1")->folder(), local_) << command;
        EXPECT_TRUE(control("cmdClose")->isEnabled()) << "given back";
        EXPECT_TRUE(boxes_.empty());
        ASSERT_GE(ticks.size(), 21u);
        for (std::size_t i = 0; i + 10 < ticks.size(); i += 10) {
            EXPECT_LE(ticks[i + 10] - ticks[i], std::chrono::seconds(1)) << command << i;
        }
    }
}

// A certificate that does not verify is shown in the window's question; No ends the connect,
// Yes connects. Its names cannot fake lines or turn the text around. The progress dialog never
// shows while the question is open (it would cover the question and take its input), whether
// the question comes before the half second and stays open past it, or comes after it.
TEST_F(FtpWindowTest, AServerCertificateIsShownAloneAndTrustedOnlyWhenTheUserSaysSo) {
    startServer({.explicitTls = true,
                 .certificateName = "p\u2028\u2029\u202A\u202E\u2066\u2069\u0085\n\U0001F600"});
    open("ftpes://" + server_->address());
    click("cmdInternetOpen");
    int progressShown = 0;
    boxes_.whileAsking = [&] {
        QTest::qWait(800);
        auto* progress = window_->findChild<QProgressDialog*>("dlgProgress");
        progressShown += progress != nullptr && progress->isVisible();
    };
    boxes_.answerNext(false);  // the certificate
    boxes_.answerNext(false);  // the report
    click("cmdConnect");
    Texts boxes = boxes_.take();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(boxes[0].starts_with("The certificate of ftpes://")) << boxes[0];
    EXPECT_NE(boxes[0].find("SHA-256: "), std::string::npos) << boxes[0];
    const std::string name = R"(CN = p\U2028\U2029\U202A\U202E\U2066\U2069\U0085\0A)"
                             "\U0001F600";
    EXPECT_NE(boxes[0].find("\nSubject: " + name + "\nIssuer: " + name + "\n"), std::string::npos)
        << boxes[0];
    EXPECT_EQ(boxes[1], question("InternetConnect", 12045));
    server_->stopAnswering();  // until the progress dialog is there
    QTimer::singleShot(800, window_.get(), [this] { server_->resumeAnswering(); });
    boxes_.answerNext(true);
    connectToServer();
    EXPECT_EQ(progressShown, 0);
}

}  // namespace
}  // namespace varnox::test
