// zuzavezu-screenshots DIR [USER PASSWORD]: pictures of the client's windows as they are, against
// the service that Keldrin.ini beside this program names. Writes DIR/login.png (the login
// window, its connect sequence run), DIR/settings.png (the connection settings as read from
// the file) and DIR/main.png (the main window after logging in as USER, the report-type tree
// loaded and opened out), then ends. USER and PASSWORD default to the demo user 002 / demo.
#include <QTimer>

#include <QDir>
#include <cstdio>
#include <string>

#include "shell/Program.h"
#include "shell/fmInitConfig.h"
#include "shell/fmLogin.h"
#include "shell/untMain.h"

namespace {

bool Save(QWidget& window, const QString& path) {
  QCoreApplication::processEvents();
  const bool saved = window.grab().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  TApplicationHost host(argc, argv);
  host.setQuitOnLastWindowClosed(false);
  if (argc < 2) {
    std::fputs("usage: zuzavezu-screenshots DIR [USER PASSWORD]\n", stderr);
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  QDir().mkpath(folder.path());
  const std::string user = argc > 2 ? argv[2] : "002";
  const std::string password = argc > 3 ? argv[3] : "demo";
  TApplication application;
  application.Initialize();
  application.SetParams({});
  bool ok = true;

  {
    TfrmLogin login;
    login.edUserID->setText(QString::fromStdString(user));
    login.LookupUser();
    login.edPassWord->setText(QString::fromStdString(password));
    login.show();
    ok = Save(login, folder.filePath(QStringLiteral("login.png"))) && ok;
  }
  {
    TfrmInitConfig settings;
    settings.show();
    ok = Save(settings, folder.filePath(QStringLiteral("settings.png"))) && ok;
  }

  // The real start-up, logged in from the command line; the picture is taken once the tree is
  // filled, or after ten seconds whatever it shows.
  application.SetParams({user, password});
  bool taken = false;
  int waited = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* main = dynamic_cast<Tfrm_main*>(application.MainForm());
    waited += 100;
    if (taken || main == nullptr || !main->isVisible()) return;
    if (main->dsType.rowCount() == 0 && waited < 10000) return;
    taken = true;
    main->ReportTree->expandAll();
    ok = Save(*main, folder.filePath(QStringLiteral("main.png"))) && ok && main->dsType.rowCount() > 0;
    main->close();
  });
  poll.start(100);
  RunProgram(application);
  return ok && taken ? 0 : 1;
}
