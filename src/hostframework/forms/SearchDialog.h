#pragma once

#include "RecordSearch.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLineEdit;
class QRadioButton;
class TClientDataSet;

// The search window: a column (by its title, or all of them), a text,
// "Contém" / "Começa com", Next (F3) and Previous (Shift+F3) wrapping round.
// A match moves the data set's cursor (after-scroll fires); no match says
// "Não encontrado.". It stays open for the next search.
class SearchDialog : public QDialog
{
    Q_OBJECT
public:
    struct Column
    {
        QString title;
        QString fieldName;
    };

    // The columns offered are the fields whose own flag is visible.
    explicit SearchDialog(TClientDataSet *dataSet, QWidget *parent = nullptr);
    // The columns a grid shows, in its order; currentField is chosen first.
    SearchDialog(TClientDataSet *dataSet, const QList<Column> &columns,
                 const QString &currentField, QWidget *parent = nullptr);

    void SetText(const QString &text);
    void SetFieldName(const QString &fieldName); // "" all the columns offered
    void SetMode(RecordSearch::TSearchMode mode);

    // One search from the cursor; true when the cursor moved to a match.
    bool FindNext();
    bool FindPrevious();

private:
    void build(const QList<Column> &columns);
    bool find(RecordSearch::TSearchDirection direction);

    QPointer<TClientDataSet> m_dataSet;
    QStringList m_fieldNames;
    QComboBox *m_field;
    QLineEdit *m_text;
    QRadioButton *m_contains;
    QRadioButton *m_startsWith;
};
