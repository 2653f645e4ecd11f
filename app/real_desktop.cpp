#include "app/real_desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "snapshot/tcp_table.h"

namespace {
QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
}  // namespace

TcpTable RealDesktop::ReadTcpTable() { return GetTcpTable(); }

void RealDesktop::ShowMessage(std::string_view text, std::string_view title, MessageIcon icon) {
    const QMessageBox::Icon qtIcon = icon == MessageIcon::Critical  ? QMessageBox::Critical
                                     : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                                    : QMessageBox::Information;
    QMessageBox box(qtIcon, FromUtf8(title), FromUtf8(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void RealDesktop::OpenWebPage(std::string_view address) {
    QDesktopServices::openUrl(QUrl(FromUtf8(address)));
}
