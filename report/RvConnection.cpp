#include "report/RvConnection.h"

#include "platform/Errors.h"

#include <QScopeGuard>
#include <algorithm>

TRvCustomConnection::TRvCustomConnection(std::string name) : name_(std::move(name)) {}

void TRvCustomConnection::WriteField(const std::string& name, TRvDataType type, int width,
                                     const std::string& fullName, const std::string& description) {
    if (!collectingFields_) {
        Fail("Spalten können nur beim Öffnen angegeben werden");
    }
    if (name.empty()) {
        Fail("eine Spalte hat keinen Namen");
    }
    const bool known = std::any_of(fields_.begin(), fields_.end(),
                                   [&](const TRvField& field) { return field.Name == name; });
    if (known) {
        Fail("die Spalte \"" + name + "\" gibt es zweimal");
    }
    if (width < 1) {
        Fail("die Spalte \"" + name + "\" hat keine Breite");
    }
    fields_.push_back({name, type, width, fullName, description});
}

void TRvCustomConnection::WriteStrData(const std::string& formatted, const std::string& native) {
    if (!collectingRow_) {
        Fail("Werte können nur beim Abholen einer Zeile geliefert werden");
    }
    if (row_.size() == fields_.size()) {
        Fail("eine Zeile hat mehr Werte als die " + std::to_string(fields_.size()) + " Spalten");
    }
    row_.push_back({formatted, native});
}

std::vector<TRvRow> TRvCustomConnection::ReadRows() {
    Open();
    if (OnFirst) {
        OnFirst(*this);
    }
    std::vector<TRvRow> rows;
    while (!AtEnd()) {
        if (rows.size() == MaxRows) {
            Fail("mehr als " + std::to_string(MaxRows) + " Zeilen, das Ende wird nicht erreicht");
        }
        rows.push_back(GetRow());
        if (OnNext) {
            OnNext(*this);
        }
    }
    return rows;
}

void TRvCustomConnection::Open() {
    fields_.clear();
    if (!OnGetCols) {
        Fail("sie gibt keine Spalten an");
    }
    {
        collectingFields_ = true;
        const auto done = qScopeGuard([this] { collectingFields_ = false; });
        OnGetCols(*this);
    }
    if (fields_.empty()) {
        Fail("sie gibt keine Spalten an");
    }
}

bool TRvCustomConnection::AtEnd() {
    if (!OnEOF) {
        Fail("sie sagt nicht, wann ihre Zeilen zu Ende sind");
    }
    bool eof = true;
    OnEOF(*this, eof);
    return eof;
}

TRvRow TRvCustomConnection::GetRow() {
    row_.clear();
    if (OnGetRow) {
        collectingRow_ = true;
        const auto done = qScopeGuard([this] { collectingRow_ = false; });
        OnGetRow(*this);
    }
    if (row_.size() != fields_.size()) {
        Fail("eine Zeile hat " + std::to_string(row_.size()) + " Werte für " +
             std::to_string(fields_.size()) + " Spalten");
    }
    return std::move(row_);
}

void TRvCustomConnection::Fail(const std::string& reason) const {
    throw ReportError("Datenverbindung \"" + name_ + "\": " + reason);
}
