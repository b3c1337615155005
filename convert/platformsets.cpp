#include "platformsets.h"

#include "openinput.h"
#include "platformimages.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <set>

namespace {

// What a platform's set holds: the subfolder it goes into, its images,
// the text files that name them, and the lines to paste into the project.
struct PlatformPlan
{
    QString within;
    std::vector<PlannedImage> images;
    std::vector<SetFile> texts;
    QStringList lines;
    // The images made of the background picture, which each cover whole.
    std::vector<PlannedImage> backgroundImages;
};

// Android's densities, as mipmap folders name them, and their scale in
// quarters of the baseline's (mdpi, 160 dpi).
struct Density
{
    const char *folder;
    int quarters;
};
constexpr Density densities[] = {{"mdpi", 4}, {"hdpi", 6}, {"xhdpi", 8}, {"xxhdpi", 12}, {"xxxhdpi", 16}};

// The adaptive icon: its background (a colour's or a picture's resource),
// its foreground and its monochrome layer.
QByteArray adaptiveIconXml(const QString &background)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<adaptive-icon xmlns:android=\"http://schemas.android.com/apk/res/android\">\n"
                          "    <background android:drawable=\"%1\"/>\n"
                          "    <foreground android:drawable=\"@mipmap/ic_launcher_foreground\"/>\n"
                          "    <monochrome android:drawable=\"@mipmap/ic_launcher_monochrome\"/>\n"
                          "</adaptive-icon>\n")
        .arg(background)
        .toUtf8();
}

// The adaptive icon's background: the colour, in the values; or, of a
// background picture, a layer of each density.
void addAndroidBackground(PlatformPlan &plan, const QColor &background, bool picture)
{
    const QString drawable = picture ? QStringLiteral("@mipmap/ic_launcher_background") : QStringLiteral("@color/ic_launcher_background");
    plan.texts.push_back({QStringLiteral("res/mipmap-anydpi-v26/ic_launcher.xml"), adaptiveIconXml(drawable)});
    plan.texts.push_back({QStringLiteral("res/mipmap-anydpi-v26/ic_launcher_round.xml"), adaptiveIconXml(drawable)});
    if (!picture) {
        plan.texts.push_back({QStringLiteral("res/values/ic_launcher_background.xml"),
                              QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<resources>\n"
                                             "    <color name=\"ic_launcher_background\">%1</color>\n</resources>\n")
                                  .arg(background.name().toUpper())
                                  .toUtf8()});
        return;
    }
    for (const Density &density : densities) {
        const int side = 108 * density.quarters / 4;
        plan.backgroundImages.push_back({QStringLiteral("res/mipmap-%1/ic_launcher_background.png").arg(QLatin1String(density.folder)),
                                         QSize(side, side), Look::Fitted});
    }
}

PlatformPlan androidPlan(const QColor &background, bool backgroundPicture)
{
    PlatformPlan plan;
    for (const Density &density : densities) {
        const QString folder = QStringLiteral("res/mipmap-%1/").arg(QLatin1String(density.folder));
        const QSize legacy(48 * density.quarters / 4, 48 * density.quarters / 4);
        const QSize layer(108 * density.quarters / 4, 108 * density.quarters / 4);
        plan.images.push_back({folder + QStringLiteral("ic_launcher.png"), legacy, Look::Fitted});
        plan.images.push_back({folder + QStringLiteral("ic_launcher_round.png"), legacy, Look::Round});
        plan.images.push_back({folder + QStringLiteral("ic_launcher_foreground.png"), layer, Look::Foreground});
        plan.images.push_back({folder + QStringLiteral("ic_launcher_monochrome.png"), layer, Look::Monochrome});
    }
    // The store's icon: a full square, which the store masks itself.
    plan.images.push_back({QStringLiteral("ic_launcher-playstore.png"), QSize(512, 512), Look::Opaque});
    addAndroidBackground(plan, background, backgroundPicture);
    return plan;
}

// The sizes of iOS' older list: the idiom, the size in points (as Xcode
// writes it) and the scales.
struct IosSize
{
    const char *idiom;
    const char *points;
    double side;
    std::vector<int> scales;
};

const std::vector<IosSize> &olderIosSizes()
{
    static const std::vector<IosSize> sizes = {
        {"iphone", "20x20", 20, {2, 3}},      {"iphone", "29x29", 29, {2, 3}}, {"iphone", "40x40", 40, {2, 3}},
        {"iphone", "60x60", 60, {2, 3}},      {"ipad", "20x20", 20, {1, 2}},   {"ipad", "29x29", 29, {1, 2}},
        {"ipad", "40x40", 40, {1, 2}},        {"ipad", "76x76", 76, {1, 2}},   {"ipad", "83.5x83.5", 83.5, {2}},
        {"ios-marketing", "1024x1024", 1024, {1}},
    };
    return sizes;
}

QString iosImageName(int side)
{
    return QStringLiteral("AppIcon-%1.png").arg(side);
}

PlatformPlan iosPlan(bool everySize)
{
    PlatformPlan plan{QStringLiteral("AppIcon.appiconset"), {}, {}, {}, {}};
    QJsonArray images;
    std::set<int> sides;
    if (!everySize) {
        images.append(QJsonObject{{QStringLiteral("filename"), iosImageName(1024)}, {QStringLiteral("idiom"), QStringLiteral("universal")},
                                  {QStringLiteral("platform"), QStringLiteral("ios")}, {QStringLiteral("size"), QStringLiteral("1024x1024")}});
        sides.insert(1024);
    }
    for (const IosSize &size : everySize ? olderIosSizes() : std::vector<IosSize>())
        for (int scale : size.scales) {
            const int side = int(size.side * scale);
            images.append(QJsonObject{{QStringLiteral("filename"), iosImageName(side)},
                                      {QStringLiteral("idiom"), QLatin1String(size.idiom)},
                                      {QStringLiteral("scale"), QStringLiteral("%1x").arg(scale)},
                                      {QStringLiteral("size"), QLatin1String(size.points)}});
            sides.insert(side);
        }
    // Each size is one file, however many places name it; App Store Connect
    // refuses an icon with transparency, so every image is opaque.
    for (auto side = sides.rbegin(); side != sides.rend(); ++side)
        plan.images.push_back({iosImageName(*side), QSize(*side, *side), Look::Opaque});
    const QJsonObject contents{{QStringLiteral("images"), images},
                               {QStringLiteral("info"), QJsonObject{{QStringLiteral("author"), QStringLiteral("xcode")},
                                                                    {QStringLiteral("version"), 1}}}};
    plan.texts.push_back({QStringLiteral("Contents.json"), QJsonDocument(contents).toJson()});
    return plan;
}

// A Windows package's logos, each at the scales the package's resources
// choose among.
struct MsixLogo
{
    const char *name;
    QSize size;
    Look look;
};
constexpr int msixScales[] = {100, 125, 150, 200, 400};
constexpr int msixTargetSizes[] = {16, 24, 32, 48, 256};

// `text` as an XML attribute's value: the markup characters escaped, the
// white space an attribute would fold written as references, and what XML
// cannot hold (other control characters, U+FFFE, U+FFFF, a lone half of a
// surrogate pair) left out.
QString escapedAttribute(const QString &text)
{
    QString value;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool paired = c.isHighSurrogate() ? i + 1 < text.size() && text[i + 1].isLowSurrogate()
                                                : c.isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate();
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            value += QStringLiteral("&#%1;").arg(c.unicode());
        else if (c.isSurrogate() ? paired : c.unicode() >= 0x20 && c.unicode() != 0xFFFE && c.unicode() != 0xFFFF)
            value += QString(c).toHtmlEscaped();
    }
    return value;
}

QStringList visualElementsLines(const QString &title)
{
    const QString name = escapedAttribute(title);
    return {QStringLiteral("<uap:VisualElements DisplayName=\"%1\" Description=\"%1\" BackgroundColor=\"transparent\" "
                           "Square150x150Logo=\"Assets\\Square150x150Logo.png\" Square44x44Logo=\"Assets\\Square44x44Logo.png\">")
                .arg(name),
            QStringLiteral("  <uap:DefaultTile Wide310x150Logo=\"Assets\\Wide310x150Logo.png\" "
                           "Square71x71Logo=\"Assets\\Square71x71Logo.png\" Square310x310Logo=\"Assets\\Square310x310Logo.png\"/>"),
            QStringLiteral("</uap:VisualElements>")};
}

PlatformPlan msixPlan(const QString &title)
{
    static const MsixLogo logos[] = {
        {"Square44x44Logo", {44, 44}, Look::Fitted},    {"Square71x71Logo", {71, 71}, Look::Fitted},
        {"Square150x150Logo", {150, 150}, Look::Fitted}, {"Wide310x150Logo", {310, 150}, Look::Banner},
        {"Square310x310Logo", {310, 310}, Look::Fitted}, {"StoreLogo", {50, 50}, Look::Fitted},
    };
    PlatformPlan plan{QStringLiteral("Assets"), {}, {}, visualElementsLines(title), {}};
    // A scale's size is rounded half up, as Windows' own tables give it
    // (44 at 125 % is 55, 50 at 125 % is 63).
    const auto scaled = [](int length, int scale) { return (length * scale + 50) / 100; };
    for (const MsixLogo &logo : logos)
        for (int scale : msixScales)
            plan.images.push_back({QStringLiteral("%1.scale-%2.png").arg(QLatin1String(logo.name)).arg(scale),
                                   QSize(scaled(logo.size.width(), scale), scaled(logo.size.height(), scale)), logo.look});
    for (const QString &form : {QString(), QStringLiteral("_altform-unplated")})
        for (int side : msixTargetSizes)
            plan.images.push_back(
                {QStringLiteral("Square44x44Logo.targetsize-%1%2.png").arg(side).arg(form), QSize(side, side), Look::Fitted});
    return plan;
}

PlatformPlan iconsetPlan()
{
    PlatformPlan plan;
    for (int points : {16, 32, 128, 256, 512}) {
        plan.images.push_back({QStringLiteral("icon_%1x%1.png").arg(points), QSize(points, points), Look::Fitted});
        plan.images.push_back({QStringLiteral("icon_%1x%1@2x.png").arg(points), QSize(2 * points, 2 * points), Look::Fitted});
    }
    return plan;
}

// The app's full name: --title's, else the icon's name, else the first
// picture's.
QString titleOf(const SetRequest &request)
{
    if (!request.title.isEmpty())
        return request.title;
    if (!request.name.isEmpty())
        return request.name;
    return request.inputs.first() == QLatin1String("-") ? QStringLiteral("app") : QFileInfo(request.inputs.first()).completeBaseName();
}

PlatformPlan planOf(PlatformSet platform, const SetRequest &request)
{
    const QColor background = request.background.value_or(Qt::white);
    switch (platform) {
    case PlatformSet::Android:
        return androidPlan(background, !request.backgroundPicture.isEmpty());
    case PlatformSet::Ios:
        return iosPlan(request.iosAll);
    case PlatformSet::Msix:
        return msixPlan(titleOf(request));
    case PlatformSet::Iconset:
        return iconsetPlan();
    }
    return {};
}

// The middle square of a picture's pixels, as a picture: fitted into a
// square, it covers it whole.
Picture middleSquareOf(const Picture &picture)
{
    const QImage &image = picture.image();
    const int side = std::min(image.width(), image.height());
    return Picture(image.copy((image.width() - side) / 2, (image.height() - side) / 2, side, side));
}

// The images of the background picture, each covered whole by its middle;
// of an icon's several images, the largest.
MadeImages backgroundImagesOf(const std::vector<PlannedImage> &images, const SetRequest &request,
                              std::optional<RunFailure> &failure)
{
    // Read with the detail its largest layer needs: it is no other image.
    int side = 1;
    for (const PlannedImage &image : images)
        side = std::max(side, image.size.width());
    SourcesLoad load = loadAllSources({request.backgroundPicture}, side);
    if ((failure = std::move(load.failure)))
        return {};
    const auto larger = [](const Picture &a, const Picture &b) { return a.image().width() * qint64(a.image().height()) < b.image().width() * qint64(b.image().height()); };
    const Picture &largest = *std::max_element(load.sources.begin(), load.sources.end(), larger);
    return makePlannedImages({middleSquareOf(largest)}, images, {request.backgroundPicture}, Qt::white, false);
}

SetFiles writeFromInputs(PlatformSet platform, const SetRequest &request)
{
    SourcesLoad load = loadAllSources(request.inputs, setReadingSide);
    SetFiles files;
    if (load.failure)
        files.failure = std::move(load.failure);
    else
        files = writePlatformSetOf(platform, load.sources, request, SetWriter({request.folder, {}}, picturesOf(request)));
    for (RunNote &note : load.notes)
        addNote(files.notes, std::move(note));
    return files;
}

} // namespace

SetFiles writePlatformSetOf(PlatformSet platform, const std::vector<Picture> &pictures, const SetRequest &request,
                            SetWriter set)
{
    PlatformPlan plan = planOf(platform, request);
    SetFiles result;
    const Operand picture = Operand::input(request.inputs.first());
    MadeImages made = makePlannedImages(pictures, plan.images, request.inputs, request.background.value_or(Qt::white),
                                        request.keyBlack);
    if (made.failure) {
        result.failure = RunFailure{RunFailure::Step::MakeIcon, picture, std::nullopt, std::move(*made.failure)};
        result.badCombination = true;
        return result;
    }
    made.files.insert(made.files.end(), plan.texts.begin(), plan.texts.end());
    if (!plan.backgroundImages.empty()) {
        MadeImages layer = backgroundImagesOf(plan.backgroundImages, request, result.failure);
        if (result.failure)
            return result;
        made.files.insert(made.files.end(), layer.files.begin(), layer.files.end());
    }
    SetWriter within = plan.within.isEmpty() ? set : set.within(plan.within);
    writeSetFiles(within, made.files, picture, result);
    if (!result.failure)
        result.links = plan.lines;
    if (made.enlarged)
        result.notes.push_back(std::move(*made.enlarged));
    return result;
}

SetFiles writeAndroidSet(const SetRequest &request)
{
    return writeFromInputs(PlatformSet::Android, request);
}

SetFiles writeIosSet(const SetRequest &request)
{
    return writeFromInputs(PlatformSet::Ios, request);
}

SetFiles writeMsixSet(const SetRequest &request)
{
    return writeFromInputs(PlatformSet::Msix, request);
}

SetFiles writeIconset(const SetRequest &request)
{
    return writeFromInputs(PlatformSet::Iconset, request);
}
