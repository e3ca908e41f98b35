#include "report/TextTemplate.h"

namespace {

bool IsNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

void AppendLiteral(TextTemplate& pieces, std::string_view text) {
    if (text.empty()) {
        return;
    }
    if (!pieces.empty() && pieces.back().kind == TextPiece::Literal) {
        pieces.back().text += text;
        return;
    }
    pieces.push_back({TextPiece::Literal, std::string(text)});
}

// The placeholder that starts after the "{" at position open; its end in end.
std::optional<TextPiece> ParsePlaceholder(std::string_view text, size_t open, size_t& end,
                                          std::string& error) {
    const size_t close = text.find('}', open + 1);
    if (close == std::string_view::npos) {
        error = "\"{\" ohne \"}\"; für eine geschweifte Klammer \"{{\" schreiben";
        return std::nullopt;
    }
    std::string_view name = text.substr(open + 1, close - open - 1);
    TextPiece piece{TextPiece::Column, ""};
    if (!name.empty() && name.front() == '$') {
        piece.kind = TextPiece::Param;
        name.remove_prefix(1);
    }
    if (name.empty()) {
        error = "Platzhalter ohne Namen";
        return std::nullopt;
    }
    for (char c : name) {
        if (!IsNameCharacter(c)) {
            error = "Platzhalter \"{" + std::string(text.substr(open + 1, close - open - 1)) +
                    "}\": Namen bestehen aus Buchstaben A-Z, Ziffern und \"_\"";
            return std::nullopt;
        }
    }
    piece.text = std::string(name);
    end = close + 1;
    return piece;
}

const std::string* Lookup(const std::map<std::string, std::string>* values,
                          const std::string& name) {
    if (!values) {
        return nullptr;
    }
    const auto found = values->find(name);
    return found == values->end() ? nullptr : &found->second;
}

} // namespace

TemplateParse ParseTextTemplate(std::string_view text) {
    TemplateParse result;
    size_t position = 0;
    while (position < text.size()) {
        const size_t brace = text.find_first_of("{}", position);
        if (brace == std::string_view::npos) {
            AppendLiteral(result.pieces, text.substr(position));
            break;
        }
        AppendLiteral(result.pieces, text.substr(position, brace - position));
        const bool doubled = brace + 1 < text.size() && text[brace + 1] == text[brace];
        if (doubled) {
            AppendLiteral(result.pieces, text.substr(brace, 1));
            position = brace + 2;
            continue;
        }
        if (text[brace] == '}') {
            result.error = "\"}\" ohne \"{\"; für eine geschweifte Klammer \"}}\" schreiben";
            result.pieces.clear();
            return result;
        }
        std::optional<TextPiece> placeholder =
            ParsePlaceholder(text, brace, position, result.error);
        if (!placeholder) {
            result.pieces.clear();
            return result;
        }
        result.pieces.push_back(std::move(*placeholder));
    }
    return result;
}

std::string ExpandTextTemplate(const TextTemplate& text, const TemplateValues& values,
                               std::optional<TextPiece>* missing) {
    std::string filled;
    for (const TextPiece& piece : text) {
        if (piece.kind == TextPiece::Literal) {
            filled += piece.text;
            continue;
        }
        const std::string* value =
            Lookup(piece.kind == TextPiece::Column ? values.columns : values.params, piece.text);
        if (value) {
            filled += *value;
        } else if (missing && !*missing) {
            *missing = piece;
        }
    }
    return filled;
}
