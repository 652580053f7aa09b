// Errors reach the user in a modal dialog titled "Reprisa" with the core's text, and the program
// goes on; an abort shows nothing.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/error_handler.h"
#include "core/exceptions.h"
#include "gtk/error_dialog.h"
#include "gtk_test_support.h"
#include "support/scoped_error_handler.h"

namespace reprisa {
namespace {

struct Seen {
  int dialogs = 0;
  std::string text;
};

class ErrorDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallErrorDialogHandler(nullptr);
    // Closes each error dialog that appears and notes its text.
    watch_ = g_timeout_add(
        20,
        +[](gpointer data) -> gboolean {
          auto* s = static_cast<Seen*>(data);
          GtkWindow* dialog = testing_gtk::FindToplevel("Reprisa");
          if (!dialog) return G_SOURCE_CONTINUE;
          ++s->dialogs;
          gchar* text = nullptr;
          g_object_get(dialog, "text", &text, nullptr);
          s->text = text ? text : "";
          g_free(text);
          gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
          return G_SOURCE_CONTINUE;
        },
        &seen);
  }
  void TearDown() override { g_source_remove(watch_); }
  template <class E>
  void Raise(E e) {
    try {
      throw e;
    } catch (...) {
      HandleException(nullptr);
    }
  }
  Seen seen;

 private:
  testing_support::ScopedErrorHandler own_handler_{nullptr};  // the one before comes back
  guint watch_ = 0;
};

TEST_F(ErrorDialogTest, ShowsTheProgramsOwnErrorsWithTheirText) {
  Raise(ERegistryException(L"Failed to set data for 'NormPos'"));
  EXPECT_EQ(seen.dialogs, 1);
  EXPECT_EQ(seen.text, "Failed to set data for 'NormPos'");
  Raise(EConvertError(L"no period after a quote, one after a letter"));
  EXPECT_EQ(seen.dialogs, 2);
  EXPECT_EQ(seen.text, "no period after a quote, one after a letter.");
}

TEST_F(ErrorDialogTest, ShowsForeignErrorsWithTheGermanLastResortText) {
  Raise(std::runtime_error("kaputt"));
  EXPECT_EQ(seen.dialogs, 1);
  EXPECT_EQ(seen.text, "Ein unerwarteter Fehler ist aufgetreten:\nkaputt");
}

TEST_F(ErrorDialogTest, AnAbortShowsNothing) {
  Raise(EAbort());  // a dialog is modal: had one shown, it was closed and counted by now
  EXPECT_EQ(seen.dialogs, 0);
}

}  // namespace
}  // namespace reprisa
