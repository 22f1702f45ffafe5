// Scan rules for devices people often wedge, which the Scan Rules dialog's
// Device list fills in. Each pattern follows the format of the manual named
// beside it; scales type only stable weights other than zero, each once.
#pragma once
#include "../settings/RuleSettings.h"

struct DevicePreset {
    const char* pszName;
    const char* pszPattern;
    const char* pszOutput;
    const char* pszReplace;
    const char* pszReplaceWith;
    const char* pszRepeatSeconds;   // repeats are skipped within so many seconds; empty: not skipped
    const char* pszRequest = "";    // the request command's text; empty: the device speaks unasked
};

inline const DevicePreset kDevicePresets[] = {
    // Mettler Toledo, MT-SICS Reference Manual, commands S and SIR: "S S" and
    // the weight, right-aligned in 10 characters, a space, the unit; "S D" is
    // a dynamic (unstable) weight.
    { "Scale: Mettler Toledo MT-SICS", R"(^S S +(-?(?=[\d.]*[1-9])\d+(?:\.\d+)?) +\S+$)", "", "", "", "2" },
    // The same manual, command SI: the weight at once, stable ("S S") or not
    // ("S D"), in the format of S. Only stable weights are typed.
    { "Scale: Mettler Toledo MT-SICS, asked (SI)", R"(^S S +(-?(?=[\d.]*[1-9])\d+(?:\.\d+)?) +\S+$)", "", "", "",
      "2", "SI\\r\\n" },
    // Sartorius, operating instructions of its balances, "Data output
    // format" (SBI): sign or space, the weight, a space, the unit, which is
    // left out while the weight is unstable; in the 22-character format an
    // identification code of six characters comes first (N, G#, Diff.1),
    // and the sign follows it directly.
    { "Scale: Sartorius SBI",
      R"(^(?:[A-Za-z].{5})?(?:\+|(-)| ) *((?=[\d.]*[1-9])\d+(?:\.\d+)?) +[A-Za-z%]+ *$)", "$1$2", "", "", "2" },
    // The same manuals, "SBI commands": Esc P prints the weight, CR LF optional.
    { "Scale: Sartorius SBI, asked (Esc P)",
      R"(^(?:[A-Za-z].{5})?(?:\+|(-)| ) *((?=[\d.]*[1-9])\d+(?:\.\d+)?) +[A-Za-z%]+ *$)", "$1$2", "", "", "2",
      "\\eP\\r\\n" },
    // A&D, instruction manuals of the GF/GX and GC balances, "A&D standard
    // format": header ST (stable), US, OL or QT, a comma, with the comparator
    // on a second header (OK, LO, HI, --) and a comma, the signed weight
    // padded with zeros, the unit; A&D's indicators put GS or NT (gross, net)
    // after the header.
    { "Scale: A&D (ST,+00123.45  g)",
      R"(^ST,(?:(?:GS|NT|OK|LO|HI|--),)?(?:\+|(-))0*((?=[\d.]*[1-9])\d+(?:\.\d+)?) *[A-Za-z%]*$)", "$1$2", "", "",
      "2" },
    // The same manuals, command Q: the weight at once, in the same format.
    { "Scale: A&D, asked (Q)",
      R"(^ST,(?:(?:GS|NT|OK|LO|HI|--),)?(?:\+|(-))0*((?=[\d.]*[1-9])\d+(?:\.\d+)?) *[A-Za-z%]*$)", "$1$2", "", "",
      "2", "Q\\r\\n" },
    // NCI bench scales' user manuals, "NCI Serial Communications Protocol":
    // W CR answers LF, the weight with its sign and unit (0001.23lb), CR, LF,
    // two status bytes, CR, ETX. The status comes on a line of its own, so a
    // weight in motion is typed too.
    { "Scale: NCI protocol, asked (W)", R"(^ *(-?(?=[\d.]*[1-9])\d+(?:\.\d+)?) *[A-Za-z]{1,3}$)", "",
      R"(^(-?)0+(?=\d))", "$1", "2", "W\\r" },
    // Toledo 8213 and 8217 "demand" format, as scale manuals that offer it
    // describe it: W answers STX, the weight (XXX.XX), CR; in motion, under
    // zero or out of range, STX ? and a status byte instead.
    { "Scale: Toledo 8213/8217, asked (W)", R"(^\x02 *((?=[\d.]*[1-9])\d+(?:\.\d+)?)$)", "", R"(^0+(?=\d))", "", "2",
      "W" },
    // Mettler Toledo, technical manuals of the IND terminals, "Standard
    // continuous output": STX, status words A, B, C, six digits of weight
    // and six of tare without a decimal point, CR, and in many terminals a
    // checksum byte, which then stands before the next STX. Status A 0x24
    // with the count-by in bits 3 and 4: two decimals; status B with bits 1
    // to 3 clear: positive, in range, not in motion; status C with bit 4
    // clear (the weight not expanded tenfold) and the unit of B (bits 0 to
    // 2 clear), a print request (bit 3) or a keyboard tare (bit 6) aside.
    { "Scale: Toledo continuous output, two decimals",
      R"(^.?\x02[\x24\x2C\x34\x3C][\x20\x21\x30\x31][\x20\x28\x60\x68](?=[ \d]{0,5}[1-9])([ \d]{4})(\d\d)[ \d]{6}$)",
      "$1.$2", R"(^[ 0]+(?=\d+\.))", "", "2" },
    // The GS1 standard (its "General Specs"), symbology identifiers of GS1
    // data and of the codes that carry a GTIN: ]C1 GS1-128, ]e0 to ]e2
    // DataBar, ]d2 DataMatrix, ]Q3 QR Code, ]J1 DotCode, ]E0 and ]E4 EAN/UPC,
    // ]I1 ITF-14; and the GS character (0x1D) that ends a variable-length
    // element string.
    { "Barcode: GS1, GS as Tab", R"(^(?:\](?:C1|e[0-2]|d2|Q3|J1|E[04]|I1))?\x1D?(.+)$)", "", R"(\x1D)", "{TAB}", "" },
    // 125 kHz EM4100 card readers, such as the RDM6300 module's data sheet,
    // "Output format": STX, ten hexadecimal digits (version, then the 32-bit
    // card number), two of checksum, ETX. The card number in decimal, ten
    // digits, as printed on the cards.
    { "RFID: 125 kHz card number in decimal",
      R"(^\x02?[0-9A-Fa-f]{2}([0-9A-Fa-f]{8})(?:[0-9A-Fa-f]{2})?\x03?$)", "{DEC:$1:10}", "", "", "3" },
    // SIA AC-01, the 26-bit Wiegand reader interface: an 8-bit facility code
    // and a 16-bit card number, which converters send as six hexadecimal
    // digits; typed as 3 and 5 decimal digits.
    { "RFID: Wiegand 26-bit converter", R"(^\x02?([0-9A-Fa-f]{2})([0-9A-Fa-f]{4})\x03?$)", "{DEC:$1:3}{DEC:$2:5}", "",
      "", "3" },
    // NMEA 0183, sentence GGA (fix data) from any satellite system's talker
    // (GP, GL, GA, GB, GI, GQ, BD, or GN for several): time, latitude
    // ddmm.mmmm and N or S, longitude dddmm.mmmm and E or W, fix quality: 1
    // to 5 a fix; 0 none, 6 estimated, 7 entered by hand, 8 simulated.
    { "GPS: NMEA position", R"(^\$(?:G[PNLABIQ]|BD)GGA,[^,]*,(\d+\.\d+),([NS]),(\d+\.\d+),([EW]),[1-5],)",
      "$1 $2{TAB}$3 $4", "", "", "60" },
};

// Sets the rules the preset names, each value with Enter; the key delay and
// the moment of typing stay as they were.
inline void FillFromPreset(const DevicePreset& preset, RuleSettings& settings)
{
    settings.m_strPrefix = "";
    settings.m_strSuffix = "{ENTER}";
    settings.m_strPattern = preset.pszPattern;
    settings.m_strOutput = preset.pszOutput;
    settings.m_strReplace = preset.pszReplace;
    settings.m_strReplaceWith = preset.pszReplaceWith;
    settings.m_strNoMatch = "Drop";
    settings.m_strSkipRepeats = *preset.pszRepeatSeconds ? "1" : "0";
    settings.m_strRepeatSeconds = preset.pszRepeatSeconds;
    settings.m_strRequestCommand = preset.pszRequest;
}
