// Prints what a search through every column of a request list costs with
// the accent- and case-insensitive rule, against a plain case-insensitive
// scan of the same texts: the worst case, a text found nowhere.
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "forms/RecordSearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {
const char *const kNames[] = {"Feijão Carioca Tipo 1 1 kg", "Açúcar Cristal 5 kg",
                              "Sabão em Pó 1 kg",           "Macarrão Parafuso 500 g",
                              "Leite UHT Desnatado 1 l",    "Arroz Branco Tipo 1 2 kg"};

void fill(TClientDataSet &ds, int rows)
{
    ds.AddField("NRSOLICMP", TFieldType::ftString, 10);
    ds.AddField("CDARVPROD", TFieldType::ftString, 20)->SetEditMask("99.99.9999;0;_");
    ds.AddField("NMPRODUTO", TFieldType::ftString, 50);
    ds.AddField("QTSOLIPROD", TFieldType::ftFloat)->SetDisplayFormat("#,##0.000");
    ds.AddField("DTPROGENTR", TFieldType::ftDateTime);
    TField *approved = ds.AddField("IDSOLIAPROV", TFieldType::ftString, 1);
    approved->OnGetText = [](TField *sender, QString &text, bool) {
        text = sender->AsString() == QLatin1String("S") ? QStringLiteral("Sim")
                                                       : QStringLiteral("Não");
    };
    TDataPacket p;
    p.fields = {{"NRSOLICMP", TFieldType::ftString, 10}, {"CDARVPROD", TFieldType::ftString, 20},
                {"NMPRODUTO", TFieldType::ftString, 50}, {"QTSOLIPROD", TFieldType::ftFloat, 0},
                {"DTPROGENTR", TFieldType::ftDateTime, 0},
                {"IDSOLIAPROV", TFieldType::ftString, 1}};
    for (int i = 0; i < rows; ++i) {
        const QString code = QStringLiteral("0102%1").arg(i % 10000, 4, 10, QLatin1Char('0'));
        p.rows.append({QString::number(100000 + i), code, QString::fromUtf8(kNames[i % 6]),
                       1.5 * (i % 97), 46000.0 + i % 365,
                       i % 3 ? QStringLiteral("S") : QStringLiteral("N")});
    }
    ds.LoadFromPacket(p);
}

// The rule before: case-insensitive, accents as typed.
int plainScan(TClientDataSet &ds, const QString &text)
{
    const auto fields = ds.Fields();
    for (int row = 0; row < ds.RecordCount(); ++row) {
        TRecordScope scope(&ds, row);
        for (const TField *field : fields) {
            if (field->DisplayText().trimmed().contains(text, Qt::CaseInsensitive))
                return row;
        }
    }
    return -1;
}

template <typename F>
double medianMs(int repeats, F &&f)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out << "rows\tplain ms\tfolded ms\tratio\n";
    for (const int rows : {789, 20000, 100000}) {
        TClientDataSet ds(QStringLiteral("cdsSoli"));
        fill(ds, rows);
        const int repeats = rows > 50000 ? 5 : 15;
        const QString absent = QStringLiteral("feijão preto");
        int found = 0;
        const double plain = medianMs(repeats, [&] { found += plainScan(ds, absent); });
        const double folded = medianMs(repeats, [&] {
            found += RecordSearch::findRow(&ds, absent, 0);
        });
        if (found != -2 * repeats) {
            out << "bench_search: a text found nowhere was found\n";
            return 1;
        }
        out << rows << '\t' << QString::number(plain, 'f', 1) << '\t'
            << QString::number(folded, 'f', 1) << '\t' << QString::number(folded / plain, 'f', 2)
            << '\n';
    }
    return 0;
}
