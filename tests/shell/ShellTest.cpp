// The desktop client end to end: the program entry with its two connect sequences, the login
// dialog (typed and command-line logins, the mended OK), the settings window and the restart,
// the configuration file's edge cases, the main window's tree, page control and exit commands.
#include "ShellTest.h"

#include <unistd.h>

#include <QTest>
#include <QTimer>

#include <QAction>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>

#include "common/IniFiles.h"
#include "common/untFunctions.h"
#include "local/untFunctions.h"
#include "platform/Exceptions.h"
#include "remote/UntRemSql.h"
#include "shell/Program.h"
#include "shell/fmInitConfig.h"
#include "shell/fmLogin.h"
#include "shell/untMain.h"

namespace {

constexpr int kRunLimitMs = 60000;
const std::string kConnectFailed = "连接数据库服务程序失败，请先启动服务程序!";
const std::string kLoginFailed = "登录错误：用户名或密码错误！";
// Both connect sequences fail; the main window, shown for a moment, fails to load the report
// types over the dead link, whose error has no text.
const std::vector<std::string> kFailedStart = {kConnectFailed, kConnectFailed, ""};

// Names resolve without the system: "localhost" only, and every attempt is counted.
std::atomic<int> gResolves{0};
bool TestResolver(const std::string& name, std::string& address) {
  ++gResolves;
  if (name != "localhost") return false;
  address = "127.0.0.1";
  return true;
}

template <typename TWindow>
TWindow* Shown() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* window = dynamic_cast<TWindow*>(widget); window != nullptr && window->isVisible()) return window;
  }
  return nullptr;
}

// The main window once it is shown with its tree loaded.
Tfrm_main* LoadedMain() {
  auto* main = Shown<Tfrm_main>();
  return main != nullptr && main->dsType.rowCount() > 0 ? main : nullptr;
}

// A step: once the main window shows its tree, note it and close the window.
std::function<bool()> CloseMainOnceLoaded(bool& sawMain) {
  return [&sawMain] {
    Tfrm_main* main = LoadedMain();
    if (main == nullptr) return false;
    sawMain = true;
    main->close();
    return true;
  };
}

QStringList NodeNames(const QStandardItemModel& model, const QModelIndex& parent = {}) {
  const int column = Tfrm_main::ReportTreeLayout().DisplayColumn();
  QStringList names;
  for (int row = 0; row < model.rowCount(parent); ++row) names << model.index(row, column, parent).data().toString();
  return names;
}

QModelIndex NodeNamed(const QStandardItemModel& model, const QString& name, const QModelIndex& parent = {}) {
  const int column = Tfrm_main::ReportTreeLayout().DisplayColumn();
  for (int row = 0; row < model.rowCount(parent); ++row) {
    if (model.index(row, column, parent).data().toString() == name) return model.index(row, 0, parent);
  }
  return {};
}

// A loopback port with nothing listening on it.
int ClosedPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(s);
  return ntohs(address.sin_port);
}

std::string SelfPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

}  // namespace

void TestShell::initTestCase() {
  Database = std::make_unique<test::TDemoDatabase>("zz_shell");
  Service = std::make_unique<test::TLocalService>([this] { return server::OpenSqlite(Database->FileName()); });
  Service->Start();
  ConfigPath = AppFolder() + "Keldrin.ini";
  SetHostResolver(TestResolver);
}

void TestShell::cleanupTestCase() {
  SetHostResolver(nullptr);
  SetMessageBoxHook({});
  Service.reset();
  Database.reset();
}

void TestShell::init() {
  Messages.clear();
  Launched.clear();
  gResolves = 0;
  std::filesystem::remove_all(ConfigPath);
  SetMessageBoxHook([this](TMsgDlgType type, std::string_view caption, std::string_view text) {
    Messages.push_back({type, std::string(caption), std::string(text)});
  });
}

void TestShell::cleanup() { std::filesystem::remove_all(ConfigPath); }

bool TestShell::Run(std::vector<std::string> params, std::vector<TStep> steps) {
  TApplication application;
  application.SetParams(std::move(params));
  application.SetLauncher([this](const std::string& executable) { Launched.push_back(executable); });
  size_t next = 0;
  bool inStep = false;
  bool timedOut = false;
  QElapsedTimer clock;
  clock.start();
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (inStep) return;
    inStep = true;
    while (next < steps.size() && steps[next]()) ++next;
    inStep = false;
    if (!timedOut && clock.elapsed() > kRunLimitMs) {
      timedOut = true;
      application.Terminate();
    }
  });
  timer.start(20);
  RunProgram(application);
  return !timedOut && next == steps.size();
}

std::vector<std::string> TestShell::MessageTexts() const {
  std::vector<std::string> texts;
  for (const TMessage& message : Messages) texts.push_back(message.Text);
  return texts;
}

void TestShell::WriteConfig(const std::string& text) { std::ofstream(ConfigPath, std::ios::binary) << text; }

std::string TestShell::ReadConfig() const {
  std::ifstream file(ConfigPath, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void TestShell::ConfigureService() {
  WriteConfig("[ServerConfig]\r\nServerName=localhost\r\nPort=" + std::to_string(Service->Port()) + "\r\n");
}

void TestShell::ConfigureUnreachable() {
  WriteConfig("[ServerConfig]\r\nServerName=127.0.0.1\r\nPort=" + std::to_string(ClosedPort()) + "\r\n");
}

// ---- the application object ----

void TestShell::messageBoxesEndOnTermination() {
  TApplication application;
  application.Initialize();  // the program's own message boxes
  bool closedByHand = false;
  QTimer::singleShot(50, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      closedByHand = box->text() == "first";
      box->button(QMessageBox::Ok)->click();
    }
  });
  MessageDlg(TMsgDlgType::mtError, "zuzavezu", "first");
  QVERIFY(closedByHand);

  // Once the quit message has been handled, a box ends after one round of messages by itself.
  application.Terminate();
  QVERIFY(!application.Terminated());  // a request: the caller carries on
  MessageDlg(TMsgDlgType::mtInformation, "zuzavezu", "second");
  QVERIFY(application.Terminated());
  MessageDlg(TMsgDlgType::mtInformation, "zuzavezu", "third");
  init();  // the recording hook again
}

// ---- login and the report tree ----

void TestShell::loginShowsTheReportTree() {
  ConfigureService();
  QStringList top, finance, balance;
  std::vector<bool> hidden;
  bool singleSelection = false;
  const bool ended = Run({"001", "admin"}, {[&] {
                           Tfrm_main* main = LoadedMain();
                           if (main == nullptr) return false;
                           top = NodeNames(main->dsType);
                           const QModelIndex financeNode = NodeNamed(main->dsType, "财务报表");
                           finance = NodeNames(main->dsType, financeNode);
                           balance = NodeNames(main->dsType, NodeNamed(main->dsType, "资产负债表", financeNode));
                           for (int column = 0; column < main->dsType.columnCount(); ++column) {
                             hidden.push_back(main->ReportTree->isColumnHidden(column));
                           }
                           singleSelection = main->ReportTree->selectionBehavior() == QAbstractItemView::SelectRows &&
                                             main->ReportTree->editTriggers() == QAbstractItemView::NoEditTriggers;
                           main->dxBarButton6->trigger();
                           return true;
                         }});
  QVERIFY(ended);
  QCOMPARE(top, (QStringList{"财务报表", "销售报表", "Inventory"}));
  QCOMPARE(finance, (QStringList{"资产负债表", "利润表", "Cash flow"}));
  QCOMPARE(balance, (QStringList{"月度资产负债表", "Annual balance sheet"}));
  QCOMPARE(hidden.size(), size_t{15});
  for (size_t column = 0; column < hidden.size(); ++column) QCOMPARE(hidden[column], column != 3);
  QVERIFY(singleSelection);
  QCOMPARE(gResolves.load(), 2);  // one connect sequence per login window
  QVERIFY(Messages.empty());
}

void TestShell::commandLineLogin_data() {
  QTest::addColumn<QStringList>("params");
  QTest::addColumn<bool>("loggedIn");
  QTest::addColumn<bool>("refused");  // the wrong-password message was shown
  QTest::addColumn<QString>("userID");

  QTest::newRow("number and password") << QStringList{"001", "admin"} << true << false << "001";
  QTest::newRow("blanks around the number") << QStringList{"  001 ", "admin"} << true << false << "001";
  QTest::newRow("number only, empty password stored") << QStringList{"003"} << true << false << "003";
  QTest::newRow("password with blanks") << QStringList{"001", " admin"} << false << true << "001";
  QTest::newRow("password in other case") << QStringList{"001", "ADMIN"} << false << true << "001";
  QTest::newRow("number only, password stored") << QStringList{"002"} << false << true << "002";
  QTest::newRow("number without a row") << QStringList{"999", "x"} << false << false << "999";
  QTest::newRow("blank first argument") << QStringList{"   ", "admin"} << false << false << "";
}

void TestShell::commandLineLogin() {
  QFETCH(QStringList, params);
  QFETCH(bool, loggedIn);
  QFETCH(bool, refused);
  QFETCH(QString, userID);
  ConfigureService();
  std::vector<std::string> arguments;
  for (const QString& param : params) arguments.push_back(param.toStdString());

  bool sawMain = false;
  QString shownUserID;
  const bool ended = Run(arguments, {[&] {
                           if (CloseMainOnceLoaded(sawMain)()) return true;
                           auto* login = Shown<TfrmLogin>();
                           if (login == nullptr) return false;
                           shownUserID = login->edUserID->text();
                           login->btnCancle->click();
                           return true;
                         }});
  QVERIFY(ended);
  QCOMPARE(sawMain, loggedIn);
  if (!loggedIn) QCOMPARE(shownUserID, userID);
  QCOMPARE(Messages.size(), size_t{refused ? 1u : 0u});
  if (refused) {
    QCOMPARE(Messages[0].Text, kLoginFailed);
    QCOMPARE(Messages[0].Caption, std::string("zuzavezu"));
    QVERIFY(Messages[0].Type == TMsgDlgType::mtCustom);
  }
}

void TestShell::wrongPasswordCanBeRetriedWithEnter() {
  ConfigureService();
  QString keptUserID, keptPassword, name;
  size_t messagesWhileOpen = 0;
  bool sawMain = false;
  const bool ended = Run({"001", "wrong"}, {[&] {
                                              auto* login = Shown<TfrmLogin>();
                                              if (login == nullptr) return false;
                                              messagesWhileOpen = Messages.size();
                                              keptUserID = login->edUserID->text();
                                              keptPassword = login->edPassWord->text();
                                              name = login->edUserName->text();
                                              login->edPassWord->setText("admin");
                                              QTest::keyClick(login->edPassWord, Qt::Key_Return);
                                              return true;
                                            },
                                            CloseMainOnceLoaded(sawMain)});
  QVERIFY(ended);
  QCOMPARE(messagesWhileOpen, size_t{1});
  QCOMPARE(keptUserID, QString("001"));
  QCOMPARE(keptPassword, QString("wrong"));  // neither edit is cleared
  QCOMPARE(name, QString("管理员"));
  QVERIFY(sawMain);
}

void TestShell::cancelEndsTheProgram() {
  ConfigureService();
  const bool ended = Run({}, {[&] {
                           auto* login = Shown<TfrmLogin>();
                           if (login == nullptr) return false;
                           login->btnCancle->click();
                           return true;
                         }});
  QVERIFY(ended);
  QVERIFY(Messages.empty());
  QVERIFY(Launched.empty());
}

void TestShell::okLooksUpTheNumberInTheField() {
  ConfigureService();
  bool openBeforeLookup = false, openAfterWrong = false;
  size_t messagesBeforeLookup = 0, messagesAfterWrong = 0;
  QString firstName, nameAfterWrong;
  bool sawMain = false;
  const bool ended = Run({}, {[&] {
                                auto* login = Shown<TfrmLogin>();
                                if (login == nullptr) return false;
                                login->btnOK->click();  // nothing typed: nothing happens
                                openBeforeLookup = login->isVisible() && login->ModalResult() == mrNone;
                                messagesBeforeLookup = Messages.size();
                                login->edUserID->setText("001");
                                login->edUserIDExit();
                                firstName = login->edUserName->text();
                                // Another number typed and not left, with the first user's password.
                                login->edUserID->setText("002");
                                login->edPassWord->setText("admin");
                                login->btnOK->click();
                                openAfterWrong = login->ModalResult() == mrNone;
                                messagesAfterWrong = Messages.size();
                                nameAfterWrong = login->edUserName->text();
                                login->edPassWord->setText("demo");
                                login->btnOK->click();
                                return true;
                              },
                              CloseMainOnceLoaded(sawMain)});
  QVERIFY(ended);
  QVERIFY(openBeforeLookup);
  QCOMPARE(messagesBeforeLookup, size_t{0});
  QCOMPARE(firstName, QString("管理员"));
  QVERIFY(openAfterWrong);
  QCOMPARE(messagesAfterWrong, size_t{1});
  QCOMPARE(Messages[0].Text, kLoginFailed);
  QCOMPARE(nameAfterWrong, QString("Demo User"));
  QVERIFY(sawMain);
}

void TestShell::lookupQuotesTheNumberAndPassesTheFormatStep() {
  {
    TRmoHelper helper(9000);
    QVERIFY(helper.ConnectServer("127.0.0.1", Service->Port()));
    QCOMPARE(
        helper.Client->ExecSQL("INSERT INTO T_Pm_User VALUES (4, 'o''k', 'Quote', 'q'), (5, '5%', 'Percent', 'p')"), 2);
    helper.Client->CloseSession();
  }
  ConfigureService();
  QStringList names;
  const bool ended = Run({}, {[&] {
                           auto* login = Shown<TfrmLogin>();
                           if (login == nullptr) return false;
                           for (const char* number : {"o'k", "5%%", "5%", " 001 "}) {
                             login->edUserID->setText(QString::fromUtf8(number));
                             Application->Guard([login] { login->edUserIDExit(); });
                             names << login->edUserName->text();
                           }
                           login->btnCancle->click();
                           return true;
                         }});
  QVERIFY(ended);
  // A lone percent sign fails the format step; blanks typed around a number are sent as typed.
  QCOMPARE(names, (QStringList{"Quote", "Percent", "Percent", "Percent"}));
  QCOMPARE(Messages.size(), size_t{1});
  QVERIFY2(Messages[0].Text.find("Format") != std::string::npos, Messages[0].Text.c_str());
  QVERIFY(Messages[0].Type == TMsgDlgType::mtError);
}

void TestShell::loginWindowLayout() {
  ConfigureService();
  TApplication application;
  TfrmLogin login;
  QVERIFY(login.windowFlags().testFlag(Qt::FramelessWindowHint));
  QCOMPARE(login.size(), QSize(633, 417));
  QVERIFY(!login.edUserName->isEnabled());
  QCOMPARE(login.edPassWord->echoMode(), QLineEdit::Password);
  QCOMPARE(login.btnOK->focusPolicy(), Qt::NoFocus);
  QCOMPARE(login.Image1->geometry(), QRect(0, 0, 633, 417));
  login.show();
  QVERIFY(QTest::qWaitForWindowExposed(&login));

  // Tab goes from the user number straight to the password, and leaving the number looks it up.
  login.activateWindow();
  login.edUserID->setFocus();
  login.edUserID->setText("001");
  QTest::keyClick(login.edUserID, Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(login.edPassWord));
  QCOMPARE(login.edUserName->text(), QString("管理员"));

  // The background picture drags the window.
  const QPoint before = login.pos();
  QTest::mousePress(login.Image1, Qt::LeftButton, {}, QPoint(20, 20));
  QTest::mouseMove(login.Image1, QPoint(70, 50));
  QTest::mouseRelease(login.Image1, Qt::LeftButton, {}, QPoint(70, 50));
  QCOMPARE(login.pos(), before + QPoint(50, 30));
  QVERIFY(Messages.empty());
}

// ---- the failed connect and the settings window ----

void TestShell::failedConnectOffersTheSettingsAndRestartsOnce() {
  ConfigureUnreachable();
  const std::string configured = ReadConfig();
  QString shownServer, shownPort;
  const bool ended = Run({}, {[&] {
                           auto* settings = Shown<TfrmInitConfig>();
                           if (settings == nullptr) return false;
                           shownServer = settings->edt_TranServer->text();
                           shownPort = settings->edt_Port->text();
                           settings->edt_TranServer->setText("  db01 ");
                           settings->edt_Port->setText(" 8080 ");
                           settings->Button1->click();
                           return true;
                         }});
  QVERIFY(ended);
  QCOMPARE(shownServer, QString("127.0.0.1"));
  QVERIFY(configured.find("Port=" + shownPort.toStdString()) != std::string::npos);
  // The second connect sequence fails too (db01 does not resolve); its settings window ends by
  // itself, so the program is started again exactly once.
  QCOMPARE(MessageTexts(), kFailedStart);
  QVERIFY(Messages[0].Type == TMsgDlgType::mtError);
  QCOMPARE(Launched, std::vector<std::string>{SelfPath()});
  const TIniFile file(ConfigPath);
  QCOMPARE(file.ReadString("ServerConfig", "ServerName", "?"), std::string("db01"));
  QCOMPARE(file.ReadString("ServerConfig", "Port", "?"), std::string("8080"));
  QCOMPARE(gResolves.load(), 1);
}

void TestShell::closeBoxWritesNothingAndStartsNothing() {
  ConfigureUnreachable();
  const std::string before = ReadConfig();
  const bool ended = Run({}, {[&] {
                           auto* settings = Shown<TfrmInitConfig>();
                           if (settings == nullptr) return false;
                           settings->edt_Port->setText("1");
                           settings->close();
                           return true;
                         }});
  QVERIFY(ended);
  QCOMPARE(ReadConfig(), before);
  QVERIFY(Launched.empty());
  QCOMPARE(MessageTexts(), kFailedStart);
}

void TestShell::settingsWindowReadsTheFile_data() {
  QTest::addColumn<QString>("file");  // empty: no file
  QTest::addColumn<QString>("server");
  QTest::addColumn<QString>("port");

  QTest::newRow("no file") << ""
                           << "127.0.0.1"
                           << "211";
  QTest::newRow("letters for the port") << "[ServerConfig]\nPort=abc\n"
                                        << "127.0.0.1"
                                        << "211";
  QTest::newRow("trailing characters") << "[ServerConfig]\nPort=80a\n"
                                       << "127.0.0.1"
                                       << "211";
  QTest::newRow("present but empty") << "[ServerConfig]\nServerName=\nPort=\n"
                                     << ""
                                     << "211";
  QTest::newRow("names in other case") << "[serverconfig]\nSERVERNAME=db02\nport=8080\n"
                                       << "db02"
                                       << "8080";
  QTest::newRow("hexadecimal") << "[ServerConfig]\nPort=$1F\n"
                               << "127.0.0.1"
                               << "31";
  QTest::newRow("0x and a sign") << "[ServerConfig]\nPort=0x10\nServerName= host \n"
                                 << "host"
                                 << "16";
  QTest::newRow("another section") << "[Other]\nPort=1\nServerName=x\n[ServerConfig]\n"
                                   << "127.0.0.1"
                                   << "211";
}

void TestShell::settingsWindowReadsTheFile() {
  QFETCH(QString, file);
  QFETCH(QString, server);
  QFETCH(QString, port);
  if (!file.isEmpty()) WriteConfig(file.toStdString());
  TApplication application;
  TfrmInitConfig settings;
  QCOMPARE(settings.edt_TranServer->text(), server);
  QCOMPARE(settings.edt_Port->text(), port);
  QCOMPARE(settings.windowTitle(), QString("连接设置"));
}

void TestShell::settingsWindowSavesTrimmedValues_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("server");
  QTest::addColumn<QString>("port");
  QTest::addColumn<QString>("savedServer");
  QTest::addColumn<QString>("savedPort");

  QTest::newRow("new file, blanks around") << ""
                                           << " db01 "
                                           << " 8080 "
                                           << "db01"
                                           << "8080";
  QTest::newRow("port that does not convert") << ""
                                              << "db01"
                                              << "80a"
                                              << "db01"
                                              << "211";
  QTest::newRow("empty texts") << ""
                               << ""
                               << ""
                               << ""
                               << "211";
  QTest::newRow("lower-case entry rewritten") << "[ServerConfig]\r\nport=1\r\nOther=keep\r\n"
                                              << "h"
                                              << "99"
                                              << "h"
                                              << "99";
}

void TestShell::settingsWindowSavesTrimmedValues() {
  QFETCH(QString, file);
  QFETCH(QString, server);
  QFETCH(QString, port);
  QFETCH(QString, savedServer);
  QFETCH(QString, savedPort);
  if (!file.isEmpty()) WriteConfig(file.toStdString());
  TApplication application;
  TfrmInitConfig settings;
  settings.edt_TranServer->setText(server);
  settings.edt_Port->setText(port);
  settings.Button1->click();
  QCOMPARE(settings.ModalResult(), mrOk);
  const TIniFile ini(ConfigPath);
  QCOMPARE(QString::fromStdString(ini.ReadString("ServerConfig", "ServerName", "?")), savedServer);
  QCOMPARE(QString::fromStdString(ini.ReadString("ServerConfig", "Port", "?")), savedPort);
  const QString written = QString::fromStdString(ReadConfig());
  QCOMPARE(written.count("port=", Qt::CaseInsensitive), 1);  // the same entry, whatever its case
  if (file.contains("Other")) QVERIFY(written.contains("Other=keep"));
  QVERIFY(Messages.empty());
}

void TestShell::unwritableFileKeepsTheSettingsOpen() {
  std::filesystem::create_directory(ConfigPath);  // a folder in the file's place
  TApplication application;
  TfrmInitConfig settings;
  QCOMPARE(settings.edt_TranServer->text(), QString("127.0.0.1"));
  settings.Button1->click();
  QCOMPARE(settings.ModalResult(), mrNone);
  QCOMPARE(Messages.size(), size_t{1});
  QCOMPARE(Messages[0].Text, "Unable to write to " + ConfigPath);
}

// ---- the main window ----

void TestShell::pageControlClosesAnyPageButHome() {
  ConfigureService();
  std::vector<int> counts;
  int activeWithoutPages = 0;
  const bool ended = Run({"001", "admin"}, {[&] {
                           Tfrm_main* main = LoadedMain();
                           if (main == nullptr) return false;
                           TPageControl* pages = main->mainPg;
                           QTabBar* tabs = pages->tabBar();
                           pages->addTab(new QWidget, "A");
                           pages->addTab(new QWidget, "B");
                           pages->setCurrentIndex(0);
                           pages->CloseButton()->click();  // the home page stays
                           counts.push_back(pages->count());
                           QTest::mouseDClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
                           counts.push_back(pages->count());
                           pages->setCurrentIndex(2);
                           pages->CloseButton()->click();  // B goes
                           counts.push_back(pages->count());
                           QTest::mouseDClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());  // A goes
                           counts.push_back(pages->count());
                           QWidget* home = pages->widget(0);
                           pages->removeTab(0);
                           activeWithoutPages = pages->currentIndex();
                           QTest::mouseDClick(pages, Qt::LeftButton, {}, QPoint(5, 5));  // nothing to close
                           counts.push_back(pages->count());
                           delete home;
                           main->close();
                           return true;
                         }});
  QVERIFY(ended);
  QCOMPARE(counts, (std::vector<int>{3, 3, 2, 1, 0}));
  QCOMPARE(activeWithoutPages, -1);
  QVERIFY(Messages.empty());
}

void TestShell::eachExitCommandEndsTheProgram_data() {
  QTest::addColumn<QString>("command");
  QTest::newRow("menu 退出(&E)") << "dxBarButton6";
  QTest::newRow("toolbar 退出") << "dxbrlrgbtnExitEdit";
}

void TestShell::eachExitCommandEndsTheProgram() {
  QFETCH(QString, command);
  ConfigureService();
  bool stillShownAfterOthers = false;
  int triggered = 0;
  const bool ended = Run({"002", "demo"}, {[&] {
                           Tfrm_main* main = LoadedMain();
                           if (main == nullptr) return false;
                           // Every other command is part of the layout and does nothing.
                           for (QAction* action : main->findChildren<QAction*>()) {
                             const QString name = action->objectName();
                             if (name.isEmpty() || name == "dxBarButton6" || name == "dxbrlrgbtnExitEdit") continue;
                             action->trigger();
                             ++triggered;
                           }
                           stillShownAfterOthers = main->isVisible();
                           main->findChild<QAction*>(command)->trigger();
                           return true;
                         }});
  QVERIFY(ended);
  QVERIFY(stillShownAfterOthers);
  QVERIFY(triggered >= 50);
  QVERIFY(Messages.empty());
}
