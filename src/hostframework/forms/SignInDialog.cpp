#include "SignInDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

SignInDialog::SignInDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEntrar"));
    setWindowTitle(QStringLiteral("Entrar"));
    m_login = new QLineEdit(this);
    m_login->setObjectName(QStringLiteral("edtUsuario"));
    m_login->setMaxLength(64);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("edtSenha"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(256);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("lblMensagem"));
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_message->hide();

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Usuário"), m_login);
    form->addRow(QStringLiteral("&Senha"), m_password);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
    setMinimumWidth(340);
    m_login->setFocus();
}

QString SignInDialog::login() const
{
    return m_login->text().trimmed();
}

QString SignInDialog::password() const
{
    return m_password->text();
}

void SignInDialog::setLogin(const QString &login)
{
    m_login->setText(login);
    (login.isEmpty() ? m_login : m_password)->setFocus();
}

void SignInDialog::setMessage(const QString &text)
{
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

QString SignInDialog::message() const
{
    return m_message->text();
}

SignInAttempts::Ask SignInDialog::asker(QWidget *parent)
{
    auto lastLogin = std::make_shared<QString>();
    return [parent = QPointer<QWidget>(parent),
            lastLogin](const QString &message, QString *login, QString *password) {
        SignInDialog dialog(parent);
        dialog.setLogin(*lastLogin);
        dialog.setMessage(message);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        *login = *lastLogin = dialog.login();
        *password = dialog.password();
        return true;
    };
}
