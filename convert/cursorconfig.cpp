#include "cursorconfig.h"

#include "fileaccess.h"
#include "animation.h"
#include "iconsizes.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

// A configuration is a short text: a theme's biggest lists a few dozen
// lines. Beyond these it is refused before any picture is read.
constexpr qint64 maximumConfigBytes = 1024 * 1024;
constexpr size_t maximumConfigLines = 4096;
// A frame of an animation that gives no time shows this long, as xcursorgen
// shows it; --delay's bounds hold for the times given.
constexpr int unstatedMilliseconds = 50;
constexpr int longestMilliseconds = 60'000;

Failure unusable(const QString &why)
{
    return Failure{Failure::Kind::Unusable, why};
}

bool isSkipped(const QByteArray &line)
{
    return line.isEmpty() || line.startsWith('#');
}

// A whole number of at most six digits (no sign), or nothing.
std::optional<int> numberOf(const QByteArray &field)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
    if (!digits.match(QString::fromLatin1(field)).hasMatch())
        return std::nullopt;
    return field.toInt();
}

// Whether a line's file is a name within the configuration's folder.
bool staysWithin(const QString &file)
{
    if (file.isEmpty() || QDir::isAbsolutePath(file) || file.startsWith(QLatin1Char('/')) || file.startsWith(QLatin1Char('\\')))
        return false;
    const QStringList parts = QString(file).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral(".."));
}

// One line's fields, or why they are none.
std::optional<Failure> readLine(const QByteArray &text, int number, CursorConfigLine &line)
{
    const QList<QByteArray> fields = text.simplified().split(' ');
    const auto wrong = [number](const QString &what) {
        return unusable(QStringLiteral("line %1 of the cursor configuration %2").arg(number).arg(what));
    };
    if (fields.size() != 4 && fields.size() != 5)
        return wrong(QStringLiteral("is not \"SIZE XHOT YHOT FILE\" or \"SIZE XHOT YHOT FILE MS\""));
    const std::optional<int> size = numberOf(fields[0]), x = numberOf(fields[1]), y = numberOf(fields[2]);
    if (!size || !x || !y)
        return wrong(QStringLiteral("does not begin with three whole numbers: the size and the hot spot"));
    if (*size < IconSizes::smallest || *size > IconSizes::largest)
        return wrong(QStringLiteral("gives the size %1; a cursor's sizes are 1 to 256").arg(*size));
    line = {number, *size, QPoint(*x, *y), QString::fromUtf8(fields[3]), std::nullopt};
    if (!staysWithin(line.file))
        return wrong(QStringLiteral("names \"%1\", which is not within its folder").arg(line.file));
    if (fields.size() == 5) {
        line.milliseconds = numberOf(fields[4]);
        if (!line.milliseconds || *line.milliseconds < 1 || *line.milliseconds > longestMilliseconds)
            return wrong(QStringLiteral("gives the time \"%1\"; a frame shows 1 to 60000 milliseconds")
                             .arg(QString::fromUtf8(fields[4])));
    }
    return std::nullopt;
}

} // namespace

CursorConfigLines parseCursorConfig(const QByteArray &text)
{
    CursorConfigLines parsed;
    if (text.contains('\0'))
        return {{}, unusable(QStringLiteral("it is no text"))};
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (isSkipped(line))
            continue;
        if (parsed.lines.size() == maximumConfigLines)
            return {{}, unusable(QStringLiteral("the cursor configuration lists more than %1 pictures").arg(maximumConfigLines))};
        CursorConfigLine read;
        if (std::optional<Failure> failure = readLine(line, i + 1, read))
            return {{}, std::move(failure)};
        parsed.lines.push_back(std::move(read));
    }
    if (parsed.lines.empty())
        parsed.failure = unusable(QStringLiteral("the cursor configuration lists no picture"));
    return parsed;
}

bool isCursorConfig(QIODevice &device)
{
    // Every input of a run is asked (its files are kept from being written
    // over): a picture's signature, not text, ends it after a few bytes.
    const QByteArray start = device.peek(64);
    if (start.isEmpty() || !QByteArrayLiteral("#0123456789 \t\r\n").contains(start.front()))
        return false;
    // Far enough for a long comment at the top; no picture format begins
    // with a line of a number and three more words.
    const QByteArray head = device.peek(64 * 1024);
    if (head.contains('\0'))
        return false;
    for (const QByteArray &line : head.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (isSkipped(trimmed))
            continue;
        // A line of four fields or more that begins with a size is one, its
        // faults told when it is read.
        const QList<QByteArray> fields = trimmed.simplified().split(' ');
        return fields.size() >= 4 && numberOf(fields[0]);
    }
    return false;
}

namespace {

// The configuration's text, read whole.
CursorConfigLines configLinesOf(QIODevice &device)
{
    const QByteArray text = readUpTo(device, maximumConfigBytes + 1);
    if (text.size() > maximumConfigBytes)
        return {{}, Failure{Failure::Kind::TooLarge, QStringLiteral("it holds more than %1 MB, more than a cursor "
                                                                    "configuration does").arg(maximumConfigBytes >> 20)}};
    return parseCursorConfig(text);
}

// The folder a configuration's files are found in, as the system names it
// with every link followed.
QString folderOf(const QString &config)
{
    return QFileInfo(QFileInfo(config).canonicalFilePath()).path();
}

} // namespace

bool isWithin(const QString &folder, const QString &location)
{
    // One that is not there is refused when it is opened; the folder itself,
    // as the folder it is.
    return location.isEmpty() || location == folder || location.startsWith(folder + QLatin1Char('/'));
}

Failure leadsOut()
{
    return unusable(QStringLiteral("it leads out of the cursor configuration's folder"));
}

namespace {

// Why the file a line names cannot be read as a picture of the
// configuration: it leads out of the folder, through a link.
std::optional<Failure> outsideRefusal(const QString &folder, const QString &path)
{
    return isWithin(folder, QFileInfo(path).canonicalFilePath()) ? std::nullopt : std::optional<Failure>(leadsOut());
}

} // namespace

QStringList cursorConfigPictures(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || !isCursorConfig(file))
        return {};
    QStringList pictures;
    for (const std::vector<CursorConfigPicture> &frame : planCursorConfig(file, path).frames)
        for (const CursorConfigPicture &picture : frame)
            if (!picture.refusal && !pictures.contains(picture.path))
                pictures << picture.path;
    return pictures;
}

namespace {

// The lines of each size, in the order of the lines: a size's Nth line is
// its picture in frame N.
using LinesOfSize = std::vector<std::pair<int, std::vector<const CursorConfigLine *>>>;

LinesOfSize linesOfSize(const std::vector<CursorConfigLine> &lines)
{
    LinesOfSize sizes;
    for (const CursorConfigLine &line : lines) {
        auto found = std::find_if(sizes.begin(), sizes.end(), [&line](const auto &size) { return size.first == line.size; });
        if (found == sizes.end())
            found = sizes.insert(sizes.end(), {line.size, {}});
        found->second.push_back(&line);
    }
    return sizes;
}

// Why the sizes cannot be one animation: they have different numbers of
// frames.
std::optional<Failure> framesMismatch(const LinesOfSize &sizes)
{
    for (const auto &[size, lines] : sizes)
        if (lines.size() != sizes.front().second.size())
            return unusable(QStringLiteral("the cursor configuration's size %1 has %2 frames and its size %3 %4; an "
                                           "animation has a picture of each size in each frame")
                                .arg(sizes.front().first).arg(sizes.front().second.size()).arg(size).arg(lines.size()));
    return std::nullopt;
}

// The steps: each frame for the time the first size's line gives it; a
// still cursor's one frame, none.
std::vector<CursorStep> stepsOf(const LinesOfSize &sizes)
{
    const std::vector<const CursorConfigLine *> &first = sizes.front().second;
    std::vector<CursorStep> steps;
    for (size_t frame = 0; frame < first.size(); ++frame)
        steps.push_back({frame, first.size() == 1 ? 0 : first[frame]->milliseconds.value_or(unstatedMilliseconds)});
    return steps;
}

} // namespace

CursorConfigPlan planCursorConfig(QIODevice &device, const QString &path)
{
    CursorConfigPlan plan;
    const CursorConfigLines config = configLinesOf(device);
    if ((plan.failure = config.failure))
        return plan;
    const LinesOfSize sizes = linesOfSize(config.lines);
    if ((plan.failure = framesMismatch(sizes)))
        return plan;
    if (sizes.front().second.size() > size_t(maximumAnimationFrames)) {
        plan.failure = unusable(QStringLiteral("the cursor configuration has %1 frames; an animation has at most %2")
                                    .arg(sizes.front().second.size()).arg(maximumAnimationFrames));
        return plan;
    }
    plan.steps = stepsOf(sizes);
    // Its pictures are found beside the file the configuration is, also
    // when it is given through a link.
    plan.folder = folderOf(path);
    plan.frames.assign(sizes.front().second.size(), {});
    for (size_t frame = 0; frame < plan.frames.size(); ++frame)
        for (const auto &[size, lines] : sizes) {
            const QString file = QDir(plan.folder).filePath(lines[frame]->file);
            plan.frames[frame].push_back({*lines[frame], file, outsideRefusal(plan.folder, file)});
        }
    return plan;
}
