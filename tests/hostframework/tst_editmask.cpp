#include "data/TEditMask.h"

#include <QTest>

class tst_EditMask : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void format_data();
    void format();
    void strip_data();
    void strip();
    void inputMask_data();
    void inputMask();
};

void tst_EditMask::parse_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("empty");
    QTest::addColumn<bool>("keeps");
    QTest::addColumn<QChar>("blank");
    QTest::newRow("product") << "99.99.9999;0;_" << false << false << QChar('_');
    QTest::newRow("space blank") << ">aaaa;0; " << false << false << QChar(' ');
    QTest::newRow("keep") << "00/00;1;*" << false << true << QChar('*');
    QTest::newRow("picture only") << "000" << false << true << QChar('_');
    QTest::newRow("escaped separator") << "0\\;0;0;#" << false << false << QChar('#');
    QTest::newRow("empty") << "" << true << true << QChar('_');
}

void tst_EditMask::parse()
{
    QFETCH(QString, mask);
    const TEditMask m(mask);
    QTEST(m.isEmpty(), "empty");
    QTEST(m.keepsLiterals(), "keeps");
    QTEST(m.blank(), "blank");
    QCOMPARE(m.mask(), mask);
}

void tst_EditMask::format_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("expected");
    const QString product = QStringLiteral("99.99.9999;0;_");
    QTest::newRow("full") << product << "01020003" << "01.02.0003";
    QTest::newRow("short: trailing literal dropped") << product << "0102" << "01.02";
    QTest::newRow("short inside group") << product << "010" << "01.0";
    QTest::newRow("empty") << product << "" << "";
    QTest::newRow("long: excess kept") << product << "010200031" << "01.02.00031";
    QTest::newRow("upper") << ">aaaa;0; " << "ab1" << "AB1";
    QTest::newRow("lower") << "<llll;0;_" << "AbC" << "abc";
    QTest::newRow("case off") << ">l<>l;0;_" << "ab" << "Ab";
    QTest::newRow("kept literals not doubled") << "00/00;1;_" << "12/34" << "12/34";
    QTest::newRow("kept literals missing") << "00/00;1;_" << "1234" << "12/34";
    QTest::newRow("escaped literal") << "\\A00;0;_" << "12" << "A12";
    QTest::newRow("no mask") << "" << "x.y" << "x.y";
}

void tst_EditMask::format()
{
    QFETCH(QString, mask);
    QFETCH(QString, raw);
    QTEST(TEditMask(mask).format(raw), "expected");
}

void tst_EditMask::strip_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString product = QStringLiteral("99.99.9999;0;_");
    QTest::newRow("full") << product << "01.02.0003" << "01020003";
    QTest::newRow("untouched") << product << "__.__.____" << "";
    QTest::newRow("partial with blanks") << product << "01.0_.____" << "010";
    QTest::newRow("blanks dropped by the edit") << product << "01.0.." << "010";
    QTest::newRow("untouched without blanks") << product << ".." << "";
    QTest::newRow("upper") << ">aaaa;0; " << "ab1 " << "AB1";
    QTest::newRow("keep literals") << "00/00;1;_" << "12/3_" << "12/3";
    QTest::newRow("keep literals untouched") << "00/00;1;_" << "__/__" << "  /";
    QTest::newRow("inverse of format") << product << TEditMask(product).format("12345678")
                                       << "12345678";
    QTest::newRow("space inside any") << "ccc;0;_" << "a b" << "a b";
}

void tst_EditMask::strip()
{
    QFETCH(QString, mask);
    QFETCH(QString, text);
    QTEST(TEditMask(mask).strip(text), "expected");
}

void tst_EditMask::inputMask_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("expected");
    QTest::newRow("product") << "99.99.9999;0;_" << "00.00.0000;_";
    QTest::newRow("required digits") << "00/00;1;_" << "99/99;_";
    QTest::newRow("upper alnum") << ">aaaa;0; " << ">nnnn; ";
    QTest::newRow("letters") << "Ll;0;_" << "Aa;_";
    QTest::newRow("required alnum, any") << "AaCc;0;_" << "NnXx;_";
    QTest::newRow("case off") << ">l<>l;0;_" << ">a!a;_";
    QTest::newRow("lower") << "<ll;0;_" << "<aa;_";
    QTest::newRow("literal that is a mask char") << "\\A-0;0;_" << "\\A-9;_";
    QTest::newRow("literal digit") << "\\9\\0-0;0;_" << "\\9\\0-9;_";
    QTest::newRow("brackets escaped") << "[0];0;_" << "\\[9\\];_";
    QTest::newRow("plain literal letter") << "\\x0;0;_" << "\\x9;_";
    QTest::newRow("empty") << "" << "";
}

void tst_EditMask::inputMask()
{
    QFETCH(QString, mask);
    QTEST(TEditMask(mask).toInputMask(), "expected");
}

QTEST_GUILESS_MAIN(tst_EditMask)
#include "tst_editmask.moc"
