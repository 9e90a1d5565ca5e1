#include "snmptesthelpers.h"

#include "snmp/bulkanswers.h"
#include "snmp/servedobjects.h"
#include "snmp/snmpvalue.h"
#include "snmp/systemanswers.h"

#include <QtTest>

// GetBulk of a row without a recording: its seven system objects are the whole view.
class TstBulkAnswers : public QObject
{
    Q_OBJECT
private slots:
    void repeatsAndEnds_data();
    void repeatsAndEnds();
};

namespace {
const QString Sys = QStringLiteral("1.3.6.1.2.1.1.");
}

void TstBulkAnswers::repeatsAndEnds_data()
{
    QTest::addColumn<int>("nonRepeaters");
    QTest::addColumn<int>("maxRepetitions");
    QTest::addColumn<QStringList>("oids");
    QTest::addColumn<QStringList>("answers"); // identifier, "!" marking endOfMibView

    QTest::newRow("negative counts are 0") << -3 << -1 << QStringList{Sys + "1.0"} << QStringList{};
    QTest::newRow("more non-repeaters than variables")
        << 9 << 4 << QStringList{Sys + "1.0", Sys + "7.0"}
        << QStringList{Sys + "2.0", Sys + "7.0!"};
    QTest::newRow("repeaters interleave and stop when all ended")
        << 1 << 5 << QStringList{"1.3", Sys + "4.0", Sys + "5.0"}
        << QStringList{Sys + "1.0", Sys + "5.0",  Sys + "6.0",  Sys + "6.0", Sys + "7.0",
                       Sys + "7.0", Sys + "7.0!", Sys + "7.0!", Sys + "7.0!"};
}

void TstBulkAnswers::repeatsAndEnds()
{
    QFETCH(int, nonRepeaters);
    QFETCH(int, maxRepetitions);
    QFETCH(QStringList, oids);
    QFETCH(QStringList, answers);
    AgentTableRow row;
    row.AgentStartTime = QDateTime::currentDateTimeUtc();
    row.SysDescr = row.SysObjectID = QStringLiteral("1.3");
    SystemAnswers prepared;
    const ServedObjects objects(nullptr, row, prepared, row.AgentStartTime, false);
    SnmpMessage message = makeRequest(SnmpPdu::V2cBase + SnmpPdu::GetBulkRequest, oids);
    message.nonRepeaters = nonRepeaters;
    message.maxRepetitions = maxRepetitions;
    QVERIFY(answerGetBulkRequest(message, objects));
    QStringList got;
    for (const SnmpVariable &variable : message.Variables)
        got.append(variable.Oid() + (variable.Type() == SnmpType::EndOfMibView ? "!" : ""));
    QCOMPARE(got, answers);
    QCOMPARE(message.ErrorStatus, 0);
}

QTEST_GUILESS_MAIN(TstBulkAnswers)
#include "tst_bulkanswers.moc"
