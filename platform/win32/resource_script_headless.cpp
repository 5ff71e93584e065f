// Reads the resource-script subset described in resource_script.h. Every
// malformed input ends in a "line N: ..." message, never a crash.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <sstream>

#include "platform/win32/resource_script.h"

namespace headless {
namespace {

// The window-system names a resource script may use, with their values.
const std::map<std::string, long>& KnownConstants() {
    static const std::map<std::string, long> table = {
        {"WS_OVERLAPPED", WS_OVERLAPPED},
        {"WS_POPUP", static_cast<long>(WS_POPUP)},
        {"WS_CHILD", WS_CHILD},
        {"WS_VISIBLE", WS_VISIBLE},
        {"WS_DISABLED", WS_DISABLED},
        {"WS_CAPTION", WS_CAPTION},
        {"WS_BORDER", WS_BORDER},
        {"WS_DLGFRAME", WS_DLGFRAME},
        {"WS_VSCROLL", WS_VSCROLL},
        {"WS_HSCROLL", WS_HSCROLL},
        {"WS_SYSMENU", WS_SYSMENU},
        {"WS_THICKFRAME", WS_THICKFRAME},
        {"WS_GROUP", WS_GROUP},
        {"WS_TABSTOP", WS_TABSTOP},
        {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE},
        {"DS_SETFONT", DS_SETFONT},
        {"DS_MODALFRAME", DS_MODALFRAME},
        {"DS_FIXEDSYS", DS_FIXEDSYS},
        {"DS_CENTER", DS_CENTER},
        {"DS_SHELLFONT", DS_SHELLFONT},
        {"SS_LEFT", SS_LEFT},
        {"SS_CENTER", SS_CENTER},
        {"SS_RIGHT", SS_RIGHT},
        {"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP},
        {"ES_LEFT", ES_LEFT},
        {"ES_MULTILINE", ES_MULTILINE},
        {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
        {"ES_READONLY", ES_READONLY},
        {"BS_PUSHBUTTON", BS_PUSHBUTTON},
        {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
        {"BS_CHECKBOX", BS_CHECKBOX},
        {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
        {"PBS_SMOOTH", PBS_SMOOTH},
        {"IDOK", IDOK},
        {"IDCANCEL", IDCANCEL},
    };
    return table;
}

enum class TokenKind { End, Name, Number, String, Punct };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;  // name, punctuation or the decoded string
    long number = 0;
    int line = 0;
};

// Splits preprocessed text into tokens; decodes string escapes.
class Lexer {
public:
    Lexer(const std::string& text, int firstLine) : text_(text), line_(firstLine) {}

    bool Next(Token* token, std::string* error) {
        SkipSpaceAndComments();
        token->line = line_;
        token->text.clear();
        token->number = 0;
        if (pos_ >= text_.size()) {
            token->kind = TokenKind::End;
            return true;
        }
        const char c = text_[pos_];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t start = pos_;
            while (pos_ < text_.size() &&
                   (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) {
                ++pos_;
            }
            token->kind = TokenKind::Name;
            token->text = text_.substr(start, pos_ - start);
            return true;
        }
        if (std::isdigit(static_cast<unsigned char>(c))) return LexNumber(token, error);
        if (c == '"') return LexString(token, error);
        if (std::string(",|()-+~{}").find(c) != std::string::npos) {
            token->kind = TokenKind::Punct;
            token->text = std::string(1, c);
            ++pos_;
            return true;
        }
        *error = Where() + "unexpected character '" + std::string(1, c) + "'";
        return false;
    }

private:
    std::string Where() const { return "line " + std::to_string(line_) + ": "; }

    void SkipSpaceAndComments() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (text_.compare(pos_, 2, "//") == 0) {
                while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
            } else if (text_.compare(pos_, 2, "/*") == 0) {
                pos_ += 2;
                while (pos_ < text_.size() && text_.compare(pos_, 2, "*/") != 0) {
                    if (text_[pos_] == '\n') ++line_;
                    ++pos_;
                }
                pos_ = pos_ < text_.size() ? pos_ + 2 : pos_;
            } else {
                return;
            }
        }
    }

    bool LexNumber(Token* token, std::string* error) {
        size_t start = pos_;
        int base = 10;
        if (text_.compare(pos_, 2, "0x") == 0 || text_.compare(pos_, 2, "0X") == 0) {
            base = 16;
            pos_ += 2;
        }
        size_t digits = pos_;
        while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_])) &&
               (base == 16 || std::isdigit(static_cast<unsigned char>(text_[pos_])))) {
            ++pos_;
        }
        std::string body = text_.substr(digits, pos_ - digits);
        while (pos_ < text_.size() && std::strchr("LlUu", text_[pos_]) != nullptr) ++pos_;
        if (body.empty() || body.size() > 8 + (base == 10 ? 2 : 0)) {
            *error = Where() + "bad number '" + text_.substr(start, pos_ - start) + "'";
            return false;
        }
        unsigned long long value = std::strtoull(body.c_str(), nullptr, base);
        if (value > 0xFFFFFFFFull) {
            *error = Where() + "number out of range '" + body + "'";
            return false;
        }
        token->kind = TokenKind::Number;
        token->number = static_cast<long>(value);
        return true;
    }

    bool LexString(Token* token, std::string* error) {
        ++pos_;  // opening quote
        std::string out;
        while (true) {
            if (pos_ >= text_.size() || text_[pos_] == '\n') {
                *error = Where() + "unterminated string";
                return false;
            }
            const char c = text_[pos_++];
            if (c == '"') {
                if (pos_ < text_.size() && text_[pos_] == '"') {  // "" stands for one quote
                    out += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                *error = Where() + "unterminated string";
                return false;
            }
            const char e = text_[pos_++];
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'a':
                    out += '\a';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '"':
                    out += '"';
                    break;
                case '0':
                    out += '\0';
                    break;
                default:
                    *error = Where() + "unsupported escape '\\" + std::string(1, e) + "'";
                    return false;
            }
        }
        token->kind = TokenKind::String;
        token->text = out;
        return true;
    }

    const std::string& text_;
    size_t pos_ = 0;
    int line_;
};

// Token stream over one text with the names defined so far.
class Parser {
public:
    Parser(const std::string& text, int firstLine, ResourceTable* table, std::string* error)
        : lexer_(text, firstLine), table_(table), error_(error) {}

    bool Start() { return Advance(); }
    const Token& Peek() const { return token_; }
    bool AtEnd() const { return token_.kind == TokenKind::End; }

    bool Advance() { return lexer_.Next(&token_, error_); }

    bool Fail(const std::string& what) {
        *error_ = "line " + std::to_string(token_.line) + ": " + what;
        return false;
    }

    bool IsPunct(const char* p) const {
        return token_.kind == TokenKind::Punct && token_.text == p;
    }
    bool IsName(const char* n) const { return token_.kind == TokenKind::Name && token_.text == n; }

    bool Expect(const char* p, const char* context) {
        if (!IsPunct(p)) return Fail(std::string("expected '") + p + "' " + context);
        return Advance();
    }

    bool ExpectString(std::string* out, const char* context) {
        if (token_.kind != TokenKind::String)
            return Fail(std::string("expected a string ") + context);
        *out = token_.text;
        return Advance();
    }

    bool Primary(long* value) {
        if (token_.kind == TokenKind::Number) {
            *value = token_.number;
            return Advance();
        }
        if (token_.kind == TokenKind::Name) {
            auto def = table_->defines.find(token_.text);
            if (def != table_->defines.end()) {
                *value = def->second;
                return Advance();
            }
            auto known = KnownConstants().find(token_.text);
            if (known != KnownConstants().end()) {
                *value = known->second;
                return Advance();
            }
            return Fail("unknown name '" + token_.text + "'");
        }
        if (IsPunct("(")) {
            if (!Advance() || !Expression(value)) return false;
            return Expect(")", "to close '('");
        }
        if (IsPunct("-") || IsPunct("~")) {
            const bool negate = IsPunct("-");
            long inner = 0;
            if (!Advance() || !Primary(&inner)) return false;
            *value = negate ? -inner : static_cast<long>(~static_cast<DWORD>(inner));
            return true;
        }
        return Fail("expected a number or a name");
    }

    // Numbers joined by '|', '+' and '-'.
    bool Expression(long* value) {
        if (!Primary(value)) return false;
        while (IsPunct("|") || IsPunct("+") || IsPunct("-")) {
            const char op = token_.text[0];
            long rhs = 0;
            if (!Advance() || !Primary(&rhs)) return false;
            if (op == '|') {
                *value = static_cast<long>(static_cast<DWORD>(*value) | static_cast<DWORD>(rhs));
            } else {
                *value = op == '+' ? *value + rhs : *value - rhs;
            }
        }
        return true;
    }

    // Style terms joined by '|'; "NOT x" clears x from the styles so far.
    bool Style(DWORD base, DWORD* style) {
        *style = base;
        while (true) {
            const bool clear = IsName("NOT");
            if (clear && !Advance()) return false;
            long term = 0;
            if (!Primary(&term)) return false;
            *style =
                clear ? (*style & ~static_cast<DWORD>(term)) : (*style | static_cast<DWORD>(term));
            if (!IsPunct("|")) return true;
            if (!Advance()) return false;
        }
    }

    // A dialog-unit coordinate or size.
    bool Coordinate(int* out, const char* what) {
        long value = 0;
        if (!Expression(&value)) return false;
        if (value < -32768 || value > 32767) return Fail(std::string(what) + " out of range");
        *out = static_cast<int>(value);
        return true;
    }

    bool Comma(const char* context) { return Expect(",", context); }

    ResourceTable* table() { return table_; }

private:
    Lexer lexer_;
    Token token_;
    ResourceTable* table_;
    std::string* error_;
};

bool IsBegin(const Parser& p) {
    return p.IsName("BEGIN") || p.IsPunct("{");
}
bool IsEnd(const Parser& p) {
    return p.IsName("END") || p.IsPunct("}");
}

// x, y, cx, cy of a control or a dialog.
bool ParseRect(Parser& p, int* x, int* y, int* cx, int* cy) {
    return p.Coordinate(x, "x") && p.Comma("after x") && p.Coordinate(y, "y") &&
           p.Comma("after y") && p.Coordinate(cx, "width") && p.Comma("after width") &&
           p.Coordinate(cy, "height");
}

// The optional ", style [, exstyle [, helpid]]" tail of a control. Without a
// style the control gets its defaults; a given style is added to the base
// style of its kind (as the GNU resource compiler does).
bool ParseControlTail(Parser& p, DWORD base, DWORD defaults, ControlTemplate* control) {
    control->style = defaults;
    if (!p.IsPunct(",")) return true;
    if (!p.Advance() || !p.Style(base, &control->style)) return false;
    if (!p.IsPunct(",")) return true;
    long value = 0;
    if (!p.Advance() || !p.Expression(&value)) return false;
    control->exStyle = static_cast<DWORD>(value);
    if (!p.IsPunct(",")) return true;
    return p.Advance() && p.Expression(&value);  // help id, unused
}

bool ParseControlId(Parser& p, ControlTemplate* control) {
    long id = 0;
    if (!p.Expression(&id)) return false;
    control->id = static_cast<int>(id);
    return true;
}

bool ParseControl(Parser& p, ControlTemplate* control) {
    const std::string keyword = p.Peek().text;
    if (p.Peek().kind != TokenKind::Name) return p.Fail("expected a control statement");
    const DWORD child = WS_CHILD | WS_VISIBLE;
    struct Simple {
        const char* keyword;
        const char* className;
        DWORD base;
        DWORD extra;  // added to the base when no style is given
    };
    static const Simple kSimple[] = {
        {"LTEXT", "Static", SS_LEFT, WS_GROUP},
        {"RTEXT", "Static", SS_RIGHT, WS_GROUP},
        {"CTEXT", "Static", SS_CENTER, WS_GROUP},
        {"PUSHBUTTON", "Button", BS_PUSHBUTTON, WS_TABSTOP},
        {"DEFPUSHBUTTON", "Button", BS_DEFPUSHBUTTON, WS_TABSTOP},
        {"AUTOCHECKBOX", "Button", BS_AUTOCHECKBOX, WS_TABSTOP},
    };
    const bool known = keyword == "EDITTEXT" || keyword == "CONTROL" ||
                       std::any_of(std::begin(kSimple), std::end(kSimple),
                                   [&](const Simple& s) { return keyword == s.keyword; });
    if (!known) return p.Fail("unsupported control statement '" + keyword + "'");
    if (!p.Advance()) return false;
    for (const Simple& s : kSimple) {
        if (keyword != s.keyword) continue;
        control->className = s.className;
        return p.ExpectString(&control->text, "as the control text") &&
               p.Comma("after the control text") && ParseControlId(p, control) &&
               p.Comma("after the control id") &&
               ParseRect(p, &control->x, &control->y, &control->cx, &control->cy) &&
               ParseControlTail(p, child | s.base, child | s.base | s.extra, control);
    }
    if (keyword == "EDITTEXT") {
        control->className = "Edit";
        return ParseControlId(p, control) && p.Comma("after the control id") &&
               ParseRect(p, &control->x, &control->y, &control->cx, &control->cy) &&
               ParseControlTail(p, child | ES_LEFT | WS_BORDER | WS_TABSTOP,
                                child | ES_LEFT | WS_BORDER | WS_TABSTOP, control);
    }
    if (keyword == "CONTROL") {
        if (!p.ExpectString(&control->text, "as the control text") ||
            !p.Comma("after the control text") || !ParseControlId(p, control) ||
            !p.Comma("after the control id")) {
            return false;
        }
        if (p.Peek().kind == TokenKind::String || p.Peek().kind == TokenKind::Name) {
            control->className = p.Peek().text;
            if (!p.Advance()) return false;
        } else {
            return p.Fail("expected a control class");
        }
        DWORD style = 0;
        if (!p.Comma("after the control class") || !p.Style(child, &style) ||
            !p.Comma("after the control style") ||
            !ParseRect(p, &control->x, &control->y, &control->cx, &control->cy)) {
            return false;
        }
        control->style = style;
        if (!p.IsPunct(",")) return true;
        long value = 0;
        if (!p.Advance() || !p.Expression(&value)) return false;
        control->exStyle = static_cast<DWORD>(value);
        if (!p.IsPunct(",")) return true;
        return p.Advance() && p.Expression(&value);
    }
    return true;
}

bool ParseDialog(Parser& p, int id, bool extended) {
    DialogTemplate dialog;
    dialog.id = id;
    dialog.extended = extended;
    // Memory options of old scripts carry no meaning here.
    static const std::set<std::string> kMemoryOptions = {
        "DISCARDABLE", "MOVEABLE", "PURE", "PRELOAD", "LOADONCALL", "FIXED", "IMPURE"};
    while (p.Peek().kind == TokenKind::Name && kMemoryOptions.count(p.Peek().text) != 0) {
        if (!p.Advance()) return false;
    }
    if (!ParseRect(p, &dialog.x, &dialog.y, &dialog.cx, &dialog.cy)) return false;
    if (extended && p.IsPunct(",")) {
        long helpId = 0;
        if (!p.Advance() || !p.Expression(&helpId)) return false;
    }
    bool hasStyle = false, hasCaption = false, hasFont = false;
    DWORD style = 0;
    while (!IsBegin(p)) {
        if (p.AtEnd()) return p.Fail("dialog without BEGIN");
        if (p.IsName("STYLE")) {
            if (!p.Advance() || !p.Style(0, &style)) return false;
            hasStyle = true;
        } else if (p.IsName("EXSTYLE")) {
            if (!p.Advance() || !p.Style(0, &dialog.exStyle)) return false;
        } else if (p.IsName("CAPTION")) {
            if (!p.Advance() || !p.ExpectString(&dialog.caption, "after CAPTION")) return false;
            hasCaption = true;
        } else if (p.IsName("FONT")) {
            long size = 0;
            if (!p.Advance() || !p.Expression(&size) || !p.Comma("after the font size") ||
                !p.ExpectString(&dialog.fontName, "as the font name")) {
                return false;
            }
            dialog.fontSize = static_cast<int>(size);
            while (p.IsPunct(",")) {  // weight, italic, charset
                long ignored = 0;
                if (!p.Advance() || !p.Expression(&ignored)) return false;
            }
            hasFont = true;
        } else if (p.IsName("LANGUAGE")) {
            long ignored = 0;
            if (!p.Advance() || !p.Expression(&ignored) || !p.Comma("in LANGUAGE") ||
                !p.Expression(&ignored)) {
                return false;
            }
        } else {
            return p.Fail("unsupported dialog statement '" + p.Peek().text + "'");
        }
    }
    dialog.style = hasStyle ? style : (WS_POPUP | WS_BORDER | WS_SYSMENU);
    if (hasCaption) dialog.style |= WS_CAPTION;
    if (hasFont) dialog.style |= DS_SETFONT;
    if (!p.Advance()) return false;  // BEGIN
    while (!IsEnd(p)) {
        if (p.AtEnd()) return p.Fail("dialog without END");
        ControlTemplate control;
        if (!ParseControl(p, &control)) return false;
        dialog.controls.push_back(control);
    }
    if (p.table()->dialogs.count(id) != 0) {
        return p.Fail("dialog " + std::to_string(id) + " defined twice");
    }
    p.table()->dialogs[id] = dialog;
    return p.Advance();  // END
}

bool ParseStringTable(Parser& p) {
    while (!IsBegin(p)) {
        if (p.AtEnd()) return p.Fail("STRINGTABLE without BEGIN");
        if (!p.Advance()) return false;  // options such as DISCARDABLE
    }
    if (!p.Advance()) return false;
    while (!IsEnd(p)) {
        if (p.AtEnd()) return p.Fail("STRINGTABLE without END");
        long id = 0;
        if (!p.Expression(&id)) return false;
        if (p.IsPunct(",") && !p.Advance()) return false;
        std::string text;
        if (!p.ExpectString(&text, "in the string table")) return false;
        if (id < 0 || id > 0xFFFF) return p.Fail("string id out of range");
        if (p.table()->strings.count(static_cast<int>(id)) != 0) {
            return p.Fail("string " + std::to_string(id) + " defined twice");
        }
        p.table()->strings[static_cast<int>(id)] = text;
    }
    return p.Advance();
}

bool ParseResources(Parser& p) {
    if (!p.Start()) return false;
    while (!p.AtEnd()) {
        if (p.IsName("STRINGTABLE")) {
            if (!p.Advance() || !ParseStringTable(p)) return false;
            continue;
        }
        if (p.IsName("LANGUAGE")) {
            long ignored = 0;
            if (!p.Advance() || !p.Expression(&ignored) || !p.Comma("in LANGUAGE") ||
                !p.Expression(&ignored)) {
                return false;
            }
            continue;
        }
        long id = 0;
        if (!p.Expression(&id)) return false;
        if (p.IsName("DIALOG") || p.IsName("DIALOGEX")) {
            const bool extended = p.IsName("DIALOGEX");
            if (!p.Advance() || !ParseDialog(p, static_cast<int>(id), extended)) return false;
            continue;
        }
        return p.Fail("unsupported resource type '" + p.Peek().text + "'");
    }
    return true;
}

// Handles the preprocessor lines of `text` (#define, #undef, #include,
// #pragma, #ifdef/#ifndef/#else/#endif) and blanks them, so that line numbers
// stay right for the parser.
bool Preprocess(const std::string& text, ResourceTable* table, std::set<std::string>* defined,
                std::string* out, std::string* error) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    std::vector<bool> active;  // one entry per open #if block
    auto isActive = [&]() {
        for (bool a : active) {
            if (!a) return false;
        }
        return true;
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] != '#') {
            *out += isActive() ? line : std::string();
            *out += '\n';
            continue;
        }
        *out += '\n';
        std::istringstream directive(line.substr(first + 1));
        std::string word, name;
        directive >> word >> name;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (word == "ifdef" || word == "ifndef") {
            if (name.empty()) {
                *error = where + "#" + word + " without a name";
                return false;
            }
            const bool isDefined = defined->count(name) != 0 || name == "RC_INVOKED";
            active.push_back(word == "ifdef" ? isDefined : !isDefined);
        } else if (word == "else") {
            if (active.empty()) {
                *error = where + "#else without #ifdef";
                return false;
            }
            active.back() = !active.back();
        } else if (word == "endif") {
            if (active.empty()) {
                *error = where + "#endif without #ifdef";
                return false;
            }
            active.pop_back();
        } else if (!isActive() || word == "include" || word == "pragma") {
            continue;
        } else if (word == "undef") {
            defined->erase(name);
            table->defines.erase(name);
        } else if (word == "define") {
            if (name.empty()) {
                *error = where + "#define without a name";
                return false;
            }
            defined->insert(name);
            std::string rest;
            std::getline(directive, rest);
            if (rest.find_first_not_of(" \t") == std::string::npos) continue;
            std::string valueError;
            Parser value(rest, number, table, &valueError);
            long result = 0;
            if (!value.Start() || !value.Expression(&result)) {
                *error = valueError + " in #define " + name;
                return false;
            }
            if (!value.AtEnd()) {
                *error = where + "unexpected text after the value of #define " + name;
                return false;
            }
            table->defines[name] = result;
        } else {
            *error = where + "unsupported directive #" + word;
            return false;
        }
    }
    if (!active.empty()) {
        *error = "end of text: #ifdef without #endif";
        return false;
    }
    return true;
}

}  // namespace

bool ParseResourceScript(const std::string& script, const std::string& header, ResourceTable* table,
                         std::string* error) {
    std::string ignored;
    if (error == nullptr) error = &ignored;
    *table = ResourceTable();
    std::set<std::string> defined;
    std::string headerBody, scriptBody;
    if (!Preprocess(header, table, &defined, &headerBody, error)) {
        *error = "resource.h: " + *error;
        return false;
    }
    Parser headerParser(headerBody, 1, table, error);
    if (!headerParser.Start()) {
        *error = "resource.h: " + *error;
        return false;
    }
    if (!headerParser.AtEnd()) {
        *error = "resource.h: line " + std::to_string(headerParser.Peek().line) +
                 ": only preprocessor lines are allowed";
        return false;
    }
    if (!Preprocess(script, table, &defined, &scriptBody, error)) return false;
    Parser parser(scriptBody, 1, table, error);
    return ParseResources(parser);
}

}  // namespace headless
