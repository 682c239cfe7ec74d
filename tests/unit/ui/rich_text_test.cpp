// Rich text reduced to plain text, with the platform's own code-page conversion (iconv on
// Linux, MultiByteToWideChar under Wine).
#include <gtest/gtest.h>

#include <string>

#include "ui/rich_text.h"

namespace kelvra::ui {
namespace {

struct Case {
    const char* name;
    std::string rtf;
    std::string plain;
};

// A document as a word processor writes it: tables, generator, view settings.
const char kWordPad[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 "
    "Calibri;}{\\f1\\fswiss Arial;}}\r\n"
    "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
    "{\\stylesheet{\\s0 Normal;}}{\\info{\\title Notes}{\\author Staff}}\r\n"
    "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n"
    "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22\\lang9 Release \\b notes\\b0\\par\r\n"
    "Line two\\line next\\tab end\\par\r\n"
    "}\r\n";

class RichText : public ::testing::TestWithParam<Case> {};

TEST_P(RichText, GivesTheVisibleText) {
    EXPECT_EQ(RichTextToPlain(GetParam().rtf), GetParam().plain);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, RichText,
    ::testing::Values(
        Case{"word_processor_document", kWordPad, "Release notes\nLine two\nnext\tend\n"},
        Case{"escaped_braces_and_backslash", "{\\rtf1 a\\\\b\\{c\\}}", "a\\b{c}"},
        Case{"source_line_breaks_are_not_text", "{\\rtf1 a\r\nb\rc\nd}", "abcd"},
        Case{"backslash_line_break_is_a_paragraph", "{\\rtf1 a\\\nb}", "a\nb"},
        Case{"delimiting_space_is_part_of_the_word", "{\\rtf1\\b  bold\\b0 x}", " boldx"},
        Case{"hidden_destinations", "{\\rtf1 a{\\*\\unknown hidden}b{\\pict\\wmetafile8 0102}c}",
             "abc"},
        Case{"field_shows_its_result",
             "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}}", "link"},
        Case{"binary_data_with_braces_skipped", "{\\rtf1 a{\\*\\blob\\bin3 }}}}b}", "ab"},
        Case{"symbols",
             "{\\rtf1 a\\~b\\emdash c\\-d\\_e\\lquote f\\rquote\\ldblquote g\\rdblquote\\bullet}",
             "a\u00A0b\u2014cd\u2011e\u2018f\u2019\u201Cg\u201D\u2022"},
        Case{"table_cells_and_rows", "{\\rtf1 \\trowd a\\cell b\\cell\\row c}", "a\tb\t\nc"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    CodePages, RichText,
    ::testing::Values(
        // 0x80 is the euro sign in 1252 only (ISO-8859-1 has a control character there).
        Case{"default_is_1252", "{\\rtf1\\ansi caf\\'e9 \\'80}", "caf\u00E9 \u20AC"},
        Case{"explicit_1252", "{\\rtf1\\ansi\\ansicpg1252 \\'fcber}", "\u00FCber"},
        Case{"double_byte_936", "{\\rtf1\\ansi\\ansicpg936 \\'c4\\'e3\\'ba\\'c3\\par}",
             "\u4F60\u597D\n"},
        Case{"cyrillic_1251", "{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}", "\u041F\u0440\u0438"},
        Case{"raw_8bit_bytes_in_the_code_page", "{\\rtf1\\ansi\\ansicpg1252 na\xEFve}",
             "na\u00EFve"},
        Case{"unknown_code_page_reads_as_1252", "{\\rtf1\\ansi\\ansicpg99999 \\'e9}", "\u00E9"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Unicode, RichText,
    ::testing::Values(Case{"fallback_skipped", "{\\rtf1 caf\\u233?s}", "caf\u00E9s"},
                      Case{"fallback_of_two_hex_escapes",
                           "{\\rtf1\\ansicpg936\\uc2 \\u20320\\'c4\\'e3\\u22909\\'ba\\'c3}",
                           "\u4F60\u597D"},
                      Case{"no_fallback", "{\\rtf1\\uc0\\u233 x}", "\u00E9x"},
                      Case{"negative_numbers_form_a_surrogate_pair", "{\\rtf1 \\u-10179?\\u-8704?}",
                           "\U0001F600"},
                      Case{"skip_count_belongs_to_its_group",
                           "{\\rtf1\\uc1{\\uc3\\u233 abc}\\u233 ?d}", "\u00E9\u00E9d"},
                      Case{"fallback_ends_at_a_group_end", "{\\rtf1{\\uc5\\u233 a}b}", "\u00E9b"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Malformed, RichText,
    ::testing::Values(Case{"extra_closing_braces", "{\\rtf1 {a}}}}b", "ab"},
                      Case{"unclosed_groups", "{\\rtf1 {{a", "a"},
                      Case{"escape_cut_after_quote", "{\\rtf1 x\\'", "x"},
                      Case{"escape_cut_after_one_digit", "{\\rtf1 x\\'4", "x"},
                      Case{"escape_with_bad_digit", "{\\rtf1 x\\'4g}", "xg"},
                      Case{"lone_backslash_at_end", "{\\rtf1 x\\", "x"},
                      Case{"word_cut_at_end", "{\\rtf1 x\\par", "x\n"},
                      Case{"binary_length_past_the_end", "{\\rtf1 x\\bin999999 abc", "x"},
                      Case{"huge_numbers_clamped",
                           "{\\rtf1{\\uc99999999999999999999\\u233 abc}d\\u99999999999999 }",
                           "\u00E9d"},
                      Case{"nul_bytes_dropped", std::string("{\\rtf1 a\0b}", 11), "ab"},
                      Case{"not_rich_text_at_all", "plain words", "plain words"},
                      Case{"empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Nesting far deeper than any document: the state of hidden groups is still restored
// exactly when they close.
TEST(RichTextNesting, DeepGroupsCloseBackToTheVisibleText) {
    const int depth = 200000;
    std::string rtf = "{\\rtf1 a{\\*\\hidden ";
    rtf += std::string(depth, '{') + "x" + std::string(depth, '}');
    rtf += "y}b}";
    EXPECT_EQ(RichTextToPlain(rtf), "ab");
}

}  // namespace
}  // namespace kelvra::ui
