#include "gui/filters/frmAddNew.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QValidator>
#include <algorithm>
#include <utility>

#include "core/list/input_checks.h"
#include "kit/design.h"
#include "kit/desktop.h"
#include "kit/fixed_window.h"

namespace {

constexpr std::string_view Caption = "Add New Filter";

// Text that reaches the box other than by typing (pasting, dropping) loses the characters that
// the key filter would have discarded.
class ValueBoxValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override {
        position = static_cast<int>(ValueBoxText(input.left(position).toStdString()).size());
        input = QString::fromStdString(ValueBoxText(input.toStdString()));
        return Acceptable;
    }
};

bool IsEnter(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

// A key that types a character, as opposed to moving, deleting or a shortcut.
bool IsCharacterKey(const QKeyEvent& key) {
    if (key.text().isEmpty()) return false;
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    switch (key.key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
        case Qt::Key_Delete: return false;
        default: return true;
    }
}

}  // namespace

frmAddNew::frmAddNew(Filters& filters, QWidget* parent)
    : WindowManagerPlacedDialog(parent), filters_(filters) {
    SetUpWindow(this, FromView(Caption), 6330, 1575, QColor(255, 255, 192));
    FixWindowFrame(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/addnew")));

    cmdAdd = ColourButton(this, QStringLiteral("&Add Now"), QColor(255, 192, 128),
                          TwipsRect(4680, 240, 1455, 495));
    txtValue = new QLineEdit(this);
    txtValue->setGeometry(TwipsRect(2400, 240, 2175, 375));
    txtValue->setFont(DesignFont(QStringLiteral("MS Sans Serif"), 8.25));
    txtValue->setAccessibleName(QStringLiteral("Address or port"));
    txtValue->setValidator(new ValueBoxValidator(txtValue));
    txtValue->installEventFilter(this);
    cboKind = new QComboBox(this);
    cboKind->setGeometry(TwipsRect(120, 240, 2175, 315));
    cboKind->setFont(DesignFont(QStringLiteral("MS Sans Serif"), 8.25));
    cboKind->setAccessibleName(QStringLiteral("Filter kind"));
    cmdCancel = ColourButton(this, QStringLiteral("&Cancel"), QColor(255, 192, 128),
                             TwipsRect(4680, 840, 1455, 495));
    setTabOrder(cmdAdd, txtValue);
    setTabOrder(txtValue, cboKind);
    setTabOrder(cboKind, cmdCancel);

    connect(cmdAdd, &QAbstractButton::clicked, this, &frmAddNew::cmdAdd_Click);
    connect(cmdCancel, &QAbstractButton::clicked, this, &frmAddNew::cmdCancel_Click);
    connect(cboKind, &QComboBox::activated, this, &frmAddNew::cboKind_Click);
    // Pasted text counts as typed, so it is checked on leaving the box too.
    connect(txtValue, &QLineEdit::textEdited, this, [this] { valueEdited_ = true; });
    focusWatch_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* from, QWidget* to) {
            if (from != txtValue) return;
            enterPressed_ = false;
            // "&Add Now" checks the value itself; checking on the way to it as well would show
            // the same refusal twice. Focus leaving for another window (a message box, or this
            // window being hidden) is no reason for a check.
            if (to != nullptr && to != cmdAdd && to->window() == this && isVisible())
                txtValue_LostFocus();
        });
    // Esc hides the window whichever control has the focus.
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &frmAddNew::cmdCancel_Click);

    Form_Load();
}

// The base class moves the focus away while it tears the controls down; by then this window's
// part is gone, so it must no longer hear of it.
frmAddNew::~frmAddNew() { disconnect(focusWatch_); }

void frmAddNew::Form_Load() {
    for (const FilterKind kind : FilterKinds)
        cboKind->addItem(QString::fromStdString(EntryLabel(kind)));
    cboKind->setCurrentIndex(0);
    cboKind_Click();
    cmdAdd->setFocus();
}

FilterKind frmAddNew::chosenKind() const {
    return FilterKinds[static_cast<std::size_t>(cboKind->currentIndex())];
}

void frmAddNew::cboKind_Click() {
    txtValue->clear();
    valueEdited_ = false;
    if (isVisible()) txtValue->setFocus();
}

// Returns true when the key is discarded.
bool frmAddNew::txtValue_KeyPress(const QKeyEvent& key) {
    if (IsEnter(key)) enterPressed_ = true;
    if (!IsCharacterKey(key)) return false;
    const std::u32string characters = key.text().toStdU32String();
    valueEdited_ = true;
    return !std::ranges::all_of(characters, KeyReachesValueBox);
}

// Enter adds on its release -- but only the release of an Enter that was pressed here, not the
// one that just closed a message box.
void frmAddNew::txtValue_KeyUp(const QKeyEvent& key) {
    if (!IsEnter(key) || key.isAutoRepeat()) return;
    if (!std::exchange(enterPressed_, false)) return;
    cmdAdd_Click();
}

void frmAddNew::txtValue_LostFocus() {
    if (!valueEdited_) return;
    if (!validated()) {
        txtValue->setFocus();
        valueEdited_ = false;
    }
}

bool frmAddNew::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtValue && event->type() == QEvent::KeyPress)
        return txtValue_KeyPress(*static_cast<QKeyEvent*>(event));
    if (watched == txtValue && event->type() == QEvent::KeyRelease)
        txtValue_KeyUp(*static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool frmAddNew::validated() {
    txtValue->selectAll();  // after a refusal the user types over the value
    const std::string value = txtValue->text().toStdString();
    const auto refusal = EntryRefusal(chosenKind(), value);
    if (!refusal) return true;
    TheDesktop().showMessage(*refusal, Caption, MessageIcon::Critical);
    return false;
}

void frmAddNew::cmdAdd_Click() {
    if (!validated()) {
        txtValue->setFocus();
        return;
    }
    if (!filters_.add(chosenKind(), txtValue->text().toStdString())) {
        TheDesktop().showMessage("Already added to filter list", Caption, MessageIcon::Information);
        return;
    }
    emit filterAdded();
    hide();
}

void frmAddNew::cmdCancel_Click() { hide(); }
