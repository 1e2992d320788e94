// The shell's QtTest programs in one process over one application object, offscreen unless a
// platform is chosen.
#include <QTest>

#include "DBTreeTest.h"
#include "ShellTest.h"
#include "shell/Application.h"
#include "shell/Fonts.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplicationHost host(argc, argv);
  host.setQuitOnLastWindowClosed(false);
  InstallFontSubstitutes();
  int status = 0;
  {
    TestDBTree tree;
    status |= QTest::qExec(&tree, argc, argv);
  }
  {
    TestShell shell;
    status |= QTest::qExec(&shell, argc, argv);
  }
  return status;
}
