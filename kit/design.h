#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRect>
#include <QString>
#include <string_view>

class QAbstractButton;
class QLabel;
class QWidget;

// Window geometry is designed in twips: 15 to a pixel at 96 dots per inch. Qt's own high-DPI
// scaling takes it from there.
constexpr int Px(int twips) { return (twips + 7) / 15; }

constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return {Px(left), Px(top), Px(width), Px(height)};
}

struct FontStyle {
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// Text from the core, which speaks UTF-8.
QString FromView(std::string_view text);

// Asks for a face by name; fontconfig picks the nearest installed one.
QFont DesignFont(const QString& family, double pointSize, FontStyle style = {});

// The face of a window's buttons, and of the frames and check boxes that stand among them.
QFont DialogFont();

// Tooltips in the given face, in the system's tooltip colours. A style may give the tooltip a
// text colour of its theme's instead: under Wine, light grey on white.
void UseReadableTooltips(const QFont& face);

// Gives a window a client size in twips and its colour, which shows only behind the controls that
// draw no background of their own (labels, frames, the text of check boxes).
void SetUpWindow(QWidget* window, const QString& caption, int widthTwips, int heightTwips,
                 QColor background);

// A colour-filled command button at a place given in twips. With an icon, the 32 x 32 picture
// stands above the caption. The caption's "&" marks its access key.
QAbstractButton* ColourButton(QWidget* parent, const QString& caption, QColor colour,
                              QRect geometry, const QIcon& icon = {});

// A label at a place given in twips, wrapping its text inside its box.
QLabel* DesignLabel(QWidget* parent, const QString& text, QRect geometry, const QFont& font,
                    QColor textColour);
