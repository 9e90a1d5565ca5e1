#include "recordedtree.h"

#include "bercodec.h"
#include "oidorder.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

constexpr quint8 Counter64Tag = 0x46;

qsizetype startOf(const std::vector<quint32> &ends, qsizetype i)
{
    return i == 0 ? 0 : ends[i - 1];
}

QByteArrayView slice(const QByteArray &bytes, const std::vector<quint32> &ends, qsizetype i)
{
    const qsizetype start = startOf(ends, i);
    return QByteArrayView(bytes.constData() + start, ends[i] - start);
}

} // namespace

QByteArrayView RecordedTree::oidElement(qsizetype i) const
{
    return slice(m_oids, m_oidEnds, i);
}

QByteArrayView RecordedTree::oidContent(qsizetype i) const
{
    // Searches call this twenty times a request: the short header needs no general reader.
    const QByteArrayView element = oidElement(i);
    if (quint8(element[1]) < 0x80)
        return element.sliced(2);
    return ber::contentOf(element);
}

QByteArrayView RecordedTree::valueElement(qsizetype i) const
{
    return slice(m_values, m_valueEnds, i);
}

bool RecordedTree::isCounter64(qsizetype i) const
{
    return quint8(m_values[startOf(m_valueEnds, i)]) == Counter64Tag;
}

qsizetype RecordedTree::upperBound(QByteArrayView content) const
{
    qsizetype low = 0;
    qsizetype high = qsizetype(m_sampleEnds.size());
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (compareOidContents(slice(m_samples, m_sampleEnds, middle), content) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    // Samples before `low` are at most the content, the one at `low` is above it.
    if (low == 0)
        return 0;
    return upperBoundIn(content, (low - 1) * SampleStep + 1, qMin(low * SampleStep, size()));
}

qsizetype RecordedTree::upperBoundIn(QByteArrayView content, qsizetype low, qsizetype high) const
{
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (compareOidContents(oidContent(middle), content) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

qsizetype RecordedTree::find(QByteArrayView content) const
{
    const qsizetype after = upperBound(content);
    if (after > 0 && compareOidContents(oidContent(after - 1), content) == 0)
        return after - 1;
    return NotFound;
}

qsizetype RecordedTree::memoryUsed() const
{
    return m_oids.capacity() + m_values.capacity() + m_samples.capacity() +
           qsizetype((m_oidEnds.capacity() + m_valueEnds.capacity() + m_sampleEnds.capacity()) *
                     sizeof(quint32));
}

void RecordedTree::sample()
{
    m_samples.clear();
    m_sampleEnds.clear();
    for (qsizetype i = 0; i < size(); i += SampleStep) {
        m_samples.append(oidContent(i));
        m_sampleEnds.push_back(quint32(m_samples.size()));
    }
    m_samples.squeeze();
    m_sampleEnds.shrink_to_fit();
}

bool RecordedTreeBuilder::add(QByteArrayView oidContent, QByteArrayView valueElement, qint64 line)
{
    constexpr qsizetype limit = std::numeric_limits<quint32>::max() - 16;
    if (m_tree.m_oids.size() + oidContent.size() + 8 > limit ||
        m_tree.m_values.size() + valueElement.size() > limit)
        return false;
    if (!m_tree.m_oidEnds.empty() && m_sorted) {
        const QByteArrayView previous = ber::contentOf(QByteArrayView(
            m_tree.m_oids.constData() + m_lastOidStart, m_tree.m_oids.size() - m_lastOidStart));
        m_sorted = compareOidContents(previous, oidContent) < 0;
    }
    m_lastOidStart = m_tree.m_oids.size();
    ber::appendElement(m_tree.m_oids, ber::ObjectIdentifier, oidContent);
    m_tree.m_values.append(valueElement);
    m_tree.m_oidEnds.push_back(quint32(m_tree.m_oids.size()));
    m_tree.m_valueEnds.push_back(quint32(m_tree.m_values.size()));
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
        sorted.m_oids.reserve(tree.m_oids.size());
        sorted.m_values.reserve(tree.m_values.size());
        sorted.m_oidEnds.reserve(order.size());
        sorted.m_valueEnds.reserve(order.size());
        for (quint32 i : order) {
            sorted.m_oids.append(tree.oidElement(i));
            sorted.m_values.append(tree.valueElement(i));
            sorted.m_oidEnds.push_back(quint32(sorted.m_oids.size()));
            sorted.m_valueEnds.push_back(quint32(sorted.m_values.size()));
        }
        tree = std::move(sorted);
    }
    m_lines = {};
    tree.m_oids.squeeze();
    tree.m_values.squeeze();
    tree.m_oidEnds.shrink_to_fit();
    tree.m_valueEnds.shrink_to_fit();
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
