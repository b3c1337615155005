#include "cursortheme.h"

#include "nativename.h"
#include "setfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Names that stand for one shape, as cursor themes link them: the CSS name
// first, then the X11 names and the other toolkits' names.
const QList<QStringList> &shapes()
{
    static const QList<QStringList> names = {
        {"default", "left_ptr", "arrow", "top_left_arrow", "left-arrow"},
        {"pointer", "hand2", "hand1", "hand", "pointing_hand"},
        {"text", "xterm", "ibeam"},
        {"vertical-text"},
        {"wait", "watch"},
        {"progress", "left_ptr_watch", "half-busy"},
        {"help", "question_arrow", "whats_this"},
        {"crosshair", "cross", "tcross"},
        {"move", "fleur", "all-scroll", "size_all"},
        {"not-allowed", "crossed_circle", "circle", "forbidden"},
        {"no-drop"},
        {"grab", "openhand"},
        {"grabbing", "closedhand"},
        {"copy", "dnd-copy"},
        {"alias", "dnd-link", "link"},
        {"context-menu"},
        {"cell", "plus"},
        {"zoom-in"},
        {"zoom-out"},
        {"ns-resize", "sb_v_double_arrow", "v_double_arrow", "size_ver", "row-resize"},
        {"ew-resize", "sb_h_double_arrow", "h_double_arrow", "size_hor", "col-resize"},
        {"nwse-resize", "size_fdiag", "bd_double_arrow"},
        {"nesw-resize", "size_bdiag", "fd_double_arrow"},
        {"n-resize", "top_side"},
        {"s-resize", "bottom_side"},
        {"e-resize", "right_side"},
        {"w-resize", "left_side"},
        {"nw-resize", "top_left_corner"},
        {"ne-resize", "top_right_corner"},
        {"sw-resize", "bottom_left_corner"},
        {"se-resize", "bottom_right_corner"},
    };
    return names;
}

// Whether anything is at `path`, a link that leads nowhere among them.
bool somethingAt(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() || info.exists();
}

// Whether the file at `path` is a cursor of our making or anyone's: a
// regular file, not a link, that opens as an Xcursor file does.
bool isCursorFile(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == "Xcur";
}

// The theme's cursors/ folder, held open for the links made in it: a
// link swapped in for it meanwhile is not followed, so no link is made
// outside the theme.
class CursorsFolder
{
public:
    // The theme's folder is the user's, a link to one as good; cursors/ in
    // it is entered from it, never through a link.
    CursorsFolder(const QDir &theme, const QDir &cursors)
        : m_path(cursors)
    {
#ifdef Q_OS_UNIX
        const int themeFd = ::open(QFile::encodeName(theme.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        m_fd = themeFd < 0 ? -1 : ::openat(themeFd, "cursors", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        m_error = m_fd < 0 ? errno : 0;
        if (themeFd >= 0)
            ::close(themeFd);
#else
        Q_UNUSED(theme)
#endif
    }
    ~CursorsFolder()
    {
#ifdef Q_OS_UNIX
        if (m_fd >= 0)
            ::close(m_fd);
#endif
    }
    CursorsFolder(const CursorsFolder &) = delete;
    CursorsFolder &operator=(const CursorsFolder &) = delete;

    // Why the folder cannot be held (it was replaced by a link or removed).
    std::optional<Failure> failure() const
    {
#ifdef Q_OS_UNIX
        if (m_fd < 0)
            return Failure{Failure::Kind::Unusable, QString::fromLocal8Bit(std::strerror(m_error))};
#endif
        return std::nullopt;
    }

    // A link named `alias` to `target`, both in the folder: a relative
    // link, so the theme can be moved; a copy where links cannot be made. A
    // link made there by another run at the same time is as good.
    std::optional<Failure> link(const QString &target, const QString &alias) const
    {
#ifdef Q_OS_UNIX
        const QByteArray name = QFile::encodeName(alias);
        if (::symlinkat(QFile::encodeName(target).constData(), m_fd, name.constData()) == 0)
            return std::nullopt;
        const int error = errno;
        char made[256] = {};
        const ssize_t length = ::readlinkat(m_fd, name.constData(), made, sizeof made - 1);
        if (error == EEXIST && length > 0 && isOwnLink(alias, QFile::decodeName(QByteArray(made, int(length)))))
            return std::nullopt;
        return Failure{Failure::Kind::Unusable, QString::fromLocal8Bit(std::strerror(error))};
#else
        if (QFile::copy(m_path.filePath(target), m_path.filePath(alias)))
            return std::nullopt;
        return Failure{Failure::Kind::Unusable, QStringLiteral("it cannot be copied")};
#endif
    }

private:
    QDir m_path;
    int m_fd = -1;
    int m_error = 0;
};

// `text` as a value of a desktop file's key: a line break or a backslash
// in it escaped as the format escapes them, any other control character
// left out, so that a folder's name cannot end the line and add keys or
// groups of its own.
QString escapedValue(const QString &text)
{
    QString value;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            value += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            value += QLatin1String("\\r");
        else if (c == QLatin1Char('\t'))
            value += QLatin1String("\\t");
        else if (c.category() != QChar::Other_Control)
            value += c;
    }
    return value;
}

std::optional<Failure> writeIndex(const QDir &theme)
{
    const QString index = theme.filePath(QStringLiteral("index.theme"));
    if (somethingAt(index))
        return std::nullopt;
    const QByteArray text = QStringLiteral("# Written by Tervana for the cursors in cursors/.\n"
                                           "[Icon Theme]\nName=%1\nComment=Cursors made with Tervana\n")
                                .arg(escapedValue(QFileInfo(theme.absolutePath()).fileName()))
                                .toUtf8();
    if (std::optional<Failure> failure = writeFileInSet(theme.path(), QStringLiteral("index.theme"), text))
        return Failure{failure->kind, QStringLiteral("Tervana cannot write \"%1\": %2.").arg(readableName(index), failure->reason)};
    return std::nullopt;
}

} // namespace

QStringList cursorAliases(const QString &name)
{
    for (const QStringList &shape : shapes())
        if (shape.contains(name)) {
            QStringList others = shape;
            others.removeAll(name);
            return others;
        }
    return {};
}

bool isOwnLink(const QString &name, const QString &target)
{
    return cursorAliases(name).contains(target);
}

std::optional<Failure> completeCursorTheme(const QString &folder)
{
    const QDir theme(folder);
    const QDir cursors(theme.filePath(QStringLiteral("cursors")));
    // A theme is made of cursors: with none written, nothing else is.
    const QFileInfo cursorsInfo(cursors.path());
    if (cursorsInfo.isSymLink() || !cursorsInfo.isDir())
        return std::nullopt;
    const QStringList names = cursors.entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    if (std::none_of(names.begin(), names.end(), [&cursors](const QString &name) { return isCursorFile(cursors.filePath(name)); }))
        return std::nullopt;
    if (std::optional<Failure> failure = writeIndex(theme))
        return failure;
    const CursorsFolder held(theme, cursors);
    if (std::optional<Failure> failure = held.failure())
        return Failure{failure->kind, QStringLiteral("Tervana cannot open \"%1\": %2.").arg(readableName(cursors.path()), failure->reason)};
    for (const QString &name : names) {
        if (!isCursorFile(cursors.filePath(name)))
            continue;
        for (const QString &alias : cursorAliases(name)) {
            if (somethingAt(cursors.filePath(alias)))
                continue;
            if (std::optional<Failure> failure = held.link(name, alias))
                return Failure{failure->kind, QStringLiteral("Tervana cannot link \"%1\" to \"%2\": %3.")
                                                  .arg(readableName(cursors.filePath(alias)), name, failure->reason)};
        }
    }
    return std::nullopt;
}
