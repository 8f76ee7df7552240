#include "MultiSelectDialog.h"

#include "FilteredListKeys.h"

#include "VexErrors.h"
#include "data/KeyList.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "services/HostDisplays.h"
#include "services/SafeCall.h"
#include "services/TextMatch.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
const QLatin1String kMarkField("IDMARCADO");
constexpr int kRowRole = Qt::UserRole;
constexpr int kKeyRole = Qt::UserRole + 1;
constexpr int kHaystackRole = Qt::UserRole + 2;

bool isMarked(const QTreeWidgetItem *item)
{
    return item->checkState(0) == Qt::Checked;
}

void setMarked(QTreeWidgetItem *item, bool marked)
{
    item->setCheckState(0, marked ? Qt::Checked : Qt::Unchecked);
}

// Rows tall enough for the whole check box the style draws, whatever the
// font's height.
class MarkRowDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QWidget *view = option.widget;
        const QStyle *style = view ? view->style() : QApplication::style();
        const int indicator = style->pixelMetric(QStyle::PM_IndicatorHeight, &option, view);
        size.setHeight(qMax(size.height(), indicator + 4));
        return size;
    }
};
} // namespace

MultiSelectDialog::MultiSelectDialog(TClientDataSet *dataSet, const QString &keyField,
                                     const QString &title, const QStringList &marked,
                                     QWidget *parent)
    : QDialog(parent)
    , m_dataSet(dataSet)
    , m_keyField(keyField)
{
    setObjectName(QStringLiteral("frmPesqLista"));
    setWindowTitle(title);
    setModal(true);
    m_keyLength = dataSet->FieldByName(keyField)->Size();
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("edtFiltro"));
    m_filter->setPlaceholderText(QStringLiteral("Digite para filtrar"));
    m_filter->setClearButtonEnabled(true);
    m_view = new QTreeWidget(this);
    m_view->setObjectName(QStringLiteral("lvwLista"));
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setAlternatingRowColors(true);
    m_view->setItemDelegate(new MarkRowDelegate(m_view));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("lblSelecionados"));

    auto button = [this](const char *name, const QString &text, const QKeySequence &keys,
                         void (MultiSelectDialog::*action)()) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        b->setToolTip(keys.toString(QKeySequence::NativeText));
        connect(b, &QPushButton::clicked, this, [this, action] { (this->*action)(); });
        auto *shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this, action] { (this->*action)(); });
        return b;
    };
    auto *tools = new QHBoxLayout;
    tools->addWidget(button("btnMarcaTodos", QStringLiteral("Marcar todos"),
                            QKeySequence(Qt::CTRL | Qt::Key_A), &MultiSelectDialog::MarcaTodos));
    tools->addWidget(button("btnDesmarcaTodos", QStringLiteral("Desmarcar todos"),
                            QKeySequence(Qt::CTRL | Qt::Key_D), &MultiSelectDialog::DesmarcaTodos));
    tools->addWidget(button("btnInverte", QStringLiteral("Inverter"),
                            QKeySequence(Qt::CTRL | Qt::Key_I), &MultiSelectDialog::InverteMarcas));
    tools->addStretch();
    tools->addWidget(m_count);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_view);
    layout->addLayout(tools);
    layout->addWidget(buttons);

    fill(marked);
    resize(520, 380);
    connect(buttons, &QDialogButtonBox::accepted, this, &MultiSelectDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MultiSelectDialog::reject);
    connect(m_filter, &QLineEdit::textChanged, this, &MultiSelectDialog::SetFilterText);
    connect(m_view, &QTreeWidget::itemChanged, this, [this] { updateCount(); });
    m_filter->installEventFilter(this);
    m_view->installEventFilter(this);
    m_view->setFocus();
}

void MultiSelectDialog::fill(const QStringList &marked)
{
    QStringList labels { QStringLiteral("Marcado") };
    const auto fields = m_dataSet->Fields();
    for (const TField *field : fields) {
        if (field->Visible() && field->FieldName() != kMarkField)
            labels << field->DisplayLabel();
    }
    m_view->setHeaderLabels(labels);
    const int charWidth = fontMetrics().averageCharWidth();
    m_view->setColumnWidth(0, 70);
    TField *key = m_dataSet->FieldByName(m_keyField);
    TField *mark = m_dataSet->FindField(kMarkField);
    const QSignalBlocker quiet(m_view);
    for (int row = 0; row < m_dataSet->RecordCount(); ++row) {
        TRecordScope scope(m_dataSet, row);
        auto *item = new QTreeWidgetItem(m_view);
        const QString code = key->AsString().trimmed();
        QStringList haystack;
        int column = 1;
        for (const TField *field : fields) {
            if (!field->Visible() || field->FieldName() == kMarkField)
                continue;
            item->setText(column, field->ViewText());
            m_view->setColumnWidth(column++, field->DisplayWidth() * charWidth + 16);
            haystack << field->ViewText();
        }
        item->setData(0, kRowRole, row);
        item->setData(0, kKeyRole, code);
        item->setData(0, kHaystackRole, haystack.join(QLatin1Char('\n')));
        const bool preMarked
            = marked.contains(code) || (mark && mark->AsString().trimmed() == QLatin1String("S"));
        setMarked(item, preMarked);
    }
    if (m_view->topLevelItemCount() > 0)
        m_view->setCurrentItem(m_view->topLevelItem(0));
    updateCount();
}

QStringList MultiSelectDialog::MarkedKeys() const
{
    QStringList keys;
    for (int i = 0; i < m_view->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_view->topLevelItem(i);
        if (isMarked(item))
            keys << item->data(0, kKeyRole).toString();
    }
    return keys;
}

int MultiSelectDialog::MarkedCount() const
{
    return int(MarkedKeys().size());
}

// Mark all, none and invert act on the rows the filter shows.
void MultiSelectDialog::MarcaTodos()
{
    for (int i = 0; i < m_view->topLevelItemCount(); ++i) {
        if (!m_view->topLevelItem(i)->isHidden())
            setMarked(m_view->topLevelItem(i), true);
    }
}

void MultiSelectDialog::DesmarcaTodos()
{
    for (int i = 0; i < m_view->topLevelItemCount(); ++i) {
        if (!m_view->topLevelItem(i)->isHidden())
            setMarked(m_view->topLevelItem(i), false);
    }
}

void MultiSelectDialog::InverteMarcas()
{
    for (int i = 0; i < m_view->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_view->topLevelItem(i);
        if (!item->isHidden())
            setMarked(item, !isMarked(item));
    }
}

void MultiSelectDialog::ToggleCurrent()
{
    QTreeWidgetItem *item = m_view->currentItem();
    if (item && !item->isHidden())
        setMarked(item, !isMarked(item));
}

void MultiSelectDialog::SetFilterText(const QString &text)
{
    if (m_filter->text() != text)
        m_filter->setText(text); // comes back here through textChanged
    const QString wanted = text.trimmed();
    QTreeWidgetItem *first = nullptr;
    for (int i = 0; i < m_view->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_view->topLevelItem(i);
        const bool keep = wanted.isEmpty()
            || TextMatch::contains(item->data(0, kHaystackRole).toString(), wanted);
        item->setHidden(!keep);
        if (keep && !first)
            first = item;
    }
    if (first && (!m_view->currentItem() || m_view->currentItem()->isHidden()))
        m_view->setCurrentItem(first);
}

void MultiSelectDialog::updateCount()
{
    m_count->setText(QStringLiteral("%1 selecionados").arg(MarkedCount()));
}

QString MultiSelectDialog::EncodedList() const
{
    return KeyList::encode(MarkedKeys(), m_keyLength);
}

void MultiSelectDialog::accept()
{
    try {
        m_encoded = EncodedList();
    } catch (const EVexError &error) {
        HostDisplays::showMessage(error.message());
        return;
    }
    SafeCall([this] { writeMarks(); });
    QDialog::accept();
}

void MultiSelectDialog::writeMarks()
{
    TField *mark = m_dataSet->FindField(kMarkField);
    if (!mark)
        return;
    for (int i = 0; i < m_view->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_view->topLevelItem(i);
        m_dataSet->SetRawValue(item->data(0, kRowRole).toInt(), mark->Index(),
                               isMarked(item) ? QStringLiteral("S") : QStringLiteral("N"));
    }
}

bool MultiSelectDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_view && key->key() == Qt::Key_Space) {
        ToggleCurrent();
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        accept();
        return true;
    }
    if (passFilteredListKey(watched, key, m_filter, m_view, {Qt::Key_Up, Qt::Key_Down},
                            FilterNavigation::EntersList))
        return true;
    return QDialog::eventFilter(watched, event);
}
