#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <vector>

// The objects of a recording in identifier order, kept as two flat byte arrays of encoded
// elements with their end offsets: a million objects cost tens of megabytes, not a node each.
class RecordedTree
{
public:
    static constexpr qsizetype NotFound = -1;

    qsizetype size() const { return qsizetype(m_oidEnds.size()); }
    bool isEmpty() const { return m_oidEnds.empty(); }

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

    qsizetype upperBoundIn(QByteArrayView content, qsizetype low, qsizetype high) const;
    void sample();

    QByteArray m_oids;
    QByteArray m_values;
    std::vector<quint32> m_oidEnds;
    std::vector<quint32> m_valueEnds;
    // The contents of every SampleStep-th identifier, small enough to stay in the cache: a
    // search runs there first and touches the big arrays only within one step.
    static constexpr qsizetype SampleStep = 32;
    QByteArray m_samples;
    std::vector<quint32> m_sampleEnds;
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
    qsizetype m_lastOidStart = 0;
};
