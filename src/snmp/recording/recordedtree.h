#pragma once

#include "snmp/codec/systemgroup.h"
#include "snmp/recording/largeallocator.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <span>
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

    // An object's position in identifier order and where its bytes start: answering from the
    // place reads the object's bytes only, not the table of starts as well.
    struct Place
    {
        qsizetype index = NotFound;
        qsizetype offset = 0;
    };

    // The identifier element (tag, length, content) and value element of object `i`.
    QByteArrayView oidElement(qsizetype i) const { return oidElementAt(m_starts[i]); }
    QByteArrayView oidContent(qsizetype i) const { return oidContentAt(m_starts[i]); }
    QByteArrayView valueElement(qsizetype i) const { return valueElementAt(m_starts[i]); }
    bool isCounter64(qsizetype i) const { return isCounter64At(m_starts[i]); }
    // The same for the object whose bytes start at `offset`.
    QByteArrayView oidElementAt(qsizetype offset) const;
    QByteArrayView oidContentAt(qsizetype offset) const;
    QByteArrayView valueElementAt(qsizetype offset) const;
    bool isCounter64At(qsizetype offset) const;

    // Position of the identifier; NotFound when it is not recorded.
    qsizetype find(QByteArrayView oidContent) const { return placeOf(oidContent).index; }
    Place placeOf(QByteArrayView oidContent) const;
    // First object after the identifier; size() when none is.
    qsizetype upperBound(QByteArrayView oidContent) const { return placeAfter(oidContent).index; }
    Place placeAfter(QByteArrayView oidContent) const;
    // The object after the one at `place`; its index is size() past the last.
    Place following(Place place) const { return {place.index + 1, objectEnd(place.offset)}; }

    // Starts fetching what finding these identifiers will read, all at once, so that the
    // memory reads of a batch of requests overlap instead of following one another.
    void warm(std::span<const QByteArrayView> contents) const;

    // Position of system object `number` (1 to 7, sysDescr.0 to sysServices.0); NotFound when
    // the recording lacks it.
    qsizetype systemObject(int number) const { return m_system[number - 1]; }

    // Bytes the tree holds, for the figures the window and the benchmark show.
    qsizetype memoryUsed() const;

private:
    friend class RecordedTreeBuilder;

    // The first object after the identifier, found through the samples.
    Place locate(QByteArrayView content) const;
    quint32 slotOf(QByteArrayView content) const;
    void index();
    qsizetype objectEnd(qsizetype offset) const;
    void sample();

    template <typename T> using LargeVector = std::vector<T, LargeAllocator<T>>;
    LargeVector<char> m_objects;
    LargeVector<quint32> m_starts;
    // Identifier contents side by side, searched by halves.
    struct Contents
    {
        QByteArray bytes;
        std::vector<quint32> ends;
        qsizetype size() const { return qsizetype(ends.size()); }
        QByteArrayView at(qsizetype i) const;
        void append(QByteArrayView content);
        // The first of [low, high) above `content`; high when none is.
        qsizetype upperBound(QByteArrayView content, qsizetype low, qsizetype high) const;
    };
    // The contents of every SampleStep-th identifier, and of every SampleStep-th of those: a
    // search runs through the few hot ones, then through one step of samples, then reads one
    // step of objects front to back, which the processor fetches ahead.
    static constexpr qsizetype SampleStep = 32;
    Contents m_samples;
    Contents m_topSamples;
    // Every identifier hashed to where its bytes start (high half) and its position plus one
    // (low half; 0 marks a free slot): managers mostly ask for identifiers the tree holds, and
    // this finds them in two memory reads, not a search.
    LargeVector<quint64> m_slots;
    std::array<qsizetype, SystemGroup::Objects> m_system{NotFound, NotFound, NotFound, NotFound,
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
