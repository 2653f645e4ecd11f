#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/list/refresh.h"
#include "core/table/tcp_row.h"

// The connection list's rows. Keeps the compact rows and formats a cell only when a view asks;
// a row's tooltip and accessible description are what the describer it is given says of it.
// Rows new since the last snapshot have a background of their own.
class ConnectionModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The rows shown, shared with the look at their owners and with whoever copies them.
    using Rows = ShownRows;
    // The tooltip and description of a row, new or not.
    using Describer = std::function<std::string(const TcpRow& row, bool isNew)>;

    explicit ConnectionModel(Describer describer, QObject* parent = nullptr);

    // Soft enough for black text (contrast 17.9:1) and far from the selection's blue.
    static inline const QColor NewRowColour{255, 236, 179};

    void clear();
    // Shows the rows of a new snapshot; isNew holds one flag per row.
    void setRows(Rows rows, std::vector<bool> isNew);
    const Rows& rows() const { return rows_; }

    // The describer tells more. Of which rows is not said: the view repaints what it shows, and
    // finding the rows an answer concerns would scan a million of them on the window's thread.
    void describedAgain();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // Tooltips and descriptions tell more.
    void descriptionsChanged();

private:
    Rows rows_ = std::make_shared<const std::vector<TcpRow>>();
    std::vector<bool> isNew_;
    Describer describer_;
};
