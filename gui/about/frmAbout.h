#pragma once

#include <array>

#include "kit/window_placement.h"

class QLabel;

// The About window: the version line, what the product does, and a link to the maker's web
// page. Shown modally; a click on one of its four texts (not the link) hides it, its close box
// discards it.
class frmAbout : public WindowManagerPlacedDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    std::array<QLabel*, 4> lblLines{};
    QLabel* lblLink = nullptr;

    void lblLines_Click(int Index);
    void lblLink_Click();

signals:
    // The window was hidden, by a click on a text or by its close box.
    void left();

protected:
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Form_Load();
};
