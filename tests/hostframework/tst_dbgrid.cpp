#include "controls/SystemColors.h"
#include "controls/TDBGrid.h"
#include "controls/TDBText.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "services/Exceptions.h"
#include "services/HostDisplays.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QScopeGuard>
#include <QtTest>

namespace {
enum Col { ColCode, ColName, ColFlag, ColHidden };

struct DrawCall
{
    int row;
    int dataCol;
    TGridDrawState state;
    QColor brush;
    QColor fontColor;
    QString codeUnderScope;
    bool columnMatches;
};
} // namespace

class tst_DBGrid : public QObject
{
    Q_OBJECT

private:
    TClientDataSet *cds = nullptr;
    TDataSource *source = nullptr;
    TDBGrid *grid = nullptr;
    int afterScrolls = 0;
    QStringList errors;

    static TDataPacket packet(const QList<QStringList> &rows)
    {
        TDataPacket p;
        p.fields = {{QStringLiteral("CODE"), TFieldType::ftString, 4},
                    {QStringLiteral("NAME"), TFieldType::ftString, 30},
                    {QStringLiteral("FLAG"), TFieldType::ftString, 1},
                    {QStringLiteral("SECRET"), TFieldType::ftString, 10}};
        for (const QStringList &row : rows) {
            QVariantList values;
            for (const QString &v : row)
                values << v;
            p.rows << values;
        }
        return p;
    }
    static QList<QStringList> fourRows()
    {
        return {{"0001", "Campinas", "S", "a"},
                {"0002", "Santos", "N", "b"},
                {"0003", "Sorocaba", "S", "c"},
                {"0004", "", "x", "d"}};
    }

private Q_SLOTS:
    void init()
    {
        errors.clear();
        HostDisplays::setErrorHandler([this](const QString &t) { errors << t; });
        HostDisplays::setMessageHandler([this](const QString &t) { errors << t; });
        cds = new TClientDataSet(QStringLiteral("cdsTest"));
        cds->AddField("CODE", TFieldType::ftString, 4)->SetDisplayLabel("Código");
        cds->AddField("NAME", TFieldType::ftString, 30)->SetDisplayLabel("Nome da Filial");
        TField *flag = cds->AddField("FLAG", TFieldType::ftString, 1);
        flag->SetDisplayLabel("Aprovada");
        flag->OnGetText = [](TField *sender, QString &text, bool) {
            text = sender->AsString() == QLatin1String("S") ? QStringLiteral("Sim")
                                                           : QStringLiteral("Não");
        };
        cds->AddField("SECRET", TFieldType::ftString, 10);
        afterScrolls = 0;
        cds->AfterScroll = [this](TClientDataSet *) { ++afterScrolls; };
        source = new TDataSource;
        source->SetDataSet(cds);
        grid = new TDBGrid;
        grid->SetDataSource(source);
        grid->AddColumn("CODE", 60);
        grid->AddColumn("NAME");
        grid->AddColumn("FLAG");
        grid->AddColumn("SECRET", -1, false);
        cds->LoadFromPacket(packet(fourRows()));
        afterScrolls = 0;
    }
    void cleanup()
    {
        delete grid;
        delete source;
        delete cds;
        HostDisplays::setErrorHandler({});
        HostDisplays::setMessageHandler({});
    }

    void cellsShowDisplayText_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain code") << 0 << int(ColCode) << "0001";
        QTest::newRow("plain name") << 2 << int(ColName) << "Sorocaba";
        QTest::newRow("empty value") << 3 << int(ColName) << "";
        QTest::newRow("text handler yes") << 0 << int(ColFlag) << "Sim";
        QTest::newRow("text handler no") << 1 << int(ColFlag) << "Não";
        QTest::newRow("text handler other code") << 3 << int(ColFlag) << "Não";
        QTest::newRow("row past the end") << 4 << int(ColCode) << "";
        QTest::newRow("column past the end") << 0 << 9 << "";
    }
    void cellsShowDisplayText()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, expected);
        QCOMPARE(grid->cellText(row, col), expected);
        if (row < 4 && col < 4)
            QCOMPARE(grid->model()->index(row, col).data().toString(), expected);
        // Reading another row for a cell must not move the cursor.
        QCOMPARE(cds->CurrentRow(), 0);
        QCOMPARE(afterScrolls, 0);
    }

    // Ctrl+C: titles and display text (words of coded fields), columns in
    // their on-screen order, the hidden one left out; a block when one is
    // selected, the current row otherwise.
    void copyText_data()
    {
        QTest::addColumn<QList<int>>("block"); // first row, first col, last row, last col
        QTest::addColumn<bool>("moveName");    // drag "Nome da Filial" to the front
        QTest::addColumn<QString>("expected");
        const QString titles = "Código\tNome da Filial\tAprovada\n";
        QTest::newRow("current row") << QList<int>{} << false
                                     << titles + "0002\tSantos\tNão\n";
        QTest::newRow("block of two rows and two columns")
            << QList<int>{1, ColName, 2, ColFlag} << false
            << "Nome da Filial\tAprovada\nSantos\tNão\nSorocaba\tSim\n";
        QTest::newRow("moved column") << QList<int>{} << true
                                      << "Nome da Filial\tCódigo\tAprovada\nSantos\t0002\tNão\n";
        QTest::newRow("quotes and tabs kept in one cell")
            << QList<int>{3, ColCode, 3, ColName} << false
            << "Código\tNome da Filial\n0004\t\"Rio \"\"Sul\"\"\tA\"\n";
    }
    void copyText()
    {
        QFETCH(QList<int>, block);
        QFETCH(bool, moveName);
        QFETCH(QString, expected);
        QList<QStringList> rows = fourRows();
        rows[3][1] = "Rio \"Sul\"\tA";
        cds->LoadFromPacket(packet(rows));
        cds->MoveTo(1);
        if (moveName)
            grid->horizontalHeader()->moveSection(ColName, 0);
        if (!block.isEmpty()) {
            const QAbstractItemModel *m = grid->model();
            grid->selectionModel()->select(
                QItemSelection(m->index(block[0], block[1]), m->index(block[2], block[3])),
                QItemSelectionModel::ClearAndSelect);
        }
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
        QVERIFY(errors.isEmpty());
    }

    void closedDataSetShowsNoRows()
    {
        cds->Close();
        QCOMPARE(grid->model()->rowCount(), 0);
        QCOMPARE(grid->cellText(0, ColCode), QString());
        cds->LoadFromPacket(packet(fourRows()));
        QCOMPARE(grid->model()->rowCount(), 4);
    }

    void titlesAndHiddenColumns()
    {
        QAbstractItemModel *m = grid->model();
        QCOMPARE(m->headerData(ColCode, Qt::Horizontal).toString(), QString("Código"));
        QCOMPARE(m->headerData(ColName, Qt::Horizontal).toString(), QString("Nome da Filial"));
        QCOMPARE(m->headerData(ColHidden, Qt::Horizontal).toString(), QString("SECRET"));
        QVERIFY(!grid->isColumnHidden(ColCode));
        QVERIFY(grid->isColumnHidden(ColHidden));
        QCOMPARE(grid->Columns().size(), 4);
        QCOMPARE(grid->Columns().at(ColHidden)->Field(), cds->FindField("SECRET"));
        cds->FindField("CODE")->SetDisplayLabel("Filial");
        QCOMPARE(m->headerData(ColCode, Qt::Horizontal).toString(), QString("Filial"));
    }

    void columnWidths()
    {
        QCOMPARE(grid->columnWidth(ColCode), 60);
        const int digit = grid->fontMetrics().horizontalAdvance(QLatin1Char('0'));
        // Size 30: thirty characters wide at least.
        QVERIFY2(grid->columnWidth(ColName) >= 30 * digit,
                 qPrintable(QString::number(grid->columnWidth(ColName))));
        // Size 1 with a long title: the title decides.
        const QFontMetrics titleMetrics(grid->horizontalHeader()->font());
        QVERIFY(grid->columnWidth(ColFlag) >= titleMetrics.horizontalAdvance("Aprovada"));
        QVERIFY(grid->columnWidth(ColFlag) < 30 * digit);
    }

    void movingTheCurrentCellMovesTheCursor_data()
    {
        QTest::addColumn<int>("fromRow");
        QTest::addColumn<int>("toRow");
        QTest::addColumn<int>("toCol");
        QTest::addColumn<int>("scrolls");
        QTest::newRow("down one") << 0 << 1 << int(ColCode) << 1;
        QTest::newRow("to the last") << 0 << 3 << int(ColName) << 1;
        QTest::newRow("back up") << 2 << 0 << int(ColCode) << 1;
        QTest::newRow("same row, other column") << 1 << 1 << int(ColFlag) << 0;
    }
    void movingTheCurrentCellMovesTheCursor()
    {
        QFETCH(int, fromRow);
        QFETCH(int, toRow);
        QFETCH(int, toCol);
        QFETCH(int, scrolls);
        cds->MoveTo(fromRow);
        afterScrolls = 0;
        grid->setCurrentIndex(grid->model()->index(toRow, toCol));
        QCOMPARE(cds->CurrentRow(), toRow);
        QCOMPARE(afterScrolls, scrolls);
        QCOMPARE(grid->currentIndex().row(), toRow);
        QCOMPARE(grid->currentIndex().column(), toCol);
    }

    void keyboardMovesTheCursor()
    {
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(cds->CurrentRow(), 1);
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(cds->CurrentRow(), 3);
        QCOMPARE(afterScrolls, 2);
    }

    void dataSetMovesMoveTheCurrentIndex_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("second") << 1;
        QTest::newRow("last") << 3;
        QTest::newRow("first") << 0;
    }
    void dataSetMovesMoveTheCurrentIndex()
    {
        QFETCH(int, row);
        grid->setCurrentIndex(grid->model()->index(2, ColName));
        afterScrolls = 0;
        cds->MoveTo(row);
        QCOMPARE(grid->currentIndex().row(), row);
        QCOMPARE(grid->currentIndex().column(), int(ColName)); // column kept
        QCOMPARE(afterScrolls, row == 2 ? 0 : 1); // no echo back into the data set
    }

    void reloadGoesBackToTheFirstRow()
    {
        cds->MoveTo(3);
        cds->LoadFromPacket(packet({{"0009", "Bauru", "S", "z"}, {"0010", "Marília", "N", "y"}}));
        QCOMPARE(grid->model()->rowCount(), 2);
        QCOMPARE(grid->currentIndex().row(), 0);
        QVERIFY(!grid->isColumnHidden(grid->currentIndex().column()));
        QCOMPARE(grid->cellText(1, ColName), QString("Marília"));
    }

    void failingAfterScrollIsShownAndTheViewFollowsTheCursor()
    {
        cds->AfterScroll = [](TClientDataSet *) { throw EVexError("servidor fora do ar"); };
        grid->setCurrentIndex(grid->model()->index(2, ColCode));
        QCOMPARE(errors, QStringList{"servidor fora do ar"});
        QCOMPARE(grid->currentIndex().row(), cds->CurrentRow());
    }

    void drawHandlerRunsAfterDefaultDrawing()
    {
        const QColor background(255, 255, 225);
        grid->SetBackground(background);
        const QColor mark(255, 0, 255);
        QList<DrawCall> calls;
        grid->OnDrawColumnCell = [&](TDBGrid *sender, TCanvas &canvas, const QRect &rect,
                                     int dataCol, TColumn *column, TGridDrawState state) {
            QCOMPARE(sender, grid);
            calls << DrawCall{grid->rowAt(rect.center().y()), dataCol, state, canvas.Brush.Color,
                              canvas.Font.Color, cds->FieldByName("CODE")->AsString(),
                              column == grid->Columns().value(dataCol)};
            if (dataCol == ColFlag) {
                canvas.Brush.Color = mark;
                canvas.FillRect(rect);
            }
        };
        grid->resize(600, 200);
        grid->show();
        grid->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(grid));
        grid->setFocus(); // the highlight is the focused grid's
        grid->setCurrentIndex(grid->model()->index(1, ColName));
        calls.clear();
        const QImage image = grid->viewport()->grab().toImage();
        QVERIFY(!calls.isEmpty());

        const QColor highlight = grid->palette().color(QPalette::Active, QPalette::Highlight);
        const QString codes[] = {"0001", "0002", "0003", "0004"};
        int currentCalls = 0;
        for (const DrawCall &call : calls) {
            QVERIFY(call.row >= 0 && call.row < 4);
            QVERIFY(call.columnMatches);
            QVERIFY(call.dataCol != ColHidden);
            QCOMPARE(call.codeUnderScope, codes[call.row]); // fields read the painted row
            const bool current = call.row == 1 && call.dataCol == ColName;
            currentCalls += current;
            QCOMPARE(call.state.testFlag(TGridDrawStateFlag::gdSelected), current);
            QCOMPARE(call.brush, current ? highlight : background);
            QCOMPARE(call.fontColor,
                     grid->palette().color(QPalette::Active,
                                           current ? QPalette::HighlightedText : QPalette::Text));
        }
        QCOMPARE(currentCalls, 1);
        QCOMPARE(cds->CurrentRow(), 1);

        auto cellRect = [&](int row, int col) {
            return grid->visualRect(grid->model()->index(row, col));
        };
        // The handler's fill wins over the default drawing of its column.
        QCOMPARE(image.pixelColor(cellRect(0, ColFlag).center()), mark);
        QCOMPARE(image.pixelColor(cellRect(2, ColFlag).center()), mark);
        // Other cells keep the default fill: background or highlight, and text on it.
        auto pixelsOffFill = [&](const QRect &rect, const QColor &fill) {
            int off = 0;
            for (int y = rect.top() + 1; y < rect.bottom(); ++y)
                for (int x = rect.left() + 1; x < rect.right(); ++x)
                    off += image.pixelColor(x, y) != fill;
            return off;
        };
        QCOMPARE(image.pixelColor(cellRect(0, ColName).topLeft() + QPoint(1, 1)), background);
        QCOMPARE(image.pixelColor(cellRect(1, ColName).topLeft() + QPoint(1, 1)), highlight);
        QVERIFY(pixelsOffFill(cellRect(0, ColName), background) > 0); // "Campinas"
        QVERIFY(pixelsOffFill(cellRect(1, ColName), highlight) > 0);  // "Santos"
        QCOMPARE(pixelsOffFill(cellRect(3, ColName), background), 0);  // empty name
    }

    void failingDrawHandlerDoesNotReachTheErrorDisplay()
    {
        grid->OnDrawColumnCell = [](TDBGrid *, TCanvas &, const QRect &, int, TColumn *,
                                    TGridDrawState) { throw EVexError("falha ao desenhar"); };
        grid->resize(400, 150);
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid));
        grid->viewport()->grab();
        QVERIFY(errors.isEmpty());
    }

    // A get-text handler that throws while a view asks for text must not
    // end the host: the cell or label is empty, nothing reaches the displays.
    void failingGetTextGivesAnEmptyCell()
    {
        cds->FieldByName("FLAG")->OnGetText = [](TField *, QString &, bool) {
            throw EVexError("falha no texto");
        };
        TDBText label;
        label.SetDataField("FLAG");
        label.SetDataSource(source);
        QCOMPARE(label.text(), QString());
        QCOMPARE(grid->model()->index(0, ColFlag).data().toString(), QString());
        grid->resize(400, 150);
        grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(grid));
        grid->viewport()->grab();
        cds->Next(); // the label refreshes on the move
        QCOMPARE(label.text(), QString());
        QCOMPARE(grid->model()->index(1, ColName).data().toString(), QString("Santos"));
        QVERIFY(errors.isEmpty());
    }

    // Controls follow whichever source they were given last, and survive
    // their source or data set dying first.
    void viewsFollowTheirCurrentSource()
    {
        auto *other = new TDataSource;
        TDBText label;
        label.SetDataField("NAME");
        label.SetDataSource(other);
        label.SetDataSource(source);
        delete other;
        QCOMPARE(label.DataSource(), source);
        QCOMPARE(label.text(), QString("Campinas"));
        cds->Next();
        QCOMPARE(label.text(), QString("Santos"));
        delete cds;
        cds = nullptr;
        QCOMPARE(label.text(), QString());
        QCOMPARE(grid->model()->rowCount(), 0);
        delete source;
        source = nullptr;
        QCOMPARE(label.DataSource(), nullptr);
        QCOMPARE(grid->DataSource(), nullptr);
    }

    // A header click sorts: ascending, descending, then the load order; the
    // current record stays, and nothing is asked of anybody (no after-scroll).
    void headerClickCyclesTheSort()
    {
        cds->MoveTo(1); // Santos
        afterScrolls = 0;
        const QStringList ascending{"", "Campinas", "Santos", "Sorocaba"};
        const QStringList loaded{"Campinas", "Santos", "Sorocaba", ""};
        auto names = [this] {
            QStringList list;
            for (int row = 0; row < grid->model()->rowCount(); ++row)
                list << grid->cellText(row, ColName);
            return list;
        };
        grid->horizontalHeader()->sectionClicked(ColName);
        QCOMPARE(names(), ascending);
        QVERIFY(grid->horizontalHeader()->isSortIndicatorShown());
        grid->horizontalHeader()->sectionClicked(ColName);
        QCOMPARE(names(), (QStringList{"Sorocaba", "Santos", "Campinas", ""}));
        QCOMPARE(grid->currentIndex().row(), 1);
        grid->horizontalHeader()->sectionClicked(ColName);
        QCOMPARE(names(), loaded);
        QVERIFY(!grid->horizontalHeader()->isSortIndicatorShown());
        QCOMPARE(cds->FieldByName("NAME")->AsString(), QStringLiteral("Santos"));
        QCOMPARE(afterScrolls, 0);
    }

    // What the user did to the columns goes into lines and comes back on a
    // new grid; "Restaurar colunas" brings back the design.
    void layoutRoundTrip()
    {
        QHeaderView *header = grid->horizontalHeader();
        header->resizeSection(ColName, 222);
        header->moveSection(header->visualIndex(ColFlag), 0);
        grid->Columns()[ColCode]->UserVisible = false;
        grid->RefreshColumns();
        grid->ToggleSort(ColCode); // ascending by code
        grid->ToggleSort(ColCode); // descending
        grid->setObjectName(QStringLiteral("dbgTeste"));
        const QStringList lines = grid->LayoutLines();

        TClientDataSet other(QStringLiteral("cdsOutro"));
        for (TField *f : cds->Fields())
            other.AddField(f->FieldName(), f->DataType(), f->Size());
        TDataSource otherSource;
        otherSource.SetDataSet(&other);
        TDBGrid copy;
        copy.setObjectName(QStringLiteral("dbgTeste"));
        copy.SetDataSource(&otherSource);
        for (const TColumn *c : grid->Columns())
            copy.AddColumn(c->FieldName, c->Width, c->Visible);
        copy.RestoreLayout(lines + QStringList{"dbgTeste.columns=NADA:x:y,,:", "lixo"});
        other.LoadFromPacket(packet(fourRows()));
        QCOMPARE(copy.columnWidth(ColName), 222);
        QCOMPARE(copy.horizontalHeader()->logicalIndex(0), int(ColFlag));
        QVERIFY(copy.isColumnHidden(ColCode));
        QCOMPARE(other.SortField(), QStringLiteral("CODE"));
        QCOMPARE(other.SortOrder(), Qt::DescendingOrder);
        QCOMPARE(other.FieldByName("CODE")->AsString(), QStringLiteral("0004"));

        copy.RestoreDesignLayout();
        QCOMPARE(copy.columnWidth(ColCode), 60);
        QVERIFY(!copy.isColumnHidden(ColCode));
        QVERIFY(copy.isColumnHidden(ColHidden));
        QCOMPARE(copy.horizontalHeader()->logicalIndex(0), int(ColCode));
        QCOMPARE(other.SortField(), QString());
    }

    // The grid with the focus lights its current cell and block; the others
    // tint their current row and block. The cell-draw handler hears
    // "selected" only where the highlight is drawn.
    void currentCellFollowsTheFocus_data()
    {
        QTest::addColumn<bool>("focused");
        QTest::addColumn<bool>("block"); // rows 1-2 of the name and flag columns
        QTest::addColumn<QString>("looks"); // cells 1,1 1,2 2,1 1,0 2,0: Lit Tint Base
        QTest::newRow("focused, one cell") << true << false << "LBBBB";
        QTest::newRow("unfocused, one cell") << false << false << "TTBTB";
        QTest::newRow("focused, block") << true << true << "LLLBB";
        QTest::newRow("unfocused, block") << false << true << "TTTTB";
    }
    void currentCellFollowsTheFocus()
    {
        QFETCH(bool, focused);
        QFETCH(bool, block);
        QFETCH(QString, looks);
        QWidget window;
        auto *other = new QLineEdit(&window);
        grid->setParent(&window);
        const auto release = qScopeGuard([this] { grid->setParent(nullptr); });
        grid->setGeometry(0, 30, 600, 200);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QAbstractItemModel *m = grid->model();
        grid->setCurrentIndex(m->index(1, ColName));
        if (block)
            grid->selectionModel()->select(QItemSelection(m->index(1, ColName),
                                                          m->index(2, ColFlag)),
                                           QItemSelectionModel::ClearAndSelect);
        (focused ? static_cast<QWidget *>(grid) : other)->setFocus();
        QTRY_COMPARE(grid->hasFocus(), focused);

        QHash<int, DrawCall> calls; // by row * 10 + column
        grid->OnDrawColumnCell = [&](TDBGrid *, TCanvas &canvas, const QRect &rect, int col,
                                     TColumn *, TGridDrawState state) {
            calls.insert(grid->rowAt(rect.center().y()) * 10 + col,
                         DrawCall{0, col, state, canvas.Brush.Color, {}, {}, true});
        };
        grid->viewport()->grab();
        const QColor base = grid->palette().color(QPalette::Active, QPalette::Base);
        const QColor lit = grid->palette().color(QPalette::Active, QPalette::Highlight);
        const QHash<QChar, QColor> fills{
            {u'L', lit}, {u'T', TDBGrid::QuietTint(base, lit)}, {u'B', base}};
        QVERIFY(fills.value(u'T') != base);
        const int cells[] = {10 + ColName, 10 + ColFlag, 20 + ColName, 10 + ColCode,
                             20 + ColCode};
        for (int i = 0; i < looks.size(); ++i) {
            const DrawCall call = calls.value(cells[i]);
            QVERIFY2(call.brush == fills.value(looks[i]), qPrintable(QString::number(i)));
            QCOMPARE(call.state.testFlag(TGridDrawStateFlag::gdSelected), looks[i] == u'L');
            QCOMPARE(call.state.testFlag(TGridDrawStateFlag::gdFocused), focused && i == 0);
        }
    }

    // A design width made for a smaller font widens to its title; a width
    // the user set stays, and a title it cuts ends in "…" with the whole
    // title in its tooltip.
    void titlesFitOrSayThemselves_data()
    {
        QTest::addColumn<int>("design");
        QTest::addColumn<int>("userWidth"); // 0: untouched
        QTest::addColumn<bool>("cut");
        QTest::newRow("design narrower than its title") << 12 << 0 << false;
        QTest::newRow("design wide enough") << 300 << 0 << false;
        QTest::newRow("user narrower than the title") << 300 << 40 << true;
    }
    void titlesFitOrSayThemselves()
    {
        QFETCH(int, design);
        QFETCH(int, userWidth);
        QFETCH(bool, cut);
        TDBGrid view;
        view.SetDataSource(source);
        TColumn *column = view.AddColumn("NAME", design);
        if (userWidth)
            view.horizontalHeader()->resizeSection(0, userWidth);
        cds->LoadFromPacket(packet(fourRows())); // a reload keeps the width
        const int expected = userWidth ? userWidth : qMax(design, view.TitleWidth(column));
        QCOMPARE(view.columnWidth(0), expected);
        const QString title = "Nome da Filial";
        const QString shown = view.model()->headerData(0, Qt::Horizontal).toString();
        QCOMPARE(shown.endsWith(u'…'), cut);
        QVERIFY(title.startsWith(shown.chopped(cut ? 1 : 0)));
        QCOMPARE(view.model()->headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString(),
                 cut ? title : QString());
    }
};

QTEST_MAIN(tst_DBGrid)
#include "tst_dbgrid.moc"
