#pragma once

#include <QPointer>
#include <QToolButton>

#include <functional>

class TClientDataSet;
class TDataLink;
class TDataSource;

enum class TPesqType { ptLista, ptArvore };

// Lookup button beside an entry: a pick list over its data source's
// visible fields. A click, or F2 / Alt+Down in the associated edit, runs
// OnBeforePesq, then (rows present) the modal pick list; a pick moves the
// data source's cursor to the row and runs OnAfterPesq. An empty data set
// shows EmptyError through the error display. With OnClick set, a click runs
// OnClick alone (the list buttons of the multi-selections).
class TBtnPesquisa : public QToolButton
{
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget *parent = nullptr);
    ~TBtnPesquisa() override;

    QString Hint() const { return toolTip(); } // "Pesquisar"

    QWidget *Associate() const { return m_associate; }
    void SetAssociate(QWidget *widget);
    QString Title() const { return m_title; }
    void SetTitle(const QString &title) { m_title = title; }
    TDataSource *DataSource() const;
    void SetDataSource(TDataSource *source);
    QString FieldCodigo() const { return m_fieldCodigo; }
    void SetFieldCodigo(const QString &name) { m_fieldCodigo = name; }
    QString FieldNome() const { return m_fieldNome; }
    void SetFieldNome(const QString &name) { m_fieldNome = name; }
    TPesqType PesqType() const { return m_pesqType; }
    void SetPesqType(TPesqType type) { m_pesqType = type; }
    // Open the list on the code already typed in the associated edit.
    bool PesqChave() const { return m_pesqChave; }
    void SetPesqChave(bool on) { m_pesqChave = on; }
    QString EmptyError() const { return m_emptyError; }
    void SetEmptyError(const QString &text) { m_emptyError = text; }

    std::function<void(TBtnPesquisa *sender)> OnClick;
    // proceed starts true; false skips the list.
    std::function<void(TBtnPesquisa *sender, bool &proceed)> OnBeforePesq;
    std::function<void(TBtnPesquisa *sender)> OnAfterPesq;

    // What a click does (through SafeCall).
    void Click();
    // The search alone: before event, list, pick, after event; true when a
    // row was picked. Throws what the events throw.
    bool Pesquisa();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int pickRow(TClientDataSet *dataSet);
    int rowOfTypedCode(TClientDataSet *dataSet) const;
    QString typedCode() const;

    QPointer<QWidget> m_associate;
    TDataLink *m_link;
    QString m_title;
    QString m_fieldCodigo;
    QString m_fieldNome;
    QString m_emptyError;
    TPesqType m_pesqType = TPesqType::ptLista;
    bool m_pesqChave = false;
};
