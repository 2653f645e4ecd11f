// The windows against the model of every press (support/presses), over runs drawn from a fixed
// seed. They run in this program started again, so that a crash fails the test rather than ends
// it; a failing run is shrunk, run the same way, to the fewest of its steps that still fail.
#include <QProcess>
#include <QTest>
#include <random>

#include "tests/support/presses.h"

namespace {

// One run in hexadecimal: 40 to 160 steps, then the program's end, or not. Each run draws from
// some kinds of step only, so that those come often enough together to reach deeper states; the
// copy window's (Copy..., tick a column, Copy Now) come more often, as its boxes make the most
// states with the reads.
QByteArray Drawn(std::mt19937& random) {
    QByteArray kinds = QByteArray::fromHex("020f0f0f1010"), steps;
    for (char kind = 0; kind < char(Kind("Exit")); ++kind)
        if (random() % 2) kinds.append(kind);
    for (std::size_t step = 40 + random() % 120; step > 0; --step)
        steps.append(kinds[random() % kinds.size()]).append(char(random()));
    if (random() % 2) steps.append(char(Kind("Exit") + random() % 3)).append('\0');
    return steps.toHex();
}

// What this program said when it failed the runs, given in hexadecimal and apart by dots.
std::optional<QString> FailureApart(const QByteArray& runs) {
    qputenv("SOCKVIEW_STEPS", runs);
    QProcess program;
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QCoreApplication::applicationFilePath(), {"-nocrashhandler", "presses"});
    program.waitForFinished(-1);
    if (program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0) return {};
    return QString::fromLocal8Bit(program.readAll());
}

}  // namespace

class TestPresses : public QObject {
    Q_OBJECT
private slots:
    // 6,000 steps, some 4 s (the copy's fault with no column chosen was found after 4,200).
    void presses() {
        if (const QByteArray given = qgetenv("SOCKVIEW_STEPS"); !given.isEmpty()) {
            for (const QByteArray& run : given.split('.')) {
                std::fprintf(stderr, "Steps of the run: %s\n", run.constData());
                const std::optional<std::string> failed = RunSteps(QByteArray::fromHex(run), true);
                QVERIFY2(!failed, failed.value_or("").c_str());
            }
            return;
        }
        QByteArrayList runs;
        std::mt19937 random(35);
        for (qsizetype steps = 0; steps < 6000; steps += runs.last().size() / 4)
            runs << Drawn(random);
        const std::optional<QString> said = FailureApart(runs.join('.'));
        if (!said) return;
        QByteArray steps = QByteArray::fromHex(
            said->section("Steps of the run: ", -1).section('\n', 0, 0).toLatin1());
        for (qsizetype size = steps.size() / 4 * 2; size >= 2; size = size / 4 * 2)
            for (qsizetype from = steps.size() - size; from >= 0; from -= size)
                if (const QByteArray fewer = QByteArray(steps).remove(from, size);
                    FailureApart(fewer.toHex()))
                    steps = fewer;
        QFAIL(qPrintable("The fewest steps that fail, SOCKVIEW_STEPS=" + steps.toHex() + ":\n" +
                         *FailureApart(steps.toHex())));
    }
};

QTEST_MAIN(TestPresses)
#include "test_presses.moc"
