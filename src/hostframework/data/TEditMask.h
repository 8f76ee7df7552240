#pragma once

#include <QChar>
#include <QString>

// Classic edit mask: "picture;keepLiterals;blank", e.g. "99.99.9999;0;_" or
// ">aaaa;0; ". Picture characters: '>' upper case from here, '<' lower case,
// '0' required digit, '9' optional digit, 'a' optional letter or digit,
// 'A' required letter or digit, 'l'/'L' letter, 'c'/'C' any character,
// '\\' next character literal; anything else is a literal.
class TEditMask
{
public:
    TEditMask() = default;
    explicit TEditMask(const QString &mask);

    bool isEmpty() const;
    QString mask() const;
    bool keepsLiterals() const;
    QChar blank() const;

    // Value as stored (literals not kept) laid into the picture, as the
    // display text of a masked field shows it.
    QString format(const QString &rawValue) const;
    // Text typed into a masked edit back to the stored value.
    QString strip(const QString &maskedText) const;
    // Equivalent QLineEdit::setInputMask() text.
    QString toInputMask() const;

private:
    QString m_mask;
    QString m_picture;
    bool m_keepLiterals = true;
    QChar m_blank = QLatin1Char('_');
};
