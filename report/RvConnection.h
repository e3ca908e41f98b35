#pragma once
// TRvCustomConnection: a data connection whose columns and rows come from the program's event
// handlers. The engine opens it for every run of a report and pulls its rows.

#include <functional>
#include <string>
#include <vector>

enum TRvDataType { dtString, dtInteger, dtFloat, dtBoolean, dtDate, dtTime, dtDateTime };

struct TRvField {
    std::string Name;
    TRvDataType Type = dtString;
    int Width = 0;
    std::string FullName;
    std::string Description;
};

// One value of a row: the formatted text, and the native text used when that is empty.
struct TRvValue {
    std::string Formatted;
    std::string Native;

    const std::string& Shown() const { return Formatted.empty() ? Native : Formatted; }
};

using TRvRow = std::vector<TRvValue>;

class TRvCustomConnection {
public:
    using Event = std::function<void(TRvCustomConnection& connection)>;
    using EofEvent = std::function<void(TRvCustomConnection& connection, bool& eof)>;

    explicit TRvCustomConnection(std::string name);

    const std::string& Name() const { return name_; }

    // Declares the columns with WriteField; asked each time the connection is opened.
    Event OnGetCols;
    // Moves to the first row; without a handler the rows start where the connection stands.
    Event OnFirst;
    // Says whether the end is reached.
    EofEvent OnEOF;
    // Delivers the current row with one WriteStrData per column, in column order.
    Event OnGetRow;
    // Advances to the next row.
    Event OnNext;

    // For OnGetCols.
    void WriteField(const std::string& name, TRvDataType type, int width,
                    const std::string& fullName, const std::string& description);
    // For OnGetRow.
    void WriteStrData(const std::string& formatted, const std::string& native);

    // The engine's side. Every row, pulled through the events from a fresh opening; throws
    // ReportError when the handlers break the protocol (no columns, a wrong number of values,
    // no end in sight).
    std::vector<TRvRow> ReadRows();
    // The columns declared by the last opening.
    const std::vector<TRvField>& Fields() const { return fields_; }

    // More rows than this are taken for a connection that never reaches its end.
    static constexpr size_t MaxRows = 10000;

private:
    void Open();
    bool AtEnd();
    TRvRow GetRow();
    [[noreturn]] void Fail(const std::string& reason) const;

    std::string name_;
    std::vector<TRvField> fields_;
    TRvRow row_;
    bool collectingFields_ = false;
    bool collectingRow_ = false;
};
