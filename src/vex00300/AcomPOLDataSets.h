#pragma once

#include "TFieldType.h"

#include <QList>
#include <QString>

class TClientDataSet;

// Design-time field lists of the tracking window's four data sets and of
// the filter dialog's lookup data sets.
// Widget-free so the declarations can be checked without a window.
namespace AcomPOLDataSets {

struct FieldDef
{
    const char *column;
    TFieldType type;
    int size;            // strings only
    const char *label;   // UTF-8; nullptr: the column name serves
    const char *format;  // display format of floats, or nullptr
    const char *mask;    // edit mask, or nullptr
    bool hidden;
    int displayWidth;    // 0: from type and size
};

QList<FieldDef> filialFields();
QList<FieldDef> soliFields();
QList<FieldDef> prodFields();
QList<FieldDef> prodOLFields();

// The filter dialog's lookups.
QList<FieldDef> filiOLFields();      // cdsFiliOL
QList<FieldDef> vdFiliOLFields();    // cdsVdFiliOL
QList<FieldDef> pesqFilialFields();  // the dialog's cdsFilial
QList<FieldDef> consolidacaoFields(); // cdsConsolidacao

// Adds the fields in declaration order.
void declareFields(TClientDataSet &dataSet, const QList<FieldDef> &fields);

} // namespace AcomPOLDataSets
