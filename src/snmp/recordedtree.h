#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <vector>

// The objects of a recording in identifier order, kept as one flat byte array of encoded
// elements, each identifier followed by its value, with the start offset of each: a million
// objects cost tens of megabytes, not a node each.
class RecordedTree
{
public:
    static constexpr qsizetype NotFound = -1;

    qsizetype size() const { return qsizetype(m_starts.size()); }
    bool isEmpty() const { return m_starts.empty(); }

    // The identifier element (tag, length, content) and value element of object `i`.
    QByteArrayView oidElement(qsizetype i) const;
    QByteArrayView oidContent(qsizetype i) const;
    QByteArrayView valueElement(qsizetype i) const;
    bool isCounter64(qsizetype i) const;

    // Position of the identifier; NotFound when it is not recorded.
    qsizetype find(QByteArrayView oidContent) const;
    // First object after the identifier; size() when none is.
    qsizetype upperBound(QByteArrayView oidContent) const;

    // Position of system object `number` (1 to 7, sysDescr.0 to sysServices.0); NotFound when
    // the recording lacks it.
    qsizetype systemObject(int number) const { return m_system[number - 1]; }

    // Bytes the tree holds, for the figures the window and the benchmark show.
    qsizetype memoryUsed() const;

private:
    friend class RecordedTreeBuilder;

    struct Located
    {
        qsizetype index;    // of the first object after the identifier searched
        qsizetype previous; // offset of the object before it; -1 when there is none
    };
    Located locate(QByteArrayView content) const;
    qsizetype objectEnd(qsizetype offset) const;
    QByteArrayView contentAt(qsizetype offset) const;
    void sample();

    QByteArray m_objects;
    std::vector<quint32> m_starts;
    // The contents of every SampleStep-th identifier, small enough to stay in the cache, and
    // where each step's objects start: a search runs through the samples first, then reads one
    // step's objects in a row, which the processor fetches ahead.
    static constexpr qsizetype SampleStep = 32;
    QByteArray m_samples;
    std::vector<quint32> m_sampleEnds;
    std::vector<quint32> m_stepStarts;
    std::array<qsizetype, 7> m_system{NotFound, NotFound, NotFound, NotFound,
                                      NotFound, NotFound, NotFound};
};

// Collects objects in any order and sorts them once at the end.
class RecordedTreeBuilder
{
public:
    // Fails (returns false) when the tree cannot grow further; offsets are 32 bits.
    bool add(QByteArrayView oidContent, QByteArrayView valueElement, qint64 line);
    qsizetype size() const { return m_tree.size(); }
    struct Duplicate
    {
        qint64 firstLine = 0;
        qint64 secondLine = 0;
        QByteArray oidContent;
    };
    // The sorted tree. When two objects share an identifier, `duplicate` tells the first such
    // pair and the tree is left empty.
    RecordedTree finish(Duplicate &duplicate);

private:
    RecordedTree m_tree;
    std::vector<quint32> m_lines;
    bool m_sorted = true;
};
