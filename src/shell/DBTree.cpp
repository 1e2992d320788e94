#include "shell/DBTree.h"

#include <QIcon>
#include <deque>
#include <unordered_map>

#include "data/Field.h"

namespace {

struct TNodeRow {
  std::string Key;
  std::string Parent;
  int ImageIndex = -1;
  QList<QStandardItem*> Items;
};

std::string FieldText(const TField* field) { return field != nullptr ? field->AsString() : std::string(); }

}  // namespace

int TDBTreeLayout::DisplayColumn() const {
  for (size_t i = 0; i < Columns.size(); ++i) {
    if (Columns[i] == DisplayField) return static_cast<int>(i);
  }
  return -1;
}

namespace {

std::vector<TNodeRow> ReadRows(TDataSet& dataSet, const TDBTreeLayout& layout, const std::vector<QPixmap>& images) {
  std::vector<TNodeRow> rows;
  if (!dataSet.Active()) return rows;
  const TField* key = dataSet.FindField(layout.KeyField);
  const TField* parent = dataSet.FindField(layout.ParentField);
  const TField* image = dataSet.FindField(layout.ImageIndexField);
  const int display = layout.DisplayColumn();
  std::vector<const TField*> columns;
  for (const std::string& name : layout.Columns) columns.push_back(dataSet.FindField(name));

  for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
    TNodeRow row{FieldText(key), FieldText(parent), -1, {}};
    if (image != nullptr && !image->IsNull()) row.ImageIndex = image->AsInteger();
    for (const TField* column : columns) {
      auto* item = new QStandardItem(QString::fromStdString(FieldText(column)));
      item->setEditable(false);
      row.Items.append(item);
    }
    if (display >= 0 && row.ImageIndex >= 0 && static_cast<size_t>(row.ImageIndex) < images.size()) {
      row.Items[display]->setIcon(QIcon(images[static_cast<size_t>(row.ImageIndex)]));
    }
    rows.push_back(std::move(row));
  }
  dataSet.First();
  return rows;
}

}  // namespace

void FillTreeModel(QStandardItemModel& model, TDataSet& dataSet, const TDBTreeLayout& layout,
                   const std::vector<QPixmap>& images) {
  model.clear();
  model.setColumnCount(static_cast<int>(layout.Columns.size()));
  if (layout.Columns.empty()) return;
  std::vector<TNodeRow> rows = ReadRows(dataSet, layout, images);

  std::unordered_map<std::string, size_t> rowOfKey;
  for (size_t i = 0; i < rows.size(); ++i) rowOfKey.emplace(rows[i].Key, i);
  std::unordered_map<size_t, std::vector<size_t>> children;
  std::vector<size_t> topLevel;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto parent = rowOfKey.find(rows[i].Parent);
    if (rows[i].Parent == layout.RootValue || parent == rowOfKey.end() || parent->second == i) {
      topLevel.push_back(i);
    } else {
      children[parent->second].push_back(i);
    }
  }

  // Top-level rows first, then their descendants; rows left over lie on cycles.
  std::vector<bool> placed(rows.size(), false);
  std::deque<std::pair<size_t, QStandardItem*>> pending;
  auto place = [&](size_t index, QStandardItem* parent) {
    placed[index] = true;
    if (parent != nullptr) {
      parent->appendRow(rows[index].Items);
    } else {
      model.appendRow(rows[index].Items);
    }
    pending.emplace_back(index, rows[index].Items.front());
  };
  auto placeDescendants = [&] {
    while (!pending.empty()) {
      const auto [index, item] = pending.front();
      pending.pop_front();
      for (const size_t child : children[index]) {
        if (!placed[child]) place(child, item);
      }
    }
  };
  for (const size_t index : topLevel) place(index, nullptr);
  placeDescendants();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (placed[i]) continue;
    place(i, nullptr);
    placeDescendants();
  }
}
