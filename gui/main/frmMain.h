#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "core/list/refresh.h"
#include "core/table/tcp_table.h"
#include "gui/about/frmAbout.h"
#include "gui/about/frmAboutProgrammer.h"
#include "gui/copy/frmCopy.h"
#include "gui/filters/frmFilter.h"
#include "gui/main/connection_model.h"
#include "gui/main/row_details.h"
#include "kit/background_work.h"
#include "kit/close_requests.h"
#include "kit/owned_window.h"

class QAbstractButton;
class QLabel;
class QTableView;

// The start-up window: the connection list and the buttons that refresh it and open the other
// windows. Closing it in any way ends the program. Each refresh reads its snapshot from the
// table source and sorts it through the filters beside the window, which keeps answering; the
// list asks the row details who holds each connection, who is at its other end, and more. It
// owns the filters and hands them to the windows that show or change them.
class frmMain : public QWidget {
    Q_OBJECT
public:
    frmMain(TableSource tableSource, RowDetails::Sources rowDetails, QWidget* parent = nullptr);

    QLabel* lblTitle = nullptr;
    QTableView* lstConnections = nullptr;
    QAbstractButton* cmdRefresh = nullptr;
    QAbstractButton* cmdFilter = nullptr;
    QAbstractButton* cmdAbout = nullptr;
    QAbstractButton* cmdCopy = nullptr;
    QAbstractButton* cmdClose = nullptr;

    const ConnectionModel& connections() const { return model_; }
    const RowDetails& details() const { return details_; }

    void cmdRefresh_Click();
    void cmdFilter_Click();
    void cmdCopy_Click();
    void cmdAbout_Click();
    void cmdClose_Click();

signals:
    // The rows of a refresh are in the list.
    void refreshed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Form_QueryUnload();
    void Form_Resize();
    void exitSequence();
    void showAboutProgrammer();
    void showDescriptionInTooltip();
    void showRefresh(RefreshResult result);
    void handListedRows(std::function<void(ShownRows)> take);

    // Where the user was in the list: the current connection, its row, whether it was selected,
    // and the scroll position.
    struct ListPlace {
        std::optional<TcpRow> connection;
        int row = 0;
        bool selected = false;
        int column = 0;
        int verticalScroll = 0;
        int horizontalScroll = 0;
    };
    ListPlace currentPlace() const;
    void returnTo(const ListPlace& place);

    TableSource tableSource_;
    std::optional<PreviousSnapshot> previous_;
    Filters filters_;
    RowDetails details_;
    ConnectionModel model_;
    OwnedWindow<frmAddNew> addFilterWindow_;  // opened by the filter list, but outlives it
    OwnedWindow<frmFilter> filterWindow_;
    OwnedWindow<frmCopy> copyWindow_;
    OwnedWindow<frmAbout> aboutWindow_;
    OwnedWindow<frmAboutProgrammer> aboutProgrammerWindow_;
    ListPlace placeBeforeRefresh_;
    BackgroundWork refreshes_;
    bool refreshing_ = false;
    std::vector<std::function<void(ShownRows)>> waitingForRows_;
    bool exiting_ = false;
    // Close requests that Qt would drop while a modal window is up.
    CloseRequests closeRequests_{*this, [this] { Form_QueryUnload(); }};
};
