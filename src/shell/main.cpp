// zuzavezu, the desktop client of the report analysis platform. Reads Keldrin.ini beside the
// executable; "zuzavezu <user number> [<password>]" logs in without typing.
#include "shell/Program.h"

int main(int argc, char** argv) {
  TApplicationHost host(argc, argv);
  host.setQuitOnLastWindowClosed(false);
  TApplication application;
  application.Initialize();
  RunProgram(application);
  return 0;
}
