#pragma once
// Texts of a report layout with placeholders: "{Systole}" takes the column of the data row,
// "{$MeasuredAt}" a report parameter; "{{" and "}}" stand for the braces themselves.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TextPiece {
    enum Kind { Literal, Column, Param };
    Kind kind = Literal;
    // The literal text, or the name of the column or parameter.
    std::string text;

    bool operator==(const TextPiece&) const = default;
};

using TextTemplate = std::vector<TextPiece>;

// The pieces of a template text; nothing and the reason (German) when a brace is misplaced or a
// name is empty or holds other characters than letters, digits and "_".
struct TemplateParse {
    TextTemplate pieces;
    std::string error;
};
TemplateParse ParseTextTemplate(std::string_view text);

// The values a template is filled from: the texts of one data row by column name, the parameters
// by name.
struct TemplateValues {
    const std::map<std::string, std::string>* columns = nullptr;
    const std::map<std::string, std::string>* params = nullptr;
};

// The filled text. A name that has no value is returned in missing and its place stays empty.
std::string ExpandTextTemplate(const TextTemplate& text, const TemplateValues& values,
                               std::optional<TextPiece>* missing = nullptr);
