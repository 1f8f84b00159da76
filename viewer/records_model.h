// The records as a table model: one row per record line, one column per field.
//
// How it works: the model only looks into the parsed table it shares, so a file of any size is
// shown without copying a cell; the view asks for the rows it paints. Header texts are the two
// label rows, one above the other; row headers are the record numbers. Texts are decoded from
// the instrument's code page here, where they meet the screen.
//
// Relies on: the table not changing while the model holds it (it is const and shared).
#pragma once

#include "viewer/records_text.h"

#include <QAbstractTableModel>

#include <memory>

namespace ventaro {

class RecordsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // The number in a cell, or an invalid QVariant where the cell holds none.
    static constexpr int kValueRole = Qt::UserRole;

    explicit RecordsModel(std::shared_ptr<const RecordsTable> table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const RecordsTable& Table() const { return *table_; }

  private:
    std::shared_ptr<const RecordsTable> table_;
};

// A column's name as the legend and the axis show it.
QString ColumnTitle(const RecordsTable& table, int column);

}  // namespace ventaro
