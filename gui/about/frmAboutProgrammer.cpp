#include "gui/about/frmAboutProgrammer.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QPainter>

#include "gui/about/clicks.h"
#include "kit/design.h"
#include "kit/fixed_window.h"
#include "kit/window_placement.h"

namespace {

const QColor Olive(128, 128, 0);

// A picture stretched to fill its box, drawn from its vector source at the screen's pixel
// density so that it stays sharp when the desktop is scaled.
QLabel* Picture(QWidget* parent, const QString& source, QRect box, const QString& name) {
    const qreal ratio = qGuiApp->devicePixelRatio();
    QImageReader reader(source);
    reader.setScaledSize(box.size() * ratio);
    QPixmap pixmap = QPixmap::fromImage(reader.read());
    pixmap.setDevicePixelRatio(ratio);

    auto* picture = new QLabel(parent);
    picture->setGeometry(box);
    picture->setPixmap(pixmap);
    picture->setAccessibleName(name);
    return picture;
}

}  // namespace

frmAboutProgrammer::frmAboutProgrammer(QWidget* parent) : QWidget(parent) {
    SetUpWindow(this, QStringLiteral("About Programmer"), 6705, 3030, QColor(255, 255, 128));
    FixWindowFrame(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/programmer")));
    CentreOnScreenAtFirstShowing(this);

    imgBanner = Picture(this, QStringLiteral(":/pictures/banner"), TwipsRect(0, 0, 6735, 735),
                        QStringLiteral("Banner"));
    lblTitle =
        DesignLabel(this, QStringLiteral("About Programmer"), TwipsRect(1320, 120, 4335, 615),
                    DesignFont(QStringLiteral("Impact"), 21.75), Olive);
    imgPortrait =
        Picture(this, QStringLiteral(":/pictures/portrait"), TwipsRect(120, 840, 1905, 2010),
                QStringLiteral("Portrait of the programmer"));

    const QColor text = palette().color(QPalette::WindowText);
    const QFont lineFont = DesignFont(QStringLiteral("MS Sans Serif"), 9.75, {.bold = true});
    lblFacts[0] =
        DesignLabel(this, QStringLiteral("Sockview Team"), TwipsRect(2160, 840, 4335, 495),
                    DesignFont(QStringLiteral("Times New Roman"), 21.75, {.bold = true}), text);
    lblFacts[1] = DesignLabel(this, QStringLiteral("Korvane Corporation"),
                              TwipsRect(2160, 1440, 4095, 255), lineFont, text);
    lblFacts[2] = DesignLabel(this, QStringLiteral("C++, Qt and TCP/IP networking"),
                              TwipsRect(2160, 1800, 4095, 615), lineFont, text);
    lblFacts[3] = DesignLabel(this, QStringLiteral("Contact #. +1-555-0100"),
                              TwipsRect(2160, 2640, 4095, 255), lineFont, text);

    SwallowClicks(imgBanner);
    SwallowClicks(lblTitle);
    OnClick(imgPortrait, [this] { imgPortrait_Click(); });
    for (int index = 0; index < static_cast<int>(lblFacts.size()); ++index)
        OnClick(lblFacts[static_cast<std::size_t>(index)],
                [this, index] { lblFacts_Click(index); });
    OnClick(this, [this] { Form_Click(); });  // the background, the rule line included
}

void frmAboutProgrammer::Form_Click() { hide(); }

void frmAboutProgrammer::imgPortrait_Click() { hide(); }

void frmAboutProgrammer::lblFacts_Click(int) { hide(); }

void frmAboutProgrammer::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(Olive, 2));
    painter.drawLine(Px(2160), Px(1320), Px(6600), Px(1320));  // Line1
}
