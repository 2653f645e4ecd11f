#pragma once

#include "window_placement.h"

class QAbstractButton;
class QComboBox;
class QKeyEvent;
class QLineEdit;

// The add-filter window: pick a kind, type an address or port, and "&Add Now" (or Enter) checks
// the value and appends it to that kind's filter list.
//
// Text1's "Tag" property is the edited mark: "1" once a key was typed since the mark was last
// reset, so the value is checked when the focus leaves the box; "0" otherwise.
class frmAddNew : public WindowManagerPlacedDialog {
    Q_OBJECT
public:
    explicit frmAddNew(QWidget* parent = nullptr);
    ~frmAddNew() override;

    QAbstractButton* cmdAdd = nullptr;
    QLineEdit* Text1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QAbstractButton* cmdCancel = nullptr;

    // True when Text1 holds a value acceptable for the selected kind; otherwise the user has
    // been told why.
    bool Validated();

    void Combo1_Click();
    void cmdAdd_Click();
    void cmdCancel_Click();

signals:
    void FilterAdded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    bool Text1_KeyPress(const QKeyEvent& key);
    void Text1_KeyUp(const QKeyEvent& key);
    void Text1_LostFocus();
    void SetEditedMark(bool edited);

    // Whether Text1 saw the press of the Enter key now being released.
    bool enterPressed_ = false;
    QMetaObject::Connection focusWatch_;
};
