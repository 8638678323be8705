// The FTP window over SFTP, against a real OpenSSH server on 127.0.0.1.
#include <QTreeWidgetItem>

#include "tests/support/ssh_server.h"
#include "tests/windows/window_test.h"
#include "windows/ftp_window.h"
#include "windows/remote_tree.h"

namespace varnox::test {
namespace {

class SftpWindowTest : public WindowTest {};

// An unknown host key is asked about with its fingerprint, and kept on a Yes. The user's key
// is found in ~/.ssh; the tree starts in the folder the server name points into; Put uploads
// into a folder and lists it anew, Get fetches.
TEST_F(SftpWindowTest, AsksAboutTheHostKeyListsPutsAndGets) {
    TemporaryHome home;
    SshServer server;
    writeFile(home / ".ssh/id_ed25519", readFile(server.userKey()));
    const fs::path local = dir_ / "c/local", remote = dir_ / "server";
    writeFile(local / "x.uz", "local x");
    fs::create_directories(remote / "maps");
    const std::string address = server.address(remote.string());
    windows::FtpWindow window(services_, {local.string(), "c:", address, "", "", ""});
    const auto click = [&](const char* name) { control<QAbstractButton>(&window, name)->click(); };
    click("cmdInternetOpen");
    click("cmdConnect");
    ASSERT_EQ(window.session().state(), ftp::Session::State::kConnected);
    const std::vector<std::string> boxes = boxes_.take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].starts_with("The host key of " + address + " is not known.")) << boxes[0];
    EXPECT_NE(boxes[0].find("ED25519 key fingerprint: " + server.fingerprint()), std::string::npos);
    QTreeWidgetItem* maps = window.tree().node(address + "/maps");
    ASSERT_NE(maps, nullptr);
    control<windows::FileList>(&window, "File1")->refresh();
    clickFile(control<windows::FileList>(&window, "File1"), "x.uz");
    window.tree().setCurrentItem(maps);
    click("cmdPut");
    EXPECT_EQ(readFile(remote / "maps/x.uz"), "local x");
    ASSERT_EQ(maps->childCount(), 1);
    EXPECT_EQ(windows::RemoteTree::keyOf(maps->child(0)), address + "/maps/x.uz");
    window.tree().setCurrentItem(maps->child(0));
    fs::remove(local / "x.uz");
    click("cmdGet");
    EXPECT_EQ(readFile(local / "x.uz"), "local x");
    EXPECT_TRUE(boxes_.empty());
}

}  // namespace
}  // namespace varnox::test
