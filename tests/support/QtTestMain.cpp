// The main of test programs whose code needs a Qt event loop (timers): a core application
// object for the whole run. Tests pump its events with test::PumpEventsUntil.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
