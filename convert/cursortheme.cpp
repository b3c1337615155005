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

// Names that stand for one shape, as cursor themes link them, in the
// order a missing name is linked to the first given: the CSS name, the X11
// name desktops try next, the other toolkits' names, and the hashes older
// toolkits (Qt 4, early GTK) look a shape up by. Adwaita's groups, as
// Debian's adwaita-icon-theme 43 links them.
const QList<QStringList> &shapes()
{
    static const QList<QStringList> names = {
        {"default", "left_ptr", "arrow", "top_left_arrow", "left-arrow"},
        {"pointer", "hand2", "hand", "pointing_hand", "9d800788f1b08800ae810202380a0822", "e29285e634086352946a0e7090d73106"},
        {"text", "xterm", "ibeam"},
        {"vertical-text"},
        {"wait", "watch"},
        {"progress", "left_ptr_watch", "half-busy", "08e8e1c95fe2fc01f976f1e063a24ccd", "3ecb610c1bf2410f44200f48c40d3599"},
        {"help", "question_arrow", "whats_this", "left_ptr_help", "5c6cd98b3f3ebcb1f9c7f1c204630408",
         "d9ce0ab605698f320427677b458ad60b"},
        {"crosshair", "cross", "tcross", "cross_reverse", "diamond_cross"},
        {"move", "4498f0e0c1937ffe01fd06f973665830", "9081237383d90e509aa00f00170e968f"},
        {"all-scroll", "fleur", "size_all"},
        {"not-allowed", "crossed_circle", "circle", "forbidden", "03b6e0fcb3499374a867c041f52298f0"},
        {"no-drop", "dnd-no-drop"},
        {"grab", "hand1", "openhand"},
        {"grabbing", "closedhand"},
        {"copy", "dnd-copy", "1081e37283d90000800003c07f3ef6bf", "6407b0e94181790501fd1e167b474872"},
        {"alias", "dnd-link", "link", "3085a0e285430894940527032f8b26df", "640fb0e74195791501fd1ed57b41487f"},
        {"context-menu"},
        {"cell", "plus"},
        {"zoom-in"}, {"zoom-out"},
        {"ns-resize", "sb_v_double_arrow", "v_double_arrow", "size_ver", "double_arrow", "row-resize",
         "2870a09082c103050810ffdffffe0204", "00008160000006810000408080010102"},
        {"ew-resize", "sb_h_double_arrow", "h_double_arrow", "size_hor", "col-resize", "14fef782d02440884392942c11205230",
         "028006030e0e7ebffc7f7070c0600140"},
        {"nwse-resize", "bd_double_arrow", "size_fdiag", "c7088f0f3e6c8088236ef8e1e3e70000"},
        {"nesw-resize", "fd_double_arrow", "size_bdiag", "fcf1c3c7cd4491d801f1e1c78f100000"},
        {"n-resize", "top_side"}, {"s-resize", "bottom_side"}, {"e-resize", "right_side"}, {"w-resize", "left_side"},
        {"nw-resize", "top_left_corner"}, {"ne-resize", "top_right_corner"},
        {"sw-resize", "bottom_left_corner"}, {"se-resize", "bottom_right_corner"},
        {"dotbox", "dot_box_mask", "draped_box", "icon", "target"},
        {"right_ptr", "draft_large", "draft_small"},
        {"X_cursor", "pirate"},
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

// The name of `shape` a missing name links to: the first, in the shape's
// order, that is a cursor file in `cursors`; none when none is.
std::optional<QString> linkTarget(const QStringList &shape, const QDir &cursors)
{
    for (const QString &name : shape)
        if (isCursorFile(cursors.filePath(name)))
            return name;
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

ThemeCompletion completeCursorTheme(const QString &folder)
{
    const QDir theme(folder);
    const QDir cursors(theme.filePath(QStringLiteral("cursors")));
    ThemeCompletion done;
    // A theme is made of cursors: with none written, nothing else is.
    const QFileInfo cursorsInfo(cursors.path());
    if (cursorsInfo.isSymLink() || !cursorsInfo.isDir())
        return done;
    const QStringList names = cursors.entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    if (std::none_of(names.begin(), names.end(), [&cursors](const QString &name) { return isCursorFile(cursors.filePath(name)); }))
        return done;
    const bool indexThere = somethingAt(theme.filePath(QStringLiteral("index.theme")));
    if ((done.failure = writeIndex(theme)))
        return done;
    if (!indexThere)
        done.made << theme.filePath(QStringLiteral("index.theme"));
    const CursorsFolder held(theme, cursors);
    if (std::optional<Failure> failure = held.failure()) {
        done.failure = Failure{failure->kind, QStringLiteral("Tervana cannot open \"%1\": %2.").arg(readableName(cursors.path()), failure->reason)};
        return done;
    }
    for (const QStringList &shape : shapes()) {
        const std::optional<QString> target = linkTarget(shape, cursors);
        for (const QString &alias : target ? shape : QStringList()) {
            if (somethingAt(cursors.filePath(alias)))
                continue;
            if (std::optional<Failure> failure = held.link(*target, alias)) {
                done.failure = Failure{failure->kind, QStringLiteral("Tervana cannot link \"%1\" to \"%2\": %3.")
                                                          .arg(readableName(cursors.filePath(alias)), *target, failure->reason)};
                return done;
            }
            done.made << cursors.filePath(alias);
        }
    }
    return done;
}
