// Several Tervana windows started from the same program folder, opening
// pictures at the same moment: they share the work file, yet each one's
// preview shows its own picture, never another's. Each window runs in a
// process of its own, as it would on a desktop: this program started again
// with --open-repeatedly.

#include "windowtestutils.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

using namespace testutils;

namespace {

const char *const childMode = "--open-repeatedly";

QImage preview(const ScriptedWindow &w)
{
    return w->Picture1->Image().image().convertToFormat(QImage::Format_RGB32);
}

// The child: opens `picture` `count` times in a window whose program folder
// is `folder`, and prints how many previews were not that picture's and how
// many Opens failed. Exit status 0 only when every Open showed its picture.
int openRepeatedly(const QString &folder, const QString &picture, int count)
{
    // The picture's preview when no other window is about: a folder of its own.
    QTemporaryDir alone;
    ScriptedWindow reference(alone.path());
    reference.open(picture);
    const QImage expected = preview(reference);

    ScriptedWindow w(folder);
    int wrong = 0;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        w.open(picture);
        if (!w.boxes.shown.isEmpty()) {
            ++failed;
            std::fprintf(stderr, "%s\n", qPrintable(w.boxes.shown.takeLast().prompt));
        } else if (preview(w) != expected) {
            ++wrong;
        }
    }
    std::printf("%d wrong, %d failed\n", wrong, failed);
    return wrong == 0 && failed == 0 ? 0 : 1;
}

} // namespace

class tst_TwoWindows : public QObject
{
    Q_OBJECT

private slots:
    void windowsOpeningAtOnceSeeOnlyTheirOwnPictures();
};

void tst_TwoWindows::windowsOpeningAtOnceSeeOnlyTheirOwnPictures()
{
    QTemporaryDir dir;
    const QString programFolder = dir.filePath(QStringLiteral("program"));
    QVERIFY(QDir().mkpath(programFolder));
    const Colour colours[] = {Colour(0x0000FF), Colour(0x00FF00), Colour(0xFF0000)};
    std::vector<std::unique_ptr<QProcess>> windows;
    for (const Colour colour : colours) {
        const QString picture = dir.filePath(QStringLiteral("%1.bmp").arg(colour.value(), 6, 16, QLatin1Char('0')));
        QVERIFY(solidImage(24, 12, colour).save(picture, "BMP"));
        auto window = std::make_unique<QProcess>();
        window->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        window->start(QCoreApplication::applicationFilePath(),
                      {QLatin1String(childMode), programFolder, picture, QStringLiteral("300")});
        windows.push_back(std::move(window));
    }
    for (const auto &window : windows) {
        QVERIFY(window->waitForFinished(120000));
        const QByteArray report = window->readAllStandardOutput().trimmed();
        QVERIFY2(window->exitStatus() == QProcess::NormalExit && window->exitCode() == 0, report.constData());
        QCOMPARE(report, QByteArray("0 wrong, 0 failed"));
    }
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 5 && qstrcmp(argv[1], childMode) == 0)
        return openRepeatedly(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), atoi(argv[4]));
    tst_TwoWindows test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_twowindows.moc"
