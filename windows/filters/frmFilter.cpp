#include "frmFilter.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QShortcut>

#include "Module2.h"
#include "design.h"
#include "desktop.h"
#include "fixed_window.h"

frmFilter::frmFilter(OwnedWindow<frmAddNew>& addWindow, QWidget* parent)
    : WindowManagerPlacedDialog(parent), addWindow_(addWindow) {
    SetUpWindow(this, QStringLiteral("Filter List"), 5985, 4065, QColor(255, 255, 192));
    FixWindowFrame(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/filter")));

    lstFilter = new QListWidget(this);
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
    FillFilterList();
    lstFilter->setFocus();
}

void frmFilter::FillFilterList() {
    lstFilter->clear();
    for (const std::string& line : FilterLines()) lstFilter->addItem(QString::fromStdString(line));
}

void frmFilter::cmdAdd_Click() {
    frmAddNew& window = addWindow_.get();
    connect(&window, &frmAddNew::FilterAdded, this, &frmFilter::FillFilterList,
            Qt::UniqueConnection);
    ShowModal(window);
}

void frmFilter::cmdDelete_Click() {
    const QList<QListWidgetItem*> selected = lstFilter->selectedItems();
    const std::string line =
        selected.isEmpty() ? std::string() : selected.front()->text().toStdString();
    const std::string kindWord = TrimSpaces(TextBefore(line, "="));
    FilterKind kind = FilterKinds::LocalIP;  // also for a line of no known kind
    for (FilterKind candidate = 0; candidate < FilterKinds::Count; ++candidate) {
        if (KindWord(candidate) == kindWord) {
            kind = candidate;
            break;
        }
    }
    if (!RemoveFilter(kind, TrimSpaces(TextAfter(line, "="))))
        TheDesktop().ShowMessage("The item does not exists in the filter list.", "Delete Entry",
                                 MessageIcon::Warning);
    FillFilterList();
}

void frmFilter::cmdClose_Click() { hide(); }
