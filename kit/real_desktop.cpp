#include "kit/real_desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "kit/design.h"

void RealDesktop::showMessage(std::string_view text, std::string_view title, MessageIcon icon) {
    const QMessageBox::Icon qtIcon = icon == MessageIcon::Critical  ? QMessageBox::Critical
                                     : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                                    : QMessageBox::Information;
    QMessageBox box(qtIcon, FromView(title), FromView(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void RealDesktop::openWebPage(std::string_view address) {
    QDesktopServices::openUrl(QUrl(FromView(address)));
}
