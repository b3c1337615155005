#include "progressline.h"

#include "messagestream.h"

namespace {

// A run quicker than this shows no progress at all.
constexpr qint64 firstShownMs = 500;
// Redrawn at most this often on a terminal, and in lines this often.
constexpr qint64 terminalEveryMs = 100;
constexpr qint64 linesEveryMs = 5000;

QString seconds(qint64 ms)
{
    return ms < 60000 ? QStringLiteral("%1 s").arg(double(ms) / 1000, 0, 'f', 1)
                      : QStringLiteral("%1 min %2 s").arg(ms / 60000).arg(ms / 1000 % 60);
}

} // namespace

ProgressLine::ProgressLine(FILE *stream, Shown shown)
    : m_stream(stream)
    , m_shown(shown)
{
    m_clock.start();
}

QString ProgressLine::text(const RunCounts &counts) const
{
    const size_t done = counts.converted + counts.failed;
    const qint64 ms = std::max<qint64>(m_clock.elapsed(), 1);
    const double rate = double(done) * 1000 / double(ms);
    QString line = QStringLiteral("%1 of %2%3 pictures, %4/s")
                       .arg(done)
                       .arg(counts.known)
                       .arg(counts.allKnown ? QString() : QStringLiteral("+"))
                       .arg(rate, 0, 'f', rate < 10 ? 1 : 0);
    if (counts.allKnown && done > 0 && done < counts.known)
        line += QStringLiteral(", %1 left").arg(seconds(qint64(double(counts.known - done) / rate * 1000)));
    if (counts.failed > 0)
        line += QStringLiteral(", %1 failed").arg(counts.failed);
    return line;
}

void ProgressLine::update(const RunCounts &counts)
{
    const qint64 now = m_clock.elapsed();
    const qint64 every = m_shown == Shown::OnTerminal ? terminalEveryMs : linesEveryMs;
    if (m_shown == Shown::Never || now < firstShownMs || (m_lastDrawn >= 0 && now - m_lastDrawn < every))
        return;
    m_lastDrawn = now;
    m_text = text(counts);
    draw();
}

void ProgressLine::draw()
{
    if (m_shown == Shown::InLines) {
        printLine(m_stream, QStringLiteral("tervana-convert: ") + m_text);
        return;
    }
    // Back to the line's start, the old line erased, the new one written.
    std::fprintf(m_stream, "\r\033[K%s", qPrintable(m_text));
    std::fflush(m_stream);
    m_onScreen = true;
}

void ProgressLine::clear()
{
    if (!m_onScreen)
        return;
    std::fputs("\r\033[K", m_stream);
    std::fflush(m_stream);
    m_onScreen = false;
}

void ProgressLine::printAbove(const QString &line, FILE *stream)
{
    const bool wasOnScreen = m_onScreen;
    clear();
    printLine(stream ? stream : m_stream, line);
    // Another stream reaches the screen before the line is drawn again.
    if (stream && wasOnScreen)
        std::fflush(stream);
    if (wasOnScreen)
        draw();
}

QString runSummary(const RunCounts &counts, qint64 elapsedMs)
{
    QString summary = QStringLiteral("%1 converted, %2 failed").arg(counts.converted).arg(counts.failed);
    if (counts.skipped > 0)
        summary += QStringLiteral(", %1 left alone (not pictures)").arg(counts.skipped);
    return summary + QStringLiteral(", ") + seconds(elapsedMs);
}
