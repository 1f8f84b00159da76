#include "viewer/records_model.h"

#include "serial/codepage.h"

namespace ventaro {

RecordsModel::RecordsModel(std::shared_ptr<const RecordsTable> table, QObject* parent)
    : QAbstractTableModel(parent), table_(std::move(table)) {}

int RecordsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(table_->rows.size());
}

int RecordsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_->Columns();
}

QVariant RecordsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const RecordRow& row = table_->rows[size_t(index.row())];
    const auto column = size_t(index.column());
    if (column >= row.texts.size()) {
        return {};  // past the end of an incomplete last record
    }
    switch (role) {
        case Qt::DisplayRole:
            return FromWindows1252(row.texts[column]);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        case kValueRole:
            return row.values[column] ? QVariant(*row.values[column]) : QVariant();
        default:
            return {};
    }
}

QVariant RecordsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (orientation == Qt::Vertical) {
        return section + 1;
    }
    if (section >= columnCount()) {
        return {};
    }
    const auto at = size_t(section);
    const QString first = FromWindows1252(table_->labels1[at]);
    const QString second = FromWindows1252(table_->labels2[at]);
    if (first.isEmpty() && second.isEmpty()) {
        return ColumnTitle(*table_, section);
    }
    return first + QLatin1Char('\n') + second;
}

QString ColumnTitle(const RecordsTable& table, int column) {
    return FromWindows1252(ColumnName(table, column));
}

}  // namespace ventaro
