#include "tests/ftpwin/ftp_window_fixture.h"

#include <QApplication>
#include <QTest>

#include "tests/support/files.h"

namespace varnox::test {

namespace fs = std::filesystem;

FtpWindowTest::FtpWindowTest()
    : local_(dir_ / "c" / "local"),
      home_(dir_ / "server"),
      drives_({{'c', (dir_ / "c").string()},
               {'d', (dir_ / "d").string()},
               {'e', (dir_ / "e").string()}}),
      services_{drives_, boxes_, processes_, (dir_ / "program").string(), [] {}} {
    fs::create_directories(local_);
    fs::create_directories(dir_ / "d");
    fs::create_directories(dir_ / "program");
    for (const char* picture : {"open.bmp", "closed.bmp", "leaf.bmp", "root.bmp"}) {
        fs::copy_file(builtProgram(picture), dir_ / "program" / picture);
    }
    fs::create_directories(home_ / "maps");
    fs::create_directories(home_ / "sounds");
    writeFile(home_ / "maps" / "a.uz", "map a");
    writeFile(home_ / "maps" / "b.uz", "map b");
    writeFile(home_ / "readme.txt", "read me\n");
}

FtpWindowTest::~FtpWindowTest() {
    window_.reset();
    server_.reset();
}

FtpAccount FtpWindowTest::account() const {
    FtpAccount a;
    a.name = kUser;
    a.password = kPassword;
    a.home = home_;
    return a;
}

void FtpWindowTest::startServer(FtpServerOptions options) {
    if (options.accounts.empty()) {
        options.accounts.push_back(account());
    }
    server_ = std::make_unique<FtpServer>(std::move(options));
}

settings::SettingsRecord FtpWindowTest::record() const {
    settings::SettingsRecord r;
    r.gstServerIp = server_ ? server_->address() : "";
    r.gstUsername = kUser;
    r.gstPassword = kPassword;
    r.gstUTDrive = "c: [" + (dir_ / "c").string() + "]";
    r.gstUTPath = local_.string();
    return r;
}

ftpwin::frmFTP& FtpWindowTest::open(std::optional<settings::SettingsRecord> settings) {
    window_ = std::make_unique<ftpwin::frmFTP>(services_, settings ? *settings : record());
    window_->show();
    QApplication::processEvents();
    return *window_;
}

void FtpWindowTest::startSession() {
    button("cmdInternetOpen")->click();
    ASSERT_TRUE(window_->sessionOpen());
}

void FtpWindowTest::connectToServer() {
    startSession();
    button("cmdConnect")->click();
    ASSERT_TRUE(window_->connected());
}

QString FtpWindowTest::nodePath(const std::string& remote) const {
    QString root = QString::fromStdString(server_->address());
    return remote.empty() ? root : root + "/" + q(remote);
}

std::vector<std::string> FtpWindowTest::childTexts(const std::string& remote) {
    std::vector<std::string> texts;
    QTreeWidgetItem* parent = node(remote);
    if (parent == nullptr) {
        ADD_FAILURE() << "no node for " << remote;
        return texts;
    }
    for (int i = 0; i < parent->childCount(); ++i) {
        texts.push_back(parent->child(i)->text(0).toStdString());
    }
    return texts;
}

void FtpWindowTest::select(const std::string& remote) {
    QTreeWidgetItem* item = node(remote);
    ASSERT_NE(item, nullptr) << remote;
    tree().setCurrentItem(item);
    ASSERT_EQ(tree().selectedNode(), item);
}

void FtpWindowTest::doubleClick(const std::string& remote) {
    QTreeWidgetItem* item = node(remote);
    ASSERT_NE(item, nullptr) << remote;
    tree().scrollToItem(item);
    QPoint at = tree().visualItemRect(item).center();
    // A widget receives a double-click as a press, a release and the double-click.
    QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree().viewport(), Qt::LeftButton, {}, at);
}

void FtpWindowTest::doubleClickEmptySpace() {
    QPoint at(tree().viewport()->width() / 2, tree().viewport()->height() - 3);
    ASSERT_EQ(tree().itemAt(at), nullptr) << "the tree is full down to its bottom";
    QTest::mouseClick(tree().viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree().viewport(), Qt::LeftButton, {}, at);
}

void FtpWindowTest::chooseLocalFile(const std::string& name) {
    auto* files = control<widgets::FileList>("File1");
    files->refresh();
    auto found = files->findItems(q(name), Qt::MatchExactly | Qt::MatchCaseSensitive);
    ASSERT_EQ(found.size(), 1) << name;
    files->setCurrentItem(found.front());
    ASSERT_EQ(files->fileName(), q(name));
}

std::vector<std::string> FtpWindowTest::takeBoxes() {
    std::vector<std::string> texts;
    for (const auto& shown : boxes_.shown()) {
        texts.push_back(shown.text.toStdString());
    }
    boxes_.clear();
    return texts;
}

}  // namespace varnox::test
