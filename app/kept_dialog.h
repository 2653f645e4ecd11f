#pragma once

#include <QCloseEvent>
#include <QDialog>

// A modal window that its own controls only hide, so that it keeps its state for the next
// showing. Single windows are deleted on close, and QDialog::exec deletes such a dialog at every
// return, even when it was only hidden; so the flag waits for the close box.
class KeptDialog : public QDialog {
public:
    using QDialog::QDialog;

    int exec() override {
        setAttribute(Qt::WA_DeleteOnClose, false);
        return QDialog::exec();
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        setAttribute(Qt::WA_DeleteOnClose);
        QDialog::closeEvent(event);
    }
};
