#include "tests/modal_answer.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

void AnswerModal(const std::function<void()>& open, const std::function<void()>& answer) {
    QTimer::singleShot(0, [answer] {
        const QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (modal == nullptr) QTest::qFail("no modal window was opened", __FILE__, __LINE__);
        answer();
        if (modal && modal->isVisible()) modal->hide();
    });
    open();
}

QWidgetList OpenWindows() {
    QWidgetList open;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) open << window;
    return open;
}
