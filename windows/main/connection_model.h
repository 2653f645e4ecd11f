#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <memory>
#include <vector>

#include "socket_owner.h"
#include "tcp_row.h"

// The connection list's rows. Keeps the compact rows and formats a cell only when a view asks.
// A row's tooltip and accessible description tell who holds the connection; rows new since
// the last snapshot have a background of their own.
class ConnectionModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Soft enough for black text (contrast 17.9:1) and far from the selection's blue.
    static inline const QColor NewRowColour{255, 236, 179};

    void clear();
    // isNew holds one flag per row.
    void setRows(std::vector<TcpRow> rows, std::vector<bool> isNew);
    const std::vector<TcpRow>& rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<TcpRow> rows_;
    std::vector<bool> isNew_;
    // Taken at the first owner question after a snapshot, until the look runs beside the window.
    mutable std::unique_ptr<const OwnerLook> look_;
};
