#include "bridge/external_handler.h"

#include <array>
#include <cstdlib>
#include <vector>

#include "bridge/app_to_ie_members.h"
#include "platform/text.h"

namespace kelvra::bridge {
namespace {

// A reader for the small, fixed message shape above; anything else is rejected.
class Reader {
  public:
    explicit Reader(std::string_view s) : s_(s) {}

    void Skip() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\t' || s_[i_] == '\r')) {
            ++i_;
        }
    }
    bool Take(char c) {
        Skip();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    void Expect(char c) {
        if (!Take(c))
            throw Error("Malformed external message");
    }
    std::u16string String() {
        Expect('"');
        std::u16string out;
        while (i_ < s_.size() && s_[i_] != '"') {
            if (s_[i_] == '\\') {
                if (++i_ >= s_.size())
                    break;
                const char e = s_[i_++];
                switch (e) {
                    case 'n':
                        out += u'\n';
                        break;
                    case 't':
                        out += u'\t';
                        break;
                    case 'r':
                        out += u'\r';
                        break;
                    case 'b':
                        out += u'\b';
                        break;
                    case 'f':
                        out += u'\f';
                        break;
                    case 'u': {
                        // Surrogate halves arrive as two escapes and pair up in UTF-16.
                        if (i_ + 4 > s_.size())
                            throw Error("Malformed external message");
                        char16_t unit = 0;
                        for (int k = 0; k < 4; ++k) {
                            const char h = s_[i_++];
                            const int digit = h >= '0' && h <= '9'   ? h - '0'
                                              : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                              : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                                     : -1;
                            if (digit < 0)
                                throw Error("Malformed external message");
                            unit = static_cast<char16_t>(unit * 16 + digit);
                        }
                        out += unit;
                        break;
                    }
                    case '"':
                    case '\\':
                    case '/':
                        out += static_cast<char16_t>(e);
                        break;
                    default:
                        throw Error("Malformed external message");
                }
            } else {
                const std::size_t start = i_;
                while (i_ < s_.size() && s_[i_] != '"' && s_[i_] != '\\')
                    ++i_;
                out += text::Utf8ToUtf16(s_.substr(start, i_ - start));
            }
        }
        Expect('"');
        return out;
    }
    void ExpectEnd() {
        Skip();
        if (i_ != s_.size())
            throw Error("Malformed external message");
    }
    long Number() {
        Skip();
        const std::size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-')
            ++i_;
        const std::size_t digits = i_;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9' && i_ - digits < 9)
            ++i_;
        if (digits == i_)
            throw Error("Malformed external message");
        return std::strtol(std::string(s_.substr(start, i_ - start)).c_str(), nullptr, 10);
    }

  private:
    std::string_view s_;
    std::size_t i_ = 0;
};

Variant ReadArg(Reader& r) {
    r.Expect('{');
    long vt = -1;
    std::u16string text;
    if (!r.Take('}')) {
        do {
            const std::u16string key = r.String();
            r.Expect(':');
            if (key == u"vt") {
                vt = r.Number();
            } else if (key == u"text") {
                text = r.String();
            } else {
                throw Error("Malformed external message");
            }
        } while (r.Take(','));
        r.Expect('}');
    }
    switch (vt) {
        case kVtEmpty:
            return Variant();
        case kVtNull:
            return Variant::Null();
        case kVtBstr:
            return Variant::Text(text);
        case kVtI4:
            return Variant::Int(kVtI4, 0);
        case kVtR8:
            return Variant::Real(kVtR8, 0);
        case kVtBool:
            return Variant::Bool(false);
        case kVtDispatch:
            return Variant::Object(kVtDispatch);
        default:
            throw Error("Malformed external message");
    }
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

std::string HandleExternalMessage(std::string_view json) noexcept {
    const MemberOutcome out = GuardMember([&] {
        Reader r(json);
        r.Expect('{');
        std::u16string member;
        std::vector<Variant> args;
        do {
            const std::u16string key = r.String();
            r.Expect(':');
            if (key == u"member") {
                member = r.String();
            } else if (key == u"args") {
                r.Expect('[');
                if (!r.Take(']')) {
                    do {
                        args.push_back(ReadArg(r));
                    } while (r.Take(','));
                    r.Expect(']');
                }
            } else {
                throw Error("Malformed external message");
            }
        } while (r.Take(','));
        r.Expect('}');
        r.ExpectEnd();
        if (!text::EqualsIgnoreCase(member, u"CreateVantle")) {
            throw Error("Unknown name");
        }
        if (args.size() != 6) {
            throw AutomationError("Invalid number of parameters", kDispEBadParamCount);
        }
        std::array<Variant, 6> values;
        for (std::size_t i = 0; i < 6; ++i)
            values[i] = args[i];
        AppToIeMembers::CreateVantle(values);
    });
    if (out.hresult == 0) {
        return "{\"ok\":true}";
    }
    return "{\"ok\":false,\"message\":" + Quote(out.description) + "}";
}

}  // namespace kelvra::bridge
