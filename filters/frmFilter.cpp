#include "filters/frmFilter.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QShortcut>

#include "app/design.h"
#include "app/fixed_window.h"
#include "app/single_window.h"
#include "filters/Module2.h"
#include "filters/frmAddNew.h"

void FillFilterList(QListWidget* target) {
    target->clear();
    for (const std::string& line : FilterLines()) target->addItem(QString::fromStdString(line));
}

frmFilter::frmFilter(QWidget* parent) : KeptDialog(parent) {
    SetUpWindow(this, QStringLiteral("Filter List"), 5985, 4065, QColor(255, 255, 192));
    FixWindowFrame(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/filter.svg")));

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
    FillFilterList(lstFilter);
    lstFilter->setFocus();
}

void frmFilter::cmdAdd_Click() { SingleInstance<frmAddNew>().exec(); }

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
    RemoveFilter(kind, TrimSpaces(TextAfter(line, "=")));
    FillFilterList(lstFilter);
}

void frmFilter::cmdClose_Click() { hide(); }
