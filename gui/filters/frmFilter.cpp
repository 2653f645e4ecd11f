#include "gui/filters/frmFilter.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QShortcut>

#include "kit/design.h"
#include "kit/desktop.h"
#include "kit/fixed_window.h"
#include "kit/framed_list.h"

namespace {
constexpr int KindRole = Qt::UserRole;
constexpr int ValueRole = Qt::UserRole + 1;
}  // namespace

frmFilter::frmFilter(Filters& filters, OwnedWindow<frmAddNew>& addWindow, QWidget* parent)
    : WindowManagerPlacedDialog(parent), filters_(filters), addWindow_(addWindow) {
    SetUpWindow(this, QStringLiteral("Filter List"), 5985, 4065, QColor(255, 255, 192));
    FixWindowFrame(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/filter")));

    lstFilter = new FramedList<QListWidget>(this);
    lstFilter->setGeometry(TwipsRect(120, 720, 5775, 3180));
    lstFilter->setFont(DesignFont(QStringLiteral("Arial"), 9.75));
    lstFilter->setSelectionMode(QAbstractItemView::SingleSelection);
    lstFilter->setAccessibleName(QStringLiteral("Filter entries"));
    cmdAdd = ColourButton(this, QStringLiteral("&Add New"), QColor(255, 192, 128),
                          TwipsRect(120, 120, 1455, 495));
    cmdClose = ColourButton(this, QStringLiteral("&Close"), QColor(255, 128, 128),
                            TwipsRect(3240, 120, 1455, 495));
    cmdDelete = ColourButton(this, QStringLiteral("&Delete Entry"), QColor(255, 128, 128),
                             TwipsRect(1680, 120, 1455, 495));
    setTabOrder(lstFilter, cmdAdd);
    setTabOrder(cmdAdd, cmdClose);
    setTabOrder(cmdClose, cmdDelete);

    connect(cmdAdd, &QAbstractButton::clicked, this, &frmFilter::cmdAdd_Click);
    connect(cmdDelete, &QAbstractButton::clicked, this, &frmFilter::cmdDelete_Click);
    connect(cmdClose, &QAbstractButton::clicked, this, &frmFilter::cmdClose_Click);
    // Esc hides the window whichever control has the focus.
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &frmFilter::cmdClose_Click);

    Form_Load();
}

void frmFilter::Form_Load() {
    fillFilterList();
    lstFilter->setFocus();
}

// Each line carries its entry's kind and value, so that a delete needs no reading back. No line
// is current either: the list would make its first line current when it takes the focus, and a
// key would then move on from a line that nobody chose.
void frmFilter::fillFilterList() {
    lstFilter->clear();
    for (const FilterEntry& entry : filters_.entries()) {
        auto* line = new QListWidgetItem(
            QString::fromStdString(EntryLabel(entry.kind) + entry.value), lstFilter);
        line->setData(KindRole, static_cast<int>(entry.kind));
        line->setData(ValueRole, QString::fromStdString(entry.value));
    }
    lstFilter->setCurrentIndex({});
}

void frmFilter::cmdAdd_Click() {
    frmAddNew& window = addWindow_.get(filters_);
    connect(&window, &frmAddNew::filterAdded, this, &frmFilter::fillFilterList,
            Qt::UniqueConnection);
    ShowModal(window, *this);
}

void frmFilter::cmdDelete_Click() {
    const QList<QListWidgetItem*> selected = lstFilter->selectedItems();
    const bool removed =
        !selected.isEmpty() &&
        filters_.remove(static_cast<FilterKind>(selected.front()->data(KindRole).toInt()),
                        selected.front()->data(ValueRole).toString().toStdString());
    if (!removed)
        TheDesktop().showMessage("The item does not exists in the filter list.", "Delete Entry",
                                 MessageIcon::Warning);
    fillFilterList();
}

void frmFilter::cmdClose_Click() { hide(); }
