#include "dashoptions.h"

#include <algorithm>
#include <vector>

namespace {

// How many letters must change for one word to become the other.
int editDistance(const QString &a, const QString &b)
{
    std::vector<int> previous(size_t(b.size()) + 1);
    for (size_t j = 0; j < previous.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        std::vector<int> current(previous.size());
        current[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j)
            current[size_t(j)] = std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1,
                                           previous[size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        previous = std::move(current);
    }
    return previous.back();
}

// The long option a mistyped word most likely meant, or none.
std::optional<QString> closest(const QString &word, const QStringList &longNames)
{
    std::optional<QString> best;
    int bestDistance = 3; // more letters wrong than this is another word
    if (word.size() < 3)
        return best;
    for (const QString &name : longNames) {
        const int distance = name.startsWith(word) ? 0 : editDistance(word, name);
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace

DashReading withOneDashLongOptions(const QStringList &arguments, const QStringList &longNames,
                                   const QString &shortNames, const QStringList &takingValues)
{
    QStringList rewritten;
    bool picturesOnly = false;
    bool valueNext = false; // the argument is the value of the option before it
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const bool isValue = valueNext;
        valueNext = false;
        picturesOnly = picturesOnly || (!isValue && argument == QLatin1String("--"));
        const bool oneDashWord = i > 0 && !picturesOnly && !isValue && argument.size() > 2
                                 && argument.startsWith(QLatin1Char('-')) && !argument.startsWith(QLatin1String("--"));
        if (!oneDashWord) {
            rewritten << argument;
            // "--output x", "-o x": x is a value, whatever it looks like.
            const QString name = argument.startsWith(QLatin1String("--")) ? argument.mid(2) : argument.mid(1);
            valueNext = !isValue && !picturesOnly && argument.startsWith(QLatin1Char('-')) && takingValues.contains(name);
            continue;
        }
        const QString word = argument.mid(1).section(QLatin1Char('='), 0, 0);
        if (longNames.contains(word)) {
            rewritten << QLatin1Char('-') + argument;
            valueNext = !argument.contains(QLatin1Char('=')) && takingValues.contains(word);
            continue;
        }
        // A short option and its value written together ("-j4",
        // "-dtmp"), unless it looks like a long option of that letter
        // mistyped ("-outptu").
        const std::optional<QString> meant = closest(word, longNames);
        if (shortNames.contains(argument.at(1)) && !(meant && meant->startsWith(argument.at(1)))) {
            rewritten << argument;
            continue;
        }
        return {{}, meant ? QStringLiteral("Unknown option '%1'; did you mean --%2?").arg(argument, *meant)
                          : QStringLiteral("Unknown option '%1'.").arg(argument)};
    }
    return {rewritten, std::nullopt};
}
