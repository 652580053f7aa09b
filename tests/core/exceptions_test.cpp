#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/error_handler.h"
#include "core/exceptions.h"
#include "core/utf8.h"

namespace reprisa {
namespace {

struct TextCase {
  const wchar_t* message;
  const wchar_t* shown;
};

class DisplayText : public testing::TestWithParam<TextCase> {};

TEST_P(DisplayText, AppendsFullStopOnlyAfterCharactersAboveTheFullStop) {
  EXPECT_EQ(ExceptionDisplayText(Exception(GetParam().message)), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, DisplayText,
    testing::Values(TextCase{L"Kaputt", L"Kaputt."}, TextCase{L"Fehler 42", L"Fehler 42."},
                    TextCase{L"Wirklich?", L"Wirklich?."}, TextCase{L"Schon fertig.", L"Schon fertig."},
                    TextCase{L"Halt!", L"Halt!"}, TextCase{L"(in Klammern)", L"(in Klammern)"},
                    TextCase{L"Pfad /", L"Pfad /."}, TextCase{L"Komma,", L"Komma,"},
                    TextCase{L"Minus -", L"Minus -"}, TextCase{L"Umlaut \u00E4", L"Umlaut \u00E4."},
                    TextCase{L"", L""}, TextCase{L"Zeile\n", L"Zeile\n"},
                    TextCase{L"''abc'' is not a valid time", L"''abc'' is not a valid time."}));

TEST(DisplayTextNested, InnermostMessageWinsUnlessEmpty) {
  auto inner = std::make_shared<Exception>(L"Innen");
  EXPECT_EQ(ExceptionDisplayText(Exception(L"Aussen", inner)), L"Innen.");

  auto empty_inner = std::make_shared<Exception>(L"");
  EXPECT_EQ(ExceptionDisplayText(Exception(L"Aussen", empty_inner)), L"Aussen.");

  auto deepest = std::make_shared<Exception>(L"Ganz innen!");
  auto middle = std::make_shared<Exception>(L"Mitte", deepest);
  EXPECT_EQ(ExceptionDisplayText(Exception(L"Aussen", middle)), L"Ganz innen!");

  // The innermost one decides; an empty innermost message falls back to the outer one.
  auto empty_deepest = std::make_shared<Exception>(L"");
  auto middle2 = std::make_shared<Exception>(L"Mitte", empty_deepest);
  EXPECT_EQ(ExceptionDisplayText(Exception(L"Aussen", middle2)), L"Aussen.");

  EXPECT_EQ(ExceptionDisplayText(Exception(L"", empty_inner)), L"");
}

TEST(ExceptionClassification, RoutesOwnSilentAndForeignExceptions) {
  auto route = [](auto&& thrower) {
    try {
      thrower();
    } catch (...) {
      return ClassifyException(nullptr);
    }
    return ExceptionReport{ExceptionRoute::Silent, L"nothing thrown"};
  };
  ExceptionReport own = route([] { throw EConvertError(L"''x'' is not a valid time"); });
  EXPECT_EQ(own.route, ExceptionRoute::Show);
  EXPECT_EQ(own.text, L"''x'' is not a valid time.");

  EXPECT_EQ(route([] { throw EAbort(); }).route, ExceptionRoute::Silent);

  ExceptionReport foreign = route([] { throw std::runtime_error("disk \xC3\xA4 gone"); });
  EXPECT_EQ(foreign.route, ExceptionRoute::LastResort);
  EXPECT_EQ(foreign.text, L"disk \u00E4 gone");

  EXPECT_EQ(route([] { throw 42; }).route, ExceptionRoute::LastResort);
  EXPECT_EQ(route([] { throw std::bad_alloc(); }).route, ExceptionRoute::LastResort);
  EXPECT_NE(LastResortText(L"x").find(L"x"), std::wstring::npos);
}

TEST(ExceptionClassification, ReportTextIsWhatTheUserSees) {
  struct {
    ExceptionReport report;
    std::optional<std::wstring> shown;
  } cases[] = {
      {{ExceptionRoute::Show, L"''x'' is not a valid time."}, L"''x'' is not a valid time."},
      {{ExceptionRoute::Silent, L"Operation aborted"}, std::nullopt},
      {{ExceptionRoute::LastResort, L"disk gone"},
       L"Ein unerwarteter Fehler ist aufgetreten:\ndisk gone"},
      {{ExceptionRoute::LastResort, L""}, L"Ein unerwarteter Fehler ist aufgetreten."},
  };
  for (const auto& c : cases) EXPECT_EQ(ReportText(c.report), c.shown) << c.report.text.size();
}

TEST(ExceptionClasses, CarryTheirMessagesAndCodes) {
  EOleSysError ole(L"Nicht implementiert", static_cast<std::int32_t>(0x80004001u));
  EXPECT_EQ(ole.ErrorCode(), static_cast<std::int32_t>(0x80004001u));
  EXPECT_EQ(ole.Message(), L"Nicht implementiert");
  EXPECT_STREQ(EOutOfResources(L"Not enough timers available").what(), "Not enough timers available");
  EXPECT_STREQ(Exception(L"Gr\u00F6\u00DFe").what(), "Gr\xC3\xB6\xC3\x9F" "e");
}

TEST(MessagePattern, ReplacesPlaceholdersInOrderAndLeavesTheRest) {
  EXPECT_EQ(FormatMessageText(L"''%s'' is not a valid time", {L"1:60"}), L"''1:60'' is not a valid time");
  EXPECT_EQ(FormatMessageText(L"%s und %s", {L"a", L"b"}), L"a und b");
  EXPECT_EQ(FormatMessageText(L"%s und %s", {L"a"}), L"a und %s");
  EXPECT_EQ(FormatMessageText(L"100%", {L"x"}), L"100%");
  EXPECT_EQ(FormatMessageText(L"%s", {L"%s"}), L"%s");
}

TEST(ErrorHandler, ReceivesTheExceptionInFlightAndNeverThrows) {
  std::wstring seen;
  TObject sender;
  TObject* seen_sender = nullptr;
  ErrorHandler previous = SetErrorHandler([&](TObject* s) {
    seen_sender = s;
    seen = ClassifyException(nullptr).text;
    throw std::runtime_error("handler failed too");
  });
  try {
    throw Exception(L"Weiter geht's");
  } catch (...) {
    HandleException(&sender);  // must swallow the handler's own failure
  }
  SetErrorHandler(previous);
  EXPECT_EQ(seen_sender, &sender);
  EXPECT_EQ(seen, L"Weiter geht's.");
}

TEST(Utf8, RoundTripsAndReplacesBrokenSequences) {
  std::wstring text = L"Stra\u00DFe \u20AC";
  EXPECT_EQ(WidenUtf8(NarrowUtf8(text)), text);
  EXPECT_EQ(WidenUtf8("a\xC3"), L"a\uFFFD");
  EXPECT_EQ(WidenUtf8("\xFF" "b"), L"\uFFFD" L"b");
}

// Each boundary of the encoding's length classes: the exact bytes, and back.
TEST(Utf8, EncodesEveryLengthBoundaryExactly) {
  const struct {
    char32_t code_point;
    std::string bytes;
  } rows[] = {
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xFFFF, "\xEF\xBF\xBF"},
  };
  for (const auto& row : rows) {
    const std::wstring wide(1, static_cast<wchar_t>(row.code_point));
    EXPECT_EQ(NarrowUtf8(wide), row.bytes) << std::hex << static_cast<unsigned>(row.code_point);
    EXPECT_EQ(WidenUtf8(row.bytes), wide) << std::hex << static_cast<unsigned>(row.code_point);
  }
}

// U+1F600 beyond the 16-bit range: from a UTF-16 surrogate pair (what Windows keeps in a wide
// string) to four bytes, and from four bytes to the platform's wide form.
TEST(Utf8, SurrogatePairBecomesOneFourByteSequence) {
  const std::wstring pair{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
  const std::string bytes = "\xF0\x9F\x98\x80";
  EXPECT_EQ(NarrowUtf8(pair), bytes);
  EXPECT_EQ(NarrowUtf8(L"a" + pair + L"b"), "a" + bytes + "b");
  const std::wstring wide =
      sizeof(wchar_t) == 2 ? pair : std::wstring(1, static_cast<wchar_t>(0x1F600));
  EXPECT_EQ(WidenUtf8(bytes), wide);
  EXPECT_EQ(NarrowUtf8(WidenUtf8(bytes)), bytes);
}

}  // namespace
}  // namespace reprisa
