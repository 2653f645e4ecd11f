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

    QLabel* Image2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
    std::array<QLabel*, 4> lblLabel{};

    void Form_Click();
    void Image1_Click();
    void lblLabel_Click(int Index);

protected:
    void paintEvent(QPaintEvent* event) override;
};
