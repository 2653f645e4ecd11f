#pragma once

#include <QPointer>
#include <QWidget>
#include <array>

#include "app/list_cells.h"

class QAbstractButton;
class QAbstractItemModel;
class QCheckBox;
class QGroupBox;

// The copy-options window: five check boxes choose the connection list's columns, and
// "&Copy Now" puts every row of the list, restricted to them, on the clipboard as tab-separated
// text. Modeless; its buttons hide it, its close box discards it.
class frmCopy : public QWidget {
    Q_OBJECT
public:
    explicit frmCopy(QWidget* parent = nullptr);

    QAbstractButton* cmdCopy = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QCheckBox*, kListColumnCount> Checks{};
    QAbstractButton* cmdClose = nullptr;

    // The connection list that "&Copy Now" reads, at each press.
    void ReadListFrom(const QAbstractItemModel* list);

    void cmdCopy_Click();
    void cmdClose_Click();

private:
    QPointer<const QAbstractItemModel> list_;
};
