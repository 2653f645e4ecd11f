#pragma once

#include <QWidget>
#include <optional>

#include "app/connection_model.h"

class QAbstractButton;
class QLabel;
class QTreeView;

// The start-up window: the connection list and the buttons that refresh it and open the other
// windows. Closing it in any way ends the program.
class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);

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

    // Where the user was in the list: the current connection and the scroll position.
    struct ListPlace {
        std::optional<TcpRow> connection;
        int column = 0;
        int verticalScroll = 0;
        int horizontalScroll = 0;
    };
    ListPlace currentPlace() const;
    void returnTo(const ListPlace& place);

    ConnectionModel model_;
    bool refreshing_ = false;
    bool exiting_ = false;
    bool centred_ = false;
};
