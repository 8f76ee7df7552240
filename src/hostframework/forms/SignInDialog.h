#pragma once

#include "net/SignInAttempts.h"

#include <QDialog>

class QLabel;
class QLineEdit;

// "Entrar": login and password, and why the last try was refused.
// Enter signs in, Esc gives up.
class SignInDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit SignInDialog(QWidget *parent = nullptr);

    QString login() const;
    QString password() const;
    void setLogin(const QString &login);
    void setMessage(const QString &text);
    QString message() const;

    // The ask function of SignInAttempts over this dialog, one per try; the
    // login typed is offered again on the next try.
    static SignInAttempts::Ask asker(QWidget *parent);

private:
    QLineEdit *m_login;
    QLineEdit *m_password;
    QLabel *m_message;
};
