// Names of the 256 ISO-8859-15 bytes in Brazilian Portuguese.  Non-ASCII
// bytes are written as escapes; each line's comment gives the character and
// its name readably.
#include "lang_pt_br/letters.h"

const char* const character_names[256] = {
    "",  // 0x00
    "",  // 0x01
    "",  // 0x02
    "",  // 0x03
    "",  // 0x04
    "",  // 0x05
    "",  // 0x06
    "",  // 0x07
    "",  // 0x08
    "",  // 0x09
    "",  // 0x0A
    "",  // 0x0B
    "",  // 0x0C
    "",  // 0x0D
    "",  // 0x0E
    "",  // 0x0F
    "",  // 0x10
    "",  // 0x11
    "",  // 0x12
    "",  // 0x13
    "",  // 0x14
    "",  // 0x15
    "",  // 0x16
    "",  // 0x17
    "",  // 0x18
    "",  // 0x19
    "",  // 0x1A
    "",  // 0x1B
    "",  // 0x1C
    "",  // 0x1D
    "",  // 0x1E
    "",  // 0x1F
    "espa\xe7o",  // 0x20 space: espaço
    "ponto de exclama\xe7\xe3o",  // 0x21 !: ponto de exclamação
    "aspas",  // 0x22 ": aspas
    "n\xfamero",  // 0x23 #: número
    "d\xf3lar",  // 0x24 $: dólar
    "porcento",  // 0x25 %: porcento
    "e",  // 0x26 &: e
    "ap\xf3strofo",  // 0x27 ': apóstrofo
    "abre par\xeanteses",  // 0x28 (: abre parênteses
    "fecha par\xeanteses",  // 0x29 ): fecha parênteses
    "asteriso",  // 0x2A *: asteriso
    "mais",  // 0x2B +: mais
    "v\xedrgula",  // 0x2C ,: vírgula
    "tra\xe7o",  // 0x2D -: traço
    "ponto",  // 0x2E .: ponto
    "barra",  // 0x2F /: barra
    "zero",  // 0x30 0: zero
    "um",  // 0x31 1: um
    "dois",  // 0x32 2: dois
    "tr\xeas",  // 0x33 3: três
    "quatro",  // 0x34 4: quatro
    "cinco",  // 0x35 5: cinco
    "seis",  // 0x36 6: seis
    "sete",  // 0x37 7: sete
    "oito",  // 0x38 8: oito
    "nove",  // 0x39 9: nove
    "dois pontos",  // 0x3A :: dois pontos
    "ponto e v\xedrgula",  // 0x3B ;: ponto e vírgula
    "menor",  // 0x3C <: menor
    "igual",  // 0x3D =: igual
    "maior",  // 0x3E >: maior
    "ponto de interroga\xe7\xe3o",  // 0x3F ?: ponto de interrogação
    "arroba",  // 0x40 @: arroba
    "\xe1",  // 0x41 A: á
    "b\xea",  // 0x42 B: bê
    "c\xea",  // 0x43 C: cê
    "d\xea",  // 0x44 D: dê
    "\xe9",  // 0x45 E: é
    "\xe9" "fe",  // 0x46 F: éfe
    "g\xea",  // 0x47 G: gê
    "ag\xe1",  // 0x48 H: agá
    "i",  // 0x49 I: i
    "jota",  // 0x4A J: jota
    "c\xe1",  // 0x4B K: cá
    "ele",  // 0x4C L: ele
    "\xe9me",  // 0x4D M: éme
    "\xe9ne",  // 0x4E N: éne
    "\xf3",  // 0x4F O: ó
    "p\xea",  // 0x50 P: pê
    "qu\xea",  // 0x51 Q: quê
    "\xe9rre",  // 0x52 R: érre
    "\xe9sse",  // 0x53 S: ésse
    "t\xea",  // 0x54 T: tê
    "u",  // 0x55 U: u
    "v\xea",  // 0x56 V: vê
    "d\xe1" "bliu",  // 0x57 W: dábliu
    "xis",  // 0x58 X: xis
    "\xedpsilon",  // 0x59 Y: ípsilon
    "z\xea",  // 0x5A Z: zê
    "abre colchetes",  // 0x5B [: abre colchetes
    "barra inversa",  // 0x5C \: barra inversa
    "fecha colchetes",  // 0x5D ]: fecha colchetes
    "circunflexo",  // 0x5E ^: circunflexo
    "sublinhado",  // 0x5F _: sublinhado
    "acento grave",  // 0x60 `: acento grave
    "\xe1",  // 0x61 a: á
    "b\xea",  // 0x62 b: bê
    "c\xea",  // 0x63 c: cê
    "d\xea",  // 0x64 d: dê
    "\xe9",  // 0x65 e: é
    "\xe9" "fe",  // 0x66 f: éfe
    "g\xea",  // 0x67 g: gê
    "ag\xe1",  // 0x68 h: agá
    "i",  // 0x69 i: i
    "jota",  // 0x6A j: jota
    "c\xe1",  // 0x6B k: cá
    "ele",  // 0x6C l: ele
    "\xe9me",  // 0x6D m: éme
    "\xe9ne",  // 0x6E n: éne
    "\xf3",  // 0x6F o: ó
    "p\xea",  // 0x70 p: pê
    "qu\xea",  // 0x71 q: quê
    "\xe9rre",  // 0x72 r: érre
    "\xe9sse",  // 0x73 s: ésse
    "t\xea",  // 0x74 t: tê
    "u",  // 0x75 u: u
    "v\xea",  // 0x76 v: vê
    "d\xe1" "bliu",  // 0x77 w: dábliu
    "xis",  // 0x78 x: xis
    "\xedpsilon",  // 0x79 y: ípsilon
    "z\xea",  // 0x7A z: zê
    "abre chaves",  // 0x7B {: abre chaves
    "barra vertical",  // 0x7C |: barra vertical
    "fecha chaves",  // 0x7D }: fecha chaves
    "til",  // 0x7E ~: til
    "",  // 0x7F
    "",  // 0x80
    "",  // 0x81
    "",  // 0x82
    "",  // 0x83
    "",  // 0x84
    "",  // 0x85
    "",  // 0x86
    "",  // 0x87
    "",  // 0x88
    "",  // 0x89
    "",  // 0x8A
    "",  // 0x8B
    "",  // 0x8C
    "",  // 0x8D
    "",  // 0x8E
    "",  // 0x8F
    "",  // 0x90
    "",  // 0x91
    "",  // 0x92
    "",  // 0x93
    "",  // 0x94
    "",  // 0x95
    "",  // 0x96
    "",  // 0x97
    "",  // 0x98
    "",  // 0x99
    "",  // 0x9A
    "",  // 0x9B
    "",  // 0x9C
    "",  // 0x9D
    "",  // 0x9E
    "",  // 0x9F
    "espa\xe7o r\xedgido",  // 0xA0 no-break space: espaço rígido
    "ponto de exclama\xe7\xe3o invertido",  // 0xA1 ¡: ponto de exclamação invertido
    "c\xeantimo",  // 0xA2 ¢: cêntimo
    "libra",  // 0xA3 £: libra
    "euro",  // 0xA4 €: euro
    "iene",  // 0xA5 ¥: iene
    "\xe9sse com caron",  // 0xA6 Š: ésse com caron
    "par\xe1grafo",  // 0xA7 §: parágrafo
    "\xe9sse com caron",  // 0xA8 š: ésse com caron
    "copirr\xe1ite",  // 0xA9 ©: copirráite
    "indicador ordinal feminino",  // 0xAA ª: indicador ordinal feminino
    "abre aspas",  // 0xAB «: abre aspas
    "n\xe3o",  // 0xAC ¬: não
    "tra\xe7o elevado",  // 0xAD soft hyphen: traço elevado
    "marca registrada",  // 0xAE ®: marca registrada
    "m\xe1" "cron",  // 0xAF ¯: mácron
    "graus",  // 0xB0 °: graus
    "mais ou menos",  // 0xB1 ±: mais ou menos
    "dois sobrescrito",  // 0xB2 ²: dois sobrescrito
    "tr\xeas sobrescrito",  // 0xB3 ³: três sobrescrito
    "z\xea com caron",  // 0xB4 Ž: zê com caron
    "micro",  // 0xB5 µ: micro
    "p\xe9 de mosca",  // 0xB6 ¶: pé de mosca
    "ponto mediano",  // 0xB7 ·: ponto mediano
    "z\xea com caron",  // 0xB8 ž: zê com caron
    "um sobrescrito",  // 0xB9 ¹: um sobrescrito
    "indicador ordinal masculino",  // 0xBA º: indicador ordinal masculino
    "fecha aspas",  // 0xBB »: fecha aspas
    "\xf3 \xe9 ligadura",  // 0xBC Œ: ó é ligadura
    "\xf3 \xe9 ligadura",  // 0xBD œ: ó é ligadura
    "\xedpsilon com trema",  // 0xBE Ÿ: ípsilon com trema
    "ponto de interroga\xe7\xe3o invertido",  // 0xBF ¿: ponto de interrogação invertido
    "\xe1 com acento grave",  // 0xC0 À: á com acento grave
    "\xe1 com acento agudo",  // 0xC1 Á: á com acento agudo
    "\xe1 com acento circunflexo",  // 0xC2 Â: á com acento circunflexo
    "\xe1 com til",  // 0xC3 Ã: á com til
    "\xe1 com trema",  // 0xC4 Ä: á com trema
    "\xe1 c\xedrculo",  // 0xC5 Å: á círculo
    "\xe1 \xe9 ligadura",  // 0xC6 Æ: á é ligadura
    "c\xea cedilha",  // 0xC7 Ç: cê cedilha
    "\xe9 com acento grave",  // 0xC8 È: é com acento grave
    "\xe9 com acento agudo",  // 0xC9 É: é com acento agudo
    "\xe9 com acento circunflexo",  // 0xCA Ê: é com acento circunflexo
    "\xe9 com trema",  // 0xCB Ë: é com trema
    "i com acento grave",  // 0xCC Ì: i com acento grave
    "i com acento agudo",  // 0xCD Í: i com acento agudo
    "i com acento circunflexo",  // 0xCE Î: i com acento circunflexo
    "i com trema",  // 0xCF Ï: i com trema
    "eth",  // 0xD0 Ð: eth
    "\xe9ne com til",  // 0xD1 Ñ: éne com til
    "\xf3 com acento grave",  // 0xD2 Ò: ó com acento grave
    "\xf3 com acento agudo",  // 0xD3 Ó: ó com acento agudo
    "\xf3 com acento circunflexo",  // 0xD4 Ô: ó com acento circunflexo
    "\xf3 com til",  // 0xD5 Õ: ó com til
    "\xf3 com trema",  // 0xD6 Ö: ó com trema
    "vezes",  // 0xD7 ×: vezes
    "\xf3 cortado",  // 0xD8 Ø: ó cortado
    "u com acento grave",  // 0xD9 Ù: u com acento grave
    "u com acento agudo",  // 0xDA Ú: u com acento agudo
    "u com acento circunflexo",  // 0xDB Û: u com acento circunflexo
    "u com trema",  // 0xDC Ü: u com trema
    "\xedpsilon com acento agudo",  // 0xDD Ý: ípsilon com acento agudo
    "thorn",  // 0xDE Þ: thorn
    "eszett",  // 0xDF ß: eszett
    "\xe1 com acento grave",  // 0xE0 à: á com acento grave
    "\xe1 com acento agudo",  // 0xE1 á: á com acento agudo
    "\xe1 com acento circunflexo",  // 0xE2 â: á com acento circunflexo
    "\xe1 com til",  // 0xE3 ã: á com til
    "\xe1 com trema",  // 0xE4 ä: á com trema
    "\xe1 c\xedrculo",  // 0xE5 å: á círculo
    "\xe1 \xe9 ligadura",  // 0xE6 æ: á é ligadura
    "c\xea cedilha",  // 0xE7 ç: cê cedilha
    "\xe9 com acento grave",  // 0xE8 è: é com acento grave
    "\xe9",  // 0xE9 é: é
    "\xe9 com acento circunflexo",  // 0xEA ê: é com acento circunflexo
    "\xe9 com trema",  // 0xEB ë: é com trema
    "i com acento grave",  // 0xEC ì: i com acento grave
    "i com acento agudo",  // 0xED í: i com acento agudo
    "i com acento circunflexo",  // 0xEE î: i com acento circunflexo
    "i com trema",  // 0xEF ï: i com trema
    "eth",  // 0xF0 ð: eth
    "\xe9ne com til",  // 0xF1 ñ: éne com til
    "\xf3 com acento grave",  // 0xF2 ò: ó com acento grave
    "\xf3 com acento agudo",  // 0xF3 ó: ó com acento agudo
    "\xf3 com acento circunflexo",  // 0xF4 ô: ó com acento circunflexo
    "\xf3 com til",  // 0xF5 õ: ó com til
    "\xf3 com trema",  // 0xF6 ö: ó com trema
    "dividido",  // 0xF7 ÷: dividido
    "\xf3 cortado",  // 0xF8 ø: ó cortado
    "u com acento grave",  // 0xF9 ù: u com acento grave
    "u com acento agudo",  // 0xFA ú: u com acento agudo
    "u com acento circunflexo",  // 0xFB û: u com acento circunflexo
    "u com trema",  // 0xFC ü: u com trema
    "\xedpsilon com acento agudo",  // 0xFD ý: ípsilon com acento agudo
    "thorn",  // 0xFE þ: thorn
    "\xedpsilon com trema",  // 0xFF ÿ: ípsilon com trema
};
