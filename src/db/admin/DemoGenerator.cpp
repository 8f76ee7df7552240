#include "DemoGenerator.h"

#include <QVariant>

#include <cmath>

namespace VexDb {

namespace {

const int kItemsPerScaleUnit = 20000;
const int kDaysBack = 357;

QVariant text(const QString &s)
{
    return s.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(s);
}

QVariant flag(bool yes)
{
    return QVariant(yes ? QStringLiteral("S") : QStringLiteral("N"));
}

quint64 takenKey(int run, int branch, int item)
{
    return (quint64(run) << 40) | (quint64(branch) << 20) | quint64(item);
}

quint64 runKey(int run, int branch)
{
    return (quint64(run) << 20) | quint64(branch);
}

} // namespace

DemoGenerator::DemoGenerator(QSqlDatabase &db, const DemoOptions &options)
    : m_db(db), m_options(options), m_rng(options.seed)
{
    m_operators = m_catalog.operatorCodes();
    for (int i = 0; i < m_catalog.branches().size(); ++i) {
        if (!m_catalog.branches().at(i).isOperator)
            m_requesting << i;
    }
    for (int item : m_catalog.items())
        m_siblings[m_catalog.products().at(item).subgroup] << item;
    m_runsPerWeek = qBound(1, int(std::lround(options.scale)), 999);
    m_itemsTarget = std::llround(kItemsPerScaleUnit * options.scale);
    const QDate first = options.today.addDays(-kDaysBack);
    m_firstWeek = first.addDays(1 - first.dayOfWeek());
    m_weeks = int(m_firstWeek.daysTo(options.today) / 7) + 1;

    m_filial = std::make_unique<BatchInserter>(
        db, QStringLiteral("FILIAL"),
        QStringList{"CDFILIAL", "NMFILIAL", "IDOPELOG", "CDFILIOPELOG", "IDCNTRRESC",
                    "CDFILCENTCMP", "CDREGIAO"});
    m_produto = std::make_unique<BatchInserter>(
        db, QStringLiteral("PRODUTO"),
        QStringList{"CDPRODUTO", "CDARVPROD", "NMPRODUTO", "CDNVPRODUTO", "SGUNIDADE"});
    m_consolol = std::make_unique<BatchInserter>(
        db, QStringLiteral("CONSOLOL"),
        QStringList{"NRSEQUCONSOL", "CDFILIOPELOG", "DTINICONSSOLOL", "DTFINCONSSOLOL"});
    m_solicmp = std::make_unique<BatchInserter>(
        db, QStringLiteral("SOLICMP"),
        QStringList{"NRSOLICMP", "CDPRODUTO", "CDFILSOLI", "DTSOLICMP", "DTPROGENTR",
                    "QTSOLIPROD", "VRFATOCONV", "IDSOLIAPROV", "CDFILIOPELOG", "CDPRODESTO",
                    "NRSEQUCONSOL", "NRSOLCMPCONS", "IDITMCONS"});
    m_pedidool = std::make_unique<BatchInserter>(
        db, QStringLiteral("PEDIDOOL"),
        QStringList{"NRPEDEXOL", "CDFILDEST", "CDPRODUTO", "CDMARCA", "CDFILLANC",
                    "CDFILIOPELOG", "NRSEQUCONSOL", "QTPROGENPEOL", "VRFATOCONV",
                    "DTPROGENPEOL", "DTPROGEMBARQ", "IDBAIXENPEOL", "IDBAIXAOLSAI",
                    "QTRESERVITEM"});
    m_estoqueol = std::make_unique<BatchInserter>(
        db, QStringLiteral("ESTOQUEOL"),
        QStringList{"CDFILIOPELOG", "CDPRODUTO", "CDMARCA", "CDPRODREL", "QTESTOQUE",
                    "QTRESERVESTOL"});
}

DemoGenerator::~DemoGenerator() = default;

bool DemoGenerator::failed(BatchInserter &inserter)
{
    if (m_error.isEmpty())
        m_error = inserter.error();
    return false;
}

bool DemoGenerator::run(const DemoData::Progress &progress, QString *error)
{
    bool ok = writeBranches() && writeProducts();
    for (int w = 0; ok && w < m_weeks; ++w) {
        ok = writeWeek(m_firstWeek.addDays(7 * w));
        if (ok && progress)
            progress(m_solicmp->rowsWritten(), m_itemsTarget);
    }
    ok = ok && writeStock();
    for (auto *ins : {m_filial.get(), m_produto.get(), m_consolol.get(), m_solicmp.get(),
                      m_pedidool.get(), m_estoqueol.get()}) {
        if (ok && !ins->finish())
            ok = failed(*ins);
    }
    if (!ok && error)
        *error = m_error;
    return ok;
}

DemoCounts DemoGenerator::counts() const
{
    DemoCounts c;
    c.branches = m_filial->rowsWritten();
    c.products = m_produto->rowsWritten();
    c.consolidations = m_consolol->rowsWritten();
    c.requestItems = m_solicmp->rowsWritten();
    c.orderLines = m_pedidool->rowsWritten();
    c.stockRows = m_estoqueol->rowsWritten();
    return c;
}

QString DemoGenerator::nextNumber(qint64 *counter) const
{
    return QStringLiteral("%1").arg(++*counter, 8, 10, QLatin1Char('0'));
}

bool DemoGenerator::writeBranches()
{
    for (const DemoBranch &b : m_catalog.branches()) {
        const QVariantList row{b.code, b.name, flag(b.isOperator), text(b.servedBy),
                               b.isOperator ? text({}) : flag(b.centralReceiving),
                               text(b.central), b.region};
        if (!m_filial->add(row))
            return failed(*m_filial);
    }
    return true;
}

bool DemoGenerator::writeProducts()
{
    for (const DemoProduct &p : m_catalog.products()) {
        const QVariantList row{p.code, p.tree, p.name, p.level, text(p.unit)};
        if (!m_produto->add(row))
            return failed(*m_produto);
    }
    return true;
}

QString DemoGenerator::runCode(int op, const QDate &weekStart, int run) const
{
    int year = 0;
    const int week = weekStart.weekNumber(&year);
    return QStringLiteral("%1%2%3%4")
        .arg(year, 4, 10, QLatin1Char('0'))
        .arg(week, 2, 10, QLatin1Char('0'))
        .arg(op + 1)
        .arg(run + 1, 3, 10, QLatin1Char('0'));
}

bool DemoGenerator::writeConsolidations(const QDate &weekStart)
{
    for (int op = 0; op < m_operators.size(); ++op) {
        for (int r = 0; r < m_runsPerWeek; ++r) {
            const QVariantList row{runCode(op, weekStart, r), m_operators.at(op), weekStart,
                                   weekStart.addDays(6)};
            if (!m_consolol->add(row))
                return failed(*m_consolol);
        }
    }
    return true;
}

bool DemoGenerator::writeWeek(const QDate &weekStart)
{
    m_taken.clear();
    m_runs.clear();
    // A run consolidates a week that is over.
    if (weekStart.addDays(6) < m_options.today && !writeConsolidations(weekStart))
        return false;
    double weightSum = 0;
    for (int b : m_requesting)
        weightSum += m_catalog.branches().at(b).weight;
    // Spread the items so the year adds up to the target.
    for (int b : m_requesting) {
        const double share = m_catalog.branches().at(b).weight / weightSum;
        const double week = double(m_firstWeek.daysTo(weekStart) / 7);
        const qint64 before = std::llround(m_itemsTarget * share * week / m_weeks);
        const qint64 after = std::llround(m_itemsTarget * share * (week + 1) / m_weeks);
        qint64 quota = after - before;
        while (quota > 0) {
            const int items = int(qMin<qint64>(m_rng.between(1, 6), quota));
            quota -= items;
            if (!writeRequest(weekStart, b, items))
                return false;
        }
    }
    return true;
}

bool DemoGenerator::writeRequest(const QDate &weekStart, int branch, int items)
{
    const DemoBranch &b = m_catalog.branches().at(branch);
    const QDate &today = m_options.today;
    Request req;
    req.branch = branch;
    req.number = nextNumber(&m_requestSeq);
    const qint64 lastDay = qMin<qint64>(6, weekStart.daysTo(today));
    req.date = weekStart.addDays(m_rng.below(quint32(lastDay + 1)));
    req.delivery = req.date.addDays(m_rng.between(7, 40));
    req.op = (b.routedVia.isEmpty() || m_rng.percent(15)) ? QString() : b.routedVia;
    // What is still unapproved a month on was forgotten: rare, and an alert.
    const qint64 age = req.date.daysTo(today);
    req.approved = m_rng.percent(age > 30 ? 99 : age > 3 ? 96 : 50);

    QList<int> picked;
    const QList<int> &all = m_catalog.items();
    while (picked.size() < items) {
        const int item = all.at(int(m_rng.below(quint32(all.size()))));
        if (!picked.contains(item))
            picked << item;
    }
    for (int item : picked) {
        if (!writeItem(req, item, weekStart))
            return false;
    }
    return true;
}

int DemoGenerator::siblingOf(int item)
{
    const QList<int> &list = m_siblings.value(m_catalog.products().at(item).subgroup);
    return list.at(int(m_rng.below(quint32(list.size()))));
}

const DemoGenerator::Run *DemoGenerator::takeRun(const Request &req, int stockItem,
                                                 const QDate &weekStart)
{
    // One item per branch and stock product in a run, or the item's order
    // lines would be shared with another item.
    const int first = int(m_rng.below(quint32(m_runsPerWeek)));
    const int tries = qMin(m_runsPerWeek, 8);
    for (int t = 0; t < tries; ++t) {
        const int r = (first + t) % m_runsPerWeek;
        const quint64 key = takenKey(r, req.branch, stockItem);
        if (m_taken.contains(key))
            continue;
        m_taken.insert(key);
        Run &run = m_runs[runKey(r, req.branch)];
        if (run.code.isEmpty()) {
            run.code = runCode(int(m_operators.indexOf(req.op)), weekStart, r);
            run.consolidatedRequest = nextNumber(&m_consolidatedSeq);
            run.order = nextNumber(&m_orderSeq);
        }
        return &run;
    }
    return nullptr;
}

bool DemoGenerator::writeItem(const Request &req, int item, const QDate &weekStart)
{
    const DemoProduct &p = m_catalog.products().at(item);
    const int stockItem = m_rng.percent(4) ? siblingOf(item) : item;
    const int quantity = m_rng.between(2, 48);
    const bool weekOver = weekStart.addDays(6) < m_options.today;
    // Items past their delivery date have mostly been consolidated and
    // ordered; those left without an order are the few the clerk must chase.
    const bool deliveryPast = req.delivery < m_options.today;
    const Run *run = nullptr;
    if (!req.op.isEmpty() && req.approved && weekOver && m_rng.percent(deliveryPast ? 98 : 93))
        run = takeRun(req, stockItem, weekStart);

    QVariant consol = text({});
    if (run)
        consol = run->code;
    else if (!req.op.isEmpty() && m_rng.percent(2))
        consol = QString(); // left blank by hand, not null
    const QVariantList row{req.number,
                           p.code,
                           m_catalog.branches().at(req.branch).code,
                           req.date,
                           req.delivery,
                           double(quantity),
                           double(p.factor),
                           flag(req.approved),
                           text(req.op),
                           m_catalog.products().at(stockItem).code,
                           consol,
                           run ? QVariant(run->consolidatedRequest) : text({}),
                           flag(run != nullptr)};
    if (!m_solicmp->add(row))
        return failed(*m_solicmp);
    if (run && m_rng.percent(deliveryPast ? 98 : 88))
        return writeOrder(req, *run, stockItem, quantity, p.factor);
    return true;
}

bool DemoGenerator::writeOrder(const Request &req, const Run &run, int stockItem, int quantity,
                               int factor)
{
    // Integer quantities and factors keep base-unit products exact in
    // double precision, so "equal" really compares equal.
    const int base = quantity * factor;
    QList<int> factors;
    for (int f : {1, 2, 6, 12, factor}) {
        if (base % f == 0 && base / f >= 2 && !factors.contains(f))
            factors << f;
    }
    const int orderFactor = factors.at(int(m_rng.below(quint32(factors.size()))));
    const int units = base / orderFactor;
    const int kind = int(m_rng.below(100));
    int total = units;
    if (kind >= 45 && kind < 75)
        total = units - m_rng.between(1, qMax(1, units / 2));
    else if (kind >= 75)
        total = units + m_rng.between(1, qMax(1, units / 2));

    const QStringList &brands = m_catalog.products().at(stockItem).brands;
    if (total >= 2 && brands.size() >= 2 && m_rng.percent(15)) {
        const int first = m_rng.between(1, total - 1);
        const int b = int(m_rng.below(quint32(brands.size())));
        const int other = (b + 1 + int(m_rng.below(quint32(brands.size() - 1)))) % brands.size();
        return writeOrderLine(req, run, stockItem, brands.at(b), first, orderFactor)
               && writeOrderLine(req, run, stockItem, brands.at(other), total - first,
                                 orderFactor);
    }
    const QString &brand = brands.at(int(m_rng.below(quint32(brands.size()))));
    return writeOrderLine(req, run, stockItem, brand, total, orderFactor);
}

bool DemoGenerator::writeOrderLine(const Request &req, const Run &run, int stockItem,
                                   const QString &brand, int quantity, int factor)
{
    const QDate &today = m_options.today;
    const DemoBranch &b = m_catalog.branches().at(req.branch);
    const QDate entry = req.delivery.addDays(-m_rng.between(2, 5));
    const QDate shipping = entry.addDays(m_rng.between(0, 1));
    static const char *const kOpen[] = {"0", "N"};

    // Settlement: '1' partial, '2' total, '3' manual, anything else open.
    // Lines shipped more than two weeks ago are nearly all settled; the rest
    // are the open lines past their shipping date.
    QString in, out;
    const int r = int(m_rng.below(100));
    if (shipping.daysTo(today) > 14 && m_rng.percent(92)) {
        in = r < 90 ? "2" : "3";
        out = m_rng.percent(92) ? "2" : "3";
    } else if (entry < today) {
        in = r < 68 ? "2" : r < 80 ? "1" : r < 87 ? "3" : r < 94 ? "" : kOpen[r % 2];
        if ((in == "2" || in == "3") && shipping < today) {
            const int s = int(m_rng.below(100));
            out = s < 72 ? "2" : s < 84 ? "1" : s < 90 ? "3" : s < 95 ? "" : kOpen[s % 2];
        } else if (in == "1" && m_rng.percent(30)) {
            out = "1";
        }
    } else {
        in = r < 78 ? "" : r < 94 ? "0" : "1";
    }
    const int baseUnits = quantity * factor;
    double reserve = 0;
    const bool shippedAll = out == "2" || out == "3";
    if (!shippedAll && (in == "2" || in == "3"))
        reserve = out == "1" ? baseUnits / 2 : baseUnits;
    else if (!shippedAll && in == "1")
        reserve = baseUnits / 2;
    const QString stockCode = m_catalog.products().at(stockItem).code;
    m_reserved[req.op + QLatin1Char('|') + stockCode + QLatin1Char('|') + brand] += reserve;

    const QVariantList row{run.order,
                           b.code,
                           stockCode,
                           brand,
                           m_rng.percent(75) ? req.op : b.central,
                           req.op,
                           run.code,
                           double(quantity),
                           double(factor),
                           entry,
                           shipping,
                           text(in),
                           text(out),
                           reserve};
    if (!m_pedidool->add(row))
        return failed(*m_pedidool);
    return true;
}

bool DemoGenerator::writeStock()
{
    QHash<QString, int> itemByCode;
    for (int item : m_catalog.items())
        itemByCode.insert(m_catalog.products().at(item).code, item);
    qint64 reservedPositions = 0;
    for (auto it = m_reserved.cbegin(); it != m_reserved.cend(); ++it) {
        // Some ordered products have no stock position at the operator.
        if (!m_rng.percent(90))
            continue;
        const QStringList key = it.key().split(QLatin1Char('|'));
        const int item = itemByCode.value(key.at(1));
        const QString related =
            m_rng.percent(85) ? key.at(1) : m_catalog.products().at(siblingOf(item)).code;
        const double reserved = it.value();
        // One reserved position in 25 is over-reserved (negative available
        // stock), the first one included: even a small company shows one.
        double stock = reserved + m_rng.between(0, 3000);
        if (reserved > 0 && reservedPositions++ % 25 == 0)
            stock = reserved - m_rng.between(1, int(reserved));
        else if (m_rng.percent(6))
            stock = reserved;
        const QVariantList row{key.at(0), key.at(1), key.at(2), related, stock, reserved};
        if (!m_estoqueol->add(row))
            return failed(*m_estoqueol);
    }
    return true;
}

} // namespace VexDb
