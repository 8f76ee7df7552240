#include "SearchDialog.h"

#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "services/HostDisplays.h"
#include "services/SafeCall.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

namespace {
QList<SearchDialog::Column> visibleFields(const TClientDataSet *dataSet)
{
    QList<SearchDialog::Column> columns;
    if (!dataSet)
        return columns;
    const auto fields = dataSet->Fields();
    for (const TField *field : fields) {
        if (field->Visible())
            columns.append({field->DisplayLabel(), field->FieldName()});
    }
    return columns;
}
} // namespace

SearchDialog::SearchDialog(TClientDataSet *dataSet, QWidget *parent)
    : SearchDialog(dataSet, visibleFields(dataSet), QString(), parent)
{
}

SearchDialog::SearchDialog(TClientDataSet *dataSet, const QList<Column> &columns,
                           const QString &currentField, QWidget *parent)
    : QDialog(parent)
    , m_dataSet(dataSet)
{
    build(columns);
    SetFieldName(currentField);
}

void SearchDialog::build(const QList<Column> &columns)
{
    setObjectName(QStringLiteral("frmProcurar"));
    setWindowTitle(QStringLiteral("Procurar"));
    setModal(true);
    m_field = new QComboBox(this);
    m_field->setObjectName(QStringLiteral("cbxCampo"));
    m_field->addItem(QStringLiteral("(Todos os campos)"), QString());
    for (const Column &column : columns) {
        m_field->addItem(column.title, column.fieldName);
        m_fieldNames << column.fieldName;
    }
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("edtTexto"));
    m_contains = new QRadioButton(QStringLiteral("Contém"), this);
    m_contains->setObjectName(QStringLiteral("rbtContem"));
    m_contains->setChecked(true);
    m_startsWith = new QRadioButton(QStringLiteral("Começa com"), this);
    m_startsWith->setObjectName(QStringLiteral("rbtComecaCom"));

    auto *next = new QPushButton(QStringLiteral("&Próximo (F3)"), this);
    next->setObjectName(QStringLiteral("btnProximo"));
    next->setDefault(true);
    auto *previous = new QPushButton(QStringLiteral("&Anterior (Shift+F3)"), this);
    previous->setObjectName(QStringLiteral("btnAnterior"));
    auto *close = new QPushButton(QStringLiteral("Fechar (Esc)"), this);
    close->setObjectName(QStringLiteral("btnFechar"));
    close->setAutoDefault(false);
    previous->setAutoDefault(false);

    auto *modes = new QHBoxLayout;
    modes->addWidget(m_contains);
    modes->addWidget(m_startsWith);
    modes->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(next);
    buttons->addWidget(previous);
    buttons->addWidget(close);
    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("Campo:"), m_field);
    form->addRow(QStringLiteral("Texto:"), m_text);
    form->addRow(QString(), modes);
    form->addRow(buttons);

    connect(next, &QPushButton::clicked, this, [this] { SafeCall([this] { FindNext(); }); });
    connect(previous, &QPushButton::clicked, this,
            [this] { SafeCall([this] { FindPrevious(); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *f3 = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(f3, &QShortcut::activated, this, [this] { SafeCall([this] { FindNext(); }); });
    auto *shiftF3 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    connect(shiftF3, &QShortcut::activated, this, [this] { SafeCall([this] { FindPrevious(); }); });
    m_text->setFocus();
}

void SearchDialog::SetText(const QString &text)
{
    m_text->setText(text);
}

void SearchDialog::SetFieldName(const QString &fieldName)
{
    const int index = m_field->findData(fieldName);
    m_field->setCurrentIndex(qMax(0, index));
}

void SearchDialog::SetMode(RecordSearch::TSearchMode mode)
{
    (mode == RecordSearch::TSearchMode::smStartsWith ? m_startsWith : m_contains)->setChecked(true);
}

bool SearchDialog::FindNext()
{
    return find(RecordSearch::TSearchDirection::sdForward);
}

bool SearchDialog::FindPrevious()
{
    return find(RecordSearch::TSearchDirection::sdBackward);
}

bool SearchDialog::find(RecordSearch::TSearchDirection direction)
{
    if (!m_dataSet || m_text->text().trimmed().isEmpty())
        return false;
    RecordSearch::TSearchOptions options;
    options.fieldName = m_field->currentData().toString();
    options.fieldNames = m_fieldNames;
    options.mode = m_startsWith->isChecked() ? RecordSearch::TSearchMode::smStartsWith
                                             : RecordSearch::TSearchMode::smContains;
    options.direction = direction;
    const int row
        = RecordSearch::findRow(m_dataSet, m_text->text(), m_dataSet->CurrentRow(), options);
    if (row < 0) {
        HostDisplays::showMessage(QStringLiteral("Não encontrado."));
        return false;
    }
    m_dataSet->MoveTo(row);
    return true;
}
