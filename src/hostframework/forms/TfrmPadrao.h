#pragma once

#include "services/TMessages.h"

#include <QList>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QScrollArea;
class QTabWidget;
class TButtonFlat;
class TDataSource;
class QTimer;
class TDBGrid;
class TDBNavigator;
class TDBText;

enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// Base data window of every screen: menu, tool bar of command pairs, a page
// control with a grid page and a form page, a status panel with navigator.
// Handlers are virtual; an override runs the base first where the base has
// work to do. Qt entry points reach them through SafeCall.
class TfrmPadrao : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmPadrao(QWidget *parent = nullptr);
    ~TfrmPadrao() override;

    // Called by TApplication::CreateForm after construction: runs FormCreate
    // once (its exception propagates), then the state handler once.
    void DoCreate();
    // Runs FormActivate through SafeCall; TApplication calls it each time the
    // form's MDI window becomes the active one.
    void DoActivate();
    // Closes the form's MDI window (or the form itself outside an MDI area),
    // going through FormClose.
    void Close();

    QSize sizeHint() const override;
    // The user left this screen maximized last time (its layout file says so).
    bool StartsMaximized() const { return m_startsMaximized; }

    // A command: a menu item and the tool button that mirrors it.
    struct TCommandPair
    {
        QAction *menuItem;
        TButtonFlat *button;
    };
    // The seven pairs: Incluir, Alterar, Excluir, Gravar, Cancelar, Procurar,
    // Verificar, in that order.
    QList<TCommandPair> CommandPairs() const;

    // Menu
    QMenuBar *mnuMenu;
    QMenu *mnuManutencao;
    QAction *mnuIncluir;
    QAction *mnuAlterar;
    QAction *mnuExcluir;
    QAction *mnuGravar;
    QAction *mnuCancelar;
    QAction *mnuProcurar;
    QAction *mnuVerificar;
    QAction *mnuOrdenar;
    QAction *mnuImprimir;
    QAction *mnuFechar;

    // Tool bar (absolute positions, 21 x 21 buttons)
    QWidget *panMenu;
    TButtonFlat *sbtIncluir;
    TButtonFlat *sbtAlterar;
    TButtonFlat *sbtExcluir;
    TButtonFlat *sbtGravar;
    TButtonFlat *sbtCancelar;
    TButtonFlat *sbtProcurar;
    TButtonFlat *sbtVerificar;
    TButtonFlat *sbtImprimir;
    TButtonFlat *sbtAjuda;
    TButtonFlat *sbtFechar;
    QLabel *lblCodTela;

    // Pages
    QTabWidget *pgcPadrao;
    QWidget *tshFolhaDados;
    QWidget *panDbgPadrao;
    QScrollArea *scbFolhaDados;
    TDBGrid *dbgPadrao;
    QWidget *tshFormulario;
    QWidget *panFormulario;
    QScrollArea *scbFormulario;

    // Status panel
    QWidget *panNavigator;
    TDBNavigator *dbnPadrao;
    TDBText *dbtNome;

    TMessages msgPadrao;
    TDataSource *dtsPadrao;

protected:
    virtual void FormCreate() {}
    virtual void FormActivate() {}
    // Base: Action = caFree (an MDI document is freed when closed).
    virtual void FormClose(TCloseAction &action);
    virtual void pgcPadraoChange() {}
    virtual void sbtProcurarClick();  // base: search in dtsPadrao's data set
    virtual void sbtVerificarClick() {}
    // Replaceable state handling; the base enables every pair by state.
    virtual void dtsPadraoStateChange(TDataSource *sender);
    // The other commands: the base window edits nothing and prints nothing.
    virtual void sbtIncluirClick() {}
    virtual void sbtAlterarClick() {}
    virtual void sbtExcluirClick() {}
    virtual void sbtGravarClick() {}
    virtual void sbtCancelarClick() {}
    virtual void mnuOrdenarClick() {}
    virtual void sbtImprimirClick() {}
    virtual void sbtAjudaClick() {}

    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // The user's layout of this screen (every grid's columns and sort, the
    // window's size), read after FormCreate and written when it changes. A
    // screen adds its own lines (splitters) through these two.
    virtual QStringList ExtraLayoutLines() const { return {}; }
    virtual void RestoreExtraLayout(const QStringList &lines) { Q_UNUSED(lines) }
    void LayoutChanged(); // writes soon, once for a burst of changes

private:
    void restoreLayout();
    void saveLayout();
    Qt::WindowStates frameState() const; // of the MDI window around the form, if any
    void buildMenu();
    void buildToolBar();
    void buildPages();
    void buildStatusPanel();
    void wireHandlers();
    void placeScreenCode();

    bool m_created = false;
    QTimer *m_layoutSave = nullptr;
    QSize m_savedSize;
    QSize m_normalSize; // the size while neither maximized nor minimized
    bool m_startsMaximized = false;
};
