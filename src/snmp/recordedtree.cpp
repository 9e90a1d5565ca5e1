#include "recordedtree.h"

#include "bercodec.h"
#include "oidorder.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

constexpr quint8 Counter64Tag = 0x46;

// Bytes of the element at `at`, header included. The tree holds only elements it encoded.
qsizetype elementSize(const char *at)
{
    const quint8 first = quint8(at[1]);
    if (first < 0x80)
        return 2 + first;
    const int count = first & 0x7f;
    qsizetype length = 0;
    for (int i = 0; i < count; ++i)
        length = (length << 8) | quint8(at[2 + i]);
    return 2 + count + length;
}

} // namespace

qsizetype RecordedTree::objectEnd(qsizetype offset) const
{
    const char *bytes = m_objects.constData();
    const qsizetype value = offset + elementSize(bytes + offset);
    return value + elementSize(bytes + value);
}

QByteArrayView RecordedTree::contentAt(qsizetype offset) const
{
    // Searches call this for every object of a step: the short header needs no general reader.
    const char *at = m_objects.constData() + offset;
    if (quint8(at[1]) < 0x80)
        return QByteArrayView(at + 2, quint8(at[1]));
    return ber::contentOf(QByteArrayView(at, elementSize(at)));
}

QByteArrayView RecordedTree::oidElement(qsizetype i) const
{
    const char *at = m_objects.constData() + m_starts[i];
    return QByteArrayView(at, elementSize(at));
}

QByteArrayView RecordedTree::oidContent(qsizetype i) const
{
    return contentAt(m_starts[i]);
}

QByteArrayView RecordedTree::valueElement(qsizetype i) const
{
    const char *oid = m_objects.constData() + m_starts[i];
    const char *value = oid + elementSize(oid);
    return QByteArrayView(value, elementSize(value));
}

bool RecordedTree::isCounter64(qsizetype i) const
{
    return quint8(valueElement(i)[0]) == Counter64Tag;
}

RecordedTree::Located RecordedTree::locate(QByteArrayView content) const
{
    qsizetype low = 0;
    qsizetype high = qsizetype(m_sampleEnds.size());
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        const qsizetype start = middle == 0 ? 0 : m_sampleEnds[middle - 1];
        const QByteArrayView sample(m_samples.constData() + start, m_sampleEnds[middle] - start);
        if (compareOidContents(sample, content) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    // Samples before `low` are at most the content, the one at `low` is above it.
    if (low == 0)
        return {0, -1};
    qsizetype previous = m_stepStarts[low - 1];
    qsizetype offset = objectEnd(previous);
    const qsizetype end = qMin(low * SampleStep, size());
    for (qsizetype index = (low - 1) * SampleStep + 1; index < end; ++index) {
        if (compareOidContents(contentAt(offset), content) > 0)
            return {index, previous};
        previous = offset;
        offset = objectEnd(offset);
    }
    return {end, previous};
}

qsizetype RecordedTree::upperBound(QByteArrayView content) const
{
    return locate(content).index;
}

qsizetype RecordedTree::find(QByteArrayView content) const
{
    const Located located = locate(content);
    if (located.previous >= 0 && compareOidContents(contentAt(located.previous), content) == 0)
        return located.index - 1;
    return NotFound;
}

qsizetype RecordedTree::memoryUsed() const
{
    return m_objects.capacity() + m_samples.capacity() +
           qsizetype((m_starts.capacity() + m_sampleEnds.capacity() + m_stepStarts.capacity()) *
                     sizeof(quint32));
}

void RecordedTree::sample()
{
    m_samples.clear();
    m_sampleEnds.clear();
    m_stepStarts.clear();
    for (qsizetype i = 0; i < size(); i += SampleStep) {
        m_samples.append(oidContent(i));
        m_sampleEnds.push_back(quint32(m_samples.size()));
        m_stepStarts.push_back(m_starts[i]);
    }
    m_samples.squeeze();
    m_sampleEnds.shrink_to_fit();
    m_stepStarts.shrink_to_fit();
}

bool RecordedTreeBuilder::add(QByteArrayView oidContent, QByteArrayView valueElement, qint64 line)
{
    constexpr qsizetype limit = std::numeric_limits<quint32>::max() - 16;
    if (m_tree.m_objects.size() + oidContent.size() + valueElement.size() + 8 > limit)
        return false;
    if (!m_tree.isEmpty() && m_sorted)
        m_sorted = compareOidContents(m_tree.oidContent(m_tree.size() - 1), oidContent) < 0;
    m_tree.m_starts.push_back(quint32(m_tree.m_objects.size()));
    ber::appendElement(m_tree.m_objects, ber::ObjectIdentifier, oidContent);
    m_tree.m_objects.append(valueElement);
    m_lines.push_back(quint32(qMin<qint64>(line, std::numeric_limits<quint32>::max())));
    return true;
}

RecordedTree RecordedTreeBuilder::finish(Duplicate &duplicate)
{
    RecordedTree &tree = m_tree;
    if (!m_sorted) {
        std::vector<quint32> order(tree.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(), [&tree](quint32 a, quint32 b) {
            return compareOidContents(tree.oidContent(a), tree.oidContent(b)) < 0;
        });
        for (size_t i = 1; i < order.size(); ++i) {
            if (compareOidContents(tree.oidContent(order[i - 1]), tree.oidContent(order[i])) == 0) {
                duplicate = {qMin(m_lines[order[i - 1]], m_lines[order[i]]),
                             qMax(m_lines[order[i - 1]], m_lines[order[i]]),
                             tree.oidContent(order[i]).toByteArray()};
                m_tree = {};
                return {};
            }
        }
        RecordedTree sorted;
        sorted.m_objects.reserve(tree.m_objects.size());
        sorted.m_starts.reserve(order.size());
        for (quint32 i : order) {
            sorted.m_starts.push_back(quint32(sorted.m_objects.size()));
            const qsizetype start = tree.m_starts[i];
            sorted.m_objects.append(tree.m_objects.constData() + start,
                                    tree.objectEnd(start) - start);
        }
        tree = std::move(sorted);
    }
    m_lines = {};
    tree.m_objects.squeeze();
    tree.m_starts.shrink_to_fit();
    tree.sample();
    for (int number = 1; number <= 7; ++number) {
        const char system[] = {0x2b, 6, 1, 2, 1, 1, char(number), 0};
        tree.m_system[number - 1] = tree.find(QByteArrayView(system, sizeof system));
    }
    RecordedTree result = std::move(tree);
    m_tree = {};
    m_sorted = true;
    return result;
}
