#pragma once

#include <QWidget>
#include <array>

class QLabel;

// The About Programmer window: a banner, a portrait and four lines about the author. Modeless;
// a click on the portrait, the lines or the background hides it.
class frmAboutProgrammer : public QWidget {
    Q_OBJECT
public:
    explicit frmAboutProgrammer(QWidget* parent = nullptr);

    QLabel* imgBanner = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* imgPortrait = nullptr;
    std::array<QLabel*, 4> lblFacts{};

    void Form_Click();
    void imgPortrait_Click();
    void lblFacts_Click(int Index);

protected:
    void paintEvent(QPaintEvent* event) override;
};
