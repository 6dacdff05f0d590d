// Number word tables (ISO-8859-15).  Escapes: \xea ê, \xe9 é, \xe3 ã,
// \xf5 õ, \xed í.
#include "lang_pt_br/numbers.h"

const NumberWord number_units[20] = {
    {"zero", "zer"},
    {"um", "primeir"},
    {"dois", "segund"},
    {"tr\xeas", "terceir"},  // três
    {"quatro", "quart"},
    {"cinco", "quint"},
    {"seis", "sext"},
    {"sete", "s\xe9tim"},  // sétim
    {"oito", "oitav"},
    {"nove", "non"},
    {"dez", "d\xe9" "cim"},  // décim
    {"onze", "d\xe9" "cimo-primeir"},
    {"doze", "d\xe9" "cimo-segund"},
    {"treze", "d\xe9" "cimo-terceir"},
    {"catorze", "d\xe9" "cimo-quart"},
    {"quinze", "d\xe9" "cimo-quint"},
    {"dezesseis", "d\xe9" "cimo-sext"},
    {"dezessete", "d\xe9" "cimo-s\xe9tim"},
    {"dezoito", "d\xe9" "cimo-oitav"},
    {"dezenove", "d\xe9" "cimo-non"},
};

// Indexed by the tens digit; 0 and 1 are not used.
const NumberWord number_tens[10] = {
    {"", ""},
    {"", ""},
    {"vinte", "vig\xe9sim"},            // vigésim
    {"trinta", "trig\xe9sim"},          // trigésim
    {"quarenta", "quadrag\xe9sim"},     // quadragésim
    {"cinquenta", "quinquag\xe9sim"},   // quinquagésim
    {"sessenta", "sexag\xe9sim"},       // sexagésim
    {"setenta", "septuag\xe9sim"},      // septuagésim
    {"oitenta", "octog\xe9sim"},        // octogésim
    {"noventa", "nonag\xe9sim"},        // nonagésim
};

// Indexed by the hundreds digit; 0 is not used.
const NumberWord number_hundreds[10] = {
    {"", ""},
    {"cento", "cent\xe9sim"},                // centésim
    {"duzentos", "ducent\xe9sim"},           // ducentésim
    {"trezentos", "trecent\xe9sim"},         // trecentésim
    {"quatrocentos", "quadringent\xe9sim"},  // quadringentésim
    {"quinhentos", "quingent\xe9sim"},       // quingentésim
    {"seiscentos", "seiscent\xe9sim"},       // seiscentésim
    {"setecentos", "septingent\xe9sim"},     // septingentésim
    {"oitocentos", "octingent\xe9sim"},      // octingentésim
    {"novecentos", "nongent\xe9sim"},        // nongentésim
};

const NumberWord number_hundred_exact = {"cem", "cent\xe9sim"};
const NumberWord number_thousand = {"mil", "mil\xe9sim"};               // milésim
const NumberWord number_million = {"milh\xe3o", "milion\xe9sim"};       // milhão, milionésim
const NumberWord number_millions = {"milh\xf5" "es", "milion\xe9sim"};  // milhões
const NumberWord number_billion = {"bilh\xe3o", "bilion\xe9sim"};       // bilhão, bilionésim
const NumberWord number_billions = {"bilh\xf5" "es", "bilion\xe9sim"};  // bilhões
