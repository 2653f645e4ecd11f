#include "frmAddNew.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QValidator>
#include <algorithm>
#include <utility>

#include "Module2.h"
#include "design.h"
#include "desktop.h"
#include "fixed_window.h"
#include "input_checks.h"

namespace {

constexpr std::string_view kCaption = "Add New Filter";

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

frmAddNew::frmAddNew(QWidget* parent) : WindowManagerPlacedDialog(parent) {
    SetUpWindow(this, FromView(kCaption), 6330, 1575, QColor(255, 255, 192));
    FixWindowFrame(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/addnew")));

    cmdAdd = ColourButton(this, QStringLiteral("&Add Now"), QColor(255, 192, 128),
                          TwipsRect(4680, 240, 1455, 495));
    Text1 = new QLineEdit(this);
    Text1->setGeometry(TwipsRect(2400, 240, 2175, 375));
    Text1->setFont(DesignFont(QStringLiteral("MS Sans Serif"), 8.25));
    Text1->setAccessibleName(QStringLiteral("Address or port"));
    Text1->setValidator(new ValueBoxValidator(Text1));
    Text1->installEventFilter(this);
    Combo1 = new QComboBox(this);
    Combo1->setGeometry(TwipsRect(120, 240, 2175, 315));
    Combo1->setFont(DesignFont(QStringLiteral("MS Sans Serif"), 8.25));
    Combo1->setAccessibleName(QStringLiteral("Filter kind"));
    cmdCancel = ColourButton(this, QStringLiteral("&Cancel"), QColor(255, 192, 128),
                             TwipsRect(4680, 840, 1455, 495));
    setTabOrder(cmdAdd, Text1);
    setTabOrder(Text1, Combo1);
    setTabOrder(Combo1, cmdCancel);

    connect(cmdAdd, &QAbstractButton::clicked, this, &frmAddNew::cmdAdd_Click);
    connect(cmdCancel, &QAbstractButton::clicked, this, &frmAddNew::cmdCancel_Click);
    connect(Combo1, &QComboBox::activated, this, &frmAddNew::Combo1_Click);
    // Pasted text counts as typed, so it is checked on leaving the box too.
    connect(Text1, &QLineEdit::textEdited, this, [this] { SetEditedMark(true); });
    focusWatch_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* from, QWidget* to) {
            if (from != Text1) return;
            enterPressed_ = false;
            // "&Add Now" checks the value itself; checking on the way to it as well would show
            // the same refusal twice. Focus leaving for another window (a message box, or this
            // window being hidden) is no reason for a check.
            if (to != nullptr && to != cmdAdd && to->window() == this && isVisible())
                Text1_LostFocus();
        });
    // Esc hides the window whichever control has the focus.
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &frmAddNew::cmdCancel_Click);

    Form_Load();
}

// The base class moves the focus away while it tears the controls down; by then this window's
// part is gone, so it must no longer hear of it.
frmAddNew::~frmAddNew() { disconnect(focusWatch_); }

void frmAddNew::Form_Load() {
    for (FilterKind kind = 0; kind < FilterKinds::Count; ++kind)
        Combo1->addItem(QString::fromStdString(EntryLabel(kind)));
    Combo1->setCurrentIndex(0);
    Combo1_Click();
    cmdAdd->setFocus();
}

void frmAddNew::SetEditedMark(bool edited) {
    Text1->setProperty("Tag", edited ? QStringLiteral("1") : QStringLiteral("0"));
}

void frmAddNew::Combo1_Click() {
    Text1->clear();
    SetEditedMark(false);
    if (isVisible()) Text1->setFocus();
}

// Returns true when the key is discarded.
bool frmAddNew::Text1_KeyPress(const QKeyEvent& key) {
    if (IsEnter(key)) enterPressed_ = true;
    if (!IsCharacterKey(key)) return false;
    const std::u32string characters = key.text().toStdU32String();
    SetEditedMark(true);
    return !std::ranges::all_of(characters, KeyReachesValueBox);
}

// Enter adds on its release -- but only the release of an Enter that was pressed here, not the
// one that just closed a message box.
void frmAddNew::Text1_KeyUp(const QKeyEvent& key) {
    if (!IsEnter(key) || key.isAutoRepeat()) return;
    if (!std::exchange(enterPressed_, false)) return;
    cmdAdd_Click();
}

void frmAddNew::Text1_LostFocus() {
    if (Text1->property("Tag").toInt() != 1) return;
    if (!Validated()) {
        Text1->setFocus();
        SetEditedMark(false);
    }
}

bool frmAddNew::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1 && event->type() == QEvent::KeyPress)
        return Text1_KeyPress(*static_cast<QKeyEvent*>(event));
    if (watched == Text1 && event->type() == QEvent::KeyRelease)
        Text1_KeyUp(*static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool frmAddNew::Validated() {
    Text1->selectAll();  // after a refusal the user types over the value
    const std::string value = Text1->text().toStdString();
    const bool addressKind = Combo1->currentText().contains(QStringLiteral("IP"));
    const auto refusal = addressKind ? AddressRefusal(value) : PortRefusal(value);
    if (!refusal) return true;
    TheDesktop().ShowMessage(*refusal, kCaption, MessageIcon::Critical);
    return false;
}

void frmAddNew::cmdAdd_Click() {
    if (!Validated()) {
        Text1->setFocus();
        return;
    }
    const auto kind = static_cast<FilterKind>(Combo1->currentIndex());
    const std::string value = Text1->text().toStdString();
    if (!AddFilter(kind, value)) {
        TheDesktop().ShowMessage("Already added to filter list", kCaption,
                                 MessageIcon::Information);
        return;
    }
    emit FilterAdded();
    hide();
}

void frmAddNew::cmdCancel_Click() { hide(); }
