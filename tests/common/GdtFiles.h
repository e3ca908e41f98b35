#pragma once
// Building and taking apart GDT records and their files in tests.

#include <string>
#include <vector>

// One GDT line with a correct length field and its CR LF.
std::string L(const std::string& text);

// The record's lines without their CR LF; a last line without one is marked "<no line end>".
std::vector<std::string> LinesOf(const std::string& record);

// One line of a record: its field and what follows the field.
struct GdtRecordLine {
    int field = 0;
    std::string content;
};

// The lines of a result record, taken apart as a practice system reads it. Throws
// std::runtime_error naming the fault when a line's length field does not count the line with
// its CR LF, a line is not "length, field, content", the last line lacks its CR LF, or the record
// length (field 8100, second line) is not the size of the whole record.
std::vector<GdtRecordLine> ParseGdtRecord(const std::string& record);
