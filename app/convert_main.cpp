// tervana-convert: the window's Open and Save, run without a person, for
// scripts and batches. Each picture goes through a fresh, never-shown window
// exactly as "Apri" then "Salva" would take it.

#include "atomicfile.h"
#include "fileaccess.h"
#include "frmbmp2icon.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef TERVANA_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

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
    std::fflush(stream);
}

// The converter's stderr carries its own lines, one per picture that failed.
// Some image libraries print complaints of their own straight to the
// process's stderr (libpng does for a damaged PNG), so that goes to the null
// device and the converter writes to a copy of the real one. Sanitizer
// reports, in builds that have them, still go to the real one.
FILE *keepLibraryMessagesOffStderr()
{
#ifdef Q_OS_UNIX
    // Above the three standard ones: were standard output closed, a copy in
    // its place would take what the pipeline meant for it.
    const int real = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (real < 0 || null < 0 || ::dup2(null, STDERR_FILENO) < 0)
        return stderr;
    ::close(null);
#ifdef TERVANA_SANITIZED
    __sanitizer_set_report_fd(reinterpret_cast<void *>(qintptr(real)));
#endif
    if (FILE *stream = ::fdopen(real, "w"))
        return stream;
#endif
    return stderr;
}

FILE *messages = stderr;

// The file a picture is converted to: -o as given, or the picture's base
// name in -d's folder with the output's extension.
QString outputFor(const Options &options, const QString &input)
{
    if (!options.output.isEmpty())
        return options.output;
    const QString extension = options.filterIndex == 2 ? QStringLiteral(".bmp") : QStringLiteral(".ico");
    return QDir(options.folder).filePath(QFileInfo(input).completeBaseName() + extension);
}

// Standard output stands for the output file when it is named "-".
bool namesStandardOutput(const QString &output)
{
    return output == QStringLiteral("-");
}

QString cannotWrite(const QString &output, const QString &input, const QString &why)
{
    const QString shown = namesStandardOutput(output) ? QStringLiteral("standard output") : QDir::toNativeSeparators(output);
    return QStringLiteral("Tervana cannot write \"%1\" for \"%2\": %3.").arg(shown, QDir::toNativeSeparators(input), why);
}

VbError writeToStandardOutput(const QByteArray &bytes)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
        return VbError::pathFileAccess(QStringLiteral("standard output does not take it"));
    return VbError::none();
}

// Converts one picture; returns the reason it could not be, or nothing. The
// window saves into its work folder first and the result is then delivered
// to `output`, so a device, a pipe or standard output is written into and
// never replaced.
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
    const QString made = workFolder.filePath(QStringLiteral("result"));
    if (const VbError failure = window.SaveSquare(made, options.filterIndex))
        return cannotWrite(made, input, failure.why());
    for (const ScriptedMessageBoxes::Shown &box : std::as_const(boxes.shown))
        if (box.buttons == MsgBox::vbOKOnly)
            return box.prompt;

    QFile result(made);
    if (!result.open(QIODevice::ReadOnly))
        return cannotWrite(made, input, result.errorString());
    const QByteArray bytes = result.readAll();
    const VbError delivered = namesStandardOutput(output) ? writeToStandardOutput(bytes) : writeFile(output, bytes);
    return delivered ? cannotWrite(output, input, delivered.why()) : QString();
}

// The input of the run that `output` would overwrite, if any: a result must
// never replace a picture being converted, whatever name it goes by.
QString inputAt(const QString &output, const QStringList &inputs)
{
    for (const QString &input : inputs)
        if (namesStandardOutput(output) ? isStandardOutput(input) : isSameFile(output, input))
            return input;
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
    if (parser.isSet(output) && options.output.isEmpty())
        return QStringLiteral("-o needs a file name (or - for standard output).");
    if (parser.isSet(folder) && !QFileInfo(options.folder).isDir())
        return QStringLiteral("\"%1\" is not a folder.").arg(options.folder);
    return QString();
}

// A command-line tool's stderr is for its own one-line reports; the
// toolkit's warnings about the desktop session are noise there.
void keepOnlySeriousMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        printLine(messages, message);
}

} // namespace

int main(int argc, char *argv[])
{
    // The window is never shown, so no display is needed.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    messages = keepLibraryMessagesOffStderr();
    qInstallMessageHandler(keepOnlySeriousMessages);
#ifdef SIGPIPE
    // A pipe that stops reading is reported as a failed write, not a kill.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tervana-convert"));
    QApplication::setApplicationVersion(QStringLiteral(TERVANA_VERSION));

    QCommandLineParser parser;
    Options options;
    const QString usageError = parse(parser, QApplication::arguments(), options);
    if (!usageError.isEmpty()) {
        printLine(messages, QStringLiteral("tervana-convert: ") + usageError);
        printLine(messages, QStringLiteral("Try 'tervana-convert --help'."));
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

    // Every output is checked against every input before anything is
    // written, so no conversion can replace a picture a later one reads.
    QStringList outputs;
    QStringList overwrittenInputs;
    for (const QString &input : std::as_const(options.inputs)) {
        outputs << outputFor(options, input);
        overwrittenInputs << inputAt(outputs.last(), options.inputs);
    }

    int status = AllConverted;
    QHash<QString, QString> written; // output file -> the input it was made from
    for (qsizetype i = 0; i < options.inputs.size(); ++i) {
        const QString &input = options.inputs[i];
        const QString &output = outputs[i];
        const QString key = namesStandardOutput(output) ? output : QFileInfo(output).absoluteFilePath();
        QString failure;
        if (!overwrittenInputs[i].isEmpty())
            failure = QStringLiteral("Tervana will not write \"%1\" for \"%2\": it is the picture \"%3\".")
                          .arg(QDir::toNativeSeparators(output), QDir::toNativeSeparators(input),
                               QDir::toNativeSeparators(overwrittenInputs[i]));
        else if (written.contains(key))
            // Two inputs with the same name must not silently overwrite each other.
            failure = QStringLiteral("Tervana will not overwrite \"%1\", just made from \"%2\", with \"%3\".")
                          .arg(QDir::toNativeSeparators(output), QDir::toNativeSeparators(written[key]),
                               QDir::toNativeSeparators(input));
        else
            failure = convert(options, input, output);
        if (failure.isEmpty()) {
            written.insert(key, input);
        } else {
            printLine(messages, QStringLiteral("tervana-convert: ") + failure);
            status = SomeFailed;
        }
    }
    return status;
}
