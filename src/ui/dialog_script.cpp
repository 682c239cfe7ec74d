#include "ui/dialog_script.h"

#include <memory>
#include <sstream>

#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file_system.h"

namespace kelvra::ui {
namespace {

constexpr std::string_view kAnswerPrefix = "answer:";

std::vector<std::string> Lines(const std::string& contents) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(contents);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Parses `name=value` pairs separated by blanks; values may be quoted.
std::map<std::string, std::string> ParsePairs(std::string_view s) {
    std::map<std::string, std::string> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        const std::size_t eq = s.find('=', i);
        if (eq == std::string_view::npos)
            break;
        const std::string name(s.substr(i, eq - i));
        i = eq + 1;
        std::string value;
        if (i < s.size() && s[i] == '"') {
            for (++i; i < s.size() && s[i] != '"'; ++i) {
                if (s[i] == '\\' && i + 1 < s.size()) {
                    const char c = s[++i];
                    value.push_back(c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c);
                } else {
                    value.push_back(s[i]);
                }
            }
            ++i;  // closing quote
        } else {
            while (i < s.size() && s[i] != ' ')
                value.push_back(s[i++]);
        }
        out[name] = value;
    }
    return out;
}

// "Word rest" -> word and the pairs in rest.
void SplitAnswer(std::string_view s, std::string& word, std::map<std::string, std::string>& pairs) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    const std::size_t sp = s.find(' ');
    word = std::string(s.substr(0, sp));
    pairs = sp == std::string_view::npos ? std::map<std::string, std::string>{}
                                         : ParsePairs(s.substr(sp + 1));
}

bool Offers(MsgButtons buttons, MsgResult r) {
    switch (buttons) {
        case MsgButtons::Ok:
            return r == MsgResult::Ok;
        case MsgButtons::OkCancel:
            return r == MsgResult::Ok || r == MsgResult::Cancel;
        case MsgButtons::YesNo:
            return r == MsgResult::Yes || r == MsgResult::No;
        case MsgButtons::YesNoCancel:
            return r == MsgResult::Yes || r == MsgResult::No || r == MsgResult::Cancel;
        case MsgButtons::RetryCancel:
            return r == MsgResult::Retry || r == MsgResult::Cancel;
        case MsgButtons::AbortRetryIgnore:
            return r == MsgResult::Abort || r == MsgResult::Retry || r == MsgResult::Ignore;
    }
    return false;
}

std::optional<MsgResult> ParseResult(const std::string& word) {
    for (MsgResult r : {MsgResult::Ok, MsgResult::Cancel, MsgResult::Yes, MsgResult::No,
                        MsgResult::Retry, MsgResult::Abort, MsgResult::Ignore}) {
        if (word == ToString(r))
            return r;
    }
    return std::nullopt;
}

}  // namespace

std::string QuoteScriptValue(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out.push_back(c);
        }
    }
    return out + "\"";
}

DialogScript::DialogScript(std::string path) : path_(std::move(path)) {}

std::optional<DialogScript::Answer> DialogScript::NextAnswer() const {
    auto& files = platform::SystemFileSystem();
    const std::string contents = files.FileExists(path_) ? files.ReadFile(path_) : std::string();
    std::vector<Answer> answers;
    std::size_t asked = 0;
    for (const std::string& line : Lines(contents)) {
        if (StartsWith(line, kAnswerPrefix)) {
            Answer a;
            SplitAnswer(std::string_view(line).substr(kAnswerPrefix.size()), a.word, a.values);
            answers.push_back(std::move(a));
        } else if (StartsWith(line, "box:") || StartsWith(line, "prompt:") ||
                   StartsWith(line, "dialog:")) {
            ++asked;
        }
    }
    if (asked < answers.size())
        return answers[asked];
    return std::nullopt;
}

void DialogScript::Append(const std::string& line) {
    platform::SystemFileSystem().AppendFile(path_, line + "\n");
}

MsgResult DialogScript::Show(const MessageBoxRequest& request) {
    MsgResult result = DismissAnswer(request.buttons);
    if (auto answer = NextAnswer()) {
        const auto parsed = ParseResult(answer->word);
        if (!parsed || !Offers(request.buttons, *parsed)) {
            throw Error("Dialog script answer \"" + answer->word + "\" does not fit buttons " +
                        ToString(request.buttons));
        }
        result = *parsed;
    }
    Append("box: caption=" + QuoteScriptValue(request.caption) +
           " text=" + QuoteScriptValue(request.text) + " buttons=" + ToString(request.buttons) +
           " icon=" + ToString(request.icon) + " -> " + ToString(result));
    return result;
}

PromptAnswer DialogScript::Prompt(const PromptRequest& request) {
    PromptAnswer result;
    if (auto answer = NextAnswer()) {
        result.accepted = answer->word == "OK";
        if (result.accepted)
            result.values = answer->values;
    }
    std::string fields;
    for (const std::string& f : request.fields)
        fields += (fields.empty() ? "" : ",") + f;
    std::string line = "prompt: caption=" + QuoteScriptValue(request.caption) +
                       " text=" + QuoteScriptValue(request.text) + " fields=" + fields + " -> " +
                       (result.accepted ? "OK" : "Cancel");
    for (const auto& [name, value] : result.values)
        line += " " + name + "=" + QuoteScriptValue(value);
    Append(line);
    return result;
}

DialogAnswer DialogScript::Dialog(const DialogRequest& request) {
    DialogAnswer result;
    if (auto answer = NextAnswer()) {
        if (answer->word != "OK" && answer->word != "Cancel")
            throw Error("Dialog script answer \"" + answer->word +
                        "\" does not fit a dialog (OK or Cancel)");
        result.ok = answer->word == "OK";
        if (auto it = answer->values.find("choice"); it != answer->values.end())
            result.choice = it->second;
    }
    auto join = [](const std::vector<std::string>& items) {
        std::string out;
        for (const std::string& item : items)
            out += (out.empty() ? "" : ",") + item;
        return out;
    };
    std::string line = "dialog: caption=" + QuoteScriptValue(request.caption) +
                       " text=" + QuoteScriptValue(request.text) +
                       " buttons=" + QuoteScriptValue(join(request.buttons));
    if (!request.choices.empty())
        line += " choices=" + QuoteScriptValue(join(request.choices)) +
                " checked=" + QuoteScriptValue(request.checked);
    line += std::string(" -> ") + (result.ok ? "OK" : "Cancel");
    if (!result.choice.empty())
        line += " choice=" + QuoteScriptValue(result.choice);
    Append(line);
    return result;
}

DialogScript* ActiveDialogScript() {
    static std::unique_ptr<DialogScript> script;
    const auto path = platform::SystemEnvironment().Get("KELVRA_DIALOG_SCRIPT");
    if (!path || path->empty())
        return nullptr;
    if (!script || script->path() != *path)
        script = std::make_unique<DialogScript>(*path);
    return script.get();
}

std::vector<ScriptRecord> ReadScriptRecords(const std::string& file_contents) {
    std::vector<ScriptRecord> records;
    for (const std::string& line : Lines(file_contents)) {
        ScriptRecord r;
        for (const char* kind : {"box", "prompt", "dialog"})
            if (StartsWith(line, std::string(kind) + ":"))
                r.kind = kind;
        if (r.kind.empty())
            continue;
        std::string_view rest = std::string_view(line).substr(r.kind.size() + 1);
        // The answer follows the last " -> " outside quotes; field values are quoted,
        // so the last occurrence is the separator.
        const std::size_t arrow = rest.rfind(" -> ");
        r.fields = ParsePairs(rest.substr(0, arrow));
        if (arrow != std::string_view::npos)
            SplitAnswer(rest.substr(arrow + 4), r.answer, r.answer_values);
        records.push_back(std::move(r));
    }
    return records;
}

}  // namespace kelvra::ui
