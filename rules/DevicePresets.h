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
};

inline const DevicePreset kDevicePresets[] = {
    // Mettler Toledo, MT-SICS Reference Manual, commands S and SIR: "S S" and
    // the weight, right-aligned in 10 characters, a space, the unit; "S D" is
    // a dynamic (unstable) weight.
    { "Scale: Mettler Toledo MT-SICS", R"(^S S +(-?(?=[\d.]*[1-9])\d+(?:\.\d+)?) +\S+$)", "", "", "", "2" },
    // Sartorius, operating instructions of its balances, "Data output
    // format" (SBI): sign or space, the weight, a space, the unit, which is
    // left out while the weight is unstable; in the 22-character format an
    // identifier such as N or G comes first.
    { "Scale: Sartorius SBI",
      R"(^(?:[A-Za-z]\S* +)?(?:\+|(-)| ) *((?=[\d.]*[1-9])\d+(?:\.\d+)?) +[A-Za-z%]+ *$)", "$1$2", "", "", "2" },
    // A&D, instruction manuals of the GF/GX balances, "A&D standard format":
    // header ST (stable), US, OL or QT, a comma, the signed weight padded
    // with zeros, the unit; A&D's indicators put GS or NT (gross, net)
    // after the header.
    { "Scale: A&D (ST,+00123.45  g)", R"(^ST,(?:(?:GS|NT),)?(?:\+|(-))0*((?=[\d.]*[1-9])\d+(?:\.\d+)?) *[A-Za-z%]*$)",
      "$1$2", "", "", "2" },
    // Mettler Toledo, technical manuals of the IND terminals, "Standard
    // continuous output": STX, status words A, B, C, six digits of weight
    // and six of tare without a decimal point, CR. Status A 0x24 with the
    // count-by in bits 3 and 4: two decimals; status B with bits 1 to 3
    // clear: positive, in range, not in motion.
    { "Scale: Toledo continuous output, two decimals",
      R"(^\x02[\x24\x2C\x34\x3C][\x20\x21\x30\x31].(?=[ \d]{0,5}[1-9])([ \d]{4})(\d\d)[ \d]{6}$)", "$1.$2",
      R"(^[ 0]+(?=\d+\.))", "", "2" },
    // The GS1 standard (its "General Specs"), symbology identifiers (]C1 GS1-128, ]e0
    // DataBar, ]d2 DataMatrix, ]Q3 QR Code) and the GS character (0x1D)
    // that ends a variable-length element string.
    { "Barcode: GS1, GS as Tab", R"(^(?:\](?:C1|e0|d2|Q3))?\x1D?(.+)$)", "", R"(\x1D)", "{TAB}", "" },
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
    // NMEA 0183, sentence GGA (fix data): time, latitude ddmm.mmmm and N or
    // S, longitude dddmm.mmmm and E or W, fix quality, 0 for none.
    { "GPS: NMEA position", R"(^\$G[PNLAB]GGA,[^,]*,(\d+\.\d+),([NS]),(\d+\.\d+),([EW]),[1-9])", "$1 $2{TAB}$3 $4", "",
      "", "60" },
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
}
