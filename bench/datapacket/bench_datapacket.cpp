// Prints how fast a data packet becomes wire text (the server's hot path)
// against the generic JSON document route, and how fast it reads back.
#include "TDataPacket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTextStream>

namespace {

TDataPacket requests(int rowCount)
{
    TDataPacket p;
    p.fields = {{QStringLiteral("NRSOLICMP"), TFieldType::ftString, 10},
                {QStringLiteral("CDARVPROD"), TFieldType::ftString, 20},
                {QStringLiteral("NMPRODUTO"), TFieldType::ftString, 50},
                {QStringLiteral("SGUNIDADE"), TFieldType::ftString, 10},
                {QStringLiteral("VRFATOCONV"), TFieldType::ftFloat, 0},
                {QStringLiteral("QTSOLIPROD"), TFieldType::ftFloat, 0},
                {QStringLiteral("DTPROGENTR"), TFieldType::ftDateTime, 0},
                {QStringLiteral("IDSOLIAPROV"), TFieldType::ftString, 1},
                {QStringLiteral("NRSEQUCONSOL"), TFieldType::ftString, 15},
                {QStringLiteral("CDNVPRODUTO"), TFieldType::ftInteger, 0}};
    p.rows.reserve(rowCount);
    for (int i = 0; i < rowCount; ++i) {
        p.rows.append({QString::number(100000 + i), QStringLiteral("0102%1").arg(i % 10000),
                       QStringLiteral("Produto \"%1\" de teste, ação").arg(i),
                       QStringLiteral("CX"), 12.0, 3.25 * (i % 97), 46000.0 + i % 365,
                       QStringLiteral("S"), i % 3 ? QVariant() : QVariant(QString::number(i)),
                       qint64(i % 4)});
    }
    return p;
}

template <typename F>
double bestMs(int repeats, F &&f)
{
    double best = 1e300;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    for (int rows : {100, 10000, 100000}) {
        const TDataPacket packet = requests(rows);
        QByteArray text;
        const double direct = bestMs(5, [&] { text = packet.toJsonText(); });
        const double generic = bestMs(5, [&] {
            QJsonDocument(packet.toJson()).toJson(QJsonDocument::Compact);
        });
        const double parse = bestMs(5, [&] {
            TDataPacket::fromJson(QJsonDocument::fromJson(text).object());
        });
        out << rows << " rows, " << text.size() / 1024 << " KiB: toJsonText " << direct
            << " ms (" << text.size() / 1048576.0 / (direct / 1000) << " MiB/s), "
            << "via QJsonDocument " << generic << " ms, read back " << parse << " ms\n";
    }
    return 0;
}
