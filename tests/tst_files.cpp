// Reading and writing files on their own: results written whole or not at
// all, pipes and devices written into but never replaced or waited on,
// only regular files opened, failures in plain words, and what paths lead
// to; the files of a set never written through a link, nor anywhere but in
// its folder.

#include "testutils.h"

#include "atomicfile.h"
#include "fileaccess.h"
#include "nativename.h"
#include "setfiles.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testutils;

class tst_Files : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder;

private slots:
    void init() { m_folder = folderForThisTest(m_dir); }
    void regularFilesAreWrittenWholeOrNotAtAll_data();
    void regularFilesAreWrittenWholeOrNotAtAll();
    void streamsAreWrittenIntoNeverReplaced_data();
    void streamsAreWrittenIntoNeverReplaced();
    void onlyRegularFilesAreOpened_data();
    void onlyRegularFilesAreOpened();
    void identityIsTheFileAPathLeadsTo();
    void namesKeepTheirBytes_data();
    void namesKeepTheirBytes();
    void readingUpToALimitTakesWhatIsThere_data();
    void readingUpToALimitTakesWhatIsThere();
    void setFilesStayInTheirFolder_data();
    void setFilesStayInTheirFolder();
};

void tst_Files::regularFilesAreWrittenWholeOrNotAtAll_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("earlier"); // null: nothing there
    QTest::addColumn<bool>("fullDisk");
    QTest::addColumn<QString>("reason"); // empty: written
    const QByteArray big = QByteArray("an earlier file ").repeated(1000);
    QTest::newRow("a new file") << "new" << QByteArray() << false << "";
    QTest::newRow("a bigger file replaced") << "big" << big << false << "";
    QTest::newRow("a full disk keeps the earlier file") << "kept" << big << true << "the disk is full";
    QTest::newRow("a missing folder") << "no/such/file" << QByteArray() << false << "its folder does not exist";
    QTest::newRow("a file on the folder path") << "blocker/x" << QByteArray() << false << "its folder does not exist";
    QTest::newRow("a name too long") << QString(300, QLatin1Char('n')) << QByteArray() << false << "its name is too long";
    QTest::newRow("no name") << "" << QByteArray() << false << "no file name was given";
}

void tst_Files::regularFilesAreWrittenWholeOrNotAtAll()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, earlier);
    QFETCH(bool, fullDisk);
    QFETCH(QString, reason);
    QVERIFY(testutils::writeFile(QDir(m_folder).filePath(QStringLiteral("blocker")), "a file, not a folder"));
    const QString path = name.isEmpty() ? QString() : QDir(m_folder).filePath(name);
    if (!earlier.isNull())
        QVERIFY(testutils::writeFile(path, earlier));
    const QByteArray bytes(3262, 'i');
    std::optional<Failure> failure;
    {
        const FileSizeLimit limit(fullDisk ? 1000 : RLIM_INFINITY);
        failure = ::writeFile(path, bytes);
    }
    QCOMPARE(reasonOf(failure), reason);
    if (!path.isEmpty())
        QCOMPARE(readFile(path), reason.isEmpty() ? bytes : earlier);
    // Nothing half-written is left beside it.
    for (const QString &left : QDir(m_folder).entryList(QDir::Files | QDir::Hidden))
        QVERIFY2(left == QLatin1String("blocker") || left == name, qPrintable(left));
}

void tst_Files::streamsAreWrittenIntoNeverReplaced_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // empty: written into
    QTest::newRow("the null device") << "null device" << "";
    QTest::newRow("a device that is always full") << "full device" << "the disk is full";
    QTest::newRow("a pipe nothing reads") << "pipe" << "nothing is reading from it";
    QTest::newRow("a pipe being read") << "read pipe" << "";
    QTest::newRow("a folder") << "folder" << "it is a folder";
}

void tst_Files::streamsAreWrittenIntoNeverReplaced()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString path = QDir(m_folder).filePath(QStringLiteral("target"));
    const bool device = kind.endsWith(QLatin1String("device"));
    // As root a fault could replace the system's own devices: a test makes
    // its own nodes, or uses the system's only when it cannot.
    const QString target = device && geteuid() != 0 ? (kind.startsWith(QLatin1String("null")) ? "/dev/null" : "/dev/full")
                                                    : path;
    if (target == path && !makeSpecialFile(kind == QLatin1String("read pipe") ? QStringLiteral("pipe") : kind, path))
        QSKIP("this machine lets no test make such a file");
    int reader = -1;
    if (kind == QLatin1String("read pipe"))
        reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    const QString before = kindAt(target);

    QElapsedTimer timer;
    timer.start();
    const std::optional<Failure> failure = ::writeFile(target, "icon bytes");
    QVERIFY2(timer.elapsed() < 5000, "the write waited");
    QCOMPARE(reasonOf(failure), reason);
    QCOMPARE(kindAt(target), before);
    if (reader >= 0) {
        QByteArray received(64, '\0');
        const ssize_t got = ::read(reader, received.data(), size_t(received.size()));
        ::close(reader);
        QCOMPARE(received.left(qMax<qsizetype>(got, 0)), QByteArray("icon bytes"));
    }
}

void tst_Files::onlyRegularFilesAreOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Failure::Kind>("failure");
    QTest::addColumn<QString>("reason"); // empty: opened
    QTest::newRow("a regular file") << "file" << Failure::Kind::Unusable << "";
    QTest::newRow("a pipe nothing writes to") << "pipe" << Failure::Kind::Unusable << "it is not a regular file";
    QTest::newRow("a link to a pipe") << "link to a pipe" << Failure::Kind::Unusable << "it is not a regular file";
    QTest::newRow("a device") << "/dev/zero" << Failure::Kind::Unusable << "it is not a regular file";
    QTest::newRow("a folder") << "folder" << Failure::Kind::Unusable << "it is a folder";
    QTest::newRow("nothing there") << "missing" << Failure::Kind::NoSuchFile << "there is no such file";
    QTest::newRow("no such folder") << "no/such" << Failure::Kind::NoSuchFolder << "its folder does not exist";
    QTest::newRow("a name too long") << "long" << Failure::Kind::NameTooLong << "its name is too long";
    QTest::newRow("unreadable") << "unreadable" << Failure::Kind::PermissionDenied << "permission denied";
}

void tst_Files::onlyRegularFilesAreOpened()
{
    QFETCH(QString, kind);
    QFETCH(Failure::Kind, failure);
    QFETCH(QString, reason);
    QString path = QDir(m_folder).filePath(kind == QLatin1String("long") ? QString(300, QLatin1Char('x')) : kind);
    if (kind.startsWith(QLatin1Char('/')))
        path = kind;
    else if (kind == QLatin1String("file") || kind == QLatin1String("unreadable"))
        QVERIFY(testutils::writeFile(path, "bytes"));
    else if (kind == QLatin1String("pipe") || kind == QLatin1String("link to a pipe") || kind == QLatin1String("folder"))
        QVERIFY(makeSpecialFile(kind, path));
    if (kind == QLatin1String("unreadable")) {
        if (geteuid() == 0)
            QSKIP("root may read any file");
        QFile::setPermissions(path, QFile::WriteOwner);
    }
    QElapsedTimer timer;
    timer.start();
    QFile file;
    const std::optional<Failure> opened = openRegularFile(path, file);
    QVERIFY2(timer.elapsed() < 5000, "the open waited");
    QCOMPARE(reasonOf(opened), reason);
    if (opened)
        QCOMPARE(opened->kind, failure);
    QCOMPARE(file.isOpen(), !opened);
    if (file.isOpen())
        QCOMPARE(file.readAll(), QByteArray("bytes"));
}

void tst_Files::identityIsTheFileAPathLeadsTo()
{
    const QDir folder(m_folder);
    QVERIFY(folder.mkpath(QStringLiteral("sub")));
    const QString file = folder.filePath(QStringLiteral("picture.jpg"));
    QVERIFY(testutils::writeFile(file, "picture"));
    QVERIFY(QFile::link(file, folder.filePath(QStringLiteral("symbolic.jpg"))));
    QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(folder.filePath(QStringLiteral("hard.jpg"))).constData()), 0);
    QVERIFY(QFile::link(m_folder, m_dir.filePath(QStringLiteral("folder-link"))));

    const FileIdentity identity = fileIdentity(file);
    QVERIFY(identity.exists);
    for (const QString &other : {folder.filePath(QStringLiteral("sub/../picture.jpg")), folder.filePath(QStringLiteral("symbolic.jpg")),
                                 folder.filePath(QStringLiteral("hard.jpg")), m_dir.filePath(QStringLiteral("folder-link/picture.jpg"))})
        QCOMPARE(fileIdentity(other).key, identity.key);
    QVERIFY(fileIdentity(folder.filePath(QStringLiteral("sub"))).key != identity.key);
    // A file not there yet: the same name in the same folder, however written.
    const FileIdentity missing = fileIdentity(folder.filePath(QStringLiteral("new.ico")));
    QVERIFY(!missing.exists);
    QCOMPARE(fileIdentity(m_dir.filePath(QStringLiteral("folder-link/sub/../new.ico"))).key, missing.key);
    QVERIFY(fileIdentity(folder.filePath(QStringLiteral("other.ico"))).key != missing.key);

    // Standard output, opened on the file.
    const int saved = ::dup(STDOUT_FILENO);
    const int onFile = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_APPEND);
    ::dup2(onFile, STDOUT_FILENO);
    const std::optional<QString> output = standardOutputIdentity();
    ::dup2(saved, STDOUT_FILENO);
    ::close(onFile);
    ::close(saved);
    QCOMPARE(output.value_or(QString()), identity.key);
}

QTEST_GUILESS_MAIN(tst_Files)
// What is in the way of "set/sub/file" before a set writes it.
enum class InTheWay { Nothing, NoSetFolder, OwnFile, OwnLink, LinkOut, LinkedFolder, Fifo, Folder, FileForFolder, ReadOnly, LongName, NulInName };
Q_DECLARE_METATYPE(InTheWay)

void tst_Files::setFilesStayInTheirFolder_data()
{
    QTest::addColumn<InTheWay>("inTheWay");
    QTest::addColumn<QString>("reason"); // empty: written
    QTest::newRow("nothing") << InTheWay::Nothing << "";
    QTest::newRow("no set folder yet") << InTheWay::NoSetFolder << "";
    QTest::newRow("the set's earlier file") << InTheWay::OwnFile << "";
    QTest::newRow("a link of the set's own, replaced") << InTheWay::OwnLink << "";
    QTest::newRow("a link to a file outside")
        << InTheWay::LinkOut << "it is a link, and Tervana writes no file through a link it did not make";
    QTest::newRow("a linked folder") << InTheWay::LinkedFolder
                                     << "\"@/set/sub\" is a link, and Tervana writes into no folder through a link";
    QTest::newRow("a named pipe") << InTheWay::Fifo << "it is not a regular file";
    QTest::newRow("a folder") << InTheWay::Folder << "it is a folder";
    QTest::newRow("a file where a folder goes") << InTheWay::FileForFolder << "\"@/set/sub\" is a file, not a folder";
    if (::geteuid() != 0)
        QTest::newRow("a read-only file") << InTheWay::ReadOnly << "permission denied";
    QTest::newRow("a name too long, no folder left") << InTheWay::LongName << "its name is too long";
    QTest::newRow("a name holding a NUL") << InTheWay::NulInName << "\"sub/file\\x00.png\" is no plain name";
}

// Each case leaves the file written whole in the set's folder, or refused
// with words that name what is in the way; nothing outside the folder
// changes, and a failed write leaves no folder it made.
void tst_Files::setFilesStayInTheirFolder()
{
    QFETCH(InTheWay, inTheWay);
    QFETCH(QString, reason);
    const QString set = m_folder + QStringLiteral("/set");
    const QString sub = set + QStringLiteral("/sub");
    const QString outside = m_folder + QStringLiteral("/outside");
    QVERIFY(testutils::writeFile(outside, "not ours"));
    if (inTheWay != InTheWay::NoSetFolder && inTheWay != InTheWay::LongName && inTheWay != InTheWay::NulInName)
        QVERIFY(QDir().mkpath(inTheWay == InTheWay::LinkedFolder || inTheWay == InTheWay::FileForFolder ? set : sub));
    const QString file = sub + QStringLiteral("/file");
    const QByteArray native = nativeName(file);
    switch (inTheWay) {
    case InTheWay::OwnFile: QVERIFY(testutils::writeFile(file, "earlier")); break;
    case InTheWay::OwnLink: QVERIFY(testutils::writeFile(sub + QStringLiteral("/other"), "other") && QFile::link(QStringLiteral("other"), file)); break;
    case InTheWay::LinkOut: QVERIFY(QFile::link(QStringLiteral("../../outside"), file)); break;
    case InTheWay::LinkedFolder: QVERIFY(QDir().mkpath(m_folder + QStringLiteral("/elsewhere")) && QFile::link(QStringLiteral("../elsewhere"), sub)); break;
    case InTheWay::Fifo: QCOMPARE(::mkfifo(native.constData(), 0600), 0); break;
    case InTheWay::Folder: QVERIFY(QDir().mkpath(file)); break;
    case InTheWay::FileForFolder: QVERIFY(testutils::writeFile(sub, "a file")); break;
    case InTheWay::ReadOnly: QVERIFY(testutils::writeFile(file, "earlier") && ::chmod(native.constData(), 0444) == 0); break;
    default: break;
    }
    const QString name = inTheWay == InTheWay::LongName    ? QStringLiteral("sub/") + QString(300, QLatin1Char('n'))
                         : inTheWay == InTheWay::NulInName ? QStringLiteral("sub/file") + QChar(0) + QStringLiteral(".png")
                                                           : QStringLiteral("sub/file");
    const OwnLink ownLink = [](const QString &link, const QString &target) { return link == QLatin1String("file") && target == QLatin1String("other"); };
    const std::optional<Failure> failure = writeFileInSet(set, name, "new", ownLink);
    QCOMPARE(failure ? failure->reason : QString(), QString(reason).replace(QLatin1Char('@'), m_folder));
    if (reason.isEmpty()) {
        QVERIFY(!QFileInfo(file).isSymLink());
        QCOMPARE(readFile(file), QByteArray("new"));
    }
    QCOMPARE(readFile(outside), QByteArray("not ours"));
    QCOMPARE(QDir(m_folder + QStringLiteral("/elsewhere")).isEmpty(), true);
    if (inTheWay == InTheWay::OwnLink)
        QCOMPARE(readFile(sub + QStringLiteral("/other")), QByteArray("other"));
    if (inTheWay == InTheWay::LinkOut)
        QVERIFY(QFileInfo(file).isSymLink());
    if (inTheWay == InTheWay::ReadOnly || inTheWay == InTheWay::FileForFolder)
        QCOMPARE(readFile(inTheWay == InTheWay::ReadOnly ? file : sub), QByteArray(inTheWay == InTheWay::ReadOnly ? "earlier" : "a file"));
    if (inTheWay == InTheWay::LongName || inTheWay == InTheWay::NulInName)
        QVERIFY(!QFileInfo::exists(set));
}

#include "tst_files.moc"

void tst_Files::namesKeepTheirBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << QByteArray("photo 1.jpg") << "photo 1.jpg";
    QTest::newRow("UTF-8") << QByteArray("caf\xc3\xa9 \xf0\x9f\x98\x80.jpg") << QString::fromUtf8("caf\xc3\xa9 \xf0\x9f\x98\x80.jpg");
    QTest::newRow("Latin-1") << QByteArray("caf\xe9.jpg") << "caf\\xE9.jpg";
    QTest::newRow("a cut sequence") << QByteArray("a\xe2\x82") << "a\\xE2\\x82";
    QTest::newRow("overlong") << QByteArray("\xc0\xaf") << "\\xC0\\xAF";
    QTest::newRow("an encoded surrogate") << QByteArray("\xed\xa0\x80") << "\\xED\\xA0\\x80";
    QTest::newRow("what stands for a byte, encoded") << QByteArray("\xed\xb3\xbf") << "\\xED\\xB3\\xBF";
    QTest::newRow("a byte-order mark inside, which hides") << QByteArray("x\xef\xbb\xbfy") << "x\\uFEFFy";
    QTest::newRow("line and paragraph separators") << QByteArray("a\xe2\x80\xa8" "b\xe2\x80\xa9") << "a\\u2028b\\u2029";
    QTest::newRow("a newline, a tab, a backslash") << QByteArray("a\nb\tc\\d") << "a\\nb\\tc\\\\d";
    QTest::newRow("terminal controls") << QByteArray("\x1b[2J\xc2\x9b\xe2\x80\xae") << "\\x1B[2J\\u009B\\u202E";
}

// A name of any bytes comes back as the same bytes, and messages show it
// on one line, the bytes that are not text escaped.
void tst_Files::namesKeepTheirBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const QString name = nameFromNative(bytes);
    QCOMPARE(nativeName(name), bytes);
    QCOMPARE(readableName(name), shown);
    const QString path = m_folder + QLatin1Char('/') + name;
    QVERIFY(!::writeFile(path, QByteArray("content")));
    QFile file;
    QVERIFY(!openRegularFile(path, file));
    QCOMPARE(file.readAll(), QByteArray("content"));
    QCOMPARE(::unlink(nativeName(path).constData()), 0); // Qt's own clean-up could not reach it
}

void tst_Files::readingUpToALimitTakesWhatIsThere_data()
{
    QTest::addColumn<bool>("sequential");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("limit");
    for (bool sequential : {false, true}) {
        const char *kind = sequential ? "a pipe" : "a file";
        QTest::addRow("%s shorter than the limit", kind) << sequential << 100 << 64 * 1024 * 1024;
        QTest::addRow("%s of the limit", kind) << sequential << 200'000 << 200'000;
        QTest::addRow("%s one byte longer", kind) << sequential << 200'001 << 200'000;
        QTest::addRow("%s far longer", kind) << sequential << 300'000 << 65'537;
        QTest::addRow("%s empty", kind) << sequential << 0 << 10;
    }
}

// A device read up to a limit gives its bytes from where it stands, no more
// than the limit, whether it can go back or not, without setting the whole
// limit aside.
void tst_Files::readingUpToALimitTakesWhatIsThere()
{
    QFETCH(bool, sequential);
    QFETCH(int, size);
    QFETCH(int, limit);
    QByteArray bytes(size + 7, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 256);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QVERIFY(buffer.skip(7));
    QProcess pipe; // the bytes after the first 7 through a real pipe
    if (sequential) {
        pipe.start(QStringLiteral("cat"));
        QVERIFY(pipe.waitForStarted());
        pipe.write(bytes.mid(7));
        pipe.closeWriteChannel();
        QVERIFY(pipe.waitForFinished());
    }
    QIODevice &device = sequential ? static_cast<QIODevice &>(pipe) : buffer;
    const QByteArray read = readUpTo(device, limit);
    QCOMPARE(read.size(), std::min(size, limit));
    QVERIFY(read == bytes.mid(7, read.size()));
    QVERIFY2(read.capacity() < 2 * read.size() + 128 * 1024, qPrintable(QString::number(read.capacity())));
}
