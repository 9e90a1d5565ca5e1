#include "recordedtree.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/oidorder.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/codec/systemgroup.h"

#include <QHash>

#include <algorithm>
#include <bit>
#include <limits>
#include <numeric>

namespace {

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
    const char *bytes = m_objects.data();
    const qsizetype value = offset + elementSize(bytes + offset);
    return value + elementSize(bytes + value);
}

QByteArrayView RecordedTree::oidContentAt(qsizetype offset) const
{
    // Searches call this for every object of a step: the short header needs no general reader.
    const char *at = m_objects.data() + offset;
    if (quint8(at[1]) < 0x80)
        return QByteArrayView(at + 2, quint8(at[1]));
    return ber::contentOf(QByteArrayView(at, elementSize(at)));
}

QByteArrayView RecordedTree::oidElementAt(qsizetype offset) const
{
    const char *at = m_objects.data() + offset;
    return QByteArrayView(at, elementSize(at));
}

QByteArrayView RecordedTree::valueElementAt(qsizetype offset) const
{
    const char *oid = m_objects.data() + offset;
    const char *value = oid + elementSize(oid);
    return QByteArrayView(value, elementSize(value));
}

bool RecordedTree::isCounter64At(qsizetype offset) const
{
    return quint8(valueElementAt(offset)[0]) == SnmpTag::Counter64;
}

QByteArrayView RecordedTree::Contents::at(qsizetype i) const
{
    const qsizetype start = i == 0 ? 0 : ends[i - 1];
    return QByteArrayView(bytes.constData() + start, ends[i] - start);
}

void RecordedTree::Contents::append(QByteArrayView content)
{
    bytes.append(content);
    ends.push_back(quint32(bytes.size()));
}

qsizetype RecordedTree::Contents::upperBound(QByteArrayView content, qsizetype low,
                                             qsizetype high) const
{
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (compareOidContents(at(middle), content) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

RecordedTree::Place RecordedTree::locate(QByteArrayView content) const
{
    // Each level's entries before the one found are at most the content, that one is above it.
    const qsizetype top = m_topSamples.upperBound(content, 0, m_topSamples.size());
    if (top == 0)
        return {0, 0};
    const qsizetype step = m_samples.upperBound(content, (top - 1) * SampleStep + 1,
                                                qMin(top * SampleStep, m_samples.size()));
    qsizetype index = (step - 1) * SampleStep;
    qsizetype offset = objectEnd(m_starts[index]);
    const qsizetype end = qMin(step * SampleStep, size());
    for (++index; index < end; ++index) {
        if (compareOidContents(oidContentAt(offset), content) > 0)
            return {index, offset};
        offset = objectEnd(offset);
    }
    return {end, offset};
}

quint32 RecordedTree::slotOf(QByteArrayView content) const
{
    // The process's random seed: no recording can be made to pile its identifiers up.
    return quint32(qHash(content, QHashSeed::globalSeed())) & quint32(m_slots.size() - 1);
}

void RecordedTree::index()
{
    m_slots.assign(std::bit_ceil(size_t(size()) * 2 + 2), 0);
    for (qsizetype i = 0; i < size(); ++i) {
        quint32 slot = slotOf(oidContent(i));
        while (m_slots[slot] != 0)
            slot = (slot + 1) & quint32(m_slots.size() - 1);
        m_slots[slot] = quint64(m_starts[i]) << 32 | quint64(i + 1);
    }
}

RecordedTree::Place RecordedTree::placeOf(QByteArrayView content) const
{
    if (m_slots.empty())
        return {};
    for (quint32 slot = slotOf(content); m_slots[slot] != 0;
         slot = (slot + 1) & quint32(m_slots.size() - 1)) {
        const quint64 entry = m_slots[slot];
        const qsizetype offset = qsizetype(entry >> 32);
        if (oidContentAt(offset) == content)
            return {qsizetype(entry & 0xffffffff) - 1, offset};
    }
    return {};
}

void RecordedTree::warm(std::span<const QByteArrayView> contents) const
{
#if defined(__GNUC__)
    constexpr size_t Most = 64;
    if (m_slots.empty())
        return;
    quint32 places[Most];
    const size_t count = qMin(contents.size(), Most);
    for (size_t i = 0; i < count; ++i) {
        places[i] = slotOf(contents[i]);
        __builtin_prefetch(m_slots.data() + places[i]);
    }
    for (size_t i = 0; i < count; ++i) {
        if (const quint64 entry = m_slots[places[i]]) {
            // The object, and the start of the one after it, which a GetNext answers.
            const char *object = m_objects.data() + (entry >> 32);
            __builtin_prefetch(object);
            __builtin_prefetch(object + 64);
        }
    }
#else
    Q_UNUSED(contents);
#endif
}

RecordedTree::Place RecordedTree::placeAfter(QByteArrayView content) const
{
    const Place found = placeOf(content);
    return found.index != NotFound ? following(found) : locate(content);
}

qsizetype RecordedTree::memoryUsed() const
{
    const auto vectorBytes = [](const auto &v) { return qsizetype(v.capacity() * sizeof(v[0])); };
    return vectorBytes(m_objects) + vectorBytes(m_starts) + m_samples.bytes.capacity() +
           vectorBytes(m_samples.ends) + m_topSamples.bytes.capacity() +
           vectorBytes(m_topSamples.ends) + vectorBytes(m_slots);
}

void RecordedTree::sample()
{
    m_samples = {};
    m_topSamples = {};
    for (qsizetype i = 0; i < size(); i += SampleStep)
        m_samples.append(oidContent(i));
    for (qsizetype i = 0; i < m_samples.size(); i += SampleStep)
        m_topSamples.append(m_samples.at(i));
    for (Contents *level : {&m_samples, &m_topSamples}) {
        level->bytes.squeeze();
        level->ends.shrink_to_fit();
    }
}

bool RecordedTreeBuilder::add(QByteArrayView oidContent, QByteArrayView valueElement, qint64 line)
{
    constexpr qsizetype limit = std::numeric_limits<quint32>::max() - 16;
    if (qsizetype(m_tree.m_objects.size()) + oidContent.size() + valueElement.size() + 8 > limit)
        return false;
    if (!m_tree.isEmpty() && m_sorted)
        m_sorted = compareOidContents(m_tree.oidContent(m_tree.size() - 1), oidContent) < 0;
    auto &objects = m_tree.m_objects;
    const qsizetype start = qsizetype(objects.size());
    m_tree.m_starts.push_back(quint32(start));
    objects.resize(size_t(start + ber::headerSize(oidContent.size()) + oidContent.size() +
                          valueElement.size()));
    char *out = ber::writeHeader(objects.data() + start, ber::ObjectIdentifier, oidContent.size());
    std::copy(valueElement.begin(), valueElement.end(),
              std::copy(oidContent.begin(), oidContent.end(), out));
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
            sorted.m_objects.insert(sorted.m_objects.end(), tree.m_objects.data() + start,
                                    tree.m_objects.data() + tree.objectEnd(start));
        }
        tree = std::move(sorted);
    }
    m_lines = {};
    tree.m_objects.shrink_to_fit();
    tree.m_starts.shrink_to_fit();
    tree.sample();
    tree.index();
    for (int number = 1; number <= SystemGroup::Objects; ++number)
        tree.m_system[number - 1] = tree.find(SystemGroup::content(number));
    RecordedTree result = std::move(tree);
    m_tree = {};
    m_sorted = true;
    return result;
}
