// The data-bound tree's model: hierarchy from key and parent, the root value, rows whose parent
// is missing or that lie on a cycle, the display column's pictures, an empty dataset.
#include "DBTreeTest.h"

#include <QTest>

#include "shell/DBTree.h"

namespace {

const TDBTreeLayout kLayout{"TREEID", "FPARENTID", "-1", "IMG", "NAME", {"TREEID", "NAME", "MISSING"}};

struct TRow {
  const char* Key;
  const char* Parent;
  const char* Name;
  int64_t Image;
};

std::shared_ptr<TRecordset> Rows(const std::vector<TRow>& rows) {
  auto recordset = std::make_shared<TRecordset>(std::vector<TColumnDef>{
      {"TREEID", ftWideString, 44}, {"FPARENTID", ftWideString, 44}, {"NAME", ftWideString, 100}, {"IMG", ftInteger}});
  int32_t at = 0;
  for (const TRow& row : rows) {
    recordset->InsertRow(at++, {TCellValue{std::string(row.Key)}, TCellValue{std::string(row.Parent)},
                                TCellValue{std::string(row.Name)}, TCellValue{row.Image}});
  }
  return recordset;
}

QStringList Names(const QStandardItemModel& model, const QModelIndex& parent = {}) {
  QStringList names;
  for (int row = 0; row < model.rowCount(parent); ++row) names << model.index(row, 1, parent).data().toString();
  return names;
}

}  // namespace

void TestDBTree::buildsTheHierarchyInDatasetOrder() {
  TADOQuery query;
  // A child listed before its parent, a grandchild, an orphan, and a two-row cycle.
  query.SetRecordset(Rows({{"2", "1", "child b", 0},
                           {"1", "-1", "root", 1},
                           {"3", "1", "child c", 2},
                           {"4", "3", "grandchild", 500},
                           {"5", "99", "orphan", 3},
                           {"6", "7", "cycle x", 0},
                           {"7", "6", "cycle y", 0}}));
  query.Last();
  QStandardItemModel model;
  const std::vector<QPixmap> images(4, QPixmap(16, 16));
  FillTreeModel(model, query, kLayout, images);

  QCOMPARE(model.columnCount(), 3);
  QCOMPARE(Names(model), (QStringList{"root", "orphan", "cycle x"}));
  const QModelIndex root = model.index(0, 0);
  QCOMPARE(Names(model, root), (QStringList{"child b", "child c"}));
  QCOMPARE(Names(model, model.index(1, 0, root)), QStringList{"grandchild"});
  QCOMPARE(Names(model, model.index(2, 0)), QStringList{"cycle y"});
  QCOMPARE(model.index(0, 2).data().toString(), QString());  // a column the dataset lacks
  // The picture sits on the display column; an index beyond the list shows none.
  QVERIFY(!model.index(0, 1).data(Qt::DecorationRole).isNull());
  QVERIFY(model.index(0, 0).data(Qt::DecorationRole).isNull());
  QVERIFY(model.index(0, 1, model.index(1, 0, root)).data(Qt::DecorationRole).isNull());
  QCOMPARE(query.RecNo(), 1);  // the cursor is back on the first row
}

void TestDBTree::emptyOrClosedDatasetGivesAnEmptyTree() {
  QStandardItemModel model;
  model.appendRow(new QStandardItem("earlier"));
  TADOQuery closed;
  FillTreeModel(model, closed, kLayout, {});
  QCOMPARE(model.rowCount(), 0);

  TADOQuery empty;
  empty.SetRecordset(Rows({}));
  FillTreeModel(model, empty, kLayout, {});
  QCOMPARE(model.rowCount(), 0);
}
