#include "workbench/patternmatch.h"

#include <QElapsedTimer>
#include <QtTest>

class TstPatternMatch : public QObject
{
    Q_OBJECT
private slots:
    void matches_data();
    void matches();
    void malformedPatternsAreErrors_data();
    void malformedPatternsAreErrors();
    void charactersOutsideTheCodePageMatchNothing();
    void pathologicalPatternsStayLinear();
};

void TstPatternMatch::matches_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("exact");      // modCompareBin
    QTest::addColumn<bool>("ignoreCase"); // modCompareText

    QTest::newRow("star finds word")
        << QByteArray("  -- the Quandix agent") << "*quandix*" << false << true;
    QTest::newRow("star exact case") << QByteArray("quandix") << "*quandix*" << true << true;
    QTest::newRow("no stars: whole line") << QByteArray("IF-MIB DEFINITIONS ::= BEGIN")
                                          << "IF-MIB DEFINITIONS ::= BEGIN" << true << true;
    QTest::newRow("no stars: part of line")
        << QByteArray("IF-MIB DEFINITIONS ::= BEGIN") << "IF-MIB" << false << false;
    QTest::newRow("star matches none") << QByteArray("ab") << "a*b" << true << true;
    QTest::newRow("only star, empty text") << QByteArray() << "*" << true << true;
    QTest::newRow("empty text needs a star") << QByteArray() << "?" << false << false;
    QTest::newRow("question one char") << QByteArray("abc") << "a?c" << true << true;
    QTest::newRow("question not zero") << QByteArray("ac") << "a?c" << false << false;
    QTest::newRow("hash digit") << QByteArray("RFC1213") << "RFC####" << true << true;
    QTest::newRow("hash not letter") << QByteArray("RFC12x3") << "RFC####" << false << false;
    QTest::newRow("list") << QByteArray("b") << "[abc]" << true << true;
    QTest::newRow("negated list") << QByteArray("b") << "[!abc]" << false << false;
    QTest::newRow("negated list other") << QByteArray("x") << "[!abc]" << true << true;
    QTest::newRow("range") << QByteArray("m") << "[a-z]" << true << true;
    QTest::newRow("range case") << QByteArray("M") << "[a-z]" << false << true;
    QTest::newRow("negation folds first") << QByteArray("A") << "[!a]" << true << false;
    QTest::newRow("pattern upper, text lower") << QByteArray("x") << "[X]" << false << true;
    QTest::newRow("dash at start") << QByteArray("-") << "[-a]" << true << true;
    QTest::newRow("dash at end") << QByteArray("-") << "[a-]" << true << true;
    QTest::newRow("wildcards literal in list") << QByteArray("*") << "[?#*[]" << true << true;
    QTest::newRow("star in list is no star") << QByteArray("xx") << "[*]" << false << false;
    QTest::newRow("bang later is itself") << QByteArray("!") << "[a!]" << true << true;
    QTest::newRow("empty brackets are empty text") << QByteArray("ab") << "a[]b" << true << true;
    QTest::newRow("negated empty list: any one") << QByteArray("q") << "[!]" << true << true;
    QTest::newRow("closing bracket alone") << QByteArray("a]") << "a]" << true << true;
    QTest::newRow("latin-1 letters fold")
        << QByteArray("\xC4pfel") << "\u00E4pfel" << false << true;
    QTest::newRow("multiplication sign does not fold")
        << QByteArray("\xF7") << "\u00D7" << false << false;
    QTest::newRow("lf inside a line") << QByteArray("a\nquandix\nb") << "*quandix*" << true << true;
    QTest::newRow("anchored on lf text")
        << QByteArray("a\nquandix\nb") << "quandix" << false << false;
    QTest::newRow("blanks only") << QByteArray("   ") << "   " << true << true;
    QTest::newRow("blanks only, other text") << QByteArray(" x ") << "   " << false << false;
    QTest::newRow("prefix and suffix overlap") << QByteArray("aba") << "ab*ba" << false << false;
    QTest::newRow("middle runs in order") << QByteArray("xAyBz") << "*a*b*" << false << true;
    QTest::newRow("middle runs out of order") << QByteArray("xByAz") << "*a*b*" << false << false;
    QTest::newRow("retry after partial") << QByteArray("aaab") << "*aab" << true << true;
    QTest::newRow("several false starts")
        << QByteArray("q qu Quan quandi Quandix") << "*quandix*" << false << true;
    QTest::newRow("run cut short by line end")
        << QByteArray("abc quandi") << "*quandix*" << false << false;
    QTest::newRow("run must leave room for tail")
        << QByteArray("xquandixy") << "*quandix??" << false << false;
    QTest::newRow("run before tail") << QByteArray("xquandixyz") << "*quandix??" << true << true;
    QTest::newRow("wide elements only") << QByteArray("zzxb7-") << "*?[a-c]#*" << true << true;
    QTest::newRow("wide elements, no fit") << QByteArray("zzxb-7") << "*?[a-c]#*" << false << false;
    QTest::newRow("digits then letter") << QByteArray("ab12Dx") << "*##[c-d]*" << false << true;
    QTest::newRow("consecutive stars") << QByteArray("abc") << "a**c" << true << true;
}

void TstPatternMatch::matches()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, pattern);
    QFETCH(bool, exact);
    QFETCH(bool, ignoreCase);
    const Result<CompiledPattern> compiled = CompiledPattern::compile(pattern);
    QVERIFY(compiled.ok());
    bool result = !exact;
    modCompareBin::MatchesPattern(text, compiled.value(), result);
    QCOMPARE(result, exact);
    result = !ignoreCase;
    modCompareText::MatchesPattern(text, compiled.value(), result);
    QCOMPARE(result, ignoreCase);
}

void TstPatternMatch::malformedPatternsAreErrors_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("unclosed") << "*[abc*"
                              << "\"[\"";
    QTest::newRow("unclosed at end") << "abc["
                                     << "\"[\"";
    QTest::newRow("descending") << "*[z-a]*"
                                << "descending";
    QTest::newRow("descending digits") << "[9-0]"
                                       << "\"9-0\"";
}

void TstPatternMatch::malformedPatternsAreErrors()
{
    QFETCH(QString, pattern);
    QFETCH(QString, mentions);
    const Result<CompiledPattern> compiled = CompiledPattern::compile(pattern);
    QVERIFY(!compiled.ok());
    QVERIFY2(compiled.failure().description.contains(mentions),
             qPrintable(compiled.failure().description));
    QVERIFY(compiled.failure().description.contains(pattern));
}

void TstPatternMatch::charactersOutsideTheCodePageMatchNothing()
{
    // The euro sign has no 8-bit code; it must not turn into a wildcard.
    const Result<CompiledPattern> compiled = CompiledPattern::compile(QStringLiteral("a\u20ACb"));
    QVERIFY(compiled.ok());
    QVERIFY(!compiled.value().matches("a?b", false));
    QVERIFY(!compiled.value().matches("axb", true));
}

void TstPatternMatch::pathologicalPatternsStayLinear()
{
    const QByteArray as(100000, 'a');
    QByteArray mixed;
    for (int i = 0; i < 20000; ++i)
        mixed += "abcde";
    struct Case
    {
        QByteArray text;
        QString pattern;
        bool expected;
    };
    const Case cases[] = {
        {as, "*a*a*a*a*a*b", false},      {as, "*a*a*a*a*a*b*", false},
        {as + 'b', "*a*a*a*a*a*b", true}, {as, "*aaaaaaaaaaaaaaaaaaaab*", false},
        {mixed, "*a?c*e*a*x*", false},    {mixed, "*[a-c]?[!x]*#*", false},
    };
    for (const Case &c : cases) {
        const Result<CompiledPattern> compiled = CompiledPattern::compile(c.pattern);
        QVERIFY(compiled.ok());
        QElapsedTimer timer;
        timer.start();
        for (bool ignoreCase : {false, true})
            QCOMPARE(compiled.value().matches(c.text, ignoreCase), c.expected);
        QVERIFY2(timer.elapsed() < 50, qPrintable(c.pattern));
    }
}

QTEST_GUILESS_MAIN(TstPatternMatch)
#include "tst_patternmatch.moc"
