#include "gui/about/frmAbout.h"

#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

#include "gui/about/clicks.h"
#include "kit/design.h"
#include "kit/desktop.h"
#include "kit/fixed_window.h"
#include "kit/maker.h"
#include "kit/version_line.h"

namespace {

const QColor Rust(192, 64, 0);

}  // namespace

frmAbout::frmAbout(QWidget* parent) : WindowManagerPlacedDialog(parent) {
    const QColor background(192, 192, 255);
    SetUpWindow(this, QStringLiteral("About Korvane Sockview"), 7065, 3075, background);
    FixWindowFrame(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/about")));

    const QString sansSerif = QStringLiteral("MS Sans Serif");
    const QString serif = QStringLiteral("Times New Roman");
    lblLines[0] =
        DesignLabel(this, QStringLiteral("Korvane Sockview"), TwipsRect(120, 0, 6615, 495),
                    DesignFont(serif, 18, {.bold = true, .underline = true}), Rust);
    lblLines[1] = DesignLabel(
        this,
        QStringLiteral(
            "Enlists the Active TCP/IP Connections which have been made by your PC and lets you "
            "filter unwanted connections to view the active connections. Best for tracing if your "
            "computer has been made unwanted connections i.e. Hacker Tools Connections etc."),
        TwipsRect(120, 390, 6855, 1215), DesignFont(serif, 12, {.bold = true}), QColor(128, 64, 0));
    lblLines[2] = DesignLabel(
        this,
        QStringLiteral(
            "This Product is quite free and available on the Korvane Corporation Website"),
        TwipsRect(120, 1750, 6855, 255), DesignFont(sansSerif, 9.75), Rust);
    lblLink = DesignLabel(this, FromView(MakerHost), TwipsRect(1440, 2040, 4335, 375),
                          DesignFont(sansSerif, 13.5), QColor(0, 0, 255));
    lblLink->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblLink->setCursor(Qt::PointingHandCursor);
    lblLink->setAccessibleDescription(QStringLiteral("Opens the maker's web page"));
    lblLines[3] =
        DesignLabel(this,
                    QStringLiteral("Note: You can give suggestion for improvements and "
                                   "increments of this product on the ") +
                        FromView(MakerDomain) + QStringLiteral(" website and donate money."),
                    TwipsRect(120, 2520, 6855, 495), DesignFont(sansSerif, 9.75, {.bold = true}),
                    QColor(0, 192, 0));

    for (int index = 0; index < static_cast<int>(lblLines.size()); ++index) {
        QLabel* label = lblLines[static_cast<std::size_t>(index)];
        OnClick(label, [this, index] { lblLines_Click(index); });
    }
    OnClick(lblLink, [this] { lblLink_Click(); });
    // Opaque, as designed: where a box overlaps the one above it, it covers it.
    for (QLabel* label : findChildren<QLabel*>()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, background);
        label->setPalette(palette);
        label->setAutoFillBackground(true);
    }

    Form_Load();
}

void frmAbout::Form_Load() {
    lblLines[0]->setText(
        QString::fromStdString(VersionLine(SOCKVIEW_VERSION_MAJOR, SOCKVIEW_VERSION_MINOR)));
}

void frmAbout::lblLines_Click(int) { hide(); }

void frmAbout::lblLink_Click() { TheDesktop().openWebPage(MakerWebPage); }

void frmAbout::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (!event->spontaneous()) emit left();
}

// No default or cancel button here: Enter and Esc do nothing.
void frmAbout::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter: event->accept(); return;
        default: QDialog::keyPressEvent(event);
    }
}

void frmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(Rust, 1));
    painter.drawLine(0, Px(1680), Px(7080), Px(1680));  // Line1
}
