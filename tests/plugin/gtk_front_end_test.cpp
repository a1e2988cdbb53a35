// The GTK dialog under a private Xvfb server: shown, "Pobierz" pressed against the stand-in
// results service, a screenshot saved, "Zamknij" clicked. Skipped when Xvfb is not installed.
//
// The screenshot goes to $ALLSQL_SCREENSHOT, or dialog.png in the working directory.

#include "plugin/ui/gtk/gtk_front_end.h"

#include <gtk/gtk.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "plugin/fmsqlall.h"
#include "plugin/ui/text_boundary.h"
#include "query_double.h"
#include "spawned_program.h"
#include "support/temp_dir.h"

// The toolkit keeps one-time allocations until exit; leak checking is for the other tests.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace veltra::plugin {
namespace {

using testing::SpawnedProgram;

constexpr char kHistory[] =
    "dl,7001,2026-06-27,3,11,19,28,36,45\n"
    "dl,7002,2026-06-30,5,9,17,22,31,48\n"
    "multi_multi,88001,2026-06-30 14:00:00,1,4,9,12,15,21,26,30,33,38,41,47,52,55,60,63,67,"
    "71,75,80\n"
    "ex,9001,2026-06-30,2,13,21,33,40\n";

std::string FindXvfb() {
  for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
    std::string path = std::string(dir) + "/Xvfb";
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return "";
}

GtkWidget* FindByName(GtkWidget* widget, const char* name) {
  if (g_strcmp0(gtk_widget_get_name(widget), name) == 0) return widget;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  GtkWidget* found = nullptr;
  for (GList* c = children; c != nullptr && found == nullptr; c = c->next) {
    found = FindByName(GTK_WIDGET(c->data), name);
  }
  g_list_free(children);
  return found;
}

GtkWidget* DialogWindow() {
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* found = nullptr;
  for (GList* w = windows; w != nullptr; w = w->next) {
    if (gtk_widget_get_visible(GTK_WIDGET(w->data)) &&
        FindByName(GTK_WIDGET(w->data), ui::gtk::kGetButtonName) != nullptr) {
      found = GTK_WIDGET(w->data);
    }
  }
  g_list_free(windows);
  return found;
}

// Runs the steps one after the other from the dialog's own main loop, each after `delay_ms`.
class Steps {
 public:
  explicit Steps(std::vector<std::function<void()>> steps) : steps_(std::move(steps)) {}
  void Start(unsigned delay_ms) {
    delay_ms_ = delay_ms;
    g_timeout_add(delay_ms_, &Steps::Tick, this);
  }

 private:
  static gboolean Tick(gpointer self) {
    auto* s = static_cast<Steps*>(self);
    if (s->next_ < s->steps_.size()) s->steps_[s->next_++]();
    return s->next_ < s->steps_.size() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }
  std::vector<std::function<void()>> steps_;
  size_t next_ = 0;
  unsigned delay_ms_ = 0;
};

TEST(GtkFrontEnd, DialogDownloadsShowsTheScriptAndCloses) {
#ifndef ALLSQL_RESULTS_SERVICE
  GTEST_SKIP() << "the results service is not part of this build";
#else
  std::string xvfb = FindXvfb();
  if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed";

  // The X server picks a free display number and writes it on its standard output. It stays up
  // until the process ends, as the toolkit keeps its connection.
  static std::unique_ptr<SpawnedProgram> server;
  server = std::make_unique<SpawnedProgram>(std::vector<std::string>{
      xvfb, "-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
  std::string display;
  ASSERT_TRUE(server->ReadLine(display)) << "Xvfb did not start";
  setenv("DISPLAY", (":" + display).c_str(), 1);
  setenv("GDK_BACKEND", "x11", 1);
  setenv("NO_AT_BRIDGE", "1", 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  ASSERT_TRUE(ui::gtk::GtkAvailable());

  veltra::testing::TempDir dir;
  {
    std::ofstream csv(dir.File("history.csv"));
    csv << kHistory;
  }
  SpawnedProgram service(
      {ALLSQL_RESULTS_SERVICE, "--port", "0", "--history", dir.File("history.csv")});
  std::string port_line;
  ASSERT_TRUE(service.ReadLine(port_line));
  std::string host = "127.0.0.1:" + port_line.substr(5);

  testing::DoubleCatalog catalog;
  catalog.Add(dir.path()).AddGameTables();
  catalog.Find(dir.path())->tables["LOTTO"] = {{46198.0, 7000}};  // 2026-06-25
  PluginState state;
  AllsqlString directory =
      AllsqlStringNew(dir.path().data(), static_cast<int32_t>(dir.path().size()));
  state.database_directory.Store(directory);
  AllsqlStringRelease(directory);

  std::unique_ptr<ui::DialogFrontEnd> front_end = ui::gtk::NewGtkFrontEnd();
  Tfmsqlall form(state, std::make_unique<testing::QueryDouble>(catalog), front_end->View(),
                 NewCurlHttpClient, host);

  const char* screenshot_env = std::getenv("ALLSQL_SCREENSHOT");
  std::string screenshot = screenshot_env != nullptr ? screenshot_env : "dialog.png";
  std::string status_after_download;
  int width = 0;
  int height = 0;
  bool execute_sensitive = false;
  bool screenshot_saved = false;
  GtkWidget* window = nullptr;
  auto label_text = [&](const char* name) {
    return std::string(gtk_label_get_text(GTK_LABEL(FindByName(window, name))));
  };
  Steps steps({
      [&] {
        window = DialogWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(gtk_widget_get_sensitive(FindByName(window, ui::gtk::kExecuteButtonName)));
        gtk_button_clicked(GTK_BUTTON(FindByName(window, ui::gtk::kGetButtonName)));
      },
      [&] {
        status_after_download = label_text(ui::gtk::kStatusBarName);
        execute_sensitive =
            gtk_widget_get_sensitive(FindByName(window, ui::gtk::kExecuteButtonName));
        GdkWindow* gdk_window = gtk_widget_get_window(window);
        width = gdk_window_get_width(gdk_window);
        height = gdk_window_get_height(gdk_window);
        GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk_window, 0, 0, width, height);
        ASSERT_NE(shot, nullptr);
        screenshot_saved = gdk_pixbuf_save(shot, screenshot.c_str(), "png", nullptr, nullptr);
        g_object_unref(shot);
      },
      [&] { gtk_button_clicked(GTK_BUTTON(FindByName(window, ui::gtk::kCloseButtonName))); },
  });
  steps.Start(600);
  front_end->RunModal(form);

  EXPECT_EQ(status_after_download, "GOTOWE można wprowadzić losowania do bazy");
  EXPECT_TRUE(execute_sensitive);
  EXPECT_EQ(width, 506);
  EXPECT_EQ(height, 340);
  EXPECT_TRUE(screenshot_saved);
  EXPECT_FALSE(state.ExecuteGuard);
  std::string script = ui::Utf8FromWindows1250(front_end->View().EditorText());
  EXPECT_THAT(script, ::testing::StartsWith("INSERT INTO LOTTO"));
  EXPECT_THAT(script, ::testing::HasSubstr("7002"));
  EXPECT_EQ(form.LastRequest().find("http://" + host + "/dtools/down_all_232.php?data="), 0u);
  service.Terminate();
#endif
}

}  // namespace
}  // namespace veltra::plugin
