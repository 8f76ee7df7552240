#include "PresetDialog.h"

#include "OptionPresets.h"
#include "services/Exceptions.h"
#include "services/HostDisplays.h"
#include "services/SafeCall.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kDefaultMark = QStringLiteral(" (ao abrir)");
}

PresetDialog::PresetDialog(Mode mode, const QString &screenCode, const QString &current,
                           QWidget *parent)
    : QDialog(parent), m_mode(mode), m_screenCode(screenCode)
{
    setObjectName(QStringLiteral("PresetDialog"));
    setWindowTitle(mode == Mode::Save ? QStringLiteral("Gravar opções")
                                      : QStringLiteral("Carregar opções"));
    auto *layout = new QVBoxLayout(this);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstOpcoes"));
    layout->addWidget(new QLabel(QStringLiteral("Opções gravadas:"), this));
    layout->addWidget(m_list);
    if (mode == Mode::Save) {
        m_name = new QLineEdit(current, this);
        m_name->setObjectName(QStringLiteral("edtNome"));
        m_name->setPlaceholderText(QStringLiteral("Nome das opções"));
        auto *label = new QLabel(QStringLiteral("Gravar &como:"), this);
        label->setBuddy(m_name);
        layout->addWidget(label);
        layout->addWidget(m_name);
        m_relativeBox = new QVBoxLayout;
        layout->addLayout(m_relativeBox);
        connect(m_list, &QListWidget::currentTextChanged, m_name, [this] {
            if (!selectedName().isEmpty())
                m_name->setText(selectedName());
        });
    }
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(mode == Mode::Save ? QStringLiteral("&Gravar")
                                          : QStringLiteral("&Carregar"),
                       QDialogButtonBox::AcceptRole);
    QPushButton *remove = buttons->addButton(QStringLiteral("&Excluir"),
                                             QDialogButtonBox::ActionRole);
    remove->setObjectName(QStringLiteral("btnExcluir"));
    m_default = buttons->addButton(QStringLiteral("&Usar ao abrir"),
                                   QDialogButtonBox::ActionRole);
    m_default->setObjectName(QStringLiteral("btnPadrao"));
    m_default->setToolTip(QStringLiteral("Aplica estas opções sempre que o filtro for criado"));
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    auto safely = [this](void (PresetDialog::*handler)()) {
        return [this, handler] { SafeCall([this, handler] { (this->*handler)(); }); };
    };
    connect(buttons, &QDialogButtonBox::accepted, this, safely(&PresetDialog::confirm));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(remove, &QPushButton::clicked, this, safely(&PresetDialog::removeSelected));
    connect(m_default, &QPushButton::clicked, this, safely(&PresetDialog::markDefault));
    connect(m_list, &QListWidget::itemDoubleClicked, this, safely(&PresetDialog::confirm));
    fill();
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->data(Qt::UserRole).toString() == current)
            m_list->setCurrentRow(i);
    }
    // Saving starts at the name: what is typed is the name, not a search
    // in the list.
    if (m_name) {
        m_name->setFocus();
        m_name->selectAll();
    }
}

void PresetDialog::SetRelativeRanges(const QList<RelativeRange> &ranges)
{
    if (!m_relativeBox)
        return;
    QWidget *previous = m_name; // Tab goes from the name to the ranges
    for (const RelativeRange &range : ranges) {
        const QString text = range.span.isEmpty()
            ? QStringLiteral("%1 relativa ao dia de uso (período incompleto)").arg(range.caption)
            : QStringLiteral("%1 relativa ao dia de uso: %2").arg(range.caption, range.span);
        auto *box = new QCheckBox(text, this);
        box->setObjectName(QStringLiteral("chbRelativa_") + range.key);
        box->setEnabled(!range.span.isEmpty());
        box->setChecked(range.relative && box->isEnabled());
        m_relativeBox->addWidget(box);
        m_relative.append({range.key, box});
        QWidget::setTabOrder(previous, box);
        previous = box;
    }
}

QStringList PresetDialog::RelativeKeys() const
{
    QStringList keys;
    for (const auto &[key, box] : m_relative) {
        if (box->isChecked())
            keys << key;
    }
    return keys;
}

void PresetDialog::fill()
{
    const QString selected = selectedName();
    m_list->clear();
    const QString marked = OptionPresets::defaultName(m_screenCode);
    for (const QString &name : OptionPresets::names(m_screenCode)) {
        auto *item = new QListWidgetItem(name == marked ? name + kDefaultMark : name, m_list);
        item->setData(Qt::UserRole, name);
        if (name == selected)
            m_list->setCurrentItem(item);
    }
}

QString PresetDialog::selectedName() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void PresetDialog::confirm()
{
    const QString name = m_mode == Mode::Save ? m_name->text().trimmed() : selectedName();
    if (name.isEmpty()) {
        HostDisplays::showMessage(m_mode == Mode::Save
                                      ? QStringLiteral("Informe um nome para as opções.")
                                      : QStringLiteral("Escolha as opções a carregar."));
        return;
    }
    const QString path = OptionPresets::pathFor(m_screenCode, name); // checks the name
    if (m_mode == Mode::Save && QFileInfo::exists(path)
        && QMessageBox::question(this, windowTitle(),
                                 QStringLiteral("Substituir as opções \"%1\"?").arg(name))
               != QMessageBox::Yes) {
        return;
    }
    m_chosen = name;
    accept();
}

void PresetDialog::removeSelected()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    if (QMessageBox::question(this, windowTitle(),
                              QStringLiteral("Excluir as opções \"%1\"?").arg(name))
        != QMessageBox::Yes)
        return;
    OptionPresets::remove(m_screenCode, name);
    fill();
}

void PresetDialog::markDefault()
{
    const QString name = selectedName();
    OptionPresets::setDefault(m_screenCode,
                              name == OptionPresets::defaultName(m_screenCode) ? QString() : name);
    fill();
}
