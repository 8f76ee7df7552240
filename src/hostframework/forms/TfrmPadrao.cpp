#include "TfrmPadrao.h"

#include "LayoutFile.h"
#include "Procurar.h"
#include "controls/TButtonFlat.h"
#include "controls/TDBGrid.h"
#include "controls/TDBNavigator.h"
#include "controls/TDBText.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "net/CallWait.h"
#include "services/Exceptions.h"
#include "services/SafeCall.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QLoggingCategory>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcFrmPadrao, "vex.forms.padrao", QtInfoMsg)

namespace {
// Client area of the design size (1046 x 619 with the window frame).
constexpr QSize kDesignClientSize(1030, 583);
constexpr int kToolBarHeight = 29;
constexpr int kStatusHeight = 24;
constexpr int kButtonTop = 4;
constexpr int kButtonSize = 21;
constexpr int kScreenCodeWidth = 60;

QFrame *panel(QWidget *parent, const char *name)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Raised);
    return frame;
}

QVBoxLayout *fillLayout(QWidget *widget, int margin = 0)
{
    auto *layout = new QVBoxLayout(widget);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(0);
    return layout;
}
} // namespace

TfrmPadrao::TfrmPadrao(QWidget *parent) : QWidget(parent)
{
    dtsPadrao = new TDataSource(this);
    dtsPadrao->setObjectName(QStringLiteral("dtsPadrao"));
    buildMenu();
    buildToolBar();
    buildPages();
    buildStatusPanel();

    QVBoxLayout *layout = fillLayout(this);
    layout->setMenuBar(mnuMenu);
    layout->addWidget(panMenu);
    layout->addWidget(pgcPadrao, 1);
    layout->addWidget(panNavigator);
    resize(kDesignClientSize);

    wireHandlers();
}

TfrmPadrao::~TfrmPadrao()
{
    // The views go first: they read dtsPadrao's data set while they die.
    delete pgcPadrao;
    delete panNavigator;
}

QSize TfrmPadrao::sizeHint() const
{
    return m_savedSize.isValid() ? m_savedSize : kDesignClientSize;
}

void TfrmPadrao::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_created && isVisible()) {
        if (!(frameState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
            m_normalSize = size();
        LayoutChanged();
    }
}

void TfrmPadrao::buildMenu()
{
    mnuMenu = new QMenuBar(this);
    mnuMenu->setObjectName(QStringLiteral("mnuMenu"));
    mnuMenu->setNativeMenuBar(false);
    mnuManutencao = mnuMenu->addMenu(QStringLiteral("&Manutenção"));
    mnuManutencao->setObjectName(QStringLiteral("mnuManutencao"));
    auto item = [this](const char *name, const QString &text) {
        QAction *action = mnuManutencao->addAction(text);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    mnuIncluir = item("mnuIncluir", QStringLiteral("&Incluir"));
    mnuAlterar = item("mnuAlterar", QStringLiteral("&Alterar"));
    mnuExcluir = item("mnuExcluir", QStringLiteral("&Excluir"));
    mnuManutencao->addSeparator();
    mnuGravar = item("mnuGravar", QStringLiteral("&Gravar"));
    mnuCancelar = item("mnuCancelar", QStringLiteral("&Cancelar"));
    mnuManutencao->addSeparator();
    mnuProcurar = item("mnuProcurar", QStringLiteral("&Procurar"));
    mnuVerificar = item("mnuVerificar", QStringLiteral("&Verificar"));
    mnuOrdenar = item("mnuOrdenar", QStringLiteral("&Ordenar"));
    mnuManutencao->addSeparator();
    mnuImprimir = item("mnuImprimir", QStringLiteral("Im&primir"));
    mnuFechar = item("mnuFechar", QStringLiteral("&Fechar"));
}

void TfrmPadrao::buildToolBar()
{
    panMenu = panel(this, "panMenu");
    panMenu->setFixedHeight(kToolBarHeight);
    auto button = [this](const char *name, int left, QStyle::StandardPixmap icon,
                         const QString &hint) {
        auto *b = new TButtonFlat(panMenu);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(left, kButtonTop, kButtonSize, kButtonSize);
        b->setIcon(style()->standardIcon(icon));
        b->SetHint(hint);
        return b;
    };
    sbtIncluir = button("sbtIncluir", 4, QStyle::SP_FileIcon, QStringLiteral("Incluir"));
    sbtAlterar = button("sbtAlterar", 27, QStyle::SP_FileDialogDetailedView,
                        QStringLiteral("Alterar"));
    sbtExcluir = button("sbtExcluir", 50, QStyle::SP_TrashIcon, QStringLiteral("Excluir"));
    sbtGravar = button("sbtGravar", 73, QStyle::SP_DialogSaveButton, QStringLiteral("Gravar"));
    sbtCancelar = button("sbtCancelar", 96, QStyle::SP_DialogCancelButton,
                         QStringLiteral("Cancelar"));
    sbtProcurar = button("sbtProcurar", 124, QStyle::SP_FileDialogContentsView,
                         QStringLiteral("Procurar"));
    sbtVerificar = button("sbtVerificar", 147, QStyle::SP_BrowserReload,
                          QStringLiteral("Verificar"));
    sbtImprimir = button("sbtImprimir", 175, QStyle::SP_FileDialogListView,
                         QStringLiteral("Imprimir"));
    sbtAjuda = button("sbtAjuda", 198, QStyle::SP_DialogHelpButton, QStringLiteral("Ajuda"));
    sbtFechar = button("sbtFechar", 221, QStyle::SP_DialogCloseButton,
                       QStringLiteral("Fechar"));

    lblCodTela = new QLabel(panMenu);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblCodTela->resize(kScreenCodeWidth, kButtonSize);
    panMenu->installEventFilter(this);
    placeScreenCode();
}

void TfrmPadrao::buildPages()
{
    pgcPadrao = new QTabWidget(this);
    pgcPadrao->setObjectName(QStringLiteral("pgcPadrao"));

    tshFolhaDados = new QWidget;
    tshFolhaDados->setObjectName(QStringLiteral("tshFolhaDados"));
    panDbgPadrao = panel(tshFolhaDados, "panDbgPadrao");
    fillLayout(tshFolhaDados)->addWidget(panDbgPadrao);
    scbFolhaDados = new QScrollArea(panDbgPadrao);
    scbFolhaDados->setObjectName(QStringLiteral("scbFolhaDados"));
    scbFolhaDados->setFrameShape(QFrame::NoFrame);
    scbFolhaDados->setWidgetResizable(true);
    fillLayout(panDbgPadrao, 2)->addWidget(scbFolhaDados);
    dbgPadrao = new TDBGrid;
    dbgPadrao->setObjectName(QStringLiteral("dbgPadrao"));
    dbgPadrao->SetDataSource(dtsPadrao);
    scbFolhaDados->setWidget(dbgPadrao);

    // Screens stack their own controls under panFormulario through the
    // page's layout, and put theirs in the scroll box's layout.
    tshFormulario = new QWidget;
    tshFormulario->setObjectName(QStringLiteral("tshFormulario"));
    panFormulario = panel(tshFormulario, "panFormulario");
    fillLayout(tshFormulario)->addWidget(panFormulario);
    scbFormulario = new QScrollArea(panFormulario);
    scbFormulario->setObjectName(QStringLiteral("scbFormulario"));
    scbFormulario->setWidgetResizable(true);
    fillLayout(panFormulario, 3)->addWidget(scbFormulario);
    auto *formContents = new QWidget;
    formContents->setObjectName(QStringLiteral("scbFormularioContents"));
    fillLayout(formContents);
    scbFormulario->setWidget(formContents);

    pgcPadrao->addTab(tshFolhaDados, QStringLiteral("Folha de Dados"));
    pgcPadrao->addTab(tshFormulario, QStringLiteral("Formulário"));
}

void TfrmPadrao::buildStatusPanel()
{
    panNavigator = panel(this, "panNavigator");
    panNavigator->setFixedHeight(kStatusHeight);
    dbnPadrao = new TDBNavigator(panNavigator);
    dbnPadrao->setObjectName(QStringLiteral("dbnPadrao"));
    dbnPadrao->setGeometry(2, 1, 4 * kButtonSize, kButtonSize);
    dbnPadrao->SetDataSource(dtsPadrao);
    dbtNome = new TDBText(panNavigator);
    dbtNome->setObjectName(QStringLiteral("dbtNome"));
    dbtNome->setGeometry(100, 4, 320, 16);
    dbtNome->SetDataSource(dtsPadrao);
}

void TfrmPadrao::wireHandlers()
{
    const QList<TCommandPair> pairs = CommandPairs();
    for (const TCommandPair &pair : pairs) {
        connect(pair.button, &QToolButton::clicked, pair.menuItem, &QAction::trigger);
    }
    auto onTrigger = [this](QAction *action, void (TfrmPadrao::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] {
            SafeCall([this, handler] { (this->*handler)(); });
        });
    };
    onTrigger(mnuIncluir, &TfrmPadrao::sbtIncluirClick);
    onTrigger(mnuAlterar, &TfrmPadrao::sbtAlterarClick);
    onTrigger(mnuExcluir, &TfrmPadrao::sbtExcluirClick);
    onTrigger(mnuGravar, &TfrmPadrao::sbtGravarClick);
    onTrigger(mnuCancelar, &TfrmPadrao::sbtCancelarClick);
    onTrigger(mnuProcurar, &TfrmPadrao::sbtProcurarClick);
    onTrigger(mnuVerificar, &TfrmPadrao::sbtVerificarClick);
    onTrigger(mnuOrdenar, &TfrmPadrao::mnuOrdenarClick);
    onTrigger(mnuImprimir, &TfrmPadrao::sbtImprimirClick);
    connect(sbtImprimir, &QToolButton::clicked, mnuImprimir, &QAction::trigger);
    connect(sbtAjuda, &QToolButton::clicked, this,
            [this] { SafeCall([this] { sbtAjudaClick(); }); });
    connect(mnuFechar, &QAction::triggered, this, &TfrmPadrao::Close);
    connect(sbtFechar, &QToolButton::clicked, mnuFechar, &QAction::trigger);

    connect(pgcPadrao, &QTabWidget::currentChanged, this,
            [this] { SafeCall([this] { pgcPadraoChange(); }); });
    dtsPadrao->OnStateChange = [this](TDataSource *sender) {
        SafeCall([this, sender] { dtsPadraoStateChange(sender); });
    };
}

QList<TfrmPadrao::TCommandPair> TfrmPadrao::CommandPairs() const
{
    return {
        {mnuIncluir, sbtIncluir},   {mnuAlterar, sbtAlterar}, {mnuExcluir, sbtExcluir},
        {mnuGravar, sbtGravar},     {mnuCancelar, sbtCancelar},
        {mnuProcurar, sbtProcurar}, {mnuVerificar, sbtVerificar},
    };
}

void TfrmPadrao::DoCreate()
{
    if (m_created)
        return;
    m_created = true;
    FormCreate();
    dtsPadraoStateChange(dtsPadrao);
    restoreLayout();
    // Maximizing or restoring the MDI window is part of the layout.
    if (auto *window = qobject_cast<QMdiSubWindow *>(parentWidget())) {
        connect(window, &QMdiSubWindow::windowStateChanged, this, [this] {
            if (isVisible())
                LayoutChanged();
        });
    }
}

namespace {
const QLatin1String kSizeKey("form.size=");
const QLatin1String kMaximizedKey("form.maximized=");

// Grids once went unnamed, and all of them wrote the same keys: which grid
// such a line belonged to cannot be told.
bool isNamelessGridLine(const QString &line)
{
    return line.startsWith(u'.');
}
} // namespace

Qt::WindowStates TfrmPadrao::frameState() const
{
    const auto *window = qobject_cast<const QMdiSubWindow *>(parentWidget());
    return window ? window->windowState() : windowState();
}

void TfrmPadrao::restoreLayout()
{
    const QString screen = lblCodTela->text().trimmed();
    if (screen.isEmpty())
        return;
    QStringList lines = LayoutFile::read(screen);
    if (lines.removeIf(isNamelessGridLine) > 0) {
        qCInfo(lcFrmPadrao) << "layout: columns of unnamed grids dropped";
        try {
            LayoutFile::write(screen, lines);
        } catch (const EVexError &e) {
            qCWarning(lcFrmPadrao).noquote() << e.message();
        }
    }
    const auto grids = findChildren<TDBGrid *>();
    for (TDBGrid *grid : grids) {
        grid->RestoreLayout(lines);
        connect(grid, &TDBGrid::layoutChanged, this, &TfrmPadrao::LayoutChanged);
    }
    for (const QString &line : lines) {
        if (!line.startsWith(kSizeKey))
            continue;
        const QStringList size = line.mid(kSizeKey.size()).split(u'x');
        const int w = size.value(0).toInt(), h = size.value(1).toInt();
        if (w >= 200 && h >= 150 && w <= 10000 && h <= 10000)
            m_savedSize = QSize(w, h); // the MDI window takes its size from the hint
    }
    m_startsMaximized = lines.contains(kMaximizedKey + u'1');
    RestoreExtraLayout(lines);
}

void TfrmPadrao::LayoutChanged()
{
    if (!m_layoutSave) {
        m_layoutSave = new QTimer(this);
        m_layoutSave->setSingleShot(true);
        m_layoutSave->setInterval(400);
        connect(m_layoutSave, &QTimer::timeout, this,
                [this] { SafeCall([this] { saveLayout(); }); });
    }
    m_layoutSave->start();
}

void TfrmPadrao::saveLayout()
{
    const QString screen = lblCodTela->text().trimmed();
    if (screen.isEmpty())
        return;
    QStringList lines;
    const auto grids = findChildren<TDBGrid *>();
    for (const TDBGrid *grid : grids)
        lines << grid->LayoutLines();
    // A maximized window keeps the size it goes back to.
    const bool maximized = frameState().testFlag(Qt::WindowMaximized);
    const QSize normal = m_normalSize.isValid() ? m_normalSize : sizeHint();
    lines << kSizeKey + QStringLiteral("%1x%2").arg(normal.width()).arg(normal.height());
    lines << kMaximizedKey + (maximized ? u'1' : u'0');
    lines << ExtraLayoutLines();
    try {
        LayoutFile::write(screen, lines);
    } catch (const EVexError &e) {
        qCWarning(lcFrmPadrao).noquote() << e.message(); // a layout is never worth a dialog
    }
}

void TfrmPadrao::DoActivate()
{
    SafeCall([this] { FormActivate(); });
}

void TfrmPadrao::Close()
{
    if (auto *window = qobject_cast<QMdiSubWindow *>(parentWidget()))
        window->close();
    else
        close();
}

void TfrmPadrao::FormClose(TCloseAction &action)
{
    action = TCloseAction::caFree;
}

void TfrmPadrao::sbtProcurarClick()
{
    // What the grid shows is what a person looks for.
    if (dbgPadrao->DataSource() == dtsPadrao)
        Procurar::Procura(dbgPadrao, this);
    else
        Procurar::Procura(dtsPadrao->DataSet(), this);
}

void TfrmPadrao::dtsPadraoStateChange(TDataSource *sender)
{
    const bool browse = sender && sender->State() == TDataSetState::dsBrowse;
    const QList<TCommandPair> pairs = CommandPairs();
    for (const TCommandPair &pair : pairs) {
        pair.menuItem->setEnabled(browse);
        pair.button->setEnabled(browse);
    }
    dbnPadrao->setEnabled(browse);
}

void TfrmPadrao::closeEvent(QCloseEvent *event)
{
    if (m_layoutSave && m_layoutSave->isActive()) {
        m_layoutSave->stop();
        SafeCall([this] { saveLayout(); });
    }
    TCloseAction action = TCloseAction::caFree;
    // A failing close handler keeps the window, as a refused close does.
    if (!SafeCall([this, &action] { FormClose(action); }))
        action = TCloseAction::caNone;
    auto *window = qobject_cast<QMdiSubWindow *>(parentWidget());
    switch (action) {
    case TCloseAction::caFree:
        event->accept();
        return;
    case TCloseAction::caNone:
        break;
    case TCloseAction::caHide:
        if (window)
            window->hide();
        else
            hide();
        break;
    case TCloseAction::caMinimize:
        if (window)
            window->showMinimized();
        else
            showMinimized();
        break;
    }
    event->ignore();
}

void TfrmPadrao::changeEvent(QEvent *event)
{
    // Outside an MDI area the form is a window of its own and activates itself.
    if (event->type() == QEvent::ActivationChange && isWindow() && isActiveWindow())
        CallWait::afterWait(this, [this] { DoActivate(); });
    QWidget::changeEvent(event);
}

bool TfrmPadrao::eventFilter(QObject *watched, QEvent *event)
{
    // Resize: keep the code at the right edge; LayoutRequest: its text changed.
    if (watched == panMenu
        && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) {
        placeScreenCode();
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmPadrao::placeScreenCode()
{
    // A screen may give the label a width; it still shows the whole code.
    const int needed = lblCodTela->sizeHint().width();
    if (lblCodTela->width() < needed)
        lblCodTela->resize(needed, lblCodTela->height());
    lblCodTela->move(panMenu->width() - lblCodTela->width() - 6,
                     (kToolBarHeight - lblCodTela->height()) / 2);
}
