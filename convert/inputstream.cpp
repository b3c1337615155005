#include "inputstream.h"

#include "conversion.h"
#include "fileaccess.h"
#include "folderlisting.h"
#include "nativename.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace {

QString identityOf(const QString &folder)
{
    const FileIdentity identity = fileIdentity(folder);
    return identity.exists ? identity.key : QString();
}

} // namespace

// A list of names read as it comes, a piece at a time.
class InputStream::ListReader
{
public:
    ListReader(const QString &list, char separator, const std::atomic<bool> &stop)
        : m_list(list)
        , m_separator(separator)
        , m_stop(stop)
    {
        if (list == QLatin1String("-")) {
            m_fd = 0;
#ifdef Q_OS_WIN
            _setmode(0, _O_BINARY);
#endif
            return;
        }
        // A named pipe is opened without waiting for its writer; readMore()
        // waits, and stops waiting when the run is stopped.
        m_fd = ::open(nativeName(list).constData(), O_RDONLY | O_NONBLOCK);
        if (m_fd < 0)
            m_failure = openFailureFor(list, errno);
    }
    ~ListReader()
    {
        if (m_fd > 0)
            ::close(m_fd);
    }
    // The next name, or why the list cannot be read (once), or nothing at
    // its end.
    std::optional<RunInput> next()
    {
        if (m_failure) {
            const Operand list = Operand::input(m_list);
            RunInput failed{list, QString(), RunFailure{RunFailure::Step::ReadList, list, std::nullopt, *m_failure}};
            m_failure.reset();
            m_fd = -1;
            return failed;
        }
        while (m_fd >= 0) {
            const qsizetype end = m_pending.indexOf(m_separator, m_scanned);
            if (end >= 0) {
                const QByteArray name = m_pending.left(end);
                m_pending.remove(0, end + 1);
                m_scanned = 0;
                if (!name.isEmpty())
                    return RunInput{Operand::input(nameFromNative(name)), QString(), std::nullopt};
                continue;
            }
            m_scanned = m_pending.size();
            if (!readMore() && m_failure)
                return next();
            if (m_fd < 0 && !m_pending.isEmpty()) {
                // The last name need not end with the separator.
                const QByteArray name = m_pending;
                m_pending.clear();
                return RunInput{Operand::input(nameFromNative(name)), QString(), std::nullopt};
            }
        }
        return std::nullopt;
    }

private:
    // Reads the next piece; false at the end of the list.
    bool readMore()
    {
        char piece[64 * 1024];
        for (;;) {
            if (m_stop) {
                m_pending.clear(); // the rest of the list is not taken
                break;
            }
            if (!readable())
                continue;
            const auto read = ::read(m_fd, piece, sizeof piece);
            if (read > 0) {
                m_pending.append(piece, qsizetype(read));
                return true;
            }
            if (read < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (read < 0) {
                // Half a name is no name: what was read of it is dropped.
                m_pending.clear();
                m_failure = openFailureFor(m_list, errno);
            }
            break;
        }
        if (m_fd > 0)
            ::close(m_fd);
        m_fd = -1;
        return false;
    }

    // Whether the list has something to read (or has ended) within a
    // tenth of a second: a list that comes slowly is waited for a tenth
    // at a time, so that a stopped run stops waiting.
    bool readable() const
    {
#ifdef Q_OS_UNIX
        pollfd wanted{m_fd, POLLIN, 0};
        const int ready = ::poll(&wanted, 1, 100);
        return ready > 0 || (ready < 0 && errno != EINTR); // an error is for read() to tell
#else
        return true;
#endif
    }

    QString m_list;
    char m_separator;
    const std::atomic<bool> &m_stop;
    int m_fd = -1;
    QByteArray m_pending;
    qsizetype m_scanned = 0;
    std::optional<Failure> m_failure;
};

// A folder being walked: its entries, the next one to take, and the
// folder its results go into.
struct InputStream::Folder
{
    QString path;
    QString resultFolder;
    QString identity;
    std::vector<FolderEntry> entries;
    size_t next = 0;
};

InputStream::InputStream(InputChoice choice, OutputClaims &claims, const std::atomic<bool> &stop)
    : m_choice(std::move(choice))
    , m_claims(claims)
    , m_stop(stop)
{
    for (const QString &argument : m_choice.arguments)
        m_claims.addInput(Operand::input(argument));
    if (m_choice.recursive && !m_choice.resultFolder.isEmpty())
        m_resultFolderIdentity = identityOf(m_choice.resultFolder);
}

InputStream::~InputStream() = default;

std::optional<RunInput> InputStream::next()
{
    std::optional<RunInput> input = nextOfAny();
    if (input)
        input->named = m_named;
    return input;
}

std::optional<RunInput> InputStream::nextOfAny()
{
    for (;;) {
        if (m_stop)
            return std::nullopt;
        if (!m_walk.empty()) {
            if (std::optional<RunInput> input = nextFromWalk())
                return input;
            continue;
        }
        m_named = m_nextArgument;
        if (m_nextArgument < m_choice.arguments.size()) {
            if (std::optional<RunInput> input =
                    take(Operand::input(m_choice.arguments[m_nextArgument++]), m_choice.resultFolder))
                return input;
            continue;
        }
        if (m_choice.list.isEmpty())
            return std::nullopt;
        if (!m_listReader)
            m_listReader = std::make_unique<ListReader>(m_choice.list, m_choice.nulSeparated ? '\0' : '\n', m_stop);
        std::optional<RunInput> listed = m_listReader->next();
        if (!listed) {
            m_listReader.reset();
            m_choice.list.clear();
            return std::nullopt;
        }
        if (listed->failure) {
            ++m_given;
            return listed;
        }
        m_claims.addInput(listed->input);
        if (std::optional<RunInput> input = take(listed->input, m_choice.resultFolder))
            return input;
    }
}

// A name given: a picture, or with -r a folder to walk.
std::optional<RunInput> InputStream::take(const Operand &input, const QString &resultFolder)
{
    if (m_choice.recursive && !input.isStandard() && fileKindAt(input.name()) == FileKind::Folder)
        return enter(input.name(), resultFolder);
    ++m_given;
    return RunInput{input, resultFolder, m_claims.refusedInput(input)};
}

// Starts walking a folder; a folder that cannot be read is reported as the
// run's failure.
std::optional<RunInput> InputStream::enter(const QString &folder, const QString &resultFolder)
{
    Folder walked{folder, resultFolder, identityOf(folder), {}, 0};
    // The results' folder is made with the first result written into it,
    // which may be after the walk began.
    if (m_resultFolderIdentity.isEmpty() && m_choice.recursive && !m_choice.resultFolder.isEmpty())
        m_resultFolderIdentity = identityOf(m_choice.resultFolder);
    if (!m_resultFolderIdentity.isEmpty() && walked.identity == m_resultFolderIdentity && !m_walk.empty())
        return std::nullopt; // the results' own folder, inside the one walked
    for (const Folder &above : m_walk)
        if (above.identity == walked.identity) {
            ++m_given;
            const Operand skipped = Operand::input(folder);
            return RunInput{skipped, resultFolder,
                            RunFailure{RunFailure::Step::SkipFolder, skipped, std::nullopt, RunFailure::leadsBackAbove()}};
        }
    if (const std::optional<Failure> failure = listFolder(folder, walked.entries)) {
        ++m_given;
        const Operand unread = Operand::input(folder);
        return RunInput{unread, resultFolder, RunFailure{RunFailure::Step::ReadFolder, unread, std::nullopt, *failure}};
    }
    for (const FolderEntry &entry : walked.entries)
        if (entry.kind == FolderEntry::Kind::File && isConvertedInFolders(entry.name))
            m_claims.addInput(Operand::input(QDir(folder).filePath(entry.name)));
    m_walk.push_back(std::move(walked));
    return std::nullopt;
}

std::optional<RunInput> InputStream::nextFromWalk()
{
    Folder &folder = m_walk.back();
    if (folder.next >= folder.entries.size()) {
        m_walk.pop_back();
        return std::nullopt;
    }
    const FolderEntry &entry = folder.entries[folder.next++];
    const QString path = QDir(folder.path).filePath(entry.name);
    const Operand input = Operand::input(path);
    switch (entry.kind) {
    case FolderEntry::Kind::LinkToFolder:
        if (!m_choice.followLinks)
            return std::nullopt;
        [[fallthrough]];
    case FolderEntry::Kind::Folder:
        return enter(path, folder.resultFolder.isEmpty() ? QString() : QDir(folder.resultFolder).filePath(entry.name));
    case FolderEntry::Kind::File:
        if (isConvertedInFolders(entry.name)) {
            ++m_given;
            return RunInput{input, folder.resultFolder, m_claims.refusedInput(input)};
        }
        [[fallthrough]];
    case FolderEntry::Kind::Other: ++m_skipped; return std::nullopt;
    }
    return std::nullopt;
}
