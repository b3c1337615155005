#pragma once

#include <QString>
#include <QStringList>

// What is wrong with a file, as a listing or a refusal tells it: the first
// few things found, each in words, then how many more there are. A file can
// be damaged in millions of places; its message stays one short line, and
// the words of what is not named are never made.
class DamageList
{
public:
    // The things named before the rest are only counted.
    static constexpr int named = 5;

    bool isEmpty() const { return m_count == 0; }
    qint64 count() const { return m_count; }

    // Adds one thing found: `words` is called for what it says only while
    // fewer than `named` are held.
    template<typename Words>
    void add(Words words)
    {
        if (m_count++ < named)
            m_named << words();
    }
    void add(const QString &what)
    {
        add([&what] { return what; });
    }
    void add(const QStringList &whats)
    {
        for (const QString &what : whats)
            add(what);
    }
    // What `other` holds, each named fault after `prefix` ("frame 3: "),
    // the others counted.
    void add(const DamageList &other, const QString &prefix = QString());

    // Those named, then "12345 more" when there are more.
    QStringList lines() const;
    // The lines joined with "; ", as a refusal's reason.
    QString joined() const { return lines().join(QStringLiteral("; ")); }

private:
    QStringList m_named;
    qint64 m_count = 0;
};
