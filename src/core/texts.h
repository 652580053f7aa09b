// Every text the program shows, in one place: window captions, labels, button and menu texts,
// the About dialog's texts, the message-box title and the error texts. Both platform builds take
// their texts from here. Non-ASCII characters are written as \u escapes, so that every compiler
// reads them alike whatever it takes the source's charset to be.
#pragma once

#include <string>
#include <string_view>

#include "core/version.h"

namespace reprisa::texts {

// The application's title: the task bar entry and the title of every message box.
inline constexpr std::wstring_view kAppTitle = L"Reprisa";

// The main window.
inline constexpr std::wstring_view kMainCaption = L"Velmora Reprisa " REPRISA_VERSION_SHORT_W;
inline constexpr std::wstring_view kGotoWebsite = L"Zur Website...";
inline constexpr std::wstring_view kIntervalLabel = L"Wiederholung starten nach Min:Sekunden:";
inline constexpr std::wstring_view kApplyInterval = L"Wert setzen";
inline constexpr std::wstring_view kCountdownLabel = L"Neustart in:";
inline constexpr std::wstring_view kRestartCountdown = L"Stopuhr auf 0";
// What the interval, current-interval and countdown fields show at start.
inline constexpr std::wstring_view kInitialInterval = L"03:00";
inline constexpr std::wstring_view kHelpMenu = L"Hilfe";
inline constexpr std::wstring_view kAboutMenu = L"\u00DCber...";
// The address the address field starts with.
inline constexpr std::wstring_view kDefaultAddress = L"https://www.youtube.com/";
// The names screen readers give the address and the current-interval fields, which have no
// label of their own (the interval and countdown fields take their labels' texts).
inline constexpr std::wstring_view kAddressName = L"Adresse";
inline constexpr std::wstring_view kCurrentIntervalName = L"Aktuelles Intervall";

// The About dialog. kCopyright's "XXXX" becomes the current year.
inline constexpr std::wstring_view kAboutCaption = L"Info";
inline constexpr std::wstring_view kProductName = L"Garantiert ein Original Velmora Programm";
inline constexpr std::wstring_view kCopyright =
    L"Copyright \u00A9 XXXX Velmora. Alle Rechte vorbehalten.";
inline constexpr std::wstring_view kYearPlaceholder = L"XXXX";
inline constexpr std::wstring_view kComments =
    L"Dies ist eine Velmora Computersoftware Produktion. (info@velmora.example)";
inline constexpr std::wstring_view kQuality =
    L"Vertrauen Sie auf deutsche Qualit\u00E4t bei Software.";
inline constexpr std::wstring_view kSlogan = L"Kleine Programme, die einfach funktionieren.";
inline constexpr std::wstring_view kNews =
    L"Neuigkeiten, Hilfe und weitere Programme finden Sie auf unserer Website "
    L"www.velmora.example.\r\n\r\n"
    L"Wir freuen uns \u00FCber Ihre Anregungen und w\u00FCnschen Ihnen viel Freude "
    L"mit Reprisa.";
inline constexpr std::wstring_view kMakerWebSiteCaption = L"www.velmora.example";
// The address the web-site button opens in the user's browser.
inline constexpr std::wstring_view kMakerWebSite = L"https://www.velmora.example/";

// Error texts. "%s" is replaced by FormatMessageText.
inline constexpr std::wstring_view kInvalidTime = L"''%s'' is not a valid time";
inline constexpr std::wstring_view kNoTimers = L"Not enough timers available";
inline constexpr std::wstring_view kAborted = L"Operation aborted";
inline constexpr std::wstring_view kUnexpectedError = L"Ein unerwarteter Fehler ist aufgetreten";
inline constexpr std::wstring_view kOutOfMemory = L"Nicht gen\u00FCgend Arbeitsspeicher.";
// Followed by the error code as eight hexadecimal digits.
inline constexpr std::wstring_view kUnknownError = L"Unbekannter Fehler 0x";

// The placement store's failures. "%s" is the section or value name.
inline constexpr std::wstring_view kStoreCreateKeyFailed = L"Failed to create key %s";
inline constexpr std::wstring_view kStoreSetDataFailed = L"Failed to set data for '%s'";
inline constexpr std::wstring_view kStoreGetDataFailed = L"Failed to get data for '%s'";
inline constexpr std::wstring_view kStoreDataTypeInvalid = L"Invalid data type for '%s'";
inline constexpr std::wstring_view kStoreDeleteKeyFailed = L"Failed to delete key %s";

// The widget kit: the captions of the glyph buttons that have none of their own, and what it
// reports when the system refuses it a window or a menu.
inline constexpr std::wstring_view kButtonOk = L"OK";
inline constexpr std::wstring_view kButtonCancel = L"Abbrechen";
inline constexpr std::wstring_view kButtonRetry = L"Wiederholen";
inline constexpr std::wstring_view kWindowClassFailed =
    L"Fensterklasse konnte nicht registriert werden";
// Followed by the control's class name.
inline constexpr std::wstring_view kWindowFailed = L"Fenster konnte nicht erzeugt werden: ";
inline constexpr std::wstring_view kApplicationWindowFailed =
    L"Das Anwendungsfenster konnte nicht erzeugt werden";
inline constexpr std::wstring_view kMenuFailed = L"Das Men\u00FC konnte nicht erzeugt werden";
inline constexpr std::wstring_view kVisibleWindowModal =
    L"Ein sichtbares Fenster kann nicht modal angezeigt werden";

// The text with its first kYearPlaceholder replaced by the year (the rights line).
std::wstring InsertYear(std::wstring text, int year);

}  // namespace reprisa::texts
