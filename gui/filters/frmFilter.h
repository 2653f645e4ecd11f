#pragma once

#include "core/list/filters.h"
#include "gui/filters/frmAddNew.h"
#include "kit/owned_window.h"
#include "kit/window_placement.h"

class QAbstractButton;
class QListWidget;

// The filter list window: every filter entry as a line; deletes the selected one and opens the
// add-filter window. The lines are only a view of the filters, rebuilt after each change.
// The add-filter window is kept by the caller, so that what was typed there survives this
// window's close box.
class frmFilter : public WindowManagerPlacedDialog {
    Q_OBJECT
public:
    frmFilter(Filters& filters, OwnedWindow<frmAddNew>& addWindow, QWidget* parent = nullptr);

    QListWidget* lstFilter = nullptr;
    QAbstractButton* cmdAdd = nullptr;
    QAbstractButton* cmdClose = nullptr;
    QAbstractButton* cmdDelete = nullptr;

    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdClose_Click();

private:
    void Form_Load();
    // Replaces the lines with one line per filter entry, kinds in order.
    void fillFilterList();

    Filters& filters_;
    OwnedWindow<frmAddNew>& addWindow_;
};
