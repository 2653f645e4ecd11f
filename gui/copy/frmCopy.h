#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "kit/list_columns.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;

// The copy-options window: five check boxes choose the connection list's columns, and
// "&Copy Now" puts every row of the list, restricted to them, on the clipboard as tab-separated
// text. Modeless; "&Close" hides it, its close box discards it. It reads the connection list's
// rows at each press, so they must outlive it.
class frmCopy : public QWidget {
    Q_OBJECT
public:
    explicit frmCopy(const std::vector<TcpRow>& list, QWidget* parent = nullptr);

    QAbstractButton* cmdCopy = nullptr;
    QGroupBox* fraColumns = nullptr;
    std::array<QCheckBox*, kListColumnCount> chkColumns{};
    QAbstractButton* cmdClose = nullptr;

    void cmdCopy_Click();
    void cmdClose_Click();

private:
    const std::vector<TcpRow>& list_;
};
