#pragma once

#include "core/list/filters.h"
#include "kit/window_placement.h"

class QAbstractButton;
class QComboBox;
class QKeyEvent;
class QLineEdit;

// The add-filter window: pick a kind, type an address or port, and "&Add Now" (or Enter) checks
// the value and appends it to that kind's filter list.
//
// A value typed since the kind was chosen (or since a refusal) is checked when the focus leaves
// the box.
class frmAddNew : public WindowManagerPlacedDialog {
    Q_OBJECT
public:
    explicit frmAddNew(Filters& filters, QWidget* parent = nullptr);
    ~frmAddNew() override;

    QAbstractButton* cmdAdd = nullptr;
    QLineEdit* txtValue = nullptr;
    QComboBox* cboKind = nullptr;
    QAbstractButton* cmdCancel = nullptr;

    // True when txtValue holds a value acceptable for the chosen kind; otherwise the user has
    // been told why.
    bool validated();

    void cboKind_Click();
    void cmdAdd_Click();
    void cmdCancel_Click();

signals:
    void filterAdded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    bool txtValue_KeyPress(const QKeyEvent& key);
    void txtValue_KeyUp(const QKeyEvent& key);
    void txtValue_LostFocus();
    FilterKind chosenKind() const;

    Filters& filters_;
    // Whether a key was typed into txtValue since the kind was chosen or the value refused.
    bool valueEdited_ = false;
    // Whether txtValue saw the press of the Enter key now being released.
    bool enterPressed_ = false;
    QMetaObject::Connection focusWatch_;
};
