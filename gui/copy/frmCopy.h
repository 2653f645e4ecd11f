#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "core/list/clipboard_text.h"
#include "kit/list_columns.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;

// The copy-options window: five check boxes choose the connection list's columns, and
// "&Copy Now" puts every row of the list, restricted to them, on the clipboard as tab-separated
// text. Modeless; "&Close" hides it, its close box discards it. It asks for the rows the list
// shows at each press; while the table is read, they come once the read is in, and only then is
// the clipboard touched.
class frmCopy : public QWidget {
    Q_OBJECT
public:
    using Rows = std::shared_ptr<const std::vector<TcpRow>>;
    // Hands the rows the list shows to `take`, at once or once the table being read is in.
    using ListedRows = std::function<void(std::function<void(Rows)> take)>;
    explicit frmCopy(ListedRows listed, QWidget* parent = nullptr);

    QAbstractButton* cmdCopy = nullptr;
    QGroupBox* fraColumns = nullptr;
    std::array<QCheckBox*, ListColumnCount> chkColumns{};
    QAbstractButton* cmdClose = nullptr;

    void cmdCopy_Click();
    void cmdClose_Click();

private:
    void copy(const std::vector<TcpRow>& rows);

    ListedRows listed_;
    ChosenColumns chosen_{};  // at the last press that chose a column
    bool waitingForRows_ = false;
};
