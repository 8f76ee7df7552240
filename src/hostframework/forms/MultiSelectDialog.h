#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
class TClientDataSet;

// Modal multi-selection over a data set: a check column (IDMARCADO), the
// visible fields and a filter box. Typing filters (in the list too: the
// text goes on in the box, where a space stays text); Up and Down take the
// focus into the list, where Space toggles the current row; Enter confirms.
// Ctrl+A, Ctrl+D and Ctrl+I (and their buttons) mark all, none, invert. OK
// writes the marks into IDMARCADO and keeps the marked keys in the data
// set's order.
class MultiSelectDialog : public QDialog
{
    Q_OBJECT
public:
    MultiSelectDialog(TClientDataSet *dataSet, const QString &keyField, const QString &title,
                      const QStringList &marked, QWidget *parent = nullptr);

    QStringList MarkedKeys() const; // in the data set's order
    int MarkedCount() const;

    void MarcaTodos();
    void DesmarcaTodos();
    void InverteMarcas();
    void ToggleCurrent();
    void SetFilterText(const QString &text);

    // The list text of the marks; throws EVexError for a key the list form
    // cannot carry (see KeyList).
    QString EncodedList() const;

    void accept() override; // refuses (message, stays open) unencodable marks

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fill(const QStringList &marked);
    void updateCount();
    void writeMarks();

    TClientDataSet *m_dataSet;
    QString m_keyField;
    int m_keyLength = 0;
    QLineEdit *m_filter;
    QTreeWidget *m_view;
    QLabel *m_count;
    QString m_encoded;
};
