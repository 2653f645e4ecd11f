#include "gui/copy/frmCopy.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <utility>

#include "kit/design.h"
#include "kit/desktop.h"
#include "kit/fixed_window.h"

namespace {

constexpr char Caption[] = "Form Copy";

// True when the clipboard holds the text afterwards: on X11 another program can keep the
// clipboard from us, and a missing clipboard must not look like a successful copy.
bool PutOnClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    clipboard->setText(text);  // replaces every format the clipboard held before
    return clipboard->text() == text;
}

// A frame drawn as a grey outline round the window's colour, its title on the top line, at every
// scale in whole pixels. Fusion draws a frame by darkening whatever lies under it, inside and out.
class OutlinedFrame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override {
        const QFontMetrics metrics = fontMetrics();
        const int line = metrics.height() / 2, right = width() - 1, bottom = height() - 1;
        const QRect caption(TitleIndent, 0, metrics.horizontalAdvance(title()) + 2 * TitleGap,
                            metrics.height());
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawPolyline(QPolygon({{caption.left(), line},
                                       {0, line},
                                       {0, bottom},
                                       {right, bottom},
                                       {right, line},
                                       {caption.right(), line}}));
        style()->drawItemText(&painter, caption, Qt::AlignCenter, palette(), isEnabled(), title(),
                              QPalette::WindowText);
    }

private:
    static constexpr int TitleIndent = 6;
    static constexpr int TitleGap = 2;
};

}  // namespace

frmCopy::frmCopy(ListedRows listed, QWidget* parent) : QWidget(parent), listed_(std::move(listed)) {
    SetUpWindow(this, QString::fromLatin1(Caption), 6720, 2940, QColor(255, 192, 255));
    FixWindowFrame(this);
    setWindowIcon(QIcon(QStringLiteral(":/icons/copy")));
    setFont(DialogFont());  // one face for every text of the window
    // Not centred: the client area opens at a fixed place on the screen.
    setGeometry(QRect(QPoint(276, 266), size()));

    cmdCopy = ColourButton(this, QStringLiteral("&Copy Now"), QColor(255, 192, 128),
                           TwipsRect(4560, 240, 1935, 495));

    const QRect frame = TwipsRect(120, 120, 4335, 2295);
    fraColumns = new OutlinedFrame(QStringLiteral("Copy Options: "), this);
    fraColumns->setGeometry(frame);
    fraColumns->setAccessibleName(QStringLiteral("Copy Options"));

    for (std::size_t k = 0; k < chkColumns.size(); ++k) {
        QCheckBox* check = new QCheckBox(FromView(ListColumns[k].copyChoice), fraColumns);
        // Laid out on the window, kept inside the frame.
        check->setGeometry(TwipsRect(360, 480 + 360 * static_cast<int>(k), 3615, 375)
                               .translated(-frame.topLeft()));
        check->setAccessibleName(check->text());
        chkColumns[k] = check;
    }
    chkColumns[0]->setChecked(true);
    chkColumns[2]->setChecked(true);

    cmdClose = ColourButton(this, QStringLiteral("&Close"), QColor(255, 128, 128),
                            TwipsRect(4560, 840, 1935, 495));

    setTabOrder(cmdCopy, chkColumns[0]);
    for (std::size_t k = 1; k < chkColumns.size(); ++k)
        setTabOrder(chkColumns[k - 1], chkColumns[k]);
    setTabOrder(chkColumns.back(), cmdClose);

    connect(cmdCopy, &QAbstractButton::clicked, this, &frmCopy::cmdCopy_Click);
    connect(cmdClose, &QAbstractButton::clicked, this, &frmCopy::cmdClose_Click);
}

// A press while the table is read waits for its rows under a wait cursor; another press meanwhile
// only changes the columns. A press with no column chosen changes nothing, a waiting copy
// included.
void frmCopy::cmdCopy_Click() {
    ChosenColumns chosen;
    for (std::size_t k = 0; k < chosen.size(); ++k) chosen[k] = chkColumns[k]->isChecked();
    if (!AnyColumnChosen(chosen)) {
        TheDesktop().showMessage("You must choost at-least one item to be copied.", Caption,
                                 MessageIcon::Critical);
        return;
    }
    chosen_ = chosen;
    if (std::exchange(waitingForRows_, true)) return;
    setCursor(Qt::WaitCursor);
    listed_([window = QPointer(this)](const Rows& rows) {
        if (window) window->copy(*rows);
    });
}

void frmCopy::copy(const std::vector<TcpRow>& rows) {
    waitingForRows_ = false;
    unsetCursor();
    if (!PutOnClipboard(QString::fromStdString(*ClipboardText(chosen_, rows)))) {
        TheDesktop().showMessage("The list could not be copied to the clipboard.", Caption,
                                 MessageIcon::Critical);
        return;
    }
    TheDesktop().showMessage("The selected item(s) have been copied to clipboard.", Caption,
                             MessageIcon::Information);
}

void frmCopy::cmdClose_Click() { hide(); }
