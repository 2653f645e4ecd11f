#include "tests/support/presses.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <condition_variable>

#include "core/list/input_checks.h"
#include "gui/main/frmMain.h"
#include "kit/design.h"
#include "tests/support/recording_desktop.h"
#include "tests/support/rows.h"

using enum MessageIcon;
using namespace std::literals;
using Said = RecordingDesktop::Message;

namespace {

// What a read may find, in table order: a listener, a loopback connection and one to the router,
// which the initial filters hide, and others that typed filters can hide.
const std::array<TcpRow, 7> Connections = {
    Row(2, "0.0.0.0", 22, "0.0.0.0", 0, 1),         Row(5, "10.0.0.5", 22, "10.0.0.9", 50000, 2),
    Row(5, "10.0.0.5", 8080, "10.0.0.1", 40000, 3), Row(5, "10.0.0.5", 40001, "192.168.1.1", 80, 4),
    Row(2, "10.0.0.6", 80, "0.0.0.0", 0, 5),        Row(8, "10.0.0.6", 50123, "10.0.0.20", 22, 6),
    Row(5, "127.0.0.1", 631, "127.0.0.1", 50001, 7)};
// Typed into the value box, keys that do not reach it included.
constexpr std::array<std::string_view, 10> Typed = {
    "10.0.0.1", "1a0.0.0.9", "22", "80.0", "127.0.0.1", "8080", "999", "65536", "1..2", ""};
constexpr ChosenColumns FirstBoxes = {true, false, true, false, false};
const Said MustChoose{"You must choost at-least one item to be copied.", "Form Copy", Critical},
    Copied{"The selected item(s) have been copied to clipboard.", "Form Copy", Information},
    AlreadyAdded{"Already added to filter list", "Add New Filter", Information},
    NotListed{"The item does not exists in the filter list.", "Delete Entry", Warning};

// How a read or a look that a step lets go ends, by the step's choice, and the table that a read
// finds by it; the lookups of names by their key.
enum Outcome { Finished, Failed, Thrown };
TcpTable Found(int choice) {
    TcpTable table{{}, choice % 3 == Failed ? "refused" : ""};
    for (std::size_t k = 0; k < Connections.size() && choice % 3 == Finished; ++k)
        if (choice / 3 >> k & 1) table.rows.push_back(Connections[k]);
    return table;
}
std::optional<std::string> NameOf(unsigned key) {
    return key % 3 == Thrown ? throw 0 : key % 3 == Failed ? std::nullopt : std::optional("name"s);
}

// The calls of a stand-in, each held until a step lets it go with that step's choice.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<std::size_t> arrived = 0;  // calls that came
    std::size_t passed = 0, until = 0;     // calls before `until` pass
    int choice = Finished;

    int pass() {  // the choice, or what it throws
        std::unique_lock lock(mutex);
        const std::size_t ticket = arrived++;
        changed.wait(lock, [&] { return ticket < until; });
        ++passed;
        changed.notify_all();
        return choice % 3 == Thrown ? throw 0 : choice;
    }
    // Lets the first `calls` calls go, and waits for them to pass, `wait` at most.
    bool letGo(std::size_t calls, int chosen, std::chrono::seconds wait = 10s) {
        std::unique_lock lock(mutex);
        until = calls, choice = chosen;
        changed.notify_all();
        return changed.wait_for(lock, wait, [&] { return passed >= calls; });
    }
    void open() { letGo(SIZE_MAX, Finished, 0s); }  // every call passes from now on
};

// The windows beside the main one, the main one, and what else a step may need: a modal window
// up, or nothing.
enum Window { FilterList, AddFilter, Copy, About, Programmer, Main, Modal, Nothing };
enum Shown { Absent, Hidden, Up };  // absent: not built, or destroyed by its close box
template <class... Class>
const std::array<const QMetaObject*, sizeof...(Class)> MetaObjects = {&Class::staticMetaObject...};
const auto& Classes =
    MetaObjects<frmFilter, frmAddNew, frmCopy, frmAbout, frmAboutProgrammer, frmMain>;
constexpr std::array<Window, StepKinds.size()> Needs = {
    Main,  Main,    Main,       Main,       Nothing,    Nothing,   Nothing,   Modal,
    Modal, Nothing, FilterList, FilterList, FilterList, AddFilter, AddFilter, Copy,
    Copy,  Copy,    About,      Programmer, Main,       Nothing,   Nothing};

template <class Class = QWidget>
Class* Built(const QMetaObject* of = &Class::staticMetaObject) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto found = std::ranges::find(windows, of, &QObject::metaObject);
    return found == windows.end() ? nullptr : static_cast<Class*>(*found);
}

// The window, when the user can reach it: shown, and no modal window but itself up.
QWidget* Reached(Window window) {
    QWidget *built = Built(Classes[window]), *modal = QApplication::activeModalWidget();
    return built && built->isVisible() && (!modal || modal == built) ? built : nullptr;
}

// Whether the program asked its event loop to end: a loop started since returns at once.
bool Ended() {
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&] { probe.exit(1); });
    return probe.exec() == -1;
}

// The program, driven, and what the model expects of it.
struct Run {
    Run() {
        QGuiApplication::clipboard()->setText(QString::fromStdString(clipboard));
        main.emplace([reads = reads] { return Found(reads->pass()); },
                     RowDetails::Sources{
                         [looks = looks](const std::vector<TcpRow>& rows, std::stop_token) {
                             if (looks->pass() % 3 == Failed) throw std::runtime_error("refused");
                             return std::make_shared<const OwnerIndex>(
                                 ProcessTable{{{7, 0, "x", "alice", {2, 3}, "/bin/x"}}}, rows);
                         },
                         [](const Ipv4Address& address) { return NameOf(address[3]); },
                         [](std::uint16_t port) { return NameOf(port); },
                         [](const TcpRow& row) { return NameOf(row.holderKey), SocketNow{}; }});
        QObject::connect(&*main, &frmMain::refreshed, [this] { ++readsShown; });
        main->show();
    }

    // As the program ends: the window goes, and nothing waits for the work beside it. The next
    // run starts a program afresh, with an event loop that runs.
    ~Run() {
        main.reset();
        reads->open();
        looks->open();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    }

    bool offered(unsigned kind, int choice) const {
        switch (kind) {
            case Kind("read ends"): return reading;
            case Kind("look ends"): return looksLetGo < looksStarted;
            case Kind("row details"): return !shown.empty();
            case Kind("close box"): return Reached(Window(choice % Main));
        }
        return Needs[kind] == Nothing ||
               (Needs[kind] == Modal ? QApplication::activeModalWidget() : Reached(Needs[kind]));
    }

    void take(unsigned kind, int choice) {
        QWidget* const modal = QApplication::activeModalWidget();
        auto* const filters = Built<frmFilter>();
        auto* const about = Built<frmAbout>();
        auto* const programmer = Built<frmAboutProgrammer>();
        const auto pick = [choice](std::size_t count) { return std::size_t(choice) % count; };
        switch (kind) {
            case Kind("Refresh List"):
                main->cmdRefresh->click();
                if (std::exchange(reading, true)) break;
                shown.clear();  // until the read is in
                readFilters = filters_;
                ++readsStarted;
                break;
            case Kind("Filter List"): press(&frmMain::cmdFilter, FilterList, Up); break;
            case Kind("Copy..."): press(&frmMain::cmdCopy, Copy, Up); break;
            case Kind("About"): press(&frmMain::cmdAbout, About, Up); break;
            case Kind("read ends"):  // the rows, less those that the filters hid at the press
                if (!reads->letGo(readsStarted, choice) ||
                    !QTest::qWaitFor([&] { return readsShown == readsStarted; }, 10'000))
                    failed = "the read's rows did not come";
                ++looksStarted;
                reading = false;
                readFailure = std::array{"", "refused", "unknown failure"}[choice % 3];
                hidden = std::erase_if(shown = Found(choice).rows,
                                       std::bind_front(&Filters::hides, &readFilters));
                if (copyWaits) copied(*std::exchange(copyWaits, std::nullopt));
                break;
            case Kind("look ends"):
                if (!looks->letGo(looksLetGo = looksStarted, choice)) failed = "no look came";
                break;
            case Kind("row details"):  // as the list does for a tooltip
                main->connections().index(int(pick(shown.size())), 0).data(Qt::ToolTipRole);
                break;
            case Kind("minimise"): modal->showMinimized(); break;  // it comes back
            case Kind("Esc or Enter"):  // Esc hides the filter windows; About keeps Esc and Enter
                modal->activateWindow();
                QCoreApplication::processEvents();
                QTest::keyClick(modal, modal == about && pick(2) ? Qt::Key_Return : Qt::Key_Escape);
                if (modal != about) set(modal == filters ? FilterList : AddFilter, Hidden);
                break;
            case Kind("close box"):
                Built(Classes[pick(Main)])->close();
                set(Window(pick(Main)), Absent);
                break;
            case Kind("Add New"): press(&frmFilter::cmdAdd, AddFilter, Up); break;
            case Kind("Delete Entry"): {  // the line chosen, or none
                const std::vector<FilterEntry> entries = filters_.entries();
                const std::size_t line = pick(entries.size() + 1);
                filters->lstFilter->setCurrentRow(int(line), QItemSelectionModel::ClearAndSelect);
                filters->cmdDelete->click();
                if (line == entries.size()) say.push_back(NotListed);
                if (line < entries.size()) filters_.remove(entries[line].kind, entries[line].value);
                break;
            }
            case Kind("Close (filters)"): press(&frmFilter::cmdClose, FilterList, Hidden); break;
            case Kind("Add Now"): addFilter(*Built<frmAddNew>(), choice); break;
            case Kind("Cancel"): press(&frmAddNew::cmdCancel, AddFilter, Hidden); break;
            case Kind("tick a column"):
                Built<frmCopy>()->chkColumns[pick(5)]->click();
                boxes[pick(5)] = !boxes[pick(5)];
                break;
            case Kind("Copy Now"):
                Built<frmCopy>()->cmdCopy->click();
                if (!AnyColumnChosen(boxes)) say.push_back(MustChoose);
                if (AnyColumnChosen(boxes) && reading) copyWaits = boxes;
                if (AnyColumnChosen(boxes) && !reading) copied(boxes);
                break;
            case Kind("Close (Copy)"): press(&frmCopy::cmdClose, Copy, Hidden); break;
            case Kind("About text"):  // a line hides About; the link opens the page
                QTest::mouseClick(pick(5) == 4 ? about->lblLink : about->lblLines[pick(5)],
                                  Qt::LeftButton);
                pick(5) == 4 ? void(++pages) : set(About, Hidden);
                break;
            case Kind("About Programmer"):  // the banner keeps its clicks; all else hides it
                QTest::mouseClick(
                    std::array<QWidget*, 4>{programmer->imgBanner, programmer->imgPortrait,
                                            programmer->lblFacts[pick(16) / 4],
                                            programmer}[pick(4)],
                    Qt::LeftButton);
                if (pick(4) > 0) set(Programmer, Hidden);
                break;
            case Kind("Exit"): main->cmdClose->click(); break;
            case Kind("close request"): main->close(); break;  // as the kit hands it, modal or not
            case Kind("session end"):                          // Qt's Quit, on X11 and on Windows
                QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
                break;
        }
        // Asked again, the program does nothing more.
        if (kind >= Kind("Exit")) main->close(), ended = true, ++pages;
        for (int pass = 0; pass < 3; ++pass) QTest::qWait(0);
    }

    // What fails of what the user relies on; nothing when all holds.
    std::string failure() const {
        if (!failed.empty()) return failed;
        if (desktop.openedPages.size() != pages) return "the page did not open once, at the end";
        if (Ended() != ended) return ended ? "the program did not end" : "the program ended";
        if (ended) return {};
        if (desktop.messages != say) return "said other than expected";
        if (QGuiApplication::clipboard()->text().toStdString() != clipboard)
            return "the clipboard holds " + QGuiApplication::clipboard()->text().toStdString();
        if (*main->connections().rows() != shown) return "the list is not the read's rows";
        int isNew = 0;  // the caption counts what the list shows
        for (int row = 0; row < int(shown.size()); ++row)
            isNew += main->connections().index(row, 0).data(Qt::BackgroundRole).isValid();
        QString caption = QString(" - %1 shown, %2 hidden").arg(shown.size()).arg(hidden) +
                          (isNew ? QString(", %1 new").arg(isNew) : "");
        if (!readFailure.empty())
            caption = " - the connection table could not be read: " + FromView(readFailure);
        if (!main->windowTitle().endsWith(reading ? " - reading the connection table..." : caption))
            return "the caption is " + main->windowTitle().toStdString();
        if (reads->arrived > readsStarted) return "a read started that nobody asked for";
        const auto* copy = Built<frmCopy>();
        if ((main->lstConnections->cursor().shape() == Qt::WaitCursor) != reading ||
            (copy && (copy->cursor().shape() == Qt::WaitCursor) != bool(copyWaits)))
            return "a wait cursor is not where a read is waited for";
        if (const auto* list = Built<frmFilter>()) {
            QStringList expected, lines;
            for (const FilterEntry& entry : filters_.entries())
                expected << FromView(EntryLabel(entry.kind) + entry.value);
            for (int line = 0; line < list->lstFilter->count(); ++line)
                lines << list->lstFilter->item(line)->text();
            if (lines != expected) return "Filter List does not show the filters";
        }
        QWidget* expectedModal = nullptr;  // blocking the others, up and not minimised
        for (const Window window : {FilterList, AddFilter, Copy, About, Programmer}) {
            QWidget* const built = Built(Classes[window]);
            if (std::ranges::count(QApplication::topLevelWidgets(), Classes[window],
                                   &QObject::metaObject) > 1 ||
                (windows[window] != Absent) != bool(built) ||
                (windows[window] == Up) != (built && built->isVisible()))
                return std::string(Classes[window]->className()) + " is not as expected";
            if (windows[window] == Up && window != Copy && window != Programmer)
                expectedModal = built;
        }
        const QWidget* modal = QApplication::activeModalWidget();
        if (modal != expectedModal || (modal && modal->isMinimized()))
            return "the modal window is not the one expected, up";
        return {};
    }

    template <class Class>
    void press(QAbstractButton* Class::*button, Window window, Shown shown) {
        (Built<Class>()->*button)->click();
        set(window, shown);
    }
    // A copy that waits goes with its window; About Programmer follows About.
    void set(Window window, Shown shown) {
        windows[window] = shown;
        if (window == Copy && shown == Absent) boxes = FirstBoxes, copyWaits.reset();
        if (window == About && shown != Up) windows[Programmer] = Up;
    }
    void copied(const ChosenColumns& columns) {
        clipboard = *ClipboardText(columns, shown);
        say.push_back(Copied);
    }
    // The kind chosen by keys, the box emptied, the value typed, then Add Now or Enter.
    void addFilter(frmAddNew& add, int choice) {
        const FilterKind kind = FilterKinds[std::size_t(choice % 4)];
        const std::string_view typed = Typed[std::size_t(choice / 4 % 10)];
        QTest::keyClick(add.cboKind, Qt::Key_Home);
        for (int down = choice % 4; down > 0; --down) QTest::keyClick(add.cboKind, Qt::Key_Down);
        QTest::keyClick(add.txtValue, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(add.txtValue, Qt::Key_Delete);
        QTest::keyClicks(add.txtValue, FromView(typed));
        choice / 40 % 2 ? QTest::keyClick(add.txtValue, Qt::Key_Return) : add.cmdAdd->click();
        const std::string value = ValueBoxText(typed);
        if (const auto refusal = EntryRefusal(kind, value))
            return say.push_back({std::string(*refusal), "Add New Filter", Critical});
        if (!filters_.add(kind, value)) return say.push_back(AlreadyAdded);
        set(AddFilter, Hidden);
    }

    RecordingDesktop desktop;
    const std::shared_ptr<Gate> reads = std::make_shared<Gate>(), looks = std::make_shared<Gate>();
    std::optional<frmMain> main;
    std::size_t readsShown = 0, readsStarted = 1, looksStarted = 0, looksLetGo = 0;
    // What the model expects, and a wait that was not met.
    Filters filters_ = Filters::initial(), readFilters = filters_;
    bool reading = true, ended = false;
    std::vector<TcpRow> shown;
    std::size_t hidden = 0, pages = 0;
    std::string readFailure, clipboard = "the user's text", failed;
    std::array<Shown, Main> windows{};
    ChosenColumns boxes = FirstBoxes;
    std::optional<ChosenColumns> copyWaits;  // a copy pressed while the table is read
    std::vector<Said> say;
};

}  // namespace

std::optional<std::string> RunSteps(const QByteArray& steps, bool tell) {
    Run run;
    for (qsizetype at = 0; at + 1 < steps.size() && !run.ended; at += 2) {
        // A step not offered gives its turn to the next of its kind that is: of those that end
        // the program, or of the others.
        const unsigned drawn = std::uint8_t(steps[at]) % StepKinds.size(), ending = Kind("Exit"),
                       first = drawn < ending ? 0 : ending,
                       kinds = drawn < ending ? ending : StepKinds.size() - ending;
        const int choice = std::uint8_t(steps[at + 1]);
        unsigned kind = drawn;
        for (unsigned next = 1; next < kinds && !run.offered(kind, choice); ++next)
            kind = first + (drawn - first + next) % kinds;
        if (tell) std::fprintf(stderr, "%s (%d)\n", std::string(StepKinds[kind]).c_str(), choice);
        if (run.offered(kind, choice)) run.take(kind, choice);
        if (const std::string failed = run.failure(); !failed.empty())
            return "at step " + std::to_string(at / 2 + 1) + ": " + failed;
    }
    return {};
}
