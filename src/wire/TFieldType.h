#pragma once

// Column types of a data packet, and so of the data sets' fields.
enum class TFieldType {
    ftString,    // variable length, at most Size characters
    ftFixedChar, // fixed length string
    ftFloat,     // double
    ftDateTime,  // OLE day count (days since 1899-12-30, fraction = time of day)
    ftInteger,   // 64-bit integer
};

// Both string kinds: sized in characters, compared and exported as text.
inline bool isStringType(TFieldType type)
{
    return type == TFieldType::ftString || type == TFieldType::ftFixedChar;
}
