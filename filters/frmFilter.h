#pragma once

#include "app/kept_dialog.h"

class QAbstractButton;
class QListWidget;

// Replaces the lines of target with one line per filter entry, kinds in order.
void FillFilterList(QListWidget* target);

// The filter list window: every filter entry as a line; deletes the selected one and opens the
// add-filter window. The lines are only a view of the filter store, rebuilt after each change.
class frmFilter : public KeptDialog {
    Q_OBJECT
public:
    explicit frmFilter(QWidget* parent = nullptr);

    QListWidget* lstFilter = nullptr;
    QAbstractButton* cmdAdd = nullptr;
    QAbstractButton* cmdClose = nullptr;
    QAbstractButton* cmdDelete = nullptr;

    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdClose_Click();

private:
    void Form_Load();
};
