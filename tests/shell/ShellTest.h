#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LocalService.h"
#include "platform/Dialogs.h"

// The program and its windows, offscreen, against zuzavezu-server in this process.
class TestShell : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void cleanup();

  void messageBoxesEndOnTermination();
  void loginShowsTheReportTree();
  void commandLineLogin_data();
  void commandLineLogin();
  void wrongPasswordCanBeRetriedWithEnter();
  void cancelEndsTheProgram();
  void okLooksUpTheNumberInTheField();
  void lookupQuotesTheNumberAndPassesTheFormatStep();
  void loginWindowLayout();
  void failedConnectOffersTheSettingsAndRestartsOnce();
  void closeBoxWritesNothingAndStartsNothing();
  void settingsWindowReadsTheFile_data();
  void settingsWindowReadsTheFile();
  void settingsWindowSavesTrimmedValues_data();
  void settingsWindowSavesTrimmedValues();
  void unwritableFileKeepsTheSettingsOpen();
  void pageControlClosesAnyPageButHome();
  void eachExitCommandEndsTheProgram_data();
  void eachExitCommandEndsTheProgram();

 private:
  struct TMessage {
    TMsgDlgType Type;
    std::string Caption;
    std::string Text;
  };
  using TStep = std::function<bool()>;

  // Runs the program with these arguments while the steps play in order from a timer, each
  // answering true once it has done its part. False when the program had not ended, every
  // step done, within the time limit; it is then made to end.
  bool Run(std::vector<std::string> params, std::vector<TStep> steps);
  std::vector<std::string> MessageTexts() const;
  void WriteConfig(const std::string& text);
  std::string ReadConfig() const;
  void ConfigureService();
  void ConfigureUnreachable();

  std::unique_ptr<test::TDemoDatabase> Database;
  std::unique_ptr<test::TLocalService> Service;
  std::string ConfigPath;
  std::vector<TMessage> Messages;
  std::vector<std::string> Launched;
};
