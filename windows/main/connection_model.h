#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "tcp_row.h"

// The connection list's rows. Keeps the compact rows and formats a cell only when a view asks.
class ConnectionModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void clear();
    void setRows(std::vector<TcpRow> rows);
    const std::vector<TcpRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<TcpRow> rows_;
};
