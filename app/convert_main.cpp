// tervana-convert: the window's Open and Save, run without a person, for
// scripts and batches. Each picture goes through a fresh, never-shown window
// exactly as "Apri" then "Salva" would take it.

#include "frmbmp2icon.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <cstdio>

namespace {

enum ExitStatus { AllConverted = 0, SomeFailed = 1, BadUsage = 2 };

struct Options
{
    int filterIndex = 1; // 1 colour icon, 2 bitmap, 3 (answered No) black-and-white icon
    QStringList inputs;
    QString output;
    QString folder;
};

void printLine(FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", qPrintable(text));
}

// The file a picture is converted to: -o as given, or the picture's base
// name in -d's folder with the output's extension.
QString outputFor(const Options &options, const QString &input)
{
    if (!options.output.isEmpty())
        return options.output;
    const QString extension = options.filterIndex == 2 ? QStringLiteral(".bmp") : QStringLiteral(".ico");
    return QDir(options.folder).filePath(QFileInfo(input).completeBaseName() + extension);
}

// Converts one picture; returns the reason it could not be, or nothing.
QString convert(const Options &options, const QString &input, const QString &output)
{
    QTemporaryDir workFolder;
    if (!workFolder.isValid())
        return QStringLiteral("no folder for the work files (%1)").arg(workFolder.errorString());
    ScriptedFileDialog dialogs;
    ScriptedMessageBoxes boxes;
    frmBmp2Icon window({&dialogs, &boxes, workFolder.path()});

    dialogs.choose(input);
    window.Command3_Click();
    if (!boxes.shown.isEmpty())
        return boxes.shown.first().prompt; // names the picture and the reason

    boxes.answer(MsgBox::vbNo); // the colour question, for a black-and-white icon
    const VbError failure = window.SaveSquare(output, options.filterIndex);
    if (failure)
        return QStringLiteral("Tervana cannot write \"%1\" for \"%2\": %3.")
            .arg(QDir::toNativeSeparators(output), QDir::toNativeSeparators(input), failure.description);
    for (const ScriptedMessageBoxes::Shown &box : std::as_const(boxes.shown))
        if (box.buttons == MsgBox::vbOKOnly)
            return box.prompt;
    return QString();
}

// Reads the command line into `options`; returns an error text for bad usage.
QString parse(QCommandLineParser &parser, const QStringList &arguments, Options &options)
{
    const QCommandLineOption bmp(QStringLiteral("bmp"), QStringLiteral("Write the fitted square as a 24-bit bitmap."));
    const QCommandLineOption mono(QStringLiteral("mono"), QStringLiteral("Write a black-and-white (1-bit) icon."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the one input's result to <file>."), QStringLiteral("file"));
    const QCommandLineOption folder({QStringLiteral("d"), QStringLiteral("directory")},
                                    QStringLiteral("Write each result into <dir>, named after its input."),
                                    QStringLiteral("dir"));
    parser.setApplicationDescription(
        QStringLiteral("Turns pictures (JPEG, GIF, BMP) into 32 x 32 icons, as Tervana's window does: fitted with "
                       "proportions kept and centred, pure black transparent."));
    parser.addOptions({bmp, mono, output, folder});
    parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("Pictures to convert."), QStringLiteral("INPUT..."));
    parser.addHelpOption();
    parser.addVersionOption();
    if (!parser.parse(arguments))
        return parser.errorText();
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version")))
        return QString();

    options.inputs = parser.positionalArguments();
    options.output = parser.value(output);
    options.folder = parser.value(folder);
    if (parser.isSet(bmp) && parser.isSet(mono))
        return QStringLiteral("--bmp and --mono cannot be used together.");
    options.filterIndex = parser.isSet(bmp) ? 2 : parser.isSet(mono) ? 3 : 1;
    if (options.inputs.isEmpty())
        return QStringLiteral("No input picture given.");
    if (parser.isSet(output) == parser.isSet(folder))
        return QStringLiteral("Give either -o OUTPUT or -d DIR.");
    if (parser.isSet(output) && options.inputs.size() > 1)
        return QStringLiteral("-o takes one input; use -d DIR for several.");
    if (parser.isSet(folder) && !QFileInfo(options.folder).isDir())
        return QStringLiteral("\"%1\" is not a folder.").arg(options.folder);
    return QString();
}

// A command-line tool's stderr is for its own one-line reports; the
// toolkit's warnings about the desktop session are noise there.
void keepOnlySeriousMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        printLine(stderr, message);
}

} // namespace

int main(int argc, char *argv[])
{
    // The window is never shown, so no display is needed.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(keepOnlySeriousMessages);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tervana-convert"));
    QApplication::setApplicationVersion(QStringLiteral(TERVANA_VERSION));

    QCommandLineParser parser;
    Options options;
    const QString usageError = parse(parser, QApplication::arguments(), options);
    if (!usageError.isEmpty()) {
        printLine(stderr, QStringLiteral("tervana-convert: ") + usageError);
        printLine(stderr, QStringLiteral("Try 'tervana-convert --help'."));
        return BadUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printLine(stdout, parser.helpText());
        printLine(stdout, QStringLiteral("Usage: tervana-convert [--bmp | --mono] INPUT... (-o OUTPUT | -d DIR)"));
        return AllConverted;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        printLine(stdout, QStringLiteral("tervana-convert ") + QApplication::applicationVersion());
        return AllConverted;
    }

    int status = AllConverted;
    QHash<QString, QString> written; // output file -> the input it was made from
    for (const QString &input : std::as_const(options.inputs)) {
        const QString output = outputFor(options, input);
        const QString key = QFileInfo(output).absoluteFilePath();
        // Two inputs with the same name must not silently overwrite each other.
        const QString failure = written.contains(key)
            ? QStringLiteral("Tervana will not overwrite \"%1\", just made from \"%2\", with \"%3\".")
                  .arg(QDir::toNativeSeparators(output), QDir::toNativeSeparators(written[key]),
                       QDir::toNativeSeparators(input))
            : convert(options, input, output);
        if (failure.isEmpty())
            written.insert(key, input);
        if (!failure.isEmpty()) {
            printLine(stderr, QStringLiteral("tervana-convert: ") + failure);
            status = SomeFailed;
        }
    }
    return status;
}
