#include "faviconset.h"

#include "fileaccess.h"
#include "iconsizes.h"
#include "openinput.h"
#include "pictureencoding.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>

#include <algorithm>

namespace {

// favicon.ico holds the sizes browsers show in tabs, bookmarks and
// shortcuts, as --sizes 48,32,16 makes it.
const std::vector<int> icoSizes{48, 32, 16};

constexpr int largeSide = 512;
constexpr int manifestSide = 192;
// What iOS asks for on a phone's home screen (60 points at 3x).
constexpr int touchSide = 180;
// A maskable icon may be cut to any shape that holds the circle of radius
// 40 % of its side, centred. The picture goes into the largest square that
// circle holds: its side is 0.4 x 512 x sqrt(2) = 289.6 pixels. 288 is the
// even side below that, so the square sits 112 whole pixels from every
// edge and its corners stay 203.6 pixels from the centre, within the
// circle's 204.8: no mask ever cuts the picture, and it is no smaller than
// it must be.
constexpr int safeSide = 288;
// The sizes made from the pictures with the detail of the largest, largest
// first.
const std::vector<int> pngSizes{largeSide, safeSide, manifestSide, touchSide};

// The pictures of the inputs, each input read twice from one opening (so
// that standard input works too): with detail for the icon's 48, as --sizes
// 48,32,16 reads them, and with detail for 512.
struct Sources
{
    std::vector<Picture> small;
    std::vector<Picture> large;
    std::vector<RunNote> notes;
    std::optional<RunFailure> failure;
};

Sources loadSourcesTwice(const QStringList &inputs)
{
    Sources sources;
    std::vector<RunNote> sameNotes;
    for (const QString &name : inputs) {
        OpenInput input(Operand::input(name));
        if ((sources.failure = loadSources(input, icoSizes.front(), sources.small, sources.notes)))
            break;
        input.device().seek(0);
        if ((sources.failure = loadSources(input, largeSide, sources.large, sameNotes)))
            break;
    }
    return sources;
}

// `image` centred on a square of `side` filled with `background`: opaque,
// for the places that show no transparency.
QImage onBackground(const QImage &image, int side, const QColor &background)
{
    QImage canvas(side, side, QImage::Format_RGB32);
    canvas.fill(background);
    QPainter painter(&canvas);
    painter.drawImage((side - image.width()) / 2, (side - image.height()) / 2, image);
    return canvas;
}

// The web app manifest: the app's names, where it starts and how it shows
// (what a browser asks of an app it installs), the PNGs with their sizes,
// type and purpose, and the background colour, which a splash screen
// shows. A manifest already there (`earlier`) is the site's, which its
// author may have edited: "icons" is the set's own, the colours replace its
// own only when --background gives them, and every other field it has
// stays. Nothing when `earlier` is no manifest (not a JSON object), which
// is then left alone.
std::optional<QJsonObject> manifestOf(const QByteArray &earlier, const WebApp &app)
{
    QJsonObject manifest;
    if (!earlier.isNull()) {
        const QJsonDocument document = QJsonDocument::fromJson(earlier);
        if (!document.isObject())
            return std::nullopt;
        manifest = document.object();
    }
    const auto icon = [](const QString &file, int side, const QString &purpose) {
        return QJsonObject{{QStringLiteral("src"), file},
                           {QStringLiteral("sizes"), QStringLiteral("%1x%1").arg(side)},
                           {QStringLiteral("type"), QStringLiteral("image/png")},
                           {QStringLiteral("purpose"), purpose}};
    };
    const QString any = QStringLiteral("any");
    manifest.insert(QStringLiteral("icons"), QJsonArray{icon(QStringLiteral("icon-192.png"), manifestSide, any),
                                                        icon(QStringLiteral("icon-512.png"), largeSide, any),
                                                        icon(QStringLiteral("icon-maskable-512.png"), largeSide,
                                                             QStringLiteral("maskable"))});
    const std::pair<QString, QString> fields[] = {{QStringLiteral("name"), app.title},
                                                  {QStringLiteral("short_name"), app.name},
                                                  {QStringLiteral("start_url"), QStringLiteral("/")},
                                                  {QStringLiteral("display"), QStringLiteral("standalone")}};
    for (const auto &[field, value] : fields)
        if (!manifest.contains(field))
            manifest.insert(field, value);
    for (const QString &colour : {QStringLiteral("background_color"), QStringLiteral("theme_color")})
        if (app.background || !manifest.contains(colour))
            manifest.insert(colour, app.background.value_or(Qt::white).name());
    return manifest;
}

// The manifest the site's folder holds already; null when there is none.
// What cannot be merged (too large to be a manifest, a link, a file that
// cannot be read) comes back as no JSON, and so is left alone.
QByteArray earlierManifest(const QString &path)
{
    constexpr qint64 largestManifest = 1024 * 1024;
    const QFileInfo info(path);
    if (!info.isSymLink() && !info.exists())
        return QByteArray();
    QFile file;
    if (info.isSymLink() || openRegularFile(path, file))
        return QByteArray("not mergeable");
    const QByteArray bytes = readUpTo(file, largestManifest + 1);
    return bytes.size() > largestManifest ? QByteArray("not mergeable") : bytes;
}

const QString manifestName = QStringLiteral("site.webmanifest");

// The lines a page's head links the set with, the folder served under
// `path`, and the colour a browser tints its bar with.
QStringList linksOf(bool drawing, const QString &path, const QString &themeColour)
{
    QStringList links{QStringLiteral("<link rel=\"icon\" href=\"%1favicon.ico\" sizes=\"32x32\">").arg(path)};
    if (drawing)
        links << QStringLiteral("<link rel=\"icon\" href=\"%1icon.svg\" type=\"image/svg+xml\">").arg(path);
    return links << QStringLiteral("<link rel=\"apple-touch-icon\" href=\"%1apple-touch-icon.png\" sizes=\"180x180\">").arg(path)
                 << QStringLiteral("<link rel=\"manifest\" href=\"%1%2\">").arg(path, manifestName)
                 << QStringLiteral("<meta name=\"theme-color\" content=\"%1\">").arg(themeColour);
}

// The path the set's files are served under, ending with "/": the site's
// root when none is given.
QString servedPath(const QString &given)
{
    if (given.isEmpty())
        return QStringLiteral("/");
    return given.endsWith(QLatin1Char('/')) ? given : given + QLatin1Char('/');
}

struct NamedFile
{
    QString name;
    QByteArray bytes;
};

const QImage &squareOfSide(const std::vector<QImage> &squares, int side)
{
    return *std::find_if(squares.begin(), squares.end(), [side](const QImage &square) { return square.width() == side; });
}

// The files of the set, in the order they are written; or why the pictures
// cannot make them.
struct MadeFiles
{
    std::vector<NamedFile> files;
    QString themeColour; // as the manifest written gives it
    std::optional<Failure> failure;
    std::vector<RunNote> enlarged;
};

// The colour the manifest tints the app with, as #rrggbb; of one left as
// it is, or whose colour is none a browser reads, the colour given, else
// white.
QString themeColourOf(const std::optional<QJsonObject> &manifest, const std::optional<QColor> &given)
{
    const QColor written(manifest ? manifest->value(QStringLiteral("theme_color")).toString() : QString());
    return written.isValid() ? written.name() : given.value_or(Qt::white).name();
}

MadeFiles makeFiles(const Sources &sources, const QStringList &inputs, const WebApp &app, const QByteArray &manifest)
{
    const bool enlarge = inputs.size() == 1;
    const QColor background = app.background.value_or(Qt::white);
    const bool keyBlack = app.keyBlack;
    IconSizePlan icoPlan = planIconSizes(sources.small, icoSizes, enlarge);
    IconSizePlan pngPlan = planIconSizes(sources.large, pngSizes, enlarge);
    if (icoPlan.failure || pngPlan.failure)
        return {{}, {}, icoPlan.failure ? std::move(icoPlan.failure) : std::move(pngPlan.failure), {}};
    const std::vector<QImage> squares = squareImagesOf(sources.large, pngPlan.sources, keyBlack);
    std::vector<NamedFile> files{{QStringLiteral("favicon.ico"), encodeIconSizes(sources.small, icoPlan.sources, keyBlack)}};
    // The picture the largest size is made from is the set's source.
    const Picture &source = sources.large.at(pngPlan.sources.front().picture);
    if (!source.svg().isEmpty())
        files.push_back({QStringLiteral("icon.svg"), source.svg()});
    // The plain squares' PNGs are those of the same sizes elsewhere in a run.
    const std::vector<QByteArray> plain =
        squarePngsOf(sources.large, planIconSizes(sources.large, {manifestSide, largeSide}, enlarge).sources, keyBlack);
    files.push_back({QStringLiteral("icon-192.png"), plain.at(0)});
    files.push_back({QStringLiteral("icon-512.png"), plain.at(1)});
    files.push_back({QStringLiteral("apple-touch-icon.png"),
                     encodePng(onBackground(squareOfSide(squares, touchSide), touchSide, background))});
    files.push_back({QStringLiteral("icon-maskable-512.png"),
                     encodePng(onBackground(squareOfSide(squares, safeSide), largeSide, background))});
    const std::optional<QJsonObject> merged = manifestOf(manifest, app);
    if (merged)
        files.push_back({manifestName, QJsonDocument(*merged).toJson()});
    std::vector<RunNote> enlarged;
    for (const auto &[pictures, plan] : {std::pair(&sources.small, &icoPlan), std::pair(&sources.large, &pngPlan)})
        if (std::optional<RunNote> note = enlargedNote(*pictures, plan->sources, inputs))
            addNote(enlarged, std::move(*note));
    return {std::move(files), themeColourOf(merged, app.background), std::nullopt, std::move(enlarged)};
}

// Writes the set of `sources` (the inputs' pictures, with detail for the
// icon's sizes and for the largest) as `set` places it.
SetFiles writeSetOf(const Sources &sources, const QStringList &inputs, SetWriter set, WebApp app)
{
    SetFiles result;
    // The app is named after the first picture when no name is given (one
    // read from standard input is "app"); its full name is its name unless
    // it has one of its own.
    if (app.name.isEmpty())
        app.name = inputs.first() == QLatin1String("-") ? QStringLiteral("app") : QFileInfo(inputs.first()).completeBaseName();
    if (app.title.isEmpty())
        app.title = app.name;
    // One file's pictures may be enlarged where they must, as for --sizes.
    MadeFiles made = makeFiles(sources, inputs, app, earlierManifest(set.pathOf(manifestName)));
    const Operand first = Operand::input(inputs.first());
    if (made.failure) {
        result.failure = RunFailure{RunFailure::Step::MakeIcon, first, std::nullopt, std::move(*made.failure)};
        result.badCombination = true;
        return result;
    }
    // No file of the set replaces a picture it is made of; nothing is
    // written then.
    QStringList names;
    for (const NamedFile &file : made.files)
        names << file.name;
    if ((result.failure = set.firstRefusal(names)))
        return result;
    for (const NamedFile &file : made.files)
        if ((result.failure = set.write(file.name, file.bytes, first)))
            break;
    result.written = set.written();
    result.notes = std::move(made.enlarged);
    if (!names.contains(manifestName))
        result.keptAsItIs << set.pathOf(manifestName);
    if (!result.failure)
        result.links = linksOf(names.contains(QStringLiteral("icon.svg")), servedPath(app.path), made.themeColour);
    return result;
}

} // namespace

WebApp webAppOf(const SetRequest &request)
{
    return {request.name, request.title, request.background, request.keyBlack, request.webPath};
}

SetFiles writeFaviconSet(const SetRequest &request)
{
    Sources sources = loadSourcesTwice(request.inputs);
    SetFiles set;
    if (sources.failure) {
        set.failure = std::move(sources.failure);
    } else {
        set = writeSetOf(sources, request.inputs, SetWriter({request.folder, {}}, request.inputs),
                         webAppOf(request));
    }
    for (RunNote &note : sources.notes)
        addNote(set.notes, std::move(note));
    return set;
}

SetFiles writeFaviconSetOf(const std::vector<Picture> &pictures, const QStringList &inputs, SetWriter set, WebApp app)
{
    return writeSetOf(Sources{pictures, pictures, {}, std::nullopt}, inputs, std::move(set), app);
}

