// tervana: the window. It takes a picture to open on its command line, as a
// file manager's "Open with" gives it, and answers --help, --version and a
// wrong command line without a window.

#include "frmbmp2icon.h"
#include "messagestream.h"
#include "nativename.h"
#include "workfolder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

enum ExitStatus { Done = 0, NoDisplay = 1, BadUsage = 2 };

const QString noDisplay = QStringLiteral(
    "tervana: the window needs a display, and none can be reached. tervana-convert makes the same icons without one.");

// The command line as the program was given it.
QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void declareOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Opens Tervana's window, which turns a picture into a 32 x 32 Windows icon. A PICTURE given is opened as "
        "one dropped on the window is."));
    parser.addPositionalArgument(QStringLiteral("PICTURE"), QStringLiteral("The picture to open."), QStringLiteral("[PICTURE]"));
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Print this help and exit.")});
    parser.addVersionOption();
}

// Whether no display can be reached, as far as can be told before Qt
// tries: on X11 and Wayland systems, neither is named and no other
// platform was asked for.
bool displayMissing()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
           && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return false;
#endif
}

// While the application starts, Qt ends the program when its platform
// cannot start (a display named but not there); the user hears why in one
// line instead of Qt's advice. Its other messages there are Qt's own
// account of that failure.
void sayWhenNoDisplay(QtMsgType type, const QMessageLogContext &, const QString &)
{
    if (type == QtFatalMsg) {
        printLine(stderr, noDisplay);
        std::_Exit(NoDisplay);
    }
}

// The options Qt's applications take for themselves (-style, -platform,
// -session ...): the command line may hold them, and the application takes
// them out once it exists.
bool isQtOption(const QString &name)
{
    static const QStringList names = {
        QStringLiteral("platform"),     QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),       QStringLiteral("qmljsdebugger"),      QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),  QStringLiteral("qwindowtitle"),       QStringLiteral("reverse"),
        QStringLiteral("session"),      QStringLiteral("display"),            QStringLiteral("geometry"),
        QStringLiteral("style"),        QStringLiteral("stylesheet"),         QStringLiteral("widgetcount"),
        QStringLiteral("name"),         QStringLiteral("title"),              QStringLiteral("visual"),
        QStringLiteral("ncols"),        QStringLiteral("cmap"),               QStringLiteral("nograb"),
        QStringLiteral("dograb"),       QStringLiteral("sync"),               QStringLiteral("fontengine"),
        QStringLiteral("dialogs")};
    return names.contains(name);
}

// --help, --version and a command line that is wrong, answered before the
// application exists: they need no display. Qt's own options are left for
// the application, which reads the rest of the command line again.
std::optional<int> answerWithoutWindow(const QStringList &arguments)
{
    QCommandLineParser parser;
    declareOptions(parser);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.parse(arguments);
    if (parser.isSet(QStringLiteral("help"))) {
        // Without an application the parser cannot know the program's name.
        printLine(stdout, parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("tervana")));
        return Done;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        printLine(stdout, QStringLiteral("tervana ") + QStringLiteral(TERVANA_VERSION));
        return Done;
    }
    for (const QString &unknown : parser.unknownOptionNames()) {
        if (!isQtOption(unknown)) {
            printLine(stderr, QStringLiteral("tervana: Unknown option '%1'.").arg(unknown));
            printLine(stderr, QStringLiteral("Try 'tervana --help'."));
            return BadUsage;
        }
    }
    if (displayMissing()) {
        printLine(stderr, noDisplay);
        return NoDisplay;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Tervana"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVANA_VERSION));
    if (const std::optional<int> answered = answerWithoutWindow(argumentsOf(argc, argv)))
        return *answered;
    qInstallMessageHandler(sayWhenNoDisplay);
    QApplication app(argc, argv);
    qInstallMessageHandler(nullptr);
    QCommandLineParser parser;
    declareOptions(parser);
    if (!parser.parse(argumentsFromNative(argc, argv))) {
        printLine(stderr, QStringLiteral("tervana: ") + parser.errorText());
        printLine(stderr, QStringLiteral("Try 'tervana --help'."));
        return BadUsage;
    }
    // Lets the desktop match the window to its launcher entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.tervana"));

    QtFileDialogBackend fileDialogs;
    QtMessageBoxes messageBoxes;
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString buildFolder = QStringLiteral(TERVANA_BUILD_FOLDER);
    WindowServices services{&fileDialogs, &messageBoxes, programFolder, workFolderFor(programFolder, buildFolder)};
    services.dialogFolder = dialogFolderFor(programFolder, buildFolder);
    frmBmp2Icon window(services);
    fileDialogs.setParent(&window);
    messageBoxes.setParent(&window);
    window.show();
    // Of several pictures (a terminal may give them), the first is opened:
    // the window shows one picture at a time.
    if (const QStringList pictures = parser.positionalArguments(); !pictures.isEmpty())
        window.OpenPictureLater(pictures.first());
    return app.exec();
}
