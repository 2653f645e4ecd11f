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
using Said = RecordingDesktop::Message;

namespace {

const QString Names =
    "Refresh List|Filter List|Copy...|About|read ends|look ends|row details|minimise|Esc or "
    "Enter|close box|Add New|Delete Entry|Close (Filter List)|Add Now|Cancel|tick|Copy Now|Close "
    "(Copy)|About text|About Programmer|Exit|close request|session end";

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

// How a read or a look that a step lets go ends, by the step's choice; the lookups of names by
// their key.
enum Outcome { Finished, Failed, Thrown };
std::optional<std::string> NameOf(unsigned key) {
    if (key % 3 == Thrown) throw 0;
    return key % 3 == Failed ? std::nullopt : std::optional<std::string>("name");
}

// The calls of a stand-in, each held until a step lets it go with that step's choice.
class Gate {
public:
    std::atomic<std::size_t> arrived = 0;  // calls that came

    int pass() {
        std::unique_lock lock(mutex_);
        const std::size_t ticket = arrived++;
        changed_.wait(lock, [&] { return open_ || ticket < choices_.size(); });
        ++passed_;
        changed_.notify_all();
        return ticket < choices_.size() ? choices_[ticket] : Finished;
    }
    // Lets the first `calls` calls go, and waits for them to pass, 10 s at most.
    bool letGo(std::size_t calls, int choice) {
        std::unique_lock lock(mutex_);
        choices_.resize(std::max(calls, choices_.size()), choice);
        changed_.notify_all();
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return passed_ >= calls; });
    }
    void open() {  // every call passes from now on
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t passed_ = 0;
    std::vector<int> choices_;
    bool open_ = false;
};

// The windows beside the main one, and what else a step may need: the main window reached, a
// modal window up, or nothing.
enum Window { FilterList, AddFilter, Copy, About, Programmer, Main, Modal, Nothing };
enum class Shown { None, Hidden, Up };  // none: not built, or destroyed by its close box
const std::array<const QMetaObject*, Main> Classes = {
    &frmFilter::staticMetaObject, &frmAddNew::staticMetaObject, &frmCopy::staticMetaObject,
    &frmAbout::staticMetaObject, &frmAboutProgrammer::staticMetaObject};
constexpr std::array<Window, std::size_t(Step::Count)> Needs = {
    Main,  Main,    Main,       Main,       Nothing,    Nothing,   Nothing,   Modal,
    Modal, Nothing, FilterList, FilterList, FilterList, AddFilter, AddFilter, Copy,
    Copy,  Copy,    About,      Programmer, Main,       Nothing,   Nothing};

template <class Class = QWidget>
Class* Built(Window window) {
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto found = std::ranges::find(windows, Classes[window], &QObject::metaObject);
    return found == windows.end() ? nullptr : static_cast<Class*>(*found);
}

// The window, when the user can reach it: shown, and no modal window but itself up.
QWidget* Reached(Window window) {
    QWidget *built = Built(window), *modal = QApplication::activeModalWidget();
    return built && built->isVisible() && (!modal || modal == built) ? built : nullptr;
}

// Whether the program asked its event loop to end: a loop started since returns at once.
bool Ended() {
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&] { probe.exit(1); });
    return probe.exec() == -1;
}

// The program, driven, and what the model expects of it.
class Run {
public:
    Run() {
        QGuiApplication::clipboard()->setText(QString::fromStdString(clipboard_));
        main_.emplace(
            [reads = reads_] {
                const int choice = reads->pass();
                if (choice % 3 == Thrown) throw 0;
                TcpTable table{{}, choice % 3 == Failed ? "refused" : ""};
                for (std::size_t k = 0; k < Connections.size() && table.readable(); ++k)
                    if (choice / 3 >> k & 1) table.rows.push_back(Connections[k]);
                return table;
            },
            RowDetails::Sources{
                [looks = looks_](const std::vector<TcpRow>& rows, std::stop_token) {
                    const int choice = looks->pass();
                    if (choice % 3 == Thrown) throw 0;
                    if (choice % 3 == Failed) throw std::runtime_error("refused");
                    return std::make_shared<const OwnerIndex>(
                        ProcessTable{{{7, 0, "x", "alice", {2, 3}, "/bin/x"}}}, rows);
                },
                [](const Ipv4Address& address) { return NameOf(address[3]); },
                [](std::uint16_t port) { return NameOf(port); },
                [](const TcpRow& row) { return NameOf(row.holderKey), SocketNow{}; }});
        QObject::connect(&*main_, &frmMain::refreshed, [this] { ++readsShown_; });
        main_->show();
    }

    // As the program ends: the window goes, and nothing waits for the work beside it. The next
    // run starts a program afresh.
    ~Run() {
        main_.reset();
        reads_->open();
        looks_->open();
        if (!Ended()) return;
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(); });
        QCoreApplication::exec();
    }

    bool offered(Step step, int choice) const {
        const Window needs = Needs[std::size_t(step)];
        switch (step) {
            case Step::ReadEnds: return reading_;
            case Step::LookEnds: return looksLetGo_ < looksStarted_;
            case Step::AskRowDetails: return !shown_.empty();
            case Step::CloseBox: return Reached(Window(choice % Main));
            default:
                if (needs == Main || needs == Modal)
                    return !QApplication::activeModalWidget() == (needs == Main);
                return needs == Nothing || Reached(needs);
        }
    }

    void take(Step step, int choice) {
        frmMain& main = *main_;
        QWidget* const modal = QApplication::activeModalWidget();
        auto* const filters = Built<frmFilter>(FilterList);
        auto* const copy = Built<frmCopy>(Copy);
        auto* const about = Built<frmAbout>(About);
        auto* const programmer = Built<frmAboutProgrammer>(Programmer);
        const auto pick = [choice](std::size_t count) { return std::size_t(choice) % count; };
        switch (step) {
            case Step::RefreshList:
                main.cmdRefresh->click();
                if (std::exchange(reading_, true)) break;
                shown_.clear();  // until the read is in
                readFilters_ = filters_;
                ++readsStarted_;
                break;
            case Step::FilterList: press(main.cmdFilter, FilterList, Shown::Up); break;
            case Step::OpenCopy: press(main.cmdCopy, Copy, Shown::Up); break;
            case Step::About: press(main.cmdAbout, About, Shown::Up); break;
            case Step::ReadEnds: readEnds(choice); break;
            case Step::LookEnds:
                if (!looks_->letGo(looksLetGo_ = looksStarted_, choice)) failed_ = "no look came";
                break;
            case Step::AskRowDetails:  // as the list does for a tooltip
                main.connections().index(int(pick(shown_.size())), 0).data(Qt::ToolTipRole);
                break;
            case Step::Minimise: modal->showMinimized(); break;  // it comes back
            case Step::Escape:  // Esc hides the filter windows; About keeps Esc and Enter
                modal->activateWindow();
                QCoreApplication::processEvents();
                QTest::keyClick(modal, modal == about && pick(2) ? Qt::Key_Return : Qt::Key_Escape);
                if (modal != about) set(modal == filters ? FilterList : AddFilter, Shown::Hidden);
                break;
            case Step::CloseBox:
                Built(Window(pick(Main)))->close();
                set(Window(pick(Main)), Shown::None);
                break;
            case Step::AddNew: press(filters->cmdAdd, AddFilter, Shown::Up); break;
            case Step::DeleteEntry: {  // the line chosen, or none
                const std::vector<FilterEntry> entries = filters_.entries();
                const std::size_t line = pick(entries.size() + 1);
                filters->lstFilter->clearSelection();
                if (line < entries.size()) filters->lstFilter->setCurrentRow(int(line));
                filters->cmdDelete->click();
                if (line == entries.size()) say_.push_back(NotListed);
                if (line < entries.size()) filters_.remove(entries[line].kind, entries[line].value);
                break;
            }
            case Step::CloseFilterList: press(filters->cmdClose, FilterList, Shown::Hidden); break;
            case Step::AddFilter: addFilter(*Built<frmAddNew>(AddFilter), choice); break;
            case Step::CancelFilter:
                press(Built<frmAddNew>(AddFilter)->cmdCancel, AddFilter, Shown::Hidden);
                break;
            case Step::TickColumn:
                copy->chkColumns[pick(5)]->click();
                boxes_[pick(5)] = !boxes_[pick(5)];
                break;
            case Step::CopyNow:
                copy->cmdCopy->click();
                if (!AnyColumnChosen(boxes_)) say_.push_back(MustChoose);
                if (AnyColumnChosen(boxes_) && reading_) copyWaits_ = boxes_;
                if (AnyColumnChosen(boxes_) && !reading_) copied(boxes_);
                break;
            case Step::CloseCopy: press(copy->cmdClose, Copy, Shown::Hidden); break;
            case Step::ClickAboutText:  // a line hides About; the link opens the page
                QTest::mouseClick(pick(5) == 4 ? about->lblLink : about->lblLines[pick(5)],
                                  Qt::LeftButton);
                pick(5) == 4 ? void(++pages_) : set(About, Shown::Hidden);
                break;
            case Step::ClickAboutProgrammer:  // the banner keeps its clicks; all else hides it
                QTest::mouseClick(
                    std::array<QWidget*, 4>{programmer->imgBanner, programmer->imgPortrait,
                                            programmer->lblFacts[pick(16) / 4],
                                            programmer}[pick(4)],
                    Qt::LeftButton, {},
                    pick(4) == 3 ? QPoint(4, programmer->height() - 4) : QPoint());
                if (pick(4) > 0) set(Programmer, Shown::Hidden);
                break;
            case Step::Exit: main.cmdClose->click(); break;
            case Step::CloseRequest: main.close(); break;  // as the kit hands it, modal or not
            case Step::SessionEnd: {                       // Qt's Quit, on X11 and on Windows
                QEvent quit(QEvent::Quit);
                QCoreApplication::sendEvent(qApp, &quit);
                break;
            }
            case Step::Count: break;
        }
        if (step >= Step::Exit) main.close(), ended = true, ++pages_;  // asked again: nothing more
        for (int pass = 0; pass < 3; ++pass) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    // What fails of what the user relies on; nothing when all holds.
    std::string failure() const {
        const frmMain& main = *main_;
        if (!failed_.empty()) return failed_;
        if (desktop_.openedPages.size() != pages_) return "the page did not open once, at the end";
        if (Ended() != ended) return ended ? "the program did not end" : "the program ended";
        if (ended) return {};
        if (desktop_.messages != say_) return "said other than expected";
        if (QGuiApplication::clipboard()->text().toStdString() != clipboard_)
            return "the clipboard holds " + QGuiApplication::clipboard()->text().toStdString();
        if (*main.connections().rows() != shown_) return "the list is not the read's rows";
        int isNew = 0;  // the caption counts what the list shows
        for (int row = 0; row < int(shown_.size()); ++row)
            isNew += main.connections().index(row, 0).data(Qt::BackgroundRole).isValid();
        QString caption = QString(" - %1 shown, %2 hidden").arg(shown_.size()).arg(hidden_) +
                          (isNew ? QString(", %1 new").arg(isNew) : "");
        if (!readFailure_.empty())
            caption = " - the connection table could not be read: " + FromView(readFailure_);
        if (!main.windowTitle().endsWith(reading_ ? " - reading the connection table..." : caption))
            return "the caption is " + main.windowTitle().toStdString();
        if (reads_->arrived > readsStarted_) return "a read started that nobody asked for";
        const auto* copy = Built<frmCopy>(Copy);
        if ((main.lstConnections->cursor().shape() == Qt::WaitCursor) != reading_ ||
            (copy && (copy->cursor().shape() == Qt::WaitCursor) != bool(copyWaits_)))
            return "a wait cursor is not where a read is waited for";
        if (const auto* list = Built<frmFilter>(FilterList)) {
            QStringList expected, lines;
            for (const FilterEntry& entry : filters_.entries())
                expected << FromView(EntryLabel(entry.kind) + entry.value);
            for (int line = 0; line < list->lstFilter->count(); ++line)
                lines << list->lstFilter->item(line)->text();
            if (lines != expected) return "Filter List does not show the filters";
        }
        QWidget* expectedModal = nullptr;  // blocking the others, up and not minimised
        for (const Window window : {FilterList, AddFilter, Copy, About, Programmer}) {
            QWidget* const built = Built(window);
            if (std::ranges::count(QApplication::topLevelWidgets(), Classes[window],
                                   &QObject::metaObject) > 1 ||
                (windows_[window] != Shown::None) != bool(built) ||
                (windows_[window] == Shown::Up) != (built && built->isVisible()))
                return std::string(Classes[window]->className()) + " is not as expected";
            if (windows_[window] == Shown::Up && window != Copy && window != Programmer)
                expectedModal = built;
        }
        const QWidget* modal = QApplication::activeModalWidget();
        if (modal != expectedModal || (modal && modal->isMinimized()))
            return "the modal window is not the one expected, up";
        return {};
    }

    bool ended = false;

private:
    void press(QAbstractButton* button, Window window, Shown shown) {
        button->click();
        set(window, shown);
    }
    // A copy that waits goes with its window; About Programmer follows About.
    void set(Window window, Shown shown) {
        windows_[window] = shown;
        if (window == Copy && shown == Shown::None) boxes_ = FirstBoxes, copyWaits_.reset();
        if (window == About && shown != Shown::Up) windows_[Programmer] = Shown::Up;
    }
    // The rows of the read, less those that the filters hid at its press; a copy that waits for
    // them copies them.
    void readEnds(int choice) {
        if (!reads_->letGo(readsStarted_, choice) ||
            !QTest::qWaitFor([&] { return readsShown_ == readsStarted_; }, 10'000))
            failed_ = "the read's rows did not come";
        ++looksStarted_;
        reading_ = false;
        readFailure_ = std::array{"", "refused", "unknown failure"}[choice % 3];
        hidden_ = 0;
        for (std::size_t k = 0; k < Connections.size() && choice % 3 == Finished; ++k)
            if (choice / 3 >> k & 1 && readFilters_.hides(Connections[k]))
                ++hidden_;
            else if (choice / 3 >> k & 1)
                shown_.push_back(Connections[k]);
        if (copyWaits_) copied(*std::exchange(copyWaits_, std::nullopt));
    }
    void copied(const ChosenColumns& columns) {
        clipboard_ = *ClipboardText(columns, shown_);
        say_.push_back(Copied);
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
            return say_.push_back({std::string(*refusal), "Add New Filter", Critical});
        if (!filters_.add(kind, value)) return say_.push_back(AlreadyAdded);
        set(AddFilter, Shown::Hidden);
    }

    RecordingDesktop desktop_;
    const std::shared_ptr<Gate> reads_ = std::make_shared<Gate>(),
                                looks_ = std::make_shared<Gate>();
    std::optional<frmMain> main_;
    std::size_t readsShown_ = 0, readsStarted_ = 1, looksStarted_ = 0, looksLetGo_ = 0;
    std::string failed_;  // a wait that was not met
    // What the model expects.
    Filters filters_ = Filters::initial(), readFilters_ = filters_;
    bool reading_ = true;
    std::vector<TcpRow> shown_;
    std::size_t hidden_ = 0;
    std::string readFailure_;
    std::array<Shown, Main> windows_{};
    ChosenColumns boxes_ = FirstBoxes;
    std::optional<ChosenColumns> copyWaits_;  // a copy pressed while the table is read
    std::string clipboard_ = "the user's text";
    std::vector<Said> say_;
    std::size_t pages_ = 0;
};

}  // namespace

std::optional<std::string> RunSteps(std::span<const std::uint8_t> steps, bool tell) {
    Run run;
    for (std::size_t at = 0; at + 1 < steps.size() && !run.ended; at += 2) {
        // A step not offered gives its turn to the next of its kind that is: of those that end
        // the program, or of the others.
        const unsigned drawn = steps[at] % unsigned(Step::Count), ending = unsigned(Step::Exit),
                       first = drawn < ending ? 0 : ending,
                       kinds = drawn < ending ? ending : unsigned(Step::Count) - ending;
        Step step = Step(drawn);
        for (unsigned next = 1; next < kinds && !run.offered(step, steps[at + 1]); ++next)
            step = Step(first + (drawn - first + next) % kinds);
        if (tell)
            std::printf("%s (%d)\n", qPrintable(Names.section('|', int(step), int(step))),
                        steps[at + 1]);
        std::fflush(stdout);
        if (run.offered(step, steps[at + 1])) run.take(step, steps[at + 1]);
        if (const std::string failed = run.failure(); !failed.empty())
            return "at step " + std::to_string(at / 2 + 1) + ": " + failed;
    }
    return {};
}
