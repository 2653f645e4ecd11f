#pragma once

#include <QWidget>
#include <optional>

#include "close_requests.h"
#include "connection_model.h"
#include "frmAbout.h"
#include "frmAboutProgrammer.h"
#include "frmCopy.h"
#include "frmFilter.h"
#include "owned_window.h"
#include "tcp_table.h"

class QAbstractButton;
class QLabel;
class QTreeView;

// The start-up window: the connection list and the buttons that refresh it and open the other
// windows. Closing it in any way ends the program. Each refresh takes its snapshot from the
// table source.
class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(TableSource tableSource, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QTreeView* ListView1 = nullptr;
    QAbstractButton* cmdRefresh = nullptr;
    QAbstractButton* cmdFilter = nullptr;
    QAbstractButton* cmdAbout = nullptr;
    QAbstractButton* cmdCopy = nullptr;
    QAbstractButton* cmdClose = nullptr;

    const ConnectionModel& connections() const { return model_; }

    void cmdRefresh_Click();
    void cmdFilter_Click();
    void cmdCopy_Click();
    void cmdAbout_Click();
    void cmdClose_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Form_QueryUnload();
    void Form_Resize();
    void ExitSequence();
    void ShowAboutProgrammer();

    // Where the user was in the list: the current connection and the scroll position.
    struct ListPlace {
        std::optional<TcpRow> connection;
        int column = 0;
        int verticalScroll = 0;
        int horizontalScroll = 0;
    };
    ListPlace currentPlace() const;
    void returnTo(const ListPlace& place);

    TableSource tableSource_;
    // The connections of the last snapshot that was read, to tell which ones are new.
    std::optional<std::vector<ConnectionKey>> previousSnapshot_;
    ConnectionModel model_;
    OwnedWindow<frmAddNew> addFilterWindow_;  // opened by the filter list, but outlives it
    OwnedWindow<frmFilter> filterWindow_;
    OwnedWindow<frmCopy> copyWindow_;
    OwnedWindow<frmAbout> aboutWindow_;
    OwnedWindow<frmAboutProgrammer> aboutProgrammerWindow_;
    bool refreshing_ = false;
    bool exiting_ = false;
    // Close requests that Qt would drop while a modal window is up.
    CloseRequests closeRequests_{*this, [this] { Form_QueryUnload(); }};
};
