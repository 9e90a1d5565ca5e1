#include "loadordercreation.h"

#include "common/core/mibheader.h"
#include "common/core/textlines.h"

#include <QFile>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr qsizetype HeaderChunk = 4096;

bool isNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// A text that holds anything but name characters can never stand as one word.
bool isWord(const QByteArray &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isNameChar);
}

template <typename Visit> void forEachWord(const QByteArray &text, Visit visit)
{
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
            visit(std::string_view(data + begin, size_t(at - begin)));
    }
}

} // namespace

Status scanSelection(QList<SelectionEntry> &entries)
{
    for (SelectionEntry &entry : entries) {
        QFile file(entry.filePath);
        // The header sits at the top: small unbuffered reads spare reading the rest of the file.
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return failure(file.errorString());
        LineReader reader(file, HeaderChunk);
        const MibHeader header = scanMibHeader(reader);
        if (reader.failed())
            return failure(reader.errorString());
        entry.moduleName = header.moduleName;
        // Words in comments name no import: a commented-out one would order files wrongly, or
        // make a cycle of two modules that do not import each other.
        entry.importsText.clear();
        for (const QByteArray &line : header.importsLines)
            entry.importsText += withoutComments(line) + ' ';
    }
    return {};
}

QList<QList<int>> findDependencies(const QList<SelectionEntry> &entries)
{
    // Module name -> first entry declaring it. Words of a length no name has are not looked up,
    // which skips most of an IMPORTS text.
    std::unordered_map<std::string_view, int> declaredBy;
    std::vector<bool> nameLength;
    for (int i = 0; i < entries.size(); ++i) {
        const QByteArray &name = entries.at(i).moduleName;
        if (!isWord(name))
            continue;
        declaredBy.try_emplace(std::string_view(name.constData(), size_t(name.size())), i);
        if (nameLength.size() <= size_t(name.size()))
            nameLength.resize(size_t(name.size()) + 1, false);
        nameLength[size_t(name.size())] = true;
    }
    QList<QList<int>> dependencies(entries.size());
    for (int k = 0; k < entries.size(); ++k) {
        const QByteArray &own = entries.at(k).moduleName;
        QList<int> &found = dependencies[k];
        forEachWord(entries.at(k).importsText, [&](std::string_view word) {
            if (word.size() >= nameLength.size() || !nameLength[word.size()])
                return;
            const auto it = declaredBy.find(word);
            if (it != declaredBy.end() && word != std::string_view(own.constData(), own.size()))
                found.append(it->second);
        });
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
    }
    return dependencies;
}

QList<int> placeInPasses(const QList<QList<int>> &dependencies)
{
    // An entry is placed in the first pass in which all its dependencies come before it: a
    // dependency earlier in the table counts in its own pass, a later one only in the pass
    // after. Passes are computed in dependency order, so the cost does not grow with the
    // number of passes.
    const int count = int(dependencies.size());
    const size_t size = size_t(count);
    std::vector<std::vector<int>> dependents(size);
    std::vector<int> waiting(size);
    std::vector<int> ready;
    for (int k = 0; k < count; ++k) {
        waiting[size_t(k)] = int(dependencies.at(k).size());
        for (int j : dependencies.at(k))
            dependents[size_t(j)].push_back(k);
        if (waiting[size_t(k)] == 0)
            ready.push_back(k);
    }
    std::vector<int> pass(size, 0);
    std::vector<std::pair<int, int>> placed; // (pass, entry)
    placed.reserve(size);
    while (!ready.empty()) {
        const int j = ready.back();
        ready.pop_back();
        int p = 1;
        for (int d : dependencies.at(j))
            p = std::max(p, pass[size_t(d)] + (d > j ? 1 : 0));
        pass[size_t(j)] = p;
        placed.emplace_back(p, j);
        for (int k : dependents[size_t(j)]) {
            if (--waiting[size_t(k)] == 0)
                ready.push_back(k);
        }
    }
    std::sort(placed.begin(), placed.end());
    QList<int> order;
    order.reserve(qsizetype(placed.size()));
    for (const auto &[p, k] : placed)
        order.append(k);
    return order;
}
