// tervana-convert: Tervana's conversion for scripts and batches, without a
// window. Each picture is read, fitted into the 32 x 32 square and saved by
// the same core the window's Open and Save use, so the files are the ones
// the window writes. Pictures are converted side by side (-j); what is said
// about them, and the exit status, follow the order they were given in.

#include "batch.h"
#include "iconsizes.h"
#include "messagestream.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <csignal>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

enum ExitStatus { AllConverted = 0, SomeFailed = 1, BadUsage = 2 };

struct Options
{
    ConversionOptions conversion;
    QStringList inputs;
    QString outputFile;
    QString folder;
    int jobs = 1;
};

FILE *messages = stderr;

// --help, or --help-all, which the parser offers too (the converter has no
// further options to show there).
bool asksForHelp(const QCommandLineParser &parser)
{
    return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
}

// Reads the command line into `options`; returns an error text for bad usage.
QString parse(QCommandLineParser &parser, const QStringList &arguments, Options &options)
{
    const QCommandLineOption bmp(QStringLiteral("bmp"), QStringLiteral("Write the fitted square as a 24-bit bitmap."));
    const QCommandLineOption mono(QStringLiteral("mono"), QStringLiteral("Write a black-and-white (1-bit) icon."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the one input's result to <file> (- for standard output)."),
                                    QStringLiteral("file"));
    const QCommandLineOption folder({QStringLiteral("d"), QStringLiteral("directory")},
                                    QStringLiteral("Write each result into <dir>, named after its input."),
                                    QStringLiteral("dir"));
    const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("jobs")},
                                  QStringLiteral("Convert <n> pictures at a time (default: one per processor)."),
                                  QStringLiteral("n"));
    const QCommandLineOption sizes(
        QStringLiteral("sizes"),
        QStringLiteral("Write one icon holding an image of each size in <list> (whole numbers from 1 to 256 separated "
                       "by commas, or \"all\" for 16,24,32,48,64,128,256), largest first, at 32 bits with real "
                       "transparency: the picture's own, and transparent bands. The 256 image is stored as PNG."),
        QStringLiteral("list"));
    const QCommandLineOption keyBlack(QStringLiteral("key-black"),
                                      QStringLiteral("With --sizes: make pure black transparent too, as the window does."));
    parser.setApplicationDescription(
        QStringLiteral("Turns pictures (JPEG, GIF, BMP) into 32 x 32 icons, as Tervana's window does: fitted with "
                       "proportions kept and centred, pure black transparent. With --sizes, into icons of several "
                       "sizes with an alpha channel."));
    parser.addOptions({bmp, mono, output, folder, jobs, sizes, keyBlack});
    parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("Pictures to convert."), QStringLiteral("INPUT..."));
    parser.addHelpOption();
    parser.addVersionOption();
    if (!parser.parse(arguments))
        return parser.errorText();
    if (asksForHelp(parser) || parser.isSet(QStringLiteral("version")))
        return QString();

    options.inputs = parser.positionalArguments();
    options.outputFile = parser.value(output);
    options.folder = parser.value(folder);
    if (parser.isSet(bmp) && parser.isSet(mono))
        return QStringLiteral("--bmp and --mono cannot be used together.");
    options.conversion.output = parser.isSet(bmp) ? SquareOutput::Bitmap
                     : parser.isSet(mono) ? SquareOutput::BlackAndWhiteIcon
                                          : SquareOutput::ColourIcon;
    if (parser.isSet(sizes)) {
        if (parser.isSet(bmp) || parser.isSet(mono))
            return QStringLiteral("--sizes cannot be used with --bmp or --mono.");
        QString error;
        options.conversion.sizes = parseIconSizes(parser.value(sizes), error);
        if (options.conversion.sizes.empty())
            return error;
    }
    if (parser.isSet(keyBlack) && !parser.isSet(sizes))
        return QStringLiteral("--key-black goes with --sizes (the 32 x 32 icon always makes pure black transparent).");
    options.conversion.keyBlack = parser.isSet(keyBlack);
    options.jobs = qMax(1, QThread::idealThreadCount());
    if (parser.isSet(jobs)) {
        bool whole = false;
        options.jobs = parser.value(jobs).toInt(&whole);
        if (!whole || options.jobs < 1 || options.jobs > 1024)
            return QStringLiteral("-j takes a whole number from 1 to 1024.");
    }
    if (options.inputs.isEmpty())
        return QStringLiteral("No input picture given.");
    if (parser.isSet(output) == parser.isSet(folder))
        return QStringLiteral("Give either -o OUTPUT or -d DIR.");
    if (parser.isSet(output) && options.inputs.size() > 1)
        return QStringLiteral("-o takes one input; use -d DIR for several.");
    if (parser.isSet(output) && options.outputFile.isEmpty())
        return QStringLiteral("-o needs a file name (or - for standard output).");
    if (parser.isSet(folder) && !QFileInfo(options.folder).isDir())
        return QStringLiteral("\"%1\" is not a folder.").arg(options.folder);
    return QString();
}

// A command-line tool's stderr is for its own one-line reports; the
// toolkit's warnings are noise there.
void keepOnlySeriousMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        printLine(messages, message);
}

} // namespace

int main(int argc, char *argv[])
{
    messages = keepLibraryMessagesOffStderr();
    qInstallMessageHandler(keepOnlySeriousMessages);
#ifdef SIGPIPE
    // A pipe that stops reading is reported as a failed write, not a kill.
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef __GLIBC__
    // One heap for all threads: a picture's few large buffers are then
    // reused by the next picture whichever thread takes it, where a heap
    // per thread would each keep its own (a third more peak memory).
    mallopt(M_ARENA_MAX, 1);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tervana-convert"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVANA_VERSION));

    QCommandLineParser parser;
    Options options;
    const QString usageError = parse(parser, QCoreApplication::arguments(), options);
    if (!usageError.isEmpty()) {
        printLine(messages, QStringLiteral("tervana-convert: ") + usageError);
        printLine(messages, QStringLiteral("Try 'tervana-convert --help'."));
        return BadUsage;
    }
    if (asksForHelp(parser)) {
        printLine(stdout, parser.helpText());
        printLine(stdout, QStringLiteral("Usage: tervana-convert [--bmp | --mono | --sizes LIST [--key-black]] [-j N] "
                                         "INPUT... (-o OUTPUT | -d DIR)"));
        printLine(stdout, QStringLiteral("Example: tervana-convert --sizes all logo.png -o logo.ico"));
        return AllConverted;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        printLine(stdout, QStringLiteral("tervana-convert ") + QCoreApplication::applicationVersion());
        return AllConverted;
    }
    const OutputPlan plan = planOutputs(options.inputs, options.outputFile, options.folder,
                                        resultExtension(options.conversion));
    const bool allConverted = convertAll(options.inputs, plan, options.conversion, options.jobs, [](const QString &failure) {
        printLine(messages, QStringLiteral("tervana-convert: ") + failure);
    });
    return allConverted ? AllConverted : SomeFailed;
}
