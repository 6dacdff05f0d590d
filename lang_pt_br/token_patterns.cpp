// The stored patterns of Portuguese tokens (numbers, dates, times, money,
// words and abbreviations), compiled into read-only programs while this file
// is compiled.
//
// Sources are ISO-8859-15 byte strings.  Letters outside ASCII are written as
// escapes; PT_LOWER and PT_UPPER are the accented letters of Portuguese:
//   lower: á é í ó ú à â ê ô ã õ ü ç
//   upper: Á É Í Ó Ú À Â Ê Ô Ã Õ Ü Ç
// Other escapes: \xba º, \xaa ª, \xa4 €, \xa3 £, \xa5 ¥, \xe3 ã, \xf5 õ.
#include "lang_pt_br/token_patterns.h"

#include "trees/regex_compile.h"

#define PT_LOWER "\xe1\xe9\xed\xf3\xfa\xe0\xe2\xea\xf4\xe3\xf5\xfc\xe7"
#define PT_UPPER "\xc1\xc9\xcd\xd3\xda\xc0\xc2\xca\xd4\xc3\xd5\xdc\xc7"
#define PT_LETTER "[a-z" PT_LOWER "A-Z" PT_UPPER "]"
#define PT_INTEGER "(0|[1-9][0-9]*|([1-9][0-9]?[0-9]?\\.([0-9][0-9][0-9]\\.)*[0-9][0-9][0-9]))"
#define PT_MONTH "(((0?[1-9])|(1[0-2]))|" PT_LETTER "+|[IVX]+)"
#define PT_DAY "((0?[1-9])|([12][0-9])|3[01])"

STORED_PATTERN(ordinal_pattern, "^" PT_INTEGER "([\xba\xaa]|[oa]s?)$");
STORED_PATTERN(number_pattern, "^([-+]?" PT_INTEGER "(,[0-9]+)?)([eE][-+]?[0-9]+)?$");
STORED_PATTERN(integer_pattern, "^" PT_INTEGER "$");
STORED_PATTERN(digits_pattern, "^[0-9][0-9]*$");
STORED_PATTERN(roman_pattern, "^([IVXLCDM]+|[ivxlcdm]+)$");
STORED_PATTERN(abbreviation_pattern, "^(" PT_LETTER "\\.)+" PT_LETTER "\\.?$");
STORED_PATTERN(word_pattern, "^" PT_LETTER "+([-']" PT_LETTER "+)*$");
STORED_PATTERN(letters_pattern, "^" PT_LETTER "+$");
STORED_PATTERN(time_pattern, "^(([01]?[0-9])|(2[0-4])):([0-5][0-9])([AaPp]\\.?[Mm]\\.?)?$");
STORED_PATTERN(duration_pattern, "^[0-9]+'[0-9]+\"$");
STORED_PATTERN(date_dmy_pattern, "^" PT_DAY "[./-]" PT_MONTH "[./-][12][0-9][0-9][0-9]$");
STORED_PATTERN(date_mdy_pattern, "^" PT_MONTH "[./-]" PT_DAY "[./-][12][0-9][0-9][0-9]$");
STORED_PATTERN(date_ymd_pattern, "^[12][0-9][0-9][0-9][./-]" PT_MONTH "[./-]" PT_DAY "$");
STORED_PATTERN(date_fields_pattern,
               "^(((([0-9][0-9]?[./-])?[0-9][0-9]?[./-])?[0-9][0-9]?[0-9]?[0-9]?)|"
               "([0-9][0-9]?([./-][0-9][0-9]?)?)|"
               "([0-9][0-9]?[0-9]?[0-9]?[./-][0-9][0-9]?([./-][0-9][0-9]?)?))$");
STORED_PATTERN(date_format_pattern, "^((md?y?)|(dm?y?)|(ym?d?))$");
STORED_PATTERN(scale_word_pattern, "^([Mm]il|[MBmb]ilh\xe3o|[MBmb]ilh\xf5" "es)$");
STORED_PATTERN(money_pattern,
               "^([$\xa4\xa3\xa5]|R\\$|USD|EUR|GBP|JPY|BRL)([-+]?" PT_INTEGER "(,[0-9]+)?)$");

#define ROW(name) {#name, name##_source, &name}
const StoredPattern token_patterns[kTokenPatternCount] = {
    ROW(ordinal_pattern), ROW(number_pattern), ROW(integer_pattern),
    ROW(digits_pattern), ROW(roman_pattern), ROW(abbreviation_pattern),
    ROW(word_pattern), ROW(letters_pattern), ROW(time_pattern),
    ROW(duration_pattern), ROW(date_dmy_pattern), ROW(date_mdy_pattern),
    ROW(date_ymd_pattern), ROW(date_fields_pattern), ROW(date_format_pattern),
    ROW(scale_word_pattern), ROW(money_pattern),
};
