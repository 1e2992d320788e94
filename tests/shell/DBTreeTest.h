#pragma once

#include <QObject>

class TestDBTree : public QObject {
  Q_OBJECT
 private slots:
  void buildsTheHierarchyInDatasetOrder();
  void emptyOrClosedDatasetGivesAnEmptyTree();
};
