#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "kit/list_columns.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;

// The copy-options window: five check boxes choose the connection list's columns, and
// "&Copy Now" puts every row of the list, restricted to them, on the clipboard as tab-separated
// text. Modeless; "&Close" hides it, its close box discards it. It asks for the rows the list
// shows at each press.
class frmCopy : public QWidget {
    Q_OBJECT
public:
    using ListedRows = std::function<std::shared_ptr<const std::vector<TcpRow>>()>;
    explicit frmCopy(ListedRows listed, QWidget* parent = nullptr);

    QAbstractButton* cmdCopy = nullptr;
    QGroupBox* fraColumns = nullptr;
    std::array<QCheckBox*, ListColumnCount> chkColumns{};
    QAbstractButton* cmdClose = nullptr;

    void cmdCopy_Click();
    void cmdClose_Click();

private:
    ListedRows listed_;
};
