#include "TBtnPesquisa.h"

#include "TMaskEdit.h"
#include "data/TClientDataSet.h"
#include "data/TDataLink.h"
#include "data/TField.h"
#include "forms/PickListDialog.h"
#include "services/HostDisplays.h"
#include "services/SafeCall.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

namespace {
// A magnifying glass: the lookup glyph.
QIcon searchIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 60, 120), 2));
    p.drawEllipse(QRectF(2, 2, 8, 8));
    p.setPen(QPen(QColor(40, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 10), QPointF(14, 14));
    return QIcon(pixmap);
}

bool opensList(const QKeyEvent *key)
{
    return (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier)
        || (key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier);
}
} // namespace

TBtnPesquisa::TBtnPesquisa(QWidget *parent)
    : QToolButton(parent)
    , m_link(new TDataLink(this))
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setIcon(searchIcon());
    setIconSize(QSize(16, 16));
    setToolTip(QStringLiteral("Pesquisar"));
    // The keys live in the associated edit, which is where the user is.
    setStatusTip(QStringLiteral("Pesquisar (F2 ou Alt+Seta para baixo no campo)"));
    resize(21, 21);
    connect(this, &QToolButton::clicked, this, [this] { Click(); });
}

TBtnPesquisa::~TBtnPesquisa()
{
    if (m_associate)
        m_associate->removeEventFilter(this);
}

void TBtnPesquisa::SetAssociate(QWidget *widget)
{
    if (m_associate)
        m_associate->removeEventFilter(this);
    m_associate = widget;
    if (widget)
        widget->installEventFilter(this);
}

TDataSource *TBtnPesquisa::DataSource() const
{
    return m_link->DataSource();
}

void TBtnPesquisa::SetDataSource(TDataSource *source)
{
    m_link->SetDataSource(source);
}

void TBtnPesquisa::Click()
{
    SafeCall([this] {
        if (OnClick)
            OnClick(this);
        else
            Pesquisa();
    });
}

bool TBtnPesquisa::Pesquisa()
{
    bool proceed = true;
    if (OnBeforePesq)
        OnBeforePesq(this, proceed);
    if (!proceed)
        return false;
    TClientDataSet *dataSet = m_link->DataSet();
    if (!dataSet || !dataSet->Active() || dataSet->IsEmpty()) {
        HostDisplays::showError(
            m_emptyError.isEmpty() ? QStringLiteral("Nenhum registro encontrado.") : m_emptyError);
        return false;
    }
    const int row = pickRow(dataSet);
    if (row < 0)
        return false;
    dataSet->MoveTo(row);
    if (OnAfterPesq)
        OnAfterPesq(this);
    return true;
}

int TBtnPesquisa::pickRow(TClientDataSet *dataSet)
{
    PickListDialog::TOptions options;
    options.title = m_title;
    options.codeField = m_fieldCodigo;
    options.nameField = m_fieldNome;
    options.tree = m_pesqType == TPesqType::ptArvore;
    const int typed = m_pesqChave ? rowOfTypedCode(dataSet) : -1;
    options.startRow = typed >= 0 ? typed : dataSet->CurrentRow();
    PickListDialog dialog(dataSet, options, window());
    dialog.exec();
    return dialog.PickedRow();
}

QString TBtnPesquisa::typedCode() const
{
    if (auto *masked = qobject_cast<TMaskEdit *>(m_associate.data()))
        return masked->Value();
    if (auto *edit = qobject_cast<QLineEdit *>(m_associate.data()))
        return edit->text().trimmed();
    return {};
}

// The first row whose code (FieldCodigo, or a visible field, stored form)
// starts with what the edit holds.
int TBtnPesquisa::rowOfTypedCode(TClientDataSet *dataSet) const
{
    const QString code = typedCode();
    if (code.isEmpty())
        return -1;
    const auto fields = dataSet->Fields();
    for (int row = 0; row < dataSet->RecordCount(); ++row) {
        TRecordScope scope(dataSet, row);
        for (const TField *field : fields) {
            const bool codeField
                = field->FieldName().compare(m_fieldCodigo, Qt::CaseInsensitive) == 0;
            if ((codeField || field->Visible())
                && field->AsString().trimmed().startsWith(code, Qt::CaseInsensitive))
                return row;
        }
    }
    return -1;
}

bool TBtnPesquisa::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_associate && event->type() == QEvent::KeyPress
        && opensList(static_cast<QKeyEvent *>(event)) && isEnabled()) {
        Click();
        return true;
    }
    return QToolButton::eventFilter(watched, event);
}
