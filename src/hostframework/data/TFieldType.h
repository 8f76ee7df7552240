#pragma once

// Field and column types shared by the data sets, the data packet and the wire.
enum class TFieldType {
    ftString,    // variable length, at most Size characters
    ftFixedChar, // fixed length string
    ftFloat,     // double
    ftDateTime,  // OLE day count (days since 1899-12-30, fraction = time of day)
    ftInteger,   // 64-bit integer
};

enum class TDataSetState { dsInactive, dsBrowse };
