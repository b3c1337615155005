// The window and tervana-convert write byte-identical files: every picture
// of the project's corpora (pictures of every shape and format, big ones the
// reduced readers take, and the hostile and cut-short sets) opened and saved
// through the window, and converted in one batch, in all three outputs. Where
// the window refuses a picture the converter refuses it in the same words.
// A picture with a transparency of its own is the exception: the converter
// keeps it in its icons, the window draws it over its background.

#include "windowtestutils.h"

#include <QDir>
#include <QHash>

using namespace testutils;

namespace {

struct Output
{
    const char *name;
    const char *option;
    int filterIndex;
    const char *extension;
};

const Output outputs[] = {
    {"colour icon", nullptr, 1, ".ico"},
    {"bitmap", "--bmp", 2, ".bmp"},
    {"black-and-white icon", "--mono", 3, ".ico"},
};

} // namespace

class tst_Identity : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_pictures;

    void makeShapes();

private slots:
    void initTestCase();
    void windowAndConverterWriteTheSameFiles_data();
    void windowAndConverterWriteTheSameFiles();
};

// Pictures of many shapes in every format the window reads, small and big
// (the reduced JPEG, bitmap and GIF readers), with pure black in them.
void tst_Identity::makeShapes()
{
    const struct
    {
        int width, height;
        const char *format;
    } shapes[] = {
        {32, 32, "BMP"},    {60, 28, "JPG"},    {28, 60, "PNG"},    {1, 1, "BMP"},     {3, 40, "GIF"},
        {90, 60, "GIF"},    {48, 48, "ICO"},    {640, 480, "JPG"},  {2400, 1600, "JPG"}, {1800, 2400, "BMP"},
        {2200, 900, "GIF"}, {1000, 1000, "PNG"}, {33, 31, "JPG"},
    };
    for (const auto &shape : shapes) {
        QImage picture = patternImage(shape.width, shape.height);
        for (int y = 0; y < shape.height; y += 3)
            for (int x = 0; x < shape.width / 3; ++x)
                picture.setPixel(x, y, qRgb(0, 0, 0));
        const QString name = QStringLiteral("shape %1x%2.%3")
                                 .arg(shape.width).arg(shape.height).arg(QString::fromLatin1(shape.format).toLower());
        QVERIFY2(saveImage(picture, QDir(m_pictures).filePath(name), shape.format), qPrintable(name));
    }
}

void tst_Identity::initTestCase()
{
    QSKIP_UNLESS_TOOL(python3WithPillow);
    QSKIP_UNLESS_TOOL(imageMagickConvert);
    m_pictures = m_dir.filePath(QStringLiteral("pictures"));
    QVERIFY(!makeHostilePictures({m_pictures}).isEmpty());
    QVERIFY(!makeHostilePictures({QStringLiteral("--cuts"), m_pictures}).isEmpty());
    makeShapes();
}

void tst_Identity::windowAndConverterWriteTheSameFiles_data()
{
    QTest::addColumn<int>("output");
#ifdef TERVANA_SANITIZED
    // Under the sanitizers, which look for memory faults, the colour icon
    // alone: the three outputs read every picture alike, and the bitmap's
    // and the black-and-white icon's encoders are theirs in other tests.
    const int outputCount = 1;
#else
    const int outputCount = 3;
#endif
    for (int i = 0; i < outputCount; ++i)
        QTest::newRow(outputs[i].name) << i;
}

void tst_Identity::windowAndConverterWriteTheSameFiles()
{
    QFETCH(int, output);
    const Output &kind = outputs[output];
    const bool icon = kind.filterIndex != 2;
    const QStringList names = QDir(m_pictures).entryList(QDir::Files, QDir::Name);
    QVERIFY(names.size() > 300);

    // The converter: all of them in one run.
    const QString converted = m_dir.filePath(QStringLiteral("converted %1").arg(output));
    const Run run = convertFolder(m_pictures, converted, kind.option ? QStringList{QLatin1String(kind.option)} : QStringList());
    QVERIFY(run.exitCode >= 0);
    QHash<QString, QString> refusals; // picture -> the converter's line about it
    for (const QString &line : run.errorLines)
        for (const QString &name : names)
            if (line.contains(QStringLiteral("Tervana cannot open \"%1\"").arg(QDir(m_pictures).filePath(name))))
                refusals.insert(name, line);

    // The window: a fresh one for each picture, Open then Save.
    int saved = 0;
    int keptTransparent = 0;
    for (const QString &name : names) {
        QTemporaryDir program;
        ScriptedWindow w(program.path());
        w.open(QDir(m_pictures).filePath(name));
        const QString result = QDir(converted).filePath(QFileInfo(name).completeBaseName() + QLatin1String(kind.extension));
        if (!w.boxes.shown.isEmpty()) {
            const QString prompt = w.boxes.shown.first().prompt;
            QVERIFY2(refusals.value(name).endsWith(prompt),
                     qPrintable(QStringLiteral("%1: the window said \"%2\", the converter \"%3\"")
                                    .arg(name, prompt, refusals.value(name))));
            QVERIFY2(!QFileInfo::exists(result), qPrintable(name));
            continue;
        }
        if (icon && hasTransparency(LoadPicture(QDir(m_pictures).filePath(name), QSize(32, 32)).picture)) {
            // Taken out of the comparison only when the converter did keep
            // a transparency the window's square has not: some pixel of its
            // colour icon is clear.
            if (output == 0) {
                const QImage kept = readIcon24(readFile(result));
                bool clear = false;
                for (int y = 0; y < kept.height() && !clear; ++y)
                    for (int x = 0; x < kept.width() && !clear; ++x)
                        clear = qAlpha(kept.pixel(x, y)) == 0;
                QVERIFY2(clear, qPrintable(name));
            }
            QVERIFY2(QFileInfo::exists(result), qPrintable(name));
            ++keptTransparent;
            continue;
        }
        const QString fromWindow = program.filePath(QStringLiteral("saved"));
        w.boxes.answer(MsgBox::vbNo); // entry 3: black and white
        w.save(fromWindow, kind.filterIndex);
        const qsizetype at = firstDifference(readFile(fromWindow), readFile(result));
        QVERIFY2(at < 0, qPrintable(QStringLiteral("%1: the files differ at byte %2").arg(name).arg(at)));
        QVERIFY2(!refusals.contains(name), qPrintable(refusals.value(name)));
        ++saved;
    }
    QVERIFY(saved >= 20);
    QVERIFY(!icon || keptTransparent >= 3);
}

QTEST_MAIN(tst_Identity)
#include "tst_identity.moc"
