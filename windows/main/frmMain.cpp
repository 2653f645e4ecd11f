#include "frmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QScrollBar>
#include <QTreeView>

#include "Module2.h"
#include "design.h"
#include "desktop.h"
#include "maker.h"
#include "resize_rule.h"
#include "window_placement.h"

namespace {

QString StatusText(const TcpTable& table, std::size_t shown, std::size_t newShown) {
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    QString status = QStringLiteral("Sockview status as of: ") +
                     locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                     locale.toString(now.time(), QLocale::ShortFormat);
    if (!table.readable()) {
        return status + QStringLiteral(" - the connection table could not be read: ") +
               QString::fromStdString(table.failure);
    }
    const std::size_t hidden = table.rows.size() - shown;
    status += QStringLiteral(" - %1 shown, %2 hidden").arg(shown).arg(hidden);
    if (newShown > 0) status += QStringLiteral(", %1 new").arg(newShown);
    return status;
}

}  // namespace

frmMain::frmMain(TableSource tableSource, QWidget* parent)
    : QWidget(parent), tableSource_(std::move(tableSource)) {
    SetUpWindow(this, QStringLiteral("Korvane Sockview"), 8280, 7215, QColor(192, 255, 192));
    setWindowIcon(QIcon(QStringLiteral(":/icons/main.svg")));
    CentreOnScreenAtFirstShowing(this);

    cmdRefresh =
        ColourButton(this, QStringLiteral("&Refresh List"), QColor(255, 192, 128),
                     TwipsRect(120, 840, 1455, 855), QIcon(QStringLiteral(":/icons/refresh.svg")));

    ListView1 = new QTreeView(this);
    ListView1->setGeometry(TwipsRect(120, 1800, 8055, 5295));
    ListView1->setFont(DesignFont(QStringLiteral("Arial"), 9.75));
    ListView1->setModel(&model_);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setSectionsClickable(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setStretchLastSection(false);
    for (const auto& [column, twips] :
         {std::pair{0, 1500}, {1, 1440}, {2, 1800}, {3, 1440}, {4, 1440}})
        ListView1->header()->resizeSection(column, Px(twips));
    ListView1->setAccessibleName(
        QStringLiteral("Local IP, Local Port, Remote IP, Remote Port, Status"));

    cmdFilter =
        ColourButton(this, QStringLiteral("&Filter List"), QColor(255, 255, 128),
                     TwipsRect(1680, 840, 1455, 855), QIcon(QStringLiteral(":/icons/filter.svg")));
    cmdClose =
        ColourButton(this, QStringLiteral("&Exit"), QColor(255, 128, 128),
                     TwipsRect(6360, 840, 1455, 855), QIcon(QStringLiteral(":/icons/exit.svg")));
    cmdAbout =
        ColourButton(this, QStringLiteral("&About"), QColor(128, 128, 255),
                     TwipsRect(3240, 840, 1455, 855), QIcon(QStringLiteral(":/icons/about.svg")));
    Label1 =
        DesignLabel(this, QStringLiteral("Korvane Sockview"), TwipsRect(120, 120, 8055, 855),
                    DesignFont(QStringLiteral("Georgia"), 26.25, {.bold = true, .italic = true}),
                    QColor(0, 128, 0));
    cmdCopy =
        ColourButton(this, QStringLiteral("&Copy..."), QColor(255, 192, 255),
                     TwipsRect(4800, 840, 1455, 855), QIcon(QStringLiteral(":/icons/copy.svg")));

    setTabOrder(cmdRefresh, ListView1);
    setTabOrder(ListView1, cmdFilter);
    setTabOrder(cmdFilter, cmdClose);
    setTabOrder(cmdClose, cmdAbout);
    setTabOrder(cmdAbout, cmdCopy);

    connect(cmdRefresh, &QAbstractButton::clicked, this, &frmMain::cmdRefresh_Click);
    connect(cmdFilter, &QAbstractButton::clicked, this, &frmMain::cmdFilter_Click);
    connect(cmdCopy, &QAbstractButton::clicked, this, &frmMain::cmdCopy_Click);
    connect(cmdAbout, &QAbstractButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(cmdClose, &QAbstractButton::clicked, this, &frmMain::cmdClose_Click);
    // The session's end asks as a close request does.
    connect(qApp, &QGuiApplication::commitDataRequest, this, &frmMain::Form_QueryUnload);

    Form_Load();
}

void frmMain::Form_Load() {
    SetInitialFilters();
    cmdRefresh_Click();
}

void frmMain::cmdRefresh_Click() {
    // The message processing below can deliver another press of the button; it is ignored.
    if (refreshing_) return;
    refreshing_ = true;
    setCursor(Qt::WaitCursor);

    const ListPlace place = currentPlace();
    model_.clear();
    QCoreApplication::processEvents();  // paint the emptied list before the query

    TcpTable table = tableSource_();
    // Nothing is new at the first snapshot.
    const std::vector<bool> isNew = previousSnapshot_
                                        ? NewConnections(*previousSnapshot_, table.rows)
                                        : std::vector<bool>(table.rows.size());
    std::vector<TcpRow> listed;
    std::vector<bool> listedIsNew;
    listed.reserve(table.rows.size());
    listedIsNew.reserve(table.rows.size());
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        if (IsFiltered(table.rows[i])) continue;
        listed.push_back(table.rows[i]);
        listedIsNew.push_back(isNew[i]);
    }
    const auto newShown = static_cast<std::size_t>(std::ranges::count(listedIsNew, true));
    setWindowTitle(QStringLiteral("Korvane Sockview - ") +
                   StatusText(table, listed.size(), newShown));
    // The next refresh compares with every connection of this one, hidden or not. A table that
    // could not be read is no snapshot.
    if (table.readable()) {
        previousSnapshot_.emplace();
        previousSnapshot_->reserve(table.rows.size());
        for (const TcpRow& row : table.rows) previousSnapshot_->push_back(KeyOf(row));
    }
    model_.setRows(std::move(listed), std::move(listedIsNew));
    returnTo(place);

    QCoreApplication::processEvents();
    setCursor(Qt::ArrowCursor);
    refreshing_ = false;
}

frmMain::ListPlace frmMain::currentPlace() const {
    const QModelIndex current = ListView1->currentIndex();
    if (!current.isValid()) return {};
    return {model_.rows()[static_cast<std::size_t>(current.row())], current.column(),
            ListView1->verticalScrollBar()->value(), ListView1->horizontalScrollBar()->value()};
}

// The connection that was current stays current, in view where it was, when it still exists.
void frmMain::returnTo(const ListPlace& place) {
    if (!place.connection) return;
    const auto& rows = model_.rows();
    const auto found = std::ranges::find_if(
        rows, [&](const TcpRow& row) { return SameConnection(row, *place.connection); });
    if (found == rows.end()) return;
    ListView1->setCurrentIndex(model_.index(static_cast<int>(found - rows.begin()), place.column));
    ListView1->doItemsLayout();  // the scroll ranges follow the new rows before they are set
    ListView1->verticalScrollBar()->setValue(place.verticalScroll);
    ListView1->horizontalScrollBar()->setValue(place.horizontalScroll);
}

void frmMain::cmdFilter_Click() { ShowModal(filterWindow_.get(addFilterWindow_)); }

void frmMain::cmdCopy_Click() { ShowModeless(copyWindow_.get(model_.rows())); }

// The About Programmer window follows once the About window is left.
void frmMain::cmdAbout_Click() {
    frmAbout& window = aboutWindow_.get();
    connect(&window, &frmAbout::Left, this, &frmMain::ShowAboutProgrammer, Qt::UniqueConnection);
    ShowModal(window);
}

void frmMain::ShowAboutProgrammer() { ShowModeless(aboutProgrammerWindow_.get()); }

void frmMain::cmdClose_Click() { ExitSequence(); }

void frmMain::Form_QueryUnload() { ExitSequence(); }

// Opens the maker's page once and ends the program through the normal end of the event loop, so
// that text just copied is handed to the desktop's clipboard manager. No window is asked.
void frmMain::ExitSequence() {
    if (exiting_) return;
    exiting_ = true;
    TheDesktop().OpenWebPage(kMakerWebPage);
    QCoreApplication::exit(0);
}

void frmMain::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
}

void frmMain::Form_Resize() {
    const ListSize size = ListSizeForClientSize(width() * 15.0f, height() * 15.0f);
    QRect geometry = ListView1->geometry();
    if (size.height) geometry.setHeight(qRound(*size.height / 15.0f));
    if (size.width) geometry.setWidth(qRound(*size.width / 15.0f));
    ListView1->setGeometry(geometry);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Resize();
}
