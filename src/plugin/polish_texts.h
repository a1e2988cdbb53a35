// The dialog's own texts, in the plug-in's 8-bit text encoding (windows-1250).
//
// Every text inside the plug-in is windows-1250 bytes, like the engine's text; only the front ends
// convert to UTF-8. The Polish letters are therefore written as byte escapes here, once, and each
// escape is closed by ending the literal ("\xB9" "d"), so that a following hexadecimal letter
// cannot run into it. The tests compare these constants with their UTF-8 originals.
#pragma once

#include <string_view>

namespace veltra::plugin::texts {

// "Import wszystkich brakujących losowań"
inline constexpr std::string_view kCaption =
    "Import wszystkich brakuj\xB9"
    "cych losowa\xF1";

inline constexpr std::string_view kGetCaption = "Pobierz";
inline constexpr std::string_view kExecuteCaption = "Wykonaj";
inline constexpr std::string_view kCloseCaption = "Zamknij";

// "Wciśnij przycisk POBIERZ"
inline constexpr std::string_view kPressGet =
    "Wci\x9C"
    "nij przycisk POBIERZ";

// "Pobrane będą losowania :"
inline constexpr std::string_view kSummaryHead =
    "Pobrane b\xEA"
    "d\xB9"
    " losowania :";
// 22 hyphens, a blank, a colon.
inline constexpr std::string_view kSummaryRule = "---------------------- :";
// " następne po dniu " between the padded display name and the date.
inline constexpr std::string_view kSummaryNext =
    " nast\xEA"
    "pne po dniu ";

// "Łączę z serwisem "
inline constexpr std::string_view kConnecting =
    "\xA3\xB9"
    "cz\xEA"
    " z serwisem ";
// "Do serwera wysłano polecenie : "
inline constexpr std::string_view kRequestSent =
    "Do serwera wys\xB3"
    "ano polecenie : ";
// 30 hyphens.
inline constexpr std::string_view kRequestRule = "------------------------------";

// "GOTOWE można wprowadzić losowania do bazy"
inline constexpr std::string_view kReadyToExecute =
    "GOTOWE mo\xBF"
    "na wprowadzi\xE6"
    " losowania do bazy";
// "GOTOWE żadnych nowych losowań nie znaleziono, spróbuj później ..."
inline constexpr std::string_view kNothingNew =
    "GOTOWE \xBF"
    "adnych nowych losowa\xF1"
    " nie znaleziono, spr\xF3"
    "buj p\xF3\x9F"
    "niej ...";

// "Odebrano %d bajtów": the prefix and the suffix around the byte count.
inline constexpr std::string_view kReceivedPrefix = "Odebrano ";
inline constexpr std::string_view kReceivedSuffix = " bajt\xF3w";

// "Razem wprowadzono " count " nowych wyników losowań"
inline constexpr std::string_view kTotalEnteredPrefix = "Razem wprowadzono ";
// " nowych wyników losowań"
inline constexpr std::string_view kNewResultsSuffix = " nowych wynik\xF3w losowa\xF1";

// "Aktualnych losowań nie znaleziono "
inline constexpr std::string_view kNoCurrentDraws =
    "Aktualnych losowa\xF1"
    " nie znaleziono ";
// "Do baz gier wprowadzono " count " nowych wyników losowań"
inline constexpr std::string_view kEnteredPrefix = "Do baz gier wprowadzono ";

// "Wykonano " percent " % poleceń"
inline constexpr std::string_view kProgressPrefix = "Wykonano ";
inline constexpr std::string_view kProgressSuffix = " % polece\xF1";

}  // namespace veltra::plugin::texts
