#include "gui/main/frmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QScrollBar>
#include <QToolTip>

#include "core/list/refresh.h"
#include "gui/main/connection_list.h"
#include "kit/background_priority.h"
#include "kit/design.h"
#include "kit/desktop.h"
#include "kit/maker.h"
#include "kit/resize_rule.h"
#include "kit/session_end.h"
#include "kit/window_placement.h"

namespace {

QString StatusText(const RefreshResult& result) {
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    QString status = QStringLiteral("Sockview status as of: ") +
                     locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                     locale.toString(now.time(), QLocale::ShortFormat);
    if (!result.failure.empty()) {
        return status + QStringLiteral(" - the connection table could not be read: ") +
               QString::fromStdString(result.failure);
    }
    status += QStringLiteral(" - %1 shown, %2 hidden").arg(result.shown->size()).arg(result.hidden);
    if (result.newShown > 0) status += QStringLiteral(", %1 new").arg(result.newShown);
    return status;
}

}  // namespace

frmMain::frmMain(TableSource tableSource, RowDetails::Sources rowDetails, QWidget* parent)
    : QWidget(parent),
      tableSource_(std::move(tableSource)),
      details_(std::move(rowDetails)),
      model_([this](const TcpRow& row, bool isNew) { return details_.describe(row, isNew); }) {
    SetUpWindow(this, QStringLiteral("Korvane Sockview"), 8280, 7215, QColor(192, 255, 192));
    setWindowIcon(QIcon(QStringLiteral(":/icons/main")));
    CentreOnScreenAtFirstShowing(this);

    cmdRefresh =
        ColourButton(this, QStringLiteral("&Refresh List"), QColor(255, 192, 128),
                     TwipsRect(120, 840, 1455, 855), QIcon(QStringLiteral(":/icons/refresh")));

    lstConnections = new ConnectionList(this);
    lstConnections->setGeometry(TwipsRect(120, 1800, 8055, 5295));
    lstConnections->setFont(DesignFont(QStringLiteral("Arial"), 9.75));
    UseReadableTooltips(lstConnections->font());
    lstConnections->setModel(&model_);
    for (const auto& [column, twips] :
         {std::pair{0, 1500}, {1, 1440}, {2, 1800}, {3, 1440}, {4, 1440}})
        lstConnections->horizontalHeader()->resizeSection(column, Px(twips));
    lstConnections->setAccessibleName(
        QStringLiteral("Local IP, Local Port, Remote IP, Remote Port, Status"));

    cmdFilter =
        ColourButton(this, QStringLiteral("&Filter List"), QColor(255, 255, 128),
                     TwipsRect(1680, 840, 1455, 855), QIcon(QStringLiteral(":/icons/filter")));
    cmdClose = ColourButton(this, QStringLiteral("&Exit"), QColor(255, 128, 128),
                            TwipsRect(6360, 840, 1455, 855), QIcon(QStringLiteral(":/icons/exit")));
    cmdAbout =
        ColourButton(this, QStringLiteral("&About"), QColor(128, 128, 255),
                     TwipsRect(3240, 840, 1455, 855), QIcon(QStringLiteral(":/icons/about")));
    lblTitle =
        DesignLabel(this, QStringLiteral("Korvane Sockview"), TwipsRect(120, 120, 8055, 855),
                    DesignFont(QStringLiteral("Georgia"), 26.25, {.bold = true, .italic = true}),
                    QColor(0, 128, 0));
    cmdCopy = ColourButton(this, QStringLiteral("&Copy..."), QColor(255, 192, 255),
                           TwipsRect(4800, 840, 1455, 855), QIcon(QStringLiteral(":/icons/copy")));

    setTabOrder(cmdRefresh, lstConnections);
    setTabOrder(lstConnections, cmdFilter);
    setTabOrder(cmdFilter, cmdClose);
    setTabOrder(cmdClose, cmdAbout);
    setTabOrder(cmdAbout, cmdCopy);

    connect(cmdRefresh, &QAbstractButton::clicked, this, &frmMain::cmdRefresh_Click);
    connect(cmdFilter, &QAbstractButton::clicked, this, &frmMain::cmdFilter_Click);
    connect(cmdCopy, &QAbstractButton::clicked, this, &frmMain::cmdCopy_Click);
    connect(cmdAbout, &QAbstractButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(cmdClose, &QAbstractButton::clicked, this, &frmMain::cmdClose_Click);
    connect(&details_, &RowDetails::ownersKnown, &model_, &ConnectionModel::describedAgain);
    connect(&details_, &RowDetails::answered, &model_, &ConnectionModel::describedAgain);
    connect(&model_, &ConnectionModel::descriptionsChanged, this,
            &frmMain::showDescriptionInTooltip);
    // The session's end asks as a close request does, where the platform does not close the
    // window itself.
    WhenTheSessionEnds(*this, [this] { Form_QueryUnload(); });

    Form_Load();
}

// The window shows before the table is read.
void frmMain::Form_Load() {
    filters_ = Filters::initial();
    cmdRefresh_Click();
}

// The list empties and the table is read beside the window, with the filters as they are now;
// its rows come in at once. A press while it is read is ignored. The title says that it is read,
// as a read can take seconds where the platform finds each socket's process slowly.
void frmMain::cmdRefresh_Click() {
    if (refreshing_) return;
    refreshing_ = true;
    setWindowTitle(QStringLiteral("Korvane Sockview - reading the connection table..."));
    lstConnections->setCursor(Qt::WaitCursor);
    placeBeforeRefresh_ = currentPlace();
    model_.clear();
    details_.forget();
    refreshes_.start(
        [read = tableSource_, previous = std::move(previous_), filters = filters_]() mutable {
            RunBelowTheWindow();  // its parts too: on two cores they would keep the window waiting
            std::optional<std::vector<ConnectionKey>> keys;
            if (previous) keys = KeysOf(*std::exchange(previous, std::nullopt));
            TcpTable table;
            try {
                table = read();
            } catch (const std::exception& error) {
                table.failure = error.what();
            }
            return Refresh(std::move(table), std::move(keys), filters);
        },
        [this](RefreshResult result) { showRefresh(std::move(result)); },
        // The previous snapshot went with the task: nothing reads as new at the next refresh.
        [this](const std::string& why) {
            showRefresh(Refresh({{}, why}, {}, filters_));
        });
}

void frmMain::showRefresh(RefreshResult result) {
    previous_ = std::move(result.next);
    setWindowTitle(QStringLiteral("Korvane Sockview - ") + StatusText(result));
    details_.lookAt(result.shown, std::move(result.listeningPorts));
    model_.setRows(std::move(result.shown), std::move(result.isNew));
    returnTo(placeBeforeRefresh_);
    lstConnections->unsetCursor();
    refreshing_ = false;
    emit refreshed();
    // After this hand-over, as a copy may show a message and wait for it.
    for (auto& take : std::exchange(waitingForRows_, {}))
        QMetaObject::invokeMethod(
            this, [take = std::move(take), rows = model_.rows()] { take(rows); },
            Qt::QueuedConnection);
}

frmMain::ListPlace frmMain::currentPlace() const {
    const QModelIndex current = lstConnections->currentIndex();
    if (!current.isValid()) return {};
    return {(*model_.rows())[static_cast<std::size_t>(current.row())],
            current.row(),
            lstConnections->selectionModel()->isSelected(current),
            current.column(),
            lstConnections->verticalScrollBar()->value(),
            lstConnections->horizontalScrollBar()->value()};
}

// The connection that was current stays current, in view where it was, when it still exists: the
// list scrolls by as many rows as came or went above it. It is selected again only if it was.
void frmMain::returnTo(const ListPlace& place) {
    if (!place.connection) return;
    const std::vector<TcpRow>& rows = *model_.rows();  // in table order
    const auto found = std::ranges::lower_bound(rows, FieldsOf(*place.connection), {}, FieldsOf);
    if (found == rows.end() || !SameConnection(*found, *place.connection)) return;
    const int row = static_cast<int>(found - rows.begin());
    lstConnections->selectionModel()->setCurrentIndex(
        model_.index(row, place.column),
        place.selected ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                       : QItemSelectionModel::NoUpdate);
    lstConnections->doItemsLayout();  // the scroll ranges follow the new rows before they are set
    lstConnections->verticalScrollBar()->setValue(place.verticalScroll + row - place.row);
    lstConnections->horizontalScrollBar()->setValue(place.horizontalScroll);
}

// A tooltip shown while the owners or the remote host were looked up tells the answer once it
// is in.
void frmMain::showDescriptionInTooltip() {
    QWidget* viewport = lstConnections->viewport();
    const QModelIndex row = lstConnections->indexAt(viewport->mapFromGlobal(QCursor::pos()));
    if (!QToolTip::isVisible() || !row.isValid()) return;
    QToolTip::showText(QCursor::pos(), row.data(Qt::ToolTipRole).toString(), viewport,
                       lstConnections->visualRect(row));
}

void frmMain::cmdFilter_Click() { ShowModal(filterWindow_.get(filters_, addFilterWindow_), *this); }

void frmMain::cmdCopy_Click() {
    ShowModeless(copyWindow_.get([this](auto take) { handListedRows(std::move(take)); }), *this);
}

// While the table is read the list is empty: a copy waits for the rows of the read.
void frmMain::handListedRows(std::function<void(ShownRows)> take) {
    if (refreshing_)
        waitingForRows_.push_back(std::move(take));
    else
        take(model_.rows());
}

// The About Programmer window follows once the About window is left.
void frmMain::cmdAbout_Click() {
    frmAbout& window = aboutWindow_.get();
    connect(&window, &frmAbout::left, this, &frmMain::showAboutProgrammer, Qt::UniqueConnection);
    ShowModal(window, *this);
}

void frmMain::showAboutProgrammer() { ShowModeless(aboutProgrammerWindow_.get(), *this); }

void frmMain::cmdClose_Click() { exitSequence(); }

void frmMain::Form_QueryUnload() { exitSequence(); }

// Opens the maker's page once and ends the program through the normal end of the event loop, so
// that text just copied is handed to the desktop's clipboard manager. No window is asked.
void frmMain::exitSequence() {
    if (exiting_) return;
    exiting_ = true;
    TheDesktop().openWebPage(MakerWebPage);
    QCoreApplication::exit(0);
}

// The session's end closes the window too: Qt quits when an X11 session manager tells the program
// to die, and when Windows ends the session (WM_ENDSESSION with TRUE), and quitting closes every
// window. A save of the session, or a logoff only asked (WM_QUERYENDSESSION, which another
// program may still cancel), is no end.
void frmMain::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
}

void frmMain::Form_Resize() {
    const ListSize size = ListSizeForClientSize(width() * 15.0f, height() * 15.0f);
    QRect geometry = lstConnections->geometry();
    if (size.height) geometry.setHeight(qRound(*size.height / 15.0f));
    if (size.width) geometry.setWidth(qRound(*size.width / 15.0f));
    lstConnections->setGeometry(geometry);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Resize();
}
