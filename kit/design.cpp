#include "kit/design.h"

#include <QApplication>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QToolButton>
#include <QToolTip>

#include "kit/caption.h"

namespace {

// Faces that Linux lacks and that fontconfig replaces badly, each taken only where it is missing.
// For the dialog faces its nearest guess is a much wider face that clips the labels; Liberation
// Sans keeps Arial's metrics, which are close. Impact counts as a "fantasy" face, and the only
// one installed may be a dingbat face; Liberation Sans fits its texts at least. Without Arial and
// Times New Roman, Windows (Wine) falls back on faces of other widths and styles; the Liberation
// faces keep their metrics.
void SubstituteMissingFaces() {
    static const bool substituted = [] {
        for (const QString& face :
             {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
              QStringLiteral("Arial"), QStringLiteral("Impact")})
            QFont::insertSubstitution(face, QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("Times New Roman"),
                                  QStringLiteral("Liberation Serif"));
        return true;
    }();
    (void)substituted;
}

// Gives each tooltip, as it is shown, the system's tooltip colours back.
class SystemTooltipColours : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->inherits("QTipLabel"))
            static_cast<QWidget*>(watched)->setPalette(QToolTip::palette());
        return false;
    }
};

// Paints a window's colour behind its controls, before the window paints anything of its own. The
// window's palette stays the system's, because every control inherits it and draws its frames,
// borders, header and scroll bars in it and in shades of it.
class WindowColour : public QObject {
public:
    WindowColour(QWidget* window, QColor colour) : QObject(window), colour_(colour) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            QPainter(static_cast<QWidget*>(watched))
                .fillRect(static_cast<QPaintEvent*>(event)->rect(), colour_);
        return false;
    }

private:
    QColor colour_;
};

}  // namespace

void UseReadableTooltips(const QFont& face) {
    QToolTip::setFont(face);
    static const bool watching = (qApp->installEventFilter(new SystemTooltipColours(qApp)), true);
    (void)watching;
}

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont DesignFont(const QString& family, double pointSize, FontStyle style) {
    SubstituteMissingFaces();
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    return font;
}

QFont DialogFont() { return DesignFont(QStringLiteral("Microsoft Sans Serif"), 9.75); }

void SetUpWindow(QWidget* window, const QString& caption, int widthTwips, int heightTwips,
                 QColor background) {
    window->setWindowTitle(caption);
    KeepCaptionReadable(window);
    window->resize(Px(widthTwips), Px(heightTwips));
    new WindowColour(window, background);
}

QAbstractButton* ColourButton(QWidget* parent, const QString& caption, QColor colour,
                              QRect geometry, const QIcon& icon) {
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    button->setFont(DialogFont());
    button->setGeometry(geometry);
    button->setFocusPolicy(Qt::StrongFocus);
    if (!icon.isNull()) {
        button->setIcon(icon);
        button->setIconSize(QSize(32, 32));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    } else {
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    button->setStyleSheet(QStringLiteral("QToolButton { background-color: %1; border: 2px outset "
                                         "%2; } QToolButton:pressed { border-style: inset; } "
                                         "QToolButton:focus { border-color: black; }")
                              .arg(colour.name(), colour.darker(130).name()));
    return button;
}

QLabel* DesignLabel(QWidget* parent, const QString& text, QRect geometry, const QFont& font,
                    QColor textColour) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, textColour);
    label->setPalette(palette);
    return label;
}
