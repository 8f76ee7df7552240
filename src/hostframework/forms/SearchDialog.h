#pragma once

#include "RecordSearch.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLineEdit;
class QRadioButton;
class TClientDataSet;

// The search window: a field (the visible ones, by label, or all), a text,
// "Contém" / "Começa com", Next (F3) and Previous (Shift+F3) wrapping round.
// A match moves the data set's cursor (after-scroll fires); no match says
// "Não encontrado.". It stays open for the next search.
class SearchDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SearchDialog(TClientDataSet *dataSet, QWidget *parent = nullptr);

    void SetText(const QString &text);
    void SetFieldName(const QString &fieldName); // "" all visible fields
    void SetMode(RecordSearch::TSearchMode mode);

    // One search from the cursor; true when the cursor moved to a match.
    bool FindNext();
    bool FindPrevious();

private:
    bool find(RecordSearch::TSearchDirection direction);

    QPointer<TClientDataSet> m_dataSet;
    QComboBox *m_field;
    QLineEdit *m_text;
    QRadioButton *m_contains;
    QRadioButton *m_startsWith;
};
