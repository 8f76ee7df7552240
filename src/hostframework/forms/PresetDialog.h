#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QCheckBox;
class QLineEdit;
class QVBoxLayout;
class QListWidget;
class QPushButton;

// Chooses a named set of a filter's options: to save under (a new name, or
// an existing one, which is replaced only after asking), or to load, with
// deleting and marking the set the dialog starts with. Chosen() is the name
// once the dialog is accepted.
class PresetDialog final : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Save, Load };
    PresetDialog(Mode mode, const QString &screenCode, const QString &current,
                 QWidget *parent = nullptr);

    QString Chosen() const { return m_chosen; }

    // Saving: a date range the set may keep as days from the day of use;
    // `span` tells its days from today ("de hoje −7 a hoje +30"), empty
    // for a range not wholly filled, which is kept as it is.
    struct RelativeRange
    {
        QString key;
        QString caption;
        QString span;
        bool relative = false;
    };
    void SetRelativeRanges(const QList<RelativeRange> &ranges);
    QStringList RelativeKeys() const; // of the ranges chosen relative

private:
    void fill();
    void confirm();
    void removeSelected();
    void markDefault();
    QString selectedName() const;

    Mode m_mode;
    QString m_screenCode;
    QString m_chosen;
    QListWidget *m_list;
    QLineEdit *m_name = nullptr;
    QPushButton *m_default = nullptr;
    QVBoxLayout *m_relativeBox = nullptr;
    QList<std::pair<QString, QCheckBox *>> m_relative;
};
