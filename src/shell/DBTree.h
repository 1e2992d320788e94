// The data-bound tree: fills a tree model with one node per row of a dataset. A row's key
// field names it, its parent field names its parent's key, and rows whose parent field equals
// the root value are the top-level nodes. A row whose parent is missing, or that lies on a
// cycle, is shown at the top level too, so that no row is lost. Siblings keep the dataset's
// order; each column shows one field (empty when the dataset lacks it); the display column
// carries the picture at the row's image index.
#pragma once

#include <QPixmap>
#include <QStandardItemModel>
#include <string>
#include <vector>

#include "data/DataSet.h"

struct TDBTreeLayout {
  std::string KeyField;
  std::string ParentField;
  std::string RootValue;
  std::string ImageIndexField;
  std::string DisplayField;  // the column a view shows, with the tree's lines and pictures
  std::vector<std::string> Columns;

  int DisplayColumn() const;  // its index in Columns, or -1
};

// Replaces the model's rows; the dataset's cursor ends on its first row.
void FillTreeModel(QStandardItemModel& model, TDataSet& dataSet, const TDBTreeLayout& layout,
                   const std::vector<QPixmap>& images);
