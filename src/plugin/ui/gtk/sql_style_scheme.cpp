// The scheme is written to a private temporary directory, loaded by a scheme manager of our own
// (so the toolkit's default manager is left alone) and the file removed again: the loaded scheme
// lives in memory.

#include "plugin/ui/gtk/sql_style_scheme.h"

#include <glib/gstdio.h>

namespace veltra::plugin::ui::gtk {
namespace {

constexpr const char* kSchemeId = "allsql-sql";
constexpr const char* kSchemeFile = "allsql-sql.xml";

constexpr const char* kSchemeXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<style-scheme id="allsql-sql" name="allsql SQL" version="1.0">
  <color name="teal" value="#008080"/>
  <color name="orange" value="#FF8000"/>
  <color name="blue" value="#0000FF"/>
  <color name="maroon" value="#800000"/>
  <color name="red" value="#FF0000"/>
  <color name="info-background" value="#FFFFE1"/>
  <style name="text" foreground="#000000" background="#FFFFFF"/>
  <style name="selection" foreground="#FFFFFF" background="#0A246A"/>
  <style name="current-line" background="info-background"/>
  <style name="line-numbers" foreground="#000000" background="#F0F0F0"/>
  <style name="def:comment" foreground="teal"/>
  <style name="def:keyword" foreground="orange"/>
  <style name="def:decimal" foreground="blue"/>
  <style name="def:floating-point" foreground="blue"/>
  <style name="def:number" foreground="blue"/>
  <style name="def:string" foreground="red" bold="true"/>
  <style name="sql:comment" foreground="teal"/>
  <style name="sql:keyword" foreground="orange"/>
  <style name="sql:decimal" foreground="blue"/>
  <style name="sql:floating-point" foreground="blue"/>
  <style name="sql:string" foreground="red" bold="true"/>
  <style name="sql:some-thing" foreground="maroon"/>
</style-scheme>
)";

GtkSourceStyleScheme* LoadScheme() {
  GError* error = nullptr;
  gchar* dir = g_dir_make_tmp("allsql-scheme-XXXXXX", &error);
  if (dir == nullptr) {
    g_clear_error(&error);
    return nullptr;
  }
  gchar* path = g_build_filename(dir, kSchemeFile, nullptr);
  GtkSourceStyleScheme* scheme = nullptr;
  if (g_file_set_contents(path, kSchemeXml, -1, &error)) {
    GtkSourceStyleSchemeManager* manager = gtk_source_style_scheme_manager_new();
    const gchar* search_path[] = {dir, nullptr};
    gtk_source_style_scheme_manager_set_search_path(manager, const_cast<gchar**>(search_path));
    scheme = gtk_source_style_scheme_manager_get_scheme(manager, kSchemeId);
    if (scheme != nullptr) g_object_ref(scheme);
    g_object_unref(manager);
    g_remove(path);
  }
  g_clear_error(&error);
  g_rmdir(dir);
  g_free(path);
  g_free(dir);
  return scheme;
}

}  // namespace

GtkSourceStyleScheme* SqlStyleScheme() {
  static GtkSourceStyleScheme* const scheme = LoadScheme();
  return scheme;
}

}  // namespace veltra::plugin::ui::gtk
