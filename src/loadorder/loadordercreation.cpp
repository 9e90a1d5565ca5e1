#include "loadordercreation.h"

#include "common/mibheader.h"

#include <QHash>

#include <algorithm>

namespace {

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// A text that holds anything but name characters can never stand as one word.
bool isWord(const QByteArray &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isNameChar);
}

QList<QByteArrayView> wordsOf(const QByteArray &text)
{
    QList<QByteArrayView> words;
    const char *data = text.constData();
    const qsizetype size = text.size();
    qsizetype at = 0;
    while (at < size) {
        while (at < size && !isNameChar(data[at]))
            ++at;
        const qsizetype begin = at;
        while (at < size && isNameChar(data[at]))
            ++at;
        if (at > begin)
            words.append(QByteArrayView(data + begin, at - begin));
    }
    return words;
}

} // namespace

Status scanSelection(QList<SelectionEntry> &entries)
{
    for (SelectionEntry &entry : entries) {
        Result<MibHeader> header = readMibHeader(entry.filePath);
        if (!header)
            return header.failure();
        entry.moduleName = header.value().moduleName;
        entry.importsText = header.value().importsLines.join(' ');
    }
    return {};
}

QList<QList<int>> findDependencies(const QList<SelectionEntry> &entries)
{
    QHash<QByteArrayView, int> declaredBy; // module name -> first entry declaring it
    for (int i = 0; i < entries.size(); ++i) {
        const QByteArrayView name(entries.at(i).moduleName);
        if (isWord(entries.at(i).moduleName) && !declaredBy.contains(name))
            declaredBy.insert(name, i);
    }
    QList<QList<int>> dependencies(entries.size());
    for (int k = 0; k < entries.size(); ++k) {
        const QByteArray &own = entries.at(k).moduleName;
        QList<int> &found = dependencies[k];
        for (QByteArrayView word : wordsOf(entries.at(k).importsText)) {
            const auto it = declaredBy.constFind(word);
            if (it != declaredBy.constEnd() && word != own)
                found.append(it.value());
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
    }
    return dependencies;
}

QList<int> placeInPasses(const QList<QList<int>> &dependencies)
{
    const int count = int(dependencies.size());
    QList<bool> placed(count, false);
    QList<int> order;
    order.reserve(count);
    // Each pass places at least one entry or ends the run, so at most count passes do work.
    bool progress = true;
    while (order.size() < count && progress) {
        progress = false;
        for (int k = 0; k < count; ++k) {
            if (placed.at(k))
                continue;
            const QList<int> &needs = dependencies.at(k);
            const bool ready = std::all_of(needs.begin(), needs.end(),
                                           [&](int j) { return placed.at(j); });
            if (ready) {
                placed[k] = true;
                order.append(k);
                progress = true;
            }
        }
    }
    return order;
}
